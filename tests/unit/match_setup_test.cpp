// Starting a match: names, speeds, the serve position, the sounds and what a missing
// file does.
#include <gtest/gtest.h>

#include "unit/match_harness.h"

using match_test::MatchOptions;
using match_test::Rig;
using plat::testing::SoundEvent;

TEST(MatchSetup, OnePlayerNamesTheComputerWhateverWasTyped) {
  Rig rig;
  rig.Start({.onePlayer = true, .level = 1, .rName = "", .lName = "BOB"});
  EXPECT_EQ(rig.form->LName, "Computer");
  EXPECT_EQ(rig.form->RName, "PLAYER 2");
}

TEST(MatchSetup, TwoPlayersWithoutNamesArePlayerOneLeftAndPlayerTwoRight) {
  Rig rig;
  rig.Start({.onePlayer = false, .level = 2, .rName = "", .lName = ""});
  EXPECT_EQ(rig.form->LName, "PLAYER 1");
  EXPECT_EQ(rig.form->RName, "PLAYER 2");
}

TEST(MatchSetup, SpeedsByModeAndLevel) {
  struct Row {
    bool onePlayer;
    int16_t level;
    double ball, right, left;
  };
  for (const Row& r : {Row{true, 1, 8, 7, 5}, Row{true, 2, 9, 8.5, 5}, Row{true, 3, 10, 8.5, 6.5},
                       Row{false, 1, 8, 7, 7}, Row{false, 2, 9, 8.5, 8.5}, Row{false, 3, 10, 8.5, 8.5}}) {
    SCOPED_TRACE(::testing::Message() << "onePlayer " << r.onePlayer << " level " << r.level);
    Rig rig;
    rig.Start({.onePlayer = r.onePlayer, .level = r.level});
    const Form1& f = *rig.form;
    EXPECT_EQ(f.ball.baspeed, r.ball);
    EXPECT_EQ(f.ball.bnspeed, 1.5 * r.ball);
    EXPECT_EQ(f.rRacket.rspeed, r.right);
    EXPECT_EQ(f.lRacket.rspeed, r.left);
  }
}

TEST(MatchSetup, MatchOpensWaitingForTheRightPlayersServe) {
  Rig rig;
  rig.Start();
  const Form1& f = *rig.form;
  EXPECT_TRUE(f.ball.Goal);
  EXPECT_EQ(f.ball.Xdir, 0);
  EXPECT_EQ(f.ball.Zdir, 0);
  // One frame of motion at 50 frames a second along +x from the serve point.
  EXPECT_NEAR(f.ball.cposx, -2.5 + 8.0 / 50 * 51 / 50, 1e-4);
  EXPECT_EQ(f.rRacket.cposx, -4.0);
  EXPECT_EQ(f.rRacket.cposz, -0.5);
  EXPECT_EQ(f.lRacket.cposx, 4.0);
  EXPECT_EQ(f.lRacket.cposz, -0.5);
  EXPECT_TRUE(f.cam_inter);
  EXPECT_TRUE(f.serveWait);
  EXPECT_TRUE(f.Timer1.Enabled());
  EXPECT_EQ(f.Timer1.Interval(), 3000u);
  EXPECT_FALSE(f.Timer4.Enabled());
  EXPECT_FALSE(f.paused);
  EXPECT_EQ(f.matchClock, 0);
  EXPECT_EQ(f.lightFade, -0.2);
  EXPECT_TRUE(f.mayMovePlusZ && f.mayMoveMinusZ && f.mayMovePlusX && f.mayMoveMinusX);
}

TEST(MatchSetup, SecondMatchStopsTheTrackLoadsAgainAndKeepsTheTexturesOfUnchangedFiles) {
  Rig rig;
  rig.Start();
  const int16_t first = rig.form->musicTrack;
  EXPECT_GE(first, 1);
  EXPECT_LE(first, 8);
  rig.form->ball.RScore = 4;
  rig.form->matchClock = 77;
  const auto created = rig.CountSounds("goal.wav", SoundEvent::Create);
  const auto textures = rig.device().texturesCreated;
  rig.Start();
  EXPECT_GE(rig.CountSounds(".wav", SoundEvent::Stop), 1);
  EXPECT_EQ(rig.CountSounds("goal.wav", SoundEvent::Create), created + 1);
  EXPECT_EQ(rig.device().texturesCreated, textures);  // the same pictures, unchanged: nothing made
  const std::string track = "bck" + std::to_string(rig.form->musicTrack) + ".wav";
  EXPECT_GE(rig.CountSounds(track, SoundEvent::Create), 1);
  EXPECT_EQ(rig.form->ball.RScore, 0);
  EXPECT_EQ(rig.form->matchClock, 0);
}

TEST(MatchSetup, SoundVolumes) {
  Rig rig;
  rig.Start();
  auto volumeOf = [&](const std::string& file) {
    int32_t v = 1;
    for (const auto& e : rig.platform.sounds) {
      if (e.kind == SoundEvent::Volume && e.path.ends_with(file)) v = e.value;
    }
    return v;
  };
  EXPECT_EQ(volumeOf("tcoll.wav"), -400);
  EXPECT_EQ(volumeOf("rcoll.wav"), -400);
  EXPECT_EQ(volumeOf("pocket.wav"), -500);
  EXPECT_EQ(volumeOf("spring.wav"), -500);
  EXPECT_EQ(volumeOf("goal.wav"), -500);
  EXPECT_EQ(volumeOf("bck" + std::to_string(rig.form->musicTrack) + ".wav"), -500);
}

