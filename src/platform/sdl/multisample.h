// The device's own framebuffer: the frame is drawn into a framebuffer of the drawable's
// size (multisampled for smooth edges, where asked and the driver has it) and resolved into
// the window's back buffer before it is shown. (Software GL grants a window multisampled
// visuals and then draws them with one sample a pixel; its framebuffer objects do sample.)
// The framebuffer keeps its picture from frame to frame, and a multisampled one keeps its
// resolved picture too, so that a frame may draw and resolve again only what changed. Where
// the driver has no framebuffer objects, nothing is made and frames go to the window as
// they are.
#pragma once

#include <SDL_opengl.h>

#include <cstdint>
#include <vector>

#include "platform/sdl/gl_translate.h"

namespace plat::sdl {

class MultisampleTarget {
 public:
  // Needs the context current. `samples` is a wish: the driver's most if fewer; 1 makes a
  // framebuffer of one sample a pixel.
  explicit MultisampleTarget(int samples);
  ~MultisampleTarget();
  MultisampleTarget(const MultisampleTarget&) = delete;
  MultisampleTarget& operator=(const MultisampleTarget&) = delete;

  // Samples a pixel; 0 when frames go to the window as they are.
  int samples() const { return framebuffer_ ? samples_ : 0; }
  // True while draws go to a framebuffer that keeps its picture.
  bool keeps() const { return framebuffer_ != 0; }
  // Draws go to the framebuffer of `width` × `height` from here on (made anew when the size
  // changes: then true, its picture lost); does nothing without one.
  bool drawInto(int width, int height);
  // The frame so far, resolved into the window's back buffer, which reads then come from;
  // draws still go to the framebuffer.
  void resolve();
  // The frame into the window's back buffer, where only `boxes` changed since the last
  // call (all of it when `whole`).
  void show(const std::vector<PixelRect>& boxes, bool whole);
  // Bytes of the framebuffers made.
  int64_t bytes() const;
  // The window's back buffer keeps its picture through a swap (a software renderer's swap
  // copies it out): `show` then resolves only what changed into it, with no picture of
  // its own in between. Set before the first drawInto.
  void setWindowKeepsPicture(bool keeps) { windowKeeps_ = keeps; }

 private:
  void release();
  void blit(GLuint from, GLuint to, const PixelRect& r);

  PFNGLGENFRAMEBUFFERSPROC genFramebuffers_ = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers_ = nullptr;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer_ = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer_ = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus_ = nullptr;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers_ = nullptr;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers_ = nullptr;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer_ = nullptr;
  PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC renderbufferStorageMultisample_ = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage_ = nullptr;
  PFNGLBLITFRAMEBUFFERPROC blitFramebuffer_ = nullptr;

  int samples_ = 0;
  bool usable_ = false;  // the driver has what it takes
  bool windowKeeps_ = false;
  GLuint framebuffer_ = 0, colour_ = 0, depth_ = 0;
  // A multisampled framebuffer's picture resolved (one sample a pixel).
  GLuint shown_ = 0, shownColour_ = 0;
  int width_ = 0, height_ = 0;
};

}  // namespace plat::sdl
