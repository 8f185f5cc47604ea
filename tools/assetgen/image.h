// Float RGBA pictures, procedural painting helpers and the TGA writer.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace assetgen {

struct Rgba {
  float r = 0, g = 0, b = 0, a = 1;
};

inline float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
inline float Mix(float a, float b, float t) { return a + (b - a) * t; }
inline Rgba Mix(const Rgba& a, const Rgba& b, float t) {
  return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t), Mix(a.a, b.a, t)};
}
inline Rgba Scale(const Rgba& c, float k) { return {c.r * k, c.g * k, c.b * k, c.a}; }
inline Rgba Add(const Rgba& c, const Rgba& d, float k = 1) {
  return {c.r + d.r * k, c.g + d.g * k, c.b + d.b * k, c.a};
}
inline Rgba WithAlpha(Rgba c, float a) {
  c.a = a;
  return c;
}
// Straight-alpha "over": paints top over base.
inline Rgba Over(const Rgba& base, const Rgba& top) {
  float a = top.a + base.a * (1 - top.a);
  if (a <= 0) return {base.r, base.g, base.b, 0};
  auto ch = [&](float t, float b) { return (t * top.a + b * base.a * (1 - top.a)) / a; };
  return {ch(top.r, base.r), ch(top.g, base.g), ch(top.b, base.b), a};
}
// Colour from a 0xRRGGBB literal.
inline Rgba Hex(uint32_t rgb, float a = 1) {
  return {((rgb >> 16) & 255) / 255.f, ((rgb >> 8) & 255) / 255.f, (rgb & 255) / 255.f, a};
}
inline float SmoothStep(float e0, float e1, float x) {
  float t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}
// Coverage of a shape edge: 1 inside (d < 0), 0 outside, a linear ramp `aa` wide.
inline float Coverage(float signedDistance, float aa) { return Clamp01(0.5f - signedDistance / aa); }

class Image {
 public:
  Image() = default;
  Image(int w, int h, Rgba fill = {0, 0, 0, 0}) : w_(w), h_(h), px_(static_cast<size_t>(w) * h, fill) {}
  int width() const { return w_; }
  int height() const { return h_; }
  Rgba& at(int x, int y) { return px_[static_cast<size_t>(y) * w_ + x]; }
  const Rgba& at(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }
  // Bilinear sample at pixel coordinates (pixel centres on x + 0.5), clamped or wrapped.
  Rgba Sample(float x, float y, bool wrap = false) const;
  // Area-averaged resize (premultiplied), used to bring pictures to their file size.
  Image Resized(int w, int h) const;

 private:
  int w_ = 0, h_ = 0;
  std::vector<Rgba> px_;
};

// Paints a w × h picture from a function of (u, v) in 0..1 (v down), with ss × ss samples
// per pixel. Colours are averaged with alpha weighting; fully transparent pixels keep
// the plain average so that filtering at shape edges does not pull in a foreign colour.
using Shader = std::function<Rgba(float u, float v)>;
Image Paint(int w, int h, int ss, const Shader& shader);

// 8-bit RGBA rows, top-down.
std::vector<uint8_t> ToBytes(const Image& img);
// Uncompressed 32-bit TGA, top-left origin, with 8 alpha bits.
void WriteTga(const std::string& path, const Image& img);

// Periodic value noise in [0, 1] with the given period (in lattice cells) and seed.
float TileNoise(float x, float y, int period, uint32_t seed);
// Sum of octaves of TileNoise, periodic with `period` at the base octave.
float TileFbm(float x, float y, int period, uint32_t seed, int octaves);
// Integer hash to [0, 1).
float Hash01(uint32_t a, uint32_t b = 0, uint32_t c = 0);

}  // namespace assetgen
