#include "net/sound_tap.h"

#include <string_view>

namespace net {

namespace {

class CountingBuffer : public plat::SoundBuffer {
 public:
  CountingBuffer(plat::SoundBufferPtr inner, uint8_t* counter) : inner_(std::move(inner)), counter_(counter) {}
  plat::HRESULT Play(plat::DWORD flags) override {
    if (counter_ != nullptr && flags == 0) ++*counter_;
    return inner_->Play(flags);
  }
  plat::HRESULT Stop() override { return inner_->Stop(); }
  plat::HRESULT SetVolume(int32_t v) override { return inner_->SetVolume(v); }
  bool IsPlaying() const override { return inner_->IsPlaying(); }

 private:
  plat::SoundBufferPtr inner_;
  uint8_t* counter_;
};

int EffectOf(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  const std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
  if (file == "tcoll.wav") return kFxTableHit;
  if (file == "rcoll.wav") return kFxRacketHit;
  if (file == "pocket.wav") return kFxPocket;
  if (file == "spring.wav") return kFxSpring;
  if (file == "goal.wav") return kFxGoal;
  return -1;
}

}  // namespace

plat::SoundBufferPtr SoundTap::CreateSoundBufferFromFile(const std::string& path, plat::DWORD flags) {
  plat::SoundBufferPtr inner = inner_->CreateSoundBufferFromFile(path, flags);
  const int effect = EffectOf(path);
  if (effect < 0) return inner;
  return std::make_unique<CountingBuffer>(std::move(inner), &started[static_cast<size_t>(effect)]);
}

}  // namespace net
