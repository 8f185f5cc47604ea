// Menu pictures: background, studio picture, title card, wall banner, pause banner and
// the buttons, all lettered in the one slanted bold face.
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <string>

#include "assets.h"
#include "lettering.h"
#include "palette.h"

namespace assetgen {
namespace {

using namespace palette;

const TextMask& Word(const std::string& text) {
  static std::map<std::string, std::unique_ptr<TextMask>> cache;
  auto& slot = cache[text];
  if (!slot) slot = std::make_unique<TextMask>(Lettering::Get().Render(text));
  return *slot;
}

// Pictures loaded with the grey colour key: the ground is transparent and (7, 7, 7),
// and no visible texel may be that exact grey by accident.
void KeyGround(Image& img) {
  auto q = [](float v) { return std::lround(Clamp01(v) * 255); };
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      Rgba& c = img.at(x, y);
      if (q(c.a) == 0) {
        c = {7 / 255.f, 7 / 255.f, 7 / 255.f, 0};
      } else if (q(c.r) == 7 && q(c.g) == 7 && q(c.b) == 7) {
        c.b = 8 / 255.f;
      }
    }
  }
}

// Signed distance to a slanted rounded plate centred on (cx, cy).
float PlateDistance(float x, float y, float cx, float cy, float halfW, float halfH, float radius) {
  float px = std::fabs(x - cx + kSlant * (y - cy)) - (halfW - kSlant * halfH) + radius;
  float py = std::fabs(y - cy) - halfH + radius;
  float ox = std::max(px, 0.f), oy = std::max(py, 0.f);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(px, py), 0.f) - radius;
}

// Paints a picture designed at dispW × dispH units into a fileW × fileH texture, which the
// game stretches back over dispW × dispH screen pixels.
Image Design(int fileW, int fileH, float dispW, float dispH, int ss,
             const std::function<Rgba(float x, float y, float aa)>& f) {
  const float aa = std::max(dispW / fileW, dispH / fileH);
  return Paint(fileW, fileH, ss, [&](float u, float v) { return f(u * dispW, v * dispH, aa); });
}

enum class Look { kNormal = 1, kFocused = 2, kPressed = 3 };

// A light plate with dark lettering on a transparent ground. The game tints it by
// multiplying (white, yellow, red), so it is drawn in light greys. `pips` > 0 adds the
// level marks: `pips` of three chevrons filled.
Image Button(const std::string& label, int fileW, int fileH, float dispW, float dispH, Look look, int pips,
             const Rgba& plateTop = Hex(0xFFFFFF), const Rgba& plateBottom = Hex(0xB9C3D6)) {
  const float m = dispH * 0.1f, halfH = dispH / 2 - m, halfW = dispW / 2 - m, radius = halfH * 0.45f;
  const float cx = dispW / 2, cy = dispH / 2;
  const float pipSpace = pips > 0 ? halfH * 3.6f : 0;
  const float press = look == Look::kPressed ? dispH * 0.03f : 0;
  const SetText text(Word(label), cx - pipSpace / 2 + press, cy + press, halfH * 0.95f,
                     2 * halfW - 2 * radius - pipSpace - 2 * kSlant * halfH, kSlant, kCondense);
  Image img = Design(fileW, fileH, dispW, dispH, 4, [&](float x, float y, float aa) {
    float d = PlateDistance(x, y, cx, cy, halfW, halfH, radius);
    float t = Clamp01((y - (cy - halfH)) / (2 * halfH));
    if (look == Look::kPressed) t = 1 - t;
    Rgba c = Mix(plateTop, plateBottom, t);
    if (t < 0.46f) c = Mix(c, Hex(0xFFFFFF), 0.35f);  // glossy upper half
    float rimLine = Coverage(std::fabs(d + 2.2f * aa) - 0.6f * aa, aa);
    c = Mix(c, Hex(0x7A869E), 0.8f * rimLine);
    c = Mix(c, kInk, text.Coverage(x, y));
    if (pips > 0) {
      for (int i = 0; i < 3; ++i) {
        float px = cx + halfW - radius - kSlant * halfH - pipSpace + halfH * (0.7f + i * 1.0f) + press;
        float lx = x - px + kSlant * (y - cy), ly = std::fabs(y - cy);
        float chevron = std::max(std::fabs(lx + ly * 0.8f) - halfH * 0.2f, ly - halfH * 0.55f);
        float cov = Coverage(chevron, aa);
        c = Mix(c, i < pips ? kInk : Hex(0x8E99B0), cov);
      }
    }
    if (look == Look::kFocused) {  // a bolder, brighter rim
      c = Mix(c, Hex(0xFFFFFF), Coverage(std::fabs(d + 1.2f * aa) - 1.0f * aa, aa));
    }
    c.a = Coverage(d, aa);
    return c;
  });
  KeyGround(img);
  return img;
}

