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

exe=$(realpath "$1")
out=${2:-$(dirname "$exe")/full_match}

# Always on a display of our own: keys must not reach any other window.
if [ "${FULL_MATCH_DISPLAY:-}" != own ]; then
  exec xvfb-run -a -s "-screen 0 800x600x24" env FULL_MATCH_DISPLAY=own "$0" "$exe" "$out"
fi

mkdir -p "$out"
rm -f "$out"/*.png
log="$out/vantor.log"
export ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0"  # Mesa and dbus leak by design
probe="$out/.probe.png"
pid=
started=$SECONDS

fail() {
  echo "full_match: $*" >&2
  echo "full_match: screenshots in $out; the program said:" >&2
  grep -v '^ALSA lib' "$log" | tail -n 20 >&2 || true
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  exit 1
}
say() { echo "full_match: [$((SECONDS - started))s] $*"; }

# ---- Looking at the screen ------------------------------------------------------------

shot() { import -window root "$1"; }

# pix FILE X Y CLASS: the colour class of one pixel.
pix() {
  local r g b
  read -r r g b < <(convert "$1" -format \
    "%[fx:int(255*p{$2,$3}.r+0.5)] %[fx:int(255*p{$2,$3}.g+0.5)] %[fx:int(255*p{$2,$3}.b+0.5)]" info:)
  case $4 in
    black) ((r < 16 && g < 16 && b < 16)) ;;
    yellow) ((r > 190 && g > 190 && b < 150)) ;;  # a highlighted button
    white) ((r > 180 && g > 180 && b > 180)) ;;   # a button at rest
    *) return 2 ;;
  esac
}

# differ A B WxH+X+Y: how many pixels of the region differ between two pictures.
differ() {
  local n
  n=$(compare -metric AE -fuzz 8% "$1[$3]" "$2[$3]" null: 2>&1 || true)
  [[ $n =~ ^[0-9]+$ ]] || fail "cannot compare $1 with $2: $n"
  echo "$n"
}

# ink FILE WxH+X+Y OUT: the region's near-white pixels (text) as a black and white picture.
ink() { convert "$1" -crop "$2" +repage -fx "r>0.7&&g>0.7&&b>0.7?1:0" -type bilevel "$3"; }

# ink_count FILE WxH+X+Y: how many near-white pixels the region holds.
ink_count() {
  convert "$1" -crop "$2" +repage -fx "r>0.7&&g>0.7&&b>0.7?1:0" -format "%[fx:int(mean*w*h+0.5)]" info:
}

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

# The highlighted item of the player-count screen (1 one player, 2 two players, 3 exit).
count_focus() {
  if pix "$1" 285 270 yellow && pix "$1" 295 322 white && pix "$1" 20 580 white; then echo 1
  elif pix "$1" 285 270 white && pix "$1" 295 322 yellow && pix "$1" 20 580 white; then echo 2
  elif pix "$1" 285 270 white && pix "$1" 295 322 white && pix "$1" 20 580 yellow; then echo 3
  else echo 0; fi
}
# The highlighted item of the level and names screen (1 left name … 6 exit).
level_focus() {
  local i=0 n=0 spot
  for spot in "100 116" "500 116" "290 366" "600 576" "340 576" "20 580"; do
    i=$((i + 1))
    # shellcheck disable=SC2086
    if pix "$1" $spot yellow; then
      [ $n -eq 0 ] || { echo 0; return; }
      n=$i
    fi
  done
  echo $n
}
is_count_screen() { [ "$(count_focus "$1")" != 0 ]; }
# The after-match screen with Play again highlighted, Back and Exit at rest.
after_play_again() { pix "$1" 600 576 yellow && pix "$1" 340 576 white && pix "$1" 20 580 white; }
# A match: none of the menus' buttons along the bottom.
in_match() {
  ! pix "$1" 20 580 white && ! pix "$1" 20 580 yellow && ! pix "$1" 600 576 white && ! pix "$1" 600 576 yellow
}

# ---- Driving it -------------------------------------------------------------------------

hold() { xdotool keydown "$1" sleep "${2:-0.06}" keyup "$1"; }

alive() { kill -0 "$pid" 2>/dev/null || fail "the program ended early"; }

# wait_for NAME SECONDS CHECK...: screenshots until the check passes on one of them.
wait_for() {
  local name=$1 seconds=$2
  shift 2
  local end=$((SECONDS + seconds))
  while ((SECONDS <= end)); do
    alive
    shot "$probe"
    if "$@" "$probe"; then
      mv "$probe" "$out/$name.png"
      say "$name"
      return 0
    fi
    sleep 0.1
  done
  mv "$probe" "$out/$name-timeout.png"
  fail "no $name after ${seconds}s"
}

# press_until KEY NAME CHECK...: holds KEY briefly until the screen passes the check.
press_until() {
  local key=$1 name=$2 i
  shift 2
  for i in $(seq 12); do
    alive
    hold "$key"
    sleep 0.4
    shot "$probe"
    if "$@" "$probe"; then
      mv "$probe" "$out/$name.png"
      say "$name"
      return 0
    fi
  done
  mv "$probe" "$out/$name-timeout.png"
  fail "$key did not bring $name"
}

# wait_intro NAME: the intro (a three-second hold, then the camera's flight) is over when
# two screenshots half a second apart agree below the running clock.
wait_intro() {
  local a="$out/.still-a.png" b="$out/.still-b.png" end=$((SECONDS + 40))
  sleep 4
  while ((SECONDS <= end)); do
    alive
    shot "$a"
    sleep 0.5
    shot "$b"
    if (($(differ "$a" "$b" 800x510+0+90) < 50)); then
      mv "$b" "$out/$1.png"
      rm -f "$a"
      say "$1"
      return 0
    fi
  done
  fail "the intro did not end ($1)"
}

# ---- To the match -------------------------------------------------------------------------

"$exe" >"$log" 2>&1 &
pid=$!
wid=$(xdotool search --sync --name 'VANTOR!' | head -n 1)
xdotool windowfocus "$wid" 2>/dev/null || true

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
for i in $(seq 30); do
  alive
  shot "$probe"
  cur=$(level_focus "$probe")
  if [ "$cur" = 4 ]; then break; fi
  if [ "$cur" != 0 ]; then
    if ((cur < 4)); then hold Down; else hold Up; fi
  fi
  sleep 0.3
done
[ "$cur" = 4 ] || { mv "$probe" "$out/04-play-timeout.png"; fail "could not reach Play"; }
mv "$probe" "$out/04-play.png"
say 04-play
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
kill -0 "$pid" 2>/dev/null && fail "F10 did not end the program"
rc=0
wait "$pid" || rc=$?
[ "$rc" -eq 0 ] || fail "the program ended with code $rc"
rm -f "$probe"
say "passed; screenshots in $out"
