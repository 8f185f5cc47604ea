// The menu screens on the test face: the logo sequence, the player-count screen, the level
// and names screen with Text1, and the after-match screen, driven frame by frame on the
// virtual clock with a scripted keyboard and typing.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "platform/app_path.h"
#include "platform/testing/test_platform.h"
#include "screens/menu_common.h"
#include "unit/test_files.h"

#if defined(__SANITIZE_ADDRESS__)
// From the sanitiser's allocator interface.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                                         void (*free_hook)(const volatile void*));
#define SCREENS_COUNT_ALLOCATIONS 1
#endif

using plat::testing::Call;
using plat::testing::Op;
using plat::testing::SoundEvent;
using plat::testing::TestPlatform;

namespace {

// Every file the menus read, and the sounds a match start reads.
const std::vector<std::string>& MenuFiles() {
  static const std::vector<std::string> files = [] {
    std::vector<std::string> f = {"Textures/logo.tga", "Textures/tlogo1.tga", "Textures/back.tga",
                                  "Textures/play_again1.tga"};
    for (const char* stem : {"single", "multi", "back", "exit", "1player", "2player", "play", "lvl"}) {
      for (int i = 1; i <= 3; ++i) f.push_back(std::string("Textures/") + stem + std::to_string(i) + ".tga");
    }
    for (const char* s : {"menu", "tcoll", "rcoll", "pocket", "spring", "goal"}) {
      f.push_back(std::string("Sounds/") + s + ".wav");
    }
    for (int i = 1; i <= 8; ++i) f.push_back("Sounds/bck" + std::to_string(i) + ".wav");
    return f;
  }();
  return files;
}

// The generated game data when it is complete; otherwise small stand-ins of our own (a
// match then starts without its pictures and meshes, which it survives by design).
const std::string& DataFolder() {
  static TempFolder* temp = nullptr;
  static const std::string folder = [] {
    const std::string real = VANTOR_DATA_DIR;
    bool complete = true;
    for (const auto& f : MenuFiles()) complete = complete && std::filesystem::exists(real + "/" + f);
    if (complete) return real;
    temp = new TempFolder();  // lives for the whole test run
    uint32_t shade = 0xFF102030;
    for (const auto& f : MenuFiles()) {
      if (f.ends_with(".tga")) {
        WriteTga(temp->Path(f), 2, 2, std::vector<uint32_t>(4, shade += 0x010101));
      } else {
        WriteWav(temp->Path(f), 2205);
      }
    }
    return temp->Path("");
  }();
  return folder;
}

plat::ScreenVertex FirstVertex(const Call& c) {
  plat::ScreenVertex v{};
  std::memcpy(&v, c.vertices.data(), sizeof v);
  return v;
}

constexpr plat::D3DCOLOR kNormal = plat::D3DColorARGB(255, 255, 255, 255);
constexpr plat::D3DCOLOR kFocused = plat::D3DColorARGB(255, 255, 251, 96);
constexpr plat::D3DCOLOR kPressed = plat::D3DColorARGB(255, 255, 0, 0);

class ScreensFixture : public ::testing::Test {
 protected:
  TestPlatform platform;
  std::unique_ptr<Form1> form;
  uint64_t presentsAtPump = 0;

  void SetUp() override {
    platform.appFolder = DataFolder();
    plat::SetAppPath(platform.appFolder);
    // Frames that present nothing (the logo's hand-over) still let a millisecond pass.
    platform.onPump = [this](TestPlatform& p) {
      if (p.device != nullptr && p.device->presents == presentsAtPump) p.Advance(1);
      if (p.device != nullptr) presentsAtPump = p.device->presents;
    };
    form = std::make_unique<Form1>(platform);
  }

  plat::testing::RecordingDevice& Dev() { return *platform.device; }

  // One pass of the frame loop; the device's log then holds that frame only.
  void Frame() {
    Dev().ClearCalls();
    form->Pass();
  }

  void ToPlayerCount() {
    form->Startup();
    for (int i = 0; i < 1000 && form->screenState != "FRMSINGLE_MULTI"; ++i) Frame();
    ASSERT_EQ(form->screenState, "FRMSINGLE_MULTI");
  }

