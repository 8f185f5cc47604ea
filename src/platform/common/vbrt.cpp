#include "platform/vbrt.h"

#include <chrono>
#include <ctime>
#include <random>

namespace plat {

namespace {

std::mt19937& Generator() {
  static std::mt19937 generator;
  return generator;
}

uint32_t HundredthsSinceMidnight() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return static_cast<uint32_t>((local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) * 100 + ms / 10);
}

}  // namespace

void Randomize() {
  std::mt19937& gen = Generator();
  gen.seed(HundredthsSinceMidnight() ^ gen());
}

double Rnd() { return static_cast<double>(Generator()() >> 8) / 16777216.0; }

int32_t CharacterCount(std::string_view text) {
  int32_t n = 0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  }
  return n;
}

}  // namespace plat
