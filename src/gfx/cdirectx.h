// The device, D3DX, keyboard and sound root object of the game.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/d3dx8.h"
#include "platform/platform.h"

class cdirectx {
 public:
  plat::Platform* Dx = nullptr;   // the platform root object
  plat::Platform* D3D = nullptr;  // Direct3D, DirectInput and the window system live there too
  plat::Platform* DI = nullptr;
  std::unique_ptr<plat::D3DX8> d3dx;
  std::unique_ptr<plat::Device> D3Ddevice;
  std::unique_ptr<plat::SoundDevice> Ds;
  std::unique_ptr<plat::KeyboardDevice> Keyboard;
  double swidth = 0;
  double sheight = 0;

  // Brings up device, keyboard and sound. Returns false when a step before device creation
  // failed; throws plat::ProgramEnd after its message box when no usable display mode exists.
  bool intialise(plat::Platform& platform, uintptr_t hwnd, bool Fullscreen);
  plat::HRESULT RESET();

  const plat::D3DPRESENT_PARAMETERS& PresentParameters() const { return pp_; }
  plat::D3DDEVTYPE DeviceType() const { return devType_; }
  plat::DWORD Behaviour() const { return behaviour_; }

 private:
  int32_t CHECKDISP(int32_t width, int32_t height, int32_t bits);

  plat::D3DCAPS8 caps_{};
  plat::D3DPRESENT_PARAMETERS pp_{};
  plat::D3DDEVTYPE devType_ = plat::D3DDEVTYPE_HAL;
  plat::DWORD behaviour_ = 0;
};
