// DirectSound on SDL2_mixer: one mixer channel per buffer, decoded files cached by path.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/dsound.h"

struct Mix_Chunk;
struct SDL_RWops;

namespace plat::sdl {

// The player's music and effects levels and mute, applied on top of each buffer's own
// volume. A buffer counts as music while it plays looping. Shared by the platform, which
// sets them, and the buffers, which follow every change at once.
class SoundLevels {
 public:
  class Voice {
   public:
    virtual void applyLevels() = 0;

   protected:
    ~Voice() = default;
  };

  void set(int musicPercent, int effectsPercent, bool muted);
  // The factor on a voice's own gain: 0 … 1.
  double factor(bool music) const;

  void join(Voice* voice) { voices_.push_back(voice); }
  void leave(Voice* voice);

 private:
  int music_ = 100, effects_ = 100;
  bool muted_ = false;
  std::vector<Voice*> voices_;
};

// Opens the default audio device; without one, the dummy driver; without that, a silent
// device that still reads and checks every file it is given. Without `levels`, every
// buffer plays at the volume the game gives it.
std::unique_ptr<SoundDevice> createSoundDevice(std::shared_ptr<SoundLevels> levels = nullptr);

// Decodes a WAV file from `file` (left open) to the opened mixer's format, as the device does;
// the caller frees the chunk. Throws LoadError naming `path` when it is not one, or when it
// would decode to more than the device takes (a damaged rate of a few hertz).
Mix_Chunk* loadChunk(SDL_RWops* file, const std::string& path);
// The same check without decoding, as the silent device makes it.
void checkWav(SDL_RWops* file, const std::string& path);

}  // namespace plat::sdl
