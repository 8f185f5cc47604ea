#include "screens/menu_common.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <random>

namespace screens {

namespace {

// Seconds since local midnight, to the hundredth.
double SecondsSinceMidnight() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + static_cast<double>(ms / 10) / 100.0;
}

std::mt19937& Generator() {
  static std::mt19937 generator;
  return generator;
}

}  // namespace

int32_t CharacterCount(std::string_view text) {
  int32_t n = 0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  }
  return n;
}

double PickArtNumber() {
  // Re-seeding mixes the time into the generator's state instead of starting it afresh, so
  // the three numbers picked within one hundredth of a second still differ from each other.
  std::mt19937& gen = Generator();
  gen.seed(static_cast<uint32_t>(SecondsSinceMidnight() * 100.0) ^ gen());
  const float r = static_cast<float>(gen() >> 8) * (1.0f / 16777216.0f);  // [0, 1), 24 bits
  return std::round(r * 3.0f + 1.0f);
}

}  // namespace screens
