// The program under abuse, on the test face: names of a thousand typed characters, every
// key held at once on every screen, Esc hammered in a match, and the window closed on every
// screen. Nothing may crash, and nothing may be left stuck: once the keys are let go the
// program can still be played through to a match and out, or it has ended with code 0.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "platform/app_path.h"
#include "platform/testing/test_platform.h"
#include "screens/menu_common.h"

using plat::testing::TestPlatform;

namespace {

bool HaveGameData() {
  for (const char* f :
       {"Textures/logo.tga", "Textures/back.tga", "Sounds/menu.wav", "tables/table.x", "lamp.x"}) {
    if (!std::filesystem::exists(std::filesystem::path(VANTOR_DATA_DIR) / f)) return false;
  }
  return true;
}

// A Form1 on the test face, run frame by frame on the virtual clock; `script` is called
// before every frame's events with the keys already let go.
class Session {
 public:
  Session() {
    p.appFolder = VANTOR_DATA_DIR;
    p.recordSounds = false;
    plat::SetAppPath(p.appFolder);
    form = std::make_unique<Form1>(p);
    p.onPump = [this](TestPlatform& tp) {
      // Frames that present nothing (the logo's hand-over) still let a millisecond pass.
      if (tp.device != nullptr && tp.device->presents == presentsAtPump) tp.Advance(1);
      if (tp.device != nullptr) presentsAtPump = tp.device->presents;
      if (!holdKeys) tp.keys.fill(0);
      if (script) script(tp);
    };
    form->Startup();
    p.device->recording = false;
  }

  Form1& f() { return *form; }
  const std::string& screen() const { return form->screenState; }
  bool ended() const { return endCode.has_value(); }

  // One frame; false once the program has ended.
  bool Frame() {
    if (ended()) return false;
    try {
      form->Pass();
    } catch (const plat::ProgramEnd& e) {
      endCode = e.code;
      return false;
    }
    return true;
  }
  // Frames for `ms` of the virtual clock, or until the program ends.
  bool Run(uint32_t ms) {
    const uint32_t end = p.now + ms;
    while (static_cast<int32_t>(end - p.now) > 0) {
      if (!Frame()) return false;
    }
    return true;
  }
  // Frames until `done`, for at most `ms`; whether `done` came.
  bool RunUntil(const std::function<bool()>& done, uint32_t ms) {
    const uint32_t end = p.now + ms;
    while (!done()) {
      if (static_cast<int32_t>(end - p.now) <= 0 || !Frame()) return false;
    }
    return true;
  }
  // Holds `key` (with the script's keys) until `done`.
  bool HoldUntil(uint8_t key, const std::function<bool()>& done, uint32_t ms = 3000) {
    script = [key](TestPlatform& tp) { tp.Press(key); };
    const bool ok = RunUntil(done, ms);
    script = nullptr;
    return ok;
  }

  // ---- The way through the program, as a player goes --------------------------------

  bool ToPlayerCount() {
    return RunUntil([this] { return screen() == "FRMSINGLE_MULTI"; }, 10000);
  }
  bool ToLevelScreen(bool onePlayer) {
    if (!ToPlayerCount()) return false;
    if (!onePlayer && !HoldUntil(plat::DIK_DOWN, [this] { return f().bfindex == 2; })) return false;
    return HoldUntil(plat::DIK_RETURN, [this] { return screen() == "FRMLVL"; });
  }
  // From the level screen: the focus to Play, then Return.
  bool Play() {
    script = [this](TestPlatform& tp) {
      const int16_t b = f().bfindex;
      tp.Press(b < 4 ? plat::DIK_DOWN : b > 4 ? plat::DIK_UP : plat::DIK_RETURN);
    };
    const bool ok = RunUntil([this] { return screen().empty(); }, 5000);
    script = nullptr;
    return ok;
  }
  bool PastIntro() {
    return RunUntil([this] { return screen().empty() && !f().cam_inter; }, 10000);
  }
  bool ToMatch(bool onePlayer = true) { return ToLevelScreen(onePlayer) && Play() && PastIntro(); }
  // The match's clock skipped to its last second.
  bool ToAfterMatch() {
    if (!ToMatch()) return false;
    f().matchClock = 179;
    return RunUntil([this] { return screen() == "FRM_AFTER"; }, 3000);
  }

