// What the ball asks of the match that owns it (implemented by Form1).
#pragma once

#include <cstdint>

class cBallHost {
 public:
  virtual ~cBallHost() = default;
  virtual bool Coll_thisloop() const = 0;
  virtual void Checkcoll() = 0;          // ball-racket contact
  virtual void Reset_var() = 0;          // rackets home after a goal
  virtual void play_s_fx(int16_t t) = 0;  // collision effect 1-4
  virtual void EnableTimer4() = 0;       // start the five-second serve rule
  // A goal's feel, beside its sound: the controller of the player scored against rumbles.
  virtual void OnGoal(bool /*intoRightGoal*/) {}
};
