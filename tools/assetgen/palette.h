// The arena's colours, shared by every picture so that they read as one set.
#pragma once

#include "image.h"

namespace assetgen::palette {

inline const Rgba kNight = Hex(0x060A16);     // the room in the dark
inline const Rgba kNavy = Hex(0x101B3C);      // panels, cloth
inline const Rgba kSteel = Hex(0x2A3A60);     // lit edges of dark panels
inline const Rgba kInk = Hex(0x0B1430);       // lettering on light plates
inline const Rgba kIce = Hex(0xF2F6FC);       // the playing surface
inline const Rgba kRed = Hex(0xE3202D);       // the right player's side (-x)
inline const Rgba kBlue = Hex(0x1C6CF2);      // the left player's side (+x)
inline const Rgba kAmber = Hex(0xFFB43C);     // the lamp's warm light
inline const Rgba kChromeHi = Hex(0xF4F8FF);  // chrome highlight
inline const Rgba kChromeLo = Hex(0x56637E);  // chrome shadow

// Lettering slant (x shift per unit of height) and condensing, for every label.
constexpr float kSlant = 0.2f;
constexpr float kCondense = 0.92f;

// The four colour schemes of pucks and rackets.
struct Scheme {
  Rgba main, dark, light;
};
inline const Scheme kSchemes[4] = {
    {Hex(0xE8232F), Hex(0x6E0A12), Hex(0xFF9A8A)},  // crimson
    {Hex(0x1F8BFF), Hex(0x0A2A78), Hex(0x9BDCFF)},  // electric blue
    {Hex(0xFFB000), Hex(0x8A3A00), Hex(0xFFE68A)},  // solar
    {Hex(0x27E06A), Hex(0x07602A), Hex(0xB8FFB8)},  // neon green
};

// Mirror-like metal: a bright sky above a sharp horizon and a darker ground below,
// as a function of the position t (0..1) across the part.
inline Rgba Chrome(float t) {
  if (t < 0.5f) return Mix(kChromeHi, Hex(0xA9BBDA), SmoothStep(0.f, 0.5f, t));
  return Mix(Hex(0x3D4A66), Hex(0xB8C6DE), SmoothStep(0.5f, 1.0f, t));
}

}  // namespace assetgen::palette
