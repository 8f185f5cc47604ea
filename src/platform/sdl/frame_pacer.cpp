#include "platform/sdl/frame_pacer.h"

namespace plat::sdl {

FramePacer::FramePacer(int refreshHz) : period_(1000000 / (refreshHz > 0 ? refreshHz : 60)) {}

int64_t FramePacer::waitBefore(int64_t nowMicros) {
  if (next_ < 0) {
    next_ = nowMicros + period_;
    return 0;
  }
  const int64_t wait = next_ - nowMicros;
  if (wait > 0) {
    next_ += period_;
    return wait;
  }
  next_ = -wait > period_ ? nowMicros + period_ : next_ + period_;
  return 0;
}

}  // namespace plat::sdl
