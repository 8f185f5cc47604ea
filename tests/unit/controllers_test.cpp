// Game controllers on the test face: on the menus and in a match they hold down the keys
// the game reads, frame for frame as the keys themselves would; pulling one out pauses a
// match; hits and goals rumble the controller of the player concerned.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "unit/match_harness.h"

using match_test::Rig;
using plat::testing::RumbleEvent;
using plat::testing::TestPlatform;
using namespace plat;

namespace {

// What one player holds in a frame.
enum Input : unsigned {
  kUp = 1,
  kDown = 2,
  kLeft = 4,
  kRight = 8,
  kBoost = 16,
  kStart = 32,
  kBack = 64,
  kA = 128
};

struct Step {
  int from, to;  // frames [from, to) of the run
  int player;    // 0 the right racket's, 1 the left one's
  unsigned inputs;
};

// From the player-count screen, with nothing but the two players' inputs (held for five
// frames on the menus: one key poll at 60 frames a second): two players, level 2, a match
// with both rackets moved, boosted, paused and resumed, then left with Back for the
// player-count screen, where the focus moves once more.
// clang-format off
const std::vector<Step> kRun = {
    {10, 15, 1, kDown}, {30, 35, 0, kA},       // two players
    {50, 55, 1, kDown}, {70, 75, 0, kDown},    // the level selector
    {90, 95, 1, kA}, {110, 115, 0, kDown},     // level 2, then Play
    {130, 135, 1, kA},                         // the match
    {420, 450, 0, kUp}, {420, 450, 1, kDown},
    {450, 470, 0, kUp | kLeft}, {450, 470, 1, kRight},
    {470, 473, 0, kBoost}, {475, 476, 1, kBoost},  // three frames, one frame
    {480, 540, 0, kStart}, {560, 562, 1, kStart},  // held for a second, a tap
    {580, 600, 0, kDown | kRight}, {580, 600, 1, kUp | kLeft | kBoost},
    {620, 622, 1, kBack}, {640, 645, 1, kDown}};
// clang-format on
constexpr int kRunFrames = 660;

unsigned Held(int frame, int player) {
  unsigned held = 0;
  for (const Step& s : kRun) {
    if (s.player == player && frame >= s.from && frame < s.to) held |= s.inputs;
  }
  return held;
}

// The keys a player's inputs stand for, as the README's keys table has them.
void PressKeys(TestPlatform& p, unsigned held, int player, bool inMatch) {
  auto key = [&](unsigned input, uint8_t dik) {
    if ((held & input) != 0 && dik != 0) p.Press(dik);
  };
  if (inMatch) {
    const bool right = player == 0;
    key(kUp, right ? DIK_UP : DIK_W);
    key(kDown, right ? DIK_DOWN : DIK_S);
    key(kLeft, right ? DIK_LEFT : DIK_A);
    key(kRight, right ? DIK_RIGHT : DIK_D);
    key(kBoost, right ? DIK_RSHIFT : DIK_LSHIFT);
  } else {
    key(kUp, DIK_UP);
    key(kDown, DIK_DOWN);
    key(kA, DIK_RETURN);
  }
  key(kStart, DIK_ESCAPE);
  key(kBack, DIK_Q);
}

// The same inputs on a controller, through the D-pad, the stick pushed fully or just past
// its dead zone, the trigger or either shoulder by turns; the stick and the trigger rest
// just short of pressing anything in between.
PadState PadFor(unsigned held, int frame) {
  PadState p;
  const int way = frame % 3;
  const int16_t push = way == 1 ? 32767 : kStickDeadZone + 1;
  const auto rest = static_cast<int16_t>(frame % 2 == 0 ? kStickDeadZone : -kStickDeadZone);
  p.stickX = rest;
  p.stickY = rest;
  p.trigger = kTriggerPoint - 1;
  auto direction = [&](unsigned input, bool& dpad, int16_t& axis, int sign) {
    if ((held & input) == 0) return;
    if (way == 0) {
      dpad = true;
    } else {
      axis = static_cast<int16_t>(sign * push);
    }
  };
  direction(kUp, p.up, p.stickY, -1);
  direction(kDown, p.down, p.stickY, 1);
  direction(kLeft, p.left, p.stickX, -1);
  direction(kRight, p.right, p.stickX, 1);
  if ((held & kBoost) != 0) {
    if (way == 0) p.trigger = kTriggerPoint;
    p.leftShoulder = way == 1;
    p.rightShoulder = way == 2;
  }
  p.start = (held & kStart) != 0;
  p.back = (held & kBack) != 0;
  p.a = (held & kA) != 0;
  return p;
}

// What a frame leaves: the keyboard as the game would read it now, and the game's state.
struct Frame {
  std::array<uint8_t, 256> keys{};
  std::string screen;
  int bfindex = 0, level = 0;
  bool onePlayer = false, paused = false;
  double rx = 0, rz = 0, lx = 0, lz = 0, rspeed = 0, lspeed = 0;
  bool operator==(const Frame&) const = default;
};

std::vector<Frame> Play(bool withPads) {
  Rig rig;
  Form1& f = *rig.form;
  for (int i = 0; i < 100000 && f.screenState != "FRMSINGLE_MULTI"; ++i) {  // the logo sequence
    rig.platform.Advance(1);                                                // its hand-over presents nothing
    f.Pass();
  }
  if (withPads) {
    rig.platform.PlugPad(0);
    rig.platform.PlugPad(1);
  }
  std::vector<Frame> frames;
  for (int i = 0; i < kRunFrames; ++i) {
    rig.platform.keys.fill(0);
    for (int player = 0; player < 2; ++player) {
      if (withPads) {
        *rig.platform.pads[player] = PadFor(Held(i, player), i);
      } else {
        PressKeys(rig.platform, Held(i, player), player, f.screenState.empty());
      }
    }
    f.Pass();
    Frame fr;
    f.D.Keyboard->GetDeviceStateKeyboard(fr.keys.data());
    fr.screen = f.screenState;
    fr.bfindex = f.bfindex;
    fr.level = f.level;
    fr.onePlayer = f.onePlayer;
    fr.paused = f.paused;
    fr.rx = f.rRacket.cposx;
    fr.rz = f.rRacket.cposz;
    fr.lx = f.lRacket.cposx;
    fr.lz = f.lRacket.cposz;
    fr.rspeed = f.rRacket.rspeed;
    fr.lspeed = f.lRacket.rspeed;
    frames.push_back(fr);
  }
  return frames;
}

}  // namespace

