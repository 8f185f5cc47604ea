// The test picture drawn through the OpenGL device: a lit textured quad, a blended quad
// whose vertex alpha is 0, a pre-transformed rectangle and two lines of text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3dx8.h"
#include "platform/platform.h"

namespace picture {

constexpr plat::D3DCOLOR kBackground = 0xFF203040;  // clear colour
constexpr plat::D3DCOLOR kRectColour = 0xFFFF0000;  // the pre-transformed rectangle
// The pre-transformed rectangle, in back-buffer pixels (right and bottom exclusive).
constexpr int kRectLeft = 600, kRectTop = 40, kRectRight = 760, kRectBottom = 140;
// The blended quad: left half opaque green texels, right half white at alpha 128,
// bottom quarter fully transparent.
constexpr int kBlendLeft = 40, kBlendTop = 40, kBlendSize = 160;
// Texel colour of the lit quad (apart from its dark grid lines).
constexpr plat::D3DCOLOR kLitTexel = 0xFFFFC864;
// Text lines.
constexpr int kComicTop = 470, kBlackletterTop = 520, kTextLeft = 40;
constexpr plat::D3DCOLOR kComicColour = 0xFFFFFFFF, kBlackletterColour = 0xFFFFFF00;
// A line drawn centred in a narrow rectangle, to be cut at its edges.
constexpr plat::RECT kClipRect{590, 220, 730, 260};

// An RGB picture read back from the back buffer, rows top-down.
struct Pixels {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  uint32_t at(int x, int y) const;  // 0xRRGGBB
};

// Everything a picture needs, set up on the SDL face (window, device, D3DX).
class Scene {
 public:
  // Writes its textures as TGA files into `folder`.
  explicit Scene(const std::string& folder);
  ~Scene();

  plat::Platform& platform() { return *platform_; }
  plat::Device& device() { return *device_; }
  plat::D3DX8& d3dx() { return d3dx_; }

  // Draws the whole picture (without presenting).
  void draw();
  // The back buffer as it is now.
  Pixels read();

 private:
  void drawLitQuad();
  void drawBlendedQuad();
  void drawRectangle();
  void drawText();

  std::unique_ptr<plat::Platform> platform_;
  std::unique_ptr<plat::Device> device_;
  plat::D3DX8 d3dx_;
  plat::TexturePtr litTexture_, blendTexture_;
  const plat::FontDesc comic_{"Comic Sans MS", 18, false};
  const plat::FontDesc blackletter_{"Lucida Blackletter", 18, false};
  std::vector<plat::Vertex3D> grid_;
  std::vector<uint32_t> gridIndices_;
};

// Writes a 32-bit top-down TGA of `argb` texels.
void writeTga(const std::string& path, int width, int height, const std::vector<uint32_t>& argb);
// Saves `pixels` as a PNG.
bool savePng(const Pixels& pixels, const std::string& path);

}  // namespace picture
