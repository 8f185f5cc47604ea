// The table's surface, rims, sides and pockets, and the room's floor and walls.
#include <algorithm>
#include <cmath>

#include "assets.h"
#include "lettering.h"
#include "palette.h"

namespace assetgen {
namespace {

using namespace palette;

// Markings of the playing surface in table coordinates. Returns the signed distance to
// the nearest painted line (negative on the paint) and the fill of the goal creases.
struct Marks {
  float dist;
  float crease;  // 0..1, tint of the crease under the lines
};

Marks SurfaceMarks(float x, float z) {
  auto line = [](float d, float halfWidth) { return std::fabs(d) - halfWidth; };
  float r = std::sqrt(x * x + z * z);
  float d = line(x, 0.035f);                            // centre line
  d = std::min(d, line(r - 1.0f, 0.03f));               // centre circle
  d = std::min(d, r - 0.11f);                           // centre spot
  d = std::min(d, line(std::fabs(x) - 2.25f, 0.045f));  // zone lines
  float gx = std::fabs(x) - 4.5f, rg = std::sqrt(gx * gx + z * z);
  d = std::min(d, line(rg - 1.25f, 0.03f));                   // goal creases
  if (std::fabs(z) < 2.5f) d = std::min(d, line(gx, 0.05f));  // goal lines
  return {d, rg < 1.25f ? 1.f : 0.f};
}

// The playing surface; `night` gives the dimmed look with glowing paint.
Image Surface(bool night) {
  const TextMask word = Lettering::Get().Render("VANTOR");
  const SetText mark(word, 450, 470, 30, 300, kSlant, kCondense);  // in a 900 × 600 frame, below the circle
  const float aa = 0.006f;
  return Paint(1024, 512, 2, [&](float u, float v) {
    const float x = 4.5f - 9 * u, z = -3 + 6 * v;
    const Rgba team = x < 0 ? kRed : kBlue;
    // Glossy ice: brighter under the lamp, a faint sheen band, air holes in a grid.
    float bloom = std::exp(-(x * x + z * z) / 18.f);
    Rgba c = Mix(Hex(0xC9D6EA), kIce, 0.55f + 0.45f * bloom);
    float sheen = std::exp(-std::pow((x * 0.55f + z - 0.6f) / 0.9f, 2.f));
    c = Mix(c, Hex(0xFFFFFF), 0.35f * sheen);
    float hx = std::fmod(std::fabs(x) + 0.1f, 0.2f) - 0.1f, hz = std::fmod(std::fabs(z) + 0.1f, 0.2f) - 0.1f;
    float hole = Coverage(std::sqrt(hx * hx + hz * hz) - 0.016f, aa);
    c = Mix(c, Hex(0x8A9BB8), 0.55f * hole);
    // A wash of each player's colour towards his own goal.
    float wash = SmoothStep(1.5f, 4.5f, std::fabs(x)) * 0.10f;
    c = Mix(c, team, wash);
    Marks m = SurfaceMarks(x, z);
    c = Mix(c, team, 0.16f * m.crease);
    float brand = mark.Coverage(u * 900, v * 600);
    c = Mix(c, Hex(0x7F93B8), 0.22f * brand);
    float paint = Coverage(m.dist, aa);
    Rgba paintColour = m.dist < 0 && std::sqrt(x * x + z * z) < 0.11f ? kNavy : team;
    c = Mix(c, paintColour, paint);
    // Corner notches: the surface drops away into the pockets.
    float px = std::fabs(x), pz = std::fabs(z);
    if (px > 4.0f && pz > 2.5f) {
      float depth = SmoothStep(4.0f, 4.35f, px) * SmoothStep(2.5f, 2.7f, pz);
      c = Mix(c, kNight, 0.35f + 0.6f * depth);
    }
    // Soft shade along the rims.
    float edge = std::min({3 - pz, 4.5f - px + 0.5f});
    c = Scale(c, 0.82f + 0.18f * SmoothStep(0.f, 0.18f, edge));
    if (!night) return c;
    // Night: the lamp is off, the ice is dim blue and the paint glows.
    Rgba dim = {c.r * 0.10f, c.g * 0.13f, c.b * 0.22f, 1};
    dim = Mix(dim, Hex(0x1A2A55), 0.35f * hole);
    float glow = std::exp(-std::max(m.dist, 0.f) / 0.09f) * 0.55f + paint * 0.45f;
    Rgba neon = paintColour.r == kNavy.r ? Hex(0x6A8CFF) : Mix(team, Hex(0xFFFFFF), 0.25f);
    dim = Add(dim, neon, glow);
    dim = Add(dim, Hex(0x3A55A0), 0.25f * brand);
    return Rgba{Clamp01(dim.r), Clamp01(dim.g), Clamp01(dim.b), 1};
  });
}

// Floor: big dark rubber tiles, 2 × 2 to a picture, with seams and a polished speckle.
Image Floor() {
  return Paint(256, 256, 2, [](float u, float v) {
    float n = TileFbm(u * 8, v * 8, 8, 11, 4);
    float tu = std::fmod(u * 2, 1.f), tv = std::fmod(v * 2, 1.f);
    float seam = std::min({tu, 1 - tu, tv, 1 - tv});
    int tile = static_cast<int>(u * 2) + 2 * static_cast<int>(v * 2);
    Rgba c = Mix(Hex(0x0C1326), Hex(0x17213D), 0.35f + 0.5f * n + 0.12f * Hash01(tile, 7));
    float speck = Hash01(static_cast<uint32_t>(u * 256), static_cast<uint32_t>(v * 256), 3);
    if (speck > 0.985f) c = Mix(c, Hex(0x5A6E9A), 0.5f);
    c = Scale(c, 0.55f + 0.45f * SmoothStep(0.f, 0.02f, seam));
    float bevel = SmoothStep(0.02f, 0.035f, seam) * (1 - SmoothStep(0.035f, 0.06f, seam));
    return Add(c, Hex(0x223056), 0.35f * bevel);
  });
}

// Walls: dark acoustic slats, eight to a picture.
Image Wall() {
  return Paint(256, 256, 2, [](float u, float v) {
    float s = std::fmod(u * 8, 1.f);
    int slat = static_cast<int>(u * 8);
    float round = std::sin(3.14159f * SmoothStep(0.08f, 0.92f, s));
    float grain = TileFbm(u * 8, v * 32, 8, 21 + slat, 3);
    Rgba c = Mix(Hex(0x0A1128), Hex(0x1B2850), 0.25f + 0.55f * round + 0.2f * grain);
    float gap = 1 - SmoothStep(0.0f, 0.07f, std::min(s, 1 - s));
    return Mix(c, Hex(0x03050B), gap);
  });
}

// Rim tops: polished chrome across the rim, brushed along it.
Image RimTop() {
  return Paint(256, 64, 3, [](float u, float v) {
    float brush = TileFbm(u * 64, v * 3, 64, 31, 3);
    Rgba c = Chrome(v);
    c = Scale(c, 0.9f + 0.2f * brush);
    float bevel = 1 - SmoothStep(0.f, 0.08f, std::min(v, 1 - v));
    return Mix(c, Hex(0x1A2440), 0.7f * bevel);
  });
}

// Inner faces of the long walls: a chrome lip, then a dark bumper with a glowing strip.
Image WallInner() {
  return Paint(256, 64, 3, [](float u, float v) {
    float brush = TileFbm(u * 64, v * 3, 64, 41, 3);
    if (v < 0.14f) return Scale(Chrome(v / 0.14f), 0.9f + 0.15f * brush);
    Rgba c = Mix(Hex(0x141C33), Hex(0x26335A), std::exp(-std::pow((v - 0.34f) / 0.1f, 2.f)));
    c = Scale(c, 0.92f + 0.12f * brush);
    c = Mix(c, Hex(0x03050B), 1 - SmoothStep(0.14f, 0.2f, v));
    float strip = std::exp(-std::pow((v - 0.58f) / 0.03f, 2.f));
    c = Add(c, Hex(0x9FD4FF), 0.9f * strip);
    c = Mix(c, Hex(0x05080F), SmoothStep(0.8f, 1.0f, v) * 0.8f);
    return c;
  });
}

// Outer sides and the table's body: dark carbon weave framed by a thin chrome trim.
Image Sides() {
  return Paint(256, 256, 2, [](float u, float v) {
    const float cells = 24;
    float cx = u * cells, cy = v * cells;
    int ix = static_cast<int>(cx), iy = static_cast<int>(cy);
    float fx = cx - ix, fy = cy - iy;
    bool warp = ((ix + iy) / 2) % 2 == 0;  // twill: the weave steps by one cell a row
    float along = warp ? fx : fy, across = warp ? fy : fx;
    float lift = std::sin(3.14159f * across) * (0.55f + 0.45f * std::sin(3.14159f * along));
    Rgba c = Mix(Hex(0x070B18), warp ? Hex(0x24345E) : Hex(0x1A2646), 0.25f + 0.75f * lift);
    float edge = std::min({u, 1 - u, v, 1 - v});
    if (edge < 0.03f) {
      float t = edge / 0.03f;
      c = Scale(Chrome(1 - t), 0.95f);
    }
    float inner = SmoothStep(0.03f, 0.045f, edge);
    return Scale(c, 0.6f + 0.4f * inner);
  });
}

// Corner pockets: dark perforated steel with a bevelled frame.
Image Pocket() {
  return Paint(128, 128, 3, [](float u, float v) {
    float edge = std::min({u, 1 - u, v, 1 - v});
    Rgba c = Mix(Hex(0x10172B), Hex(0x2C3A5E), 0.5f + 0.5f * std::sin(u * 3.0f + v * 2.0f));
    float gx = std::fmod(u * 10, 1.f) - 0.5f,
          gy = std::fmod(v * 10 + (static_cast<int>(u * 10) % 2) * 0.5f, 1.f) - 0.5f;
    float hole = Coverage(std::sqrt(gx * gx + gy * gy) - 0.28f, 0.06f);
    c = Mix(c, Hex(0x020308), hole * SmoothStep(0.08f, 0.1f, edge));
    if (edge < 0.08f) c = Scale(Chrome(1 - edge / 0.08f), 0.8f);
    return c;
  });
}

Image LampShade() {
  return Paint(256, 256, 2, [](float u, float v) {
    float brush = TileFbm(u * 96, v * 4, 96, 51, 3);
    Rgba c = Mix(Hex(0x1B2540), Hex(0x5C6C90), 0.3f + 0.7f * std::pow(std::sin(3.14159f * v), 3.f));
    c = Scale(c, 0.85f + 0.3f * brush);
    float band = std::exp(-std::pow((v - 0.82f) / 0.025f, 2.f));
    return Add(c, kAmber, 0.6f * band);
  });
}

}  // namespace

void MakeTablePictures(const std::string& dir, Album* album) {
  SavePicture(dir, "tables/t1b.tga", Surface(false), album, 1.5f);
  SavePicture(dir, "tables/t1bn.tga", Surface(true), album, 1.5f);
  SavePicture(dir, "tables/brtex1.tga", Floor(), album);
  SavePicture(dir, "tables/b.tga", Wall(), album);
  SavePicture(dir, "tables/Table_sides_top.tga", RimTop(), album);
  SavePicture(dir, "tables/side1.tga", Sides(), album);
  SavePicture(dir, "tables/Table_sides_side.tga", WallInner(), album);
  SavePicture(dir, "tables/Pocket.tga", Pocket(), album);
  // The goal mouths show only the top-left texel: a deep slot.
  SavePicture(dir, "tables/g.tga", Image(16, 16, Hex(0x05070F)), album);
  SavePicture(dir, "lampshade.tga", LampShade(), album);
}

}  // namespace assetgen
