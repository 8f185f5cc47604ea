// How the left racket answers its keys in a two-player match: one frame's step in each
// direction the keys ask for, within the left player's zone, and the shift key's speed
// toggle. The host applies it to the racket it simulates; a joining player's machine applies
// the same rule to the racket it predicts, so both agree step for step.
#pragma once

#include <cstdint>

namespace match {

struct LeftKeys {
  bool up = false;     // W: towards -z
  bool down = false;   // S: towards +z
  bool centre = false; // D: towards -x, the middle line
  bool back = false;   // A: towards +x, the player's own end
  bool boost = false;  // Left Shift
};

// Directions the racket's position forbids this frame (the computer obeys them too).
enum LeftBlocked : uint8_t { kBlockedMinusZ = 1, kBlockedPlusZ = 2, kBlockedMinusX = 4, kBlockedPlusX = 8 };

// One frame of the left player's keys on `l` (anything with cposx, cposz, mLength, mWidth,
// rspeed and fMove(fps, xdir, zdir)); `movable` is false in a one-player match, where the
// keys move nothing. Every test looks at the racket where it stands at that moment. Returns
// the LeftBlocked directions.
template <class Racket>
uint8_t StepLeftRacket(Racket& l, int16_t fps, bool movable, const LeftKeys& k, bool& boostLatch) {
  uint8_t blocked = 0;
  if ((l.cposx <= 4 || l.cposz >= -2.5) && l.cposz >= -3) {
    if (movable && k.up) l.fMove(fps, 0, -1);
  } else {
    blocked |= kBlockedMinusZ;
  }
  if (!(l.cposx > 4 && l.cposz + l.mLength > 2.5) && l.cposz + l.mLength <= 3) {
    if (movable && k.down) l.fMove(fps, 0, 1);
  } else {
    blocked |= kBlockedPlusZ;
  }
  if (l.cposx + l.mWidth >= 2.5) {
    if (movable && k.centre) l.fMove(fps, -1, 0);
  } else {
    blocked |= kBlockedMinusX;
  }
  if ((l.cposx <= 4 || l.cposz >= -2.5) && !(l.cposx > 4 && l.cposz + l.mLength > 2.5) && l.cposx <= 4.3) {
    if (movable && k.back) l.fMove(fps, 1, 0);
  } else {
    blocked |= kBlockedPlusX;
  }
  // Every frame with the key down raises the speed by 3 or takes it back.
  if (k.boost) {
    l.rspeed += boostLatch ? -3 : 3;
    boostLatch = !boostLatch;
  }
  return blocked;
}

}  // namespace match
