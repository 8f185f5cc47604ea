#include "platform/sdl/gl_device.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/background.h"
#include "platform/sdl/drawable_size.h"
#include "platform/sdl/font_finder.h"
#include "platform/sdl/mipmaps.h"

namespace plat::sdl {

namespace {

D3DMATRIX identity() {
  D3DMATRIX m{};
  for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
  return m;
}

int64_t nowMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool hasExtension(const char* name) {
  const char* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  if (!all) return false;
  const size_t n = std::strlen(name);
  for (const char* p = std::strstr(all, name); p; p = std::strstr(p + 1, name)) {
    if ((p == all || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  }
  return false;
}

bool pacingSwitchedOff() {
  const char* v = std::getenv("VANTOR_NO_PACING");
  return v && std::strcmp(v, "1") == 0;
}

// Render states with the values of a freshly created (or reset) Direct3D 8 device.
struct DefaultState {
  D3DRENDERSTATETYPE state;
  DWORD value;
};
constexpr DefaultState kDefaults[] = {
    {D3DRS_FILLMODE, D3DFILL_SOLID},
    {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
    {D3DRS_ZWRITEENABLE, 1},
    {D3DRS_ALPHATESTENABLE, 0},
    {D3DRS_SRCBLEND, D3DBLEND_ONE},
    {D3DRS_DESTBLEND, D3DBLEND_ZERO},
    {D3DRS_CULLMODE, D3DCULL_CCW},
    {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
    {D3DRS_ALPHAREF, 0},
    {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
    {D3DRS_DITHERENABLE, 0},
    {D3DRS_ALPHABLENDENABLE, 0},
    {D3DRS_FOGENABLE, 0},
    {D3DRS_SPECULARENABLE, 0},
    {D3DRS_LIGHTING, 1},
    {D3DRS_AMBIENT, 0},
    {D3DRS_NORMALIZENORMALS, 0},
};

// Mesa's software renderers on X11 draw the window's back buffer in the program's own memory
// and copy it out at a swap: it still holds the frame afterwards.
bool windowKeepsPicture() {
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!renderer || !driver || std::strcmp(driver, "x11") != 0) return false;
  return std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe") || std::strstr(renderer, "swrast");
}

}  // namespace

TextStats& textStats() {
  static TextStats stats;
  return stats;
}

// ---------------------------------------------------------------------------------------
GlTexture::GlTexture(std::shared_ptr<DeviceLink> link, GLuint name, int width, int height, uint64_t serial)
    : link_(std::move(link)), name_(name), width_(width), height_(height), serial_(serial) {}

GlTexture::~GlTexture() {
  if (link_->device) link_->device->releaseTexture(this);
}

HRESULT GlFont::DrawText(const char* text, const RECT& rect, DWORD format, D3DCOLOR color) {
  if (!link_->device) return D3DERR_INVALIDCALL;
  return link_->device->drawText(*this, text, rect, format, color);
}

// ---------------------------------------------------------------------------------------
GlDevice::GlDevice(WindowState* state, SDL_GLContext context, const D3DPRESENT_PARAMETERS& params, int samples)
    : window_(state), context_(context), link_(std::make_shared<DeviceLink>()) {
  link_->device = this;
  SDL_GL_MakeCurrent(window_->window, context_);
  if (params.BackBufferWidth && params.BackBufferHeight) {
    backWidth_ = static_cast<int>(params.BackBufferWidth);
    backHeight_ = static_cast<int>(params.BackBufferHeight);
  }
  glSecondaryColorPointer_ =
      reinterpret_cast<PFNGLSECONDARYCOLORPOINTERPROC>(SDL_GL_GetProcAddress("glSecondaryColorPointer"));
  if (!hasExtension("GL_ARB_vertex_array_bgra") && !hasExtension("GL_EXT_vertex_array_bgra")) {
    std::fprintf(stderr, "vantor: OpenGL lacks BGRA vertex colours; screen colours may be wrong\n");
  }

  // D3DSWAPEFFECT_COPY_VSYNC: Present returns at the display's refresh. Without vertical
  // sync from the driver (Xvfb, software GL) Present waits for the refresh itself.
  vsync_ = SDL_GL_SetSwapInterval(-1) == 0 || SDL_GL_SetSwapInterval(1) == 0;
  SDL_DisplayMode mode;
  int refresh = 0;
  if (SDL_GetDesktopDisplayMode(std::max(SDL_GetWindowDisplayIndex(window_->window), 0), &mode) == 0) {
    refresh = mode.refresh_rate;
  }
  pacer_ = FramePacer(refresh);
  pacing_ = !vsync_ && !pacingSwitchedOff();

  ttfReady_ = TTF_WasInit() > 0 || TTF_Init() == 0;
  if (!ttfReady_) std::fprintf(stderr, "vantor: SDL_ttf: %s\n", TTF_GetError());

  glFrontFace(GL_CCW);
  glDisable(GL_COLOR_MATERIAL);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glEnableClientState(GL_VERTEX_ARRAY);
  autoDepth_ = params.EnableAutoDepthStencil;
  // Four samples a pixel for smooth edges, where the driver has them.
  target_ = std::make_unique<MultisampleTarget>(samples);
  target_->setWindowKeepsPicture(windowKeepsPicture());
  boxes_.reserve(2 * kMostBoxes + 2);
  defaultState(&rec_);
  copyState(&frameStart_, rec_);
  copyState(&exec_, rec_);
  applyAllState();
  updateViewport();
}

GlDevice::~GlDevice() {
  SDL_GL_MakeCurrent(window_->window, context_);
  if (!pendingDeletes_.empty()) glDeleteTextures(static_cast<GLsizei>(pendingDeletes_.size()), pendingDeletes_.data());
  target_.reset();
  std::vector<uint32_t> textures;
  textCache_.clear(&textures);
  if (!textures.empty()) glDeleteTextures(static_cast<GLsizei>(textures.size()), textures.data());
  fonts_.clear();
  for (FaceEntry& f : faces_) TTF_CloseFont(f.font);
  faces_.clear();
  if (ttfReady_) TTF_Quit();
  link_->device = nullptr;  // textures and fonts still held by the game no longer touch GL
  SDL_GL_DeleteContext(context_);
}

void GlDevice::copyState(DeviceState* to, const DeviceState& from) {
  std::memcpy(static_cast<void*>(to), &from, sizeof(DeviceState));
}

// The state of a freshly created (or reset) Direct3D 8 device.
void GlDevice::defaultState(DeviceState* s) const {
  std::memset(static_cast<void*>(s), 0, sizeof(DeviceState));
  s->renderState[D3DRS_ZENABLE] = autoDepth_ ? 1 : 0;
  for (const DefaultState& d : kDefaults) s->renderState[d.state] = d.value;
  s->world = s->view = s->projection = identity();
  s->stage[D3DTSS_COLOROP] = D3DTOP_MODULATE;
  s->stage[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
  s->stage[D3DTSS_COLORARG2] = D3DTA_CURRENT;
  s->stage[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
  s->stage[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
  s->stage[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
  s->stage[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
  s->stage[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
  s->stage[D3DTSS_MAGFILTER] = 1;  // D3DTEXF_POINT
  s->stage[D3DTSS_MINFILTER] = 1;
}

// OpenGL told the whole of `exec_`, as after a reset: the render states at once, the rest
// at the next draw.
void GlDevice::applyAllState() {
  applyRenderState(D3DRS_ZENABLE);
  for (const DefaultState& d : kDefaults) applyRenderState(d.state);
  for (DWORD i = 0; i < kLights; ++i) glDisable(GL_LIGHT0 + i);
  mode_ = Mode::None;
  matricesDirty_ = lightsDirty_ = materialDirty_ = stageDirty_ = true;
}

void GlDevice::applyRenderState(DWORD state) {
  const auto& renderState_ = exec_.renderState;
  const DWORD v = renderState_[state];
  auto enable = [](GLenum cap, bool on) { on ? glEnable(cap) : glDisable(cap); };
  switch (state) {
    case D3DRS_ZENABLE:
      enable(GL_DEPTH_TEST, v != 0);
      break;
    case D3DRS_ZFUNC:
      glDepthFunc(compareFuncFor(v));
      break;
    case D3DRS_ZWRITEENABLE:
      glDepthMask(v ? GL_TRUE : GL_FALSE);
      break;
    case D3DRS_ALPHABLENDENABLE:
      enable(GL_BLEND, v != 0);
      break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
      glBlendFunc(blendFactorFor(renderState_[D3DRS_SRCBLEND]),
                  blendFactorFor(renderState_[D3DRS_DESTBLEND]));
      break;
    case D3DRS_CULLMODE: {
      const CullState c = cullStateFor(v);
      enable(GL_CULL_FACE, c.enabled);
      glCullFace(c.face);
      break;
    }
    case D3DRS_ALPHATESTENABLE:
      enable(GL_ALPHA_TEST, v != 0);
      break;
    case D3DRS_ALPHAREF:
    case D3DRS_ALPHAFUNC:
      glAlphaFunc(compareFuncFor(renderState_[D3DRS_ALPHAFUNC]),
                  static_cast<float>(renderState_[D3DRS_ALPHAREF] & 0xFF) / 255.0f);
      break;
    case D3DRS_FILLMODE:
      glPolygonMode(GL_FRONT_AND_BACK, polygonModeFor(v));
      break;
    case D3DRS_SHADEMODE:
      glShadeModel(v == D3DSHADE_FLAT ? GL_FLAT : GL_SMOOTH);
      break;
    case D3DRS_DITHERENABLE:
      enable(GL_DITHER, v != 0);
      break;
    case D3DRS_NORMALIZENORMALS:
      enable(GL_NORMALIZE, v != 0);
      break;
    case D3DRS_SPECULARENABLE:
    case D3DRS_AMBIENT:
      materialDirty_ = true;
      break;
    default:
      break;  // kept, and read where it matters (lighting at draw time)
  }
}

void GlDevice::drawableSize(int* width, int* height) const {
  *width = window_->drawableWidth;
  *height = window_->drawableHeight;
  if (*width <= 0 || *height <= 0) SDL_GL_GetDrawableSize(window_->window, width, height);
}

void GlDevice::updateViewport() {
  int w = 0, h = 0;
  drawableSize(&w, &h);
  if (w <= 0 || h <= 0) w = backWidth_, h = backHeight_;
  if (target_->drawInto(w, h)) previousValid_ = false;
  viewport_ = letterbox(w, h, backWidth_, backHeight_);
  glViewport(viewport_.x, viewport_.y, viewport_.width, viewport_.height);
  const double scale = static_cast<double>(viewport_.height) / backHeight_;
  if (scale != textScale_) {
    textScale_ = scale;
    dropScaledFaces();
  }
}

// ---------------------------------------------------------------------------------------
HRESULT GlDevice::TestCooperativeLevel() {
  if (window_->lost()) {
    // Nothing is drawn or presented while lost; keep the caller's loop from spinning.
    if (!pacingSwitchedOff()) SDL_Delay(static_cast<uint32_t>(pacer_.periodMicros() / 1000));
    return D3DERR_DEVICELOST;
  }
  return window_->lostSinceReset ? D3DERR_DEVICENOTRESET : D3D_OK;
}

HRESULT GlDevice::Reset(const D3DPRESENT_PARAMETERS& params) {
  if (window_->lost()) return D3DERR_DEVICELOST;
  // What was kept of a frame is drawn with the state it was recorded in.
  if (!frame_.commands().empty() && !direct_) resolve();
  if (params.BackBufferWidth && params.BackBufferHeight) {
    backWidth_ = static_cast<int>(params.BackBufferWidth);
    backHeight_ = static_cast<int>(params.BackBufferHeight);
  }
  autoDepth_ = params.EnableAutoDepthStencil;
  defaultState(&rec_);
  copyState(&exec_, rec_);
  if (frame_.commands().empty()) copyState(&frameStart_, rec_);
  applyAllState();
  updateViewport();
  previousValid_ = false;
  window_->lostSinceReset = false;
  return D3D_OK;
}

HRESULT GlDevice::Clear(DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  updateViewport();
  ClearArgs a{};
  a.flags = flags;
  a.color = color;
  a.z = z;
  a.stencil = stencil;
  a.viewport = viewport_;
  drawableSize(&a.drawableWidth, &a.drawableHeight);
  // A frame's picture owes nothing to the one before only where it starts by clearing it
  // (colour clears the bars around the back buffer too).
  if (frame_.pixelCalls() == 0) clearsFirst_ = (flags & D3DCLEAR_TARGET) && (flags & D3DCLEAR_ZBUFFER);
  const uint32_t from = frame_.keep(&a, sizeof a);
  FrameRecord::Command& c = frame_.add(FrameRecord::Op::Clear);
  c.data = from;
  c.size = sizeof a;
  frame_.sign(from, PixelRect{0, 0, a.drawableWidth, a.drawableHeight});
  return commit(c);
}

HRESULT GlDevice::BeginScene() { return D3D_OK; }
HRESULT GlDevice::EndScene() { return D3D_OK; }

void GlDevice::waitForRefresh() {
  const int64_t wait = pacer_.waitBefore(nowMicros());
  if (wait > 0) std::this_thread::sleep_for(std::chrono::microseconds(wait));
}

HRESULT GlDevice::Present() {
  if (window_->showFrameRate) drawFrameRate();
  drawFrame();
  if (pacing_) waitForRefresh();
  // Some swaps (an off-screen surface) do not flush the frame's queued work; without this
  // the renderer's queue, and the memory it holds, grows with every frame.
  glFlush();
  SDL_GL_SwapWindow(window_->window);
  noteSwap();
  FramePresented();
  if (vsync_ && !pacing_ && checkedPresents_ < kVsyncCheckFrames) {
    // A driver may accept a swap interval and still not wait: check the first frames.
    const int64_t now = nowMicros();
    if (checkedPresents_ == 0) vsyncCheckStart_ = now;
    if (++checkedPresents_ == kVsyncCheckFrames &&
        now - vsyncCheckStart_ < (kVsyncCheckFrames - 1) * pacer_.periodMicros() / 2) {
      pacing_ = !pacingSwitchedOff();
    }
  }
  return D3D_OK;
}

void GlDevice::noteSwap() { swapTimes_[swapCount_++ % swapTimes_.size()] = nowMicros(); }

// Frames shown in the last second and the longest time between two of them, in the top
// right corner, over everything the frame drew.
void GlDevice::drawFrameRate() {
  const int64_t now = nowMicros();
  if (readout_[0] == '\0' || now - readoutAt_ >= 500000) {
    readoutAt_ = now;
    int frames = 0;
    int64_t worst = 0;
    const size_t n = std::min(swapCount_, swapTimes_.size());
    for (size_t i = 1; i < n; ++i) {
      const int64_t t = swapTimes_[(swapCount_ - i) % swapTimes_.size()];
      if (now - t > 1000000) break;
      ++frames;
      worst = std::max(worst, t - swapTimes_[(swapCount_ - i - 1) % swapTimes_.size()]);
    }
    std::snprintf(readout_, sizeof readout_, "%d fps, worst %.1f ms", frames, static_cast<double>(worst) / 1000.0);
  }
  if (!readoutFont_) {
    FontDesc desc;
    desc.face = "DejaVu Sans Mono";
    desc.points = 10;
    desc.bold = true;
    readoutFont_ = std::static_pointer_cast<GlFont>(CreateFont(desc));
    if (!readoutFont_) return;
  }
  const int32_t right = backWidth_ - 6, left = right - 190, top = 6, bottom = top + 20;
  drawText(*readoutFont_, readout_, RECT{left + 1, top + 1, right + 1, bottom + 1}, DT_LEFT, 0xFF000000);
  drawText(*readoutFont_, readout_, RECT{left, top, right, bottom}, DT_LEFT, 0xFFFFFF40);
}

// ---------------------------------------------------------------------------------------
// Recording.

HRESULT GlDevice::commit(const FrameRecord::Command& c) {
  if (direct_) execute(frame_, c, nullptr);
  return D3D_OK;
}

// The state a draw's pixels depend on, the rest zeroed: lights that are off, and lighting
// and matrices where the draw does not use them, make no difference to it.
uint32_t GlDevice::keepState(bool pretransformed) {
  const uint32_t at = frame_.keep(&rec_, sizeof rec_);
  auto* s = reinterpret_cast<DeviceState*>(frame_.bytes(at));
  const bool lit = !pretransformed && s->renderState[D3DRS_LIGHTING] != 0;
  for (DWORD i = 0; i < kLights; ++i) {
    if (!lit || !s->lightOn[i]) std::memset(static_cast<void*>(&s->lights[i]), 0, sizeof s->lights[i]);
  }
  if (!lit) {
    std::memset(static_cast<void*>(&s->material), 0, sizeof s->material);
    s->renderState[D3DRS_AMBIENT] = 0;
  }
  if (pretransformed) s->world = s->view = s->projection = D3DMATRIX{};
  return at;
}

HRESULT GlDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state >= kRenderStateCount) return D3DERR_INVALIDCALL;
  rec_.renderState[state] = value;
  FrameRecord::Command& c = frame_.add(FrameRecord::Op::RenderState);
  c.a = state;
  c.b = value;
  return commit(c);
}

HRESULT GlDevice::SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX& m) {
  switch (type) {
    case D3DTS_WORLD:
      rec_.world = m;
      break;
    case D3DTS_VIEW:
      rec_.view = m;
      break;
    case D3DTS_PROJECTION:
      rec_.projection = m;
      break;
    default:
      return D3DERR_INVALIDCALL;
  }
  FrameRecord::Command& c = frame_.add(FrameRecord::Op::Transform);
  c.a = type;
  c.data = frame_.keep(&m, sizeof m);
  return commit(c);
}

HRESULT GlDevice::SetTexture(DWORD stage, Texture* texture) {
  if (stage >= 8) return D3DERR_INVALIDCALL;
  if (stage != 0) return D3D_OK;
  auto* t = static_cast<GlTexture*>(texture);
  rec_.texture = t ? t->name() : 0;
  rec_.textureSerial = t ? t->serial() : 0;
  FrameRecord::Command& c = frame_.add(FrameRecord::Op::Texture);
  c.a = rec_.texture;
  return commit(c);
}

HRESULT GlDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (stage >= 8 || type >= rec_.stage.size()) return D3DERR_INVALIDCALL;
  if (stage != 0) return D3D_OK;
  rec_.stage[type] = value;
  FrameRecord::Command& c = frame_.add(FrameRecord::Op::StageState);
  c.a = type;
  c.b = value;
  return commit(c);
}

HRESULT GlDevice::SetVertexShader(DWORD fvf) {
  VertexLayout layout;
  if (!layoutFor(fvf, &layout)) return D3DERR_INVALIDCALL;
  rec_.fvf = fvf;
  FrameRecord::Command& c = frame_.add(FrameRecord::Op::VertexShader);
  c.a = fvf;
  return commit(c);
}

HRESULT GlDevice::SetMaterial(const D3DMATERIAL8& material) {
  rec_.material = material;
  FrameRecord::Command& c = frame_.add(FrameRecord::Op::Material);
  c.data = frame_.keep(&material, sizeof material);
  return commit(c);
}

HRESULT GlDevice::SetLight(DWORD index, const D3DLIGHT8& light) {
  if (index >= kLights) return D3DERR_INVALIDCALL;
  rec_.lights[index] = light;
  FrameRecord::Command& c = frame_.add(FrameRecord::Op::Light);
  c.a = index;
  c.data = frame_.keep(&light, sizeof light);
  return commit(c);
}

HRESULT GlDevice::LightEnable(DWORD index, bool enable) {
  if (index >= kLights) return D3DERR_INVALIDCALL;
  rec_.lightOn[index] = enable ? 1 : 0;
  FrameRecord::Command& c = frame_.add(FrameRecord::Op::LightEnable);
  c.a = index;
  c.b = enable ? 1 : 0;
  return commit(c);
}

namespace {

float FloatAt(const uint8_t* p) {
  float f;
  std::memcpy(&f, p, sizeof f);
  return f;
}

}  // namespace

// The window pixels that `count` vertices can touch, a little more, cut to the viewport.
PixelRect GlDevice::boxOfVertices(const uint8_t* v, uint32_t count, uint32_t stride, bool pretransformed) const {
  const PixelRect& vp = viewport_;
  double x0 = 1e30, y0 = 1e30, x1 = -1e30, y1 = -1e30;
  if (pretransformed) {
    const double sx = static_cast<double>(vp.width) / backWidth_, sy = static_cast<double>(vp.height) / backHeight_;
    for (uint32_t i = 0; i < count; ++i, v += stride) {
      const double x = vp.x + FloatAt(v) * sx, y = vp.y + vp.height - FloatAt(v + 4) * sy;
      x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
  } else {
    D3DMATRIX m{}, wv{};
    auto multiply = [](const D3DMATRIX& a, const D3DMATRIX& b, D3DMATRIX* out) {
      for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
          out->m[r][c] = a.m[r][0] * b.m[0][c] + a.m[r][1] * b.m[1][c] + a.m[r][2] * b.m[2][c] + a.m[r][3] * b.m[3][c];
    };
    multiply(rec_.world, rec_.view, &wv);
    multiply(wv, rec_.projection, &m);
    for (uint32_t i = 0; i < count; ++i, v += stride) {
      const double p[3] = {FloatAt(v), FloatAt(v + 4), FloatAt(v + 8)};
      double clip[4];
      for (int c = 0; c < 4; ++c) clip[c] = p[0] * m.m[0][c] + p[1] * m.m[1][c] + p[2] * m.m[2][c] + m.m[3][c];
      // Behind the eye (or not a number): it may reach anywhere.
      if (!(clip[3] > 1e-6)) return vp;
      const double x = vp.x + (clip[0] / clip[3] + 1) * 0.5 * vp.width;
      const double y = vp.y + (clip[1] / clip[3] + 1) * 0.5 * vp.height;
      x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
  }
  if (!(x0 <= x1 && y0 <= y1)) return PixelRect{0, 0, 0, 0};
  // Two pixels of margin: pixel centres, the samples around them and wide lines.
  constexpr double kMargin = 2;
  const double big = 1e6;
  const int ix0 = static_cast<int>(std::floor(std::clamp(x0 - kMargin, -big, big)));
  const int iy0 = static_cast<int>(std::floor(std::clamp(y0 - kMargin, -big, big)));
  const int ix1 = static_cast<int>(std::ceil(std::clamp(x1 + kMargin, -big, big)));
  const int iy1 = static_cast<int>(std::ceil(std::clamp(y1 + kMargin, -big, big)));
  return Intersection(PixelRect{ix0, iy0, ix1 - ix0, iy1 - iy0}, vp);
}

HRESULT GlDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertices,
                                  uint32_t stride) {
  const uint32_t count = vertexCountFor(type, primitiveCount);
  if (count == 0) return D3D_OK;
  return recordDraw(type, count, count, nullptr, vertices, stride);
}

HRESULT GlDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t vertexCount, uint32_t primitiveCount,
                                         const uint32_t* indices, const void* vertices, uint32_t stride) {
  const uint32_t count = vertexCountFor(type, primitiveCount);
  if (count == 0 || vertexCount == 0) return D3D_OK;
  if (!indices) return D3DERR_INVALIDCALL;
  for (uint32_t i = 0; i < count; ++i) {
    if (indices[i] >= vertexCount) return D3DERR_INVALIDCALL;  // a vertex the draw was not given
  }
  return recordDraw(type, count, vertexCount, indices, vertices, stride);
}

// A draw of `count` vertices, or of `count` indices into `vertexCount` vertices, kept with a
// copy of what it reads.
HRESULT GlDevice::recordDraw(D3DPRIMITIVETYPE type, uint32_t count, uint32_t vertexCount, const uint32_t* indices,
                             const void* vertices, uint32_t stride) {
  VertexLayout layout;
  if (!vertices || !layoutFor(rec_.fvf, &layout) || stride < static_cast<uint32_t>(layout.size))
    return D3DERR_INVALIDCALL;
  const uint32_t from = keepState(layout.pretransformed);
  const uint32_t args[4] = {static_cast<uint32_t>(type), count, stride, vertexCount};
  frame_.keep(args, sizeof args);
  // The bytes the draw reads: the last vertex only as far as its format goes.
  const uint32_t bytes = (vertexCount - 1) * stride + static_cast<uint32_t>(layout.size);
  const uint32_t data = frame_.keep(vertices, bytes);
  if (indices) frame_.keep(indices, count * sizeof(uint32_t));
  FrameRecord::Command& c = frame_.add(indices ? FrameRecord::Op::DrawIndexed : FrameRecord::Op::Draw);
  c.a = type;
  c.b = count;
  c.c = stride;
  c.d = vertexCount;
  c.data = data;
  c.size = bytes;
  frame_.sign(from, boxOfVertices(frame_.bytes(data), vertexCount, stride, layout.pretransformed));
  return commit(c);
}

// ---------------------------------------------------------------------------------------
// Drawing the kept calls.

void GlDevice::resolve() {
  if (!direct_) {
    beginPass();
    runCommands(frame_, nullptr);
    direct_ = true;
  }
  target_->resolve();
}

void GlDevice::setFrameReuse(bool on) {
  reuse_ = on;
  previousValid_ = false;
}

// Each pass over the frame starts from the state the frame began with.
void GlDevice::beginPass() {
  copyState(&exec_, frameStart_);
  applyAllState();
}

void GlDevice::redrawWhole() {
  if (!frame_.commands().empty()) return;  // only between frames
  copyState(&exec_, previousStart_);
  applyAllState();
  runCommands(previous_, nullptr);
  boxes_.clear();
  target_->show(boxes_, true);
  copyState(&exec_, frameStart_);
}

void GlDevice::runCommands(const FrameRecord& frame, const PixelRect* limit) {
  for (const FrameRecord::Command& c : frame.commands()) execute(frame, c, limit);
  if (limit) glDisable(GL_SCISSOR_TEST);
}

void GlDevice::drawFrame() {
  int w = 0, h = 0;
  drawableSize(&w, &h);
  lastFrame_ = FrameStats{};
  bool whole = true;
  if (direct_) {
    // Drawn already, call by call.
  } else {
    whole = !(reuse_ && clearsFirst_ && target_->keeps() && previousValid_ && keptWidth_ == w && keptHeight_ == h &&
              keptViewport_ == viewport_ && FrameRecord::Differences(previous_, frame_, kMostBoxes, &boxes_));
    if (whole) {
      beginPass();
      runCommands(frame_, nullptr);
    } else {
      for (const PixelRect& box : boxes_) {
        beginPass();
        glEnable(GL_SCISSOR_TEST);
        runCommands(frame_, &box);
        lastFrame_.pixels += Area(box);
      }
      lastFrame_.boxes = static_cast<int>(boxes_.size());
    }
  }
  lastFrame_.whole = whole;
  if (whole) lastFrame_.pixels = int64_t{w} * h;
  target_->show(boxes_, whole);
  finishFrame();
  previousValid_ = target_->keeps();
  keptWidth_ = w;
  keptHeight_ = h;
  keptViewport_ = viewport_;
  direct_ = false;
}

// The frame just drawn becomes the one the next is compared with.
void GlDevice::finishFrame() {
  std::swap(frame_, previous_);
  frame_.clear();
  copyState(&previousStart_, frameStart_);
  if (!pendingDeletes_.empty()) {
    glDeleteTextures(static_cast<GLsizei>(pendingDeletes_.size()), pendingDeletes_.data());
    pendingDeletes_.clear();
  }
  boxes_.clear();
  clearsFirst_ = false;
  copyState(&frameStart_, rec_);
}

void GlDevice::execute(const FrameRecord& frame, const FrameRecord::Command& c, const PixelRect* limit) {
  using Op = FrameRecord::Op;
  switch (c.op) {
    case Op::RenderState:
      exec_.renderState[c.a] = c.b;
      applyRenderState(c.a);
      break;
    case Op::Transform: {
      D3DMATRIX m;
      std::memcpy(&m, frame.bytes(c.data), sizeof m);
      if (c.a == D3DTS_WORLD) {
        exec_.world = m;
      } else if (c.a == D3DTS_VIEW) {
        exec_.view = m;
        lightsDirty_ = true;  // lights are placed in world space through the view
      } else {
        exec_.projection = m;
      }
      matricesDirty_ = true;
      break;
    }
    case Op::Texture:
      exec_.texture = c.a;
      break;
    case Op::StageState:
      exec_.stage[c.a] = c.b;
      stageDirty_ = true;
      break;
    case Op::VertexShader:
      exec_.fvf = c.a;
      break;
    case Op::Material:
      std::memcpy(&exec_.material, frame.bytes(c.data), sizeof exec_.material);
      materialDirty_ = true;
      break;
    case Op::Light:
      std::memcpy(&exec_.lights[c.a], frame.bytes(c.data), sizeof exec_.lights[c.a]);
      lightsDirty_ = true;
      break;
    case Op::LightEnable:
      exec_.lightOn[c.a] = static_cast<uint8_t>(c.b);
      lightsDirty_ = true;
      break;
    case Op::Clear: {
      ClearArgs a;
      std::memcpy(&a, frame.bytes(c.data), sizeof a);
      execClear(a, limit);
      break;
    }
    case Op::Draw:
    case Op::DrawIndexed: {
      if (limit && !Overlap(c.box, *limit)) break;
      const uint8_t* v = frame.bytes(c.data);
      prepareDraw(v, c.c);
      if (limit) glScissor(limit->x, limit->y, limit->width, limit->height);
      if (c.op == Op::Draw) {
        glDrawArrays(primitiveFor(static_cast<D3DPRIMITIVETYPE>(c.a)), 0, static_cast<GLsizei>(c.b));
      } else {
        const auto* indices = reinterpret_cast<const uint32_t*>(frame.bytes(c.data) + ((c.size + 15) & ~15u));
        glDrawElements(primitiveFor(static_cast<D3DPRIMITIVETYPE>(c.a)), static_cast<GLsizei>(c.b), GL_UNSIGNED_INT,
                       indices);
      }
      break;
    }
    case Op::Text: {
      if (limit && !Overlap(c.box, *limit)) break;
      TextQuad q;
      std::memcpy(&q, frame.bytes(c.data), sizeof q);
      execText(q, limit);
      break;
    }
  }
}

void GlDevice::execClear(const ClearArgs& a, const PixelRect* limit) {
  auto scissor = [limit](const PixelRect& r) {
    const PixelRect s = limit ? Intersection(r, *limit) : r;
    glScissor(s.x, s.y, s.width, s.height);
  };
  glViewport(a.viewport.x, a.viewport.y, a.viewport.width, a.viewport.height);
  glEnable(GL_SCISSOR_TEST);
  if ((a.flags & D3DCLEAR_TARGET) && !(a.viewport == PixelRect{0, 0, a.drawableWidth, a.drawableHeight})) {
    scissor(PixelRect{0, 0, a.drawableWidth, a.drawableHeight});  // the bars around the back buffer stay black
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  GLbitfield mask = 0;
  if (a.flags & D3DCLEAR_TARGET) {
    const auto c = colorFromPacked(a.color);
    glClearColor(c[0], c[1], c[2], c[3]);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (a.flags & D3DCLEAR_ZBUFFER) {
    glClearDepth(a.z);
    glDepthMask(GL_TRUE);  // D3D clears depth whatever the write mask
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (a.flags & D3DCLEAR_STENCIL) {
    glClearStencil(static_cast<GLint>(a.stencil));
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  scissor(a.viewport);
  glClear(mask);
  if (limit) {
    glScissor(limit->x, limit->y, limit->width, limit->height);
  } else {
    glDisable(GL_SCISSOR_TEST);
  }
  applyRenderState(D3DRS_ZWRITEENABLE);
}

// ---------------------------------------------------------------------------------------
void GlDevice::applyLights() {
  for (DWORD i = 0; i < kLights; ++i) {
    const GLenum id = GL_LIGHT0 + i;
    if (!exec_.lightOn[i]) {
      glDisable(id);
      continue;
    }
    const GlLight l = translateLight(exec_.lights[i]);
    glLightfv(id, GL_AMBIENT, l.ambient.data());
    glLightfv(id, GL_DIFFUSE, l.diffuse.data());
    glLightfv(id, GL_SPECULAR, l.specular.data());
    glLightfv(id, GL_POSITION, l.position.data());
    glLightfv(id, GL_SPOT_DIRECTION, l.spotDirection.data());
    glLightf(id, GL_SPOT_CUTOFF, l.spotCutoff);
    glLightf(id, GL_SPOT_EXPONENT, l.spotExponent);
    glLightf(id, GL_CONSTANT_ATTENUATION, l.constantAttenuation);
    glLightf(id, GL_LINEAR_ATTENUATION, l.linearAttenuation);
    glLightf(id, GL_QUADRATIC_ATTENUATION, l.quadraticAttenuation);
    glEnable(id);
  }
}

void GlDevice::applyMaterial() {
  const bool specular = exec_.renderState[D3DRS_SPECULARENABLE] != 0;
  const GlMaterial m = translateMaterial(exec_.material, specular);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, m.ambient.data());
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, m.diffuse.data());
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, m.specular.data());
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, m.emission.data());
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.shininess);
  const auto ambient = colorFromPacked(exec_.renderState[D3DRS_AMBIENT]);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient.data());
  glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, specular ? GL_SEPARATE_SPECULAR_COLOR : GL_SINGLE_COLOR);
}

void GlDevice::enterWorldMode() {
  if (mode_ != Mode::World || matricesDirty_ || lightsDirty_) {
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projectionForGl(exec_.projection).data());
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(toGl(exec_.view).data());
    if (lightsDirty_) applyLights();  // positions and directions go through the view alone
    glMultMatrixf(toGl(exec_.world).data());
    matricesDirty_ = lightsDirty_ = false;
    mode_ = Mode::World;
  }
  if (materialDirty_) {
    applyMaterial();
    materialDirty_ = false;
  }
}

void GlDevice::enterScreenMode() {
  if (mode_ == Mode::Screen) return;
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(screenProjection(backWidth_, backHeight_).data());
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  mode_ = Mode::Screen;
}

void GlDevice::applyTexture(bool screen) {
  const GLuint texture = exec_.texture;
  if (!texture) {
    glDisable(GL_TEXTURE_2D);
    return;
  }
  const auto& stage_ = exec_.stage;
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture);
  // Screen pictures span their texture once (0 … 1). D3D samples them by point, which
  // never reaches across an edge; with linear filtering, wrapping would pull the opposite
  // edge in as a faint line along the border, so they are clamped.
  const GLenum s = screen ? GL_CLAMP_TO_EDGE : wrapModeFor(stage_[D3DTSS_ADDRESSU]);
  const GLenum t = screen ? GL_CLAMP_TO_EDGE : wrapModeFor(stage_[D3DTSS_ADDRESSV]);
  // Kept by the texture object: OpenGL does nothing when they are as asked already.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<GLint>(s));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<GLint>(t));
  if (stageDirty_) {
    const StageCombine c =
        stageCombineFor(stage_[D3DTSS_COLOROP], stage_[D3DTSS_COLORARG1], stage_[D3DTSS_COLORARG2],
                        stage_[D3DTSS_ALPHAOP], stage_[D3DTSS_ALPHAARG1], stage_[D3DTSS_ALPHAARG2]);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, c.rgbMode);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, c.rgbSource0);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, c.rgbSource1);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_SRC_COLOR);
    glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, c.rgbScale);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, c.alphaMode);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, c.alphaSource0);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA, c.alphaSource1);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_ALPHA, GL_SRC_ALPHA);
    stageDirty_ = false;
  }
}

