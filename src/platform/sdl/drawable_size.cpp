// Kept apart: the X headers define names (None, Status, ...) that the rest would trip over.
#include "platform/sdl/drawable_size.h"

#ifdef VANTOR_X11
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#endif

namespace plat::sdl {

#ifdef VANTOR_X11
namespace {

bool x11Window(SDL_Window* window, Display** display, Window* xwindow) {
  if (!window) return false;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  *display = info.info.x11.display;
  *xwindow = info.info.x11.window;
  return true;
}

// An X error while the check below looks at a window that may be gone (a window manager
// that ended leaves its mark on the root window) is noted, not fatal.
bool xErrorSeen = false;
int noteXError(Display*, XErrorEvent*) {
  xErrorSeen = true;
  return 0;
}

// The window named by `property` on `window`, or 0.
Window windowProperty(Display* display, Window window, Atom property) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  Window found = 0;
  if (XGetWindowProperty(display, window, property, 0, 1, False, XA_WINDOW, &type, &format, &count, &after,
                         &data) == Success &&
      type == XA_WINDOW && format == 32 && count == 1 && data != nullptr) {
    found = *reinterpret_cast<Window*>(data);
  }
  if (data != nullptr) XFree(data);
  return found;
}

}  // namespace
#endif

void drawableSize(SDL_Window* window, int* width, int* height) {
  *width = *height = 0;
  if (!window) return;
#ifdef VANTOR_X11
  Display* display = nullptr;
  Window xwindow = 0;
  if (x11Window(window, &display, &xwindow)) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, xwindow, &attributes) != 0 && attributes.width > 0 &&
        attributes.height > 0) {
      *width = attributes.width;
      *height = attributes.height;
      return;
    }
  }
#endif
  SDL_GL_GetDrawableSize(window, width, height);
}

bool windowBounds(SDL_Window* window, SDL_Rect* bounds) {
#ifdef VANTOR_X11
  Display* display = nullptr;
  Window xwindow = 0, child = 0;
  XWindowAttributes attributes;
  int x = 0, y = 0;
  if (x11Window(window, &display, &xwindow) && XGetWindowAttributes(display, xwindow, &attributes) != 0 &&
      XTranslateCoordinates(display, xwindow, attributes.root, 0, 0, &x, &y, &child)) {
    *bounds = {x, y, attributes.width, attributes.height};
    return true;
  }
#else
  (void)window;
  (void)bounds;
#endif
  return false;
}

bool windowManagerRuns(SDL_Window* window) {
#ifdef VANTOR_X11
  Display* display = nullptr;
  Window xwindow = 0;
  if (!x11Window(window, &display, &xwindow)) return true;
  // A running manager names a window of its own on the root window, which names itself.
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
  if (check == 0) return false;
  const Window own = windowProperty(display, DefaultRootWindow(display), check);
  if (own == 0) return false;
  XSync(display, False);
  xErrorSeen = false;
  int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler(noteXError);
  const Window named = windowProperty(display, own, check);
  XSync(display, False);
  XSetErrorHandler(previous);
  return !xErrorSeen && named == own;
#else
  (void)window;
  return true;
#endif
}

bool placeByHand(SDL_Window* window, const SDL_Rect* bounds) {
#ifdef VANTOR_X11
  Display* display = nullptr;
  Window xwindow = 0;
  if (!x11Window(window, &display, &xwindow)) return false;
  // Motif's hints, the one way to ask any manager for no decorations: flags (2: the
  // decorations field counts), functions, decorations, input mode, status.
  const Atom hints = XInternAtom(display, "_MOTIF_WM_HINTS", False);
  const long motif[5] = {2, 0, bounds ? 0 : 1, 0, 0};
  XChangeProperty(display, xwindow, hints, hints, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(motif),
                  5);
  if (bounds) {
    XMoveResizeWindow(display, xwindow, bounds->x, bounds->y, static_cast<unsigned>(bounds->w),
                      static_cast<unsigned>(bounds->h));
    XRaiseWindow(display, xwindow);
  }
  XSync(display, False);
  return true;
#else
  (void)window;
  (void)bounds;
  return false;
#endif
}

}  // namespace plat::sdl
