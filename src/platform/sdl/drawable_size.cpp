// Kept apart: the X headers define names (None, Status, ...) that the rest would trip over.
#include "platform/sdl/drawable_size.h"

#ifdef VANTOR_X11
#include <SDL_syswm.h>
#endif

namespace plat::sdl {

void drawableSize(SDL_Window* window, int* width, int* height) {
  *width = *height = 0;
  if (!window) return;
#ifdef VANTOR_X11
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes) != 0 &&
        attributes.width > 0 && attributes.height > 0) {
      *width = attributes.width;
      *height = attributes.height;
      return;
    }
  }
#endif
  SDL_GL_GetDrawableSize(window, width, height);
}

}  // namespace plat::sdl
