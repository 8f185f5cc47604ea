#include "screens/menu_common.h"

#include <array>
#include <cmath>

#include "platform/vbrt.h"

namespace screens {

void ReadKeys(Form1& f) {
  std::array<uint8_t, 256> pressed{};
  f.D.Keyboard->GetDeviceStateKeyboard(f.keyState.data());
  f.D.Keyboard->GetKeyPresses(pressed.data());
  f.menuKeys.Read(f.keyState.data(), pressed.data(), f.Now());
}

void EnterMenuScreen(Form1& f) {
  std::array<uint8_t, 256> pressed{};
  if (f.D.Keyboard) f.D.Keyboard->GetKeyPresses(pressed.data());
  f.menuKeys.CarryOver(f.Now());
}

double PickArtNumber() {
  // Re-seeding stirs the time into the generator's state instead of starting it afresh, so
  // the three numbers picked within one hundredth of a second still differ from each other.
  plat::Randomize();
  const auto r = static_cast<float>(plat::Rnd());
  return std::round(r * 3.0f + 1.0f);
}

}  // namespace screens