TEST(MatchSetup, TwentiethCountedEffectReloadsTheEffects) {
  Rig rig;
  rig.Start();
  Form1& f = *rig.form;
  f.fxCount = 0;
  const int before = rig.CountSounds("tcoll.wav", SoundEvent::Create);
  const int goalBefore = rig.CountSounds("goal.wav", SoundEvent::Create);
  const int musicBefore = rig.CountSounds("bck", SoundEvent::Create);
  ASSERT_GE(musicBefore, 1);
  for (int i = 0; i < 10; ++i) {
    f.play_s_fx(1);  // pocket and spring do not count
    f.play_s_fx(3);
  }
  for (int i = 0; i < 19; ++i) f.play_s_fx(i % 2 == 0 ? 4 : 2);
  EXPECT_EQ(f.fxCount, 19);
  EXPECT_EQ(rig.CountSounds("tcoll.wav", SoundEvent::Create), before);
  f.play_s_fx(2);
  EXPECT_EQ(f.fxCount, 0);
  EXPECT_EQ(rig.CountSounds("tcoll.wav", SoundEvent::Create), before + 1);
  EXPECT_EQ(rig.CountSounds("spring.wav", SoundEvent::Create), before + 1);
  EXPECT_EQ(rig.CountSounds("goal.wav", SoundEvent::Create), goalBefore + 1);
  EXPECT_EQ(rig.CountSounds("bck", SoundEvent::Create), musicBefore);  // the track survives
  f.play_s_fx(7);                                                      // no such effect
  EXPECT_EQ(f.fxCount, 0);
}

TEST(MatchSetup, EffectsPlayTheirOwnBuffersOnce) {
  Rig rig;
  rig.Start();
  const char* files[] = {"", "pocket.wav", "rcoll.wav", "spring.wav", "tcoll.wav"};
  for (int16_t t = 1; t <= 4; ++t) {
    const int before = rig.CountSounds(files[t], SoundEvent::Play);
    rig.form->play_s_fx(t);
    EXPECT_EQ(rig.CountSounds(files[t], SoundEvent::Play), before + 1) << files[t];
    EXPECT_EQ(rig.platform.sounds.back().value, 0) << "played once, not looping";
  }
}

TEST(MatchSetup, MissingPictureStartsTheMatchWithWhatWasLoaded) {
  TempFolder copy;
  match_test::CopyData(copy.Path(""));
  std::filesystem::remove(plat::NormalizePath(copy.Path("Textures/paused.tga")));
  Rig rig(copy.Path(""));
  ::testing::internal::CaptureStderr();
  rig.Start();
  EXPECT_FALSE(rig.form->intialisegeometry());
  const std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("paused.tga"), std::string::npos) << log;
  // The match started all the same, and plays.
  EXPECT_EQ(rig.form->LName, "Computer");
  rig.PlayIntro();
  rig.Frames(10);
  EXPECT_EQ(rig.form->screenState, "");
}

TEST(MatchSetup, MissingSoundEndsTheMatchStartWithAnErrorNamingTheFile) {
  TempFolder copy;
  match_test::CopyData(copy.Path(""));
  std::filesystem::remove(plat::NormalizePath(copy.Path("Sounds/spring.wav")));
  Rig rig(copy.Path(""));
  try {
    rig.Start();
    FAIL() << "the match started without its sounds";
  } catch (const plat::LoadError& e) {
    EXPECT_NE(e.path().find("spring.wav"), std::string::npos) << e.what();
  }
}

TEST(MatchSetup, MissingLampIsReportedAndTheMatchPlaysWithoutIt) {
  TempFolder copy;
  match_test::CopyData(copy.Path(""));
  std::filesystem::remove(plat::NormalizePath(copy.Path("lamp.x")));
  Rig rig(copy.Path(""));
  ::testing::internal::CaptureStderr();
  rig.Start();
  const std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("lamp.x"), std::string::npos) << log;
  rig.PlayIntro();
  rig.Frames(5);
  EXPECT_EQ(rig.form->screenState, "");
}

TEST(MatchSetup, ResetVarKeepsTheBoostLatchesButDropsTheBoost) {
  Rig rig;
  rig.Start({.onePlayer = false, .level = 2});
  Form1& f = *rig.form;
  f.rRacket.rspeed += 3;
  f.rBoostLatch = true;
  f.rRacket.Translate_Racket(-3, 1);
  f.mayMoveMinusZ = false;
  f.Reset_var();
  EXPECT_EQ(f.rRacket.rspeed, 8.5);
  EXPECT_TRUE(f.rBoostLatch);
  EXPECT_EQ(f.rRacket.cposx, -4.0);
  EXPECT_EQ(f.rRacket.cposz, -0.5);
  EXPECT_TRUE(f.mayMoveMinusZ);
}