  // Holds the keys until the screen has read them once, then lets go.
  void Poll(std::initializer_list<uint8_t> keys) {
    for (uint8_t k : keys) platform.Press(k);
    for (int i = 0; i < 100; ++i) {
      Frame();
      if (form->keyPollCounter <= 1) break;  // reset by this frame's poll
    }
    for (uint8_t k : keys) platform.Release(k);
  }

  // One character per frame, as a keyboard delivers them.
  void Type(const std::string& text) {
    for (char c : text) {
      platform.typing.emplace_back(1, c);
      Frame();
    }
  }

  void ToLevelScreen(bool onePlayer) {
    ToPlayerCount();
    Poll({plat::DIK_UP});  // the first frame polls at once: nothing held
    if (!onePlayer) Poll({plat::DIK_DOWN});
    Poll({plat::DIK_RETURN});
    ASSERT_EQ(form->screenState, "FRMLVL");
  }

  int EndCode(const std::function<void()>& run) {
    try {
      run();
    } catch (const plat::ProgramEnd& end) {
      return end.code;
    }
    return -1;
  }

  std::vector<const Call*> Draws() { return Dev().Find(Op::DrawPrimitiveUP); }

  // The tint a button had in the last frame's draws, by its texture; 0 when not drawn.
  plat::D3DCOLOR DrawnTint(const cButton& b) {
    plat::D3DCOLOR tint = 0;
    for (const Call* c : Draws()) {
      if (b.Square() != nullptr && c->texture == b.Square()->TextureObject()) tint = FirstVertex(*c).color;
    }
    return tint;
  }

  const Call* TextCall(const std::string& text) {
    for (const Call* c : Dev().Find(Op::DrawText)) {
      if (c->text == text) return c;
    }
    return nullptr;
  }

  int SoundCount(SoundEvent::Kind kind, const std::string& file) {
    int n = 0;
    for (const auto& s : platform.sounds) n += s.kind == kind && s.path.ends_with(file);
    return n;
  }
};

using ScreensLogo = ScreensFixture;
using ScreensPlayerCount = ScreensFixture;
using ScreensLevel = ScreensFixture;
using ScreensFrames = ScreensFixture;

// Counts heap allocations on the thread that runs the frames while `counting` is set
// (through the address sanitiser's hooks): a thread an earlier test left behind may
// allocate at any moment.
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
thread_local bool framesThread = false;
#ifdef SCREENS_COUNT_ALLOCATIONS
void OnMalloc(const volatile void*, size_t) {
  if (counting && framesThread) ++allocations;
}
void OnFree(const volatile void*) {}
#endif

}  // namespace

// ---- Logo ------------------------------------------------------------------------------

TEST_F(ScreensLogo, TwoPhasesThenThePlayerCountScreenAfterAbout4040Ms) {
  form->Startup();
  const uint32_t start = platform.now;
  const plat::Texture* logo = form->logoImage.TextureObject();
  const plat::Texture* tlogo = form->tlogoImage.TextureObject();
  int phase1 = 0, phase2 = 0, blank = 0;
  uint32_t phase2Start = 0;
  for (int i = 0; i < 1000 && form->screenState == "FRMLOGO"; ++i) {
    const uint32_t before = platform.now;
    Frame();
    const auto draws = Draws();
    if (Dev().Find(Op::Present).empty()) {
      EXPECT_TRUE(draws.empty());
      EXPECT_TRUE(Dev().Find(Op::Clear).empty());
      ++blank;
    } else if (draws.size() == 1 && draws[0]->texture == logo) {
      EXPECT_EQ(phase2, 0) << "the first picture after the second";
      const Call* text = TextCall("Orvessa");
      ASSERT_NE(text, nullptr);
      EXPECT_EQ(text->rect.left, 180);
      EXPECT_EQ(text->rect.top, 450);
      EXPECT_EQ(text->color, plat::D3DColorXRGB(255, 57, 57));
      EXPECT_EQ(text->font.face, "Lucida Blackletter");
      ++phase1;
    } else {
      ASSERT_EQ(draws.size(), 1u);
      EXPECT_EQ(draws[0]->texture, tlogo);
      EXPECT_TRUE(Dev().Texts().empty());
      if (phase2++ == 0) phase2Start = before;
    }
  }
  ASSERT_EQ(form->screenState, "FRMSINGLE_MULTI");
  const uint32_t elapsed = platform.now - start;
  EXPECT_GE(elapsed, 4040u);
  EXPECT_LE(elapsed, 4080u);  // at most a frame late at each of the two picture changes
  EXPECT_NEAR(static_cast<double>(phase2Start - start), 2000.0, 20.0);
  EXPECT_GE(phase1, 100);  // about two seconds at 60 frames a second each
  EXPECT_GE(phase2, 100);
  EXPECT_GE(blank, 1);  // the 40 ms hand-over draws nothing
  EXPECT_FALSE(form->Timer2.Enabled() || form->Timer3.Enabled() || form->Timer5.Enabled());
}

