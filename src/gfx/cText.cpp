// One line of text in one font. The rectangle is estimated from the font size and the
// number of characters, as the game has always laid out its text.
#include "gfx/cText.h"

#include "platform/vbrt.h"

#include <algorithm>
#include <cmath>

namespace {


// Nearest integer, halves to even (the default rounding mode).
int32_t RoundEven(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

// StartY + 2 × size in fixed point with four decimals, then rounded to an integer.
int32_t FixedPointBottom(float startY, int size) {
  const int64_t ticks = static_cast<int64_t>(std::nearbyint(static_cast<double>(startY) * 10000.0)) +
                        static_cast<int64_t>(2) * size * 10000;
  return RoundEven(static_cast<double>(ticks) / 10000.0);
}

}  // namespace

void cText::init(std::string_view FName, int16_t FSize, bool FBold, plat::Device& device, plat::D3DX8& d3dx) {
  const bool same =
      font_ && fontDevice_ == &device && desc_.face == FName && desc_.points == FSize && desc_.bold == FBold;
  // The match sets its font again every frame: the same face, size and weight keep the font.
  if (same) return;
  desc_.face.assign(FName);
  desc_.points = FSize;
  desc_.bold = FBold;
  font_.reset();
  Reload(device, d3dx);
}

void cText::Render(plat::Device& /*device*/, std::string_view strText, float StartX, float StartY,
                   plat::D3DCOLOR Color, plat::D3DX8& d3dx, bool JCenter) {
  const double size = desc_.points;
  const int32_t n = plat::CharacterCount(strText);
  rect_.top = RoundEven(StartY);
  rect_.left = RoundEven(StartX);
  rect_.bottom = FixedPointBottom(StartY, desc_.points);
  rect_.right = RoundEven(1.5 * size * n + static_cast<double>(StartX));
  if (!font_) return;  // between Destroy and Reload nothing is drawn

  // The font takes a NUL-terminated string; longer lines are cut at a character boundary.
  char text[256];
  size_t len = std::min(strText.size(), sizeof(text) - 1);
  if (len < strText.size()) {
    while (len > 0 && (static_cast<unsigned char>(strText[len]) & 0xC0) == 0x80) --len;
  }
  std::copy_n(strText.data(), len, text);
  text[len] = '\0';
  d3dx.DrawText(*font_, text, rect_, JCenter ? plat::DT_CENTER : plat::DT_LEFT, Color);
}

void cText::Destroy() {
  font_.reset();
  fontDevice_ = nullptr;
}

void cText::Reload(plat::Device& device, plat::D3DX8& d3dx) {
  font_ = d3dx.CreateFont(device, desc_);
  fontDevice_ = &device;
}
