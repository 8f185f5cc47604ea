// Ball and racket contact: front hits straight and angled, the back side's alternation,
// both rackets in one call, and a ball centred exactly on a racket's curve.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "unit/match_harness.h"

using match_test::Rig;
using plat::testing::SoundEvent;

namespace {

// A match in play at 50 frames a second, rackets home, the ball released and still.
struct MatchCollision : ::testing::Test {
  Rig rig;
  Form1* f = nullptr;

  void SetUp() override {
    rig.Start({.onePlayer = false, .level = 1});
    f = rig.form.get();
    f->FPS_Current = 50;
    f->ball.Goal = false;
    f->ball.Xdir = 1;
    f->ball.Zdir = 1;
    f->Coll_thisloop = false;
    f->EnableTimer(f->Timer4, true);
  }
  int Plays(const char* file) const { return rig.CountSounds(file, SoundEvent::Play); }
};

}  // namespace

TEST(MatchCollisionMaths, ArcSinAndDistance) {
  EXPECT_EQ(Form1::ArcSin(1), 1.570796327);
  EXPECT_EQ(Form1::ArcSin(-1), -1.570796327);
  EXPECT_NEAR(Form1::ArcSin(0.5), std::numbers::pi / 6, 1e-12);
  EXPECT_EQ(Form1::ArcSin(0), 0);
  EXPECT_DOUBLE_EQ(Form1::Getdistance(1, 4, 2, 6), 5);
  EXPECT_EQ(Form1::StrikeAngle(-3, 0.25, -3, 0.25f), 0) << "coincident centres";
}

TEST_F(MatchCollision, StraightHitInFrontOfTheRightRacket) {
  f->ball.Translate_ball(-4.0 + 0.6, 0);  // curve centre (-4, 0)
  f->ball.Xdir = -1;
  f->ball.Zdir = -1;
  f->ball.Goal = true;
  f->Checkcoll();
  EXPECT_EQ(f->ball.bAngle, -0.01);
  EXPECT_EQ(f->ball.bspeed, f->ball.bnspeed);
  EXPECT_EQ(f->ball.Xdir, 1);
  EXPECT_EQ(f->ball.Zdir, 1);
  EXPECT_FALSE(f->ball.Goal);
  EXPECT_FALSE(f->Timer4.Enabled());
  EXPECT_TRUE(f->Coll_thisloop);
  EXPECT_EQ(Plays("spring.wav"), 1);
  EXPECT_EQ(Plays("rcoll.wav"), 0);
}

TEST_F(MatchCollision, AngledHitsAboveAndBelowTheAxis) {
  const double across = 0.6 * std::cos(std::numbers::pi / 6),
               along = 0.6 * std::sin(std::numbers::pi / 6);  // 0.52, 0.3
  f->ball.bspeed = 99;
  f->ball.Translate_ball(-4.0 + across, along);
  f->Checkcoll();
  EXPECT_NEAR(f->ball.bAngle, 30, 1e-3);
  EXPECT_EQ(f->ball.bspeed, f->ball.baspeed);
  EXPECT_EQ(f->ball.Xdir, 1);
  EXPECT_EQ(Plays("rcoll.wav"), 1);

  f->ball.Translate_ball(-4.0 + across, -along);
  f->Checkcoll();
  EXPECT_NEAR(f->ball.bAngle, 330, 1e-3) << "not -30";
  EXPECT_EQ(Plays("rcoll.wav"), 2);
  EXPECT_EQ(Plays("spring.wav"), 0);
}

TEST_F(MatchCollision, StraightHitOfTheLeftRacketGoesTheOtherWay) {
  f->ball.Translate_ball(4.0 - 0.6, 0);
  f->Checkcoll();
  EXPECT_EQ(f->ball.bAngle, 0.01);
  EXPECT_EQ(f->ball.Xdir, -1);
  EXPECT_EQ(f->ball.Zdir, 1);
  EXPECT_EQ(f->ball.bspeed, f->ball.bnspeed);
}

TEST_F(MatchCollision, JustOutOfReachIsNoHit) {
  f->ball.Translate_ball(-4.0 + 0.626, 0);
  f->Checkcoll();
  EXPECT_FALSE(f->Coll_thisloop);
  EXPECT_TRUE(f->Timer4.Enabled());
  EXPECT_EQ(f->ball.Xdir, 1);
}

TEST_F(MatchCollision, BallOnTheRacketsLineIsFrontTestedButNotAHairBehind) {
  f->ball.Translate_ball(-4.0, 0.55);  // on the line, within reach of the curve
  f->Checkcoll();
  EXPECT_TRUE(f->Coll_thisloop);
  EXPECT_NEAR(f->ball.bAngle, 90, 1e-5);

  f->Coll_thisloop = false;
  f->ball.Translate_ball(-4.0001, 0.55);
  f->rRacket.X_dir = 1;
  f->ball.Goal = true;  // back side: lead 0, no contact either
  f->Checkcoll();
  EXPECT_FALSE(f->Coll_thisloop);
}