TEST_F(ScreensLogo, OnASmallerScreenPicturesAndTextPositionsScaleButTheFontDoesNot) {
  platform.modes = {{640, 480, 60, plat::D3DFMT_X8R8G8B8}};
  form->Startup();
  ASSERT_EQ(form->D.swidth, 640);
  Frame();
  const auto& v = form->logoImage.Vertices();
  EXPECT_FLOAT_EQ(v[0].sx, 128.0f);
  EXPECT_FLOAT_EQ(v[0].sy, -32.0f);
  EXPECT_FLOAT_EQ(v[3].sx, 128.0f + 405.6f);
  EXPECT_FLOAT_EQ(v[3].sy, -32.0f + 439.2f);
  const Call* text = TextCall("Orvessa");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->rect.left, 144);
  EXPECT_EQ(text->rect.top, 360);
  EXPECT_EQ(text->font.points, 18);
}

// ---- Player count ----------------------------------------------------------------------

TEST_F(ScreensPlayerCount, ReturnHeldFromTheLogoPicksOnePlayerAtTheFirstFrame) {
  platform.Press(plat::DIK_RETURN);
  platform.Press(plat::DIK_DOWN);  // keys during the logo do nothing...
  form->Startup();
  for (int i = 0; i < 1000 && form->screenState == "FRMLOGO"; ++i) Frame();
  platform.Release(plat::DIK_DOWN);
  ASSERT_EQ(form->screenState, "FRMSINGLE_MULTI");
  EXPECT_EQ(form->bfindex, 1);
  Frame();  // ...and the poll counter has grown meanwhile: this frame reads the keys
  EXPECT_EQ(form->screenState, "FRMLVL");
  EXPECT_TRUE(form->onePlayer);
  EXPECT_EQ(form->singleButton, nullptr);  // released by the choice, rebuilt on the next visit
  EXPECT_EQ(form->multiButton, nullptr);
  // The feedback frame (no clear before it) and the frame itself were both presented.
  EXPECT_EQ(Dev().Find(Op::Present).size(), 2u);
  // Still held on the level screen: Return on a name row does nothing.
  for (int i = 0; i < 20; ++i) Frame();
  EXPECT_EQ(form->screenState, "FRMLVL");
  EXPECT_EQ(form->bfindex, 2);  // one-player mode starts typing on the right name
}

TEST_F(ScreensPlayerCount, KeysAreReadAboutTwelveTimesASecond) {
  ToPlayerCount();
  for (int i = 0; i < 130; ++i) Frame();  // two whole seconds measured at 60 frames a second
  ASSERT_EQ(form->FPS_Current, 60);
  ASSERT_EQ(form->bfindex, 1);
  // Down held for one virtual second at 60 frames a second: one step per poll, stopping at 3.
  platform.Press(plat::DIK_DOWN);
  int moves = 0, polls = 0;
  int16_t last = form->bfindex;
  for (int i = 0; i < 60; ++i) {
    Frame();
    polls += form->keyPollCounter <= 1;
    moves += form->bfindex != last;
    last = form->bfindex;
  }
  platform.Release(plat::DIK_DOWN);
  EXPECT_GE(polls, 11);
  EXPECT_LE(polls, 13);
  EXPECT_EQ(moves, 2);
  EXPECT_EQ(form->bfindex, 3);
}

