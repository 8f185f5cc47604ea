#!/usr/bin/env bash
# The real program on its own virtual X server with a window manager: it opens a
# full-screen window, does not spin (it presents at the refresh rate), and ends with
# exit code 0 when its window is asked to close. Then SIGTERM and SIGINT end it within a
# second wherever it is: on the menus, waiting for a host, in a match it records (the
# settings and the recording whole afterwards), playing that recording, and in front of a
# message box (closed as if dismissed: exit code 1, as after the box).
set -u
exe=$1
if [ -z "${VANTOR_OWN_DISPLAY:-}" ]; then
  VANTOR_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 800x600x24 -noreset" "$0" "$@"
fi
fail() {
  echo "FAIL: $*" >&2
  [ -f "$log" ] && sed 's/^/  vantor: /' "$log" >&2
  kill "$pid" 2>/dev/null
  kill "$wm" 2>/dev/null
  exit 1
}
log=$(mktemp)
# The game's settings: none, and never the user's own.
XDG_CONFIG_HOME=$(mktemp -d)
export XDG_CONFIG_HOME
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
"$exe" >"$log" 2>&1 &
pid=$!

wid=
for _ in $(seq 1 150); do
  wid=$(xdotool search --name '^VANTOR!$' 2>/dev/null | head -n 1)
  [ -n "$wid" ] && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended before it showed its window"
  sleep 0.1
done
[ -n "$wid" ] || fail "no window called VANTOR! appeared"
size=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$size" = 800x600 ] || fail "window is $size, not full screen 800x600"

# CPU time over two seconds: a loop that spins at thousands of frames a second uses a
# whole core or more; one paced at 60 Hz leaves most of it idle.
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
t0=$(ticks)
sleep 2
t1=$(ticks)
hz=$(getconf CLK_TCK)
cpu=$(( (t1 - t0) * 100 / (2 * hz) ))
echo "CPU while showing the logo: ${cpu}% of one core"
[ "$cpu" -lt 90 ] || fail "the frame loop is not paced (${cpu}% CPU)"

wmctrl -c 'VANTOR!' || fail "wmctrl could not ask the window to close"
for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the program did not end when its window was closed"
wait "$pid"
rc=$?
kill "$wm" 2>/dev/null
[ "$rc" -eq 0 ] || fail "exit code $rc after closing the window"
[ -z "$(ls -A "$XDG_CONFIG_HOME")" ] || fail "the program wrote $(ls -A "$XDG_CONFIG_HOME") with nothing changed"
echo "PASS: window shown, paced, closed with exit code 0, nothing written"

# ---- Stop signals ---------------------------------------------------------------------------

# run ARGS...: the program started again (its output in the log), once its window shows.
run() {
  "$exe" "$@" >"$log" 2>&1 &
  pid=$!
  for _ in $(seq 1 300); do
    xdotool search --onlyvisible --name '^VANTOR!$' >/dev/null && break
    kill -0 "$pid" 2>/dev/null || fail "vantor $*: ended before it showed its window"
    sleep 0.1
  done
  sleep 0.5
}
# keys KEY...: one press each, a moment apart (the menus take a press as one step).
keys() {
  local k
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.4
  done
}
# stop_with SIGNAL WHERE CODE: the program must end within a second of SIGNAL, with CODE.
stop_with() {
  local start ms rc=0
  start=$(date +%s%N)
  kill -s "$1" "$pid"
  for _ in $(seq 1 60); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.02
  done
  ms=$((($(date +%s%N) - start) / 1000000))
  kill -0 "$pid" 2>/dev/null && fail "$2: still running ${ms} ms after SIG$1"
  wait "$pid" || rc=$?
  echo "$2: SIG$1 ended it in $ms ms with exit code $rc"
  ((ms <= 1000)) || fail "$2: SIG$1 took $ms ms"
  [ "$rc" -eq "$3" ] || fail "$2: exit code $rc after SIG$1, want $3"
}

run
sleep 5 # past the logo
stop_with TERM "the menus" 0

port=$((20000 + RANDOM % 20000))
run --join "127.0.0.1:$port"
sleep 2
stop_with INT "waiting for a host" 0

# The host records a match of its own against the computer: one player, the name ANN
# (kept in the settings when the match starts), Play.
recording=$XDG_CONFIG_HOME/match.vrp
run --host "$port" --record "$recording"
sleep 5
keys Return
xdotool type --delay 150 ANN
keys Down Down Return
sleep 4
stop_with TERM "a recorded match" 0
settings=$XDG_CONFIG_HOME/vantor/settings.ini
grep -q '^right = "ANN"$' "$settings" || fail "the settings do not hold the name given before the match"
ls "$XDG_CONFIG_HOME/vantor" | grep -v '^settings.ini$' && fail "a settings file was left half-written"
[ -s "$recording" ] || fail "no recording"
echo "the recording: $(stat -c %s "$recording") bytes"

run --replay "$recording"
sleep 3
stop_with TERM "the replay" 0

empty=$(mktemp -d)
"$exe" --data "$empty" >"$log" 2>&1 &
pid=$!
for _ in $(seq 1 100); do
  grep -q 'Cannot load' "$log" && xdotool search --onlyvisible --name '^VANTOR!$' >/dev/null && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended before its message box"
  sleep 0.1
done
sleep 1
import -window root "$XDG_CONFIG_HOME/message-box.png" 2>/dev/null || true
stop_with TERM "a message box" 1
sleep 0.5
xdotool search --onlyvisible --name '^VANTOR!$' >/dev/null && fail "the message box is still shown"
rmdir "$empty"
echo "PASS: SIGTERM and SIGINT end it within a second wherever it is"
rm -rf "$log" "$XDG_CONFIG_HOME"
