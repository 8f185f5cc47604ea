// D3DX texture and font creation: TGA files decoded by the game's TGA reader, other formats
// by SDL2_image, then handed to the device.
#include <SDL.h>
#include <SDL_image.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <future>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

#include "platform/background.h"
#include "platform/common/file_stamp.h"
#include "platform/common/late_library.h"
#include "platform/common/tga_reader.h"
#include "platform/d3dx8.h"

namespace plat {

namespace {

struct CachedImage {
  FileStamp stamp;
  std::weak_ptr<const DecodedImage> image;   // dropped once uploaded, unless still used
  std::shared_ptr<const DecodedImage> kept;  // with KeepDecodedPictures
};

bool& KeepDecoded() {
  static bool keep = false;
  return keep;
}

// Decoded files by path, checked against the file's size and modification time, so that
// textures made from one file at the same time decode it once.
std::map<std::string, CachedImage>& ImageCache() {
  static std::map<std::string, CachedImage> cache;
  return cache;
}

// Decodes what `rw` holds (and closes it); `name` names the file in errors and its extension
// picks the reader.
std::shared_ptr<DecodedImage> Decode(SDL_RWops* rw, const std::string& name) {
  std::string ext = name.size() >= 4 ? name.substr(name.size() - 4) : std::string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  if (ext == ".tga") {
    // The largest picture the game could use (8192 × 8192 texels of 32 bits) and its header.
    constexpr Sint64 kLargestTga = (Sint64{8192} * 8192 * 4) + (1 << 20);
    const Sint64 size = SDL_RWsize(rw);
    if (size > kLargestTga) {
      SDL_RWclose(rw);
      throw LoadError(name,
                      "cannot decode TGA picture: " + std::to_string(size) + " bytes is too large a file");
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(std::max<Sint64>(size, 0)));
    const bool read = size >= 0 && (bytes.empty() || SDL_RWread(rw, bytes.data(), bytes.size(), 1) == 1);
    SDL_RWclose(rw);
    if (!read) throw LoadError(name, "cannot read file");
    return std::make_shared<DecodedImage>(ReadTga(bytes.data(), bytes.size(), name));
  }
  // Other formats (a mesh's own textures may be PNG, say) through SDL2_image.
  static auto* const load = ImageLibrary().Get<decltype(::IMG_Load_RW)>("IMG_Load_RW");
  SDL_Surface* loaded = load(rw, 1);
  if (loaded == nullptr) throw LoadError(name, std::string("cannot decode image: ") + SDL_GetError());
  SDL_Surface* argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(loaded);
  if (argb == nullptr) throw LoadError(name, std::string("cannot convert image: ") + SDL_GetError());
  auto image = std::make_shared<DecodedImage>();
  image->width = argb->w;
  image->height = argb->h;
  image->argb.resize(static_cast<size_t>(argb->w) * argb->h);
  SDL_LockSurface(argb);
  for (int y = 0; y < argb->h; ++y) {
    const auto* row =
        reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(argb->pixels) + y * argb->pitch);
    std::copy(row, row + argb->w, image->argb.begin() + static_cast<ptrdiff_t>(y) * argb->w);
  }
  SDL_UnlockSurface(argb);
  SDL_FreeSurface(argb);
  if (image->width <= 0 || image->height <= 0) throw LoadError(name, "image has no pixels");
  return image;
}

// The picture file's stamp; throws LoadError when it is not a file with something in it.
FileStamp PictureStamp(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) throw LoadError(path, "file not found");
  if (!S_ISREG(st.st_mode)) throw LoadError(path, "not a file");
  if (st.st_size == 0) throw LoadError(path, "file is empty");
  return StampOf(st);
}

std::shared_ptr<const DecodedImage> ReadAndDecode(const std::string& path) {
  SDL_RWops* rw = SDL_RWFromFile(path.c_str(), "rb");
  if (rw == nullptr) throw LoadError(path, SDL_GetError());
  return Decode(rw, path);
}

// A picture being read on the background thread; `read` is the job's until `done`.
struct Prefetch {
  struct Read {
    FileStamp stamp;
    std::shared_ptr<const DecodedImage> image;
  };
  std::shared_future<void> done;
  std::shared_ptr<Read> read = std::make_shared<Read>();
};

std::mutex& PrefetchLock() {
  static std::mutex lock;
  return lock;
}
std::map<std::string, std::shared_ptr<Prefetch>>& Prefetches() {
  static std::map<std::string, std::shared_ptr<Prefetch>> prefetches;
  return prefetches;
}

// What a prefetch of `path` read, if one was started and the file is still as it read it.
std::shared_ptr<const DecodedImage> Prefetched(std::shared_ptr<Prefetch> prefetch, const FileStamp& now) {
  if (!prefetch) return nullptr;
  try {
    prefetch->done.get();
  } catch (const std::exception&) {
    return nullptr;  // read again by the caller, which names the fault
  }
  return prefetch->read->stamp == now ? prefetch->read->image : nullptr;
}

std::shared_ptr<const DecodedImage> DecodeFile(const std::string& path) {
  std::shared_ptr<Prefetch> prefetch;
  {
    std::lock_guard lock(PrefetchLock());
    if (auto it = Prefetches().find(path); it != Prefetches().end()) {
      prefetch = std::move(it->second);
      Prefetches().erase(it);
    }
  }
  const FileStamp stamp = PictureStamp(path);
  auto& cache = ImageCache();
  auto it = cache.find(path);
  if (it != cache.end() && it->second.stamp == stamp) {
    if (auto image = it->second.image.lock()) return image;
  }

  std::shared_ptr<const DecodedImage> image = Prefetched(std::move(prefetch), stamp);
  if (!image) image = ReadAndDecode(path);
  cache[path] = CachedImage{stamp, image, KeepDecoded() ? image : nullptr};
  return image;
}

