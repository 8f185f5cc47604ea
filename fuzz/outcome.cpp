#include "outcome.h"

#include <bit>

namespace {

// libFuzzer clears and reads these with its own counters (the section is its extension).
constexpr size_t kCounters = 1 << 14;
__attribute__((section("__libfuzzer_extra_counters"), used)) uint8_t counters[kCounters];

// Numbers (offsets, line numbers) left out, and whatever follows a quote (the decoders quote
// the file's own text, up to whole pages of it): they would make nearly every input new.
uint64_t Hash(std::string_view text, uint64_t seed) {
  uint64_t h = 1469598103934665603ull ^ seed;
  for (const char c : text) {
    if (c == '\'' || c == '"') break;
    if (c >= '0' && c <= '9') continue;
    h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  }
  return h;
}

}  // namespace

namespace fuzz {

void Outcome(std::string_view what) { Outcome(what, 0); }

void Outcome(std::string_view what, uint64_t value) {
  uint8_t& c = counters[Hash(what, value * 0x9E3779B97F4A7C15ull) % kCounters];
  if (c < 255) ++c;
}

unsigned Log2(uint64_t v) { return v == 0 ? 0 : static_cast<unsigned>(std::bit_width(v)); }

}  // namespace fuzz
