#include "platform/sdl/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <limits.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/common/late_library.h"
#include "platform/common/wav_reader.h"

namespace plat::sdl {

namespace {

constexpr int kRate = 44100;
constexpr int kChunkSamples = 512;  // 11.6 ms of sound between a Play and the mix that has it
constexpr int kFirstChannels = 16;
// A sound that decodes to more than this (about 6 s of 44.1 kHz stereo) is decoded as it
// plays rather than held whole: the music tracks (33 to 38 s, 5.5 to 6.5 MiB once mixed),
// never the effects (2 s at most), which start many times a match and must cost nothing then.
constexpr uint64_t kLongestChunkBytes = 1u << 20;

// SDL2_mixer's functions, found in the library when the sound device opens (on the
// background thread, after the first frame's libraries are loaded).
struct MixerFunctions {
  decltype(&::Mix_OpenAudio) OpenAudio = Find<decltype(::Mix_OpenAudio)>("Mix_OpenAudio");
  decltype(&::Mix_CloseAudio) CloseAudio = Find<decltype(::Mix_CloseAudio)>("Mix_CloseAudio");
  decltype(&::Mix_QuerySpec) QuerySpec = Find<decltype(::Mix_QuerySpec)>("Mix_QuerySpec");
  decltype(&::Mix_AllocateChannels) AllocateChannels =
      Find<decltype(::Mix_AllocateChannels)>("Mix_AllocateChannels");
  decltype(&::Mix_QuickLoad_RAW) QuickLoad_RAW = Find<decltype(::Mix_QuickLoad_RAW)>("Mix_QuickLoad_RAW");
  decltype(&::Mix_FreeChunk) FreeChunk = Find<decltype(::Mix_FreeChunk)>("Mix_FreeChunk");
  decltype(&::Mix_HaltChannel) HaltChannel = Find<decltype(::Mix_HaltChannel)>("Mix_HaltChannel");
  decltype(&::Mix_Pause) Pause = Find<decltype(::Mix_Pause)>("Mix_Pause");
  decltype(&::Mix_Resume) Resume = Find<decltype(::Mix_Resume)>("Mix_Resume");
  decltype(&::Mix_Paused) Paused = Find<decltype(::Mix_Paused)>("Mix_Paused");
  decltype(&::Mix_Playing) Playing = Find<decltype(::Mix_Playing)>("Mix_Playing");
  decltype(&::Mix_PlayChannelTimed) PlayChannelTimed =
      Find<decltype(::Mix_PlayChannelTimed)>("Mix_PlayChannelTimed");
  decltype(&::Mix_Volume) Volume = Find<decltype(::Mix_Volume)>("Mix_Volume");
  decltype(&::Mix_RegisterEffect) RegisterEffect = Find<decltype(::Mix_RegisterEffect)>("Mix_RegisterEffect");

 private:
  template <class F>
  static F* Find(const char* name) {
    return MixerLibrary().Get<F>(name);
  }
};

const MixerFunctions& Mix() {
  static const MixerFunctions functions;
  return functions;
}

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
    try {
      Mix();
    } catch (const LoadError& e) {
      std::fprintf(stderr, "vantor: sound is off: %s\n", e.what());
      return;
    }
    if (!openAudio()) {
      std::fprintf(stderr, "vantor: no sound device (%s); trying the silent driver\n", SDL_GetError());
      SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
      if (!openAudio()) {
        std::fprintf(stderr, "vantor: sound is off: %s\n", SDL_GetError());
        return;
      }
    }
    open_ = true;
    static Uint8 zeros[4096];
    silence_ = Mix().QuickLoad_RAW(zeros, sizeof zeros);
    channels_ = Mix().AllocateChannels(kFirstChannels);
    for (int c = channels_ - 1; c >= 0; --c) free_.push_back(c);
  }

  ~Mixer() {
    if (open_) {
      Mix().HaltChannel(-1);
      for (auto& [path, loaded] : chunks_)
        if (loaded.chunk) Mix().FreeChunk(loaded.chunk);
      Mix().FreeChunk(silence_);
      Mix().CloseAudio();
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
      Mix().QuerySpec(&rate, &format, &channels);
      const uint64_t mixed = reader->frames() * static_cast<uint64_t>(rate) /
                             static_cast<uint64_t>(reader->audio().freq) *
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
      const int more = Mix().AllocateChannels(channels_ * 2);
      for (int c = more - 1; c >= channels_; --c) free_.push_back(c);
      channels_ = more;
    }
    if (free_.empty()) return -1;
    const int c = free_.back();
    free_.pop_back();
    Mix().Volume(c, MIX_MAX_VOLUME);
    return c;
  }

