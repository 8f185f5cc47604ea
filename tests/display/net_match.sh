#!/usr/bin/env bash
# A network match between two vantor processes, each on a virtual 800 × 600 display of its
# own, over the loopback interface through udp_relay (50 ms each way, ±10 ms of jitter, 2 %
# of the datagrams lost each way):
#   the host waits on the player-count screen; the joiner BOB connects; the host chooses two
#   players, sees BOB in the left row, and starts; the joiner moves the left racket with its
#   Up key and sees it move; three minutes later both show the after-match screen with the
#   same names and scores; the host plays again; the joiner is killed: the host pauses with
#   "Connection lost — waiting" and is back on the player-count screen 10 s later; a joiner
#   connects again, the host is killed: the joiner says so and ends with code 0.
# Screenshots of both sides (host-*.png, joiner-*.png), the programs' output and the relay's
# byte counts land in OUT.
#
#   net_match.sh VANTOR_EXECUTABLE UDP_RELAY OUT
#
# For scripts/net_latency.sh: NET_DELAY_MS, NET_JITTER_MS and NET_LOSS_PERCENT set the relay
# (50, 10, 2); with KEY_TO_PICTURE (that program's path) the joiner's Up key is timed to its
# own picture and to the host's when the match begins (LATENCY_TRIALS times, 15), into
# OUT/latency.txt, then the host's Up key to its picture and the joiner's, into
# OUT/latency-host.txt; with NET_LATENCY_ONLY=1 the script stops there.
set -euo pipefail

