#include "picture_scene.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_opengl.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "platform/sdl/gl_device.h"

namespace picture {

using namespace plat;

namespace {

constexpr float kQuadHalf = 0.7f;
constexpr int kGridCells = 16;

ScreenVertex screenVertex(float x, float y, D3DCOLOR colour, float tu, float tv) {
  return ScreenVertex{x, y, 0.0f, 1.0f, colour, 0, tu, tv};
}

// The four corners of a rectangle as the game's screen squares build them.
void drawSquare(Device& device, float left, float top, float width, float height, D3DCOLOR colour) {
  const ScreenVertex v[4] = {
      screenVertex(left, top, colour, 0, 0),
      screenVertex(left + width, top, colour, 1, 0),
      screenVertex(left, top + height, colour, 0, 1),
      screenVertex(left + width, top + height, colour, 1, 1),
  };
  device.SetVertexShader(kFvfScreenVertex);
  device.DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex));
}

RECT textRect(int left, int top, int points, const char* text) {
  const int n = static_cast<int>(std::strlen(text));
  return RECT{left, top, left + points * 3 * n / 2, top + 2 * points};
}

}  // namespace

uint32_t Pixels::at(int x, int y) const {
  const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
  return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
}

void writeTga(const std::string& path, int width, int height, const std::vector<uint32_t>& argb) {
  uint8_t header[18] = {};
  header[2] = 2;  // uncompressed true colour
  header[12] = static_cast<uint8_t>(width), header[13] = static_cast<uint8_t>(width >> 8);
  header[14] = static_cast<uint8_t>(height), header[15] = static_cast<uint8_t>(height >> 8);
  header[16] = 32;
  header[17] = 0x28;  // 8 alpha bits, rows top-down
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path);
  std::fwrite(header, 1, sizeof(header), f);
  for (uint32_t t : argb) {
    const uint8_t bgra[4] = {static_cast<uint8_t>(t), static_cast<uint8_t>(t >> 8),
                             static_cast<uint8_t>(t >> 16), static_cast<uint8_t>(t >> 24)};
    std::fwrite(bgra, 1, 4, f);
  }
  std::fclose(f);
}

bool savePng(const Pixels& pixels, const std::string& path) {
  SDL_Surface* s =
      SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(pixels.rgb.data()), pixels.width, pixels.height,
                                         24, pixels.width * 3, SDL_PIXELFORMAT_RGB24);
  if (!s) return false;
  const bool ok = IMG_SavePNG(s, path.c_str()) == 0;
  SDL_FreeSurface(s);
  return ok;
}

Scene::Scene(const std::string& folder) {
  platform_ = CreateSdlPlatform("gl_picture");
  platform_->ShowWindow("VANTOR!");
  D3DPRESENT_PARAMETERS params;
  params.BackBufferWidth = 800;
  params.BackBufferHeight = 600;
  params.BackBufferFormat = D3DFMT_X8R8G8B8;
  params.BackBufferCount = 1;
  params.SwapEffect = D3DSWAPEFFECT_COPY_VSYNC;
  params.hDeviceWindow = platform_->WindowHandle();
  params.EnableAutoDepthStencil = true;
  params.AutoDepthStencilFormat = D3DFMT_D16;
  device_ = platform_->CreateDevice(D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING, params);
  if (!device_) throw std::runtime_error("no OpenGL device");

  // A warm orange texture with a dark grid, and a button-like texture whose bottom quarter
  // is the game's colour key (grey 7).
  std::vector<uint32_t> lit(64 * 64), blend(64 * 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const bool line = x % 16 == 8 || y % 16 == 8;
      lit[y * 64 + x] = line ? 0xFF402010 : kLitTexel;
      blend[y * 64 + x] = y >= 48 ? 0xFF070707 : x < 32 ? 0xFF00FF00 : 0x80FFFFFF;
    }
  }
  writeTga(folder + "/lit.tga", 64, 64, lit);
  writeTga(folder + "/blend.tga", 64, 64, blend);
  litTexture_ = d3dx_.CreateTextureFromFile(*device_, folder + "/lit.tga");
  blendTexture_ = d3dx_.CreateTextureFromFileEx(*device_, folder + "/blend.tga", 64, 64, D3DX_DEFAULT, 0,
                                                D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_LINEAR,
                                                D3DX_FILTER_LINEAR, D3DColorXRGB(7, 7, 7));

  // The lit quad is a grid: lighting is worked out per vertex.
  for (int j = 0; j <= kGridCells; ++j) {
    for (int i = 0; i <= kGridCells; ++i) {
      const float u = static_cast<float>(i) / kGridCells, v = static_cast<float>(j) / kGridCells;
      grid_.push_back(
          Vertex3D{-kQuadHalf + 2 * kQuadHalf * u, kQuadHalf - 2 * kQuadHalf * v, 0, 0, 0, -1, u, v});
    }
  }
  for (uint32_t j = 0; j < kGridCells; ++j) {
    for (uint32_t i = 0; i < kGridCells; ++i) {
      const uint32_t topLeft = j * (kGridCells + 1) + i, bottomLeft = topLeft + kGridCells + 1;
      // Clockwise on screen, as the default culling keeps.
      gridIndices_.insert(gridIndices_.end(),
                          {topLeft, topLeft + 1, bottomLeft, topLeft + 1, bottomLeft + 1, bottomLeft});
    }
  }
}

