// The players' keys: the right racket's zones, the left racket's permissions, Esc's
// debounce, the shift keys' toggle, Q and F10.
#include <gtest/gtest.h>

#include "unit/match_harness.h"

using match_test::Rig;
using namespace plat;

namespace {

// A match past its intro, at 50 frames a second, keys read by direct Check_Keys calls.
struct MatchControls : ::testing::Test {
  Rig rig;
  Form1* f = nullptr;

  void Begin(bool onePlayer) {
    rig.Start({.onePlayer = onePlayer, .level = 1});
    rig.PlayIntro();
    f = rig.form.get();
    f->FPS_Current = 50;  // right racket 7 / 50 = 0.14 a step
  }
  void SetUp() override { Begin(true); }
  // One key read with exactly `keys` held.
  void Keys(std::initializer_list<uint8_t> keys) {
    rig.platform.keys.fill(0);
    for (uint8_t k : keys) rig.platform.Press(k);
    f->Check_Keys();
    rig.platform.keys.fill(0);
  }
  // Places the right racket's reference corner at (x, z).
  void PlaceRight(double x, double z) { f->rRacket.Translate_Racket(x, z + 0.5); }
};

}  // namespace

TEST_F(MatchControls, ArrowKeysMoveTheRightRacketAsTheyPoint) {
  Keys({DIK_UP, DIK_RIGHT});
  EXPECT_NEAR(f->rRacket.cposz, -0.5 - 0.14, 1e-6);
  EXPECT_NEAR(f->rRacket.cposx, -4.0 - 0.14, 1e-6);
  EXPECT_EQ(f->rRacket.X_dir, -1);
  EXPECT_TRUE(f->rRacket.Moving);
  PlaceRight(-3, 0);
  Keys({DIK_DOWN, DIK_LEFT});
  EXPECT_NEAR(f->rRacket.cposz, 0.14, 1e-6);
  EXPECT_NEAR(f->rRacket.cposx, -3 + 0.14, 1e-6);
  EXPECT_EQ(f->rRacket.X_dir, 1);
  Keys({DIK_UP});
  EXPECT_FALSE(f->rRacket.Moving);
  EXPECT_EQ(f->rRacket.X_dir, 0);
}

TEST_F(MatchControls, BehindItsLineTheRightRacketKeepsToTheGoalMouth) {
  PlaceRight(-3.9, -2.6);  // in front of its line: may go up
  Keys({DIK_UP});
  EXPECT_NEAR(f->rRacket.cposz, -2.74, 1e-6);

  PlaceRight(-4.1, -2.6);  // behind it, below the mouth: neither up nor back
  Keys({DIK_UP});
  Keys({DIK_RIGHT});
  EXPECT_NEAR(f->rRacket.cposz, -2.6, 1e-6);
  EXPECT_NEAR(f->rRacket.cposx, -4.1, 1e-6);
  Keys({DIK_DOWN});
  EXPECT_NEAR(f->rRacket.cposz, -2.46, 1e-6);
  Keys({DIK_LEFT});
  EXPECT_NEAR(f->rRacket.cposx, -3.96, 1e-6);

  PlaceRight(-4.1, 1.6);  // behind its line, top of the racket past the mouth: no further down
  Keys({DIK_DOWN});
  Keys({DIK_RIGHT});
  EXPECT_NEAR(f->rRacket.cposz, 1.6, 1e-6);
  EXPECT_NEAR(f->rRacket.cposx, -4.1, 1e-6);

  PlaceRight(-4.29, 0);  // back limit -4.3: one more step, then no more
  Keys({DIK_RIGHT});
  EXPECT_NEAR(f->rRacket.cposx, -4.43, 1e-6);
  Keys({DIK_RIGHT});
  EXPECT_NEAR(f->rRacket.cposx, -4.43, 1e-6);
}

