// The mesh fuzzer's texture loader: the file a mesh names must be there, as for the real one,
// but is neither decoded nor scaled to 512 × 512, which would take most of each run. The real
// loader has a fuzzer of its own.
#include <sys/stat.h>

#include "platform/d3dx8.h"

namespace plat {

TexturePtr D3DX8::CreateTextureFromFileEx(Device& device, const std::string& path, int32_t width,
                                          int32_t height, int32_t mipLevels, DWORD, D3DFORMAT, DWORD, DWORD,
                                          DWORD, D3DCOLOR) {
  const std::string file = NormalizePath(path);
  struct stat st {};
  if (stat(file.c_str(), &st) != 0) throw LoadError(file, "file not found");
  const int w = width > 0 ? width : 2, h = height > 0 ? height : 2;
  const std::vector<uint32_t> texels(static_cast<size_t>(w) * static_cast<size_t>(h), 0xFF808080u);
  return device.CreateTexture(Image{w, h, texels.data()}, mipLevels != 1);
}

}  // namespace plat
