// Small runtime helpers the game shares: its random numbers and text lengths.
#pragma once

#include <cstdint>
#include <string_view>

namespace plat {

// Stirs the time of day (seconds since midnight, to the hundredth) into the game's random
// generator. Numbers drawn within one hundredth of a second still differ.
void Randomize();
// The next random number of the game's generator, in [0, 1) with 24 bits.
double Rnd();

// Characters, not bytes: typed names may hold UTF-8.
int32_t CharacterCount(std::string_view text);

}  // namespace plat
