#!/bin/sh
# The 800 × 600 back buffer on a 1280 × 720 desktop is scaled to 960 × 720, centred
# between black bars. Without a window manager the full-screen window keeps its first
# size, 800 × 600: the picture then fills that window. Run on a 1280 × 720 X display
# (with_display.sh -s 1280x720).
#   letterbox_test.sh path/to/gl_picture work-folder
set -eu
picture=$1
out=$2/letterbox
mkdir -p "$out"
rm -f "$out"/*.png
# Without a window manager a full-screen window keeps its own size.
openbox >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null || true' EXIT
sleep 1
# show NAME: the picture in its window for 4 s; the desktop then in NAME_desktop.png and
# the window's place on it (X, Y, WIDTH, HEIGHT) in `geometry`.
show() {
  "$picture" "$out/$1_back_buffer.png" 4 &
  app=$!
  # The back buffer's picture is saved once the window shows it; frames follow for 4 s.
  for _ in $(seq 100); do
    [ -s "$out/$1_back_buffer.png" ] && break
    sleep 0.1
  done
  sleep 1
  geometry=$(xdotool search --name 'VANTOR!' getwindowgeometry --shell 2>/dev/null | tr '\n' ' ')
  import -window root "$out/$1_desktop.png"
  wait $app
}
show managed
# The same picture without a window manager.
kill $wm
wait $wm 2>/dev/null || true
show bare

pixel() {
  convert "$desktop" -format "%[fx:round(255*p{$1,$2}.r)],%[fx:round(255*p{$1,$2}.g)],%[fx:round(255*p{$1,$2}.b)]" info:
}
desktop=$out/managed_desktop.png
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

desktop=$out/bare_desktop.png
eval "$geometry"
if [ "${WIDTH:-}" != 800 ] || [ "${HEIGHT:-}" != 600 ]; then
  echo "without a window manager: window geometry '$geometry', want 800 × 600"
  exit 1
fi
check $((X + 5)) $((Y + 300)) 32,48,64 "without a window manager: the back buffer's left edge at the window's"
check $((X + 795)) $((Y + 595)) 32,48,64 "without a window manager: the back buffer's bottom-right corner at the window's"
check $((X + 690)) $((Y + 100)) 255,0,0 "without a window manager: the red rectangle, not scaled"
exit $status
