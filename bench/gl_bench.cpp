// The match frame on the real face (OpenGL 2.1 in SDL's offscreen window, 800 × 600 back
// buffer, 4x multisampling, no frame pacing) against a bare OpenGL program drawing the same
// frame with the same multisampling: the draws of one match frame, captured on the
// recording device, replayed with plain GL calls (client arrays, the same textures uploaded
// once, state set only where it changes). The bare program also draws it with one sample a
// pixel, for what multisampling costs.
// Also on the real face: Game_Load with warm caches, and the reload of the effect buffers
// that every 20th counted effect makes.
#include <SDL.h>
#include <SDL_opengl.h>
#include <SDL_ttf.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "bench_support.h"
#include "platform/app_path.h"
#include "platform/sdl/font_finder.h"
#include "platform/sdl/gl_device.h"
#include "platform/sdl/gl_translate.h"
#include "platform/sdl/multisample.h"
#include "platform/testing/test_platform.h"

namespace {

using plat::testing::Call;
using plat::testing::Op;

// A one-player match as the level screen starts it, past its camera intro.
void StartMatch(Form1& f) {
  for (plat::Timer* t : {&f.Timer2, &f.Timer3, &f.Timer5}) f.EnableTimer(*t, false);
  f.onePlayer = true;
  f.level = 2;
  f.RName = "ALICE";
  f.rRacketIndex = f.lRacketIndex = f.ballIndex = 1;
  f.Game_Load();
  f.screenState = "";
}

void PlayIntro(Form1& f) {
  f.Timer1_Timer();  // the three seconds before the fly-in
  for (int i = 0; i < 1000 && f.cam_inter; ++i) f.Pass();
}

// The ball in play in the middle of the table, the clock far from its end.
void Serve(Form1& f) {
  f.ball.Translate_ball(0, 0);
  f.ball.Goal = false;
  f.ball.Xdir = 1;
  f.ball.Zdir = 1;
  f.ball.bAngle = 25;
  f.matchClock = 0;
}

bool NeedsServe(const Form1& f) { return std::abs(f.ball.cposx) > 1.5 || f.ball.Goal || f.matchClock > 100; }

// ---- The game on the real face -------------------------------------------------------
struct GlGame {
  std::unique_ptr<plat::Platform> platform;
  std::unique_ptr<Form1> form;
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;