// The vertices were checked against the format when the draw was recorded.
void GlDevice::prepareDraw(const uint8_t* v, uint32_t stride) {
  VertexLayout layout;
  layoutFor(exec_.fvf, &layout);
  const auto s = static_cast<GLsizei>(stride);
  const bool specularOn = exec_.renderState[D3DRS_SPECULARENABLE] != 0;
  bool colourSum = false;
  if (layout.pretransformed) {
    // Back-buffer pixels: no transform, no lighting, coloured by diffuse (+ specular).
    enterScreenMode();
    glDisable(GL_LIGHTING);
    colourSum = specularOn && layout.specular >= 0 && glSecondaryColorPointer_;
  } else {
    enterWorldMode();
    const bool lit = exec_.renderState[D3DRS_LIGHTING] != 0;
    lit ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING);
    colourSum = !lit && specularOn && layout.specular >= 0 && glSecondaryColorPointer_;
  }
  glVertexPointer(3, GL_FLOAT, s, v);
  if (layout.normal >= 0) {
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, s, v + layout.normal);
  } else {
    glDisableClientState(GL_NORMAL_ARRAY);
    glNormal3f(0, 0, 0);
  }
  if (layout.diffuse >= 0) {
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, s, v + layout.diffuse);
  } else {
    glDisableClientState(GL_COLOR_ARRAY);
    glColor4f(1, 1, 1, 1);  // a vertex without diffuse is opaque white
  }
  if (colourSum) {
    glEnable(GL_COLOR_SUM);
    glEnableClientState(GL_SECONDARY_COLOR_ARRAY);
    glSecondaryColorPointer_(GL_BGRA, GL_UNSIGNED_BYTE, s, v + layout.specular);
  } else {
    glDisable(GL_COLOR_SUM);
    glDisableClientState(GL_SECONDARY_COLOR_ARRAY);
  }
  if (layout.texCoord >= 0) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, s, v + layout.texCoord);
  } else {
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  applyTexture(layout.pretransformed);
}

