// DirectSound 8 stand-in: secondary buffers made from WAV files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/d3d8.h"

namespace plat {

constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x20;
constexpr DWORD DSBCAPS_CTRLPAN = 0x40;
constexpr DWORD DSBCAPS_CTRLVOLUME = 0x80;
constexpr DWORD DSBPLAY_LOOPING = 1;
constexpr DWORD DSSCL_NORMAL = 1;

// DirectSound volume (hundredths of a decibel, 0 … −10000) as a linear gain.
double VolumeToGain(int32_t hundredthsOfDb);

// One buffer is one voice: Play on a playing buffer lets it go on.
class SoundBuffer {
 public:
  virtual ~SoundBuffer() = default;
  virtual HRESULT Play(DWORD flags) = 0;  // 0 once, DSBPLAY_LOOPING looping
  virtual HRESULT Stop() = 0;
  virtual HRESULT SetVolume(int32_t hundredthsOfDb) = 0;
  virtual bool IsPlaying() const = 0;
};
using SoundBufferPtr = std::unique_ptr<SoundBuffer>;

class SoundDevice {
 public:
  virtual ~SoundDevice() = default;
  virtual HRESULT SetCooperativeLevel(uintptr_t window, DWORD level) = 0;
  // Decoded files are cached by path: a second buffer from the same file reads nothing.
  // Throws LoadError naming the file when it is missing or not a WAV.
  virtual SoundBufferPtr CreateSoundBufferFromFile(const std::string& path, DWORD flags) = 0;
};

}  // namespace plat
