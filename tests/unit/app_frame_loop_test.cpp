// The frame loop, the frame-rate measurement, the match clock, lost devices, the
// window's timers and text field, and the display-mode choice — on the test face.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/Form1.h"
#include "platform/app_path.h"
#include "platform/testing/test_platform.h"

using plat::testing::TestPlatform;

namespace {

struct Loop : ::testing::Test {
  TestPlatform platform;
  std::unique_ptr<Form1> form;

  void SetUp() override {
    platform.appFolder = VANTOR_DATA_DIR;
    plat::SetAppPath(platform.appFolder);
    form = std::make_unique<Form1>(platform);
  }
  // Starts the device without the logo screen's pictures.
  void StartDevice() {
    form->deviceReady = form->D.intialise(platform, platform.WindowHandle(), true);
    ASSERT_TRUE(form->deviceReady);
    form->FPS_Current = 50;
  }
  // Runs passes on an unknown screen (which presents nothing), advancing the clock itself.
  void RunIdle(int passes, double msPerPass) {
    platform.onPump = [msPerPass](TestPlatform& p) { p.Advance(msPerPass); };
    for (int i = 0; i < passes; ++i) form->Pass();
    platform.onPump = nullptr;
  }
};

}  // namespace

TEST_F(Loop, FirstMeasurementFindsNoFramesAndFallsBackToFifty) {
  StartDevice();
  form->screenState = "NOWHERE";
  form->FPS_Current = 77;
  RunIdle(1, 1.0);
  // lastTick starts at 0, so the first pass measures and finds no frames counted.
  EXPECT_EQ(form->FPS_Current, 50);
  EXPECT_EQ(form->frameCount, 1);
}

TEST_F(Loop, FrameRateIsTheFrameCountOfTheLastWholeSecond) {
  StartDevice();
  form->screenState = "NOWHERE";  // draws nothing, still counts frames
  RunIdle(1, 1.0);
  RunIdle(250, 4.0);  // 250 frames a second
  EXPECT_EQ(form->FPS_Current, 250);
  EXPECT_EQ(platform.device->presents, 0u);
}

TEST_F(Loop, MatchClockCountsOnlyPlayedSeconds) {
  if (!std::filesystem::exists(plat::AppFile("\\Sounds\\tcoll.wav"))) GTEST_SKIP() << "no game data";
  StartDevice();
  form->level = 1;
  form->Game_Load();
  form->screenState = "";
  form->EnableTimer(form->Timer1, false);  // hold the intro
  platform.device->recording = false;
  RunIdle(180, 0.0);  // about 3 s of frames presented at 60 Hz
  EXPECT_EQ(form->matchClock, 0);
  form->cam_inter = false;
  form->paused = true;
  RunIdle(180, 0.0);
  EXPECT_EQ(form->matchClock, 0);
  form->paused = false;
  RunIdle(180, 0.0);
  EXPECT_NEAR(form->matchClock, 3, 1);
  const double played = form->matchClock;
  // Menus do not count either.
  form->screenState = "NOWHERE";
  RunIdle(300, 10.0);
  EXPECT_EQ(form->matchClock, played);
}

TEST_F(Loop, KeyPollCounterStandsStillDuringTheCameraIntro) {
  StartDevice();
  form->screenState = "NOWHERE";
  form->cam_inter = true;
  RunIdle(5, 1.0);
  EXPECT_EQ(form->keyPollCounter, 0);
  form->cam_inter = false;
  RunIdle(5, 1.0);
  EXPECT_EQ(form->keyPollCounter, 5);
}

