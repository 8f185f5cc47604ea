// Small stand-in data for the playing objects: every texture, the table body mesh and the
// goal sound, written into a folder that then serves as the application folder. Used by
// the world tests and benchmark; each texture is one flat colour derived from its name,
// so a drawn texture can be told from the others by its texel.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace world::testing {

// Opaque colour (0xAARRGGBB) of the test texture at `relative` ("tables/t1b.tga").
inline uint32_t TestColor(std::string_view relative) {
  uint32_t h = 2166136261u;
  for (char c : relative) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return 0xFF000000u | (h & 0xFFFFFFu);
}

inline void WriteTga(const std::filesystem::path& file, uint32_t argb, int width = 2, int height = 2) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  const uint8_t header[18] = {
      0, 0,  2,   0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(width), 0, static_cast<uint8_t>(height),
      0, 32, 0x28};
  out.write(reinterpret_cast<const char*>(header), sizeof header);
  const uint8_t bgra[4] = {static_cast<uint8_t>(argb), static_cast<uint8_t>(argb >> 8),
                           static_cast<uint8_t>(argb >> 16), static_cast<uint8_t>(argb >> 24)};
  for (int i = 0; i < width * height; ++i) out.write(reinterpret_cast<const char*>(bgra), 4);
}

inline void WriteWav(const std::filesystem::path& file) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  const uint32_t samples = 2205;  // 0.1 s at 22050 Hz, 16-bit mono
  out.write("RIFF", 4);
  u32(36 + samples * 2);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(1);
  u32(22050);
  u32(44100);
  u16(2);
  u16(16);
  out.write("data", 4);
  u32(samples * 2);
  const std::vector<char> silence(samples * 2, 0);
  out.write(silence.data(), static_cast<std::streamsize>(silence.size()));
}

// A box from (-1, 0, -0.5) to (1, 1, 0.5), textured with side1.tga.
inline void WriteBoxMesh(const std::filesystem::path& file) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file);
  out << "xof 0303txt 0032\n"
         "Mesh Box {\n 8;\n"
         " -1.0;0.0;-0.5;, 1.0;0.0;-0.5;, 1.0;1.0;-0.5;, -1.0;1.0;-0.5;,\n"
         " -1.0;0.0;0.5;, 1.0;0.0;0.5;, 1.0;1.0;0.5;, -1.0;1.0;0.5;;\n"
         " 12;\n"
         " 3;0,2,1;, 3;0,3,2;, 3;4,5,6;, 3;4,6,7;, 3;0,1,5;, 3;0,5,4;,\n"
         " 3;3,7,6;, 3;3,6,2;, 3;0,4,7;, 3;0,7,3;, 3;1,2,6;, 3;1,6,5;;\n"
         " MeshMaterialList {\n  1;\n  12;\n  0,0,0,0,0,0,0,0,0,0,0,0;\n"
         "  Material {\n   1.0;1.0;1.0;1.0;;\n   0.0;\n   0.0;0.0;0.0;;\n   0.0;0.0;0.0;;\n"
         "   TextureFilename { \"side1.tga\"; }\n  }\n }\n"
         " MeshTextureCoords {\n  8;\n  0.0;0.0;, 1.0;0.0;, 1.0;1.0;, 0.0;1.0;,\n"
         "  0.0;0.0;, 1.0;0.0;, 1.0;1.0;, 0.0;1.0;;\n }\n"
         "}\n";
}

// Every file the table, the ball (art 1) and the rackets (art 1 and 2) read.
inline const std::vector<std::string>& TextureFiles() {
  static const std::vector<std::string> files = {"tables/t1b.tga",
                                                 "tables/t1bn.tga",
                                                 "tables/brtex1.tga",
                                                 "tables/b.tga",
                                                 "Textures/vantor.tga",
                                                 "tables/side1.tga",
                                                 "tables/Table_sides_top.tga",
                                                 "tables/Table_sides_side.tga",
                                                 "tables/Pocket.tga",
                                                 "tables/g.tga",
                                                 "Balls/ball1.tga",
                                                 "Balls/ball1s.tga",
                                                 "Balls/bshadow.tga",
                                                 "Rackets/racket1.tga",
                                                 "Rackets/racket1s.tga",
                                                 "Rackets/racket2.tga",
                                                 "Rackets/racket2s.tga",
                                                 "Rackets/Rshadow.tga"};
  return files;
}

inline void WriteWorldData(const std::filesystem::path& folder) {
  for (const std::string& f : TextureFiles()) WriteTga(folder / f, TestColor(f));
  WriteBoxMesh(folder / "tables/table.x");
  WriteWav(folder / "Sounds/goal.wav");
}

// A folder with WriteWorldData's files, made once per process in the temporary folder and
// removed when the process ends.
inline const std::filesystem::path& WorldDataFolder() {
  struct Folder {
    std::filesystem::path path;
    Folder() : path(std::filesystem::temp_directory_path() / ("vantor-world-" + std::to_string(getpid()))) {
      std::filesystem::remove_all(path);
      WriteWorldData(path);
    }
    ~Folder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  };
  static const Folder folder;
  return folder.path;
}

}  // namespace world::testing
