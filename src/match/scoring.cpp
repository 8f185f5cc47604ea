// The five-second serve rule: while a goal's ball waits unserved, the player on whose half
// it lies loses a point every five seconds.
#include <cstdint>
#include <limits>
#include <stdexcept>

#include "app/Form1.h"

namespace {

void AddPoint(int16_t& score) {
  if (score == std::numeric_limits<int16_t>::max()) throw std::overflow_error("score overflow");
  ++score;
}

}  // namespace

void Form1::Timer4_Timer() {
  // No match running (it ended, or was left): nothing to award, and nothing to time.
  if (!screenState.empty()) {
    EnableTimer(Timer4, false);
    return;
  }
  if (paused) return;
  if (ball.cposx > 0) {
    AddPoint(ball.RScore);
  } else if (ball.cposx < 0) {
    AddPoint(ball.LScore);
  } else {
    return;  // exactly on the centre line: no award, the timer keeps running
  }
  ball.Play_sound();
  Shake(ball.cposx < 0, true);
  EnableTimer(Timer4, false);
  EnableTimer(Timer4, true);
}
