#!/usr/bin/env bash
# A whole one-player match of the real program on a virtual 800 × 600 screen, driven only
# by keys sent with xdotool: logo → player count → one player → the right name BORIS →
# Play → three minutes of play → the after-match screen, which must show "Computer" and
# BORIS with a score under each → Play again → the intro → F10, which must end the program
# with code 0. Every screen is saved as a PNG.
#
#   full_match.sh VANTOR_EXECUTABLE [SCREENSHOT_FOLDER]
#
# As in menu_flow.sh, keys are held for a moment and the highlighted item is read back
# off the screen, because how many of the menus' key reads a hold spans depends on the
# frame rate.
set -euo pipefail

drive_name=full_match
# shellcheck source=drive_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/drive_lib.sh"
exe=$(realpath "$1")
drive_own_display "$exe" "${2:-$(dirname "$exe")/full_match}"
drive_started=$SECONDS

# ---- Looking at the screen ------------------------------------------------------------

# ink FILE WxH+X+Y OUT: the region's near-white pixels (text) as a black and white picture.
ink() { convert "$1" -crop "$2" +repage -fx "r>0.7&&g>0.7&&b>0.7?1:0" -type bilevel "$3"; }

# ink_box FILE WxH+X+Y: the bounding box of the region's text, as "W H X Y" in screen
# coordinates, or nothing when the region holds no text.
ink_box() {
  local geo x0 y0
  IFS='x+' read -r _ _ x0 y0 <<<"$2"
  (($(ink_count "$1" "$2") > 0)) || return 0
  # A black frame around the region, so that the trim's background is black.
  geo=$(convert "$1" -crop "$2" +repage -fx "r>0.7&&g>0.7&&b>0.7?1:0" -bordercolor black -border 1 \
    -format "%@" info: 2>/dev/null || true)
  [[ $geo =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "cannot measure the text in $1 at $2: $geo"
  echo "${BASH_REMATCH[1]} ${BASH_REMATCH[2]} $((BASH_REMATCH[3] - 1 + x0)) $((BASH_REMATCH[4] - 1 + y0))"
}

# The after-match screen with Play again highlighted, Back and Exit at rest.
after_play_again() { pix "$1" 600 576 yellow && pix "$1" 340 576 white && pix "$1" 20 580 white; }
# A match: none of the menus' buttons along the bottom.
in_match() {
  ! pix "$1" 20 580 white && ! pix "$1" 20 580 yellow && ! pix "$1" 600 576 white && ! pix "$1" 600 576 yellow
}

# ---- To the match -------------------------------------------------------------------------

launch

wait_for 01-player-count 90 is_count_screen
[ "$(count_focus "$out/01-player-count.png")" = 1 ] || fail "the player-count screen opened without one player highlighted"

# One player: the level screen opens with the right name's row highlighted (the left one is
# the computer's).
right_row() { [ "$(level_focus "$1")" = 2 ]; }
press_until Return 02-level-screen right_row
xdotool type --delay 150 BORIS
sleep 0.5
shot "$out/03-name.png"
# The names as the level screen shows them, each from its place to the screen's middle.
level_right=$(ink_box "$out/03-name.png" 320x34+468+136)
level_left=$(ink_box "$out/03-name.png" 320x34+68+136)
[ -n "$level_right" ] || fail "the right name is not shown"
[ -n "$level_left" ] || fail "\"Computer\" is not shown"
read -r rw rh rx ry <<<"$level_right"
read -r lw lh lx ly <<<"$level_left"
say "level screen: BORIS ${rw}x$rh at ($rx, $ry), Computer ${lw}x$lh at ($lx, $ly)"
# Typed straight after the screen opens, BORIS keeps all five letters: about 18 pixels
# a letter in this font.
((rw > 45 && rw < 110)) || fail "the right name is ${rw} pixels wide, not five letters'"

# Play, two rows down past the level selector.
walk level_focus 4 04-play
press_until Return 05-match-hold in_match
wait_intro 06-match

# ---- Three minutes of play ------------------------------------------------------------------

# The right racket stays where it is, but for a short move now and then; the computer plays
# the left one. The clock runs from the end of the intro.
match_start=$SECONDS
hold Left 0.5
sleep 60
alive
shot "$out/07-match-1min.png"
hold Right 0.5
sleep 60
alive
shot "$out/08-match-2min.png"
hold Up 0.3
# The last minute and the switch to the after-match screen.
wait_for 09-after-match 100 after_play_again
say "the match took $((SECONDS - match_start))s after the intro"
sleep 1  # a frame or two more, so nothing is caught half drawn
shot "$out/10-after-match.png"
after_play_again "$out/10-after-match.png" || fail "the after-match screen did not stay"

# ---- The after-match screen -----------------------------------------------------------------

after="$out/10-after-match.png"
# BORIS ends at about x = 780 (it starts at 780 − 18 · 5 = 690); "Computer" starts at 20.
after_right=$(ink_box "$after" 320x34+460+136)
after_left=$(ink_box "$after" 320x34+16+136)
[ -n "$after_right" ] || fail "the after-match screen shows no right name"
[ -n "$after_left" ] || fail "the after-match screen shows no left name"
read -r aw ah ax ay <<<"$after_right"
read -r bw bh bx by <<<"$after_left"
say "after-match: right name ${aw}x$ah at ($ax, $ay), left name ${bw}x$bh at ($bx, $by)"
# The same text as on the level screen, moved: from x = 472 to 690 and from 72 to 20.
((aw == rw && ah == rh && ay == ry)) || fail "the right name's size or height differs from the level screen's"
((bw == lw && bh == lh && by == ly)) || fail "the left name's size or height differs from the level screen's"
((ax - rx == 690 - 472)) || fail "the right name starts at x = $ax, not where five letters put it"
((lx - bx == 72 - 20)) || fail "the left name starts at x = $bx, not at 20"
# Letter for letter: the names' pixels match those of the level screen.
ink "$out/03-name.png" "${rw}x$rh+$rx+$ry" "$out/.level-right.png"
ink "$after" "${aw}x$ah+$ax+$ay" "$out/.after-right.png"
ink "$out/03-name.png" "${lw}x$lh+$lx+$ly" "$out/.level-left.png"
ink "$after" "${bw}x$bh+$bx+$by" "$out/.after-left.png"
d=$(differ "$out/.level-right.png" "$out/.after-right.png" "${rw}x$rh+0+0")
((d < 10)) || fail "the right name on the after-match screen is not BORIS ($d pixels differ)"
d=$(differ "$out/.level-left.png" "$out/.after-left.png" "${lw}x$lh+0+0")
((d < 10)) || fail "the left name on the after-match screen is not \"Computer\" ($d pixels differ)"
rm -f "$out"/.level-*.png "$out"/.after-*.png
# A score under the middle of each name (x = 780 − 18 · 5 / 2 = 735 and 20 + 18 · 8 / 2 = 92,
# y = 190), and nothing else on that line.
right_score=$(ink_box "$after" 120x34+725+186)
left_score=$(ink_box "$after" 120x34+82+186)
[ -n "$right_score" ] || fail "no score under the right name"
[ -n "$left_score" ] || fail "no score under the left name"
say "after-match: right score at $right_score, left score at $left_score"
(($(ink_count "$after" 515x34+210+186) == 0)) || fail "something stands between the scores"
(($(ink_count "$after" 60x34+20+186) == 0)) || fail "the left score does not start under the name's middle"
(($(ink_count "$after" 400x34+210+136) == 0)) || fail "something stands between the names"

# ---- Play again, then F10 ---------------------------------------------------------------------

press_until Return 11-match-again-hold in_match
wait_intro 12-match-again
# The same players: both names below the table, as in the first match.
for region in 200x40+590+495 200x40+5+495; do
  (($(ink_count "$out/12-match-again.png" $region) > 20)) || fail "no name at $region in the second match"
  (($(differ "$out/06-match.png" "$out/12-match-again.png" $region) < 30)) ||
    fail "the name at $region differs from the first match's"
done
hold F10 0.3
for i in $(seq 50); do
  kill -0 "$pid" 2>/dev/null || break
  ((i % 10 == 0)) && hold F10 0.3
  sleep 0.2
done
ended_cleanly F10
say "passed; screenshots in $out"