// One press moves the focus one step, however long it is held and wherever it falls
// between two key reads; a key held past 400 ms steps again at every read.
TEST_F(ScreensPlayerCount, APressStepsOnceWhateverItsLengthOrPhaseAndAHeldKeyRepeats) {
  platform.refreshHz = 240;  // frames of about 4 ms: presses start at 20 points of a read's interval
  ToPlayerCount();
  Dev().recording = false;
  platform.recordSounds = false;
  for (int i = 0; i < 600; ++i) form->Pass();  // the frame rate measured
  ASSERT_EQ(form->FPS_Current, 240);
  std::vector<uint32_t> steps;  // when the focus moved
  auto frame = [&] {
    form->Pass();
    if (form->bfindex != 1) {
      steps.push_back(platform.now);
      form->bfindex = 1;  // back for the next step to show
    }
  };
  auto toRead = [&] {
    do frame();
    while (form->keyPollCounter > 1);
  };
  // Down held for `ms` from `phase` frames after a read; then a second and a half let go.
  auto press = [&](uint32_t ms, int phase) {
    toRead();
    for (int i = 0; i < phase; ++i) frame();
    steps.clear();
    const uint32_t start = platform.now;
    platform.Press(plat::DIK_DOWN);
    while (platform.now - start < ms) frame();
    platform.Release(plat::DIK_DOWN);
    const uint32_t end = platform.now;
    while (platform.now - end < 1500) frame();
    return start;
  };
  for (uint32_t ms : {20u, 60u, 100u, 150u, 300u}) {
    for (int phase = 0; phase < 20; ++phase) {
      const uint32_t start = press(ms, phase);
      ASSERT_EQ(steps.size(), 1u) << ms << " ms pressed " << phase << " frames after a read";
      EXPECT_LE(steps[0] - start, 90u) << "at the first read after the press";
    }
  }
  for (int phase : {0, 7, 13}) {
    const uint32_t start = press(1000, phase);
    ASSERT_GE(steps.size(), 7u) << "held for a second, from " << phase << " frames after a read";
    EXPECT_LE(steps.size(), 9u);
    EXPECT_LE(steps[0] - start, 90u);
    EXPECT_GE(steps[1] - steps[0], 400u) << "a pause before the key repeats";
    EXPECT_LE(steps[1] - steps[0], 490u);
    for (size_t i = 2; i < steps.size(); ++i) EXPECT_NEAR(steps[i] - steps[i - 1], 83.3, 5.0) << "then every read";
    EXPECT_LE(steps.back() - start, 1000u + 90u) << "none after the key is let go";
  }
}

TEST_F(ScreensPlayerCount, UpAndDownMoveTheHighlightAndStopAtTheEnds) {
  ToPlayerCount();
  Frame();
  EXPECT_EQ(DrawnTint(*form->singleButton), kFocused);
  Poll({plat::DIK_UP});
  EXPECT_EQ(form->bfindex, 1);
  Poll({plat::DIK_DOWN});
  EXPECT_EQ(form->bfindex, 2);
  EXPECT_EQ(DrawnTint(*form->singleButton), kNormal);
  EXPECT_EQ(DrawnTint(*form->multiButton), kFocused);
  Poll({plat::DIK_DOWN});
  Poll({plat::DIK_DOWN});
  EXPECT_EQ(form->bfindex, 3);
  EXPECT_EQ(DrawnTint(form->exitButton), kFocused);
  EXPECT_EQ(DrawnTint(*form->multiButton), kNormal);
  // Both at once: Up first, then Down.
  Poll({plat::DIK_UP, plat::DIK_DOWN});
  EXPECT_EQ(form->bfindex, 3);
  Poll({plat::DIK_UP});
  Poll({plat::DIK_UP});
  Poll({plat::DIK_UP, plat::DIK_DOWN});
  EXPECT_EQ(form->bfindex, 2);
  // Back was built for the later screens but is not drawn here.
  EXPECT_EQ(DrawnTint(form->backButton), 0u);
}

