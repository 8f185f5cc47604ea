// DirectSound on SDL2_mixer: one mixer channel per buffer, decoded files cached by path.
#pragma once

#include <memory>
#include <string>

#include "platform/dsound.h"

struct Mix_Chunk;
struct SDL_RWops;

namespace plat::sdl {

// Opens the default audio device; without one, the dummy driver; without that, a silent
// device that still reads and checks every file it is given.
std::unique_ptr<SoundDevice> createSoundDevice();

// Decodes a WAV file from `file` (left open) to the opened mixer's format, as the device does;
// the caller frees the chunk. Throws LoadError naming `path` when it is not one, or when it
// would decode to more than the device takes (a damaged rate of a few hertz).
Mix_Chunk* loadChunk(SDL_RWops* file, const std::string& path);
// The same check without decoding, as the silent device makes it.
void checkWav(SDL_RWops* file, const std::string& path);

}  // namespace plat::sdl
