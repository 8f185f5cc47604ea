// A game controller that exists only in this process: SDL's virtual joystick with a
// standard controller's buttons and axes (SDL maps it as a game controller itself), whose
// inputs a test sets and which records the rumbles that reach it.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace pad_test {

class VirtualPad {
 public:
  VirtualPad() = default;
  VirtualPad(const VirtualPad&) = delete;
  VirtualPad& operator=(const VirtualPad&) = delete;
  ~VirtualPad() { Detach(); }

  // Plugs it in; its arrival is an event for whoever pumps SDL's events next.
  bool Attach(const char* name) {
    SDL_VirtualJoystickDesc d{};
    d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    d.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    d.naxes = SDL_CONTROLLER_AXIS_MAX;
    d.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    d.name = name;
    d.userdata = this;
    d.Rumble = [](void* self, Uint16 low, Uint16 high) {
      static_cast<VirtualPad*>(self)->rumbles.emplace_back(low, high);
      return 0;
    };
    const int index = SDL_JoystickAttachVirtualEx(&d);
    if (index < 0) return false;
    joystick_ = SDL_JoystickOpen(index);
    return joystick_ != nullptr;
  }

  // Pulls it out; its leaving is an event for whoever pumps next.
  void Detach() {
    if (joystick_ == nullptr) return;
    const SDL_JoystickID id = SDL_JoystickInstanceID(joystick_);
    SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
      if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    }
  }

  bool Attached() const { return joystick_ != nullptr; }
  // Inputs take effect at the next event pump, as a real controller's do.
  void Button(SDL_GameControllerButton b, bool down) {
    SDL_JoystickSetVirtualButton(joystick_, b, down ? 1 : 0);
  }
  void Axis(SDL_GameControllerAxis a, int16_t value) { SDL_JoystickSetVirtualAxis(joystick_, a, value); }
  // Everything back to rest.
  void Release() {
    for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
      Button(static_cast<SDL_GameControllerButton>(b), false);
    for (int a = 0; a < SDL_CONTROLLER_AXIS_MAX; ++a) Axis(static_cast<SDL_GameControllerAxis>(a), 0);
  }

  std::vector<std::pair<Uint16, Uint16>> rumbles;  // low and high frequency motors

 private:
  SDL_Joystick* joystick_ = nullptr;
};

}  // namespace pad_test