  // From wherever the program stands, with every key let go: on to a match, two seconds of
  // play, Q, and the window closed on the player-count screen. Whether that ended with 0.
  bool PlayThrough() {
    holdKeys = false;
    bool matchSeen = false;
    uint32_t playStart = 0;
    script = [&](TestPlatform& tp) {
      const std::string& s = screen();
      if (s == "FRMSINGLE_MULTI") {
        if (matchSeen) {
          tp.closeRequested = true;
        } else {
          tp.Press(f().bfindex == 1 ? plat::DIK_RETURN : plat::DIK_UP);
        }
      } else if (s == "FRMLVL") {
        const int16_t b = f().bfindex;
        tp.Press(b < 4 ? plat::DIK_DOWN : b > 4 ? plat::DIK_UP : plat::DIK_RETURN);
      } else if (s.empty()) {
        matchSeen = true;
        if (f().paused && !f().escLatch) tp.Press(plat::DIK_ESCAPE);
        if (f().cam_inter || f().paused) return;
        if (playStart == 0) playStart = tp.now;
        if (tp.now - playStart >= 2000) tp.Press(plat::DIK_Q);
      } else if (s == "FRM_AFTER") {
        tp.Press(f().bfindex == 1 ? plat::DIK_RETURN : plat::DIK_UP);  // play again
      }
    };
    Run(60000);
    script = nullptr;
    return matchSeen && endCode == 0;
  }

  TestPlatform p;
  std::unique_ptr<Form1> form;
  std::function<void(TestPlatform&)> script;
  bool holdKeys = false;  // keys stay as they are between frames
  std::optional<int> endCode;
  uint64_t presentsAtPump = 0;
};

class RobustnessStress : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveGameData()) GTEST_SKIP() << "the generated game data is not there";
  }
};

// A text of `n` copies of `c`.
std::string Repeat(const std::string& c, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += c;
  return s;
}

// Every text the device drew in the next frame.
std::vector<std::string> DrawnTexts(Session& s) {
  s.p.device->recording = true;
  s.p.device->ClearCalls();
  s.Frame();
  s.p.device->recording = false;
  return s.p.device->Texts();
}

}  // namespace

// ---- Names of a thousand characters ------------------------------------------------------

