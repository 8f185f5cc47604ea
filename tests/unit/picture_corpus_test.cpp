// TGA pictures as other programs write them, every variant the format defines, decoded by the
// game and by the format's reference readers from the same bytes: ImageMagick (convert; it
// keeps the file's corner of origin as the picture's orientation, which -auto-orient applies),
// and gdk-pixbuf for grey with alpha, which ImageMagick reads as 16-bit colour.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/d3dx8.h"
#include "unit/test_files.h"

namespace {

struct Variant {
  const char* what;
  int type;      // 1 colour-mapped, 2 true colour, 3 grey (+8: run-length encoded)
  int bits;      // texel bits
  int mapBits;   // colour map entry bits (colour-mapped only)
  int alphaBits; // the descriptor's count
};

constexpr Variant kVariants[] = {
    {"15-bit", 2, 15, 0, 0},           {"16-bit", 2, 16, 0, 0},
    {"16-bit, alpha bit", 2, 16, 0, 1}, {"24-bit", 2, 24, 0, 0},
    {"32-bit", 2, 32, 0, 8},           {"32-bit, no alpha bits", 2, 32, 0, 0},
    {"map of 15-bit", 1, 8, 15, 0},    {"map of 16-bit", 1, 8, 16, 0},
    {"map of 24-bit", 1, 8, 24, 0},    {"map of 32-bit", 1, 8, 32, 8},
    {"grey", 3, 8, 0, 0},
    {"grey and alpha", 3, 16, 0, 8},
};

constexpr int kW = 7, kH = 5;  // odd sizes: a run crosses a row end

void Put(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A TGA of `v`: texel i (file order) is value i × 37 + 11 in the variant's encoding (every bit
// pattern a different colour, alpha half on, half off), runs of three alike where run-length
// encoded; the colour map starts at index 3 and has an ID field and a footer-less tail.
std::vector<uint8_t> Write(const Variant& v, bool rle, bool right, bool top) {
  const int texelBytes = (v.bits + 7) / 8;
  const int mapEntries = 40, first = 3, entryBytes = (v.mapBits + 7) / 8;
  std::vector<uint8_t> f = {5, static_cast<uint8_t>(v.type == 1), static_cast<uint8_t>(v.type + (rle ? 8 : 0))};
  Put(f, v.type == 1 ? first : 0, 2);
  Put(f, v.type == 1 ? mapEntries : 0, 2);
  f.push_back(static_cast<uint8_t>(v.type == 1 ? v.mapBits : 0));
  Put(f, 0, 4);
  Put(f, kW, 2);
  Put(f, kH, 2);
  f.push_back(static_cast<uint8_t>(v.bits));
  f.push_back(static_cast<uint8_t>(v.alphaBits | (right ? 0x10 : 0) | (top ? 0x20 : 0)));
  f.insert(f.end(), {'i', 'd', '-', 'i', 'd'});
  for (int e = 0; e < (v.type == 1 ? mapEntries : 0); ++e) Put(f, static_cast<uint32_t>(e) * 0x9E3779B1u, entryBytes);
  auto value = [&](int i) -> uint32_t {
    if (v.type == 1) return static_cast<uint32_t>(first + (i * 7) % mapEntries);
    return static_cast<uint32_t>(i) * 0x01F3A7C5u + 11u;
  };
  const int n = kW * kH;
  for (int i = 0; i < n;) {
    if (!rle) {
      Put(f, value(i++), texelBytes);
    } else if (i % 4 == 0 && i + 3 <= n) {  // a run of three
      f.push_back(0x80 | 2);
      Put(f, value(i), texelBytes);
      i += 3;
    } else {  // a raw packet of one
      f.push_back(0);
      Put(f, value(i++), texelBytes);
    }
  }
  return f;
}

// Standard output of `command`, or nothing when it fails.
std::optional<std::string> Run(const std::string& command) {
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return std::nullopt;
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  return pclose(p) == 0 ? std::optional(out) : std::nullopt;
}

// ImageMagick's decode as ARGB texels, top row first.
std::vector<uint32_t> Magick(const std::string& path) {
  const std::optional<std::string> raw = Run("convert '" + path + "' -auto-orient -depth 8 rgba:- 2>/dev/null");
  EXPECT_TRUE(raw) << "convert failed on " << path;
  std::vector<uint32_t> out;
  for (size_t i = 0; raw && i + 4 <= raw->size(); i += 4) {
    const auto* p = reinterpret_cast<const uint8_t*>(raw->data() + i);
    out.push_back(static_cast<uint32_t>(p[3]) << 24 | p[0] << 16 | p[1] << 8 | p[2]);
  }
  return out;
}

// gdk-pixbuf's decode: gdk-pixbuf-csource writes the picture as a C string of its pixdata
// (big-endian header: magic, length, type, row stride, width, height; then the texels).
std::vector<uint32_t> Pixbuf(const std::string& path) {
  const std::optional<std::string> source = Run("gdk-pixbuf-csource --raw '" + path + "' 2>/dev/null");
  EXPECT_TRUE(source) << "gdk-pixbuf-csource failed on " << path;
  std::vector<uint8_t> bytes;
  bool inString = false;
  for (size_t i = source ? source->find('{') : 0; source && i < source->size(); ++i) {
    const char c = (*source)[i];
    if (!inString) {
      if (c == '/' && i + 1 < source->size() && (*source)[i + 1] == '*') i = source->find("*/", i) + 1;
      inString = c == '"';
      continue;
    }
    if (c == '"') {
      inString = false;
    } else if (c != '\\') {
      bytes.push_back(static_cast<uint8_t>(c));
    } else if ((*source)[i + 1] >= '0' && (*source)[i + 1] <= '7') {
      int v = 0;
      for (int k = 0; k < 3 && (*source)[i + 1] >= '0' && (*source)[i + 1] <= '7'; ++k) v = v * 8 + ((*source)[++i] - '0');
      bytes.push_back(static_cast<uint8_t>(v));
    } else {
      bytes.push_back(static_cast<uint8_t>((*source)[++i]));
    }
  }
  auto be = [&](size_t at) { return bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3]; };
  std::vector<uint32_t> out;
  if (bytes.size() < 24) return out;
  const int channels = (be(8) & 0xFF) == 2 ? 4 : 3, stride = be(12), w = be(16), h = be(20);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = bytes.data() + 24 + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * channels;
      out.push_back((channels == 4 ? static_cast<uint32_t>(p[3]) : 255u) << 24 | p[0] << 16 | p[1] << 8 | p[2]);
    }
  return out;
}

