// DirectSound on SDL2_mixer: one mixer channel per buffer, decoded files cached by path.
#pragma once

#include <SDL.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/common/wav_reader.h"
#include "platform/dsound.h"

struct Mix_Chunk;

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

// A checked WAV file (its reader made and checked the file; the silent device stops there)
// decoded whole to the opened mixer's format, as the device does for all but long tracks; the
// caller frees the chunk.
Mix_Chunk* loadChunk(WavReader& reader);

// A long track decoded as it plays, to the mixer's format, a piece at a time: the mixer calls
// Effect on the channel that plays it (a channel looping silence), from its own thread.
class WavStream {
 public:
  WavStream(std::unique_ptr<WavReader> reader, int rate, Uint16 format, int channels);
  ~WavStream();
  WavStream(const WavStream&) = delete;
  WavStream& operator=(const WavStream&) = delete;

  // From the start, once or looping.
  void restart(bool looping);
  // The next `bytes` of sound; silence once played to the end (which ended() then tells).
  void fill(Uint8* out, int bytes);
  bool ended() const { return ended_; }
  static void Effect(int channel, void* out, int bytes, void* self);

 private:
  std::mutex mutex_;
  std::unique_ptr<WavReader> reader_;
  Uint8 silence_;
  SDL_AudioStream* stream_;
  std::vector<Uint8> pcm_;
  bool looping_ = false, flushed_ = false;
  std::atomic<bool> ended_{false};
};

}  // namespace plat::sdl
