// Texture loading as the game does it: a TGA decoded by SDL2_image, converted to ARGB, then
// handed over at its own size, or colour-keyed and scaled as screen rectangles and mesh
// textures are.
#include <SDL.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "null_device.h"
#include "outcome.h"
#include "platform/d3dx8.h"

namespace {

// The colour key of the screen rectangles.
constexpr plat::D3DCOLOR kColorKey = plat::D3DColorXRGB(7, 7, 7);

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SDL_SetMainReady();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::NullDevice device;
  plat::DecodedImage image;
  try {
    image = plat::DecodeImage(data, size, "fuzz.tga");
  } catch (const plat::LoadError& e) {
    fuzz::Outcome(e.what());
    return 0;
  }
  fuzz::Outcome("decoded", fuzz::Log2(static_cast<uint64_t>(image.width)) * 64 + fuzz::Log2(image.height));
  if (image.argb.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
    __builtin_trap();
  uint32_t alphas = 0;
  for (const uint32_t texel : image.argb) alphas |= 1u << (texel >> 29);
  fuzz::Outcome("alpha", alphas);

  // At the file's size (balls, rackets, table).
  device.CreateTexture(plat::Image{image.width, image.height, image.argb.data()}, true);
  // A mesh's texture, scaled to a square (512 × 512 in the game; smaller here, as the scaling
  // does not depend on the size and the fuzzer goes faster).
  const plat::DecodedImage mesh = plat::ResizeImage(image, 16, 16);
  device.CreateTexture(plat::Image{mesh.width, mesh.height, mesh.argb.data()}, true);
  // A screen rectangle: keyed, then scaled to a size near the file's, larger or smaller (at
  // most 24 × 24 here: scaling to 256 × 256 took most of each run).
  plat::DecodedImage keyed = image;
  plat::ApplyColorKey(keyed, kColorKey);
  const int w = std::clamp(image.width * 3 / 2, 1, 24);
  const int h = std::clamp(image.height / 2, 1, 24);
  const plat::DecodedImage rect = plat::ResizeImage(keyed, w, h);
  device.CreateTexture(plat::Image{rect.width, rect.height, rect.argb.data()}, false);
  return 0;
}