// ---------------------------------------------------------------------------------------
TexturePtr GlDevice::CreateTexture(const Image& image, bool mipmaps) {
  if (image.width <= 0 || image.height <= 0 || !image.argb) return nullptr;
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_FALSE);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  // 0xAARRGGBB words, whatever the byte order.
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width, image.height, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
               image.argb);
  if (mipmaps) {
    std::vector<uint32_t> level[2];
    const uint32_t* texels = image.argb;
    for (int w = image.width, h = image.height, i = 1; w > 1 || h > 1; ++i) {
      HalveImage(texels, w, h, level[i % 2]);
      w = std::max(1, w / 2);
      h = std::max(1, h / 2);
      texels = level[i % 2].data();
      glTexImage2D(GL_TEXTURE_2D, i, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, texels);
    }
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, &name);
    return nullptr;
  }
  return std::make_shared<GlTexture>(link_, name, image.width, image.height, nextSerial_++);
}

// A texture the game let go is no longer drawn with, even where it is still set; its
// OpenGL texture goes once the frame that may have drawn with it is drawn.
void GlDevice::releaseTexture(const GlTexture* texture) {
  const uint64_t serial = texture->serial();
  if (previousStart_.textureSerial == serial) previousStart_.texture = 0, previousStart_.textureSerial = 0;
  if (frame_.commands().empty()) {
    for (DeviceState* s : {&rec_, &frameStart_}) {
      if (s->textureSerial == serial) s->texture = 0, s->textureSerial = 0;
    }
    const GLuint name = texture->name();
    glDeleteTextures(1, &name);
    return;
  }
  if (rec_.textureSerial == serial) {
    rec_.texture = 0;
    rec_.textureSerial = 0;
    commit(frame_.add(FrameRecord::Op::Texture));  // as if set to none here
  }
  pendingDeletes_.push_back(texture->name());
}

