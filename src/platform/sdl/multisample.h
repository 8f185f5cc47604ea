// Multisample anti-aliasing for the device: the frame is drawn into a multisampled
// framebuffer of the drawable's size and resolved into the window's back buffer before it
// is shown. (Software GL grants a window multisampled visuals and then draws them with one
// sample a pixel; its framebuffer objects do sample.) Where the driver has no
// multisampled framebuffers, nothing is made and frames go to the window as they are.
#pragma once

#include <SDL_opengl.h>

namespace plat::sdl {

class MultisampleTarget {
 public:
  // Needs the context current. `samples` is a wish: the driver's most if fewer.
  explicit MultisampleTarget(int samples);
  ~MultisampleTarget();
  MultisampleTarget(const MultisampleTarget&) = delete;
  MultisampleTarget& operator=(const MultisampleTarget&) = delete;

  // Samples a pixel; 0 when frames go to the window as they are.
  int samples() const { return framebuffer_ ? samples_ : 0; }
  // Draws go to a multisampled framebuffer of `width` × `height` from here on (made anew
  // when the size changes); does nothing without one.
  void drawInto(int width, int height);
  // The frame so far, resolved into the window's back buffer, which reads then come from;
  // draws still go to the multisampled framebuffer.
  void resolve();

 private:
  void release();

  PFNGLGENFRAMEBUFFERSPROC genFramebuffers_ = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers_ = nullptr;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer_ = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer_ = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus_ = nullptr;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers_ = nullptr;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers_ = nullptr;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer_ = nullptr;
  PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC renderbufferStorageMultisample_ = nullptr;
  PFNGLBLITFRAMEBUFFERPROC blitFramebuffer_ = nullptr;

  int samples_ = 0;
  bool usable_ = false;  // the driver has what it takes
  GLuint framebuffer_ = 0, colour_ = 0, depth_ = 0;
  int width_ = 0, height_ = 0;
};

}  // namespace plat::sdl
