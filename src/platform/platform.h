// The platform seam: everything the game asks of the machine goes through Platform.
// Two faces implement it: the real one on SDL2/OpenGL/SDL2_mixer (sdl/) and the headless,
// deterministic test face (testing/).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3d8.h"
#include "platform/dinput.h"
#include "platform/dsound.h"

namespace plat {

// Receives what the window system delivers while it is pumped.
class WindowEventSink {
 public:
  virtual ~WindowEventSink() = default;
  virtual void OnTextInput(const char* utf8) = 0;  // one or more typed characters
  virtual void OnBackspace() = 0;
  virtual void OnCloseRequest() = 0;  // the window's close button
  // A game controller was pulled out.
  virtual void OnControllerRemoved() {}
};

// The keys one game controller presses on the keyboard: a DIK code for each of its
// inputs, 0 for none.
struct PadKeys {
  uint8_t up = 0, down = 0, left = 0, right = 0;  // D-pad and left stick
  uint8_t boost = 0;                              // right trigger, either shoulder button
  uint8_t start = 0, back = 0, a = 0;             // Start, Back (Select), A
};
// The keys of the first controller plugged in, of the second, and of every further one.
using PadLayout = std::array<PadKeys, 3>;

// Thrown to end the program at once (F10, an exit choice, the window's close button, a
// fatal start-up error); main() catches it, releases everything and exits with `code`.
struct ProgramEnd {
  int code = 0;
};

// The player's own choices for the window and the sound, none of them a rule of the game.
// The defaults are the game as it always was: full screen, every sound at the level the
// game gives it.
struct Preferences {
  bool fullscreen = true;
  int windowWidth = 800, windowHeight = 600;  // the window's size when not full screen
  int musicVolume = 100, effectsVolume = 100;  // percent, on top of the game's own levels
  bool muted = false;
  // Samples a pixel for smooth edges (1: none). Fewer draw a frame that changes everywhere
  // (the camera's fly-in, a new screen) faster where OpenGL has no graphics card behind it.
  int samples = 4;
  bool operator==(const Preferences&) const = default;
};

constexpr DWORD MB_ICONINFORMATION = 0x40;
constexpr DWORD MB_ICONERROR = 0x10;

class Platform {
 public:
  virtual ~Platform() = default;

  // Window system.
  virtual void ShowWindow(const std::string& caption) = 0;
  virtual uintptr_t WindowHandle() const = 0;
  virtual uint32_t GetTickCount() = 0;  // monotonic milliseconds
  // Processes pending window events (typed text, Backspace, close) into `sink`.
  virtual void PumpEvents(WindowEventSink& sink) = 0;
  virtual void EnableTextInput(bool on) = 0;
  virtual void MessageBox(const std::string& text, const std::string& caption, DWORD flags) = 0;
  // Folder of the executable and its data folders, ending without a separator.
  virtual std::string AppFolder() const = 0;

  // Direct3D root object.
  virtual std::vector<D3DDISPLAYMODE> EnumAdapterModes() = 0;
  virtual HRESULT GetDeviceCaps(D3DDEVTYPE type, D3DCAPS8* caps) = 0;
  virtual std::unique_ptr<Device> CreateDevice(D3DDEVTYPE type, DWORD behaviour,
                                               const D3DPRESENT_PARAMETERS& params) = 0;
  // DirectInput and DirectSound root objects.
  virtual std::unique_ptr<KeyboardDevice> CreateKeyboard() = 0;
  virtual std::unique_ptr<SoundDevice> CreateSoundDevice() = 0;

  // Game controllers press keys through the keyboard device: `layout` says which, from now
  // on (until it is first called, none). Rumble shakes controller `pad` (0 the first
  // plugged in) with `strength` 0 … 1 for `ms` milliseconds, when it is there and can.
  virtual void SetPadLayout(const PadLayout& /*layout*/) {}
  virtual void Rumble(int /*pad*/, float /*strength*/, uint32_t /*ms*/) {}
  // The frame-rate readout in a corner of the picture (F3 switches it too); off unless asked.
  virtual void ShowFrameRate(bool /*on*/) {}

  // The player's choices. Given before ShowWindow they hold from the start. The real face
  // changes them itself when the player toggles full screen (F11, Alt+Enter), resizes the
  // window or mutes the sound (M), and tells `onChange` from PumpEvents. A face without a
  // window or sound of its own keeps them and changes nothing.
  virtual void SetPreferences(const Preferences& preferences) { preferences_ = preferences; }
  virtual Preferences GetPreferences() const { return preferences_; }
  void OnPreferencesChange(std::function<void(const Preferences&)> onChange) {
    preferencesChanged_ = std::move(onChange);
  }

 protected:
  void ReportPreferences() {
    if (preferencesChanged_) preferencesChanged_(preferences_);
  }
  Preferences preferences_;

 private:
  std::function<void(const Preferences&)> preferencesChanged_;
};

// The real face (SDL2 window, OpenGL device, SDL2_mixer sound). `argv0` locates the data.
std::unique_ptr<Platform> CreateSdlPlatform(const char* argv0);

// The real face shows a message box in a process of its own, the program started again
// with these arguments, so that a stop signal can close it. main() gives its arguments here
// first: for such a start this shows the box and returns the exit code, otherwise -1.
int RunMessageBoxProcess(int argc, char** argv);

}  // namespace plat
