// Small data files written by tests into a folder of their own.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class TempFolder {
 public:
  TempFolder() {
    char name[] = "/tmp/vantor-test-XXXXXX";
    root_ = mkdtemp(name);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  std::string Path(const std::string& relative) const {
    return relative.empty() ? root_ : root_ + "/" + relative;
  }

 private:
  std::string root_;
};

// An uncompressed 32-bit top-down TGA of 0xAARRGGBB texels.
inline void WriteTga(const std::string& path, int w, int h, const std::vector<uint32_t>& argb) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream f(path, std::ios::binary);
  uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                        static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8),
                        static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8), 32, 0x28};
  f.write(reinterpret_cast<const char*>(header), sizeof header);
  for (uint32_t c : argb) {
    const uint8_t px[4] = {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16),
                           static_cast<uint8_t>(c >> 24)};
    f.write(reinterpret_cast<const char*>(px), 4);
  }
}

// A 16-bit mono PCM WAV of `samples` samples at 22050 Hz.
inline void WriteWav(const std::string& path, int samples) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream f(path, std::ios::binary);
  auto u32 = [&f](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&f](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
  const uint32_t data = static_cast<uint32_t>(samples) * 2;
  f.write("RIFF", 4);
  u32(36 + data);
  f.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(1);
  u32(22050);
  u32(44100);
  u16(2);
  u16(16);
  f.write("data", 4);
  u32(data);
  for (int i = 0; i < samples; ++i) u16(static_cast<uint16_t>((i % 50) * 100));
}
