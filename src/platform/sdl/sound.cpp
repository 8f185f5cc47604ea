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

#include "platform/common/wav_reader.h"

namespace plat::sdl {

namespace {

constexpr int kRate = 44100;
constexpr int kChunkSamples = 1024;
constexpr int kFirstChannels = 16;
// A sound that decodes to more than this (about 95 s of 44.1 kHz stereo; the game's longest
// track is 40 s) is decoded as it plays rather than held whole.
constexpr uint64_t kLongestChunkBytes = 16u << 20;

// What a file holds once loaded: its decoded sound, or (a long track) the checked file that
// each buffer reads again as it plays. Neither when the device is silent.
struct Loaded {
  Mix_Chunk* chunk = nullptr;
  std::unique_ptr<WavReader> stream;
};

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
    static Uint8 zeros[4096];
    silence_ = Mix_QuickLoad_RAW(zeros, sizeof zeros);
    channels_ = Mix_AllocateChannels(kFirstChannels);
    for (int c = channels_ - 1; c >= 0; --c) free_.push_back(c);
  }

  ~Mixer() {
    if (open_) {
      Mix_HaltChannel(-1);
      for (auto& [path, loaded] : chunks_)
        if (loaded.chunk) Mix_FreeChunk(loaded.chunk);
      Mix_FreeChunk(silence_);
      Mix_CloseAudio();
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  bool open() const { return open_; }

  // The loaded file; reads and checks it only the first time.
  const Loaded& load(const std::string& path) {
    if (auto it = chunks_.find(path); it != chunks_.end()) return it->second;
    std::unique_ptr<WavReader> reader = WavReader::Open(path);
    Loaded loaded;
    if (open_) {
      int rate = kRate, channels = 2;
      Uint16 format = MIX_DEFAULT_FORMAT;
      Mix_QuerySpec(&rate, &format, &channels);
      const uint64_t mixed = reader->frames() * static_cast<uint64_t>(rate) / static_cast<uint64_t>(reader->audio().freq) *
                             static_cast<uint64_t>(SDL_AUDIO_BITSIZE(format) / 8 * channels);
      if (mixed > kLongestChunkBytes || reader->decodedBytes() > kLongestChunkBytes) {
        loaded.stream = std::move(reader);
      } else {
        loaded.chunk = loadChunk(*reader);
      }
    }
    return chunks_.emplace(path, std::move(loaded)).first->second;
  }

  // A chunk of silence, looped on a channel whose sound a stream writes in.
  Mix_Chunk* silence() const { return silence_; }

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
  std::map<std::string, Loaded> chunks_;
  Mix_Chunk* silence_ = nullptr;
};

// One voice. Stop keeps the position (as DirectSound does); Play goes on from there. A long
// track is decoded as it plays, into a channel that loops silence.
class MixerBuffer : public SoundBuffer, private SoundLevels::Voice {
 public:
  MixerBuffer(std::shared_ptr<Mixer> mixer, const Loaded& loaded, std::shared_ptr<SoundLevels> levels)
      : mixer_(std::move(mixer)), chunk_(loaded.chunk), channel_(mixer_->takeChannel()), levels_(std::move(levels)) {
    if (loaded.stream && channel_ >= 0) {
      int rate = kRate, channels = 2;
      Uint16 format = MIX_DEFAULT_FORMAT;
      Mix_QuerySpec(&rate, &format, &channels);
      try {
        stream_ = std::make_unique<WavStream>(loaded.stream->Reopen(), rate, format, channels);
      } catch (...) {  // the file is gone since it was loaded
        mixer_->giveBack(channel_);
        throw;
      }
    }
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
    if (channel_ < 0 || (!chunk_ && !stream_)) {
      silentPlaying_ = looping;
      return D3D_OK;
    }
    if (Mix_Playing(channel_) && !(stream_ && stream_->ended())) {
      if (Mix_Paused(channel_)) Mix_Resume(channel_);
      return D3D_OK;
    }
    if (stream_) {
      Mix_HaltChannel(channel_);  // which also takes the last play's effect off
      stream_->restart(looping);
      if (Mix_RegisterEffect(channel_, &WavStream::Effect, nullptr, stream_.get()) == 0 ||
          Mix_PlayChannel(channel_, mixer_->silence(), -1) < 0)
        return E_FAIL;
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
    if (channel_ < 0 || (!chunk_ && !stream_)) return silentPlaying_;
    return Mix_Playing(channel_) && !Mix_Paused(channel_) && !(stream_ && stream_->ended());
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
  std::unique_ptr<WavStream> stream_;
  bool silentPlaying_ = false;
};

class MixerSoundDevice : public SoundDevice {
 public:
  explicit MixerSoundDevice(std::shared_ptr<SoundLevels> levels)
      : mixer_(std::make_shared<Mixer>()), levels_(std::move(levels)) {}

  HRESULT SetCooperativeLevel(uintptr_t, DWORD) override { return D3D_OK; }

  SoundBufferPtr CreateSoundBufferFromFile(const std::string& path, DWORD) override {
    return std::make_unique<MixerBuffer>(mixer_, mixer_->load(path), levels_);
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

Mix_Chunk* loadChunk(WavReader& reader) {
  std::vector<Uint8> pcm;
  reader.rewind();
  while (reader.read(pcm)) {
  }
  // As SDL2_mixer's own WAV loading converts, to the opened mixer's format.
  int rate = kRate, channels = 2;
  Uint16 format = MIX_DEFAULT_FORMAT;
  Mix_QuerySpec(&rate, &format, &channels);
  const SDL_AudioSpec& audio = reader.audio();
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, audio.format, audio.channels, audio.freq, format, static_cast<Uint8>(channels), rate) < 0)
    throw LoadError(reader.name(), std::string("cannot convert sound: ") + SDL_GetError());
  cvt.len = static_cast<int>(pcm.size() / reader.frameBytes() * reader.frameBytes());
  cvt.buf = static_cast<Uint8*>(SDL_calloc(1, static_cast<size_t>(cvt.len) * static_cast<size_t>(cvt.len_mult) + 1));
  auto* chunk = static_cast<Mix_Chunk*>(SDL_malloc(sizeof(Mix_Chunk)));
  if (cvt.buf == nullptr || chunk == nullptr) {
    SDL_free(cvt.buf);
    SDL_free(chunk);
    throw std::bad_alloc();
  }
  if (cvt.len > 0) std::memcpy(cvt.buf, pcm.data(), static_cast<size_t>(cvt.len));
  cvt.len_cvt = cvt.len;
  if (cvt.needed && SDL_ConvertAudio(&cvt) < 0) {
    SDL_free(cvt.buf);
    SDL_free(chunk);
    throw std::bad_alloc();
  }
  chunk->allocated = 1;  // Mix_FreeChunk frees the sound with SDL_free
  chunk->abuf = cvt.buf;
  chunk->alen = static_cast<Uint32>(cvt.len_cvt);
  chunk->volume = MIX_MAX_VOLUME;
  return chunk;
}

WavStream::WavStream(std::unique_ptr<WavReader> reader, int rate, Uint16 format, int channels)
    : reader_(std::move(reader)),
      silence_(SDL_AUDIO_ISSIGNED(format) ? 0 : 0x80),
      stream_(SDL_NewAudioStream(reader_->audio().format, reader_->audio().channels, reader_->audio().freq, format,
                                 static_cast<Uint8>(channels), rate)) {
  if (stream_ == nullptr) throw LoadError(reader_->name(), std::string("cannot convert sound: ") + SDL_GetError());
}

WavStream::~WavStream() { SDL_FreeAudioStream(stream_); }

void WavStream::restart(bool looping) {
  std::lock_guard<std::mutex> lock(mutex_);
  reader_->rewind();
  SDL_AudioStreamClear(stream_);
  looping_ = looping;
  flushed_ = false;
  ended_ = false;
}

void WavStream::fill(Uint8* out, int bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  int got = 0;
  while (got < bytes && !ended_) {
    const int n = SDL_AudioStreamGet(stream_, out + got, bytes - got);
    if (n > 0) got += n;
    if (got >= bytes) break;
    if (flushed_ || n < 0) {
      ended_ = true;
      break;
    }
    pcm_.clear();
    bool more = false;
    try {
      more = reader_->read(pcm_);
    } catch (const LoadError&) {  // the file changed since it was checked: its end
      looping_ = false;
    }
    if (more) {
      SDL_AudioStreamPut(stream_, pcm_.data(), static_cast<int>(pcm_.size()));
    } else if (looping_ && reader_->frames() > 0) {
      reader_->rewind();
    } else {
      SDL_AudioStreamFlush(stream_);
      flushed_ = true;
    }
  }
  std::memset(out + got, silence_, static_cast<size_t>(bytes - got));
}

void WavStream::Effect(int, void* out, int bytes, void* self) {
  static_cast<WavStream*>(self)->fill(static_cast<Uint8*>(out), bytes);
}

}  // namespace plat::sdl
