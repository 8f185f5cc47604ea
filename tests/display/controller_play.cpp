// Two players with game controllers and nothing else, on the real face under X: SDL's
// virtual controllers plugged in beside the game drive the menus into a two-player match,
// move and boost both rackets, pause with Start, pull one out mid-match (the match
// pauses), plug it back and play on, feel the hits and a goal, and leave with Back.
//   controller_play [folder]   (pictures of the way land there)
#include <SDL.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "app/Form1.h"
#include "front_buffer.h"
#include "platform/app_path.h"
#include "platform/platform.h"
#include "virtual_pad.h"

namespace {

using pad_test::VirtualPad;

bool ok = true;
void Check(bool pass, const std::string& what) {
  std::printf("%s: %s\n", pass ? "ok" : "FAIL", what.c_str());
  ok &= pass;
}

// Frames of the game until `done` holds or `ms` of real time have passed.
bool Until(Form1& f, const std::function<bool()>& done, uint32_t ms = 10000) {
  const uint32_t end = SDL_GetTicks() + ms;
  while (!done()) {
    if (static_cast<int32_t>(SDL_GetTicks() - end) > 0) return false;
    f.Pass();
  }
  return true;
}
void Frames(Form1& f, int n) {
  for (int i = 0; i < n; ++i) f.Pass();
}
void Wait(Form1& f, uint32_t ms) {
  const uint32_t end = SDL_GetTicks() + ms;
  Until(f, [end] { return static_cast<int32_t>(SDL_GetTicks() - end) >= 0; });
}

// A button held until `done`, then let go at once: the release is pumped in before the
// game's next key read, which would otherwise still see it held.
bool HoldUntil(Form1& f, VirtualPad& pad, SDL_GameControllerButton b, const std::function<bool()>& done) {
  pad.Button(b, true);
  const bool reached = Until(f, done);
  pad.Button(b, false);
  SDL_PumpEvents();
  return reached;
}
// A button down for exactly one of the game's key reads.
void Tap(Form1& f, VirtualPad& pad, SDL_GameControllerButton b) {
  pad.Button(b, true);
  f.Pass();  // its event pump takes the press in
  pad.Button(b, false);
  f.Pass();  // read held; the release taken in
}

int NonZero(const VirtualPad& pad, Uint16 atLeast) {
  int n = 0;
  for (const auto& [low, high] : pad.rumbles) n += low >= atLeast && high >= atLeast;
  return n;
}

void Play(Form1& f, const std::string& out) {
  VirtualPad right, left;
  const bool attached = right.Attach("Right player's pad") && left.Attach("Left player's pad");
  Check(attached, std::string("two virtual controllers plugged in") + (attached ? "" : SDL_GetError()));
  Check(Until(f, [&] { return f.screenState == "FRMSINGLE_MULTI"; }),
        "the player-count screen after the logo");

  // The menus, controllers only: the left player's D-pad and stick move the focus, the
  // right player's A chooses.
  Check(HoldUntil(f, left, SDL_CONTROLLER_BUTTON_DPAD_DOWN, [&] { return f.bfindex == 2; }),
        "second controller's D-pad down: focus on two players");
  SaveFrontBuffer(f, out + "/pads_menu.png");
  Check(
      HoldUntil(f, right, SDL_CONTROLLER_BUTTON_A, [&] { return f.screenState == "FRMLVL"; }) && !f.onePlayer,
      "first controller's A: two players, the level and names screen");
  left.Axis(SDL_CONTROLLER_AXIS_LEFTY, 32767);
  Check(Until(f, [&] { return f.bfindex == 3; }), "second controller's stick down: the level selector");
  left.Axis(SDL_CONTROLLER_AXIS_LEFTY, 0);
  SDL_PumpEvents();
  Check(HoldUntil(f, left, SDL_CONTROLLER_BUTTON_A, [&] { return f.lvlChoice == 2; }), "A steps the level");
  Check(HoldUntil(f, right, SDL_CONTROLLER_BUTTON_DPAD_DOWN, [&] { return f.bfindex == 4; }), "down to Play");
  Frames(f, 2);
  SaveFrontBuffer(f, out + "/pads_level.png");
  Check(HoldUntil(f, right, SDL_CONTROLLER_BUTTON_A, [&] { return f.screenState.empty(); }),
        "A on Play starts the match");
  Check(f.level == 2 && !f.onePlayer, "a two-player match at level 2");
  Check(Until(
            f, [&] { return !f.cam_inter; }, 15000),
        "the camera intro is over");

  // Both rackets: the right one up with the stick, the left one down with the D-pad, then
  // the right one away from its goal (stick left) and the left one towards the table's
  // right (D-pad right).
  const double rz = f.rRacket.cposz, lz = f.lRacket.cposz, rx = f.rRacket.cposx, lx = f.lRacket.cposx;
  right.Axis(SDL_CONTROLLER_AXIS_LEFTY, -32768);
  left.Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
  Frames(f, 8);
  right.Axis(SDL_CONTROLLER_AXIS_LEFTY, 0);
  left.Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, false);
  right.Axis(SDL_CONTROLLER_AXIS_LEFTX, -32768);
  left.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
  Frames(f, 8);
  right.Axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
  left.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
  Frames(f, 2);
  Check(f.rRacket.cposz < rz && f.rRacket.cposx > rx,
        "the first controller moved the right racket up and out");
  Check(f.lRacket.cposz > lz && f.lRacket.cposx < lx,
        "the second controller moved the left racket down and out");
  SaveFrontBuffer(f, out + "/pads_match.png");

