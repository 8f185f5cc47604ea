#!/bin/sh
# Runs a command on a virtual X display of its own. Xvfb picks a free display number
# itself, so tests running side by side neither race for a number nor share windows,
# focus or keyboard.
#   with_display.sh [-s WIDTHxHEIGHT] command [arguments...]
size=800x600
if [ "${1-}" = "-s" ]; then
  size=$2
  shift 2
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
"$@"
status=$?
exit $status
