#include "platform/sdl/background_sound.h"

#include <SDL.h>

#include <future>

#include "platform/background.h"

namespace plat::sdl {

namespace {

class OpeningSoundDevice : public SoundDevice {
 public:
  explicit OpeningSoundDevice(std::function<std::unique_ptr<SoundDevice>()> open) {
    // Without a sound card the device falls back to the silent driver by setting the driver
    // hint, from the background thread, while this thread reads other hints. A hint set
    // there for the first time would be added to SDL's list of hints as this thread walks
    // it; set here first (to nothing, which changes nothing), it is only given a value.
    if (SDL_GetHint(SDL_HINT_AUDIODRIVER) == nullptr)
      SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, nullptr, SDL_HINT_DEFAULT);
    opened_ = RunInBackground([this, open = std::move(open)] { device_ = open(); });
  }
  ~OpeningSoundDevice() override {
    if (opened_.valid()) opened_.wait();
  }

  HRESULT SetCooperativeLevel(uintptr_t, DWORD) override { return D3D_OK; }

  SoundBufferPtr CreateSoundBufferFromFile(const std::string& path, DWORD flags) override {
    return device().CreateSoundBufferFromFile(path, flags);
  }

 private:
  SoundDevice& device() {
    opened_.get();  // the opening's own failure, if any, comes out here
    return *device_;
  }

  std::unique_ptr<SoundDevice> device_;
  std::shared_future<void> opened_;
};

}  // namespace

std::unique_ptr<SoundDevice> openSoundDeviceInBackground(std::function<std::unique_ptr<SoundDevice>()> open) {
  return std::make_unique<OpeningSoundDevice>(std::move(open));
}

}  // namespace plat::sdl
