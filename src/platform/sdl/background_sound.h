// The sound device opened on the background thread: finding and opening the machine's
// sound output takes from a few to over a hundred milliseconds (120 ms on a machine without
// a sound card, which tries the real drivers before the silent one), and the first frame
// plays nothing.
#pragma once

#include <functional>
#include <memory>

#include "platform/dsound.h"

namespace plat::sdl {

// The device `open` makes, made on the background thread once the first frame is shown (or
// when the first buffer is made, if that comes first). Its first buffer waits for it; the
// cooperative level, which the mixer has no use for, is answered at once.
std::unique_ptr<SoundDevice> openSoundDeviceInBackground(std::function<std::unique_ptr<SoundDevice>()> open);

}  // namespace plat::sdl
