// A game controller read as keys: the state of the inputs the game uses, and the keys that
// state holds down by a PadLayout (platform.h). Shared by both faces' keyboard devices.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace plat {

struct PadState {
  bool up = false, down = false, left = false, right = false;  // D-pad
  bool a = false, start = false, back = false;
  bool leftShoulder = false, rightShoulder = false;
  int16_t stickX = 0, stickY = 0;  // left stick, -32768 … 32767, +y towards the player
  int16_t trigger = 0;             // right trigger, 0 … 32767
};

// A stick pushed further than this along an axis holds that direction's key: about a
// third of its travel, so that a stick pushed up does not also hold left or right.
constexpr int kStickDeadZone = 12000;
// The right trigger holds the boost key once pulled half way.
constexpr int kTriggerPoint = 16384;

// Sets state[k] = 0x80 for every key `pad` holds down by `keys`; other bytes stay.
void PressPadKeys(const PadState& pad, const PadKeys& keys, uint8_t* state);

// The keys of the controller in slot `slot` (0 the first plugged in).
inline const PadKeys& KeysOfSlot(const PadLayout& layout, int slot) { return layout[slot < 2 ? slot : 2]; }

}  // namespace plat