TEST_F(MatchControls, RightRacketPassesTheCentreLimitByOneStepAtMost) {
  PlaceRight(-2.0, 0);
  Keys({DIK_LEFT});
  EXPECT_NEAR(f->rRacket.cposx, -1.86, 1e-6);
  Keys({DIK_LEFT});
  EXPECT_NEAR(f->rRacket.cposx, -1.86, 1e-6);
  PlaceRight(-3, 1.95);  // the long wall: z + 1 <= 3 still moves once
  Keys({DIK_DOWN});
  Keys({DIK_DOWN});
  EXPECT_NEAR(f->rRacket.cposz, 2.09, 1e-6);
}

TEST_F(MatchControls, ComputersRacketIgnoresTheKeysButKeepsItsPermissions) {
  const double x = f->lRacket.cposx, z = f->lRacket.cposz;
  Keys({DIK_W, DIK_A, DIK_S, DIK_D});
  EXPECT_EQ(f->lRacket.cposx, x);
  EXPECT_EQ(f->lRacket.cposz, z);
  EXPECT_TRUE(f->mayMoveMinusZ && f->mayMovePlusZ && f->mayMoveMinusX && f->mayMovePlusX);

  f->lRacket.Translate_Racket(2.4, -2.55);  // reference corner z = -3.05, x + W = 2.9
  Keys({});
  EXPECT_FALSE(f->mayMoveMinusZ);
  EXPECT_TRUE(f->mayMovePlusZ);
  EXPECT_TRUE(f->mayMoveMinusX);
  f->lRacket.Translate_Racket(1.9, 2.55);  // z + 1 = 3.05, x + W = 2.4
  Keys({});
  EXPECT_FALSE(f->mayMovePlusZ);
  EXPECT_FALSE(f->mayMoveMinusX);
  f->lRacket.Translate_Racket(4.35, 0);
  Keys({});
  EXPECT_FALSE(f->mayMovePlusX);

  const double speed = f->lRacket.rspeed;
  Keys({DIK_LSHIFT});
  EXPECT_EQ(f->lRacket.rspeed, speed + 3) << "left shift still changes the computer's speed";
}

TEST_F(MatchControls, SecondPlayerDrivesTheLeftRacketWithinItsZone) {
  Begin(false);  // left racket 7 / 50 = 0.14 a step
  Keys({DIK_W});
  EXPECT_NEAR(f->lRacket.cposz, -0.64, 1e-6);
  Keys({DIK_D});
  EXPECT_NEAR(f->lRacket.cposx, 3.86, 1e-6);
  Keys({DIK_A});
  Keys({DIK_A});
  EXPECT_NEAR(f->lRacket.cposx, 4.14, 1e-6);
  Keys({DIK_S});
  EXPECT_NEAR(f->lRacket.cposz, -0.5, 1e-6);
  f->lRacket.Translate_Racket(2.0, 0);  // x + W = 2.5: one more step towards the centre
  Keys({DIK_D});
  Keys({DIK_D});
  EXPECT_NEAR(f->lRacket.cposx, 1.86, 1e-6);
  EXPECT_FALSE(f->mayMoveMinusX);
}

TEST_F(MatchControls, ShiftToggleActsInEveryFrameItIsHeld) {
  const double speed = f->rRacket.rspeed;
  Keys({DIK_RSHIFT});
  EXPECT_EQ(f->rRacket.rspeed, speed + 3);
  Keys({DIK_RSHIFT});
  EXPECT_EQ(f->rRacket.rspeed, speed) << "two frames: back where it was";
  Keys({DIK_RSHIFT});
  Keys({DIK_RSHIFT});
  Keys({DIK_RSHIFT});
  EXPECT_EQ(f->rRacket.rspeed, speed + 3) << "three frames: raised";
  EXPECT_TRUE(f->rBoostLatch);
}

