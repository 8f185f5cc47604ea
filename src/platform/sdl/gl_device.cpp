#include "platform/sdl/gl_device.h"

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

}  // namespace

TextStats& textStats() {
  static TextStats stats;
  return stats;
}

// ---------------------------------------------------------------------------------------
GlTexture::GlTexture(std::shared_ptr<DeviceLink> link, GLuint name, int width, int height)
    : link_(std::move(link)), name_(name), width_(width), height_(height) {}

GlTexture::~GlTexture() {
  if (link_->device) {
    link_->device->forgetTexture(this);
    glDeleteTextures(1, &name_);
  }
}

HRESULT GlFont::DrawText(const char* text, const RECT& rect, DWORD format, D3DCOLOR color) {
  if (!link_->device) return D3DERR_INVALIDCALL;
  return link_->device->drawText(*this, text, rect, format, color);
}

// ---------------------------------------------------------------------------------------
GlDevice::GlDevice(WindowState* state, SDL_GLContext context, const D3DPRESENT_PARAMETERS& params)
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
  msaa_ = std::make_unique<MultisampleTarget>(4);
  resetState();
  updateViewport();
}

GlDevice::~GlDevice() {
  SDL_GL_MakeCurrent(window_->window, context_);
  msaa_.reset();
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

void GlDevice::resetState() {
  renderState_.fill(0);
  renderState_[D3DRS_ZENABLE] = autoDepth_ ? 1 : 0;
  applyRenderState(D3DRS_ZENABLE);
  for (const DefaultState& d : kDefaults) {
    renderState_[d.state] = d.value;
    applyRenderState(d.state);
  }
  world_ = view_ = projection_ = identity();
  texture_ = nullptr;
  stage_.fill(0);
  stage_[D3DTSS_COLOROP] = D3DTOP_MODULATE;
  stage_[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
  stage_[D3DTSS_COLORARG2] = D3DTA_CURRENT;
  stage_[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
  stage_[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
  stage_[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
  stage_[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
  stage_[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
  stage_[D3DTSS_MAGFILTER] = 1;  // D3DTEXF_POINT
  stage_[D3DTSS_MINFILTER] = 1;
  fvf_ = 0;
  material_ = D3DMATERIAL8{};
  lights_.fill(D3DLIGHT8{});
  lightOn_.fill(false);
  for (DWORD i = 0; i < kLights; ++i) glDisable(GL_LIGHT0 + i);
  mode_ = Mode::None;
  matricesDirty_ = lightsDirty_ = materialDirty_ = stageDirty_ = true;
}

void GlDevice::applyRenderState(DWORD state) {
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
  msaa_->drawInto(w, h);
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
  if (params.BackBufferWidth && params.BackBufferHeight) {
    backWidth_ = static_cast<int>(params.BackBufferWidth);
    backHeight_ = static_cast<int>(params.BackBufferHeight);
  }
  autoDepth_ = params.EnableAutoDepthStencil;
  resetState();
  updateViewport();
  window_->lostSinceReset = false;
  return D3D_OK;
}

HRESULT GlDevice::Clear(DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  updateViewport();
  int w = 0, h = 0;
  drawableSize(&w, &h);
  if ((flags & D3DCLEAR_TARGET) && !(viewport_ == PixelRect{0, 0, w, h})) {
    glDisable(GL_SCISSOR_TEST);  // the bars around the back buffer stay black
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) {
    const auto c = colorFromPacked(color);
    glClearColor(c[0], c[1], c[2], c[3]);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_ZBUFFER) {
    glClearDepth(z);
    glDepthMask(GL_TRUE);  // D3D clears depth whatever the write mask
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_STENCIL) {
    glClearStencil(static_cast<GLint>(stencil));
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  glEnable(GL_SCISSOR_TEST);
  glScissor(viewport_.x, viewport_.y, viewport_.width, viewport_.height);
  glClear(mask);
  glDisable(GL_SCISSOR_TEST);
  applyRenderState(D3DRS_ZWRITEENABLE);
  return D3D_OK;
}

HRESULT GlDevice::BeginScene() { return D3D_OK; }
HRESULT GlDevice::EndScene() { return D3D_OK; }

void GlDevice::waitForRefresh() {
  const int64_t wait = pacer_.waitBefore(nowMicros());
  if (wait > 0) std::this_thread::sleep_for(std::chrono::microseconds(wait));
}

HRESULT GlDevice::Present() {
  if (pacing_) waitForRefresh();
  msaa_->resolve();
  // Some swaps (an off-screen surface) do not flush the frame's queued work; without this
  // the renderer's queue, and the memory it holds, grows with every frame.
  glFlush();
  SDL_GL_SwapWindow(window_->window);
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

HRESULT GlDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state >= kRenderStateCount) return D3DERR_INVALIDCALL;
  renderState_[state] = value;
  applyRenderState(state);
  return D3D_OK;
}

HRESULT GlDevice::SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX& m) {
  switch (type) {
    case D3DTS_WORLD:
      world_ = m;
      break;
    case D3DTS_VIEW:
      view_ = m;
      lightsDirty_ = true;  // lights are placed in world space through the view
      break;
    case D3DTS_PROJECTION:
      projection_ = m;
      break;
    default:
      return D3DERR_INVALIDCALL;
  }
  matricesDirty_ = true;
  return D3D_OK;
}

HRESULT GlDevice::SetTexture(DWORD stage, Texture* texture) {
  if (stage >= 8) return D3DERR_INVALIDCALL;
  if (stage == 0) texture_ = static_cast<GlTexture*>(texture);
  return D3D_OK;
}

HRESULT GlDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (stage >= 8 || type >= stage_.size()) return D3DERR_INVALIDCALL;
  if (stage == 0) {
    stage_[type] = value;
    stageDirty_ = true;
  }
  return D3D_OK;
}

HRESULT GlDevice::SetVertexShader(DWORD fvf) {
  VertexLayout layout;
  if (!layoutFor(fvf, &layout)) return D3DERR_INVALIDCALL;
  fvf_ = fvf;
  return D3D_OK;
}

HRESULT GlDevice::SetMaterial(const D3DMATERIAL8& material) {
  material_ = material;
  materialDirty_ = true;
  return D3D_OK;
}

HRESULT GlDevice::SetLight(DWORD index, const D3DLIGHT8& light) {
  if (index >= kLights) return D3DERR_INVALIDCALL;
  lights_[index] = light;
  lightsDirty_ = true;
  return D3D_OK;
}

HRESULT GlDevice::LightEnable(DWORD index, bool enable) {
  if (index >= kLights) return D3DERR_INVALIDCALL;
  lightOn_[index] = enable;
  lightsDirty_ = true;
  return D3D_OK;
}

// ---------------------------------------------------------------------------------------
void GlDevice::applyLights() {
  for (DWORD i = 0; i < kLights; ++i) {
    const GLenum id = GL_LIGHT0 + i;
    if (!lightOn_[i]) {
      glDisable(id);
      continue;
    }
    const GlLight l = translateLight(lights_[i]);
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
  const bool specular = renderState_[D3DRS_SPECULARENABLE] != 0;
  const GlMaterial m = translateMaterial(material_, specular);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, m.ambient.data());
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, m.diffuse.data());
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, m.specular.data());
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, m.emission.data());
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.shininess);
  const auto ambient = colorFromPacked(renderState_[D3DRS_AMBIENT]);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient.data());
  glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, specular ? GL_SEPARATE_SPECULAR_COLOR : GL_SINGLE_COLOR);
}