FontPtr GlDevice::CreateFont(const FontDesc& desc) {
  TextStats& stats = textStats();
  ++stats.fontsCreated;
  for (const auto& f : fonts_) {
    if (f->Desc() == desc) return f;
  }
  if (!ttfReady_) return nullptr;
  ++stats.fontLookups;
  const FontFile file = findFontFile(desc.face, desc.bold);
  const int pixels = pixelsForPoints(desc.points > 0 ? desc.points : 10);
  TTF_Font* face = openFace(file.path, pixels, file.syntheticBold, false);
  if (!face) return nullptr;
  fonts_.push_back(std::make_shared<GlFont>(link_, desc, face, file.path, pixels, file.syntheticBold));
  return fonts_.back();
}

TTF_Font* GlDevice::openFace(const std::string& path, int pixels, bool bold, bool scaled) {
  for (const FaceEntry& f : faces_) {
    if (f.path == path && f.pixels == pixels && f.bold == bold) return f.font;
  }
  ++textStats().fontFilesOpened;
  TTF_Font* face = TTF_OpenFont(path.c_str(), pixels);
  if (!face) {
    std::fprintf(stderr, "vantor: cannot open font %s: %s\n", path.c_str(), TTF_GetError());
    return nullptr;
  }
  if (bold) TTF_SetFontStyle(face, TTF_STYLE_BOLD);
  faces_.push_back({path, pixels, bold, face, scaled});
  return face;
}

