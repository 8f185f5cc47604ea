#!/usr/bin/env bash
# The real program on its own virtual X server with a window manager: it opens a
# full-screen window, does not spin (it presents at the refresh rate), and ends with
# exit code 0 when its window is asked to close.
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
rm -rf "$log" "$XDG_CONFIG_HOME"
