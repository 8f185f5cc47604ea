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

exe=$(realpath "$1")
out=${2:-$(dirname "$exe")/menu_flow}

# Always on a display of our own: keys must not reach any other window.
if [ "${MENU_FLOW_DISPLAY:-}" != own ]; then
  exec xvfb-run -a -s "-screen 0 800x600x24" env MENU_FLOW_DISPLAY=own "$0" "$exe" "$out"
fi

mkdir -p "$out"
rm -f "$out"/*.png
log="$out/vantor.log"
export ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0"  # Mesa and dbus leak by design
probe="$out/.probe.png"
pid=

fail() {
  echo "menu_flow: $*" >&2
  echo "menu_flow: screenshots in $out; the program said:" >&2
  grep -v '^ALSA lib' "$log" | tail -n 20 >&2 || true
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  exit 1
}

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
    red) ((r > 130 && g < 90 && b < 110)) ;;
    blue) ((b > 120 && r < 90)) ;;
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

# red_share FILE WxH+X+Y: the share of the region that is bright red.
red_share() { convert "$1" -crop "$2" +repage -fx "r>0.7&&g<0.4&&b<0.4?1:0" -format "%[fx:mean]" info:; }

logo_maker() { # the first picture with the maker's line in red under it
  pix "$1" 50 50 black && pix "$1" 330 150 yellow && awk "BEGIN{exit !($(red_share "$1" 90x30+178+450) > 0.03)}"
}
logo_title() { pix "$1" 50 50 black && pix "$1" 300 200 blue && pix "$1" 600 300 red && ! pix "$1" 330 150 yellow; }

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
      echo "menu_flow: $name"
      return 0
    fi
    sleep 0.1
  done
  mv "$probe" "$out/$name-timeout.png"
  fail "no $name after ${seconds}s"
}

# walk FOCUS_FN TARGET NAME: Up and Down until item TARGET is highlighted.
walk() {
  local fn=$1 target=$2 name=$3 i cur
  for i in $(seq 30); do
    alive
    shot "$probe"
    cur=$("$fn" "$probe")
    if [ "$cur" = "$target" ]; then
      mv "$probe" "$out/$name.png"
      echo "menu_flow: $name"
      return 0
    fi
    if [ "$cur" = 0 ]; then sleep 0.2; continue; fi
    if ((cur < target)); then hold Down; else hold Up; fi
    sleep 0.3
  done
  mv "$probe" "$out/$name-timeout.png"
  fail "could not reach $name (item $target)"
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
      echo "menu_flow: $name"
      return 0
    fi
  done
  mv "$probe" "$out/$name-timeout.png"
  fail "$key did not bring $name"
}

# ---- The run ----------------------------------------------------------------------------

"$exe" >"$log" 2>&1 &
pid=$!
wid=$(xdotool search --sync --name 'VANTOR!' | head -n 1)
xdotool windowfocus "$wid" 2>/dev/null || true

# The logo reads no keys: about four seconds of two pictures.
wait_for 01-logo-maker 60 logo_maker
wait_for 02-logo-title 5 logo_title
wait_for 03-player-count 5 is_count_screen
[ "$(count_focus "$out/03-player-count.png")" = 1 ] || fail "the player-count screen opened without one player highlighted"

walk count_focus 2 04-two-players
level_is_open() { [ "$(level_focus "$1")" = 1 ]; }
press_until Return 05-level-screen level_is_open
xdotool type --delay 150 ANNA
sleep 0.5
shot "$out/06-left-name.png"
(($(differ "$out/05-level-screen.png" "$out/06-left-name.png" 150x30+72+140) > 40)) || fail "ANNA is not shown"
walk level_focus 2 07-right-row
xdotool type --delay 150 BORIS
sleep 0.5
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
sleep 4
intro_over() {
  local a="$out/.still-a.png" b="$out/.still-b.png"
  shot "$a"
  sleep 0.5
  shot "$b"
  (($(differ "$a" "$b" 800x510+0+90) < 50)) && mv "$b" "$1"  # below the running clock
}
wait_for 12-match 30 intro_over
rm -f "$out"/.still-*.png
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
kill -0 "$pid" 2>/dev/null && fail "Exit did not end the program"
rc=0
wait "$pid" || rc=$?
[ "$rc" -eq 0 ] || fail "the program ended with code $rc"
rm -f "$probe"
echo "menu_flow: passed; screenshots in $out"