// The font's face at the size the text is shown at: its own size times the text scale.
// Where that face cannot be had, the face at its own size (drawn stretched).
TTF_Font* GlDevice::faceAtScale(GlFont& font) {
  const int pixels = std::max(1, static_cast<int>(std::lround(font.pixels() * textScale_)));
  if (pixels == font.pixels()) return font.face();
  if (!font.scaledFace || font.scaledPixels != pixels) {
    font.scaledFace = openFace(font.path(), pixels, font.syntheticBold(), true);
    font.scaledPixels = pixels;
  }
  return font.scaledFace ? font.scaledFace : font.face();
}

// The window's size changed: the faces made for the old one, and their strings, go (their
// textures once the frame that may still draw them is shown).
void GlDevice::dropScaledFaces() {
  for (auto it = faces_.begin(); it != faces_.end();) {
    if (!it->scaled) {
      ++it;
      continue;
    }
    textCache_.forget(it->font, &pendingDeletes_);
    TTF_CloseFont(it->font);
    it = faces_.erase(it);
  }
  for (const auto& f : fonts_) {
    f->scaledFace = nullptr;
    f->scaledPixels = 0;
  }
}

HRESULT GlDevice::drawText(GlFont& font, const char* text, const RECT& rect, DWORD format, D3DCOLOR color) {
  if (!text || !*text) return D3D_OK;
  TextStats& stats = textStats();
  TTF_Font* face = faceAtScale(font);
  TextCache::Entry* entry = textCache_.find(face, text);
  if (entry) {
    ++stats.stringsReused;
  } else {
    // Rasterised white; the colour is applied when drawing, so one texture serves all.
    SDL_Surface* surface = TTF_RenderUTF8_Blended(face, text, SDL_Color{255, 255, 255, 255});
    if (!surface) return E_FAIL;
    if (surface->format->format != SDL_PIXELFORMAT_ARGB8888) {
      SDL_Surface* converted = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0);
      SDL_FreeSurface(surface);
      if (!converted) return E_FAIL;
      surface = converted;
    }
    ++stats.stringsRasterised;
    uint32_t evicted = 0;
    entry = &textCache_.insert(face, text, &evicted);
    if (evicted) pendingDeletes_.push_back(evicted);  // a string of this frame may use it
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_FALSE);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, surface->pitch / 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, surface->w, surface->h, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 surface->pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    entry->texture = name;
    entry->width = surface->w;
    entry->height = surface->h;
    SDL_FreeSurface(surface);
  }

  // Placed in the window's own pixels, so that each texel of a string rasterised at the
  // text scale lands on one pixel. A face at the back buffer's size is stretched instead.
  const double sx = static_cast<double>(viewport_.width) / backWidth_;
  const double sy = static_cast<double>(viewport_.height) / backHeight_;
  const double stretch = face == font.face() ? sy : 1.0;
  const double width = entry->width * stretch, height = entry->height * stretch;
  double x = std::round(rect.left * sx);
  if (format & DT_CENTER) x += std::trunc(((rect.right - rect.left) * sx - width) / 2);
  const double y = std::round(rect.top * sy);

  TextQuad q{};
  q.texture = entry->texture;
  q.x0 = static_cast<float>(x);
  q.y0 = static_cast<float>(y);
  q.x1 = q.x0 + static_cast<float>(width);
  q.y1 = q.y0 + static_cast<float>(height);
  q.clip = scissorFor(rect, viewport_, backWidth_, backHeight_);
  q.color = color;
  q.viewportWidth = viewport_.width;
  q.viewportHeight = viewport_.height;
  q.face = face;
  // Its signature: the placed quad and the string (the texture's name may be used again).
  const uint32_t from = frame_.keep(&q, sizeof q);
  frame_.keep(text, std::strlen(text) + 1);
  FrameRecord::Command& c = frame_.add(FrameRecord::Op::Text);
  c.data = from;
  c.size = sizeof q;
  // The quad in window pixels (y up), cut to its clip, with a pixel of margin.
  const PixelRect quad{viewport_.x + static_cast<int>(std::floor(q.x0)) - 1,
                       viewport_.y + viewport_.height - static_cast<int>(std::ceil(q.y1)) - 1,
                       static_cast<int>(std::ceil(q.x1) - std::floor(q.x0)) + 2,
                       static_cast<int>(std::ceil(q.y1) - std::floor(q.y0)) + 2};
  frame_.sign(from, Intersection(quad, q.clip));
  return commit(c);
}