  GlGame() {
    bench::UseOffscreenFace();
    // The software renderer draws on the calling thread: a frame's whole cost is then that
    // thread's CPU time, which the load of the rest of the machine changes little.
    setenv("LP_NUM_THREADS", "0", 1);
    platform = plat::CreateSdlPlatform("vantor_bench");
    plat::SetAppPath(platform->AppFolder());
    form = std::make_unique<Form1>(*platform);
    form->Startup();
    if (!form->deviceReady) throw std::runtime_error("no OpenGL device");
    window = SDL_GL_GetCurrentWindow();
    context = SDL_GL_GetCurrentContext();
    StartMatch(*form);
  }
  void MakeCurrent() { SDL_GL_MakeCurrent(window, context); }
  // Back in play after another benchmark reloaded the match.
  void Ready() {
    MakeCurrent();
    plat::SetAppPath(platform->AppFolder());
    if (form->cam_inter) PlayIntro(*form);
    Serve(*form);
    for (int i = 0; i < 30; ++i) Frame();  // fonts and strings made, music going
  }
  void Frame() {
    if (NeedsServe(*form)) Serve(*form);
    form->Pass();
    glFinish();
  }
};

GlGame& Game() {
  static GlGame* game = new GlGame();  // lives until the process ends: SDL stays up
  return *game;
}

// ---- The same frame, captured ----------------------------------------------------------
// The recording device, keeping the indices of indexed draws as well.
class CapturingDevice : public plat::testing::RecordingDevice {
 public:
  using RecordingDevice::RecordingDevice;
  plat::HRESULT DrawIndexedPrimitiveUP(plat::D3DPRIMITIVETYPE type, uint32_t vertexCount,
                                       uint32_t primitiveCount, const uint32_t* indices, const void* vertices,
                                       uint32_t stride) override {
    if (recording) {
      const uint32_t n = plat::sdl::vertexCountFor(type, primitiveCount);
      indexLists[calls.size()] = std::vector<uint32_t>(indices, indices + n);
    }
    return RecordingDevice::DrawIndexedPrimitiveUP(type, vertexCount, primitiveCount, indices, vertices,
                                                   stride);
  }
  std::map<size_t, std::vector<uint32_t>> indexLists;  // by the draw's place in `calls`
};

class CapturingPlatform : public plat::testing::TestPlatform {
 public:
  std::unique_ptr<plat::Device> CreateDevice(plat::D3DDEVTYPE type, plat::DWORD behaviour,
                                             const plat::D3DPRESENT_PARAMETERS& params) override {
    auto d = std::make_unique<CapturingDevice>(this);
    d->params = params;
    device = capturing = d.get();
    deviceType = type;
    deviceBehaviour = behaviour;
    return d;
  }
  CapturingDevice* capturing = nullptr;
};

// ---- The bare program ------------------------------------------------------------------
struct BareDraw {
  GLenum mode = GL_TRIANGLES;
  GLsizei count = 0;
  std::vector<uint8_t> vertices;
  std::vector<uint32_t> indices;  // empty: not indexed
  GLsizei stride = 0;
  plat::sdl::VertexLayout layout;
  GLuint texture = 0;
  bool screen = false, text = false;
  bool depthTest = true, depthWrite = true, blend = false, cull = false, lighting = false, specular = false;
  GLenum depthFunc = GL_LEQUAL, cullFace = GL_BACK, src = GL_ONE, dst = GL_ZERO;
  plat::sdl::GlMatrix modelview{};
  plat::sdl::GlMaterial material{};
  GLubyte colour[4] = {255, 255, 255, 255};
};

struct Bare {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  std::unique_ptr<plat::sdl::MultisampleTarget> multisample;
  int drawableWidth = 0, drawableHeight = 0;
  plat::sdl::PixelRect viewport{};
  plat::sdl::GlMatrix projection{}, screenProjection{};
  std::vector<plat::D3DLIGHT8> lights;
  std::array<float, 4> ambient{};
  std::vector<BareDraw> draws;
  std::vector<GLuint> textures;
  size_t triangles = 0;

  // Draws with `samples` samples a pixel (the game's way: into a multisampled framebuffer
  // resolved at the swap), or straight into the window with 0.
  explicit Bare(int samples) {
    Game();  // SDL's video is up, in the same offscreen setting
    window = SDL_CreateWindow("bare", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 800, 600,
                              SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN_DESKTOP);
    if (window == nullptr) throw std::runtime_error(SDL_GetError());
    context = SDL_GL_CreateContext(window);
    if (context == nullptr) throw std::runtime_error(SDL_GetError());
    SDL_GL_MakeCurrent(window, context);
    SDL_GL_SetSwapInterval(0);
    SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
    viewport = plat::sdl::letterbox(drawableWidth, drawableHeight, 800, 600);
    if (samples > 0) {
      multisample = std::make_unique<plat::sdl::MultisampleTarget>(samples);
      multisample->drawInto(drawableWidth, drawableHeight);
    }
    Capture();
  }
  int Samples() const { return multisample ? multisample->samples() : 0; }

