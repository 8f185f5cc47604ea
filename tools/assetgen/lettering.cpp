#include "lettering.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace assetgen {
namespace {

constexpr int kRenderSize = 160;  // points; labels are sampled down from this

// Squared Euclidean distance transform of one line (Felzenszwalb and Huttenlocher).
void Edt1d(const std::vector<double>& f, std::vector<double>& d, int n) {
  std::vector<int> v(n);
  std::vector<double> z(n + 1);
  int k = 0;
  v[0] = 0;
  z[0] = -std::numeric_limits<double>::infinity();
  z[1] = std::numeric_limits<double>::infinity();
  for (int q = 1; q < n; ++q) {
    double s = ((f[q] + 1.0 * q * q) - (f[v[k]] + 1.0 * v[k] * v[k])) / (2.0 * q - 2.0 * v[k]);
    while (s <= z[k]) {
      --k;
      s = ((f[q] + 1.0 * q * q) - (f[v[k]] + 1.0 * v[k] * v[k])) / (2.0 * q - 2.0 * v[k]);
    }
    ++k;
    v[k] = q;
    z[k] = s;
    z[k + 1] = std::numeric_limits<double>::infinity();
  }
  k = 0;
  for (int q = 0; q < n; ++q) {
    while (z[k + 1] < q) ++k;
    d[q] = 1.0 * (q - v[k]) * (q - v[k]) + f[v[k]];
  }
}

std::vector<float> DistanceToInk(const std::vector<float>& cov, int w, int h) {
  const double inf = 1e10;  // farther than any distance in a mask, yet exact in doubles
  std::vector<double> g(cov.size());
  for (size_t i = 0; i < cov.size(); ++i) g[i] = cov[i] >= 0.5f ? 0.0 : inf;
  int n = std::max(w, h);
  std::vector<double> f(n), d(n);
  for (int x = 0; x < w; ++x) {
    for (int y = 0; y < h; ++y) f[y] = g[y * w + x];
    Edt1d(f, d, h);
    for (int y = 0; y < h; ++y) g[y * w + x] = d[y];
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) f[x] = g[y * w + x];
    Edt1d(f, d, w);
    for (int x = 0; x < w; ++x) g[y * w + x] = std::sqrt(d[x]);
  }
  return std::vector<float>(g.begin(), g.end());
}

}  // namespace

TextMask::TextMask(int w, int h, std::vector<float> cov) : w_(w), h_(h), cov_(std::move(cov)) {
  dist_ = DistanceToInk(cov_, w, h);
  int x0 = w, x1 = -1, y0 = h, y1 = -1;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (cov_[y * w + x] > 0.02f) {
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
    }
  }
  if (x1 < 0) throw std::runtime_error("empty lettering");
  inkLeft = static_cast<float>(x0), inkRight = static_cast<float>(x1 + 1);
  inkTop = static_cast<float>(y0), inkBottom = static_cast<float>(y1 + 1);
}

float TextMask::Bilinear(const std::vector<float>& m, float x, float y, float outside) const {
  x -= 0.5f, y -= 0.5f;
  int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  float fx = x - x0, fy = y - y0;
  auto at = [&](int xi, int yi) {
    if (xi < 0 || yi < 0 || xi >= w_ || yi >= h_) {
      if (outside == 0.f) return 0.f;
      // Beyond the mask: the distance grows with the distance to its edge.
      float dx = xi < 0 ? -xi : (xi >= w_ ? xi - w_ + 1 : 0);
      float dy = yi < 0 ? -yi : (yi >= h_ ? yi - h_ + 1 : 0);
      int cx = std::clamp(xi, 0, w_ - 1), cy = std::clamp(yi, 0, h_ - 1);
      return m[cy * w_ + cx] + std::sqrt(dx * dx + dy * dy);
    }
    return m[yi * w_ + xi];
  };
  float top = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * fx;
  float bot = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * fx;
  return top + (bot - top) * fy;
}

SetText::SetText(const TextMask& mask, float centreX, float centreY, float inkHeight, float maxWidth,
                 float slant, float condense)
    : mask_(mask), slant_(slant) {
  float inkW = mask.inkRight - mask.inkLeft, inkH = mask.inkBottom - mask.inkTop;
  scaleY_ = inkHeight / inkH;
  scaleX_ = scaleY_ * condense;
  height_ = inkHeight;
  width_ = inkW * scaleX_ + slant * inkHeight;
  if (width_ > maxWidth) {  // squeeze horizontally to fit
    float k = (maxWidth - slant * inkHeight) / (inkW * scaleX_);
    scaleX_ *= k;
    width_ = maxWidth;
  }
  left_ = centreX - width_ / 2;
  top_ = centreY - height_ / 2;
}

void SetText::ToMask(float x, float y, float* mx, float* my) const {
  float fromBottom = Bottom() - y;
  *mx = (x - left_ - slant_ * fromBottom) / scaleX_ + mask_.inkLeft;
  *my = (y - top_) / scaleY_ + mask_.inkTop;
}

float SetText::Coverage(float x, float y) const {
  float mx, my;
  ToMask(x, y, &mx, &my);
  return mask_.Coverage(mx, my);
}

float SetText::Distance(float x, float y) const {
  float mx, my;
  ToMask(x, y, &mx, &my);
  return mask_.Distance(mx, my) * std::min(scaleX_, scaleY_);
}

Lettering& Lettering::Get() {
  static Lettering instance;
  return instance;
}

Lettering::Lettering() {
  if (!FcInit()) throw std::runtime_error("fontconfig failed to start");
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("DejaVu Sans:weight=bold:slant=0"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcChar8* file = nullptr;
  int weight = 0;
  if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
    file_ = reinterpret_cast<char*>(file);
  if (match) FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  if (file_.empty() || weight < FC_WEIGHT_BOLD)
    throw std::runtime_error("no bold sans face (fonts-dejavu-core)");
  if (TTF_WasInit() == 0 && TTF_Init() != 0)
    throw std::runtime_error(std::string("TTF_Init: ") + TTF_GetError());
  font_ = TTF_OpenFont(file_.c_str(), kRenderSize);
  if (!font_) throw std::runtime_error("cannot open " + file_ + ": " + TTF_GetError());
  TTF_SetFontHinting(static_cast<TTF_Font*>(font_), TTF_HINTING_LIGHT);
}

TextMask Lettering::Render(const std::string& text) const {
  SDL_Color white{255, 255, 255, 255};
  SDL_Surface* s = TTF_RenderUTF8_Blended(static_cast<TTF_Font*>(font_), text.c_str(), white);
  if (!s) throw std::runtime_error(std::string("TTF_RenderUTF8_Blended: ") + TTF_GetError());
  SDL_Surface* argb = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(s);
  if (!argb) throw std::runtime_error("surface conversion failed");
  const int pad = 24;  // room for outlines and glows around the ink
  int w = argb->w + 2 * pad, h = argb->h + 2 * pad;
  std::vector<float> cov(static_cast<size_t>(w) * h, 0.f);
  SDL_LockSurface(argb);
  for (int y = 0; y < argb->h; ++y) {
    const auto* row =
        reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(argb->pixels) + y * argb->pitch);
    for (int x = 0; x < argb->w; ++x) cov[(y + pad) * w + x + pad] = (row[x] >> 24) / 255.0f;
  }
  SDL_UnlockSurface(argb);
  SDL_FreeSurface(argb);
  return TextMask(w, h, std::move(cov));
}

}  // namespace assetgen