// The menu background: a dark arena, the lamp's warm cone, a floor grid running to the
// horizon, and the players' red and blue light streaks on either side.
Image Background() {
  const float horizon = 330;
  return Paint(800, 600, 2, [&](float u, float v) {
    float x = u * 800, y = v * 600;
    Rgba c = Mix(Hex(0x0B1434), Hex(0x04070F), SmoothStep(0, 600, y));
    // Far wall: a row of small arena lights and a faint panel rhythm.
    if (y < horizon) {
      float panel = std::fabs(std::fmod(x + 25, 50.f) - 25) / 25;
      c = Scale(c, 0.9f + 0.1f * panel);
      float lx = std::fmod(x + 40, 80.f) - 40, ly = y - 70;
      c = Add(c, Hex(0x9FC4FF), 0.5f * std::exp(-(lx * lx + ly * ly) / 18.f));
      c = Add(c, Hex(0x3D5FA8), 0.12f * std::exp(-(lx * lx + ly * ly) / 400.f));
    } else {
      // Floor grid in perspective.
      float depth = (y - horizon) / (600 - horizon);  // 0 at the horizon
      float z = 1 / std::max(depth, 0.02f);
      float gx = (x - 400) * z / 800 * 6, gz = z * 1.5f;
      float lineX = std::fabs(gx - std::round(gx)), lineZ = std::fabs(gz - std::round(gz));
      float w = 0.02f * z;
      float grid = std::max(1 - SmoothStep(0, w, lineX), 1 - SmoothStep(0, w * 1.5f, lineZ));
      c = Add(c, Hex(0x1D3C86), grid * 0.55f * SmoothStep(0, 0.35f, depth));
    }
    c = Add(c, Hex(0x1F3D8A), 0.35f * std::exp(-std::pow((y - horizon) / 6, 2.f)));
    // The lamp's cone from the top centre onto a table glowing in the dark.
    float spread = 50 + (y / 600) * 230, off = std::fabs(x - 400) / spread;
    float cone = (1 - SmoothStep(0.5f, 1.0f, off)) * (1 - SmoothStep(0, 520, y) * 0.7f);
    c = Add(c, Hex(0x8A5A1E), 0.16f * cone);
    const float farY = 408, nearY = 505;
    if (y > farY - 6 && y < nearY + 8) {
      float t = (y - farY) / (nearY - farY), half = 150 + 62 * t;
      float tx = (x - 400) / half, inside = std::max(std::fabs(tx) - 1, std::max(-t, t - 1));
      if (inside < 0) {
        float X = -tx * 4.5f, Z = -3 + 6 * t, r = std::sqrt(X * X + Z * Z);
        Rgba ice = Mix(Hex(0x1A2A55), Hex(0x5C78B8), 0.6f * std::exp(-r * r / 10));
        Rgba team = X < 0 ? kRed : kBlue;
        float paint = std::min(
            {std::fabs(X) - 0.05f, std::fabs(r - 1) - 0.05f, std::fabs(std::fabs(X) - 2.25f) - 0.06f});
        ice = Mix(ice, Mix(team, Hex(0xFFFFFF), 0.2f), Coverage(paint * 40, 1));
        c = ice;
      }
      float rim = std::fabs(inside) * 40;
      c = Mix(c, Hex(0xC9D6EE), 0.85f * Coverage(rim - 1.5f, 1.5f));
      if (inside > 0) c = Add(c, Hex(0x3A66C8), 0.5f * std::exp(-inside * 20));
    }
    float hood = std::exp(-(std::pow((x - 400) / 70, 2.f) + std::pow(y / 14, 2.f)));
    c = Add(c, kAmber, 0.8f * hood);
    // Team light streaks: blue on the left, red on the right.
    auto streak = [&](float x0, float slope, float width) {
      float d = std::fabs(x - (x0 + slope * (600 - y)));
      return std::exp(-d * d / (width * width)) * SmoothStep(0, 600, y);
    };
    float left = streak(-60, 0.55f, 5) + 0.6f * streak(-20, 0.55f, 2.5f) + 0.4f * streak(-110, 0.55f, 10);
    float right = streak(860, -0.55f, 5) + 0.6f * streak(820, -0.55f, 2.5f) + 0.4f * streak(910, -0.55f, 10);
    c = Add(c, kBlue, 0.9f * left);
    c = Add(c, kRed, 0.9f * right);
    // Vignette.
    float vx = (u - 0.5f) * 2, vy = (v - 0.5f) * 2;
    c = Scale(c, 1 - 0.45f * SmoothStep(0.6f, 1.5f, std::sqrt(vx * vx + vy * vy)));
    c.a = 1;
    return Rgba{Clamp01(c.r), Clamp01(c.g), Clamp01(c.b), 1};
  });
}

