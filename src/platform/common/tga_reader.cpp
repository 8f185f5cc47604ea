#include "platform/common/tga_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace plat {
namespace {

uint32_t Le16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

uint32_t Widen5(uint32_t v) { return v * 255 / 31; }

// A 15- or 16-bit texel or entry (A RRRRR GGGGG BBBBB, little-endian).
uint32_t From16(const uint8_t* p, bool alphaBit) {
  const uint32_t v = Le16(p);
  const uint32_t a = alphaBit ? ((v & 0x8000) != 0 ? 255 : 0) : 255;
  return Argb(a, Widen5(v >> 10 & 31), Widen5(v >> 5 & 31), Widen5(v & 31));
}

// A texel or entry of `bits` bits in the file's byte order (blue first).
uint32_t Colour(const uint8_t* p, int bits, bool alphaBit) {
  switch (bits) {
    case 15:
      return From16(p, false);
    case 16:
      return From16(p, alphaBit);
    case 24:
      return Argb(255, p[2], p[1], p[0]);
    default:
      return Argb(p[3], p[2], p[1], p[0]);
  }
}

}  // namespace

DecodedImage ReadTga(const uint8_t* data, size_t size, const std::string& name) {
  auto refuse = [&name](const std::string& why) { return LoadError(name, "cannot decode TGA picture: " + why); };
  if (size < 18) throw refuse("the header is cut short");
  const uint8_t* h = data;
  const int type = h[2];
  const bool rle = type >= 9;
  const int kind = rle ? type - 8 : type;  // 1 colour-mapped, 2 true colour, 3 grey
  if (type == 0) throw refuse("it holds no picture");
  if (kind < 1 || kind > 3) throw refuse("image type " + std::to_string(type) + " is not a TGA picture");
  const bool hasMap = h[1] != 0;
  const uint32_t mapFirst = Le16(h + 3), mapLength = Le16(h + 5);
  const int mapBits = h[7];
  const int width = static_cast<int>(Le16(h + 12)), height = static_cast<int>(Le16(h + 14));
  const int bits = h[16];
  const int descriptor = h[17];
  const bool alphaBit = (descriptor & 0x0F) != 0;
  const bool rightToLeft = (descriptor & 0x10) != 0, topDown = (descriptor & 0x20) != 0;
  if ((descriptor & 0xC0) != 0) throw refuse("interleaved rows");
  if (h[1] > 1) throw refuse("colour map type " + std::to_string(h[1]));
  if (kind == 1 && !hasMap) throw refuse("colour-mapped without a colour map");
  const bool depthOk = kind == 1   ? bits == 8
                       : kind == 2 ? bits == 15 || bits == 16 || bits == 24 || bits == 32
                                   : bits == 8 || bits == 16;
  if (!depthOk)
    throw refuse(std::to_string(bits) + "-bit " + (kind == 1 ? "colour indices" : kind == 2 ? "true colour" : "grey"));
  if (hasMap && mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32)
    throw refuse(std::to_string(mapBits) + "-bit colour map entries");
  if (width == 0 || height == 0) throw refuse("the picture has no texels");

  // TGA 2.0 footer: an extension area whose alpha type says the colours are premultiplied.
  if (size >= 18 + 26 && std::memcmp(data + size - 18, "TRUEVISION-XFILE.", 18) == 0) {
    const uint32_t extension = Le32(data + size - 26);
    if (extension >= 18 && extension + 495 <= size - 26 && data[extension + 494] == 4)
      throw refuse("premultiplied alpha");
  }

  size_t at = 18 + static_cast<size_t>(h[0]);  // after the image ID
  const size_t entryBytes = static_cast<size_t>(mapBits + 7) / 8;
  std::vector<uint32_t> map;
  if (hasMap) {
    if (at + mapLength * entryBytes > size) throw refuse("the colour map is cut short");
    if (kind == 1) {
      map.reserve(mapLength);
      for (uint32_t i = 0; i < mapLength; ++i) map.push_back(Colour(data + at + i * entryBytes, mapBits, alphaBit));
    }
    at += mapLength * entryBytes;
  }

  // No more texels than the file can hold: one per texel's bytes uncompressed, at most 128 per
  // packet of one byte and a texel run-length encoded. (A damaged size would otherwise have the
  // picture's memory asked for before the texels are found missing.)
  const size_t texelBytes = static_cast<size_t>(bits + 7) / 8;
  const uint64_t room = size - std::min(size, at);
  const uint64_t most = rle ? room / (1 + texelBytes) * 128 : room / texelBytes;
  const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (count > most)
    throw refuse(std::to_string(width) + " x " + std::to_string(height) + " texels do not fit in the file");

  auto texel = [&](const uint8_t* p) -> uint32_t {
    if (kind == 2) return Colour(p, bits, alphaBit);
    if (kind == 3) return bits == 8 ? Argb(255, p[0], p[0], p[0]) : Argb(p[1], p[0], p[0], p[0]);
    const uint32_t index = p[0];
    if (index < mapFirst || index - mapFirst >= map.size())
      throw refuse("a texel names colour " + std::to_string(index) + ", which the colour map does not have");
    return map[index - mapFirst];
  };

  // The texels in file order.
  std::vector<uint32_t> texels;
  texels.reserve(count);
  const auto cut = [&] { return refuse("the texels stop short of " + std::to_string(count)); };
  while (texels.size() < count) {
    if (!rle) {
      if (at + texelBytes > size) throw cut();
      texels.push_back(texel(data + at));
      at += texelBytes;
      continue;
    }
    if (at >= size) throw cut();
    const uint8_t packet = data[at++];
    const size_t n = std::min<size_t>((packet & 0x7F) + 1, count - texels.size());
    if ((packet & 0x80) != 0) {
      if (at + texelBytes > size) throw cut();
      texels.insert(texels.end(), n, texel(data + at));
      at += texelBytes;
    } else {
      if (at + n * texelBytes > size) throw cut();
      for (size_t i = 0; i < n; ++i, at += texelBytes) texels.push_back(texel(data + at));
    }
  }

  // Rows from the bottom unless the header says top, texels from the left unless it says right.
  DecodedImage image;
  image.width = width;
  image.height = height;
  image.argb.resize(count);
  for (int row = 0; row < height; ++row) {
    const uint32_t* from = texels.data() + static_cast<size_t>(row) * width;
    uint32_t* to = image.argb.data() + static_cast<size_t>(topDown ? row : height - 1 - row) * width;
    if (rightToLeft) {
      std::reverse_copy(from, from + width, to);
    } else {
      std::copy(from, from + width, to);
    }
  }
  return image;
}

}  // namespace plat
