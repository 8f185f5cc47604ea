// The players' keys in a match: F10, Q, Esc, the arrow keys for the right racket, W, A,
// S, D for the left one, and the shift keys' speed toggle.
#include "app/Form1.h"
#include "app/netplay.h"
#include "match/left_racket.h"

using namespace plat;

namespace {

// The shift keys: every frame with the key down raises the speed by 3 or takes it back.
void ToggleBoost(cMadrab& racket, bool& latch) {
  if (latch) {
    racket.rspeed -= 3;
    latch = false;
  } else {
    racket.rspeed += 3;
    latch = true;
  }
}

}  // namespace

void Form1::LeaveMatch() {
  EnableTimer(Timer4, false);
  paused = false;
  leftNameEntry.clear();
  RName.clear();
  LName.clear();
  rightNameEntry.clear();
  if (musicBuffer) musicBuffer->Stop();
  frmSingle_Multi_load();
  screenState = "FRMSINGLE_MULTI";
}

void Form1::Check_Keys() {
  auto down = [this](uint8_t key) { return keyState[key] != 0; };

  D.Keyboard->GetDeviceStateKeyboard(keyState.data());
  if (down(DIK_F10)) End(0);

  if (down(DIK_Q)) LeaveMatch();

  if (down(DIK_ESCAPE) && !escLatch) {
    if (paused) {
      paused = false;
    } else {
      paused = true;
      // A running serve rule starts its five seconds anew; one that is off stays off.
      if (Timer4.Enabled()) {
        EnableTimer(Timer4, false);
        EnableTimer(Timer4, true);
      }
    }
    escLatch = true;
    EnableTimer(Timer6, true);
  }

  if (paused) return;

  // The right racket. Every test looks at the racket where it stands at that moment.
  const int16_t fps = FPS_Current;
  cMadrab& r = rRacket;
  if (r.cposx >= -4 || r.cposz >= -2.5) {
    r.Moving = false;
    if (r.cposz >= -3 && down(DIK_UP)) r.fMove(fps, 0, -1);
  }
  if ((r.cposx >= -4 || r.cposz + r.mLength <= 2.5) && r.cposz + r.mLength <= 3 && down(DIK_DOWN)) {
    r.fMove(fps, 0, 1);
  }
  if (!(r.cposx < -4 && r.cposz + r.mLength > 2.5) && (r.cposx >= -4 || r.cposz >= -2.5) && r.cposx >= -4.3 &&
      down(DIK_RIGHT)) {
    r.fMove(fps, -1, 0);
    r.Moving = true;
  }
  if (r.cposx - r.mWidth <= -2.5 && down(DIK_LEFT)) {
    r.fMove(fps, 1, 0);
    r.Moving = true;
  }
  if (!r.Moving) r.X_dir = 0;
  if (down(DIK_RSHIFT)) ToggleBoost(r, rBoostLatch);

  // The left racket: its keys move it only in a two-player match, but its limits are
  // kept in both, as the permissions the computer obeys.
  D.Keyboard->GetDeviceStateKeyboard(keyState.data());
  if (net != nullptr) net->LeftKeys(keyState);  // a network match: the joining player's keys
  const match::LeftKeys keys{down(DIK_W), down(DIK_S), down(DIK_D), down(DIK_A), down(DIK_LSHIFT)};
  const uint8_t blocked = match::StepLeftRacket(lRacket, fps, !onePlayer, keys, lBoostLatch);
  if ((blocked & match::kBlockedMinusZ) != 0) mayMoveMinusZ = false;
  if ((blocked & match::kBlockedPlusZ) != 0) mayMovePlusZ = false;
  if ((blocked & match::kBlockedMinusX) != 0) mayMoveMinusX = false;
  if ((blocked & match::kBlockedPlusX) != 0) mayMovePlusX = false;
}
