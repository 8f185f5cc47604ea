// Ball and racket contact: the curved front of each racket and its flat back side.
#include <cmath>

#include "app/Form1.h"

namespace {

constexpr float kBallRadius = 1.0f / 8.0f;
constexpr float kReach = kBallRadius + 0.5f;  // ball radius + the curve's radius: 0.625
constexpr double kPi = 3.1415927410125732;    // pi as a 32-bit float

// The back-side lead of the right racket: how far past its line the test reaches, by the
// racket's last x direction and the ball's state.
double RightLead(int16_t racketDir, bool goal, int16_t ballDir, double L) {
  if (racketDir == 1 && goal) return 0;
  if (racketDir == -1 && goal) return L;
  if (racketDir == 1 && ballDir == 1) return L / 2;
  if (racketDir == -1 && ballDir == 1) return L;
  if (racketDir == 1 && ballDir == -1) return 0;
  if (racketDir == -1 && ballDir == -1) return L / 2;
  if (racketDir == 0 && ballDir == 1) return L;
  return 0;
}

}  // namespace

double Form1::Getdistance(float x1, float x2, float y1, float y2) {
  const double dx = static_cast<double>(x2) - x1;
  const double dy = static_cast<double>(y2) - y1;
  return std::sqrt(dx * dx + dy * dy);
}

double Form1::ArcSin(double x) {
  if (x == 1) return 1.570796327;
  if (x == -1) return -1.570796327;
  return std::atan(x / std::sqrt(1 - x * x));
}

double Form1::StrikeAngle(double bx, double bz, double x, float c) {
  const double dz = bz - c;
  const double dx = bx - x;
  const double len = std::sqrt(dz * dz + dx * dx);
  // The ball's centre exactly on the curve's centre: no line to follow, so the racket
  // drives the ball straight out of its front.
  if (!(len > 0)) return 0;
  double theta = ArcSin(dz / len) / kPi * 180;
  if (theta < 0) theta += 360;
  return theta;
}

void Form1::Shake(bool rightPlayer, bool goal) {
  if (!rightPlayer && onePlayer) return;  // the computer holds no controller
  platform.Rumble(rightPlayer ? 0 : 1, goal ? 1.0f : 0.5f, goal ? 400 : 80);
}

bool Form1::FrontHit(cMadrab& racket, bool rightRacket) {
  const double bx = ball.cposx, bz = ball.cposz;
  const double x = racket.cposx;
  if (rightRacket ? !(bx >= x) : !(bx <= x)) return false;
  const auto c = static_cast<float>(racket.cposz + 0.5);
  const double d = Getdistance(static_cast<float>(x), static_cast<float>(bx), c, static_cast<float>(bz));
  if (!(static_cast<float>(d) <= kReach)) return false;

  const double theta = StrikeAngle(bx, bz, x, c);
  if (theta >= 355 || theta <= 5) {
    ball.bAngle = rightRacket ? -0.01 : 0.01;
    ball.bspeed = ball.bnspeed;
    play_s_fx(3);
  } else {
    ball.bAngle = theta;
    ball.bspeed = ball.baspeed;
    play_s_fx(2);
  }
  Shake(rightRacket, false);
  ball.Xdir = rightRacket ? 1 : -1;
  ball.Zdir = 1;
  ball.Goal = false;
  EnableTimer(Timer4, false);
  Coll_thisloop = true;
  return true;
}

void Form1::Checkcoll() {
  const double F = FPS_Current;
  const int twoF = 2 * FPS_Current;

  // The right racket.
  if (!FrontHit(rRacket, true)) {
    const double x = rRacket.cposx, z = rRacket.cposz;
    const double bx = ball.cposx, bz = ball.cposz;
    const double L = ball.baspeed / twoF + rRacket.rspeed / F;
    const double lead = RightLead(rRacket.X_dir, ball.Goal, ball.Xdir, L);
    if (x - lead < bx + kBallRadius && bx + kBallRadius < x && bz > z && z + rRacket.mLength > bz) {
      if (Checkcol1) {
        Checkcol1 = false;
      } else {
        Checkcol1 = true;
        Coll_thisloop = true;
        ball.Xdir = -1;
        ball.Translate_ball(x - 2 * rRacket.rspeed / F - 3 * ball.bspeed / F, bz);
        ball.bspeed = ball.baspeed;
        ball.Goal = false;
        EnableTimer(Timer4, false);
        play_s_fx(2);
        Shake(true, false);
      }
    }
  }

  // The left racket, whatever happened to the right one.
  if (!FrontHit(lRacket, false)) {
    const double x = lRacket.cposx, z = lRacket.cposz;
    const double bx = ball.cposx, bz = ball.cposz;
    const double lead = ball.baspeed / twoF + lRacket.rspeed / F;
    if (bx - kBallRadius > x && bx - kBallRadius < x + lead && bz > z && z + lRacket.mLength > bz) {
      if (Checkcol) {
        Checkcol = false;
      } else {
        Checkcol = true;
        ball.Xdir = 1;
        ball.Translate_ball(x + 2 * lRacket.rspeed / F + 3 * ball.bspeed / F, bz);
        ball.bspeed = ball.baspeed;
        ball.Goal = false;
        EnableTimer(Timer4, false);
        Coll_thisloop = true;
        play_s_fx(2);
        Shake(false, false);
      }
    }
  }
}