TEST_F(MatchControls, EscHeldForASecondTogglesFiveTimes) {
  rig.platform.Press(DIK_ESCAPE);
  int toggles = 0;
  bool last = f->paused;
  for (int frame = 0; frame < 60; ++frame) {  // one second at 60 frames a second
    rig.Frames(1);
    if (f->paused != last) ++toggles;
    last = f->paused;
  }
  EXPECT_EQ(toggles, 5);
}

TEST_F(MatchControls, PauseStopsTheBallTheRacketsAndRestartsTheServeRule) {
  f->ball.Goal = false;
  f->ball.Xdir = 1;
  f->ball.Translate_ball(-1, 0);
  rig.Frames(1);
  f->EnableTimer(f->Timer4, true);
  const uint32_t before = rig.platform.now;
  rig.platform.Advance(3000);
  Keys({DIK_ESCAPE});
  ASSERT_TRUE(f->paused);
  EXPECT_TRUE(f->Timer4.Enabled());
  EXPECT_FALSE(f->Timer4.Due(before + 4999)) << "five seconds start anew";
  const double bx = f->ball.cposx, rz = f->rRacket.cposz;
  rig.platform.Press(DIK_UP);
  rig.Frames(30);
  EXPECT_EQ(f->ball.cposx, bx);
  EXPECT_EQ(f->rRacket.cposz, rz);
  EXPECT_EQ(rig.device().Texts().empty(), false);
}

TEST_F(MatchControls, KeysAreNotReadDuringTheIntro) {
  rig.Start();
  rig.platform.Press(DIK_F10);
  rig.platform.Press(DIK_Q);
  rig.platform.Press(DIK_ESCAPE);
  EXPECT_NO_THROW(rig.Frames(200));  // the hold and part of the fly-in
  EXPECT_TRUE(f->cam_inter);
  EXPECT_FALSE(f->paused);
  EXPECT_EQ(f->screenState, "");
  rig.PlayIntro();
  EXPECT_THROW(rig.Frames(1), ProgramEnd) << "F10 from the first frame of play";
}

TEST_F(MatchControls, F10EndsTheProgramEvenWhilePaused) {
  f->paused = true;
  try {
    Keys({DIK_F10});
    FAIL() << "the program went on";
  } catch (const ProgramEnd& end) {
    EXPECT_EQ(end.code, 0);
  }
}

TEST_F(MatchControls, QGoesBackToThePlayerCountScreen) {
  f->leftNameEntry = "X";
  f->rightNameEntry = "Y";
  f->paused = true;
  f->EnableTimer(f->Timer4, true);
  const std::string track = "bck" + std::to_string(f->musicTrack) + ".wav";
  const int stops = rig.CountSounds(track, plat::testing::SoundEvent::Stop);
  rig.platform.Press(DIK_Q);
  rig.Frames(1);
  rig.platform.Release(DIK_Q);
  EXPECT_EQ(f->screenState, "FRMSINGLE_MULTI");
  EXPECT_FALSE(f->paused);
  EXPECT_FALSE(f->Timer4.Enabled());
  EXPECT_EQ(f->RName, "");
  EXPECT_EQ(f->LName, "");
  EXPECT_EQ(f->leftNameEntry, "");
  EXPECT_EQ(f->rightNameEntry, "");
  EXPECT_EQ(rig.CountSounds(track, plat::testing::SoundEvent::Stop), stops + 1);
}