TEST_F(Loop, LostDevicePausesMatchAndReloadsTheFontAroundTheReset) {
  StartDevice();
  form->mainText.init("Comic Sans MS", 18, false, *form->D.D3Ddevice, *form->D.d3dx);
  auto* device = platform.device;
  const auto fontsBefore = device->fontsCreated;
  form->screenState = "";
  form->cam_inter = true;  // keep the clock out of it
  device->cooperativeLevels = {plat::D3DERR_DEVICELOST, plat::D3DERR_DEVICELOST, plat::D3DERR_DEVICENOTRESET};
  const int32_t frames = form->frameCount;
  form->Pass();
  EXPECT_TRUE(form->paused);
  EXPECT_EQ(device->resets, 0u);
  form->Pass();
  form->Pass();  // not reset: destroy the font, reset, reload
  EXPECT_EQ(device->resets, 1u);
  EXPECT_EQ(form->frameCount, frames);  // no frame counted while lost
  EXPECT_GT(device->fontsCreated, fontsBefore);
  // The reloaded font keeps its face, size and weight.
  device->ClearCalls();
  form->mainText.Render(*device, "Hi", 0, 0, 0xFFFFFFFF, *form->D.d3dx, false);
  ASSERT_EQ(device->Find(plat::testing::Op::DrawText).size(), 1u);
  EXPECT_EQ(device->Find(plat::testing::Op::DrawText)[0]->font, (plat::FontDesc{"Comic Sans MS", 18, false}));
}

TEST_F(Loop, LostDeviceInAMenuDoesNotPause) {
  StartDevice();
  form->screenState = "NOWHERE";
  platform.device->cooperativeLevels = {plat::D3DERR_DEVICELOST};
  form->Pass();
  EXPECT_FALSE(form->paused);
}

TEST_F(Loop, WindowCloseEndsTheProgramCleanly) {
  StartDevice();
  form->screenState = "NOWHERE";
  platform.closeRequested = true;
  try {
    form->Pass();
    FAIL() << "the program went on";
  } catch (const plat::ProgramEnd& end) {
    EXPECT_EQ(end.code, 0);
  }
}

TEST_F(Loop, StartupShowsTheWindowAndChoosesEightHundredBySixHundred) {
  StartDevice();
  EXPECT_EQ(form->D.swidth, 800);
  EXPECT_EQ(form->D.sheight, 600);
  EXPECT_EQ(form->D.PresentParameters().BackBufferFormat, plat::D3DFMT_R5G6B5);
  EXPECT_EQ(form->D.PresentParameters().SwapEffect, plat::D3DSWAPEFFECT_COPY_VSYNC);
  EXPECT_EQ(form->D.PresentParameters().AutoDepthStencilFormat, plat::D3DFMT_D16);
  EXPECT_EQ(platform.deviceType, plat::D3DDEVTYPE_HAL);
  EXPECT_EQ(platform.deviceBehaviour, plat::D3DCREATE_HARDWARE_VERTEXPROCESSING);
}

TEST(LoopModes, FirstMatchingModeGivesTheBackBufferFormat) {
  TestPlatform platform;
  platform.modes = {{800, 600, 60, plat::D3DFMT_X8R8G8B8}, {800, 600, 60, plat::D3DFMT_R5G6B5}};
  cdirectx d;
  ASSERT_TRUE(d.intialise(platform, 1, false));  // not full screen asked: still full screen
  EXPECT_EQ(d.PresentParameters().BackBufferFormat, plat::D3DFMT_X8R8G8B8);
  EXPECT_FALSE(d.PresentParameters().Windowed);
}

TEST(LoopModes, SixFortyByFourEightyWhenThatIsAllThereIsAndReferenceWithoutHardware) {
  TestPlatform platform;
  platform.modes = {{1024, 768, 60, plat::D3DFMT_X8R8G8B8}, {640, 480, 60, plat::D3DFMT_R5G6B5}};
  platform.halCaps = plat::D3DERR_INVALIDDEVICE;
  platform.devCaps = 0;
  cdirectx d;
  ASSERT_TRUE(d.intialise(platform, 1, true));
  EXPECT_EQ(d.swidth, 640);
  EXPECT_EQ(d.sheight, 480);
  EXPECT_EQ(platform.deviceType, plat::D3DDEVTYPE_REF);
  EXPECT_EQ(platform.deviceBehaviour, plat::D3DCREATE_SOFTWARE_VERTEXPROCESSING);
}

