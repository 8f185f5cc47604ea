#!/usr/bin/env bash
# The whole program on a virtual 800 × 600 screen, driven only by keys sent with xdotool:
# logo → player count → two players → names ANNA and BORIS → beginner → Play → the intro →
# the right racket moves → Esc (paused) → Esc → Q → player count → Exit, which must end
# the program with code 0. Every screen is saved as a PNG and checked at a few pixels.
#
#   menu_flow.sh VANTOR_EXECUTABLE [SCREENSHOT_FOLDER]
#
# The menus read the keyboard state about twelve times a second, so a key is held for a
# moment rather than tapped. How many reads a hold spans depends on the frame rate, so the
# highlighted item is read off the screen after every key and the walk is corrected until
# the wanted item shows.
set -euo pipefail

drive_name=menu_flow
# shellcheck source=drive_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/drive_lib.sh"
exe=$(realpath "$1")
drive_own_display "$exe" "${2:-$(dirname "$exe")/menu_flow}"

# ---- Looking at the screen ------------------------------------------------------------

# red_share FILE WxH+X+Y: the share of the region that is bright red.
red_share() { convert "$1" -crop "$2" +repage -fx "r>0.7&&g<0.4&&b<0.4?1:0" -format "%[fx:mean]" info:; }

logo_maker() { # the first picture with the maker's line in red under it
  pix "$1" 50 50 black && pix "$1" 330 150 yellow && awk "BEGIN{exit !($(red_share "$1" 90x30+178+450) > 0.03)}"
}
logo_title() { pix "$1" 50 50 black && pix "$1" 300 200 blue && pix "$1" 600 300 red && ! pix "$1" 330 150 yellow; }

# ---- The run ----------------------------------------------------------------------------

launch

# The logo reads no keys: about four seconds of two pictures. A machine too busy to take
# a screenshot within a picture's two seconds may miss one; the order must still hold.
logo_or_later() { logo_maker "$1" || logo_title "$1" || is_count_screen "$1"; }
title_or_later() { logo_title "$1" || is_count_screen "$1"; }
wait_for 01-logo 60 logo_or_later
if logo_maker "$out/01-logo.png"; then
  wait_for 02-logo-title 5 title_or_later
  logo_title "$out/02-logo-title.png" || say "note: the title card came and went between two screenshots"
elif logo_title "$out/01-logo.png"; then
  say "note: the maker's picture came and went before the first screenshot"
else
  say "note: both logo pictures came and went before the first screenshot"
fi
wait_for 03-player-count 5 is_count_screen
[ "$(count_focus "$out/03-player-count.png")" = 1 ] || fail "the player-count screen opened without one player highlighted"

walk count_focus 2 04-two-players
level_is_open() { [ "$(level_focus "$1")" = 1 ]; }
press_until Return 05-level-screen level_is_open
xdotool type --delay 150 ANNA
# Time for the last keystrokes to be drawn even on a busy machine (the name is compared
# with the picture after the right name below).
sleep 2
shot "$out/06-left-name.png"
(($(differ "$out/05-level-screen.png" "$out/06-left-name.png" 150x30+72+140) > 40)) || fail "ANNA is not shown"
walk level_focus 2 07-right-row
xdotool type --delay 150 BORIS
sleep 2
shot "$out/08-names.png"
# The right name loses its first character: its first keystroke empties the field, which
# still held the left name.
(($(differ "$out/07-right-row.png" "$out/08-names.png" 150x30+472+140) > 40)) || fail "the right name is not shown"
(($(differ "$out/06-left-name.png" "$out/08-names.png" 150x30+72+140) < 20)) || fail "the left name changed"
walk level_focus 3 09-level-beginner
walk level_focus 4 10-play
# Play shows pressed while the match loads; then the match holds for three seconds.
in_match() {
  ! pix "$1" 20 580 white && ! pix "$1" 20 580 yellow && ! pix "$1" 100 116 white && ! pix "$1" 100 116 yellow
}
press_until Return 11-match-hold in_match

# The intro: a three-second hold, then the camera flies in and stops.
wait_intro 12-match 34
hold Left 0.8
sleep 0.4
shot "$out/13-racket-moved.png"
# The right racket, on the right of the screen, has left its place (it may hit the ball).
(($(differ "$out/12-match.png" "$out/13-racket-moved.png" 300x300+500+150) > 100)) || fail "the right racket did not move"

banner() { (($(differ "$out/13-racket-moved.png" "$1" 256x32+281+560) > 400)); }
no_banner() { (($(differ "$out/13-racket-moved.png" "$1" 256x32+281+560) < 100)); }
press_until Escape 14-paused banner
sleep 0.4  # the pause key's debounce
press_until Escape 15-resumed no_banner
count_one() { [ "$(count_focus "$1")" = 1 ]; }
press_until q 16-player-count-again count_one

walk count_focus 3 17-exit
for i in $(seq 12); do
  kill -0 "$pid" 2>/dev/null || break
  hold Return
  sleep 0.5
done
ended_cleanly Exit
say "passed; screenshots in $out"
