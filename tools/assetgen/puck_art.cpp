// Puck and racket tops, rims and shadows in the four colour schemes.
#include <algorithm>
#include <cmath>
#include <string>

#include "assets.h"
#include "palette.h"

namespace assetgen {
namespace {

using namespace palette;

constexpr float kPi = 3.14159265f;

// Distance from (x, y) to a regular star or polygon outline: `points` tips at radius
// `outer`, valleys at `inner` (inner == outer cos(pi/points) gives a polygon).
float StarDistance(float x, float y, int points, float outer, float inner, float turn) {
  float a = std::atan2(y, x) + turn, r = std::sqrt(x * x + y * y);
  float sector = 2 * kPi / points;
  float f = std::fmod(a + 100 * sector, sector) / sector;  // 0..1 across one tip
  float tri = std::fabs(f - 0.5f) * 2;                     // 1 at the tips, 0 between
  float edge = Mix(inner, outer, tri);
  return r - edge;
}

// Emblem of each scheme in the centre of the puck: star, target, hexagon, chevrons.
// Shapes are symmetric left-right, because the camera sees the top mirrored.
float Emblem(int scheme, float x, float y) {
  switch (scheme) {
    case 0:
      return StarDistance(x, y, 5, 0.42f, 0.18f, kPi / 2);
    case 1: {
      float r = std::sqrt(x * x + y * y);
      return std::min(std::fabs(r - 0.32f) - 0.06f, r - 0.12f);
    }
    case 2:
      return StarDistance(x, y, 6, 0.38f, 0.38f * std::cos(kPi / 6), 0);
    default: {
      float ax = std::fabs(x);
      float c1 = std::fabs(y - 0.05f + ax * 0.8f - 0.12f) - 0.07f;
      float c2 = std::fabs(y - 0.05f + ax * 0.8f + 0.12f) - 0.07f;
      return std::max(std::min(c1, c2), ax - 0.36f);
    }
  }
}

// Puck top: a disc on a transparent square. (u, v) cover the square the disc fills.
Image PuckTop(int scheme) {
  const Scheme& s = kSchemes[scheme];
  const float aa = 2.0f / 128;
  return Paint(128, 128, 4, [&](float u, float v) {
    float x = (u - 0.5f) * 2, y = (v - 0.5f) * 2;
    float r = std::sqrt(x * x + y * y), rc = std::min(r, 0.999f);
    Rgba c;
    if (rc > 0.84f) {  // chrome ring
      c = Chrome((rc - 0.84f) / 0.16f);
    } else {
      float dome = 1 - rc * rc;
      c = Mix(s.dark, s.main, 0.45f + 0.55f * dome);
      float groove = std::exp(-std::pow((rc - 0.66f) / 0.025f, 2.f));
      c = Mix(c, s.dark, 0.7f * groove);
      float em = Coverage(Emblem(scheme, x, y), aa);
      c = Mix(c, Mix(s.light, Hex(0xFFFFFF), 0.5f), em);
      float rim = 1 - SmoothStep(0.78f, 0.84f, rc);
      c = Scale(c, 0.7f + 0.3f * rim);
    }
    // Gloss where the lamp reflects, upper left as the camera sees it.
    float gx = x - 0.35f, gy = y + 0.4f;
    float gloss = std::exp(-(gx * gx + gy * gy) / 0.08f);
    c = Mix(c, Hex(0xFFFFFF), 0.55f * gloss);
    c.a = Coverage(r - 1.0f, aa);
    return c;
  });
}

// Rims are sampled along the picture's diagonal, so the pattern runs across it.
Image Rim(int scheme, int segments, float dim) {
  const Scheme& s = kSchemes[scheme];
  return Paint(128, 128, 2, [&](float u, float v) {
    float t = (u + v) / 2, across = (u - v);
    float seg = std::fmod(t * segments, 1.f);
    Rgba c = seg < 0.5f ? s.main : Mix(s.main, s.light, 0.6f);
    float sep = 1 - SmoothStep(0.f, 0.06f, std::min(seg, 1 - seg));
    c = Mix(c, s.dark, 0.8f * sep);
    c = Scale(c, dim * (0.9f + 0.1f * std::cos(across * kPi)));
    return c;
  });
}

Image PuckShadow() {
  return Paint(64, 64, 2, [](float u, float v) {
    float x = (u - 0.5f) * 2, y = (v - 0.5f) * 2;
    float r = std::sqrt(x * x + y * y);
    return Rgba{0.01f, 0.01f, 0.03f, 0.6f * (1 - SmoothStep(0.45f, 1.0f, r))};
  });
}

// Racket top: the half disc with its flat side on the right edge (u = 1), centred at
// v = 0.5, reaching the left edge at its crown. The picture spans the racket's
// 0.5 (across) by 1.0 (along the flat side), so one unit is 256 texels both ways.
float RacketRadius(float u, float v) {
  float x = (1 - u) * 0.5f, z = v - 0.5f;
  return std::sqrt(x * x + z * z) / 0.5f;
}

Image RacketTop(int scheme) {
  const Scheme& s = kSchemes[scheme];
  const float aa = 2.0f / 128;
  return Paint(128, 256, 4, [&](float u, float v) {
    float r = RacketRadius(u, v), rc = std::min(r, 0.999f);
    Rgba c;
    if (rc > 0.86f) {
      c = Chrome((rc - 0.86f) / 0.14f);
    } else if (rc < 0.34f) {  // the grip
      float dome = 1 - (rc / 0.34f) * (rc / 0.34f);
      c = Mix(Mix(s.main, Hex(0xFFFFFF), 0.35f), Hex(0xFFFFFF), 0.5f * dome);
      c = Mix(c, s.dark, 0.8f * SmoothStep(0.29f, 0.34f, rc));
    } else {
      float dome = 1 - rc * rc;
      c = Mix(s.dark, s.main, 0.5f + 0.5f * dome);
      float groove = std::exp(-std::pow((rc - 0.62f) / 0.02f, 2.f));
      c = Mix(c, s.light, 0.5f * groove);
      c = Scale(c, 0.72f + 0.28f * (1 - SmoothStep(0.8f, 0.86f, rc)));
      c = Mix(c, s.dark, 0.6f * (1 - SmoothStep(0.34f, 0.38f, rc)));
    }
    // A chrome strip along the flat side.
    float flat = SmoothStep(0.955f, 0.97f, u);
    c = Mix(c, Chrome(v), flat * 0.9f);
    c.a = Coverage(r - 1.0f, aa);
    return c;
  });
}

Image RacketShadow() {
  return Paint(64, 128, 2, [](float u, float v) {
    float r = RacketRadius(u, v);
    return Rgba{0.01f, 0.01f, 0.03f, 0.6f * (1 - SmoothStep(0.55f, 1.0f, r))};
  });
}

}  // namespace

void MakePuckPictures(const std::string& dir, Album* album) {
  for (int i = 0; i < 4; ++i) {
    std::string n = std::to_string(i + 1);
    SavePicture(dir, "Balls/ball" + n + ".tga", PuckTop(i), album);
    SavePicture(dir, "Balls/ball" + n + "s.tga", Rim(i, 12, 0.85f), album);
  }
  SavePicture(dir, "Balls/bshadow.tga", PuckShadow(), album);
  for (int i = 0; i < 4; ++i) {
    std::string n = std::to_string(i + 1);
    SavePicture(dir, "Rackets/racket" + n + ".tga", RacketTop(i), album);
    SavePicture(dir, "Rackets/racket" + n + "s.tga", Rim(i, 6, 0.75f), album);
  }
  SavePicture(dir, "Rackets/Rshadow.tga", RacketShadow(), album);
}

}  // namespace assetgen
