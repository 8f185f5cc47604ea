// Makes the seed corpora from the generated game data: a few of the game's own small files as
// they are, and variants of them in the other encodings the readers accept (TGA: 24-bit,
// 16-bit, grey, colour-mapped, run-length, bottom-up; WAV: 8-, 24-, 32-bit, float, A-law,
// mu-law, IMA and Microsoft ADPCM, extensible, a truncated track; X: framed).
//
//   vantor_fuzz_seeds <build folder with the data> <output folder>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "net/replay.h"
#include "net/wire.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "vantor_fuzz_seeds: %s\n", what.c_str());
  std::exit(1);
}

Bytes Read(const fs::path& path, size_t limit = SIZE_MAX) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Die("cannot read " + path.string());
  Bytes out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (out.size() > limit) out.resize(limit);
  return out;
}

void Write(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) Die("cannot write " + path.string());
}

void Put16(Bytes& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PutText(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
uint32_t Get16(const Bytes& b, size_t at) { return b.at(at) | b.at(at + 1) << 8; }
uint32_t Get32(const Bytes& b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }

// ---------------------------------------------------------------------------------------------
// TGA

struct Picture {
  int w = 0, h = 0;
  std::vector<uint32_t> argb;  // rows top-down
};

// Uncompressed 32-bit TGAs as the generator writes them.
Picture ReadTga32(const fs::path& path) {
  const Bytes b = Read(path);
  if (b.size() < 18 || b[2] != 2 || b[16] != 32) Die(path.string() + " is not a 32-bit TGA");
  Picture p;
  p.w = static_cast<int>(Get16(b, 12));
  p.h = static_cast<int>(Get16(b, 14));
  const bool topDown = (b[17] & 0x20) != 0;
  const size_t start = 18 + b[0];
  if (b.size() < start + static_cast<size_t>(p.w) * p.h * 4) Die(path.string() + " is short");
  p.argb.resize(static_cast<size_t>(p.w) * p.h);
  for (int y = 0; y < p.h; ++y) {
    const int row = topDown ? y : p.h - 1 - y;
    for (int x = 0; x < p.w; ++x)
      p.argb[static_cast<size_t>(row) * p.w + x] = Get32(b, start + (y * p.w + x) * 4);
  }
  return p;
}

uint8_t Grey(uint32_t c) {
  return static_cast<uint8_t>((((c >> 16) & 0xFF) * 3 + ((c >> 8) & 0xFF) * 5 + (c & 0xFF) * 2) / 10);
}
uint8_t Index332(uint32_t c) {
  return static_cast<uint8_t>(((c >> 16) & 0xE0) | ((c >> 11) & 0x1C) | ((c >> 6) & 0x03));
}

// One texel in `bpp` bits per pixel (colour-mapped and grey: one byte).
void PutTexel(Bytes& b, uint32_t c, int bpp, int type) {
  if (type == 1 || type == 9) {
    b.push_back(Index332(c));
  } else if (type == 3 || type == 11) {
    b.push_back(Grey(c));
  } else if (bpp == 16) {
    Put16(b, ((c >> 31) << 15) | ((c >> 19) & 0x1F) << 10 | ((c >> 11) & 0x1F) << 5 | ((c >> 3) & 0x1F));
  } else {
    b.push_back(c & 0xFF);
    b.push_back((c >> 8) & 0xFF);
    b.push_back((c >> 16) & 0xFF);
    if (bpp == 32) b.push_back(c >> 24);
  }
}

// type: 1 colour-mapped, 2 true colour, 3 grey; +8 run-length encoded.
Bytes WriteTga(const Picture& p, int type, int bpp, bool topDown, const std::string& id = "") {
  const bool mapped = type == 1 || type == 9;
  Bytes b;
  b.push_back(static_cast<uint8_t>(id.size()));
  b.push_back(mapped ? 1 : 0);
  b.push_back(static_cast<uint8_t>(type));
  Put16(b, 0);                 // first map entry
  Put16(b, mapped ? 256 : 0);  // map length
  b.push_back(mapped ? 24 : 0);
  Put16(b, 0);
  Put16(b, 0);
  Put16(b, static_cast<uint32_t>(p.w));
  Put16(b, static_cast<uint32_t>(p.h));
  b.push_back(static_cast<uint8_t>(mapped || type == 3 || type == 11 ? 8 : bpp));
  b.push_back(static_cast<uint8_t>((topDown ? 0x20 : 0) | (bpp == 32 ? 8 : bpp == 16 ? 1 : 0)));
  PutText(b, id);
  if (mapped) {
    for (uint32_t i = 0; i < 256; ++i) {
      b.push_back(static_cast<uint8_t>((i & 0x03) << 6));
      b.push_back(static_cast<uint8_t>((i & 0x1C) << 3));
      b.push_back(static_cast<uint8_t>(i & 0xE0));
    }
  }
  std::vector<uint32_t> texels;
  for (int y = 0; y < p.h; ++y) {
    const int row = topDown ? y : p.h - 1 - y;
    texels.insert(texels.end(), p.argb.begin() + static_cast<ptrdiff_t>(row) * p.w,
                  p.argb.begin() + static_cast<ptrdiff_t>(row + 1) * p.w);
  }
  if (type < 8) {
    for (const uint32_t c : texels) PutTexel(b, c, bpp, type);
    return b;
  }
  // Run-length packets: a run of equal texels, or up to 128 texels as they are.
  size_t i = 0;
  while (i < texels.size()) {
    size_t run = 1;
    while (i + run < texels.size() && run < 128 && texels[i + run] == texels[i]) ++run;
    if (run >= 2) {
      b.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
      PutTexel(b, texels[i], bpp, type);
      i += run;
      continue;
    }
    size_t raw = 1;
    while (i + raw < texels.size() && raw < 128 &&
           (i + raw + 1 >= texels.size() || texels[i + raw] != texels[i + raw + 1]))
      ++raw;
    b.push_back(static_cast<uint8_t>(raw - 1));
    for (size_t k = 0; k < raw; ++k) PutTexel(b, texels[i + k], bpp, type);
    i += raw;
  }
  return b;
}

void TextureSeeds(const fs::path& data, const fs::path& out) {
  for (const char* name : {"tables/g.tga", "Balls/bshadow.tga", "Textures/play1.tga", "Rackets/Rshadow.tga"})
    fs::copy_file(data / name, out / fs::path(name).filename(), fs::copy_options::overwrite_existing);
  // Variants of a 48 × 24 piece of a button, with its lettering's edges and shading.
  const Picture button = ReadTga32(data / "Textures/play1.tga");
  Picture g;
  g.w = std::min(48, button.w);
  g.h = std::min(24, button.h);
  for (int y = 0; y < g.h; ++y) {
    const int row = (button.h - g.h) / 2 + y;
    const auto from = button.argb.begin() + static_cast<ptrdiff_t>(row) * button.w + (button.w - g.w) / 2;
    g.argb.insert(g.argb.end(), from, from + g.w);
  }
  Write(out / "button-24.tga", WriteTga(g, 2, 24, true));
  Write(out / "button-bottom-up.tga", WriteTga(g, 2, 32, false, "vantor"));
  Write(out / "button-16.tga", WriteTga(g, 2, 16, true));
  Write(out / "button-rle-32.tga", WriteTga(g, 10, 32, true));
  Write(out / "button-rle-24.tga", WriteTga(g, 10, 24, false));
  Write(out / "button-rle-16.tga", WriteTga(g, 10, 16, true));
  Write(out / "button-grey.tga", WriteTga(g, 3, 8, true));
  Write(out / "button-rle-grey.tga", WriteTga(g, 11, 8, false));
  Write(out / "button-mapped.tga", WriteTga(g, 1, 8, true));
  Write(out / "button-rle-mapped.tga", WriteTga(g, 9, 8, false));
  // The racket's shadow, run-length encoded: long runs of one colour.
  Write(out / "Rshadow-rle.tga", WriteTga(ReadTga32(data / "Rackets/Rshadow.tga"), 10, 32, true));
}

// ---------------------------------------------------------------------------------------------
// WAV

struct Sound {
  uint32_t rate = 0;
  std::vector<int16_t> samples;  // mono
};

// The first `count` samples of a 16-bit mono WAV as the generator writes them.
Sound ReadWav16(const fs::path& path, size_t count) {
  const Bytes b = Read(path);
  if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0 || Get16(b, 20) != 1 || Get16(b, 22) != 1 ||
      Get16(b, 34) != 16)
    Die(path.string() + " is not a 16-bit mono WAV");
  Sound s;
  s.rate = Get32(b, 24);
  size_t at = 12;
  while (at + 8 <= b.size()) {
    const uint32_t len = Get32(b, at + 4);
    if (std::memcmp(&b[at], "data", 4) == 0) {
      for (size_t i = 0; i < count && at + 8 + i * 2 + 1 < b.size() && i * 2 < len; ++i)
        s.samples.push_back(static_cast<int16_t>(Get16(b, at + 8 + i * 2)));
      return s;
    }
    at += 8 + len + (len & 1);
  }
  Die(path.string() + " has no data");
}

// A RIFF WAVE file from a "fmt " body and the sample data.
Bytes Riff(const Bytes& fmt, const Bytes& data, uint32_t factSamples = 0) {
  Bytes b;
  PutText(b, "RIFF");
  Put32(b, 0);
  PutText(b, "WAVE");
  PutText(b, "fmt ");
  Put32(b, static_cast<uint32_t>(fmt.size()));
  b.insert(b.end(), fmt.begin(), fmt.end());
  if (factSamples != 0) {
    PutText(b, "fact");
    Put32(b, 4);
    Put32(b, factSamples);
  }
  PutText(b, "data");
  Put32(b, static_cast<uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() & 1) b.push_back(0);
  const uint32_t riff = static_cast<uint32_t>(b.size() - 8);
  std::memcpy(&b[4], &riff, 4);
  return b;
}

Bytes Fmt(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t blockAlign, uint32_t bits) {
  Bytes f;
  Put16(f, tag);
  Put16(f, channels);
  Put32(f, rate);
  Put32(f, rate * blockAlign);
  Put16(f, blockAlign);
  Put16(f, bits);
  return f;
}

uint8_t MuLaw(int16_t s) {
  int v = s;
  const int sign = v < 0 ? 0x80 : 0;
  if (v < 0) v = -v;
  v = std::min(v, 32635) + 0x84;
  int exponent = 7;
  for (int mask = 0x4000; (v & mask) == 0 && exponent > 0; mask >>= 1) --exponent;
  const int mantissa = (v >> (exponent + 3)) & 0x0F;
  return static_cast<uint8_t>(~(sign | exponent << 4 | mantissa));
}

uint8_t ALaw(int16_t s) {
  int v = s >> 3;
  const int sign = v >= 0 ? 0x80 : 0;
  if (v < 0) v = -v - 1;
  int exponent = 0;
  while (v > 0x1F && exponent < 7) {
    v >>= 1;
    ++exponent;
  }
  return static_cast<uint8_t>((sign | exponent << 4 | (v & 0x0F)) ^ 0x55);
}

void SoundSeeds(const fs::path& data, const fs::path& out) {
  for (const char* name : {"Sounds/tcoll.wav", "Sounds/rcoll.wav"})
    fs::copy_file(data / name, out / fs::path(name).filename(), fs::copy_options::overwrite_existing);
  // The start of a track: the header still counts the whole of it.
  Write(out / "bck1-start.wav", Read(data / "Sounds/bck1.wav", 16384));
  // ... and as a recorder that cannot seek back leaves it: the RIFF and data lengths unknown.
  Bytes unknown = Read(data / "Sounds/bck1.wav", 16384);
  for (const size_t at : {size_t{4}, size_t{40}})
    for (size_t k = 0; k < 4; ++k) unknown[at + k] = 0xFF;
  Write(out / "bck1-unknown-sizes.wav", unknown);

  const Sound s = ReadWav16(data / "Sounds/rcoll.wav", 2048);
  const auto n = static_cast<uint32_t>(s.samples.size());
  Bytes d;
  for (const int16_t v : s.samples) Put16(d, static_cast<uint16_t>(v));
  Write(out / "rcoll-short.wav", Riff(Fmt(1, 1, s.rate, 2, 16), d));
  d.clear();
  for (size_t i = 0; i < n; i += 2) d.push_back(static_cast<uint8_t>((s.samples[i] >> 8) + 128));
  Write(out / "rcoll-8-22k.wav", Riff(Fmt(1, 1, s.rate / 2, 1, 8), d));
  d.clear();
  for (const int16_t v : s.samples) {
    Put16(d, static_cast<uint16_t>(v));
    Put16(d, static_cast<uint16_t>(-v));
  }
  Write(out / "rcoll-stereo-11k.wav", Riff(Fmt(1, 2, 11025, 4, 16), d));
  d.clear();
  for (const int16_t v : s.samples) {
    d.push_back(0x5A);
    Put16(d, static_cast<uint16_t>(v));
  }
  Write(out / "rcoll-24.wav", Riff(Fmt(1, 1, s.rate, 3, 24), d));
  d.clear();
  for (const int16_t v : s.samples) Put32(d, static_cast<uint32_t>(static_cast<int32_t>(v) << 16));
  Write(out / "rcoll-32.wav", Riff(Fmt(1, 1, s.rate, 4, 32), d));
  d.clear();
  for (const int16_t v : s.samples) {
    const float f = static_cast<float>(v) / 32768.0f;
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    Put32(d, bits);
  }
  Write(out / "rcoll-float.wav", Riff(Fmt(3, 1, s.rate, 4, 32), d, n));
  d.clear();
  for (const int16_t v : s.samples) d.push_back(MuLaw(v));
  Write(out / "rcoll-mulaw.wav", Riff(Fmt(7, 1, s.rate, 1, 8), d, n));
  d.clear();
  for (const int16_t v : s.samples) d.push_back(ALaw(v));
  Write(out / "rcoll-alaw.wav", Riff(Fmt(6, 1, s.rate, 1, 8), d, n));

  // IMA ADPCM: 256-byte blocks of 505 samples; the nibbles come from the samples' bits.
  Bytes fmt = Fmt(0x11, 1, s.rate, 256, 4);
  Put16(fmt, 2);
  Put16(fmt, 505);
  d.clear();
  for (uint32_t block = 0; block < 4; ++block) {
    Put16(d, static_cast<uint16_t>(s.samples[block * 505 % n]));
    d.push_back(static_cast<uint8_t>(block * 20));
    d.push_back(0);
    for (uint32_t i = 0; i < 252; ++i)
      d.push_back(static_cast<uint8_t>(s.samples[(block * 252 + i) % n] >> 4));
  }
  Write(out / "rcoll-ima.wav", Riff(fmt, d, 4 * 505));

  // Microsoft ADPCM: the seven standard coefficient pairs, 256-byte blocks of 500 samples.
  static const int16_t kCoef[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                      {240, 0}, {460, -208}, {392, -232}};
  fmt = Fmt(0x2, 1, s.rate, 256, 4);
  Put16(fmt, 32);
  Put16(fmt, 500);
  Put16(fmt, 7);
  for (const auto& c : kCoef) {
    Put16(fmt, static_cast<uint16_t>(c[0]));
    Put16(fmt, static_cast<uint16_t>(c[1]));
  }
  d.clear();
  for (uint32_t block = 0; block < 4; ++block) {
    d.push_back(static_cast<uint8_t>(block % 7));
    Put16(d, 16 + block * 100);
    Put16(d, static_cast<uint16_t>(s.samples[(block * 500) % n]));
    Put16(d, static_cast<uint16_t>(s.samples[(block * 500 + 1) % n]));
    for (uint32_t i = 0; i < 249; ++i)
      d.push_back(static_cast<uint8_t>(s.samples[(block * 249 + i) % n] >> 3));
  }
  Write(out / "rcoll-msadpcm.wav", Riff(fmt, d, 4 * 500));

  // WAVE_FORMAT_EXTENSIBLE, 16-bit stereo PCM.
  fmt = Fmt(0xFFFE, 2, s.rate, 4, 16);
  Put16(fmt, 22);
  Put16(fmt, 16);
  Put32(fmt, 3);  // front left and right
  static const uint8_t kPcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  fmt.insert(fmt.end(), std::begin(kPcm), std::end(kPcm));
  d.clear();
  for (const int16_t v : s.samples) {
    Put16(d, static_cast<uint16_t>(v));
    Put16(d, static_cast<uint16_t>(v / 2));
  }
  Write(out / "rcoll-extensible.wav", Riff(fmt, d));
}

// ---------------------------------------------------------------------------------------------
// X

void MeshSeeds(const fs::path& data, const fs::path& out) {
  for (const char* name : {"lamp.x", "tables/table.x"})
    fs::copy_file(data / name, out / fs::path(name).filename(), fs::copy_options::overwrite_existing);
  const Bytes lamp = Read(data / "lamp.x");
  const std::string text(lamp.begin(), lamp.end());
  const size_t body = text.find('\n');
  if (text.rfind("xof ", 0) != 0 || body == std::string::npos) Die("lamp.x is not a text X file");
  // The lamp inside a frame that moves and turns it.
  std::string framed = text.substr(0, body + 1);
  framed +=
      "Frame Root {\n FrameTransformMatrix {\n  "
      "0.0,1.0,0.0,0.0,-1.0,0.0,0.0,0.0,0.0,0.0,1.0,0.0,0.5,2.0,-1.0,1.0;;\n "
      "}\n";
  framed += text.substr(body + 1);
  framed += "}\n";
  Write(out / "lamp-framed.x", Bytes(framed.begin(), framed.end()));

  // Every part of an X file the game's meshes use, in a few hundred bytes: a shared material
  // with a texture, a frame with a matrix, a quad and a triangle fan, normals of their own,
  // texture coordinates and an inline material. The fuzzer mutates small inputs much faster
  // than the table.
  const std::string small =
      "xof 0303txt 0032\n"
      "Material Shade {\n 0.8;0.7;0.2;1.0;;\n 12.0;\n 0.3;0.3;0.3;;\n 0.1;0.0;0.0;;\n"
      " TextureFilename {\n  \"lampshade.tga\";\n }\n}\n"
      "Frame Lamp {\n FrameTransformMatrix {\n"
      "  1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.5,2.0,-1.0,1.0;;\n }\n"
      " Mesh Quad {\n  5;\n  -1.0;0.0;-1.0;,\n  1.0;0.0;-1.0;,\n  1.0;0.0;1.0;,\n"
      "  -1.0;0.0;1.0;,\n  0.0;1.0;0.0;;\n  3;\n  3;0,1,2;,\n  4;0,2,3,4;,\n  3;1,4,2;;\n"
      "  MeshNormals {\n   2;\n   0.0;1.0;0.0;,\n   0.0;0.7;0.7;;\n   3;\n   3;0,0,0;,\n"
      "   4;0,0,0,1;,\n   3;1,1,1;;\n  }\n"
      "  MeshTextureCoords {\n   5;\n   0.0;0.0;,\n   1.0;0.0;,\n   1.0;1.0;,\n   0.0;1.0;,\n"
      "   0.5;0.5;;\n  }\n"
      "  MeshMaterialList {\n   2;\n   3;\n   0,1,1;;\n   {Shade}\n"
      "   Material {\n    0.2;0.2;0.9;1.0;;\n    4.0;\n    1.0;1.0;1.0;;\n    0.0;0.0;0.0;;\n   }\n"
      "  }\n }\n}\n";
  Write(out / "small.x", Bytes(small.begin(), small.end()));

  // As an exporter writes a skinned, animated model: templates, vertex colours, DeclData,
  // duplication indices, a skin, an effect in the material and an animation set, which the
  // reader passes over as Assimp does, around a small mesh.
  const std::string exported =
      "xof 0303txt 0032\n// exported\n"
      "template XSkinMeshHeader { <3CF169CE-FF7C-44ab-93C0-F78F62D172E2> WORD nMaxSkinWeightsPerVertex; }\n"
      "AnimTicksPerSecond { 4800; }\n"
      "Frame Root {\n FrameTransformMatrix { 1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.003,0.0,0.0,1.0;; }\n"
      " Mesh Tri {\n  3; 0;0;0;, 2000;0;0;, 0;1000;0;;\n  1; 3;0,1,2;;\n"
      "  MeshNormals { 1; 0.0;0.0;-1.0;; 1; 3;0,0,0;; }\n"
      "  MeshTextureCoords { 3; 0.0;0.0;, 1.0;0.0;, 0.0;1.0;; }\n"
      "  MeshVertexColors { 3; 0;1.0;0.0;0.0;1.0;;, 1;0.0;1.0;0.0;1.0;;, 2;0.0;0.0;1.0;1.0;;; }\n"
      "  VertexDuplicationIndices { 3; 3; 0, 1, 2; }\n"
      "  DeclData { 1; 2;0;5;0;; 2; 1065353216,0; }\n"
      "  MeshMaterialList { 1; 1; 0;; Material { 1.0;1.0;1.0;1.0;; 8.0; 0.5;0.5;0.5;; 0.0;0.0;0.0;;\n"
      "   TextureFilename { \"lampshade.tga\"; } EffectInstance { \"a.fx\"; } } }\n"
      "  XSkinMeshHeader { 1; 3; 1; }\n"
      "  SkinWeights { \"Root\"; 2; 0, 2; 1.0, 0.5;"
      " 1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0;; }\n }\n}\n"
      "AnimationSet Idle { Animation { { Root } AnimationKey { 2; 1; 0;3;0.0,0.5,0.0;;; } } }\n";
  Write(out / "exported.x", Bytes(exported.begin(), exported.end()));
}

// ---------------------------------------------------------------------------------------------
// Controller mappings (gamecontrollerdb.txt)

void MappingSeeds(const fs::path& out) {
  const std::string pads =
      "# Game controller mappings\n"
      "03000000de280000ff11000001000000,Steam Virtual Gamepad,a:b0,b:b1,back:b6,dpdown:h0.4,dpleft:h0.8,"
      "dpright:h0.2,dpup:h0.1,leftshoulder:b4,leftstick:b8,lefttrigger:a2,leftx:a0,lefty:a1,"
      "rightshoulder:b5,rightstick:b9,righttrigger:a5,rightx:a3,righty:a4,start:b7,x:b2,y:b3,"
      "platform:Linux,\n"
      "030000005e0400008e02000010010000,Xbox 360 Controller,a:b0,b:b1,back:b6,dpdown:h0.4,dpleft:h0.8,"
      "dpright:h0.2,dpup:h0.1,guide:b8,leftshoulder:b4,lefttrigger:+a2,leftx:a0,lefty:a1~,"
      "rightshoulder:b5,righttrigger:-a5,start:b7,hint:!SDL_GAMECONTROLLER_USE_BUTTON_LABELS:=1,"
      "platform:Linux,\r\n"
      "03000000aaaa0000bbbb000000000000,Windows only,a:b0,platform:Windows,\n";
  Write(out / "pads.txt", Bytes(pads.begin(), pads.end()));
  const std::string bare = "05000000cccc0000dddd000001000000,Bare pad,a:b0,dpup:-a1,dpdown:+a1";
  Write(out / "bare.txt", Bytes(bare.begin(), bare.end()));
}

// ---------------------------------------------------------------------------------------------
// Settings: a file as the game writes it, one with every kind of value wrong, and a command line.

void SettingsSeeds(const fs::path& out) {
  auto write = [&](const char* name, const std::string& text) { Write(out / name, Bytes(text.begin(), text.end())); };
  write("written.ini",
        "; Vantor's settings, written by the game when they change.\n[window]\nfullscreen = false\nwidth = 1000\n"
        "height = 500\n\n[sound]\nmusic = 35\neffects = 0\nmute = true\n\n[names]\nleft = \" A \\;B \\\"q\\\" \"\n"
        "right = \"Zo\xc3\xab\"\n");
  write("damaged.ini",
        "[window]\nfullscreen = maybe\nwidth = 99999\n[sound]\nmusic = -1\nvolume = 3\n[names]\nright = BOB\n"
        "left = \"\\x\"\nno line\n");
  write("command_line", "--windowed\n--mute\n--data\n/tmp");
}

// Every network message, and a short replay of a match.
void NetSeeds(const fs::path& packets, const fs::path& replays) {
  net::Buffer b;
  auto keep = [&b](const fs::path& path, size_t n) { Write(path, Bytes(b.begin(), b.begin() + static_cast<long>(n))); };
  keep(packets / "hello", net::Encode(net::Hello{net::kProtocolVersion, net::Name::From("Zo\xC3\xAB")}, b));
  keep(packets / "welcome", net::Encode(net::Welcome{net::Role::Spectator}, b));
  keep(packets / "refuse", net::Encode(net::Refuse{net::RefuseReason::OtherVersion, 1}, b));
  keep(packets / "input", net::Encode(net::Input{7, net::kKeyUp | net::kKeyBoost}, b));
  net::Snapshot s;
  s.screen = net::Screen::Match;
  s.flags = net::kSnapCamIntro;
  s.ballX = -2.5f;
  s.camEyeZ = -4.0f;
  s.clock = 12;
  s.inputAck = 41;
  s.leftSpeed = 8.5f;
  s.leftBoost = true;
  keep(packets / "snapshot", net::Encode(s, b));
  net::ScreenChange c;
  c.screen = net::Screen::Match;
  c.musicTrack = 3;
  c.rightArt = c.leftArt = c.ballArt = 2;
  c.rightName = net::Name::From("ALICE");
  c.leftName = net::Name::From("BOB");
  keep(packets / "screen", net::Encode(c, b));
  keep(packets / "names", net::Encode(net::Names{net::Name::From("A"), net::Name::From("B")}, b));
  keep(packets / "goal", net::Encode(net::Goal{1, 2}, b));

  const fs::path path = replays / "match.vrp";
  net::ReplayWriter w;
  std::string error;
  if (!w.Open(path.string(), error)) Die(error);
  w.Write(0, net::Channel::Reliable, b.data(), net::Encode(c, b));
  for (uint32_t i = 0; i < 4; ++i) {
    s.tick = i * 17;
    s.ballX += 0.1f;
    w.Write(i * 17, net::Channel::Sequenced, b.data(), net::Encode(s, b));
  }
  w.Write(70, net::Channel::Reliable, b.data(), net::Encode(net::Goal{1, 0}, b));
  if (!w.Close(error)) Die(error);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) Die("usage: vantor_fuzz_seeds <build folder with the data> <output folder>");
  const fs::path data = argv[1], out = argv[2];
  for (const char* target : {"texture", "sound", "mesh", "mapping", "settings", "packet", "replay"}) {
    fs::remove_all(out / target);
    fs::create_directories(out / target);
  }
  TextureSeeds(data, out / "texture");
  SoundSeeds(data, out / "sound");
  MeshSeeds(data, out / "mesh");
  MappingSeeds(out / "mapping");
  SettingsSeeds(out / "settings");
  NetSeeds(out / "packet", out / "replay");
  return 0;
}
