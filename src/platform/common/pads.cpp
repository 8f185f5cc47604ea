#include "platform/pads.h"

namespace plat {

void PressPadKeys(const PadState& pad, const PadKeys& keys, uint8_t* state) {
  auto hold = [state](bool on, uint8_t key) {
    if (on && key != 0) state[key] = 0x80;
  };
  hold(pad.up || pad.stickY < -kStickDeadZone, keys.up);
  hold(pad.down || pad.stickY > kStickDeadZone, keys.down);
  hold(pad.left || pad.stickX < -kStickDeadZone, keys.left);
  hold(pad.right || pad.stickX > kStickDeadZone, keys.right);
  hold(pad.leftShoulder || pad.rightShoulder || pad.trigger >= kTriggerPoint, keys.boost);
  hold(pad.start, keys.start);
  hold(pad.back, keys.back);
  hold(pad.a, keys.a);
}

}  // namespace plat