TEST_F(MatchCollision, BackSideContactsPushEverySecondTime) {
  const double base = f->ball.baspeed;
  auto contact = [&] {
    f->ball.Translate_ball(-4.2, 0.1);
    f->ball.Xdir = 1;
    f->rRacket.X_dir = 0;  // lead = 8 / 100 + 7 / 50 = 0.22
    f->Coll_thisloop = false;
    f->Checkcoll();
  };
  contact();
  EXPECT_TRUE(f->Checkcol1);
  EXPECT_TRUE(f->Coll_thisloop);
  EXPECT_EQ(f->ball.Xdir, -1);
  EXPECT_NEAR(f->ball.cposx, -4.0 - 2 * 7.0 / 50 - 3 * base / 50, 1e-5);
  EXPECT_NEAR(f->ball.cposz, 0.1, 1e-6);
  EXPECT_EQ(Plays("rcoll.wav"), 1);

  contact();
  EXPECT_FALSE(f->Checkcol1);
  EXPECT_FALSE(f->Coll_thisloop);
  EXPECT_EQ(f->ball.Xdir, 1) << "the second contact only clears the flag";
  EXPECT_EQ(Plays("rcoll.wav"), 1);

  contact();
  EXPECT_TRUE(f->Checkcol1);
  EXPECT_EQ(f->ball.Xdir, -1);
  EXPECT_EQ(Plays("rcoll.wav"), 2);
}

TEST_F(MatchCollision, StillRightRacketHasNoBackSideForABallComingBack) {
  f->ball.Translate_ball(-4.2, 0.1);
  f->ball.Xdir = -1;
  f->rRacket.X_dir = 0;  // lead 0: x < bx + r < x never holds
  f->Checkcoll();
  EXPECT_FALSE(f->Coll_thisloop);
  EXPECT_FALSE(f->Checkcol1);
}

TEST_F(MatchCollision, LeftBackSidePushesTowardsItsOwnGoal) {
  f->ball.Translate_ball(4.2, 0.1);  // lead = 8 / 100 + 7 / 50 = 0.22, always
  f->ball.Goal = true;
  f->Checkcoll();
  EXPECT_TRUE(f->Checkcol);
  EXPECT_EQ(f->ball.Xdir, 1);
  EXPECT_NEAR(f->ball.cposx, 4.0 + 2 * 7.0 / 50 + 3 * f->ball.bspeed / 50, 1e-5);
  EXPECT_FALSE(f->ball.Goal);
  EXPECT_FALSE(f->Timer4.Enabled());
}

TEST_F(MatchCollision, BothRacketsAreTestedInOneCall) {
  f->rRacket.Translate_Racket(-0.3, 0.0);  // curve centre (-0.3, 0)
  f->lRacket.Translate_Racket(0.3, 0.4);   // curve centre (0.3, 0.4)
  f->ball.Translate_ball(0, 0.2);
  f->Checkcoll();
  EXPECT_EQ(Plays("rcoll.wav"), 2);
  // The left racket's hit, made second, stands.
  EXPECT_EQ(f->ball.Xdir, -1);
  EXPECT_NEAR(f->ball.bAngle, 360 - std::atan2(0.2, 0.3) * 180 / std::numbers::pi, 1e-3);
}

TEST_F(MatchCollision, BallCentredOnTheCurveIsDrivenStraightOut) {
  for (const bool right : {true, false}) {
    SCOPED_TRACE(right ? "right racket" : "left racket");
    cMadrab& racket = right ? f->rRacket : f->lRacket;
    f->Reset_var();
    f->ball.Translate_ball(racket.cposx, racket.cposz + 0.5);
    ASSERT_EQ(f->ball.cposx, racket.cposx);
    ASSERT_EQ(f->ball.cposz, racket.cposz + 0.5);
    f->ball.Xdir = right ? -1 : 1;
    f->ball.Goal = true;
    f->Coll_thisloop = false;
    f->Checkcoll();
    EXPECT_EQ(f->ball.bAngle, right ? -0.01 : 0.01);
    EXPECT_EQ(f->ball.Xdir, right ? 1 : -1);
    EXPECT_EQ(f->ball.bspeed, f->ball.bnspeed);
    EXPECT_FALSE(f->ball.Goal);
    // The ball then leaves the racket, every number finite.
    for (int i = 0; i < 20; ++i) {
      f->Coll_thisloop = false;
      f->ball.fMove(f->FPS_Current, f->ball.bAngle);
      f->Checkcoll();
      ASSERT_TRUE(std::isfinite(f->ball.bAngle));
      ASSERT_TRUE(std::isfinite(f->ball.cposx) && std::isfinite(f->ball.cposz));
    }
    EXPECT_GT(std::abs(f->ball.cposx - racket.cposx), 0.625);
  }
}