uint32_t Lerp(uint32_t a, uint32_t b, float t) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const float ca = static_cast<float>((a >> shift) & 0xFF);
    const float cb = static_cast<float>((b >> shift) & 0xFF);
    // std::lround of a value that is never negative, without the library call: the sum is
    // exact in double, and truncation is the floor.
    const auto c = static_cast<uint32_t>(static_cast<double>(ca + (cb - ca) * t) + 0.5);
    out |= (c & 0xFF) << shift;
  }
  return out;
}

}  // namespace

void KeepDecodedPictures(bool keep) { KeepDecoded() = keep; }

void PrefetchPicture(const std::string& path) {
  const std::string file = NormalizePath(path);
  auto prefetch = std::make_shared<Prefetch>();
  prefetch->done = RunInBackground([file, read = prefetch->read] {
    read->stamp = PictureStamp(file);
    read->image = ReadAndDecode(file);
  });
  std::lock_guard lock(PrefetchLock());
  Prefetches()[file] = std::move(prefetch);
}

DecodedImage LoadImageFile(const std::string& path) { return *DecodeFile(path); }

DecodedImage DecodeImage(const void* data, size_t size, const std::string& name) {
  if (size == 0) throw LoadError(name, "file is empty");
  SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(std::min<size_t>(size, INT32_MAX)));
  if (rw == nullptr) throw LoadError(name, SDL_GetError());
  return std::move(*Decode(rw, name));
}

DecodedImage ResizeImage(const DecodedImage& src, int width, int height) {
  if (width == src.width && height == src.height) return src;
  DecodedImage out;
  out.width = width;
  out.height = height;
  out.argb.resize(static_cast<size_t>(width) * height);
  const float sx = static_cast<float>(src.width) / static_cast<float>(width);
  const float sy = static_cast<float>(src.height) / static_cast<float>(height);
  // Where each column samples, worked out once rather than on every row.
  struct Column {
    int x0, x1;
    float tx;
  };
  std::vector<Column> columns(static_cast<size_t>(width));
  for (int x = 0; x < width; ++x) {
    const float fx =
        std::clamp((static_cast<float>(x) + 0.5f) * sx - 0.5f, 0.0f, static_cast<float>(src.width - 1));
    const int x0 = static_cast<int>(fx);
    columns[static_cast<size_t>(x)] = {x0, std::min(x0 + 1, src.width - 1), fx - static_cast<float>(x0)};
  }
  for (int y = 0; y < height; ++y) {
    const float fy =
        std::clamp((static_cast<float>(y) + 0.5f) * sy - 0.5f, 0.0f, static_cast<float>(src.height - 1));
    const int y0 = static_cast<int>(fy);
    const int y1 = std::min(y0 + 1, src.height - 1);
    const float ty = fy - static_cast<float>(y0);
    const uint32_t* row0 = src.argb.data() + static_cast<size_t>(y0) * src.width;
    const uint32_t* row1 = src.argb.data() + static_cast<size_t>(y1) * src.width;
    for (int x = 0; x < width; ++x) {
      const Column& c = columns[static_cast<size_t>(x)];
      const uint32_t top = Lerp(row0[c.x0], row0[c.x1], c.tx);
      const uint32_t bottom = Lerp(row1[c.x0], row1[c.x1], c.tx);
      out.argb[static_cast<size_t>(y) * width + x] = Lerp(top, bottom, ty);
    }
  }
  return out;
}

void ApplyColorKey(DecodedImage& image, D3DCOLOR colorKey) {
  for (auto& texel : image.argb) {
    if (texel == colorKey) texel = 0;
  }
}

TexturePtr D3DX8::CreateTextureFromFile(Device& device, const std::string& path) {
  return CreateTextureFromFileEx(device, path, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                 D3DPOOL_MANAGED, D3DX_FILTER_LINEAR, D3DX_FILTER_LINEAR, 0);
}

TexturePtr D3DX8::MakeTextureFromFile(Device& device, const std::string& path, int32_t width, int32_t height,
                                      int32_t mipLevels, DWORD /*usage*/, D3DFORMAT /*format*/,
                                      DWORD /*pool*/, DWORD /*filter*/, DWORD /*mipFilter*/,
                                      D3DCOLOR colorKey) {
  const std::string file = NormalizePath(path);
  auto decoded = DecodeFile(file);
  const int w = width > 0 ? width : decoded->width;
  const int h = height > 0 ? height : decoded->height;
  const bool keyed = (colorKey >> 24) != 0;
  if (!keyed && w == decoded->width && h == decoded->height) {
    return device.CreateTexture(Image{w, h, decoded->argb.data()}, mipLevels != 1);
  }
  DecodedImage image = *decoded;
  if (keyed) ApplyColorKey(image, colorKey);
  if (w != image.width || h != image.height) image = ResizeImage(image, w, h);
  return device.CreateTexture(Image{image.width, image.height, image.argb.data()}, mipLevels != 1);
}

FontPtr D3DX8::CreateFont(Device& device, const FontDesc& desc) { return device.CreateFont(desc); }

HRESULT D3DX8::DrawText(Font& font, const char* text, const RECT& rect, DWORD format, D3DCOLOR color) {
  return font.DrawText(text, rect, format, color);
}

}  // namespace plat