  void Capture() {
    CapturingPlatform platform;
    platform.appFolder = bench::ExecutableFolder();
    plat::SetAppPath(platform.appFolder);
    Form1 form(platform);
    form.Startup();
    StartMatch(form);
    platform.device->recording = false;
    PlayIntro(form);
    Serve(form);
    for (int i = 0; i < 30; ++i) form.Pass();
    CapturingDevice& device = *platform.capturing;
    plat::testing::DeviceState state = device.state;
    device.ClearCalls();
    device.indexLists.clear();
    device.recording = true;
    form.Pass();
    device.recording = false;

    std::map<const plat::Texture*, GLuint> names;
    auto textureName = [&](const plat::Texture* t) -> GLuint {
      if (t == nullptr) return 0;
      if (auto it = names.find(t); it != names.end()) return it->second;
      const auto& tt = static_cast<const plat::testing::TestTexture&>(*t);
      GLuint name = 0;
      glGenTextures(1, &name);
      glBindTexture(GL_TEXTURE_2D, name);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, tt.mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, tt.mipmaps ? GL_TRUE : GL_FALSE);
      const GLenum s = plat::sdl::wrapModeFor(state.textureStage[{0, plat::D3DTSS_ADDRESSU}]);
      const GLenum r = plat::sdl::wrapModeFor(state.textureStage[{0, plat::D3DTSS_ADDRESSV}]);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, s == 0 ? GL_REPEAT : s);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, r == 0 ? GL_REPEAT : r);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tt.width, tt.height, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                   tt.argb.data());
      textures.push_back(name);
      return names[t] = name;
    };

    if (TTF_WasInit() == 0) TTF_Init();
    std::map<std::pair<std::string, int>, TTF_Font*> fonts;

    for (size_t i = 0; i < device.calls.size(); ++i) {
      const Call& c = device.calls[i];
      switch (c.op) {
        case Op::SetRenderState:
          state.renderState[c.a] = c.b;
          break;
        case Op::SetTransform:
          if (c.a == plat::D3DTS_WORLD) state.world = c.matrix;
          if (c.a == plat::D3DTS_VIEW) state.view = c.matrix;
          if (c.a == plat::D3DTS_PROJECTION) state.projection = c.matrix;
          break;
        case Op::SetTexture:
          if (c.a == 0) state.texture[0] = c.texture;
          break;
        case Op::SetTextureStageState:
          state.textureStage[{c.c, c.a}] = c.b;
          break;
        case Op::SetVertexShader:
          state.fvf = c.a;
          break;
        case Op::SetMaterial:
          state.material = c.material;
          break;
        case Op::SetLight:
          state.light[c.a] = c.light;
          break;
        case Op::LightEnable:
          state.lightEnabled[c.a] = c.b != 0;
          break;
        case Op::DrawPrimitiveUP:
        case Op::DrawIndexedPrimitiveUP:
          AddDraw(c, state, textureName(state.texture[0]), device.indexLists, i);
          break;
        case Op::DrawText:
          AddText(c, fonts);
          break;
        default:
          break;
      }
    }
    for (auto& [key, font] : fonts) TTF_CloseFont(font);
  }

  void AddDraw(const Call& c, const plat::testing::DeviceState& s, GLuint texture,
               const std::map<size_t, std::vector<uint32_t>>& indexLists, size_t at) {
    BareDraw d;
    const auto type = static_cast<plat::D3DPRIMITIVETYPE>(c.a);
    d.mode = plat::sdl::primitiveFor(type);
    d.count = static_cast<GLsizei>(plat::sdl::vertexCountFor(type, c.b));
    d.vertices = c.vertices;
    if (auto it = indexLists.find(at); it != indexLists.end()) d.indices = it->second;
    d.stride = static_cast<GLsizei>(c.c);
    plat::sdl::layoutFor(s.fvf, &d.layout);
    d.texture = texture;
    d.screen = d.layout.pretransformed;
    d.depthTest = s.renderState[plat::D3DRS_ZENABLE] != 0;
    d.depthWrite = s.renderState[plat::D3DRS_ZWRITEENABLE] != 0;
    d.depthFunc = plat::sdl::compareFuncFor(s.renderState[plat::D3DRS_ZFUNC]);
    d.blend = s.renderState[plat::D3DRS_ALPHABLENDENABLE] != 0;
    d.src = plat::sdl::blendFactorFor(s.renderState[plat::D3DRS_SRCBLEND]);
    d.dst = plat::sdl::blendFactorFor(s.renderState[plat::D3DRS_DESTBLEND]);
    const plat::sdl::CullState cull = plat::sdl::cullStateFor(s.renderState[plat::D3DRS_CULLMODE]);
    d.cull = cull.enabled;
    d.cullFace = cull.face;
    d.lighting = !d.screen && s.renderState[plat::D3DRS_LIGHTING] != 0;
    d.specular = s.renderState[plat::D3DRS_SPECULARENABLE] != 0;
    plat::D3DXMATRIX worldView{};
    plat::D3DXMatrixMultiply(&worldView, &s.world, &s.view);
    d.modelview = plat::sdl::toGl(worldView);
    d.material = plat::sdl::translateMaterial(s.material, d.specular);
    if (draws.empty() || lights.empty()) {
      projection = plat::sdl::projectionForGl(s.projection);
      screenProjection = plat::sdl::screenProjection(800, 600);
      ambient = plat::sdl::colorFromPacked(s.renderState[plat::D3DRS_AMBIENT]);
      viewForLights = plat::sdl::toGl(s.view);
      lights.clear();
      for (size_t i = 0; i < s.light.size(); ++i) {
        if (s.lightEnabled[i]) lights.push_back(s.light[i]);
      }
    }
    triangles += static_cast<size_t>(c.b);
    draws.push_back(std::move(d));
  }

  // A string as the game draws it: rasterised at its size times the window's scale and
  // placed on whole pixels of the window.
  void AddText(const Call& c, std::map<std::pair<std::string, int>, TTF_Font*>& fonts) {
    const double sx = viewport.width / 800.0, sy = viewport.height / 600.0;
    const plat::sdl::FontFile file = plat::sdl::findFontFile(c.font.face, c.font.bold);
    const int pixels = static_cast<int>(std::lround(plat::sdl::pixelsForPoints(c.font.points) * sy));
    TTF_Font*& font = fonts[{file.path, pixels}];
    if (font == nullptr) font = TTF_OpenFont(file.path.c_str(), pixels);
    if (font == nullptr) return;
    SDL_Surface* raw = TTF_RenderUTF8_Blended(font, c.text.c_str(), SDL_Color{255, 255, 255, 255});
    if (raw == nullptr) return;
    SDL_Surface* surface = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(raw);
    if (surface == nullptr) return;
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, surface->pitch / 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, surface->w, surface->h, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 surface->pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    textures.push_back(name);

    // Window pixels, then back-buffer units for the screen projection.
    double left = std::round(c.rect.left * sx);
    if (c.b & plat::DT_CENTER) left += std::trunc(((c.rect.right - c.rect.left) * sx - surface->w) / 2);
    const double top = std::round(c.rect.top * sy);
    const auto x0 = static_cast<float>(left / sx), y0 = static_cast<float>(top / sy);
    const auto x1 = static_cast<float>((left + surface->w) / sx), y1 = static_cast<float>((top + surface->h) / sy);
    SDL_FreeSurface(surface);
    // x, y, z, rhw, then u, v: a screen quad as a strip.
    struct Corner {
      float x, y, z, rhw, u, v;
    };
    const Corner quad[4] = {
        {x0, y0, 0, 1, 0, 0}, {x1, y0, 0, 1, 1, 0}, {x0, y1, 0, 1, 0, 1}, {x1, y1, 0, 1, 1, 1}};
    BareDraw d;
    d.mode = GL_TRIANGLE_STRIP;
    d.count = 4;
    d.vertices.assign(reinterpret_cast<const uint8_t*>(quad),
                      reinterpret_cast<const uint8_t*>(quad) + sizeof quad);
    d.stride = sizeof(Corner);
    d.layout.pretransformed = true;
    d.layout.texCoord = 4 * sizeof(float);
    d.layout.size = sizeof(Corner);
    d.texture = name;
    d.screen = d.text = true;
    d.depthTest = false;
    d.blend = true;
    d.src = GL_SRC_ALPHA;
    d.dst = GL_ONE_MINUS_SRC_ALPHA;
    d.colour[0] = static_cast<GLubyte>(c.color >> 16);
    d.colour[1] = static_cast<GLubyte>(c.color >> 8);
    d.colour[2] = static_cast<GLubyte>(c.color);
    d.colour[3] = static_cast<GLubyte>(c.color >> 24);
    triangles += 2;
    draws.push_back(std::move(d));
  }

  // One frame: clear, the lights once, then every draw with only the state that changes.
  void Frame() {
    if (multisample) multisample->drawInto(drawableWidth, drawableHeight);
    glViewport(viewport.x, viewport.y, viewport.width, viewport.height);
    glClearColor(0, 0, 0, 1);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(viewForLights.data());
    for (size_t i = 0; i < 8; ++i) {
      const GLenum id = GL_LIGHT0 + static_cast<GLenum>(i);
      if (i >= lights.size()) {
        glDisable(id);
        continue;
      }
      const plat::sdl::GlLight l = plat::sdl::translateLight(lights[i]);
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
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient.data());
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_PRIMARY_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_TEXTURE);

    const BareDraw* last = nullptr;
    for (const BareDraw& d : draws) {
      const bool first = last == nullptr;
      if (first || d.screen != last->screen) {
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(d.screen ? screenProjection.data() : projection.data());
        glMatrixMode(GL_MODELVIEW);
        if (d.screen) glLoadIdentity();
      }
      if (!d.screen && (first || last->screen || d.modelview != last->modelview)) {
        glLoadMatrixf(d.modelview.data());
      }
      if (first || d.depthTest != last->depthTest)
        d.depthTest ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
      if (first || d.depthFunc != last->depthFunc) glDepthFunc(d.depthFunc);
      if (first || d.depthWrite != last->depthWrite) glDepthMask(d.depthWrite ? GL_TRUE : GL_FALSE);
      if (first || d.blend != last->blend) d.blend ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
      if (first || d.src != last->src || d.dst != last->dst) glBlendFunc(d.src, d.dst);
      if (first || d.cull != last->cull) d.cull ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
      if (first || d.cullFace != last->cullFace) glCullFace(d.cullFace);
      if (first || d.lighting != last->lighting) d.lighting ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING);
      if (d.lighting && (first || d.specular != last->specular || !SameMaterial(d, *last))) {
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, d.material.ambient.data());
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, d.material.diffuse.data());
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, d.material.specular.data());
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, d.material.emission.data());
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, d.material.shininess);
        glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL,
                      d.specular ? GL_SEPARATE_SPECULAR_COLOR : GL_SINGLE_COLOR);
      }
      if (first || d.texture != last->texture) {
        if (d.texture != 0) {
          glEnable(GL_TEXTURE_2D);
          glBindTexture(GL_TEXTURE_2D, d.texture);
        } else {
          glDisable(GL_TEXTURE_2D);
        }
      }
      const uint8_t* v = d.vertices.data();
      glVertexPointer(3, GL_FLOAT, d.stride, v);  // screen vertices: x, y, z (rhw unused)
      if (d.layout.normal >= 0) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, d.stride, v + d.layout.normal);
      } else {
        glDisableClientState(GL_NORMAL_ARRAY);
      }
      if (d.layout.diffuse >= 0) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, d.stride, v + d.layout.diffuse);
      } else {
        glDisableClientState(GL_COLOR_ARRAY);
        glColor4ubv(d.colour);
      }
      if (d.layout.texCoord >= 0) {
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, d.stride, v + d.layout.texCoord);
      } else {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
      }
      if (d.indices.empty()) {
        glDrawArrays(d.mode, 0, d.count);
      } else {
        glDrawElements(d.mode, d.count, GL_UNSIGNED_INT, d.indices.data());
      }
      last = &d;
    }
    if (multisample) multisample->resolve();
    SDL_GL_SwapWindow(window);
    glFinish();
  }

  static bool SameMaterial(const BareDraw& a, const BareDraw& b) {
    return std::memcmp(&a.material, &b.material, sizeof a.material) == 0;
  }

  plat::sdl::GlMatrix viewForLights{};
};

