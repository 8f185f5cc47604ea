// Mipmap levels made on the CPU. OpenGL's own mipmap generation makes the software renderer
// compile a blit program on the first texture, which cost the start-up most of 80 ms.
#pragma once

#include <cstdint>
#include <vector>

namespace plat::sdl {

// The next smaller level of a width × height image of 0xAARRGGBB texels: max(1, side / 2)
// on each side, every texel the rounded mean of the 2 × 2 texels it covers (of the last
// row or column where the image is only one texel wide or high).
void HalveImage(const uint32_t* texels, int width, int height, std::vector<uint32_t>& out);

}  // namespace plat::sdl