// The studio picture, drawn over black; the studio's name is written in red below it,
// near the bottom left, so that spot stays empty.
Image StudioPicture() {
  const float cx = 253, cy = 235, R = 185;
  Image img = Design(320, 320, 507, 549, 3, [&](float x, float y, float aa) {
    float dx = x - cx, dy = y - cy, r = std::sqrt(dx * dx + dy * dy);
    Rgba c = Mix(Hex(0x17265A), Hex(0x050913), SmoothStep(0, R, r));
    // Stars.
    float sx = std::floor(x / 23), sy = std::floor(y / 23);
    float h = Hash01(static_cast<uint32_t>(sx), static_cast<uint32_t>(sy), 77);
    if (h > 0.8f) {
      float ox = (Hash01(sx, sy, 78) * 0.6f + 0.2f) * 23, oy = (Hash01(sx, sy, 79) * 0.6f + 0.2f) * 23;
      float d = std::hypot(x - sx * 23 - ox, y - sy * 23 - oy);
      c = Add(c, Hex(0xDDE8FF), std::exp(-d * d / 2.5f) * (h - 0.8f) * 5);
    }
    // Crescent moon with its glow.
    float mx = cx - 25, my = cy - 45, mr = 82;
    float moon = Coverage(
        std::max(std::hypot(x - mx, y - my) - mr, -(std::hypot(x - mx - 34, y - my + 22) - mr * 0.86f)), aa);
    float halo = std::exp(-std::pow(std::max(std::hypot(x - mx, y - my) - mr, 0.f) / 40, 2.f));
    c = Add(c, kAmber, 0.25f * halo);
    c = Mix(c, Mix(kAmber, Hex(0xFFF1C8), 0.4f), moon);
    // Water with the moon's reflection.
    if (y > cy + 70) {
      float wave = std::sin(y * 0.55f) * 0.5f + 0.5f;
      float lines = (1 - SmoothStep(0.15f, 0.35f, wave)) * SmoothStep(cy + 70, cy + 100, y);
      c = Mix(c, Hex(0x0A1430), 0.6f * SmoothStep(cy + 70, cy + 80, y));
      c = Add(c, Hex(0x2C4C9A), 0.5f * lines);
      float refl = std::exp(-std::pow((x - mx - 8) / (30 + (y - cy - 70) * 0.5f), 2.f));
      c = Add(c, kAmber, 0.7f * lines * refl);
    }
    // Chrome ring.
    float ring = std::fabs(r - R) - 5;
    float ringT = Clamp01((dy / R + 1) / 2);
    c = Mix(c, Chrome(ringT), Coverage(ring, aa));
    c.a = Coverage(r - R - 5, aa);
    // A thin amber rule along the bottom, under the name.
    float rule = Coverage(std::fabs(y - 534) - 1.2f, aa) * Coverage(std::fabs(x - 253) - 233, aa);
    if (rule > 0) c = Over(c, WithAlpha(kAmber, rule));
    return c;
  });
  KeyGround(img);
  return img;
}

