// Draws the test picture through the OpenGL device and saves it as a PNG; then keeps
// drawing it for a while (the player's keys, F11 among them, work meanwhile; closing the
// window or SIGTERM ends it early) and reports the frame rate and the text path's counters.
//   gl_picture [out.png] [seconds]
#include <SDL.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "picture_scene.h"
#include "platform/sdl/gl_device.h"

int main(int argc, char** argv) {
  const std::string out = argc > 1 ? argv[1] : "/tmp/vantor_picture.png";
  const double seconds = argc > 2 ? std::atof(argv[2]) : 2.0;
  char folder[] = "/tmp/gl_picture.XXXXXX";
  if (!mkdtemp(folder)) return 1;
  struct Cleanup {
    const char* folder;
    ~Cleanup() { std::filesystem::remove_all(folder); }
  } cleanup{folder};
  try {
    picture::Scene scene(folder);
    scene.draw();
    const picture::Pixels pixels = scene.read();
    if (!picture::savePng(pixels, out)) {
      std::fprintf(stderr, "cannot save %s\n", out.c_str());
      return 1;
    }
    scene.device().Present();
    std::printf("saved %s (%dx%d)\n", out.c_str(), pixels.width, pixels.height);

    const plat::sdl::TextStats before = plat::sdl::textStats();
    const auto start = std::chrono::steady_clock::now();
    int frames = 0;
    double elapsed = 0;
    struct : plat::WindowEventSink {
      bool closed = false;
      void OnTextInput(const char*) override {}
      void OnBackspace() override {}
      void OnCloseRequest() override { closed = true; }
    } events;
    while (elapsed < seconds && !events.closed) {
      scene.platform().PumpEvents(events);
      scene.draw();
      scene.device().Present();
      ++frames;
      elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const plat::sdl::TextStats& after = plat::sdl::textStats();
    const auto& gl = static_cast<plat::sdl::GlDevice&>(scene.device());
    std::printf("%d frames in %.2f s: %.1f frames/s (vsync %s, pacing %s)\n", frames, elapsed,
                frames / elapsed, gl.vsync() ? "on" : "off", gl.pacing() ? "on" : "off");
    std::printf(
        "fonts: %llu created, %llu looked up, %llu files opened; strings: %llu rasterised, %llu reused\n",
        static_cast<unsigned long long>(after.fontsCreated - before.fontsCreated),
        static_cast<unsigned long long>(after.fontLookups - before.fontLookups),
        static_cast<unsigned long long>(after.fontFilesOpened - before.fontFilesOpened),
        static_cast<unsigned long long>(after.stringsRasterised - before.stringsRasterised),
        static_cast<unsigned long long>(after.stringsReused - before.stringsReused));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "gl_picture: %s\n", e.what());
    return 1;
  }
  return 0;
}
