#include "image.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace assetgen {

Rgba Image::Sample(float x, float y, bool wrap) const {
  x -= 0.5f;
  y -= 0.5f;
  int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  float fx = x - x0, fy = y - y0;
  auto fetch = [&](int xi, int yi) -> const Rgba& {
    if (wrap) {
      xi = ((xi % w_) + w_) % w_;
      yi = ((yi % h_) + h_) % h_;
    } else {
      xi = std::clamp(xi, 0, w_ - 1);
      yi = std::clamp(yi, 0, h_ - 1);
    }
    return at(xi, yi);
  };
  return Mix(Mix(fetch(x0, y0), fetch(x0 + 1, y0), fx), Mix(fetch(x0, y0 + 1), fetch(x0 + 1, y0 + 1), fx),
             fy);
}

Image Image::Resized(int w, int h) const {
  if (w == w_ && h == h_) return *this;
  Image out(w, h);
  const float sx = static_cast<float>(w_) / w, sy = static_cast<float>(h_) / h;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      // Box filter over the source footprint, with fractional edge weights.
      float x0 = x * sx, x1 = (x + 1) * sx, y0 = y * sy, y1 = (y + 1) * sy;
      double r = 0, g = 0, b = 0, a = 0, wsum = 0, pr = 0, pg = 0, pb = 0;
      for (int yy = static_cast<int>(y0); yy < static_cast<int>(std::ceil(y1)) && yy < h_; ++yy) {
        float wy = std::min<float>(yy + 1, y1) - std::max<float>(yy, y0);
        for (int xx = static_cast<int>(x0); xx < static_cast<int>(std::ceil(x1)) && xx < w_; ++xx) {
          float wx = std::min<float>(xx + 1, x1) - std::max<float>(xx, x0);
          const Rgba& c = at(xx, yy);
          double wgt = wx * wy;
          r += c.r * c.a * wgt;
          g += c.g * c.a * wgt;
          b += c.b * c.a * wgt;
          pr += c.r * wgt;
          pg += c.g * wgt;
          pb += c.b * wgt;
          a += c.a * wgt;
          wsum += wgt;
        }
      }
      Rgba& o = out.at(x, y);
      o.a = static_cast<float>(a / wsum);
      if (a > 0) {
        o.r = static_cast<float>(r / a), o.g = static_cast<float>(g / a), o.b = static_cast<float>(b / a);
      } else {
        o.r = static_cast<float>(pr / wsum), o.g = static_cast<float>(pg / wsum),
        o.b = static_cast<float>(pb / wsum);
      }
    }
  }
  return out;
}

Image Paint(int w, int h, int ss, const Shader& shader) {
  Image img(w, h);
  const float inv = 1.0f / ss;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      float r = 0, g = 0, b = 0, a = 0, pr = 0, pg = 0, pb = 0;
      for (int j = 0; j < ss; ++j) {
        for (int i = 0; i < ss; ++i) {
          Rgba c = shader((x + (i + 0.5f) * inv) / w, (y + (j + 0.5f) * inv) / h);
          c.a = Clamp01(c.a);
          r += c.r * c.a, g += c.g * c.a, b += c.b * c.a, a += c.a;
          pr += c.r, pg += c.g, pb += c.b;
        }
      }
      const float n = static_cast<float>(ss * ss);
      Rgba& o = img.at(x, y);
      o.a = a / n;
      if (a > 0) {
        o.r = r / a, o.g = g / a, o.b = b / a;
      } else {
        o.r = pr / n, o.g = pg / n, o.b = pb / n;
      }
    }
  }
  return img;
}

std::vector<uint8_t> ToBytes(const Image& img) {
  std::vector<uint8_t> out(static_cast<size_t>(img.width()) * img.height() * 4);
  auto q = [](float v) { return static_cast<uint8_t>(std::lround(Clamp01(v) * 255.0f)); };
  size_t k = 0;
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      const Rgba& c = img.at(x, y);
      out[k++] = q(c.r), out[k++] = q(c.g), out[k++] = q(c.b), out[k++] = q(c.a);
    }
  }
  return out;
}

void WriteTga(const std::string& path, const Image& img) {
  std::vector<uint8_t> rgba = ToBytes(img);
  std::vector<uint8_t> file(18 + rgba.size());
  file[2] = 2;  // uncompressed true colour
  file[12] = static_cast<uint8_t>(img.width() & 255);
  file[13] = static_cast<uint8_t>(img.width() >> 8);
  file[14] = static_cast<uint8_t>(img.height() & 255);
  file[15] = static_cast<uint8_t>(img.height() >> 8);
  file[16] = 32;
  file[17] = 0x28;  // 8 alpha bits, top-left origin
  for (size_t i = 0; i < rgba.size(); i += 4) {
    file[18 + i] = rgba[i + 2];  // stored as B, G, R, A
    file[18 + i + 1] = rgba[i + 1];
    file[18 + i + 2] = rgba[i];
    file[18 + i + 3] = rgba[i + 3];
  }
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

float Hash01(uint32_t a, uint32_t b, uint32_t c) {
  uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return static_cast<float>(h >> 8) / 16777216.0f;
}

float TileNoise(float x, float y, int period, uint32_t seed) {
  int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  float fx = x - x0, fy = y - y0;
  auto corner = [&](int xi, int yi) {
    xi = ((xi % period) + period) % period;
    yi = ((yi % period) + period) % period;
    return Hash01(static_cast<uint32_t>(xi), static_cast<uint32_t>(yi), seed);
  };
  float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  return Mix(Mix(corner(x0, y0), corner(x0 + 1, y0), sx), Mix(corner(x0, y0 + 1), corner(x0 + 1, y0 + 1), sx),
             sy);
}

float TileFbm(float x, float y, int period, uint32_t seed, int octaves) {
  float sum = 0, amp = 0.5f, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * TileNoise(x, y, period, seed + 101u * o);
    norm += amp;
    x *= 2, y *= 2, period *= 2, amp *= 0.5f;
  }
  return sum / norm;
}

}  // namespace assetgen