void GlDevice::enterWorldMode() {
  if (mode_ != Mode::World || matricesDirty_ || lightsDirty_) {
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projectionForGl(projection_).data());
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(toGl(view_).data());
    if (lightsDirty_) applyLights();  // positions and directions go through the view alone
    glMultMatrixf(toGl(world_).data());
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
  if (!texture_) {
    glDisable(GL_TEXTURE_2D);
    return;
  }
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture_->name());
  // Screen pictures span their texture once (0 … 1). D3D samples them by point, which
  // never reaches across an edge; with linear filtering, wrapping would pull the opposite
  // edge in as a faint line along the border, so they are clamped.
  const GLenum s = screen ? GL_CLAMP_TO_EDGE : wrapModeFor(stage_[D3DTSS_ADDRESSU]);
  const GLenum t = screen ? GL_CLAMP_TO_EDGE : wrapModeFor(stage_[D3DTSS_ADDRESSV]);
  if (texture_->wrapS != s) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, texture_->wrapS = s);
  if (texture_->wrapT != t) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, texture_->wrapT = t);
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

HRESULT GlDevice::prepareDraw(const uint8_t* v, uint32_t stride) {
  VertexLayout layout;
  if (!v || !layoutFor(fvf_, &layout) || stride < static_cast<uint32_t>(layout.size))
    return D3DERR_INVALIDCALL;
  const auto s = static_cast<GLsizei>(stride);
  const bool specularOn = renderState_[D3DRS_SPECULARENABLE] != 0;
  bool colourSum = false;
  if (layout.pretransformed) {
    // Back-buffer pixels: no transform, no lighting, coloured by diffuse (+ specular).
    enterScreenMode();
    glDisable(GL_LIGHTING);
    colourSum = specularOn && layout.specular >= 0 && glSecondaryColorPointer_;
  } else {
    enterWorldMode();
    const bool lit = renderState_[D3DRS_LIGHTING] != 0;
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
  return D3D_OK;
}

HRESULT GlDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertices,
                                  uint32_t stride) {
  const uint32_t count = vertexCountFor(type, primitiveCount);
  if (count == 0) return D3D_OK;
  if (HRESULT hr = prepareDraw(static_cast<const uint8_t*>(vertices), stride); hr != D3D_OK) return hr;
  glDrawArrays(primitiveFor(type), 0, static_cast<GLsizei>(count));
  return D3D_OK;
}

