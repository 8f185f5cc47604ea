// Sound loading as the game does it: the sound device checks a file and has SDL2_mixer decode
// it to the opened device's format (44.1 kHz, 16-bit, stereo; the dummy driver here); the
// silent device makes the same check without decoding.
#include <SDL.h>
#include <SDL_mixer.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "outcome.h"
#include "platform/d3d8.h"
#include "platform/sdl/sound.h"

namespace {

bool mixerOpen = false;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SDL_SetMainReady();
  SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0 || Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
    std::fprintf(stderr, "sound fuzzer: no dummy audio device: %s\n", SDL_GetError());
    std::exit(1);
  }
  mixerOpen = true;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An empty file opens, but SDL has no memory stream of no bytes.
  if (size == 0) return 0;

  // The real device (sound.cpp), from a file the caller closes.
  if (mixerOpen) {
    SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size));
    try {
      Mix_Chunk* chunk = plat::sdl::loadChunk(rw, "fuzz.wav");
      fuzz::Outcome("mixed", fuzz::Log2(chunk->alen));
      uint64_t sum = 0;
      for (Uint32 i = 0; i < chunk->alen; i += 64) sum += chunk->abuf[i];
      if (sum == UINT64_MAX) std::abort();
      Mix_FreeChunk(chunk);
    } catch (const plat::LoadError& e) {
      fuzz::Outcome(e.what());
    }
    SDL_RWclose(rw);
  }

  // The silent device: the same check without the mixer.
  SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size));
  try {
    plat::sdl::checkWav(rw, "fuzz.wav");
    fuzz::Outcome("checked");
  } catch (const plat::LoadError& e) {
    fuzz::Outcome(e.what());
  }
  SDL_RWclose(rw);
  return 0;
}
