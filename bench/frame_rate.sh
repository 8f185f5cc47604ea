#!/usr/bin/env bash
# The real program's frame times as a player meets them: full screen on a virtual screen of
# each size (Xvfb, openbox, Mesa's software renderer), on the player-count screen and in a
# one-player match after the camera's fly-in, swap to swap. libvantor_swap_times.so, preloaded,
# notes the time of every swap; the game knows nothing of it. The bare program clearing and
# swapping a full-screen window of the same size (one sample a pixel) is the floor.
#   frame_rate.sh OUT NAME=BUILD [NAME=BUILD ...]
# Each size (FRAME_SIZES, the four player sizes unless told) gets a virtual screen of its own,
# on which the floor and then each build, one after the other, are measured. The first build
# brings the preloaded library and the bare program. Writes OUT/frames.tsv: build, size,
# where, frames, median, p95, p99, worst (ms), the share of intervals under 25 ms, CPU ms per
# frame (all the program's threads); and OUT/*.png, the pictures the drive looked at (each
# place's last also whole, at the screen's size, as *-screen.png). "intro"
# is the match's start: the three-second hold, then the fly-in, every frame changed whole.
# FRAME_SETTINGS gives the programs a settings file to start with.
set -euo pipefail
out=$(realpath -m "$1")
shift
builds=("$@")
read -r -a sizes <<<"${FRAME_SIZES:-800x600 1280x720 1920x1080 2560x1440}"
here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
first=$(realpath "${builds[0]#*=}")
preload=$first/libvantor_swap_times.so
bare=$first/vantor_bare_window
seconds=${MEASURE_SECONDS:-6}
mkdir -p "$out"
tsv=$out/frames.tsv
[ -f "$tsv" ] || printf 'build\tsize\twhere\tframes\tmedian_ms\tp95_ms\tp99_ms\tworst_ms\tunder25\tcpu_ms\n' >"$tsv"

drive_name=frame_rate
# shellcheck source=../tests/display/drive_lib.sh
source "$here/../tests/display/drive_lib.sh"

# The screen's 4:3 picture as the 800 × 600 one the checks of drive_lib.sh are written for.
shot() {
  local w h pw ph
  read -r w h < <(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')
  if ((w * 3 > h * 4)); then pw=$((h * 4 / 3)) ph=$h; else pw=$w ph=$((w * 3 / 4)); fi
  import -window root -crop "${pw}x${ph}+$(((w - pw) / 2))+$(((h - ph) / 2))" +repage -resize '800x600!' "$1"
}

# stats LOG FROM TO LABEL: one line of the table from the swaps FROM … TO of LOG.
stats() {
  local part=$out/.part
  sed -n "$(($2 + 1)),$3p" "$1" >"$part"
  local cpu
  cpu=$(awk 'NR > 1 { c += ($2 - p) / 1e6; n++ } { p = $2 } END { printf "%.2f", n ? c / n : 0 }' "$part")
  awk 'NR > 1 { print ($1 - t) / 1e6 } { t = $1 }' "$part" | sort -g |
    awk -v b="$name" -v s="$size" -v w="$4" -v cpu="$cpu" '
      { d[++n] = $1; if ($1 < 25) under++ }
      function at(q,  i) { i = int(n * q + 0.5); return d[i < 1 ? 1 : i] }
      END {
        if (n == 0) { print b "\t" s "\t" w "\t0\t\t\t\t\t\t"; exit }
        printf "%s\t%s\t%s\t%d\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%s\n", b, s, w, n, d[int(n / 2) + 1],
          at(0.95), at(0.99), d[n], 100 * under / n, cpu
      }' >>"$tsv"
  rm -f "$part"
  tail -n 1 "$tsv"
}

swaps() { wc -l <"$swap_log"; }

# measure: the player-count screen, then a one-player match after the fly-in with the puck
# struck and in play.
measure() {
  exe=$build/vantor
  log=$out/vantor-$name-$size.log
  probe=$out/.probe.png
  swap_log=$out/swaps-$name-$size.log
  export XDG_CONFIG_HOME=$out/config-$name-$size
  rm -rf "$XDG_CONFIG_HOME"
  # FRAME_SETTINGS: the text of a settings file to start with (none unless given).
  if [ -n "${FRAME_SETTINGS:-}" ]; then
    mkdir -p "$XDG_CONFIG_HOME/vantor"
    printf '%s\n' "$FRAME_SETTINGS" >"$XDG_CONFIG_HOME/vantor/settings.ini"
  fi
  VANTOR_SWAP_LOG=$swap_log LD_PRELOAD=$preload "$exe" >"$log" 2>&1 &
  pid=$!
  wait_for "$name-$size-count" 180 is_count_screen
  local from
  from=$(swaps)
  sleep "$seconds"
  stats "$swap_log" "$from" "$(swaps)" menu
  import -window root "$out/$name-$size-count-screen.png"
  right_row() { [ "$(level_focus "$1")" = 2 ]; }
  press_until Return "$name-$size-level" right_row
  walk level_focus 4 "$name-$size-play"
  in_match() { ! pix "$1" 20 580 white && ! pix "$1" 20 580 yellow && ! pix "$1" 600 576 white; }
  press_until Return "$name-$size-hold" in_match
  local hold_from
  hold_from=$(swaps)
  wait_intro "$name-$size-match" 400
  # The three-second hold and the camera's fly-in: frames that change everywhere.
  stats "$swap_log" "$hold_from" "$(swaps)" intro
  # Play: the right racket driven to and fro along the table the whole time, striking the
  # puck as it waits on the right half and whenever it comes by.
  local end=$((SECONDS + seconds + 2))
  (while ((SECONDS < end)); do hold Left 0.35; hold Up 0.15; hold Right 0.35; hold Down 0.15; done) &
  local player=$!
  sleep 1
  from=$(swaps)
  sleep "$seconds"
  stats "$swap_log" "$from" "$(swaps)" match
  import -window root "$out/$name-$size-match-screen.png"
  wait "$player" 2>/dev/null || true
  shot "$out/$name-$size-play.png"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=
}

for size in "${sizes[@]}"; do
  display=:$((200 + RANDOM % 200))
  Xvfb "$display" -screen 0 "${size}x24" -noreset -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=$display
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  name=floor
  swap_log=$out/bare-$size.log
  VANTOR_SWAP_LOG=$swap_log LD_PRELOAD=$preload "$bare" 1 "$((seconds + 1))" >/dev/null 2>&1
  stats "$swap_log" 5 "$(swaps)" clear-and-swap
  for entry in "${builds[@]}"; do
    name=${entry%%=*}
    build=$(realpath "${entry#*=}")
    measure
  done
  kill "$wm" "$xvfb" 2>/dev/null || true
  wait "$wm" "$xvfb" 2>/dev/null || true
done
