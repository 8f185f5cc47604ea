#include "null_device.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

namespace {

class NullTexture : public plat::Texture {
 public:
  NullTexture(int w, int h) : w_(w), h_(h) {}
  int Width() const override { return w_; }
  int Height() const override { return h_; }

 private:
  int w_, h_;
};

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "NullDevice: %s\n", what);
  std::abort();
}

}  // namespace

plat::HRESULT NullDevice::DrawIndexedPrimitiveUP(plat::D3DPRIMITIVETYPE type, uint32_t vertexCount,
                                                 uint32_t primitiveCount, const uint32_t* indices,
                                                 const void* vertices, uint32_t stride) {
  if (type != plat::D3DPT_TRIANGLELIST) Fail("mesh drawn as something else than triangles");
  if (stride != sizeof(plat::Vertex3D)) Fail("vertex stride is not 32 bytes");
  const auto* bytes = static_cast<const uint8_t*>(vertices);
  for (uint64_t i = 0; i < static_cast<uint64_t>(primitiveCount) * 3; ++i) {
    if (indices[i] >= vertexCount) Fail("index past the vertices");
    plat::Vertex3D v;
    std::memcpy(&v, bytes + static_cast<size_t>(indices[i]) * stride, sizeof(v));
    uint32_t word;
    std::memcpy(&word, &v.tv, sizeof(word));
    checksum += word;
  }
  return plat::D3D_OK;
}

plat::TexturePtr NullDevice::CreateTexture(const plat::Image& image, bool) {
  if (image.width <= 0 || image.height <= 0 || image.argb == nullptr) Fail("texture without texels");
  const size_t n = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  for (size_t i = 0; i < n; ++i) checksum += image.argb[i];
  return std::make_shared<NullTexture>(image.width, image.height);
}

}  // namespace fuzz
