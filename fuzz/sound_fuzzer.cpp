// Sound loading as the game does it: the WAV reader's check, which both faces make; then, as
// the real device does, the sound decoded whole to the opened mixer's format (44.1 kHz,
// 16-bit, stereo; the dummy driver here), and decoded as it plays, as a long track is.
#include <SDL.h>
#include <SDL_mixer.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

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

  // The check both faces make (the silent device and the test face stop there).
  std::unique_ptr<plat::WavReader> reader;
  try {
    reader = std::make_unique<plat::WavReader>(SDL_RWFromConstMem(data, static_cast<int>(size)), "fuzz.wav");
    fuzz::Outcome("checked", fuzz::Log2(reader->frames()) * 64 + fuzz::Log2(reader->lengthMs()));
  } catch (const plat::LoadError& e) {
    fuzz::Outcome(e.what());
    return 0;
  }
  if (!mixerOpen) return 0;

  // The real device: decoded whole to the mixer's format, as effects and short tracks are...
  Mix_Chunk* chunk = plat::sdl::loadChunk(*reader);
  fuzz::Outcome("mixed", fuzz::Log2(chunk->alen));
  uint64_t sum = 0;
  for (Uint32 i = 0; i < chunk->alen; i += 64) sum += chunk->abuf[i];
  const Uint32 mixedBytes = chunk->alen;
  Mix_FreeChunk(chunk);

  // ... and as it plays, as long tracks are: the same sound, a piece at a time, to its end.
  int rate = 0, channels = 0;
  Uint16 format = 0;
  Mix_QuerySpec(&rate, &format, &channels);
  plat::sdl::WavStream stream(std::move(reader), rate, format, channels);
  stream.restart(false);
  Uint8 out[4096];
  uint64_t streamed = 0;
  while (!stream.ended()) {
    stream.fill(out, sizeof out);
    streamed += sizeof out;
    for (size_t i = 0; i < sizeof out; i += 64) sum += out[i];
    // The stream ends within a buffer of what the whole decode gives (resampling in pieces
    // may differ by a few frames).
    if (streamed > uint64_t{mixedBytes} + 2 * sizeof out + 4096) {
      std::fprintf(stderr, "sound fuzzer: the stream runs past the sound (%u bytes)\n", mixedBytes);
      std::abort();
    }
  }
  if (sum == UINT64_MAX) std::abort();
  return 0;
}
