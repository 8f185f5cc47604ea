// How the menu screens take Up, Down and Return: one press is one step, however long the key
// is held and however briefly; a key still held kRepeatDelayMs after its press steps again at
// every key read from then on (the menus' own rate, about twelve a second).
#pragma once

#include <array>
#include <cstdint>

#include "platform/dinput.h"

namespace screens {

constexpr uint32_t kRepeatDelayMs = 400;

class MenuKeys {
 public:
  // One key read: `held` the keyboard's state now, `pressed` the keys pressed since the last
  // read (released again or not), `now` in milliseconds.
  void Read(const uint8_t* held, const uint8_t* pressed, uint32_t now);
  // Whether this read steps with `dik` (Up, Down or Return; false for any other key).
  bool Step(uint8_t dik) const;
  // A new menu screen opens at `now`: a key held over from the last one is no press of its
  // own there; it acts once pressed again, or held for kRepeatDelayMs more.
  void CarryOver(uint32_t now);
  // The menus are left (a match starts): what was held there is forgotten, so a key held
  // when the next menu screen opens counts as pressed at its first read.
  void Forget();

 private:
  struct Key {
    uint8_t dik;
    bool down = false;     // at the last read
    bool step = false;     // this read steps
    bool repeats = false;  // held since its press: steps again once repeatAt has come
    uint32_t repeatAt = 0;
  };
  std::array<Key, 3> keys_{{{plat::DIK_UP}, {plat::DIK_DOWN}, {plat::DIK_RETURN}}};
};

}  // namespace screens
