// Counts the sound effects a game starts, so that the other machine can start them too: a
// sound device that hands out buffers which count their Play calls before passing them on.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "net/wire.h"
#include "platform/dsound.h"

namespace net {

class SoundTap : public plat::SoundDevice {
 public:
  explicit SoundTap(std::unique_ptr<plat::SoundDevice> inner) : inner_(std::move(inner)) {}

  plat::HRESULT SetCooperativeLevel(uintptr_t window, plat::DWORD level) override {
    return inner_->SetCooperativeLevel(window, level);
  }
  plat::SoundBufferPtr CreateSoundBufferFromFile(const std::string& path, plat::DWORD flags) override;

  // How often each effect was started (wrapping at 256).
  std::array<uint8_t, kEffectCount> started{};

 private:
  std::unique_ptr<plat::SoundDevice> inner_;
};

}  // namespace net
