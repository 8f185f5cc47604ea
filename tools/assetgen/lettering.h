// The game's one lettering face: a bold sans found through fontconfig, drawn by SDL2_ttf
// into coverage masks and set slanted and condensed for a sporty look.
#pragma once

#include <string>
#include <vector>

namespace assetgen {

// Coverage of a rendered string, with the distance (in mask pixels) from every pixel to
// the nearest inked pixel, for outlines and glows.
class TextMask {
 public:
  TextMask(int w, int h, std::vector<float> cov);
  float Coverage(float x, float y) const { return Bilinear(cov_, x, y, 0.f); }
  float Distance(float x, float y) const { return Bilinear(dist_, x, y, 1e4f); }
  // Tight box of the ink in mask pixels.
  float inkLeft = 0, inkTop = 0, inkRight = 0, inkBottom = 0;

 private:
  float Bilinear(const std::vector<float>& m, float x, float y, float outside) const;
  int w_, h_;
  std::vector<float> cov_, dist_;
};

// A string set into a picture: ink height, slant (x shift per unit of height) and
// horizontal condensing, positioned by the centre of its ink box.
class SetText {
 public:
  SetText(const TextMask& mask, float centreX, float centreY, float inkHeight, float maxWidth, float slant,
          float condense);
  float Coverage(float x, float y) const;
  // Distance from (x, y) to the ink in picture units (0 on the ink).
  float Distance(float x, float y) const;
  float Left() const { return left_; }
  float Right() const { return left_ + width_; }
  float Top() const { return top_; }
  float Bottom() const { return top_ + height_; }

 private:
  void ToMask(float x, float y, float* mx, float* my) const;
  const TextMask& mask_;
  float scaleX_, scaleY_, slant_, left_, top_, width_, height_;
};

// Loads the face once (TTF_Init, fontconfig lookup); throws when no bold sans is found.
class Lettering {
 public:
  static Lettering& Get();
  TextMask Render(const std::string& text) const;
  const std::string& FontFile() const { return file_; }

 private:
  Lettering();
  std::string file_;
  void* font_ = nullptr;
};

}  // namespace assetgen
