// Textured rectangles in screen pixels, drawn pre-transformed from user memory.
#include "gfx/squares.h"

#include <cmath>

namespace {

using plat::D3DCOLOR;
using plat::ScreenVertex;

constexpr D3DCOLOR kWhite = plat::D3DColorARGB(255, 255, 255, 255);
// A button's image goes in white with alpha 0; draw() tints it by state.
constexpr D3DCOLOR kButtonInit = plat::D3DColorARGB(0, 255, 255, 255);
// Texels of exactly this grey turn transparent.
constexpr D3DCOLOR kColorKey = plat::D3DColorXRGB(7, 7, 7);

ScreenVertex MakeScreenVertex(double sx, double sy, double sz, double rhw, D3DCOLOR color, D3DCOLOR specular,
                              double tu, double tv) {
  return ScreenVertex{static_cast<float>(sx),
                      static_cast<float>(sy),
                      static_cast<float>(sz),
                      static_cast<float>(rhw),
                      color,
                      specular,
                      static_cast<float>(tu),
                      static_cast<float>(tv)};
}

// Rounds to a 32-bit integer, halves to even.
int32_t RoundEven(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

plat::TexturePtr LoadTexture(const std::string& path, double texwidth, double texheight, plat::Device& device,
                             plat::D3DX8& d3dx) {
  return d3dx.CreateTextureFromFileEx(device, path, RoundEven(texwidth), RoundEven(texheight),
                                      plat::D3DX_DEFAULT, 0, plat::D3DFMT_UNKNOWN, plat::D3DPOOL_MANAGED,
                                      plat::D3DX_FILTER_LINEAR, plat::D3DX_FILTER_LINEAR, kColorKey);
}

void BuildRectangle(std::array<ScreenVertex, 4>& v, double width, double height, double left, double top,
                    D3DCOLOR color) {
  v[0] = MakeScreenVertex(left, top, 0, 1.0, color, 0, 0, 0);
  v[1] = MakeScreenVertex(left + width, top, 0, 1.0, color, 0, 1, 0);
  v[2] = MakeScreenVertex(left, top + height, 0, 1.0, color, 0, 0, 1);
  v[3] = MakeScreenVertex(left + width, top + height, 0, 1.0, color, 0, 1, 1);
}

void DrawRectangle(const std::array<ScreenVertex, 4>& v, plat::Texture* texture, plat::Device& device) {
  device.SetRenderState(plat::D3DRS_SRCBLEND, plat::D3DBLEND_SRCALPHA);
  device.SetRenderState(plat::D3DRS_DESTBLEND, plat::D3DBLEND_INVSRCALPHA);
  device.SetRenderState(plat::D3DRS_ALPHABLENDENABLE, 1);
  device.SetVertexShader(plat::kFvfScreenVertex);
  device.SetTexture(0, texture);
  device.DrawPrimitiveUP(plat::D3DPT_TRIANGLESTRIP, 2, v.data(), sizeof(ScreenVertex));
}

}  // namespace

void cTLSquare::init(double width, double height, double sleft, double sqtop, const std::string& Texturepath,
                     double texwidth, double texheight, plat::Device& device, plat::D3DX8& d3dx) {
  // A texture that fails to load throws before the vertices change.
  texture_ = LoadTexture(Texturepath, texwidth, texheight, device, d3dx);
  BuildRectangle(v_, width, height, sleft, sqtop, kWhite);
}

void cTLSquare::draw(plat::Device& device) { DrawRectangle(v_, texture_.get(), device); }

void BcTLSquare::init(double width, double height, double sleft, double sqtop, const std::string& Texturepath,
                      double texwidth, double texheight, plat::D3DCOLOR tcolor, plat::Device& device,
                      plat::D3DX8& d3dx) {
  texture_ = LoadTexture(Texturepath, texwidth, texheight, device, d3dx);
  BuildRectangle(v_, width, height, sleft, sqtop, tcolor);
}

void BcTLSquare::draw(plat::Device& device) { DrawRectangle(v_, texture_.get(), device); }

void BcTLSquare::ch_color(plat::D3DCOLOR color) {
  for (auto& vertex : v_) vertex.color = color;
}

void cButton::init(double bWIdth, double bheight, const std::string& bmpp, const std::string& /*bmpp1*/,
                   const std::string& /*bmpp2*/, double bleft, double btop, double tex_width,
                   double tex_height, plat::Device& device, plat::D3DX8& d3dx) {
  // Every state shows the same picture; the states differ only by tint.
  if (!square_) square_ = std::make_unique<BcTLSquare>();
  square_->init(bWIdth, bheight, bleft, btop, bmpp, tex_width, tex_height, kButtonInit, device, d3dx);
}

void cButton::draw(plat::Device& device) {
  if (!square_) square_ = std::make_unique<BcTLSquare>();
  switch (E) {
    case 1:
      square_->ch_color(plat::D3DColorARGB(255, 255, 255, 255));
      break;
    case 2:
      square_->ch_color(plat::D3DColorARGB(255, 255, 251, 96));
      break;
    case 3:
      square_->ch_color(plat::D3DColorARGB(255, 255, 0, 0));
      break;
    case 4:
      square_->ch_color(plat::D3DColorARGB(0, 0, 255, 0));  // 65280: green with alpha 0
      break;
    default:
      break;  // keeps the last tint
  }
  square_->draw(device);
}

void cButton::RESET() { square_.reset(); }