drive_name=net_match
# shellcheck source=drive_lib.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/drive_lib.sh"
exe=$(realpath "$1")
relay=$(realpath "$2")
out=$3
mkdir -p "$out"
rm -f "$out"/*.png "$out"/*.log "$out"/match.vrp
export ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0"
drive_started=$SECONDS
probe="$out/.probe.png"

# ---- Two displays, the relay, the two sides ---------------------------------------------

children=()
cleanup() {
  local p
  for p in "${children[@]}"; do kill "$p" 2>/dev/null || true; done
}
trap cleanup EXIT

# start_display: a virtual display of our own, the first free number from 140, in $display
# (started from this shell, not a subshell, so that the cleanup knows it).
start_display() {
  local n i
  for n in $(seq 140 199); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 800x600x24 -noreset -nolisten tcp >/dev/null 2>&1 &
    local xpid=$!
    children+=($xpid)
    for i in $(seq 50); do
      kill -0 "$xpid" 2>/dev/null || break  # another took the number first
      if xdpyinfo -display ":$n" >/dev/null 2>&1; then
        display=$n
        return 0
      fi
      sleep 0.1
    done
  done
  echo "net_match: no free display" >&2
  return 1
}
start_display
hd=$display
start_display
jd=$display
port=$((20000 + RANDOM % 20000))
relay_port=$((port + 1))
"$relay" "$relay_port" "$port" "${NET_DELAY_MS:-50}" "${NET_JITTER_MS:-10}" "${NET_LOSS_PERCENT:-2}" 540 \
  "$out/relay.txt" &
children+=($!)

hpid= jpid=
# on SIDE: the drive_lib helpers act on that side's display and process from now on.
on() {
  if [ "$1" = host ]; then
    export DISPLAY=":$hd"
    pid=$hpid log=$out/host.log
  else
    export DISPLAY=":$jd"
    pid=$jpid log=$out/joiner.log
  fi
}
# focus DISPLAY: gives the game's window on that display the keyboard.
focus() {
  local wid
  wid=$(DISPLAY=":$1" xdotool search --sync --name 'VANTOR!' | head -n 1)
  DISPLAY=":$1" xdotool windowfocus "$wid" 2>/dev/null || true
}
start_host() {
  DISPLAY=":$hd" "$exe" --host "$port" --record "$out/match.vrp" >"$out/host.log" 2>&1 &
  hpid=$!
  children+=($hpid)
  focus "$hd"
}
start_joiner() {
  DISPLAY=":$jd" "$exe" --join "127.0.0.1:$relay_port" --name BOB >>"$out/joiner.log" 2>&1 &
  jpid=$!
  children+=($jpid)
  focus "$jd"
}
# relay_bytes: "seconds up down" as the relay last counted them.
relay_bytes() { awk '{print $1, $2, $3}' "$out/relay.txt"; }

# A match: none of the menus' buttons along the bottom.
in_match() {
  ! pix "$1" 20 580 white && ! pix "$1" 20 580 yellow && ! pix "$1" 600 576 white && ! pix "$1" 600 576 yellow
}
# The after-match screen with Play again highlighted, Back and Exit at rest.
after_play_again() { pix "$1" 600 576 yellow && pix "$1" 340 576 white && pix "$1" 20 580 white; }
is_level_screen() { [ "$(level_focus "$1")" != 0 ]; }
# How many pixels of a region differ between the two sides' latest pictures.
sides_differ() { differ "$out/host-$1.png" "$out/joiner-$1.png" "$2"; }

# ---- Joining and the menus ------------------------------------------------------------------

start_host
on host
wait_for host-01-player-count 120 is_count_screen
start_joiner
on joiner
wait_for joiner-01-player-count 60 is_count_screen
grep -q '"BOB" joined as the left player' "$out/host.log" || fail "the host did not welcome BOB"

on host
walk count_focus 2 host-02-two-players
press_until Return host-03-level is_level_screen
on joiner
wait_for joiner-03-level 30 is_level_screen
# The host's left row holds the joining player's name, on both screens.
(($(ink_count "$out/host-03-level.png" 120x30+60+135) > 20)) || fail "no name in the host's left row"
(($(sides_differ 03-level 800x60+0+100) < 400)) || fail "the two level screens differ"

on host
walk level_focus 4 host-04-play
press_until Return host-05-intro in_match
wait_intro host-05-match 150
say "the match began"
match_start=$(relay_bytes)

if [ -n "${KEY_TO_PICTURE:-}" ]; then
  # The left racket's upper end on both screens: Up moves it away from the camera.
  "$KEY_TO_PICTURE" ":$jd" ":$hd" "${LATENCY_REGION:-80x50+95+235}" "${LATENCY_REGION:-80x50+95+235}" Up Down "${LATENCY_TRIALS:-15}" \
    >"$out/latency.txt"
  say "$(tail -n 1 "$out/latency.txt") (ms from the joiner's key, to its own picture and to the host's)"
  # The same for the host's Up and the right racket, to compare with.
  "$KEY_TO_PICTURE" ":$hd" ":$jd" 80x50+625+235 80x50+625+235 Up Down "${LATENCY_TRIALS:-15}" \
    >"$out/latency-host.txt"
  say "$(tail -n 1 "$out/latency-host.txt") (ms from the host's key, to its own picture and to the joiner's)"
  if [ "${NET_LATENCY_ONLY:-0}" = 1 ]; then
    echo "net_match: measured"
    exit 0
  fi
fi

# The joiner moves its own racket: its picture changes where the left racket stands.
on joiner
shot "$out/joiner-05-match.png"
xdotool keydown Up
sleep 1
shot "$out/joiner-06-moved.png"
xdotool keyup Up
(($(differ "$out/joiner-05-match.png" "$out/joiner-06-moved.png" 250x250+100+150) > 100)) ||
  fail "the joiner's racket did not move on its screen"
on host
shot "$out/host-06-moved.png"
(($(differ "$out/host-05-match.png" "$out/host-06-moved.png" 250x250+100+150) > 100)) ||
  fail "the joiner's racket did not move on the host's screen"

# ---- Three minutes later ----------------------------------------------------------------------

on host
wait_for host-07-after 260 after_play_again
match_end=$(relay_bytes)
on joiner
wait_for joiner-07-after 30 after_play_again
# The same names and scores on both.
(($(sides_differ 07-after 800x120+0+130) < 300)) || fail "the after-match screens differ"
read -r t0 up0 down0 <<<"$match_start"
read -r t1 up1 down1 <<<"$match_end"
awk -v t="$t1" -v s="$t0" -v u="$((up1 - up0))" -v d="$((down1 - down0))" \
  'BEGIN { printf "net_match: in the match, joiner to host %.0f bytes/s, host to joiner %.0f bytes/s (over %.0f s)\n", u/(t-s), d/(t-s), t-s }'

# ---- The joiner disappears --------------------------------------------------------------------

on host
press_until Return host-08-intro in_match
wait_intro host-08-again 150
kill -9 "$jpid"
wait "$jpid" 2>/dev/null || true
say "the joiner was killed"
sleep 4
shot "$out/host-09-connection-lost.png"
(($(differ "$out/host-08-again.png" "$out/host-09-connection-lost.png" 500x40+150+175) > 150)) ||
  fail "no notice on the host's screen after the joiner went silent"
wait_for host-10-back-to-menu 20 is_count_screen
grep -q 'silent too long' "$out/host.log" || fail "the host did not let the silent joiner go"

# ---- The host disappears ----------------------------------------------------------------------

start_joiner
on joiner
wait_for joiner-11-rejoined 60 is_count_screen
kill -9 "$hpid"
wait "$hpid" 2>/dev/null || true
say "the host was killed"
sleep 4
shot "$out/joiner-12-connection-lost.png"
sleep 8
shot "$out/joiner-13-message.png"
end=$((SECONDS + 20))
while kill -0 "$jpid" 2>/dev/null && ((SECONDS < end)); do sleep 0.5; done
kill -0 "$jpid" 2>/dev/null && fail "the joiner did not end after the host went silent"
rc=0
wait "$jpid" || rc=$?
[ "$rc" -eq 0 ] || fail "the joiner ended with code $rc"
grep -q 'The connection to the host was lost.' "$out/joiner.log" || fail "the joiner gave no message"
say "the joiner ended with code 0 and a message"
[ -s "$out/match.vrp" ] || fail "no replay was written"
echo "net_match: passed"
