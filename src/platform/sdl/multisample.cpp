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
  if (!framebuffers || samples < 1) return;
  genFramebuffers_ = load<PFNGLGENFRAMEBUFFERSPROC>("glGenFramebuffers");
  deleteFramebuffers_ = load<PFNGLDELETEFRAMEBUFFERSPROC>("glDeleteFramebuffers");
  bindFramebuffer_ = load<PFNGLBINDFRAMEBUFFERPROC>("glBindFramebuffer");
  framebufferRenderbuffer_ = load<PFNGLFRAMEBUFFERRENDERBUFFERPROC>("glFramebufferRenderbuffer");
  checkFramebufferStatus_ = load<PFNGLCHECKFRAMEBUFFERSTATUSPROC>("glCheckFramebufferStatus");
  genRenderbuffers_ = load<PFNGLGENRENDERBUFFERSPROC>("glGenRenderbuffers");
  deleteRenderbuffers_ = load<PFNGLDELETERENDERBUFFERSPROC>("glDeleteRenderbuffers");
  bindRenderbuffer_ = load<PFNGLBINDRENDERBUFFERPROC>("glBindRenderbuffer");
  renderbufferStorageMultisample_ = load<PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC>("glRenderbufferStorageMultisample");
  renderbufferStorage_ = load<PFNGLRENDERBUFFERSTORAGEPROC>("glRenderbufferStorage");
  blitFramebuffer_ = load<PFNGLBLITFRAMEBUFFERPROC>("glBlitFramebuffer");
  GLint most = 0;
  if (samples > 1) glGetIntegerv(GL_MAX_SAMPLES, &most);
  samples_ = samples > 1 && most > 1 ? std::min(samples, static_cast<int>(most)) : 1;
  usable_ = genFramebuffers_ && deleteFramebuffers_ && bindFramebuffer_ && framebufferRenderbuffer_ &&
            checkFramebufferStatus_ && genRenderbuffers_ && deleteRenderbuffers_ && bindRenderbuffer_ &&
            renderbufferStorageMultisample_ && renderbufferStorage_ && blitFramebuffer_;
  glGetError();  // whatever the queries left
}

MultisampleTarget::~MultisampleTarget() { release(); }

void MultisampleTarget::release() {
  if (!framebuffer_) return;
  bindFramebuffer_(GL_FRAMEBUFFER, 0);
  deleteFramebuffers_(1, &framebuffer_);
  if (shown_) deleteFramebuffers_(1, &shown_);
  const GLuint buffers[3] = {colour_, depth_, shownColour_};
  deleteRenderbuffers_(shownColour_ ? 3 : 2, buffers);
  framebuffer_ = colour_ = depth_ = shown_ = shownColour_ = 0;
  width_ = height_ = 0;
}

bool MultisampleTarget::drawInto(int width, int height) {
  if (!usable_ || width <= 0 || height <= 0) return false;
  if (framebuffer_ && width == width_ && height == height_) {
    bindFramebuffer_(GL_DRAW_FRAMEBUFFER, framebuffer_);
    return false;
  }
  release();
  auto storage = [this](GLenum format, int samples, int w, int h) {
    if (samples > 1) {
      renderbufferStorageMultisample_(GL_RENDERBUFFER, samples, format, w, h);
    } else {
      renderbufferStorage_(GL_RENDERBUFFER, format, w, h);
    }
  };
  genFramebuffers_(1, &framebuffer_);
  genRenderbuffers_(1, &colour_);
  genRenderbuffers_(1, &depth_);
  bindRenderbuffer_(GL_RENDERBUFFER, colour_);
  storage(GL_RGBA8, samples_, width, height);
  bindRenderbuffer_(GL_RENDERBUFFER, depth_);
  storage(GL_DEPTH_COMPONENT24, samples_, width, height);
  bool complete = true;
  if (samples_ > 1 && !windowKeeps_) {
    genFramebuffers_(1, &shown_);
    genRenderbuffers_(1, &shownColour_);
    bindRenderbuffer_(GL_RENDERBUFFER, shownColour_);
    storage(GL_RGBA8, 1, width, height);
    bindFramebuffer_(GL_FRAMEBUFFER, shown_);
    framebufferRenderbuffer_(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, shownColour_);
    complete = checkFramebufferStatus_(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  }
  bindRenderbuffer_(GL_RENDERBUFFER, 0);
  bindFramebuffer_(GL_FRAMEBUFFER, framebuffer_);
  framebufferRenderbuffer_(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
  framebufferRenderbuffer_(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
  if (!complete || checkFramebufferStatus_(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE ||
      glGetError() != GL_NO_ERROR) {
    release();  // quietly without: frames go to the window
    usable_ = false;
    return true;
  }
  bindFramebuffer_(GL_READ_FRAMEBUFFER, 0);
  width_ = width;
  height_ = height;
  return true;
}

int64_t MultisampleTarget::bytes() const {
  if (!framebuffer_) return 0;
  const int64_t pixels = int64_t{width_} * height_;
  return pixels * samples_ * 8 + (shown_ ? pixels * 4 : 0);
}

void MultisampleTarget::blit(GLuint from, GLuint to, const PixelRect& r) {
  bindFramebuffer_(GL_READ_FRAMEBUFFER, from);
  bindFramebuffer_(GL_DRAW_FRAMEBUFFER, to);
  blitFramebuffer_(r.x, r.y, r.x + r.width, r.y + r.height, r.x, r.y, r.x + r.width, r.y + r.height,
                   GL_COLOR_BUFFER_BIT, GL_NEAREST);
}

void MultisampleTarget::show(const std::vector<PixelRect>& boxes, bool whole) {
  if (!framebuffer_) return;
  GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  glDisable(GL_SCISSOR_TEST);
  const PixelRect all{0, 0, width_, height_};
  if (windowKeeps_ || shown_) {
    const GLuint into = shown_ ? shown_ : 0;
    if (whole) {
      blit(framebuffer_, into, all);
    } else {
      for (const PixelRect& r : boxes) blit(framebuffer_, into, r);
    }
    if (shown_) blit(shown_, 0, all);
  } else {
    blit(framebuffer_, 0, all);
  }
  bindFramebuffer_(GL_READ_FRAMEBUFFER, 0);
  bindFramebuffer_(GL_DRAW_FRAMEBUFFER, framebuffer_);
  if (scissor) glEnable(GL_SCISSOR_TEST);
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