Scene::~Scene() {
  litTexture_.reset();
  blendTexture_.reset();
  device_.reset();
  platform_.reset();
}

void Scene::draw() {
  device_->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground, 1.0f, 0);
  device_->BeginScene();
  drawLitQuad();
  drawBlendedQuad();
  drawRectangle();
  drawText();
  device_->EndScene();
}

void Scene::drawLitQuad() {
  Device& d = *device_;
  d.SetRenderState(D3DRS_AMBIENT, D3DColorXRGB(2, 2, 2));
  d.SetRenderState(D3DRS_ZENABLE, 1);
  d.SetRenderState(D3DRS_LIGHTING, 1);
  D3DXMATRIX world, view, projection;
  D3DXMatrixIdentity(&world);
  const D3DXVECTOR3 eye{0, 0, -3}, at{0, 0, 0}, up{0, 1, 0};
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  D3DXMatrixPerspectiveFovLH(&projection, 3.1415927f / 4, 800.0f / 600.0f, 0.1f, 100.0f);
  d.SetTransform(D3DTS_WORLD, world);
  d.SetTransform(D3DTS_VIEW, view);
  d.SetTransform(D3DTS_PROJECTION, projection);

  // Colours on the game's 0–255 scale for the light, alpha 0 in the material.
  D3DMATERIAL8 material{};
  material.Diffuse = material.Ambient = {1, 1, 1, 0};
  d.SetMaterial(material);
  D3DLIGHT8 light{};
  light.Type = D3DLIGHT_POINT;
  light.Diffuse = {255, 255, 255, 0};
  light.Position = {0, 0, -1};
  light.Range = 100;
  light.Attenuation1 = 300;
  d.SetLight(0, light);
  d.LightEnable(0, true);

  // Blending on: the material's alpha 0 must not make the quad vanish.
  d.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  d.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  d.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
  d.SetTexture(0, litTexture_.get());
  d.SetVertexShader(kFvfVertex3D);
  d.DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<uint32_t>(grid_.size()),
                           static_cast<uint32_t>(gridIndices_.size() / 3), gridIndices_.data(), grid_.data(),
                           sizeof(Vertex3D));
  d.SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
}

void Scene::drawBlendedQuad() {
  Device& d = *device_;
  d.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  d.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  d.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
  d.SetTexture(0, blendTexture_.get());
  drawSquare(d, kBlendLeft, kBlendTop, kBlendSize, kBlendSize, D3DColorARGB(0, 255, 255, 255));
}

void Scene::drawRectangle() {
  Device& d = *device_;
  d.SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
  d.SetTexture(0, nullptr);
  drawSquare(d, kRectLeft, kRectTop, kRectRight - kRectLeft, kRectBottom - kRectTop, kRectColour);
}

void Scene::drawText() {
  const char* comic = "Comic Sans MS 18: Time : 2:05 / 3:00";
  const char* blackletter = "Lucida Blackletter 18: VANTOR!";
  FontPtr font = d3dx_.CreateFont(*device_, comic_);
  d3dx_.DrawText(*font, comic, textRect(kTextLeft, kComicTop, 18, comic), DT_LEFT, kComicColour);
  d3dx_.DrawText(*font, "centred, cut at both sides", kClipRect, DT_CENTER, kComicColour);
  font = d3dx_.CreateFont(*device_, blackletter_);
  d3dx_.DrawText(*font, blackletter, textRect(kTextLeft, kBlackletterTop, 18, blackletter), DT_LEFT,
                 kBlackletterColour);
}

Pixels Scene::read() {
  auto& gl = static_cast<sdl::GlDevice&>(*device_);
  gl.resolve();
  const sdl::PixelRect& vp = gl.viewport();
  Pixels out;
  out.width = vp.width;
  out.height = vp.height;
  std::vector<uint8_t> bottomUp(static_cast<size_t>(vp.width) * vp.height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(vp.x, vp.y, vp.width, vp.height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  out.rgb.resize(bottomUp.size());
  const size_t row = static_cast<size_t>(vp.width) * 3;
  for (int y = 0; y < vp.height; ++y) {
    std::memcpy(&out.rgb[y * row], &bottomUp[(vp.height - 1 - y) * row], row);
  }
  return out;
}

}  // namespace picture
