#!/bin/sh
# The 800 × 600 back buffer on a 1280 × 720 desktop is scaled to 960 × 720, centred
# between black bars. Run on a 1280 × 720 X display (with_display.sh -s 1280x720).
#   letterbox_test.sh path/to/gl_picture work-folder
set -eu
picture=$1
out=$2/letterbox
mkdir -p "$out"
rm -f "$out/back_buffer.png"
# Without a window manager a full-screen window keeps its own size.
openbox >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null || true' EXIT
sleep 1
"$picture" "$out/back_buffer.png" 4 &
app=$!
# The back buffer's picture is saved once the window shows it; frames follow for 4 s.
for _ in $(seq 100); do
  [ -s "$out/back_buffer.png" ] && break
  sleep 0.1
done
sleep 1
import -window root "$out/desktop.png"
wait $app

pixel() {
  convert "$out/desktop.png" -format "%[fx:round(255*p{$1,$2}.r)],%[fx:round(255*p{$1,$2}.g)],%[fx:round(255*p{$1,$2}.b)]" info:
}
status=0
check() {
  got=$(pixel "$1" "$2")
  if [ "$got" != "$3" ]; then
    echo "pixel ($1, $2): got $got, want $3 ($4)"
    status=1
  fi
}
check 80 360 0,0,0 "left bar"
check 1200 360 0,0,0 "right bar"
check 170 360 32,48,64 "back buffer's left edge"
check 1110 700 32,48,64 "back buffer's bottom-right corner"
check 976 108 255,0,0 "the red rectangle at (680, 90) of the back buffer, scaled by 1.2"
exit $status