TEST(Controllers, PlayTheMenusAndAMatchExactlyAsTheirKeysDo) {
  const std::vector<Frame> keys = Play(false), pads = Play(true);
  for (int i = 0; i < kRunFrames; ++i) {
    ASSERT_TRUE(keys[i] == pads[i]) << "frame " << i << " differs: screen '" << pads[i].screen
                                    << "' against '" << keys[i].screen << "'";
  }
  // The run did what it says.
  auto at = [&](int frame) { return pads[frame]; };
  EXPECT_EQ(at(300).screen, "");
  EXPECT_FALSE(at(300).onePlayer);
  EXPECT_EQ(at(300).level, 2);
  EXPECT_LT(at(449).rz, at(419).rz) << "right racket up";
  EXPECT_GT(at(449).lz, at(419).lz) << "left racket down";
  EXPECT_GT(at(469).rx, at(449).rx) << "right racket left, towards +x";
  EXPECT_LT(at(469).lx, at(449).lx) << "left racket right, towards -x";
  EXPECT_EQ(at(474).rspeed, at(469).rspeed + 3) << "three frames of boost leave it raised";
  EXPECT_EQ(at(476).lspeed, at(474).lspeed + 3) << "one frame of boost raises it";
  int toggles = 0;
  for (int i = 481; i < 545; ++i) toggles += at(i).paused != at(i - 1).paused;
  EXPECT_GE(toggles, 4) << "Start held for a second toggles the pause every 200 ms";
  EXPECT_LE(toggles, 6);
  EXPECT_NE(at(565).paused, at(555).paused);
  EXPECT_EQ(at(630).screen, "FRMSINGLE_MULTI");
  EXPECT_EQ(at(kRunFrames - 1).bfindex, 2);
}