// Bold slanted lettering with a chrome fill, a dark outline and a glow in the players'
// colours: blue on the left half, red on the right.
Rgba Chrome3d(const SetText& t, float x, float y, float aa, float outline, float glow, float midX) {
  float d = t.Distance(x, y);
  float cov = t.Coverage(x, y);
  Rgba team = x < midX ? kBlue : kRed;
  float g = std::exp(-std::pow(d / glow, 2.f));
  Rgba c = WithAlpha(team, 0.85f * g);
  float out = Coverage(d - outline, aa);
  c = Over(c, WithAlpha(Hex(0x050A1C), out));
  float ty = Clamp01((y - t.Top()) / (t.Bottom() - t.Top()));
  c = Over(c, WithAlpha(Chrome(ty), cov));
  return c;
}

Image TitleCard() {
  const float W = 560, H = 375;
  const SetText title(Word("VANTOR"), W / 2, 150, 112, W - 90, kSlant, 1.0f);
  const SetText tag(Word("AIR HOCKEY ARENA"), W / 2, 292, 26, W - 140, kSlant, 1.12f);
  Image img = Design(333, 287, W, H, 3, [&](float x, float y, float aa) {
    float d = PlateDistance(x, y, W / 2, H / 2, W / 2 - 14, H / 2 - 14, 26);
    Rgba c = Mix(Hex(0x142253), Hex(0x060A18), Clamp01(y / H));
    c = Add(c, Hex(0x2B4C9C), 0.35f * std::exp(-std::pow((y - 150) / 70, 2.f)));
    c.a = 0.94f;
    float border = Coverage(std::fabs(d + 4) - 2.5f, aa);
    c = Over(c, WithAlpha(Chrome(Clamp01(y / H)), border));
    c.a *= Coverage(d, aa);
    // The speed stripe with the puck in the middle.
    float sy = 228;
    float lane = Coverage(std::fabs(y - sy) - 3, aa) * Coverage(std::fabs(x - W / 2) - (W / 2 - 60), aa);
    float fade = SmoothStep(40, 200, std::fabs(x - W / 2)) *
                 (1 - SmoothStep(W / 2 - 90, W / 2 - 60, std::fabs(x - W / 2)));
    c = Over(c, WithAlpha(x < W / 2 ? kBlue : kRed, lane * (0.35f + 0.65f * fade)));
    float puck = std::hypot((x - W / 2) / 1.0f, (y - sy) / 0.55f);
    c = Over(c, WithAlpha(Hex(0xFFFFFF), Coverage(puck - 16, aa)));
    c = Over(c, WithAlpha(kNavy, Coverage(std::fabs(puck - 11) - 2, aa)));
    c = Over(c, Chrome3d(title, x, y, aa, 5, 22, W / 2));
    float tc = tag.Coverage(x, y);
    c = Over(c, WithAlpha(kAmber, tc));
    return c;
  });
  KeyGround(img);
  return img;
}

