// SDL scan codes to DirectInput key codes, for every key of a standard keyboard.
#pragma once

#include <SDL_scancode.h>

#include <cstdint>
#include <span>

namespace plat::sdl {

struct KeyMapping {
  SDL_Scancode scancode;
  uint8_t dik;
};

// Every mapped key. Two SDL keys share DIK_BACKSLASH: the ANSI backslash and the ISO
// key beside Enter, which DirectInput reports with the same scan code.
std::span<const KeyMapping> keyMappings();

// The DIK code of `scancode`, 0 for keys DirectInput has no code for.
uint8_t dikFromScancode(SDL_Scancode scancode);

// Fills state[0..255] from SDL's keyboard state array (`keys`, `count` entries): 0x80 for
// every key held, 0 otherwise.
void fillKeyState(const uint8_t* keys, int count, uint8_t* state);

}  // namespace plat::sdl
