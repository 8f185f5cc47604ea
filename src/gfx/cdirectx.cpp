#include "gfx/cdirectx.h"

#include <cstdio>

using namespace plat;

bool cdirectx::intialise(Platform& platform, uintptr_t hwnd, bool /*Fullscreen: always full screen*/) {
  try {
    Dx = &platform;
    d3dx = std::make_unique<D3DX8>();
    D3D = Dx;
    DI = Dx;
    Ds = Dx->CreateSoundDevice();
    Keyboard = DI->CreateKeyboard();
    if (!Ds || !Keyboard) return false;

    int32_t width = 800, height = 600;
    int32_t format = CHECKDISP(800, 600, 16);
    if (format < 1) {
      width = 640;
      height = 480;
      format = CHECKDISP(640, 480, 16);
      if (format < 1) {
        const char* text =
            "Your hardware does not appear to support"
            " 640x480 display modes in either 16 bit or 32 bit modes. Exiting...";
        std::fprintf(stderr, "vantor: %s\n", text);
        platform.MessageBox(text, "Error", MB_ICONINFORMATION);
        throw ProgramEnd{1};
      }
    }

    pp_ = D3DPRESENT_PARAMETERS{};
    pp_.BackBufferWidth = static_cast<uint32_t>(width);
    pp_.BackBufferHeight = static_cast<uint32_t>(height);
    pp_.BackBufferFormat = static_cast<D3DFORMAT>(format);
    pp_.BackBufferCount = 1;
    pp_.MultiSampleType = 0;
    pp_.SwapEffect = D3DSWAPEFFECT_COPY_VSYNC;
    pp_.hDeviceWindow = hwnd;
    pp_.Windowed = false;
    pp_.EnableAutoDepthStencil = true;
    pp_.AutoDepthStencilFormat = D3DFMT_D16;

    // From here on failures are ignored.
    devType_ = D3DDEVTYPE_HAL;
    if (D3D->GetDeviceCaps(D3DDEVTYPE_HAL, &caps_) == D3DERR_INVALIDDEVICE) {
      D3D->GetDeviceCaps(D3DDEVTYPE_REF, &caps_);
      devType_ = D3DDEVTYPE_REF;
    }
    behaviour_ = (caps_.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0 ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                                                                      : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    swidth = width;
    sheight = height;
    D3Ddevice = D3D->CreateDevice(devType_, behaviour_, pp_);
    Keyboard->SetCommonDataFormat(DIFORMAT_KEYBOARD);
    Keyboard->Acquire();
    Ds->SetCooperativeLevel(hwnd, DSSCL_NORMAL);
    return true;
  } catch (const ProgramEnd&) {
    throw;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vantor: start-up failed: %s\n", e.what());
    return false;
  }
}

HRESULT cdirectx::RESET() { return D3Ddevice ? D3Ddevice->Reset(pp_) : D3DERR_INVALIDCALL; }

int32_t cdirectx::CHECKDISP(int32_t width, int32_t height, int32_t bits) {
  for (const auto& mode : D3D->EnumAdapterModes()) {
    if (static_cast<int32_t>(mode.Width) == width && static_cast<int32_t>(mode.Height) == height) {
      if (bits == 32) return D3DFMT_X8R8G8B8;
      if (bits == 16) return static_cast<int32_t>(mode.Format);
    }
  }
  return 0;
}
