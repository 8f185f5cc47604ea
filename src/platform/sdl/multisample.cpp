#include "platform/sdl/multisample.h"

#include <SDL.h>

#include <algorithm>
#include <string>

namespace plat::sdl {

namespace {

// A GL entry point by its core name, else by its EXT name (OpenGL 2.1 drivers).
template <typename F>
F load(const char* name) {
  void* p = SDL_GL_GetProcAddress(name);
  if (!p) p = SDL_GL_GetProcAddress((std::string(name) + "EXT").c_str());
  return reinterpret_cast<F>(p);
}

}  // namespace

MultisampleTarget::MultisampleTarget(int samples) {
  const bool framebuffers = SDL_GL_ExtensionSupported("GL_ARB_framebuffer_object") ||
                            (SDL_GL_ExtensionSupported("GL_EXT_framebuffer_object") &&
                             SDL_GL_ExtensionSupported("GL_EXT_framebuffer_multisample") &&
                             SDL_GL_ExtensionSupported("GL_EXT_framebuffer_blit"));
  if (!framebuffers || samples < 2) return;
  genFramebuffers_ = load<PFNGLGENFRAMEBUFFERSPROC>("glGenFramebuffers");
  deleteFramebuffers_ = load<PFNGLDELETEFRAMEBUFFERSPROC>("glDeleteFramebuffers");
  bindFramebuffer_ = load<PFNGLBINDFRAMEBUFFERPROC>("glBindFramebuffer");
  framebufferRenderbuffer_ = load<PFNGLFRAMEBUFFERRENDERBUFFERPROC>("glFramebufferRenderbuffer");
  checkFramebufferStatus_ = load<PFNGLCHECKFRAMEBUFFERSTATUSPROC>("glCheckFramebufferStatus");
  genRenderbuffers_ = load<PFNGLGENRENDERBUFFERSPROC>("glGenRenderbuffers");
  deleteRenderbuffers_ = load<PFNGLDELETERENDERBUFFERSPROC>("glDeleteRenderbuffers");
  bindRenderbuffer_ = load<PFNGLBINDRENDERBUFFERPROC>("glBindRenderbuffer");
  renderbufferStorageMultisample_ = load<PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC>("glRenderbufferStorageMultisample");
  blitFramebuffer_ = load<PFNGLBLITFRAMEBUFFERPROC>("glBlitFramebuffer");
  GLint most = 0;
  glGetIntegerv(GL_MAX_SAMPLES, &most);
  samples_ = std::min(samples, static_cast<int>(most));
  usable_ = genFramebuffers_ && deleteFramebuffers_ && bindFramebuffer_ && framebufferRenderbuffer_ &&
            checkFramebufferStatus_ && genRenderbuffers_ && deleteRenderbuffers_ && bindRenderbuffer_ &&
            renderbufferStorageMultisample_ && blitFramebuffer_ && samples_ >= 2;
  glGetError();  // whatever the queries left
}

MultisampleTarget::~MultisampleTarget() { release(); }

void MultisampleTarget::release() {
  if (!framebuffer_) return;
  bindFramebuffer_(GL_FRAMEBUFFER, 0);
  deleteFramebuffers_(1, &framebuffer_);
  const GLuint buffers[2] = {colour_, depth_};
  deleteRenderbuffers_(2, buffers);
  framebuffer_ = colour_ = depth_ = 0;
  width_ = height_ = 0;
}

void MultisampleTarget::drawInto(int width, int height) {
  if (!usable_ || width <= 0 || height <= 0) return;
  if (framebuffer_ && width == width_ && height == height_) {
    bindFramebuffer_(GL_DRAW_FRAMEBUFFER, framebuffer_);
    return;
  }
  release();
  genFramebuffers_(1, &framebuffer_);
  genRenderbuffers_(1, &colour_);
  genRenderbuffers_(1, &depth_);
  bindRenderbuffer_(GL_RENDERBUFFER, colour_);
  renderbufferStorageMultisample_(GL_RENDERBUFFER, samples_, GL_RGBA8, width, height);
  bindRenderbuffer_(GL_RENDERBUFFER, depth_);
  renderbufferStorageMultisample_(GL_RENDERBUFFER, samples_, GL_DEPTH_COMPONENT24, width, height);
  bindRenderbuffer_(GL_RENDERBUFFER, 0);
  bindFramebuffer_(GL_FRAMEBUFFER, framebuffer_);
  framebufferRenderbuffer_(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
  framebufferRenderbuffer_(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
  if (checkFramebufferStatus_(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE || glGetError() != GL_NO_ERROR) {
    release();  // quietly without: frames go to the window
    usable_ = false;
    return;
  }
  bindFramebuffer_(GL_READ_FRAMEBUFFER, 0);
  width_ = width;
  height_ = height;
}

void MultisampleTarget::resolve() {
  if (!framebuffer_) return;
  // The whole framebuffer, bars included, whatever scissor the frame left set.
  GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  glDisable(GL_SCISSOR_TEST);
  bindFramebuffer_(GL_READ_FRAMEBUFFER, framebuffer_);
  bindFramebuffer_(GL_DRAW_FRAMEBUFFER, 0);
  blitFramebuffer_(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  bindFramebuffer_(GL_READ_FRAMEBUFFER, 0);
  bindFramebuffer_(GL_DRAW_FRAMEBUFFER, framebuffer_);
  if (scissor) glEnable(GL_SCISSOR_TEST);
}

}  // namespace plat::sdl