HRESULT GlDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t vertexCount, uint32_t primitiveCount,
                                         const uint32_t* indices, const void* vertices, uint32_t stride) {
  const uint32_t count = vertexCountFor(type, primitiveCount);
  if (count == 0 || vertexCount == 0) return D3D_OK;
  if (!indices) return D3DERR_INVALIDCALL;
  if (HRESULT hr = prepareDraw(static_cast<const uint8_t*>(vertices), stride); hr != D3D_OK) return hr;
  glDrawElements(primitiveFor(type), static_cast<GLsizei>(count), GL_UNSIGNED_INT, indices);
  return D3D_OK;
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
  return std::make_shared<GlTexture>(link_, name, image.width, image.height);
}

void GlDevice::forgetTexture(const GlTexture* texture) {
  if (texture_ == texture) texture_ = nullptr;
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

// The window's size changed: the faces made for the old one, and their strings, go.
void GlDevice::dropScaledFaces() {
  std::vector<uint32_t> textures;
  for (auto it = faces_.begin(); it != faces_.end();) {
    if (!it->scaled) {
      ++it;
      continue;
    }
    textCache_.forget(it->font, &textures);
    TTF_CloseFont(it->font);
    it = faces_.erase(it);
  }
  if (!textures.empty()) glDeleteTextures(static_cast<GLsizei>(textures.size()), textures.data());
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
    if (evicted) glDeleteTextures(1, &evicted);
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
  const PixelRect clip = scissorFor(rect, viewport_, backWidth_, backHeight_);

  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(screenProjection(viewport_.width, viewport_.height).data());
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
  glScissor(clip.x, clip.y, clip.width, clip.height);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, entry->texture);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glColor4ub(static_cast<GLubyte>(color >> 16), static_cast<GLubyte>(color >> 8), static_cast<GLubyte>(color),
             static_cast<GLubyte>(color >> 24));
  const auto x0 = static_cast<float>(x), y0 = static_cast<float>(y);
  const float x1 = x0 + static_cast<float>(width), y1 = y0 + static_cast<float>(height);
  glBegin(GL_TRIANGLE_STRIP);
  glTexCoord2f(0, 0);
  glVertex2f(x0, y0);
  glTexCoord2f(1, 0);
  glVertex2f(x1, y0);
  glTexCoord2f(0, 1);
  glVertex2f(x0, y1);
  glTexCoord2f(1, 1);
  glVertex2f(x1, y1);
  glEnd();
  glPopAttrib();
  stageDirty_ = true;
  return D3D_OK;
}

}  // namespace plat::sdl