// The banner on the far wall, alpha-blended: dark cloth with the players' stripes.
Image WallBanner() {
  const float W = 800, H = 280;
  const SetText title(Word("VANTOR"), W / 2, 142, 120, 520, kSlant, 1.0f);
  return Design(512, 256, W, H, 3, [&](float x, float y, float aa) {
    // Cloth cut with a shallow point at the bottom.
    float bottom = H - 14 - 24 * (1 - std::fabs(x - W / 2) / (W / 2));
    float inside = std::min({x - 6, W - 6 - x, y - 14, bottom - y});
    float weave = 0.92f + 0.08f * std::sin(x * 2.1f) * std::sin(y * 2.1f);
    Rgba c = Scale(Mix(Hex(0x15245A), Hex(0x070C1E), Clamp01(y / H)), weave);
    // Slanted team bands at both ends.
    float band = x + kSlant * (y - H / 2) * 3;
    if (band < 150)
      c = Mix(c, kBlue,
              0.85f * (1 - SmoothStep(120, 150, band)) * (std::fmod(band + 400, 40.f) < 26 ? 1 : 0.4f));
    if (band > W - 150)
      c = Mix(c, kRed,
              0.85f * SmoothStep(W - 150, W - 120, band) * (std::fmod(band + 400, 40.f) < 26 ? 1 : 0.4f));
    c.a = 0.9f;
    c = Over(c, Chrome3d(title, x, y, aa, 6, 26, W / 2));
    // Chrome rod along the top.
    if (y < 16) {
      c = Chrome(y / 16);
      c.a = Coverage(-std::min(x, W - x), aa);
    } else {
      c.a *= Coverage(-inside, aa);
    }
    return c;
  });
}

// The application icon: the title's slanted V on a dark rounded tile.
Image AppIcon() {
  const SetText v(Word("V"), 128, 132, 150, 200, kSlant, 1.0f);
  return Paint(256, 256, 3, [&](float u, float w) {
    float x = u * 256, y = w * 256, aa = 1;
    float d = PlateDistance(x, y, 128, 128, 120, 120, 40);
    Rgba c = Mix(Hex(0x16265C), Hex(0x060A18), Clamp01(y / 256));
    c = Over(c, WithAlpha(Chrome(Clamp01(y / 256)), Coverage(std::fabs(d + 5) - 3, aa)));
    c = Over(c, Chrome3d(v, x, y, aa, 6, 18, 128));
    c.a = Coverage(d, aa);
    return c;
  });
}

}  // namespace

void SavePng(const std::string& path, const Image& img);

void MakeScreenPictures(const std::string& dir, Album* album) {
  SavePng(dir + "/vantor.png", AppIcon());
  SavePicture(dir, "Textures/back.tga", Background(), album);
  SavePicture(dir, "Textures/logo.tga", StudioPicture(), album, 507.f / 549);
  SavePicture(dir, "Textures/tlogo1.tga", TitleCard(), album, 560.f / 375);
  SavePicture(dir, "Textures/vantor.tga", WallBanner(), album, 8 / 2.8f);
  {
    Image paused = Button("PAUSED", 164, 39, 256, 32, Look::kNormal, 0, Hex(0xFFD27A), Hex(0xE08A1E));
    SavePicture(dir, "Textures/paused.tga", paused, album, 8);
  }
  struct ButtonArt {
    const char* file;
    const char* label;
    int fileW, fileH;
    float dispW, dispH;
  };
  // File sizes are the sizes the screens load them at; designs are laid out at the size
  // they are drawn at on an 800 × 600 screen.
  const ButtonArt buttons[] = {
      {"single", "ONE PLAYER", 262, 44, 262, 44},
      {"multi", "TWO PLAYERS", 243, 43, 243, 43},
      {"back", "BACK", 164, 39, 262, 44},
      {"exit", "EXIT", 164, 39, 243, 43},
      {"play_again", "PLAY AGAIN", 164, 39, 256, 32},
      {"play", "PLAY", 164, 39, 256, 32},
      {"1player", "PLAYER 1", 164, 39, 256, 32},
      {"2player", "PLAYER 2", 164, 39, 256, 32},
  };
  for (const ButtonArt& b : buttons) {
    for (int look = 1; look <= 3; ++look) {
      SavePicture(dir, std::string("Textures/") + b.file + std::to_string(look) + ".tga",
                  Button(b.label, b.fileW, b.fileH, b.dispW, b.dispH, static_cast<Look>(look), 0), album,
                  b.dispW / b.dispH);
    }
  }
  const char* levels[] = {"BEGINNER", "INTERMEDIATE", "PROFESSIONAL"};
  for (int i = 0; i < 3; ++i) {
    SavePicture(dir, "Textures/lvl" + std::to_string(i + 1) + ".tga",
                Button(levels[i], 320, 40, 256, 32, Look::kNormal, i + 1), album, 8);
  }
}

}  // namespace assetgen
