// The window's size and place as the window system has them, and full screen placed by hand
// where the window system does not honour the request.
#pragma once

#include <SDL.h>

namespace plat::sdl {

// The window's drawable in pixels. SDL reports the size it asked for; where the window
// system gave another (a bare X server without a window manager keeps a full-screen
// window at its first size), the X server is asked instead.
void drawableSize(SDL_Window* window, int* width, int* height);

// The window's place and size on the screen as the X server has them; false where they
// cannot be read (then SDL's own idea is the best there is).
bool windowBounds(SDL_Window* window, SDL_Rect* bounds);

// True where a window manager runs on the window's X display; also wherever the window
// system is not X (it is trusted to honour full screen).
bool windowManagerRuns(SDL_Window* window);

// Full screen by hand: places the window over `bounds`, without decorations, above the
// others. With `bounds` null, gives the decorations back. False where it cannot (not X).
bool placeByHand(SDL_Window* window, const SDL_Rect* bounds);

}  // namespace plat::sdl
