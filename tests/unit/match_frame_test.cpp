// The match frame: the camera intro, the texts and the clock, goals and the serve rule,
// the end of the match, and the three places where a match must not run on.
#include <gtest/gtest.h>

#include <algorithm>

#include "unit/match_harness.h"

using match_test::Rig;
using plat::testing::Op;
using plat::testing::SoundEvent;
using namespace plat;

namespace {

bool HasText(const Rig& rig, const std::string& text) {
  const auto texts = rig.platform.device->Texts();
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

const plat::testing::Call* TextCall(const Rig& rig, const std::string& text) {
  for (const auto* c : rig.platform.device->Find(Op::DrawText)) {
    if (c->text == text) return c;
  }
  return nullptr;
}

}  // namespace

TEST(MatchFrame, IntroFliesInFiftySixFramesAtAnyFrameRate) {
  for (const double hz : {30.0, 60.0, 144.0}) {
    SCOPED_TRACE(hz);
    Rig rig;
    rig.platform.refreshHz = hz;
    rig.Start();
    Form1& f = *rig.form;
    int hold = 0;
    while (f.serveWait) {
      rig.Frames(1);
      ++hold;
      ASSERT_TRUE(rig.device().Texts().empty()) << "no text during the hold";
      rig.device().ClearCalls();
    }
    EXPECT_NEAR(hold, 3 * hz, 2) << "three seconds of hold";
    int fly = 0;
    while (f.cam_inter) {
      rig.Frames(1);
      ++fly;
    }
    EXPECT_EQ(fly, 56);
    EXPECT_EQ(f.camEyeZ, 10.0);
    EXPECT_NEAR(f.camEyeY, 10.0, 1e-9);
    EXPECT_NEAR(f.camAtY, -0.617, 1e-3);
    EXPECT_NEAR(f.camAtZ, 0.0, 1e-9);
    EXPECT_EQ(f.matchClock, 0) << "the intro's seconds do not count";
  }
}

TEST(MatchFrame, LastIntroFrameStillUsesTheIntroViewButPlaysTheMusic) {
  Rig rig;
  rig.Start();
  Form1& f = *rig.form;
  while (f.camEyeZ < 9.75) rig.Frames(1);
  rig.device().ClearCalls();
  const auto plays = rig.CountSounds("bck", SoundEvent::Play);
  rig.Frames(1);  // eye z 9.75 -> 10: the intro ends in this frame
  EXPECT_FALSE(f.cam_inter);
  D3DXMATRIX intro{}, match{};
  const D3DXVECTOR3 eye{0.39f, static_cast<float>(f.camEyeY - 0.151785714285713), 9.75f};
  const D3DXVECTOR3 at{0, static_cast<float>(f.camAtY + 0.0440476190476191),
                       static_cast<float>(f.camAtZ - 0.232142857142858)};
  const D3DXVECTOR3 up{0, 1, 0};
  D3DXMatrixLookAtLH(&intro, &eye, &at, &up);
  const auto views = rig.device().Find(Op::SetTransform);
  const auto view = std::find_if(views.begin(), views.end(), [](auto* c) { return c->a == D3DTS_VIEW; });
  ASSERT_NE(view, views.end());
  EXPECT_NEAR((*view)->matrix.m[3][2], intro.m[3][2], 1e-4);
  EXPECT_EQ(rig.CountSounds("bck", SoundEvent::Play), plays + 1);
  EXPECT_TRUE(rig.device().state.lightEnabled[1]);
  EXPECT_FALSE(rig.device().state.lightEnabled[0]);
  rig.device().ClearCalls();
  rig.Frames(1);
  const D3DXVECTOR3 meye{0, 10, 10}, mat{0, 0, 0};
  D3DXMatrixLookAtLH(&match, &meye, &mat, &up);
  EXPECT_EQ(rig.device().state.view.m[3][2], match.m[3][2]);
}

TEST(MatchFrame, NamesScoresAndClockAtTheirPlaces) {
  Rig rig;
  rig.Start({.onePlayer = true, .level = 1, .rName = "ALICEB"});
  rig.PlayIntro();
  Form1& f = *rig.form;
  f.ball.RScore = 3;
  f.ball.LScore = 12;
  f.matchClock = 12;
  rig.device().ClearCalls();
  rig.Frames(1);
  const auto* rName = TextCall(rig, "ALICEB");
  const auto* lName = TextCall(rig, "Computer");
  const auto* rScore = TextCall(rig, "3");
  const auto* lScore = TextCall(rig, "12");
  const auto* clock = TextCall(rig, "Time : 0:12 / 3:00");
  ASSERT_TRUE(rName && lName && rScore && lScore && clock);
  EXPECT_EQ(rName->rect.left, 682);
  EXPECT_EQ(rName->rect.top, 500);
  EXPECT_EQ(rScore->rect.left, 736);
  EXPECT_EQ(rScore->rect.top, 550);
  EXPECT_EQ(lName->rect.left, 10);
  EXPECT_EQ(lScore->rect.left, 10 + 9 * 8);
  EXPECT_EQ(clock->rect.left, 0);
  EXPECT_EQ(clock->rect.top, 50);
  EXPECT_EQ(rName->font.face, "Lucida Blackletter");
  EXPECT_EQ(clock->font.face, "Comic Sans MS");
  EXPECT_EQ(rName->color, D3DColorXRGB(255, 255, 255));
}

TEST(MatchFrame, ClockText) {
  Rig rig;
  rig.Start();
  rig.PlayIntro();
  Form1& f = *rig.form;
  for (const auto& [t, text] : std::vector<std::pair<double, std::string>>{{0, "Time : 0:0 / 3:00"},
                                                                           {59, "Time : 0:59 / 3:00"},
                                                                           {60, "Time : 1:0 / 3:00"},
                                                                           {65, "Time : 1:5 / 3:00"},
                                                                           {125, "Time : 2:5 / 3:00"},
                                                                           {179, "Time : 2:59 / 3:00"},
                                                                           {180, "Time : 0:0 / 3:00"}}) {
    f.matchClock = t;
    rig.device().ClearCalls();
    f.Render();
    EXPECT_TRUE(HasText(rig, text)) << t;
    f.screenState = "";
  }
}

TEST(MatchFrame, PausedFrameShowsTheBanner) {
  Rig rig;
  rig.Start();
  rig.PlayIntro();
  rig.form->paused = true;
  rig.device().ClearCalls();
  rig.Frames(1);
  const Texture* banner = rig.form->pausePicture.TextureObject();
  ASSERT_NE(banner, nullptr);
  bool drawn = false;
  for (const auto* c : rig.device().Find(Op::DrawPrimitiveUP)) drawn |= c->texture == banner;
  EXPECT_TRUE(drawn);
  const auto& v = rig.form->pausePicture.Vertices();
  EXPECT_FLOAT_EQ(v[0].sx, 280.5f);
  EXPECT_FLOAT_EQ(v[0].sy, 560.0f);
  EXPECT_FLOAT_EQ(v[3].sx, 536.5f);
}

TEST(MatchFrame, GoalThenFiveSecondsUnservedCostsTwoPoints) {
  Rig rig;
  rig.Start();
  rig.PlayIntro();
  Form1& f = *rig.form;
  f.rRacket.Translate_Racket(-3, 2);  // out of the way
  f.ball.Goal = false;
  f.ball.Xdir = -1;
  f.ball.Translate_ball(-4.4, 0);
  const int goals = rig.CountSounds("goal.wav", SoundEvent::Play);
  rig.Frames(1);
  ASSERT_EQ(f.ball.LScore, 1);
  EXPECT_TRUE(f.ball.Goal);
  EXPECT_NEAR(f.ball.cposx, -2.5, 0.15) << "served from -2.5; the goal frame's move goes on";
  EXPECT_EQ(f.rRacket.cposx, -4.0) << "rackets home";
  EXPECT_TRUE(f.Timer4.Enabled());
  rig.RunFor(4900);
  EXPECT_EQ(f.ball.LScore, 1);
  rig.RunFor(200);
  EXPECT_EQ(f.ball.LScore, 2);
  rig.RunFor(5000);
  EXPECT_EQ(f.ball.LScore, 3);
  EXPECT_EQ(f.ball.RScore, 0);
  EXPECT_EQ(rig.CountSounds("goal.wav", SoundEvent::Play), goals + 3);
  // A strike ends the rule.
  f.ball.Translate_ball(f.rRacket.cposx + 0.6, f.rRacket.cposz + 0.5);
  rig.Frames(1);
  EXPECT_FALSE(f.Timer4.Enabled());
  EXPECT_FALSE(f.ball.Goal);
}

TEST(MatchFrame, ServeRuleIdlesWhilePausedAndOnTheCentreLine) {
  Rig rig;
  rig.Start();
  rig.PlayIntro();
  Form1& f = *rig.form;
  f.ball.Translate_ball(1, 0);
  f.paused = true;
  f.Timer4_Timer();
  EXPECT_EQ(f.ball.RScore, 0);
  f.paused = false;
  f.Timer4_Timer();
  EXPECT_EQ(f.ball.RScore, 1) << "ball on the left player's half";
  f.ball.Translate_ball(0, 1);
  f.Timer4_Timer();
  EXPECT_EQ(f.ball.RScore + f.ball.LScore, 1);
}

TEST(MatchFrame, MatchEndsAtOneHundredEightySeconds) {
  Rig rig;
  rig.Start();
  rig.PlayIntro();
  Form1& f = *rig.form;
  f.matchClock = 179;
  f.EnableTimer(f.Timer4, true);
  const std::string track = "bck" + std::to_string(f.musicTrack) + ".wav";
  while (f.screenState.empty() && f.matchClock >= 179) rig.Frames(1);
  EXPECT_EQ(f.screenState, "FRM_AFTER");
  EXPECT_EQ(f.matchClock, 0);
  EXPECT_FALSE(f.Timer4.Enabled());
  EXPECT_GE(rig.CountSounds(track, SoundEvent::Stop), 1);
}

// A goal in the frame that ends the match is not booked, and nothing is awarded after it.
TEST(MatchFrame, NothingMovesOrScoresAfterTheMatchHasEnded) {
  Rig rig;
  rig.Start();
  rig.PlayIntro();
  Form1& f = *rig.form;
  f.rRacket.Translate_Racket(-3, 2);
  f.ball.Goal = false;
  f.ball.Xdir = -1;
  f.ball.Translate_ball(-4.45, 0);  // would cross the goal line in this frame's move
  f.ball.RScore = 2;
  f.ball.LScore = 5;
  f.matchClock = 180;
  const int goals = rig.CountSounds("goal.wav", SoundEvent::Play);
  rig.Frames(1);
  ASSERT_EQ(f.screenState, "FRM_AFTER");
  EXPECT_EQ(f.ball.LScore, 5);
  EXPECT_EQ(f.ball.RScore, 2);
  EXPECT_NEAR(f.ball.cposx, -4.45, 1e-6) << "the ball stays as drawn";
  EXPECT_FALSE(f.Timer4.Enabled());
  rig.RunFor(20000);
  EXPECT_EQ(f.ball.LScore, 5);
  EXPECT_EQ(f.ball.RScore, 2);
  EXPECT_EQ(rig.CountSounds("goal.wav", SoundEvent::Play), goals);
}

TEST(MatchFrame, ServeRuleLeftRunningOutsideAMatchAwardsNothing) {
  Rig rig;
  rig.Start();
  Form1& f = *rig.form;
  f.ball.Translate_ball(-2.5, 0);
  f.screenState = "FRM_AFTER";
  f.EnableTimer(f.Timer4, true);
  const int goals = rig.CountSounds("goal.wav", SoundEvent::Play);
  rig.RunFor(20000);
  EXPECT_EQ(f.ball.LScore, 0);
  EXPECT_EQ(f.ball.RScore, 0);
  EXPECT_EQ(rig.CountSounds("goal.wav", SoundEvent::Play), goals);
}

// Q and Esc in the same frame: the next match still opens running, without the serve rule.
TEST(MatchFrame, QWithEscLeavesNoPauseOrServeRuleForTheNextMatch) {
  Rig rig;
  rig.Start();
  rig.PlayIntro();
  Form1& f = *rig.form;
  rig.platform.Press(DIK_Q);
  rig.platform.Press(DIK_ESCAPE);
  rig.Frames(1);
  rig.platform.keys.fill(0);
  ASSERT_EQ(f.screenState, "FRMSINGLE_MULTI");
  ASSERT_TRUE(f.paused) << "Esc after Q in the same call pauses again";
  EXPECT_FALSE(f.Timer4.Enabled()) << "Q stopped the serve rule, and a pause leaves it off";
  rig.Start();
  EXPECT_FALSE(f.paused);
  EXPECT_FALSE(f.Timer4.Enabled());
  rig.PlayIntro();
  rig.RunFor(10000);
  EXPECT_EQ(f.ball.LScore, 0);
  EXPECT_EQ(f.ball.RScore, 0);
  EXPECT_GE(f.matchClock, 9) << "the clock runs: not paused";
}

TEST(MatchFrame, WaitingBallOnTheHumansHalfHoldsTheComputer) {
  Rig rig;
  rig.Start({.onePlayer = true, .level = 3});
  rig.PlayIntro();
  Form1& f = *rig.form;
  const double z = f.lRacket.cposz, x = f.lRacket.cposx;
  f.ball.Translate_ball(-2.5, 2);
  rig.Frames(30);
  EXPECT_EQ(f.lRacket.cposz, z);
  EXPECT_EQ(f.lRacket.cposx, x);
  // On its own half it goes for the serve.
  f.ball.Translate_ball(2.5, 0);
  rig.Frames(30);
  EXPECT_FALSE(f.ball.Goal) << "the computer served";
  EXPECT_LT(f.ball.Xdir, 0);
}

TEST(MatchFrame, PausedFrameStillStrikesABallLeftAgainstACurve) {
  Rig rig;
  rig.Start();
  rig.PlayIntro();
  Form1& f = *rig.form;
  f.paused = true;
  f.ball.Translate_ball(-3.4, 0);
  const int springs = rig.CountSounds("spring.wav", SoundEvent::Play);
  rig.Frames(3);
  EXPECT_NEAR(f.ball.cposx, -3.4, 1e-6) << "the ball does not move";
  EXPECT_EQ(rig.CountSounds("spring.wav", SoundEvent::Play), springs + 3);
}
