// The bare program the game's start-up and memory are held against: SDL2 initialised, the
// same full-screen OpenGL 2.1 window as the game's with the game's 4x multisampled
// framebuffer (platform/sdl/multisample.h), cleared, resolved and swapped once. Started with
// libvantor_first_present.so preloaded, which notes the time and the peak resident memory
// at that swap and ends the program; without it, the program ends after the swap. An argument
// of 1 (samples a pixel) draws straight into the window, with no multisampled framebuffer.
// A second argument, SECONDS, clears, resolves and swaps again and again for that long: the
// frame-rate benchmark's floor, what showing a frame of the screen's size costs at least.
#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdio>
#include <cstdlib>

#include "platform/sdl/multisample.h"

int main(int argc, char** argv) {
  const int samples = argc > 1 ? std::atoi(argv[1]) : 4;
  const double seconds = argc > 2 ? std::atof(argv[2]) : 0;
  SDL_SetMainReady();
  if (SDL_Init(SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0 || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "bare_window: %s\n", SDL_GetError());
    return 1;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_Window* window = SDL_CreateWindow("bare", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 800, 600,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN_DESKTOP);
  SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
  if (!context) {
    std::fprintf(stderr, "bare_window: %s\n", SDL_GetError());
    return 1;
  }
  {
    plat::sdl::MultisampleTarget msaa(samples);
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    msaa.drawInto(width, height);
    const Uint64 end = SDL_GetTicks64() + static_cast<Uint64>(seconds * 1000);
    do {
      glClearColor(0, 0, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      msaa.resolve();
      SDL_GL_SwapWindow(window);
      SDL_PumpEvents();
    } while (SDL_GetTicks64() < end);
  }
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
