# shellcheck shell=bash
# Shared by the display tests that drive the real program with xdotool (menu_flow.sh,
# full_match.sh); sourced, not run. It gives them a virtual screen of their own, the
# program's start and end, screenshots checked at a few pixels, keys held for a moment,
# and the menus' highlighted item read back off the screen.
#
# A script sets drive_name (the prefix of its messages, and of the variable that marks
# the re-run under xvfb-run), and optionally drive_started=$SECONDS to put the time
# since then in its messages, then calls drive_own_display EXE OUT, which sets exe,
# out, log, probe and pid.
# shellcheck disable=SC2154  # drive_name and drive_started come from the sourcing script

# ---- Setting up and reporting -----------------------------------------------------------

# drive_own_display EXE OUT: runs the script again under xvfb-run, on a display of its own
# (keys must not reach any other window), then makes OUT ready for the screenshots.
drive_own_display() {
  exe=$1 out=$2
  local mark="${drive_name^^}_DISPLAY"
  if [ "${!mark:-}" != own ]; then
    exec xvfb-run -a -s "-screen 0 800x600x24 -noreset" env "$mark=own" "$0" "$exe" "$out"
  fi
  mkdir -p "$out"
  rm -f "$out"/*.png
  # The game's settings: fresh for every run, never the user's own.
  export XDG_CONFIG_HOME="$out/config"
  rm -rf "$XDG_CONFIG_HOME"
  log="$out/vantor.log"
  export ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0"  # Mesa and dbus leak by design
  probe="$out/.probe.png"
  pid=
}

say() {
  if [ -n "${drive_started:-}" ]; then
    echo "$drive_name: [$((SECONDS - drive_started))s] $*"
  else
    echo "$drive_name: $*"
  fi
}

# fail MESSAGE: reports, shows the end of the program's output, stops it and the script.
fail() {
  echo "$drive_name: $*" >&2
  echo "$drive_name: screenshots in $out; the program said:" >&2
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

# ink_count FILE WxH+X+Y: how many near-white pixels the region holds.
ink_count() {
  convert "$1" -crop "$2" +repage -fx "r>0.7&&g>0.7&&b>0.7?1:0" -format "%[fx:int(mean*w*h+0.5)]" info:
}

# ---- Driving it -------------------------------------------------------------------------

# hold KEY [SECONDS]: the menus read the keyboard's state, so a key is held, not tapped.
hold() { xdotool keydown "$1" sleep "${2:-0.06}" keyup "$1"; }

alive() { kill -0 "$pid" 2>/dev/null || fail "the program ended early"; }

# launch: starts the program, its output in the log, and gives its window the keyboard.
launch() {
  local wid
  "$exe" >"$log" 2>&1 &
  pid=$!
  wid=$(xdotool search --sync --name 'VANTOR!' | head -n 1)
  xdotool windowfocus "$wid" 2>/dev/null || true
}

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

# walk FOCUS_FN TARGET NAME: Up and Down until item TARGET is highlighted. How many key
# reads a hold spans depends on the frame rate, so the item is read back after every key.
walk() {
  local fn=$1 target=$2 name=$3 i cur
  for i in $(seq 30); do
    alive
    shot "$probe"
    cur=$("$fn" "$probe")
    if [ "$cur" = "$target" ]; then
      mv "$probe" "$out/$name.png"
      say "$name"
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
      say "$name"
      return 0
    fi
  done
  mv "$probe" "$out/$name-timeout.png"
  fail "$key did not bring $name"
}

# wait_intro NAME [SECONDS]: the intro (a three-second hold, then the camera's flight) is
# over when two screenshots half a second apart agree below the running clock. It may take
# SECONDS (40 unless told) from the call.
wait_intro() {
  local a="$out/.still-a.png" b="$out/.still-b.png" end=$((SECONDS + ${2:-40}))
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

# ended_cleanly WHAT: the program, asked to end by WHAT, has ended, with code 0.
ended_cleanly() {
  local rc=0
  kill -0 "$pid" 2>/dev/null && fail "$1 did not end the program"
  wait "$pid" || rc=$?
  [ "$rc" -eq 0 ] || fail "the program ended with code $rc"
  rm -f "$probe"
}
