// The computer opponent: where the beginner starts to play, the intermediate's drift back,
// the serve, the permission flags and the speeds by level.
#include <gtest/gtest.h>

#include "unit/match_harness.h"

using match_test::Rig;

namespace {

struct MatchOpponent : ::testing::Test {
  Rig rig;
  Form1* f = nullptr;

  void Begin(int16_t level, bool onePlayer = true) {
    rig.Start({.onePlayer = onePlayer, .level = level});
    f = rig.form.get();
    f->FPS_Current = 50;  // levels 1 and 2: 5 / 50 = 0.1 a step
    f->ball.Goal = false;
  }
  void Ball(double x, double z, int16_t dir) {
    f->ball.Translate_ball(x, z);
    f->ball.Xdir = dir;
  }
};

}  // namespace

TEST_F(MatchOpponent, BeginnerStartsAtTheOnePointFiveLine) {
  Begin(1);
  const double z = f->lRacket.cposz;  // centre 0
  Ball(1.4, 1, 1);
  f->DO_AI_beginner();
  EXPECT_EQ(f->lRacket.cposz, z);
  Ball(1.5, 1, 1);
  f->DO_AI_beginner();
  EXPECT_NEAR(f->lRacket.cposz, z + 0.1, 1e-6);
  Ball(3, -1, -1);  // going away: ignored wherever it is
  f->DO_AI_beginner();
  EXPECT_NEAR(f->lRacket.cposz, z + 0.1, 1e-6);
  Ball(3, -1, 1);
  f->DO_AI_beginner();
  EXPECT_NEAR(f->lRacket.cposz, z, 1e-6);
}

TEST_F(MatchOpponent, IntermediateDriftsBackToZeroWhileTheBallGoesAway) {
  Begin(2);
  f->lRacket.Translate_Racket(4, 0.8);  // cposz 0.3
  Ball(1, 1, -1);
  f->DO_AI_inter();
  EXPECT_NEAR(f->lRacket.cposz, 0.2, 1e-6);
  for (int i = 0; i < 20; ++i) {
    f->DO_AI_inter();
    EXPECT_LE(std::abs(f->lRacket.cposz), 0.1 + 1e-6);
  }
  // Coming back: it follows the ball with the middle of its flat side.
  Ball(1, -1.6, 1);
  for (int i = 0; i < 30; ++i) f->DO_AI_inter();
  EXPECT_NEAR(f->lRacket.cposz + 0.5, -1.6, 0.1 + 1e-6);
}

TEST_F(MatchOpponent, ProfessionalMovesFasterThanIntermediate) {
  Begin(3);
  const double z = f->lRacket.cposz;
  Ball(2, 2, 1);
  f->DO_AI_inter();
  EXPECT_NEAR(f->lRacket.cposz, z + 0.13, 1e-6);
}

TEST_F(MatchOpponent, PermissionFlagsHoldForOneStepAndAreThenRestored) {
  Begin(2);
  f->mayMoveMinusZ = false;
  f->mayMovePlusX = false;
  const double z = f->lRacket.cposz;
  Ball(2, -2, 1);
  f->DO_AI_inter();
  EXPECT_EQ(f->lRacket.cposz, z);
  EXPECT_TRUE(f->mayMoveMinusZ && f->mayMovePlusZ && f->mayMoveMinusX && f->mayMovePlusX);
  f->DO_AI_inter();
  EXPECT_NEAR(f->lRacket.cposz, z - 0.1, 1e-6);
}

TEST_F(MatchOpponent, NeitherRoutinePlaysABallAtTheExactCentreOrATwoPlayerMatch) {
  Begin(2);
  f->mayMovePlusZ = false;
  const double z = f->lRacket.cposz;
  Ball(0, 0, 1);
  f->DO_AI_inter();
  f->DO_AI_beginner();
  EXPECT_EQ(f->lRacket.cposz, z);
  EXPECT_FALSE(f->mayMovePlusZ) << "flags untouched";
  Begin(2, false);
  Ball(3, 2, 1);
  f->mayMovePlusZ = false;
  f->DO_AI_inter();
  EXPECT_EQ(f->lRacket.cposz, z);
  EXPECT_FALSE(f->mayMovePlusZ);
}

TEST_F(MatchOpponent, ServeAdvancesTowardsAWaitingBallOnItsHalf) {
  Begin(1);
  Ball(2.5, 0, 1);
  f->ball.Goal = true;
  f->DO_AI_beginner();
  EXPECT_NEAR(f->lRacket.cposx, 3.9, 1e-6);
  EXPECT_EQ(f->lRacket.X_dir, -1);
  EXPECT_EQ(f->ball.cposz, 0.001) << "the zero guard changes the property only";
}