TEST_F(ScreensPlayerCount, TwoPlayersDrawsArtAndOpensTheLevelScreenWithMenuMusicLooping) {
  ToPlayerCount();
  EXPECT_EQ(SoundCount(SoundEvent::Create, "Sounds/menu.wav"), 1);
  ASSERT_FALSE(platform.sounds.empty());
  EXPECT_EQ(platform.sounds.back().kind, SoundEvent::Play);
  EXPECT_EQ(platform.sounds.back().value, static_cast<int32_t>(plat::DSBPLAY_LOOPING));
  form->onePlayer = true;
  Poll({});
  Poll({plat::DIK_DOWN});
  Poll({plat::DIK_RETURN});
  EXPECT_EQ(form->screenState, "FRMLVL");
  EXPECT_FALSE(form->onePlayer);
  for (double art : {form->rRacketIndex, form->lRacketIndex, form->ballIndex}) {
    EXPECT_GE(art, 1.0);
    EXPECT_LE(art, 4.0);
    EXPECT_EQ(art, std::floor(art));
  }
  EXPECT_TRUE(form->Text1.Visible());
  EXPECT_TRUE(form->Text1.Enabled());
}

TEST_F(ScreensPlayerCount, ExitEndsTheProgramWithCodeZeroAfterShowingItPressed) {
  ToPlayerCount();
  Poll({});
  Poll({plat::DIK_DOWN});
  Poll({plat::DIK_DOWN});
  const bool wasOnePlayer = form->onePlayer;
  EXPECT_EQ(EndCode([&] { Poll({plat::DIK_RETURN}); }), 0);
  EXPECT_EQ(DrawnTint(form->exitButton), kPressed);
  EXPECT_EQ(Dev().Find(Op::Present).size(), 1u);  // the feedback frame
  EXPECT_EQ(form->onePlayer, wasOnePlayer);
}

TEST(ScreensArt, NumbersAreOneToFourWithTheEndsHalfAsLikely) {
  std::map<double, int> seen;
  for (int i = 0; i < 6000; ++i) ++seen[screens::PickArtNumber()];
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen.begin()->first, 1.0);
  EXPECT_EQ(seen.rbegin()->first, 4.0);
  // Expected 1000, 2000, 2000, 1000.
  EXPECT_NEAR(seen[1.0], 1000, 200);
  EXPECT_NEAR(seen[2.0], 2000, 250);
  EXPECT_NEAR(seen[3.0], 2000, 250);
  EXPECT_NEAR(seen[4.0], 1000, 200);
}

// ---- Level and names -------------------------------------------------------------------

TEST_F(ScreensLevel, TwoPlayerNamesDropTheFirstCharacterOfTheRightName) {
  ToLevelScreen(false);
  Frame();
  ASSERT_NE(TextCall("Please,Type your Name"), nullptr);
  EXPECT_EQ(TextCall("Please,Type your Name")->font.face, "Comic Sans MS");
  Type("ANNA");
  EXPECT_EQ(form->leftNameEntry, "ANNA");
  Poll({plat::DIK_UP});  // stays on the left row
  EXPECT_EQ(form->bfindex, 1);
  EXPECT_EQ(form->leftNameEntry, "ANNA");
  Poll({plat::DIK_DOWN});
  EXPECT_EQ(form->Text1.Text(), "");
  EXPECT_EQ(form->leftNameEntry, "ANNA");
  EXPECT_TRUE(form->clearEntry);
  Type("BORIS");
  EXPECT_EQ(form->rightNameEntry, "ORIS");
  Frame();
  const Call* left = TextCall("ANNA");
  const Call* right = TextCall("ORIS");
  ASSERT_NE(left, nullptr);
  ASSERT_NE(right, nullptr);
  EXPECT_EQ(left->rect.left, 72);
  EXPECT_EQ(right->rect.left, 472);
  EXPECT_EQ(right->rect.top, 140);
  EXPECT_EQ(DrawnTint(form->player2Button), kFocused);
  // Back up on the left row the field still holds the right name: the next keystroke
  // starts the left name afresh and is itself dropped.
  Poll({plat::DIK_UP});
  Type("XY");
  EXPECT_EQ(form->leftNameEntry, "Y");
  EXPECT_EQ(form->rightNameEntry, "ORIS");
}