TEST(LoopModes, NoUsableModeShowsTheMessageAndEnds) {
  TestPlatform platform;
  platform.modes = {{1024, 768, 60, plat::D3DFMT_X8R8G8B8}};
  cdirectx d;
  EXPECT_THROW(d.intialise(platform, 1, true), plat::ProgramEnd);
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].second, "Error");
  EXPECT_EQ(platform.messageBoxes[0].first,
            "Your hardware does not appear to support 640x480 display modes in either 16 bit or 32 bit modes. "
            "Exiting...");
}

TEST(LoopTimers, RestartOnReenableButNotOnRepeatedEnableAndStopAtIntervalZero) {
  plat::Timer t(100);
  t.SetEnabled(true, 0);
  EXPECT_FALSE(t.Due(99));
  t.SetEnabled(true, 50);  // already enabled: no restart
  EXPECT_TRUE(t.Due(100));
  EXPECT_FALSE(t.Due(150));
  EXPECT_TRUE(t.Due(200));  // next interval counts from the last firing
  t.SetEnabled(false, 210);
  t.SetEnabled(true, 250);  // disable then enable restarts
  EXPECT_FALSE(t.Due(349));
  EXPECT_TRUE(t.Due(350));
  t.SetInterval(0, 360);
  EXPECT_FALSE(t.Due(100000));
  EXPECT_TRUE(t.Enabled());
  plat::Timer off(10);
  EXPECT_FALSE(off.Due(1000));  // never enabled
}

TEST(LoopTimers, TimersFireOnlyInTheYieldBetweenFrames) {
  TestPlatform platform;
  Form1 form(platform);
  form.deviceReady = form.D.intialise(platform, 1, true);
  form.screenState = "NOWHERE";
  form.EnableTimer(form.Timer6, true);
  form.escLatch = true;
  platform.Advance(199);
  form.DoEvents();
  EXPECT_TRUE(form.escLatch);
  platform.Advance(1);
  form.DoEvents();
  EXPECT_FALSE(form.escLatch);
  EXPECT_FALSE(form.Timer6.Enabled());
}

TEST(LoopTextField, TypingOnlyWhileEnabledWithinTheLengthLimitAndEveryChangeReported) {
  plat::TextBox box;
  int changes = 0;
  box.onChange = [&] { ++changes; };
  box.SetMaxLength(4);
  box.Type("AB");
  EXPECT_EQ(box.Text(), "AB");
  EXPECT_EQ(changes, 1);
  box.Type("CDEF");
  EXPECT_EQ(box.Text(), "ABCD");
  box.Type("\x01\x7f");  // control characters are not text
  EXPECT_EQ(box.Text(), "ABCD");
  box.Backspace();
  EXPECT_EQ(box.Text(), "ABC");
  box.SetEnabled(false);
  box.Type("X");
  box.Backspace();
  EXPECT_EQ(box.Text(), "ABC");
  box.SetEnabled(true);
  box.SetText("");
  box.Type("\xC3\xA9t\xC3\xA9");  // "été": three characters, whole code points
  box.Backspace();
  EXPECT_EQ(box.Text(), "\xC3\xA9t");
  box.SetText("\xC3\xA9t");  // unchanged: no notification
  EXPECT_EQ(changes, 6);
}

TEST(LoopColour, MakeColorKeepsTheValuesUnscaled) {
  const auto c = Form1::MakeColor(0, 100, 100, 100);
  EXPECT_EQ(c.r, 100.0f);
  EXPECT_EQ(c.a, 0.0f);
  const auto w = Form1::MakeColor(255, 255, 255, 255);
  EXPECT_EQ(w.g, 255.0f);
  EXPECT_EQ(w.a, 255.0f);
}
