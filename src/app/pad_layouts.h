// The keys the game controllers press. On the menus every controller moves the focus and
// chooses; in a match the first plays the right racket (the arrow keys, Right Shift), the
// second the left one (W, A, S, D, Left Shift), and any further one nothing. Start is Esc
// and Back is Q for the two players.
#pragma once

#include "platform/dinput.h"
#include "platform/platform.h"

namespace pads {

inline constexpr plat::PadKeys kMenu{.up = plat::DIK_UP,
                                     .down = plat::DIK_DOWN,
                                     .start = plat::DIK_ESCAPE,
                                     .back = plat::DIK_Q,
                                     .a = plat::DIK_RETURN};
inline constexpr plat::PadLayout kMenus{kMenu, kMenu, kMenu};

inline constexpr plat::PadLayout kMatch{
    plat::PadKeys{plat::DIK_UP, plat::DIK_DOWN, plat::DIK_LEFT, plat::DIK_RIGHT, plat::DIK_RSHIFT,
                  plat::DIK_ESCAPE, plat::DIK_Q, 0},
    plat::PadKeys{plat::DIK_W, plat::DIK_S, plat::DIK_A, plat::DIK_D, plat::DIK_LSHIFT, plat::DIK_ESCAPE,
                  plat::DIK_Q, 0},
    plat::PadKeys{}};

}  // namespace pads
