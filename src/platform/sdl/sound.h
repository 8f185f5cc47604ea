// DirectSound on SDL2_mixer: one mixer channel per buffer, decoded files cached by path.
#pragma once

#include <memory>

#include "platform/dsound.h"

namespace plat::sdl {

// Opens the default audio device; without one, the dummy driver; without that, a silent
// device that still reads and checks every file it is given.
std::unique_ptr<SoundDevice> createSoundDevice();

}  // namespace plat::sdl
