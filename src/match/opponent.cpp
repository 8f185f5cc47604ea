// The computer opponent of a one-player match: it plays the left racket by following the
// ball's z with the middle of the racket's flat side. Levels 2 and 3 play alike.
#include "app/Form1.h"

namespace {

// Keeps exact zeros out of the comparisons: only the properties change, not the geometry.
void ZeroGuard(cMadrab& racket, cBall& ball) {
  if (racket.cposz == 0) racket.cposz = 0.001;
  if (ball.cposz == 0) ball.cposz = 0.001;
}

double Centre(const cMadrab& racket) { return racket.cposz + racket.mLength / 2.0; }

}  // namespace

void Form1::DO_AI_beginner() {
  if (!(ball.Xdir != -1 && (ball.cposx != 0 || ball.cposz != 0) && onePlayer && ball.cposx >= 1.5)) return;
  ZeroGuard(lRacket, ball);
  if (ball.cposx > 0 && ball.Goal) {
    lRacket.fMove(FPS_Current, -1, 0);  // the serve
  } else {
    if (Centre(lRacket) > ball.cposz && mayMoveMinusZ) lRacket.fMove(FPS_Current, 0, -1);
    if (Centre(lRacket) < ball.cposz && mayMovePlusZ) lRacket.fMove(FPS_Current, 0, 1);
  }
  mayMovePlusZ = mayMoveMinusZ = mayMoveMinusX = mayMovePlusX = true;
}

void Form1::DO_AI_inter() {
  if (!((ball.cposx != 0 || ball.cposz != 0) && onePlayer)) return;
  ZeroGuard(lRacket, ball);
  if (ball.cposx > 0 && ball.Goal) {
    lRacket.fMove(FPS_Current, -1, 0);  // the serve
  } else {
    // Coming: follow the ball's z. Going away: drift back until cposz reaches 0.
    const int16_t dir = ball.Xdir;
    if ((lRacket.cposz > 0 && dir == -1) || (mayMoveMinusZ && dir == 1 && Centre(lRacket) > ball.cposz)) {
      lRacket.fMove(FPS_Current, 0, -1);
    }
    if ((lRacket.cposz < 0 && dir == -1) || (mayMovePlusZ && dir == 1 && Centre(lRacket) < ball.cposz)) {
      lRacket.fMove(FPS_Current, 0, 1);
    }
  }
  mayMovePlusZ = mayMoveMinusZ = mayMoveMinusX = mayMovePlusX = true;
}
