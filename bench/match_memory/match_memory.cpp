// A whole one-player match for its peak resident memory: the real face of the platform
// (SDL window system and keyboard, the SDL2_mixer sound device with its decoded files, the
// game's files read and decoded) with the recording device, recording off, in place of the
// OpenGL device, and a virtual clock that each Present moves on by one 60 Hz frame, so that
// three minutes of play take a few seconds. A scripted right player follows the ball.
// Prints the frames played, the score and the peak resident memory, at the end and at the
// match's 30th frame, then ends.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "app/Form1.h"
#include "platform/app_path.h"
#include "platform/platform.h"
#include "platform/testing/test_platform.h"

namespace {

// The right player: lines his racket up with the ball, a little off centre, goes for it on
// his half and otherwise falls back home.
void RightPlayer(const Form1& f, uint32_t now, uint8_t* keys) {
  std::fill(keys, keys + 256, 0);
  const double aim = (now / 7000) % 2 == 0 ? 0.25 : -0.25;
  const double centre = f.rRacket.cposz + 0.5 + aim;
  const double bx = f.ball.cposx, bz = f.ball.cposz;
  if (bz < centre - 0.05) keys[plat::DIK_UP] = 0x80;
  if (bz > centre + 0.05) keys[plat::DIK_DOWN] = 0x80;
  if (bx < 0 && bx > f.rRacket.cposx + 0.2) {
    keys[plat::DIK_LEFT] = 0x80;
  } else if (f.rRacket.cposx > -4) {
    keys[plat::DIK_RIGHT] = 0x80;
  }
}

class ScriptedKeyboard : public plat::KeyboardDevice {
 public:
  explicit ScriptedKeyboard(std::function<void(uint8_t*)> script) : script_(std::move(script)) {}
  plat::HRESULT SetCommonDataFormat(plat::DWORD) override { return plat::D3D_OK; }
  plat::HRESULT Acquire() override { return plat::D3D_OK; }
  plat::HRESULT GetDeviceStateKeyboard(uint8_t* state) override {
    script_(state);
    return plat::D3D_OK;
  }

 private:
  std::function<void(uint8_t*)> script_;
};

// The real face, but for the device and the clock.
class HeadlessRealPlatform : public plat::Platform {
 public:
  explicit HeadlessRealPlatform(std::unique_ptr<plat::Platform> real) : real_(std::move(real)) {}
  void ShowWindow(const std::string& caption) override { real_->ShowWindow(caption); }
  uintptr_t WindowHandle() const override { return real_->WindowHandle(); }
  uint32_t GetTickCount() override { return clock_.now; }
  void PumpEvents(plat::WindowEventSink& sink) override { real_->PumpEvents(sink); }
  void EnableTextInput(bool on) override { real_->EnableTextInput(on); }
  void MessageBox(const std::string& text, const std::string& caption, plat::DWORD flags) override {
    real_->MessageBox(text, caption, flags);
  }
  std::string AppFolder() const override { return real_->AppFolder(); }
  std::vector<plat::D3DDISPLAYMODE> EnumAdapterModes() override { return real_->EnumAdapterModes(); }
  plat::HRESULT GetDeviceCaps(plat::D3DDEVTYPE type, plat::D3DCAPS8* caps) override {
    return real_->GetDeviceCaps(type, caps);
  }
  std::unique_ptr<plat::Device> CreateDevice(plat::D3DDEVTYPE, plat::DWORD,
                                             const plat::D3DPRESENT_PARAMETERS& params) override {
    auto device = std::make_unique<plat::testing::RecordingDevice>(&clock_);  // its Present moves the clock
    device->params = params;
    device->recording = false;
    return device;
  }
  std::unique_ptr<plat::KeyboardDevice> CreateKeyboard() override {
    return std::make_unique<ScriptedKeyboard>([this](uint8_t* keys) {
      if (form != nullptr) {
        RightPlayer(*form, clock_.now, keys);
      } else {
        std::fill(keys, keys + 256, 0);
      }
    });
  }
  const Form1* form = nullptr;
  std::unique_ptr<plat::SoundDevice> CreateSoundDevice() override { return real_->CreateSoundDevice(); }

 private:
  std::unique_ptr<plat::Platform> real_;
  plat::testing::TestPlatform clock_;
};

// The peak so far is noted here too: what the rest of the match adds to it.
constexpr long kEarlyFrames = 30;

long StatusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(status, line)) {
    if (line.rfind(prefix, 0) == 0) return std::atol(line.c_str() + prefix.size());
  }
  return 0;
}

}  // namespace

int main(int /*argc*/, char** argv) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  HeadlessRealPlatform platform(plat::CreateSdlPlatform(argv[0]));
  plat::SetAppPath(platform.AppFolder());
  long frames = 0, earlyKiB = 0;
  int16_t left = 0, right = 0;
  try {
    Form1 form(platform);
    platform.form = &form;
    form.Startup();
    if (!form.deviceReady) return 1;
    // As the level screen's Play starts a match.
    for (plat::Timer* t : {&form.Timer2, &form.Timer3, &form.Timer5}) form.EnableTimer(*t, false);
    form.onePlayer = true;
    form.level = 2;
    form.RName = "ALICE";
    form.rRacketIndex = form.lRacketIndex = form.ballIndex = 1;
    form.Game_Load();
    form.screenState = "";
    while (form.screenState.empty() && frames < 60 * 60 * 10) {
      form.Pass();
      ++frames;
      if (frames == kEarlyFrames) earlyKiB = StatusKiB("VmHWM");
      if (form.screenState.empty()) {  // the after-match screen keeps its own copy
        left = form.ball.LScore;
        right = form.ball.RScore;
      }
    }
    if (form.screenState != "FRM_AFTER") return 2;
    for (int i = 0; i < 60; ++i) form.Pass();  // the after-match screen
  } catch (const plat::ProgramEnd& end) {
    return end.code == 0 ? 3 : end.code;
  }
  std::printf("frames %ld\nscore %d:%d\nVmHWM_KiB %ld\nearly_VmHWM_KiB %ld\n", frames, left, right,
              StatusKiB("VmHWM"), earlyKiB);
  return 0;
}