namespace {

// A match started with two controllers plugged in.
struct PadMatch {
  Rig rig;
  TestPlatform& p = rig.platform;
  Form1& f = *rig.form;
  explicit PadMatch(bool onePlayer) {
    p.PlugPad(0);
    p.PlugPad(1);
    rig.Start({.onePlayer = onePlayer});
  }
};

}  // namespace

TEST(Controllers, PullingOneOutPausesAMatchAndPluggedBackItPlaysOn) {
  PadMatch m(false);
  Rig& rig = m.rig;
  TestPlatform& p = m.p;
  Form1& f = m.f;
  rig.PlayIntro();
  rig.Frames(20);
  p.pads[1]->up = true;  // the left player holds W ...
  rig.Frames(1);
  p.PullPad(1);  // ... when his cable comes out
  rig.Frames(1);
  EXPECT_TRUE(f.paused);
  EXPECT_EQ(f.keyState[DIK_W], 0);
  rig.Frames(30);
  p.PullPad(1);  // pulled out again while paused: still paused, not toggled
  rig.Frames(1);
  EXPECT_TRUE(f.paused);

  p.PlugPad(1);
  p.pads[1]->start = true;
  rig.Frames(1);
  p.pads[1]->start = false;
  EXPECT_FALSE(f.paused);
  const double z = f.lRacket.cposz;
  p.pads[1]->stickY = 32767;
  rig.Frames(5);
  EXPECT_GT(f.lRacket.cposz, z) << "the controller plugged back plays the left racket";

  // On a menu nothing pauses.
  p.pads[0]->back = true;
  rig.Frames(1);
  p.pads[0]->back = false;
  ASSERT_EQ(f.screenState, "FRMSINGLE_MULTI");
  p.PullPad(0);
  rig.Frames(1);
  EXPECT_FALSE(f.paused);
}

TEST(Controllers, HitsAndGoalsRumbleThePlayerConcerned) {
  for (const bool onePlayer : {false, true}) {
    SCOPED_TRACE(onePlayer ? "one player" : "two players");
    PadMatch m(onePlayer);
    TestPlatform& p = m.p;
    Form1& f = m.f;
    f.FPS_Current = 50;
    auto rumbles = [&](int pad, uint32_t ms) {
      return std::count_if(p.rumbles.begin(), p.rumbles.end(),
                           [&](const RumbleEvent& r) { return r.pad == pad && r.ms == ms; });
    };
    // A front hit of each racket.
    f.ball.Translate_ball(-4.0 + 0.6, 0);
    f.ball.Xdir = -1;
    f.Checkcoll();
    f.ball.Translate_ball(4.0 - 0.6, 0);
    f.ball.Xdir = 1;
    f.Coll_thisloop = false;
    f.Checkcoll();
    EXPECT_EQ(rumbles(0, 80), 1);
    EXPECT_EQ(rumbles(1, 80), onePlayer ? 0 : 1) << "the computer holds no controller";
    // A goal into the left player's goal, then the serve rule's point against the right one.
    f.ball.Translate_ball(4.45, 2.0);
    f.ball.Xdir = 1;
    f.ball.Zdir = 1;
    f.ball.bspeed = f.ball.baspeed;
    f.ball.fMove(50, 0.01);
    ASSERT_EQ(f.ball.RScore, 1);
    EXPECT_EQ(rumbles(1, 400), onePlayer ? 0 : 1);
    f.ball.Translate_ball(-2.5, 0);
    f.Timer4_Timer();
    ASSERT_EQ(f.ball.LScore, 1);
    EXPECT_EQ(rumbles(0, 400), 1);
    EXPECT_EQ(p.rumbles.front().strength, 0.5f);
    EXPECT_EQ(p.rumbles.back().strength, 1.0f);
  }
}