void GlDevice::execText(const TextQuad& q, const PixelRect* limit) {
  const PixelRect clip = limit ? Intersection(q.clip, *limit) : q.clip;
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(screenProjection(q.viewportWidth, q.viewportHeight).data());
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  mode_ = Mode::None;  // the next draw loads its own matrices
  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_TEXTURE_BIT | GL_SCISSOR_BIT |
               GL_POLYGON_BIT | GL_CURRENT_BIT | GL_LIGHTING_BIT);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_COLOR_SUM);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_SCISSOR_TEST);
  glScissor(clip.x, clip.y, std::max(clip.width, 0), std::max(clip.height, 0));
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, q.texture);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glColor4ub(static_cast<GLubyte>(q.color >> 16), static_cast<GLubyte>(q.color >> 8), static_cast<GLubyte>(q.color),
             static_cast<GLubyte>(q.color >> 24));
  glBegin(GL_TRIANGLE_STRIP);
  glTexCoord2f(0, 0);
  glVertex2f(q.x0, q.y0);
  glTexCoord2f(1, 0);
  glVertex2f(q.x1, q.y0);
  glTexCoord2f(0, 1);
  glVertex2f(q.x0, q.y1);
  glTexCoord2f(1, 1);
  glVertex2f(q.x1, q.y1);
  glEnd();
  glPopAttrib();
  stageDirty_ = true;
}

}  // namespace plat::sdl
