// Keeps Present to the display's refresh where the driver gives no vertical sync.
#pragma once

#include <cstdint>

namespace plat::sdl {

class FramePacer {
 public:
  // `refreshHz` 0 or less means unknown: 60 Hz.
  explicit FramePacer(int refreshHz);

  // Called at each Present with the current time in microseconds; returns how long to
  // wait before showing the frame. Frames are scheduled one period apart; a frame more
  // than a period late restarts the schedule instead of letting frames catch up.
  int64_t waitBefore(int64_t nowMicros);

  int64_t periodMicros() const { return period_; }

 private:
  int64_t period_;
  int64_t next_ = -1;
};

}  // namespace plat::sdl
