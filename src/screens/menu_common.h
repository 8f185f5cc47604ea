// Small pieces shared by the menu screens: the 800 × 600 layout scale, the frame's clear,
// the key poll's rhythm and the art numbers of ball and rackets.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/Form1.h"
#include "platform/vbrt.h"

namespace screens {

// Menu layouts are written for an 800 × 600 screen and scaled to the real one.
inline double ScaleX(const Form1& f, double a) { return a * f.D.swidth / 800.0; }
inline double ScaleY(const Form1& f, double b) { return b * f.D.sheight / 600.0; }

// Black, depth 1.0, stencil 0.
inline void ClearFrame(Form1& f) {
  f.D.D3Ddevice->Clear(plat::D3DCLEAR_TARGET | plat::D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
}

// Menus read the keys about twelve times a second, whatever the frame rate.
inline bool KeyPollDue(const Form1& f) { return f.keyPollCounter >= f.FPS_Current / 12.0; }

// A key read: the keyboard's state, and the presses since the last read.
void ReadKeys(Form1& f);
// Up, Down and Return step once a press, then again at every read while held past
// kRepeatDelayMs (menu_keys.h).
inline bool KeyStep(const Form1& f, uint8_t dik) { return f.menuKeys.Step(dik); }
// A menu screen opens: presses made before it (in the match, on the logo, on the screen
// before) are not its own; a key still held from the screen before acts there only when
// pressed again or held kRepeatDelayMs more.
void EnterMenuScreen(Form1& f);

using plat::CharacterCount;

// An art number for the ball or a racket: r · 3 + 1 rounded to a whole number for r drawn
// uniformly in [0, 1) after re-seeding from the time of day; 1 to 4, with 1 and 4 half as
// likely as 2 and 3.
double PickArtNumber();

}  // namespace screens
