// One line of text in one font on the device.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/d3dx8.h"

class cText {
 public:
  void init(std::string_view FName, int16_t FSize, bool FBold, plat::Device& device, plat::D3DX8& d3dx);
  void Render(plat::Device& device, std::string_view strText, float StartX, float StartY,
              plat::D3DCOLOR Color, plat::D3DX8& d3dx, bool JCenter);
  void Destroy();
  void Reload(plat::Device& device, plat::D3DX8& d3dx);

  // The rectangle of the last Render (left, top, right, bottom).
  const plat::RECT& LastRect() const { return rect_; }

 private:
  plat::FontDesc desc_;
  plat::FontPtr font_;
  const plat::Device* fontDevice_ = nullptr;  // the device font_ was made on
  plat::RECT rect_{};
};
