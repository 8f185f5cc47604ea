#include "platform/sdl/mipmaps.h"

#include <algorithm>

namespace plat::sdl {

void HalveImage(const uint32_t* texels, int width, int height, std::vector<uint32_t>& out) {
  const int w = std::max(1, width / 2), h = std::max(1, height / 2);
  out.resize(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    const uint32_t* row0 = texels + static_cast<size_t>(std::min(2 * y, height - 1)) * width;
    const uint32_t* row1 = texels + static_cast<size_t>(std::min(2 * y + 1, height - 1)) * width;
    for (int x = 0; x < w; ++x) {
      const int x0 = std::min(2 * x, width - 1), x1 = std::min(2 * x + 1, width - 1);
      const uint32_t a = row0[x0], b = row0[x1], c = row1[x0], d = row1[x1];
      uint32_t texel = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t sum = ((a >> shift) & 0xFF) + ((b >> shift) & 0xFF) + ((c >> shift) & 0xFF) +
                             ((d >> shift) & 0xFF);
        texel |= ((sum + 2) / 4) << shift;
      }
      out[static_cast<size_t>(y) * w + x] = texel;
    }
  }
}

}  // namespace plat::sdl
