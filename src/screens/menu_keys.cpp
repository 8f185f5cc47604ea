#include "screens/menu_keys.h"

namespace screens {

void MenuKeys::Read(const uint8_t* held, const uint8_t* pressed, uint32_t now) {
  for (Key& k : keys_) {
    const bool down = held[k.dik] != 0;
    // A press since the last read, or a key found down that was up then (a key held when a
    // screen opens after a match or the logo).
    const bool press = pressed[k.dik] != 0 || (down && !k.down);
    if (press) {
      k.step = true;
      k.repeats = down;
      k.repeatAt = now + kRepeatDelayMs;
    } else {
      k.step = down && k.repeats && static_cast<int32_t>(now - k.repeatAt) >= 0;
    }
    if (!down) k.repeats = false;
    k.down = down;
  }
}

bool MenuKeys::Step(uint8_t dik) const {
  for (const Key& k : keys_) {
    if (k.dik == dik) return k.step;
  }
  return false;
}

// Both leave this read's steps as they are: the screen that changed finishes its read.
void MenuKeys::CarryOver(uint32_t now) {
  for (Key& k : keys_) {
    if (!k.down) continue;
    k.repeats = true;
    k.repeatAt = now + kRepeatDelayMs;
  }
}

void MenuKeys::Forget() {
  for (Key& k : keys_) k.down = k.repeats = false;
}

}  // namespace screens
