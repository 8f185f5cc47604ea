// Feedback for libFuzzer from what the decoders report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace fuzz {

// SDL2_image, SDL2_mixer, SDL and Assimp are the system's libraries, built without coverage
// counters, so libFuzzer sees only our side of each load. Every distinct outcome of a load (an
// error message with its numbers left out, the size class of an image, the shape of a mesh)
// sets a counter of its own, and an input reaching a new outcome joins the corpus.
void Outcome(std::string_view what);
void Outcome(std::string_view what, uint64_t value);

// Rounded base-2 logarithm, for size classes (0 for 0).
unsigned Log2(uint64_t v);

}  // namespace fuzz