namespace {

// The ways into a pause, each with its way back: Esc twice; a controller pulled out, then
// plugged back and its Start pressed; a lost device, then Esc.
enum class PauseWay { Esc, PadPulled, DeviceLost };
struct PauseCase {
  PauseWay way;
  const char* name;
};
void PrintTo(const PauseCase& c, std::ostream* os) { *os << c.name; }

class PauseAndServeRule : public ::testing::TestWithParam<PauseCase> {
 protected:
  // A two-player match past its intro, both controllers plugged in, nobody at the keys.
  void SetUp() override {
    rig.platform.PlugPad(0);
    rig.platform.PlugPad(1);
    rig.Start({.onePlayer = false});
    rig.PlayIntro();
  }
  int Points() const { return f.ball.RScore + f.ball.LScore; }
  void Pause() {
    switch (GetParam().way) {
      case PauseWay::Esc:
        rig.platform.Press(DIK_ESCAPE);
        break;
      case PauseWay::PadPulled:
        rig.platform.PullPad(1);
        break;
      case PauseWay::DeviceLost:
        rig.device().cooperativeLevels = {D3DERR_DEVICELOST};
        break;
    }
    rig.Frames(1);
    rig.platform.Release(DIK_ESCAPE);
    ASSERT_TRUE(f.paused);
  }
  void Resume() {
    if (GetParam().way == PauseWay::PadPulled) {
      rig.platform.PlugPad(1);
      rig.platform.pads[1]->start = true;
      rig.Frames(1);
      rig.platform.pads[1]->start = false;
    } else {
      rig.platform.Press(DIK_ESCAPE);
      rig.Frames(1);
      rig.platform.Release(DIK_ESCAPE);
    }
    ASSERT_FALSE(f.paused);
  }
  // A second's pause, then twelve seconds of play in which nobody strikes.
  void PauseAWhileThenWait() {
    Pause();
    rig.RunFor(1000);
    Resume();
    rig.RunFor(12000);
  }

  Rig rig;
  Form1& f = *rig.form;
};

}  // namespace

// Before the first strike the serve rule is off, and a pause leaves it off; with the puck in
// play (running from wall to wall, far from both rackets) likewise.
TEST_P(PauseAndServeRule, OffBeforeTheFirstStrikeAndInPlayStaysOff) {
  ASSERT_TRUE(f.ball.Goal);
  ASSERT_FALSE(f.Timer4.Enabled());
  PauseAWhileThenWait();
  EXPECT_EQ(Points(), 0);
  EXPECT_FALSE(f.Timer4.Enabled());

  f.ball.Goal = false;
  f.ball.Xdir = 1;
  f.ball.Zdir = 1;
  f.ball.bAngle = 90;
  f.ball.Translate_ball(0.5, 0);
  PauseAWhileThenWait();
  EXPECT_EQ(Points(), 0);
  EXPECT_FALSE(f.Timer4.Enabled());
  EXPECT_FALSE(f.ball.Goal) << "still in play, never scored";
}

// Within the five seconds after a goal the rule runs on through the pause: Esc starts its
// five seconds anew, the other ways leave its time as it was.
TEST_P(PauseAndServeRule, AfterAGoalThePointComesAsEver) {
  f.ball.Goal = false;
  f.ball.Xdir = -1;
  f.ball.bAngle = 0;
  f.ball.Translate_ball(-4.4, 0);
  rig.Frames(1);
  ASSERT_EQ(f.ball.LScore, 1);
  ASSERT_TRUE(f.Timer4.Enabled());
  const uint32_t goalAt = rig.platform.now;
  rig.RunFor(2000);
  const uint32_t pausedAt = rig.platform.now;
  Pause();
  rig.RunFor(1000);
  Resume();
  const uint32_t from = GetParam().way == PauseWay::Esc ? pausedAt : goalAt;
  rig.RunFor(from + 4900 - rig.platform.now);
  EXPECT_EQ(f.ball.LScore, 1);
  rig.RunFor(200);
  EXPECT_EQ(f.ball.LScore, 2) << "the right player let the ball lie";
  EXPECT_EQ(f.ball.RScore, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryWay, PauseAndServeRule,
                         ::testing::Values(PauseCase{PauseWay::Esc, "Esc"},
                                           PauseCase{PauseWay::PadPulled, "PadPulled"},
                                           PauseCase{PauseWay::DeviceLost, "DeviceLost"}),
                         [](const auto& info) { return std::string(info.param.name); });