  void giveBack(int channel) {
    if (channel < 0) return;
    Mix().HaltChannel(channel);
    Mix().Resume(channel);
    free_.push_back(channel);
  }

 private:
  static bool openAudio() {
    if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    if (Mix().OpenAudio(kRate, MIX_DEFAULT_FORMAT, 2, kChunkSamples) == 0) return true;
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
      : mixer_(std::move(mixer)),
        chunk_(loaded.chunk),
        channel_(mixer_->takeChannel()),
        levels_(std::move(levels)) {
    if (loaded.stream && channel_ >= 0) {
      int rate = kRate, channels = 2;
      Uint16 format = MIX_DEFAULT_FORMAT;
      Mix().QuerySpec(&rate, &format, &channels);
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
    if (Mix().Playing(channel_) && !(stream_ && stream_->ended())) {
      if (Mix().Paused(channel_)) Mix().Resume(channel_);
      return D3D_OK;
    }
    if (stream_) {
      Mix().HaltChannel(channel_);  // which also takes the last play's effect off
      stream_->restart(looping);
      if (Mix().RegisterEffect(channel_, &WavStream::Effect, nullptr, stream_.get()) == 0 ||
          Mix().PlayChannelTimed(channel_, mixer_->silence(), -1, -1) < 0)
        return E_FAIL;
      return D3D_OK;
    }
    if (Mix().PlayChannelTimed(channel_, chunk_, looping ? -1 : 0, -1) < 0) return E_FAIL;
    return D3D_OK;
  }

  HRESULT Stop() override {
    silentPlaying_ = false;
    if (channel_ >= 0 && Mix().Playing(channel_)) Mix().Pause(channel_);
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
    return Mix().Playing(channel_) && !Mix().Paused(channel_) && !(stream_ && stream_->ended());
  }

 private:
  // The game's own volume times the player's level for music or effects.
  void applyLevels() override {
    if (channel_ < 0) return;
    const double gain = gain_ * (levels_ ? levels_->factor(music_) : 1.0);
    Mix().Volume(channel_, static_cast<int>(std::lround(MIX_MAX_VOLUME * gain)));
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
  // As SDL2_mixer's own WAV loading converts, to the opened mixer's format, in place in one
  // buffer: the file's sound is decoded into it a piece at a time.
  int rate = kRate, channels = 2;
  Uint16 format = MIX_DEFAULT_FORMAT;
  Mix().QuerySpec(&rate, &format, &channels);
  const SDL_AudioSpec& audio = reader.audio();
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, audio.format, audio.channels, audio.freq, format, static_cast<Uint8>(channels),
                        rate) < 0)
    throw LoadError(reader.name(), std::string("cannot convert sound: ") + SDL_GetError());
  const uint64_t bytes = reader.decodedBytes();  // as counted when the file was checked
  if (bytes * static_cast<uint64_t>(cvt.len_mult) >= static_cast<uint64_t>(INT_MAX))
    throw LoadError(reader.name(), "too long to hold decoded");
  cvt.buf =
      static_cast<Uint8*>(SDL_calloc(1, static_cast<size_t>(bytes) * static_cast<size_t>(cvt.len_mult) + 1));
  if (cvt.buf == nullptr) throw std::bad_alloc();
  uint64_t at = 0;
  try {
    std::vector<Uint8> piece;
    reader.rewind();
    while (at < bytes && reader.read(piece)) {
      const uint64_t n = std::min<uint64_t>(piece.size(), bytes - at);
      std::memcpy(cvt.buf + at, piece.data(), static_cast<size_t>(n));
      at += n;
      piece.clear();
    }
  } catch (...) {
    SDL_free(cvt.buf);
    throw;
  }
  cvt.len = static_cast<int>(at / reader.frameBytes() * reader.frameBytes());
  auto* chunk = static_cast<Mix_Chunk*>(SDL_malloc(sizeof(Mix_Chunk)));
  if (chunk == nullptr) {
    SDL_free(cvt.buf);
    throw std::bad_alloc();
  }
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
      stream_(SDL_NewAudioStream(reader_->audio().format, reader_->audio().channels, reader_->audio().freq,
                                 format, static_cast<Uint8>(channels), rate)) {
  if (stream_ == nullptr)
    throw LoadError(reader_->name(), std::string("cannot convert sound: ") + SDL_GetError());
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