TEST_F(RobustnessStress, ThousandCharacterNamesStopAtSixteenCharactersEverywhere) {
  Session s;
  ASSERT_TRUE(s.ToLevelScreen(false));
  Form1& f = s.f();
  // The left name: a thousand keystrokes, one a frame.
  for (int i = 0; i < 1000; ++i) {
    s.p.typing.push_back(std::string(1, static_cast<char>('A' + i % 26)));
    ASSERT_TRUE(s.Frame());
  }
  EXPECT_EQ(f.leftNameEntry, "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(f.Text1.Text(), "ABCDEFGHIJKLMNOP");
  // The right name: a thousand bytes that start no character, a thousand two-byte and a
  // thousand four-byte characters in one go each.
  ASSERT_TRUE(s.HoldUntil(plat::DIK_DOWN, [&] { return f.bfindex == 2; }));
  auto backspaces = [&s] {
    for (int i = 0; i < 1000; ++i) s.p.typing.emplace_back("\b");
  };
  s.p.typing.emplace_back("x");  // dropped: the field still held the left name
  s.p.typing.push_back(Repeat("\x80", 1000));
  ASSERT_TRUE(s.Run(100));
  EXPECT_LE(f.rightNameEntry.size(), 16u * 4) << "bytes kept beyond sixteen characters";
  backspaces();
  s.p.typing.push_back(Repeat("\xC3\xA9", 1000));  // é
  s.p.typing.push_back(Repeat("\xF0\x9F\x8F\x92", 1000));
  ASSERT_TRUE(s.Run(100));
  EXPECT_EQ(f.rightNameEntry, Repeat("\xC3\xA9", 16));
  for (const std::string& t : DrawnTexts(s)) EXPECT_LE(screens::CharacterCount(t), 21) << t;
  backspaces();
  s.p.typing.push_back(Repeat("\xF0\x9F\x8F\x92", 1000));
  ASSERT_TRUE(s.Run(100));
  EXPECT_EQ(f.rightNameEntry, Repeat("\xF0\x9F\x8F\x92", 16));
  // A thousand Backspaces empty it, and more do nothing.
  backspaces();
  backspaces();
  ASSERT_TRUE(s.Run(100));
  EXPECT_EQ(f.rightNameEntry, "");
  s.p.typing.push_back(Repeat("Z", 1000));
  ASSERT_TRUE(s.Run(100));
  EXPECT_EQ(f.rightNameEntry, Repeat("Z", 16));

  // The match and the after-match screen show the names as they are.
  ASSERT_TRUE(s.Play());
  EXPECT_EQ(f.LName, "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(f.RName, Repeat("Z", 16));
  ASSERT_TRUE(s.PastIntro());
  bool sawNames = false;
  for (const std::string& t : DrawnTexts(s)) {
    EXPECT_LE(t.size(), 24u) << t;
    sawNames = sawNames || t == f.RName;
  }
  EXPECT_TRUE(sawNames);
  f.matchClock = 179;
  ASSERT_TRUE(s.RunUntil([&] { return s.screen() == "FRM_AFTER"; }, 3000));
  s.p.device->recording = true;
  s.p.device->ClearCalls();
  ASSERT_TRUE(s.Frame());
  s.p.device->recording = false;
  int names = 0;
  for (const auto* c : s.p.device->Find(plat::testing::Op::DrawText)) {
    if (c->text != f.RName && c->text != f.LName) continue;
    ++names;
    EXPECT_GE(c->rect.left, 0) << c->text << " starts off the screen";
    EXPECT_LE(c->rect.left + 18 * 16, 800) << c->text << " runs off the screen";
  }
  EXPECT_EQ(names, 2);
  EXPECT_TRUE(s.PlayThrough());
}

// ---- Every key held at once --------------------------------------------------------------

struct ScreenCase {
  const char* name;
  std::function<bool(Session&)> reach;
};
void PrintTo(const ScreenCase& c, std::ostream* os) { *os << c.name; }

class RobustnessAllKeys : public ::testing::TestWithParam<ScreenCase> {
 protected:
  void SetUp() override {
    if (!HaveGameData()) GTEST_SKIP() << "the generated game data is not there";
  }
};

const std::vector<ScreenCase>& Screens() {
  static const std::vector<ScreenCase> screens = {
      {"Logo", [](Session& s) { return s.Run(500) && s.screen() == "FRMLOGO"; }},
      {"PlayerCount", [](Session& s) { return s.ToPlayerCount(); }},
      {"LevelOnePlayer", [](Session& s) { return s.ToLevelScreen(true); }},
      {"LevelTwoPlayers", [](Session& s) { return s.ToLevelScreen(false); }},
      {"MatchIntro", [](Session& s) { return s.ToLevelScreen(true) && s.Play(); }},
      {"Match", [](Session& s) { return s.ToMatch(); }},
      {"TwoPlayerMatch", [](Session& s) { return s.ToMatch(false); }},
      {"PausedMatch",
       [](Session& s) {
         return s.ToMatch() && s.HoldUntil(plat::DIK_ESCAPE, [&s] { return s.f().paused; }) && s.Run(300);
       }},
      {"AfterMatch", [](Session& s) { return s.ToAfterMatch(); }},
  };
  return screens;
}

TEST_P(RobustnessAllKeys, EveryKeyHeldForThreeSecondsLeavesNothingStuck) {
  Session s;
  ASSERT_TRUE(GetParam().reach(s)) << "could not reach the screen";
  const std::string before = s.screen();
  s.p.keys.fill(0x80);
  s.holdKeys = true;
  s.Run(3000);
  s.p.keys.fill(0);
  s.holdKeys = false;
  Form1& f = s.f();
  std::printf("%s: every key held -> %s\n", GetParam().name,
              s.ended() ? ("ended with " + std::to_string(*s.endCode)).c_str()
                        : (s.screen().empty() ? "match" : s.screen()).c_str());
  for (double v : {f.rRacket.cposx, f.rRacket.cposz, f.lRacket.cposx, f.lRacket.cposz, f.ball.cposx,
                   f.ball.cposz, f.rRacket.rspeed, f.lRacket.rspeed}) {
    EXPECT_TRUE(std::isfinite(v));
  }
  if (s.ended()) {
    // F10 in a match, or Exit chosen on a menu.
    EXPECT_EQ(*s.endCode, 0);
    return;
  }
  // The two shift keys toggled the boost every frame: the speed stays within a boost of
  // the level's.
  for (const cMadrab* r : {&f.rRacket, &f.lRacket}) {
    if (f.level == 0) break;  // no match started yet
    EXPECT_GE(r->rspeed, 5.0 - 3) << before;
    EXPECT_LE(r->rspeed, 8.5 + 3) << before;
  }
  EXPECT_TRUE(s.PlayThrough()) << "from " << before << " the program could not be played on";
}

INSTANTIATE_TEST_SUITE_P(RobustnessScreens, RobustnessAllKeys, ::testing::ValuesIn(Screens()),
                         [](const ::testing::TestParamInfo<ScreenCase>& info) { return info.param.name; });

// ---- Esc hammered ------------------------------------------------------------------------

TEST_F(RobustnessStress, EscHammeredForTenSecondsThenTheMatchGoesOn) {
  Session s;
  ASSERT_TRUE(s.ToMatch());
  Form1& f = s.f();
  int toggles = 0;
  bool wasPaused = f.paused;
  int frame = 0;
  s.script = [&](TestPlatform& tp) {
    if (++frame % 2 == 0) tp.Press(plat::DIK_ESCAPE);
  };
  const uint32_t end = s.p.now + 10000;
  while (static_cast<int32_t>(end - s.p.now) > 0) {
    ASSERT_TRUE(s.Frame());
    if (f.paused != wasPaused) ++toggles;
    wasPaused = f.paused;
  }
  s.script = nullptr;
  std::printf("Esc down and up every frame for 10 s: %d toggles of the pause\n", toggles);
  // The pause key waits 200 ms before it is read again.
  EXPECT_GE(toggles, 10000 / 250);
  EXPECT_LE(toggles, 10000 / 200 + 1);
  EXPECT_EQ(s.screen(), "");
  // Let go; then one press of Esc resumes a paused match, and the match runs on.
  ASSERT_TRUE(s.Run(300));
  if (f.paused) {
    ASSERT_TRUE(s.HoldUntil(plat::DIK_ESCAPE, [&] { return !f.paused; }));
  }
  ASSERT_TRUE(s.Run(300));
  EXPECT_FALSE(f.paused);
  const double clock = f.matchClock;
  const double racketX = f.rRacket.cposx;
  s.script = [](TestPlatform& tp) { tp.Press(plat::DIK_LEFT); };
  ASSERT_TRUE(s.Run(3000));
  s.script = nullptr;
  EXPECT_GE(f.matchClock, clock + 2) << "the match clock stands still";
  EXPECT_NE(f.rRacket.cposx, racketX) << "the right racket does not move";
  EXPECT_TRUE(s.PlayThrough());
}

// ---- The window closed -------------------------------------------------------------------

TEST_P(RobustnessAllKeys, ClosingTheWindowEndsTheProgramWithCodeZero) {
  Session s;
  ASSERT_TRUE(GetParam().reach(s)) << "could not reach the screen";
  s.p.closeRequested = true;
  EXPECT_FALSE(s.Frame()) << "the program went on";
  EXPECT_EQ(s.endCode, 0);
}

TEST_F(RobustnessStress, ClosingTheWindowBetweenTheLogoPicturesAndWhileTyping) {
  {
    // Between the second logo picture and the player-count screen nothing is drawn.
    Session s;
    ASSERT_TRUE(s.RunUntil([&] { return !s.f().Timer2.Enabled() && !s.f().Timer3.Enabled(); }, 10000));
    ASSERT_EQ(s.screen(), "FRMLOGO");
    s.p.closeRequested = true;
    EXPECT_FALSE(s.Frame());
    EXPECT_EQ(s.endCode, 0);
  }
  {
    Session s;
    ASSERT_TRUE(s.ToLevelScreen(false));
    s.p.typing.emplace_back("ANNA");
    s.p.closeRequested = true;
    s.p.Press(plat::DIK_RETURN);
    EXPECT_FALSE(s.Frame());
    EXPECT_EQ(s.endCode, 0);
  }
}