TEST_F(ScreensLevel, TypingIsLostAwayFromTheNameRowsAndNamesStopAtSixteen) {
  ToLevelScreen(false);
  Type("ABCDEFGHIJKLMNOPQRST");
  EXPECT_EQ(form->leftNameEntry, "ABCDEFGHIJKLMNOP");
  Poll({plat::DIK_DOWN});
  Poll({plat::DIK_DOWN});
  EXPECT_EQ(form->bfindex, 3);
  EXPECT_FALSE(form->Text1.Enabled());
  EXPECT_FALSE(platform.textInput);
  Frame();
  EXPECT_EQ(TextCall("Please,Type your Name"), nullptr);
  Type("ZZ");
  platform.typing.emplace_back("\b");
  Frame();
  EXPECT_EQ(form->Text1.Text(), "");
  EXPECT_EQ(form->leftNameEntry, "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(form->rightNameEntry, "");
  Poll({plat::DIK_UP});  // back on the right row
  EXPECT_TRUE(form->Text1.Enabled());
  EXPECT_TRUE(platform.textInput);
}

TEST_F(ScreensLevel, OnePlayerShowsComputerAndTypingGoesToTheRightName) {
  ToLevelScreen(true);
  Poll({});  // the first poll moves the focus to the right row
  EXPECT_EQ(form->bfindex, 2);
  EXPECT_EQ(form->nameTarget, 0);
  const Call* computer = TextCall("Computer");
  ASSERT_NE(computer, nullptr);
  EXPECT_EQ(computer->rect.left, 72);
  EXPECT_EQ(DrawnTint(form->player1Button), kNormal);
  Type("BOB");
  EXPECT_EQ(form->rightNameEntry, "BOB");
  EXPECT_EQ(form->leftNameEntry, "Computer");
  Poll({plat::DIK_UP});  // the left row cannot be reached
  EXPECT_EQ(form->bfindex, 2);
  EXPECT_EQ(DrawnTint(form->player2Button), kFocused);
  Poll({});
  Type("X");  // the left row's state was applied first: this keystroke empties the name
  EXPECT_EQ(form->rightNameEntry, "");
}

TEST_F(ScreensLevel, ReturnStepsTheLevelAndPlayHandsLevelAndNamesToTheMatch) {
  ToLevelScreen(false);
  std::vector<std::string> told;  // the names the program keeps for its next start
  form->onNamesChosen = [&] { told = {form->leftNameEntry, form->rightNameEntry, form->screenState}; };
  Type("ANNA");
  Poll({plat::DIK_DOWN});
  Type("BBORIS");
  Poll({plat::DIK_DOWN});
  EXPECT_TRUE(form->lvlFocus);
  Frame();
  EXPECT_EQ(DrawnTint(form->lvl1Button), kFocused);
  Poll({plat::DIK_RETURN});
  EXPECT_EQ(form->lvlChoice, 2);
  EXPECT_EQ(DrawnTint(form->lvl2Button), kFocused);
  EXPECT_EQ(DrawnTint(form->lvl1Button), 0u);  // only the chosen level is drawn
  Poll({plat::DIK_RETURN});
  EXPECT_EQ(form->lvlChoice, 3);
  Poll({plat::DIK_RETURN});
  EXPECT_EQ(form->lvlChoice, 1);
  Poll({plat::DIK_RETURN});
  Poll({plat::DIK_DOWN});
  EXPECT_FALSE(form->lvlFocus);
  EXPECT_EQ(form->level, 0);
  Poll({plat::DIK_RETURN});
  EXPECT_EQ(form->screenState, "");
  EXPECT_EQ(form->level, 2);
  EXPECT_EQ(form->LName, "ANNA");
  EXPECT_EQ(form->RName, "BORIS");
  EXPECT_EQ(told, (std::vector<std::string>{"ANNA", "BORIS", "FRMLVL"}));
  EXPECT_EQ(DrawnTint(form->playButton), kPressed);
  EXPECT_EQ(SoundCount(SoundEvent::Stop, "Sounds/menu.wav"), 1);  // the match took over
  EXPECT_TRUE(form->cam_inter);
  EXPECT_FALSE(form->Text1.Enabled());
}

TEST_F(ScreensLevel, BackForgetsBothNamesAndEntersThePlayerCountScreenAgain) {
  ToLevelScreen(false);
  Type("ANNA");
  Poll({plat::DIK_DOWN});
  Type("BBORIS");
  for (int i = 0; i < 3; ++i) Poll({plat::DIK_DOWN});
  ASSERT_EQ(form->bfindex, 5);
  Poll({plat::DIK_RETURN});
  EXPECT_EQ(form->screenState, "FRMSINGLE_MULTI");
  EXPECT_EQ(form->leftNameEntry, "");
  EXPECT_EQ(form->rightNameEntry, "");
  EXPECT_EQ(SoundCount(SoundEvent::Create, "Sounds/menu.wav"), 2);  // the music starts again
  ASSERT_NE(form->singleButton, nullptr);
  EXPECT_EQ(form->bfindex, 1);
  Poll({});
  Poll({plat::DIK_DOWN});
  Poll({plat::DIK_RETURN});
  ASSERT_EQ(form->screenState, "FRMLVL");
  Frame();
  EXPECT_EQ(TextCall("ANNA"), nullptr);
  EXPECT_EQ(TextCall("BORIS"), nullptr);
  EXPECT_EQ(form->lvlChoice, 1);
}

TEST_F(ScreensLevel, DownStopsAtExitWhichEndsTheProgram) {
  ToLevelScreen(false);
  for (int i = 0; i < 7; ++i) Poll({plat::DIK_DOWN});
  EXPECT_EQ(form->bfindex, 6);
  EXPECT_EQ(DrawnTint(form->exitButton), kFocused);
  EXPECT_EQ(EndCode([&] { Poll({plat::DIK_RETURN}); }), 0);
  EXPECT_EQ(DrawnTint(form->exitButton), kPressed);
}

// ---- After the match -------------------------------------------------------------------

class ScreensAfterMatch : public ScreensFixture {
 protected:
  // A two-player match at level 2 between ANNA (left) and BORIS (right), ended by the clock
  // as the match does it.
  void FinishMatch(int16_t left, int16_t right) {
    ToLevelScreen(false);
    Type("ANNA");
    Poll({plat::DIK_DOWN});
    Type("BBORIS");
    Poll({plat::DIK_DOWN});
    Poll({plat::DIK_RETURN});
    Poll({plat::DIK_DOWN});
    Poll({plat::DIK_RETURN});
    ASSERT_EQ(form->screenState, "");
    art = {form->rRacketIndex, form->lRacketIndex, form->ballIndex};
    form->cam_inter = false;
    form->keyPollCounter = 5000;  // grown through the match
    form->ball.LScore = left;
    form->ball.RScore = right;
    form->screenState = "FRM_AFTER";
    form->Frm_After_load();
  }
  std::vector<double> art;
};

TEST_F(ScreensAfterMatch, ShowsNamesAndScoresAndPlayAgainKeepsEverything) {
  FinishMatch(3, 12);
  Frame();
  const Call* right = TextCall("BORIS");
  const Call* left = TextCall("ANNA");
  const Call* rightScore = TextCall("12");
  const Call* leftScore = TextCall("3");
  ASSERT_TRUE(right && left && rightScore && leftScore);
  EXPECT_EQ(right->rect.left, 780 - 18 * 5);
  EXPECT_EQ(right->rect.top, 140);
  EXPECT_EQ(left->rect.left, 20);
  EXPECT_EQ(rightScore->rect.left, 780 - 45);  // under the middle of its name
  EXPECT_EQ(rightScore->rect.top, 190);
  EXPECT_EQ(leftScore->rect.left, 36 + 20);
  EXPECT_EQ(right->color, plat::D3DColorXRGB(255, 255, 255));
  EXPECT_EQ(DrawnTint(form->playAgainButton), kFocused);
  EXPECT_EQ(DrawnTint(form->backButton), kNormal);
  Poll({plat::DIK_UP});
  EXPECT_EQ(form->bfindex, 1);
  Poll({plat::DIK_RETURN});
  EXPECT_EQ(form->screenState, "");
  EXPECT_EQ(form->LName, "ANNA");
  EXPECT_EQ(form->RName, "BORIS");
  EXPECT_EQ(form->level, 2);
  EXPECT_FALSE(form->onePlayer);
  EXPECT_EQ((std::vector<double>{form->rRacketIndex, form->lRacketIndex, form->ballIndex}), art);
  EXPECT_EQ(form->ball.LScore, 0);
  EXPECT_EQ(form->ball.RScore, 0);
  EXPECT_TRUE(form->cam_inter);  // a new match is starting
}

TEST_F(ScreensAfterMatch, ReturnHeldWhenTheScreenOpensPlaysAgainAtOnce) {
  FinishMatch(1, 0);
  platform.Press(plat::DIK_RETURN);
  Frame();
  EXPECT_EQ(form->screenState, "");
  EXPECT_EQ(DrawnTint(form->playAgainButton), kPressed);
}

TEST_F(ScreensAfterMatch, BackForgetsTheNamesOfMatchAndLevelScreen) {
  FinishMatch(0, 0);
  Poll({plat::DIK_DOWN});
  EXPECT_EQ(DrawnTint(form->backButton), kFocused);
  Poll({plat::DIK_RETURN});
  EXPECT_EQ(form->screenState, "FRMSINGLE_MULTI");
  EXPECT_EQ(form->RName, "");
  EXPECT_EQ(form->LName, "");
  EXPECT_EQ(form->leftNameEntry, "");
  EXPECT_EQ(form->rightNameEntry, "");
  EXPECT_EQ(SoundCount(SoundEvent::Create, "Sounds/menu.wav"), 2);
}

TEST_F(ScreensAfterMatch, DownStopsAtExitWhichEndsTheProgram) {
  FinishMatch(0, 0);
  for (int i = 0; i < 4; ++i) Poll({plat::DIK_DOWN});
  EXPECT_EQ(form->bfindex, 3);
  EXPECT_EQ(DrawnTint(form->exitButton), kFocused);
  EXPECT_EQ(EndCode([&] { Poll({plat::DIK_RETURN}); }), 0);
  EXPECT_EQ(DrawnTint(form->exitButton), kPressed);
}

// ---- Every frame -----------------------------------------------------------------------

TEST_F(ScreensFrames, MenuFramesAndKeyReadsAllocateNothing) {
#ifndef SCREENS_COUNT_ALLOCATIONS
  GTEST_SKIP() << "allocations are counted in sanitised builds";
#else
  static const bool hooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
  ASSERT_TRUE(hooked);
  framesThread = true;
  auto allocationsOver = [&](int frames) {
    Dev().recording = false;
    platform.recordSounds = false;
    allocations = 0;
    counting = true;
    for (int i = 0; i < frames; ++i) form->Pass();
    counting = false;
    Dev().recording = true;
    platform.recordSounds = true;
    return allocations.load();
  };
  ToPlayerCount();
  EXPECT_EQ(allocationsOver(60), 0) << "player count";
  platform.Press(plat::DIK_DOWN);  // read at every poll, stopping at Exit
  EXPECT_EQ(allocationsOver(60), 0) << "player count, Down held";
  platform.Release(plat::DIK_DOWN);
  Poll({plat::DIK_UP});
  Poll({plat::DIK_RETURN});
  ASSERT_EQ(form->screenState, "FRMLVL");
  Type("ANNA");
  Poll({plat::DIK_DOWN});
  Type("BBORIS");
  EXPECT_EQ(allocationsOver(60), 0) << "level and names";
  platform.Press(plat::DIK_DOWN);  // through the level selector to Exit
  EXPECT_EQ(allocationsOver(60), 0) << "level and names, Down held";
  platform.Release(plat::DIK_DOWN);
  form->RName = "BORIS";
  form->LName = "ANNA";
  form->ball.RScore = 12;
  form->screenState = "FRM_AFTER";
  form->Frm_After_load();
  platform.Press(plat::DIK_UP);
  EXPECT_EQ(allocationsOver(60), 0) << "after the match";
  platform.Release(plat::DIK_UP);
#endif
}