TEST(PictureCorpus, EveryTgaVariantDecodesAsTheReferenceReadersShowIt) {
  TempFolder dir;
  for (const Variant& v : kVariants) {
    for (const bool rle : {false, true}) {
      for (const int origin : {0, 1, 2, 3}) {
        const bool right = (origin & 1) != 0, top = (origin & 2) != 0;
        const std::string name = std::string(v.what) + (rle ? ", RLE" : "") + (top ? ", top" : ", bottom") +
                                 (right ? " right" : " left");
        const std::string path = dir.Path("picture.tga");
        const std::vector<uint8_t> bytes = Write(v, rle, right, top);
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes.data()),
                                                                     static_cast<std::streamsize>(bytes.size()));
        const plat::DecodedImage ours = plat::DecodeImage(bytes.data(), bytes.size(), "picture.tga");
        ASSERT_EQ(ours.width, kW) << name;
        ASSERT_EQ(ours.height, kH) << name;
        EXPECT_EQ(ours.argb, v.type == 3 && v.bits == 16 ? Pixbuf(path) : Magick(path)) << name;
      }
    }
  }
}

// Variants that cannot be decoded exactly, and damaged files, are refused naming the file and
// saying why; never a picture made up.
TEST(PictureCorpus, WhatCannotBeDecodedExactlyIsRefusedWithTheReason) {
  const Variant map24 = kVariants[8];
  std::vector<uint8_t> interleaved = Write(kVariants[3], false, false, false);
  interleaved[17] |= 0x40;
  std::vector<uint8_t> eightBit = Write(kVariants[10], false, false, false);
  eightBit[2] = 2;
  std::vector<uint8_t> outside = Write(map24, false, false, false);
  std::vector<uint8_t> wideIndices = Write(map24, false, false, false);
  wideIndices[16] = 16;
  outside[outside.size() - 1] = 2;  // below the map's first index, 3
  std::vector<uint8_t> cut = Write(kVariants[4], true, false, false);
  cut.resize(cut.size() - 3);
  std::vector<uint8_t> premultiplied = Write(kVariants[4], false, false, true);
  const size_t extension = premultiplied.size();
  premultiplied.resize(extension + 495, 0);
  premultiplied[extension] = 495 & 0xFF;  // the area's size, 495
  premultiplied[extension + 1] = 495 >> 8;
  premultiplied[extension + 494] = 4;
  Put(premultiplied, static_cast<uint32_t>(extension), 4);
  Put(premultiplied, 0, 4);
  premultiplied.insert(premultiplied.end(), {'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O', 'N', '-', 'X', 'F', 'I', 'L', 'E', '.', 0});
  const struct {
    const std::vector<uint8_t>& bytes;
    const char* reason;
  } cases[] = {
      {interleaved, "interleaved rows"},
      {eightBit, "8-bit true colour"},
      {wideIndices, "16-bit colour indices"},
      {outside, "a texel names colour 2, which the colour map does not have"},
      {cut, "the texels stop short of 35"},
      {premultiplied, "premultiplied alpha"},
  };
  for (const auto& c : cases) {
    try {
      plat::DecodeImage(c.bytes.data(), c.bytes.size(), "Balls/ball9.tga");
      ADD_FAILURE() << "decoded: " << c.reason;
    } catch (const plat::LoadError& e) {
      EXPECT_EQ(e.path(), "Balls/ball9.tga");
      EXPECT_EQ(std::string(e.what()), std::string("Balls/ball9.tga: cannot decode TGA picture: ") + c.reason);
    }
  }
}

}  // namespace