Bare& TheBare() {
  static Bare* bare = new Bare(4);  // as the game asks
  return *bare;
}

Bare& TheBareWithoutMultisampling() {
  static Bare* bare = new Bare(0);
  return *bare;
}

// ---- Benchmarks ------------------------------------------------------------------------
void BM_GlMatchFrame(benchmark::State& state) {
  GlGame& game = Game();
  game.Ready();
  const plat::sdl::TextStats before = plat::sdl::textStats();
  for (auto _ : state) game.Frame();
  state.counters["strings_rasterised"] =
      static_cast<double>(plat::sdl::textStats().stringsRasterised - before.stringsRasterised);
  const auto& device = static_cast<const plat::sdl::GlDevice&>(*game.form->D.D3Ddevice);
  state.counters["samples"] = device.samples();
  state.counters["width"] = device.viewport().width;
  state.counters["height"] = device.viewport().height;
}
BENCHMARK(BM_GlMatchFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BareFrames(benchmark::State& state, Bare& bare) {
  SDL_GL_MakeCurrent(bare.window, bare.context);
  for (int i = 0; i < 30; ++i) bare.Frame();
  for (auto _ : state) bare.Frame();
  std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  for (char& ch : renderer) ch = ch == ',' ? ';' : ch;  // the label is a field of the CSV report
  state.SetLabel(renderer);
  state.counters["draws"] = static_cast<double>(bare.draws.size());
  state.counters["triangles"] = static_cast<double>(bare.triangles);
  state.counters["samples"] = bare.Samples();
}

void BM_GlBareFrame(benchmark::State& state) { BareFrames(state, TheBare()); }
BENCHMARK(BM_GlBareFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_GlBareFrameOneSample(benchmark::State& state) { BareFrames(state, TheBareWithoutMultisampling()); }
BENCHMARK(BM_GlBareFrameOneSample)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A match's loading, everything read before (files in the page cache, decoded sounds
// kept by the sound device), on the OpenGL device.
void BM_GameLoadWarm(benchmark::State& state) {
  GlGame& game = Game();
  game.MakeCurrent();
  game.form->Game_Load();  // warm
  for (auto _ : state) {
    game.form->Game_Load();
    glFinish();
  }
}
BENCHMARK(BM_GameLoadWarm)->Unit(benchmark::kMillisecond)->UseRealTime();

int64_t ThreadCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// The effect buffers made anew, as the 20th counted table or racket hit does it, with the
// music playing.
void BM_EffectReload(benchmark::State& state) {
  GlGame& game = Game();
  game.Ready();
  game.form->load_s(true);  // warm
  double worst = 0, worstCpu = 0;
  for (auto _ : state) {
    const int64_t cpuStart = ThreadCpuNs();
    const auto start = std::chrono::steady_clock::now();
    game.form->load_s(true);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = static_cast<double>(ThreadCpuNs() - cpuStart) * 1e-9;
    if (seconds > worst) {
      worst = seconds;
      worstCpu = cpu;
    }
    state.SetIterationTime(seconds);
  }
  state.counters["worst_us"] = worst * 1e6;
  state.counters["worst_cpu_us"] = worstCpu * 1e6;  // the thread's own work in that reload
}
BENCHMARK(BM_EffectReload)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(200);

}  // namespace