  // Boost: the right trigger for one key read, a shoulder button for one.
  const double rs = f.rRacket.rspeed, ls = f.lRacket.rspeed;
  right.Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
  f.Pass();
  right.Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0);
  f.Pass();
  Tap(f, left, SDL_CONTROLLER_BUTTON_LEFTSHOULDER);
  Frames(f, 2);
  Check(f.rRacket.rspeed == rs + 3, "one frame of the right trigger: the right racket is faster");
  Check(f.lRacket.rspeed == ls + 3, "one frame of a shoulder button: the left racket is faster");

  // Start pauses and resumes (Esc's 200 ms debounce between).
  Tap(f, left, SDL_CONTROLLER_BUTTON_START);
  Check(f.paused, "Start pauses");
  Wait(f, 300);
  Tap(f, right, SDL_CONTROLLER_BUTTON_START);
  Check(!f.paused, "Start resumes");

  // The first controller's cable comes out mid-match.
  right.Detach();
  Frames(f, 2);
  Check(f.paused, "pulling a controller out pauses the match");
  SaveFrontBuffer(f, out + "/pads_pulled.png");
  Wait(f, 300);
  Check(f.paused, "and it stays paused");
  right.rumbles.clear();
  Check(right.Attach("Right player's pad"), "plugged back in");
  Frames(f, 2);
  Tap(f, right, SDL_CONTROLLER_BUTTON_START);
  Check(!f.paused, "Start on the controller plugged back resumes");
  const double rz2 = f.rRacket.cposz;
  right.Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
  Frames(f, 6);
  right.Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, false);
  Frames(f, 2);
  Check(f.rRacket.cposz > rz2, "it plays the right racket again");

  // Feel: the ball put in front of the right racket and the contact tested (in a frame,
  // a slow frame rate's long steps could carry it past), then into the left player's goal.
  // A hit of the play before may still be rumbling: SDL passes on the same rumble again
  // only once the first has run out.
  Until(
      f, [&] { return right.rumbles.empty() || right.rumbles.back() == std::pair<Uint16, Uint16>(0, 0); },
      2000);
  f.ball.Translate_ball(f.rRacket.cposx + 0.6, f.rRacket.cposz + 0.5);
  f.ball.Xdir = -1;
  f.ball.Goal = false;
  f.Coll_thisloop = false;
  // Counted from here: on a slow machine the play before may have had hits of its own.
  const int rightBefore = NonZero(right, 30000), leftBefore = NonZero(left, 1);
  f.Checkcoll();
  const int rightHits = NonZero(right, 30000) - rightBefore, leftHits = NonZero(left, 1) - leftBefore;
  Check(rightHits == 1 && leftHits == 0, "a hit of the right racket rumbles the first controller (" +
                                             std::to_string(rightHits) + ", the second " +
                                             std::to_string(leftHits) + ")");
  Frames(f, 2);
  f.ball.Translate_ball(4.3, -2.0);
  f.ball.Xdir = 1;
  f.ball.Zdir = 1;
  f.ball.bAngle = 0.01;
  f.ball.Goal = false;
  const int16_t scored = f.ball.RScore;
  const int goalsBefore = NonZero(left, 65535);
  Check(Until(
            f, [&] { return f.ball.RScore > scored; }, 3000),
        "a goal into the left player's goal");
  Check(NonZero(left, 65535) > goalsBefore, "the goal rumbles the second controller at full strength");

  // Back leaves the match.
  Tap(f, left, SDL_CONTROLLER_BUTTON_BACK);
  f.Pass();
  Check(f.screenState == "FRMSINGLE_MULTI", "Back leaves the match for the player-count screen");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string out = argc > 1 ? argv[1] : ".";
  std::unique_ptr<plat::Platform> platform = plat::CreateSdlPlatform(argv[0]);
  plat::SetAppPath(platform->AppFolder());
  try {
    Form1 f(*platform);
    f.Startup();
    Play(f, out);
  } catch (const plat::ProgramEnd& end) {
    Check(false, "the program ended (" + std::to_string(end.code) + ")");
  } catch (const std::exception& e) {
    Check(false, e.what());
  }
  std::printf("%s\n", ok ? "controller play: all passed" : "controller play: FAILED");
  return ok ? 0 : 1;
}
