#include "platform/sdl/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace plat::sdl {

namespace {

constexpr int kRate = 44100;
constexpr int kChunkSamples = 1024;
constexpr int kFirstChannels = 16;
// What a file may decode to: over six minutes of 44.1 kHz stereo, and rates from 4 kHz.
constexpr uint64_t kMostDecodedBytes = 64u << 20;
constexpr int kLowestRate = 4000;

// The opened mixer, shared by the device and every buffer made from it.
class Mixer {
 public:
  Mixer() {
    if (!openAudio()) {
      std::fprintf(stderr, "vantor: no sound device (%s); trying the silent driver\n", Mix_GetError());
      SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
      if (!openAudio()) {
        std::fprintf(stderr, "vantor: sound is off: %s\n", Mix_GetError());
        return;
      }
    }
    open_ = true;
    channels_ = Mix_AllocateChannels(kFirstChannels);
    for (int c = channels_ - 1; c >= 0; --c) free_.push_back(c);
  }

  ~Mixer() {
    if (open_) {
      Mix_HaltChannel(-1);
      for (auto& [path, chunk] : chunks_) Mix_FreeChunk(chunk);
      Mix_CloseAudio();
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  bool open() const { return open_; }

  // The decoded file (nullptr when silent); reads the file only the first time.
  Mix_Chunk* load(const std::string& path) {
    if (auto it = chunks_.find(path); it != chunks_.end()) return it->second;
    Mix_Chunk* chunk = nullptr;
    // The file is closed here whatever the decoder does with it.
    SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
    if (!file) throw LoadError(path, SDL_GetError());
    try {
      if (open_) {
        chunk = loadChunk(file, path);
      } else {
        checkWav(file, path);
      }
    } catch (...) {
      SDL_RWclose(file);
      throw;
    }
    SDL_RWclose(file);
    chunks_.emplace(path, chunk);
    return chunk;
  }

  int takeChannel() {
    if (!open_) return -1;
    if (free_.empty()) {
      const int more = Mix_AllocateChannels(channels_ * 2);
      for (int c = more - 1; c >= channels_; --c) free_.push_back(c);
      channels_ = more;
    }
    if (free_.empty()) return -1;
    const int c = free_.back();
    free_.pop_back();
    Mix_Volume(c, MIX_MAX_VOLUME);
    return c;
  }

  void giveBack(int channel) {
    if (channel < 0) return;
    Mix_HaltChannel(channel);
    Mix_Resume(channel);
    free_.push_back(channel);
  }

 private:
  static bool openAudio() {
    if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    if (Mix_OpenAudio(kRate, MIX_DEFAULT_FORMAT, 2, kChunkSamples) == 0) return true;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }

  bool open_ = false;
  int channels_ = 0;
  std::vector<int> free_;
  std::map<std::string, Mix_Chunk*> chunks_;
};

// One voice. Stop keeps the position (as DirectSound does); Play goes on from there.
class MixerBuffer : public SoundBuffer, private SoundLevels::Voice {
 public:
  MixerBuffer(std::shared_ptr<Mixer> mixer, Mix_Chunk* chunk, std::shared_ptr<SoundLevels> levels)
      : mixer_(std::move(mixer)), chunk_(chunk), channel_(mixer_->takeChannel()), levels_(std::move(levels)) {
    if (levels_) {
      levels_->join(this);
      applyLevels();
    }
  }
  ~MixerBuffer() override {
    if (levels_) levels_->leave(this);
    mixer_->giveBack(channel_);
  }

  HRESULT Play(DWORD flags) override {
    const bool looping = (flags & DSBPLAY_LOOPING) != 0;
    if (looping != music_) {
      music_ = looping;
      applyLevels();
    }
    if (channel_ < 0 || !chunk_) {
      silentPlaying_ = looping;
      return D3D_OK;
    }
    if (Mix_Playing(channel_)) {
      if (Mix_Paused(channel_)) Mix_Resume(channel_);
      return D3D_OK;
    }
    if (Mix_PlayChannel(channel_, chunk_, looping ? -1 : 0) < 0) return E_FAIL;
    return D3D_OK;
  }

  HRESULT Stop() override {
    silentPlaying_ = false;
    if (channel_ >= 0 && Mix_Playing(channel_)) Mix_Pause(channel_);
    return D3D_OK;
  }

  HRESULT SetVolume(int32_t hundredthsOfDb) override {
    if (hundredthsOfDb > 0 || hundredthsOfDb < -10000) return D3DERR_INVALIDCALL;
    gain_ = VolumeToGain(hundredthsOfDb);
    applyLevels();
    return D3D_OK;
  }

  bool IsPlaying() const override {
    if (channel_ < 0 || !chunk_) return silentPlaying_;
    return Mix_Playing(channel_) && !Mix_Paused(channel_);
  }

 private:
  // The game's own volume times the player's level for music or effects.
  void applyLevels() override {
    if (channel_ < 0) return;
    const double gain = gain_ * (levels_ ? levels_->factor(music_) : 1.0);
    Mix_Volume(channel_, static_cast<int>(std::lround(MIX_MAX_VOLUME * gain)));
  }

  std::shared_ptr<Mixer> mixer_;
  Mix_Chunk* chunk_;
  int channel_;
  std::shared_ptr<SoundLevels> levels_;
  double gain_ = 1.0;
  bool music_ = false;
  bool silentPlaying_ = false;
};

class MixerSoundDevice : public SoundDevice {
 public:
  explicit MixerSoundDevice(std::shared_ptr<SoundLevels> levels)
      : mixer_(std::make_shared<Mixer>()), levels_(std::move(levels)) {}

  HRESULT SetCooperativeLevel(uintptr_t, DWORD) override { return D3D_OK; }

  SoundBufferPtr CreateSoundBufferFromFile(const std::string& path, DWORD) override {
    Mix_Chunk* chunk = mixer_->load(path);
    return std::make_unique<MixerBuffer>(mixer_, chunk, levels_);
  }

 private:
  std::shared_ptr<Mixer> mixer_;
  std::shared_ptr<SoundLevels> levels_;
};

}  // namespace

void SoundLevels::set(int musicPercent, int effectsPercent, bool muted) {
  music_ = std::clamp(musicPercent, 0, 100);
  effects_ = std::clamp(effectsPercent, 0, 100);
  muted_ = muted;
  for (Voice* v : voices_) v->applyLevels();
}

double SoundLevels::factor(bool music) const { return muted_ ? 0.0 : (music ? music_ : effects_) / 100.0; }

void SoundLevels::leave(Voice* voice) { std::erase(voices_, voice); }

std::unique_ptr<SoundDevice> createSoundDevice(std::shared_ptr<SoundLevels> levels) {
  return std::make_unique<MixerSoundDevice>(std::move(levels));
}

namespace {

// The file's bytes, every RIFF chunk's length cut to what the file holds: SDL allocates the
// length a chunk declares before reading it, so a damaged length in a short file would have it
// ask for up to 4 GiB. What SDL reads is the same.
std::vector<Uint8> ReadWav(SDL_RWops* file, const std::string& path) {
  const Sint64 size = SDL_RWsize(file);
  if (size < 0) throw LoadError(path, SDL_GetError());
  std::vector<Uint8> bytes(static_cast<size_t>(size));
  if (size > 0 && SDL_RWread(file, bytes.data(), bytes.size(), 1) != 1) throw LoadError(path, SDL_GetError());
  // Chunks follow the RIFF header, or the bare "WAVE" some writers start with (SDL takes both).
  size_t at = 0;
  if (bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0) {
    at = 12;
  } else if (bytes.size() >= 4 && std::memcmp(bytes.data(), "WAVE", 4) == 0) {
    at = 4;
  } else {
    return bytes;
  }
  while (at + 8 <= bytes.size()) {
    const size_t room = bytes.size() - at - 8;
    uint32_t length =
        bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16 | static_cast<uint32_t>(bytes[at + 7]) << 24;
    if (length > room) {
      length = static_cast<uint32_t>(room);
      for (int k = 0; k < 4; ++k) bytes[at + 4 + k] = static_cast<Uint8>(length >> (8 * k));
    }
    at += 8 + static_cast<size_t>(length) + (length & 1);
  }
  return bytes;
}

// SDL's own reader, which does not resample: the mixer would turn a short file with a damaged
// rate into gigabytes.
void CheckWav(const std::vector<Uint8>& bytes, const std::string& path) {
  SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
  if (!rw) throw LoadError(path, "file is empty");
  SDL_AudioSpec wav;
  Uint8* data = nullptr;
  Uint32 length = 0;
  if (!SDL_LoadWAV_RW(rw, 1, &wav, &data, &length)) throw LoadError(path, SDL_GetError());
  SDL_FreeWAV(data);
  if (wav.freq < kLowestRate) throw LoadError(path, "sample rate of " + std::to_string(wav.freq) + " Hz");
  const uint64_t frameBytes = std::max<uint64_t>(1, SDL_AUDIO_BITSIZE(wav.format) / 8 * wav.channels);
  const uint64_t decoded = length / frameBytes * kRate / static_cast<uint64_t>(wav.freq) * 4;
  if (decoded > kMostDecodedBytes) throw LoadError(path, "sound too long");
}

}  // namespace

void checkWav(SDL_RWops* file, const std::string& path) { CheckWav(ReadWav(file, path), path); }

Mix_Chunk* loadChunk(SDL_RWops* file, const std::string& path) {
  const std::vector<Uint8> bytes = ReadWav(file, path);
  CheckWav(bytes, path);
  Mix_Chunk* chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
  if (!chunk) throw LoadError(path, Mix_GetError());
  return chunk;
}

}  // namespace plat::sdl
