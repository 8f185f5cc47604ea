#!/bin/sh
# Runs a command on a virtual X display of its own. Xvfb picks a free display number
# itself, so tests running side by side neither race for a number nor share windows,
# focus or keyboard. With -wm, a window manager (openbox) runs on it too: only then does a
# full-screen window take a desktop larger than its first size.
#   with_display.sh [-s WIDTHxHEIGHT] [-wm] command [arguments...]
size=800x600
wm=
if [ "${1-}" = "-s" ]; then
  size=$2
  shift 2
fi
if [ "${1-}" = "-wm" ]; then
  wm=1
  shift
fi
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/log" &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$dir"' EXIT
for _ in $(seq 200); do
  [ -s "$dir/display" ] && break
  sleep 0.05
done
if [ ! -s "$dir/display" ]; then
  echo "Xvfb did not start:"
  cat "$dir/log"
  exit 1
fi
DISPLAY=:$(cat "$dir/display")
export DISPLAY
if [ -n "$wm" ]; then
  openbox >/dev/null 2>&1 &
  manager=$!
  trap 'kill $manager 2>/dev/null; kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$dir"' EXIT
  sleep 1
fi
"$@"
status=$?
exit $status
