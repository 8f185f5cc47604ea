// The size of a window's drawable as the window system has it.
#pragma once

#include <SDL.h>

namespace plat::sdl {

// The window's drawable in pixels. SDL reports the size it asked for; where the window
// system gave another (a bare X server without a window manager keeps a full-screen
// window at its first size), the X server is asked instead.
void drawableSize(SDL_Window* window, int* width, int* height);

}  // namespace plat::sdl
