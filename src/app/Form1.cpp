// Start-up, the frame loop, the screen dispatch, the frame-rate measurement and the
// window's timers.
#include "app/Form1.h"

#include <algorithm>

#include "app/netplay.h"
#include "app/pad_layouts.h"

using namespace plat;

Form1::Form1(Platform& p) : platform(p) {
  Text1.onChange = [this] { Text1_Change(); };
  Text1.SetMaxLength(16);  // a name longer than this would run off the after-match screen
  ball.host = &ballHost;
}

Form1::~Form1() = default;

D3DCOLORVALUE Form1::MakeColor(int32_t A, int32_t R, int32_t G, int32_t B) {
  return {static_cast<float>(R), static_cast<float>(G), static_cast<float>(B), static_cast<float>(A)};
}

void Form1::EnableTimer(Timer& t, bool on) { t.SetEnabled(on, Now()); }

[[noreturn]] void Form1::End(int code) { throw ProgramEnd{code}; }

void Form1::Startup() {
  frmlogo_prefetch();
  platform.ShowWindow("VANTOR!");
  deviceReady = D.intialise(platform, platform.WindowHandle(), true);
  if (FPS_Current == 0) FPS_Current = 50;
  if (!deviceReady) return;
  if (net != nullptr) net->Started(*this);
  screenState = "FRMLOGO";
  frmlogo_load();
}

void Form1::Form_Load() {
  Startup();
  while (deviceReady) {
    if (net != nullptr) {
      net->Pass(*this);
    } else {
      Pass();
    }
  }
  // The device never came up: release what was made and end.
  D.D3Ddevice.reset();
  D.d3dx.reset();
  End(1);
}

bool Form1::DeviceReady() {
  const HRESULT r = D.D3Ddevice->TestCooperativeLevel();
  if (r == D3DERR_DEVICENOTRESET) {
    mainText.Destroy();
    D.RESET();
  }
  if (r != D3D_OK) {
    if (screenState.empty()) paused = true;
    DoEvents();
    mainText.Reload(*D.D3Ddevice, *D.d3dx);
    return false;
  }
  return true;
}

void Form1::Pass() {
  if (!DeviceReady()) return;

  const std::string state = screenState;
  platform.SetPadLayout(state.empty() ? pads::kMatch : pads::kMenus);
  if (state == "FRMLOGO") {
    frmlogo_render();
  } else if (state == "FRM_AFTER") {
    Frm_After_render();
  } else if (state == "FRMSINGLE_MULTI") {
    frmSingle_Multi_render();
  } else if (state == "FRMLVL") {
    frmlvl_render();
  } else if (state.empty()) {
    Game_render();
  }

  DoEvents();
  if (FPS_Current == 0) FPS_Current = 50;
  const auto now = static_cast<int32_t>(platform.GetTickCount());
  if (now - lastTick >= 1000) {
    FPS_Current = static_cast<int16_t>(std::min<int32_t>(frameCount, INT16_MAX));
    frameCount = 0;
    lastTick = static_cast<int32_t>(platform.GetTickCount());
    if (screenState.empty() && !cam_inter && !paused) matchClock += 1;
  }
  frameCount += 1;
  if (!cam_inter) keyPollCounter += 1;
  if (FPS_Current == 0) FPS_Current = 50;
}

void Form1::DoEvents() {
  platform.PumpEvents(events_);
  if (closeRequested_) {
    closeRequested_ = false;
    End(0);  // the window's close button ends the program like F10
  }
  const bool wantText = Text1.Visible() && Text1.Enabled();
  if (wantText != textInputOn_) {
    textInputOn_ = wantText;
    platform.EnableTextInput(wantText);
  }
  if (viewOnly) return;
  const uint32_t now = Now();
  if (Timer1.Due(now)) Timer1_Timer();
  if (Timer2.Due(now)) Timer2_Timer();
  if (Timer3.Due(now)) Timer3_Timer();
  if (Timer4.Due(now)) Timer4_Timer();
  if (Timer5.Due(now)) Timer5_Timer();
  if (Timer6.Due(now)) Timer6_Timer();
}

void Form1::Timer1_Timer() {
  Timer1.SetInterval(0, Now());
  serveWait = false;
}

void Form1::Timer2_Timer() {
  Timer2.SetInterval(40, Now());
  EnableTimer(Timer2, false);
  EnableTimer(Timer3, true);
}

void Form1::Timer3_Timer() {
  EnableTimer(Timer3, false);
  EnableTimer(Timer5, true);
}

void Form1::Timer5_Timer() {
  frmSingle_Multi_load();
  screenState = "FRMSINGLE_MULTI";
  EnableTimer(Timer5, false);
}

void Form1::Timer6_Timer() {
  escLatch = false;
  EnableTimer(Timer6, false);
}
