#include "platform/sdl/background_sound.h"

#include <SDL.h>

#include <future>

#include "platform/background.h"

namespace plat::sdl {

namespace {

class OpeningSoundDevice : public SoundDevice {
 public:
  explicit OpeningSoundDevice(std::function<std::unique_ptr<SoundDevice>()> open)
      : opening_(std::make_shared<Opening>()) {
    // Without a sound card the device falls back to the silent driver by setting the driver
    // hint, from the background thread, while this thread reads other hints. A hint set
    // there for the first time would be added to SDL's list of hints as this thread walks
    // it; set here first (to nothing, which changes nothing), it is only given a value.
    if (SDL_GetHint(SDL_HINT_AUDIODRIVER) == nullptr)
      SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, nullptr, SDL_HINT_DEFAULT);
    opening_->open = std::move(open);
    // Opened once the first frame is shown (the mixer's library and its decoders are loaded
    // then), or before, when a sound is made first.
    AfterFirstFrame([weak = std::weak_ptr<Opening>(opening_)] {
      if (auto opening = weak.lock()) opening->Start();
    });
  }
  ~OpeningSoundDevice() override {
    if (opening_->opened.valid()) opening_->opened.wait();
  }

  HRESULT SetCooperativeLevel(uintptr_t, DWORD) override { return D3D_OK; }

  SoundBufferPtr CreateSoundBufferFromFile(const std::string& path, DWORD flags) override {
    return device().CreateSoundBufferFromFile(path, flags);
  }

 private:
  // Started and waited for on the thread that made the device.
  struct Opening {
    std::function<std::unique_ptr<SoundDevice>()> open;
    std::shared_future<void> opened;
    std::unique_ptr<SoundDevice> device;
    void Start() {
      if (!opened.valid()) opened = RunInBackground([this] { device = open(); });
    }
  };

  SoundDevice& device() {
    opening_->Start();
    opening_->opened.get();  // the opening's own failure, if any, comes out here
    return *opening_->device;
  }

  std::shared_ptr<Opening> opening_;
};

}  // namespace

std::unique_ptr<SoundDevice> openSoundDeviceInBackground(std::function<std::unique_ptr<SoundDevice>()> open) {
  return std::make_unique<OpeningSoundDevice>(std::move(open));
}

}  // namespace plat::sdl
