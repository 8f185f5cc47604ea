#!/bin/sh
# Full screen on a desktop wider than 4:3: the 800 × 600 back buffer is scaled to the
# desktop's height and centred between black bars (on 1280 × 720: 960 × 720 between bars of
# 160), with a window manager and without one (the window is then placed over the display by
# hand). Without one, F11 then makes it a window of its last size (800 × 600), filled by the
# picture, and F11 again full screen. Run on an X display of the size to test
# (with_display.sh -s 1280x720).
#   letterbox_test.sh path/to/gl_picture work-folder
set -eu
picture=$1
size=$(xdpyinfo | awk '/dimensions:/ { print $2; exit }')
width=${size%x*}
height=${size#*x}
out=$2/letterbox_$size
mkdir -p "$out"
rm -f "$out"/*.png
openbox >/dev/null 2>&1 &
wm=$!
app=
trap 'kill $wm $app 2>/dev/null || true' EXIT
sleep 1
status=0
fail() {
  echo "$size: $*"
  status=1
}

# start NAME SECONDS: the picture for SECONDS, once its window shows it (the back buffer
# saved in NAME_back_buffer.png), and that window's id in `window`.
start() {
  "$picture" "$out/$1_back_buffer.png" "$2" >/dev/null &
  app=$!
  for _ in $(seq 100); do
    [ -s "$out/$1_back_buffer.png" ] && break
    sleep 0.1
  done
  window=$(xdotool search --name 'VANTOR!' | head -n 1)
  sleep 1
}
# geometry: the window's place on the screen as X, Y, WIDTH, HEIGHT.
geometry() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
}
# key KEY: the key to the picture's window, then a moment for the switch.
key() {
  xdotool windowfocus "$window" 2>/dev/null || true
  xdotool key "$1"
  sleep 1.5
}
# measure NAME WxH+X+Y: the screen in NAME.png; the picture is where the region stops being
# black: it goes in NAME_picture.png, its bars (left, right, top, bottom) in `bars`.
measure() {
  import -window root "$out/$1.png"
  convert "$out/$1.png" -crop "$2" +repage "$out/$1_region.png"
  # A black frame first, so that a side without a bar is found as well.
  box=$(convert "$out/$1_region.png" -bordercolor black -border 1 -fuzz 4% -format "%@" info:)
  region_width=${2%%x*}
  rest=${2#*x}
  region_height=${rest%%+*}
  bw=${box%%x*}
  rest=${box#*x}
  bh=${rest%%+*}
  rest=${rest#*+}
  bx=$((${rest%%+*} - 1))
  by=$((${rest#*+} - 1))
  bars="$bx/$((region_width - bx - bw))/$by/$((region_height - by - bh))"
  convert "$out/$1_region.png" -crop "${bw}x${bh}+$bx+$by" +repage "$out/$1_picture.png"
  echo "$size $1: picture ${bw}x$bh, bars $bars (left/right/top/bottom)"
}

# The bars of full screen: the width the 4:3 picture leaves, split.
side=$(((width - height * 4 / 3) / 2))
want="$side/$side/0/0"

start managed 4
measure managed "$size+0+0"
[ "$bars" = "$want" ] || fail "with a window manager: bars $bars, want $want"
if [ "$size" = 1280x720 ]; then
  check() {
    got=$(convert "$out/managed.png" -format \
      "%[fx:round(255*p{$1,$2}.r)],%[fx:round(255*p{$1,$2}.g)],%[fx:round(255*p{$1,$2}.b)]" info:)
    [ "$got" = "$3" ] || fail "pixel ($1, $2): got $got, want $3 ($4)"
  }
  check 80 360 0,0,0 "left bar"
  check 1200 360 0,0,0 "right bar"
  check 170 360 32,48,64 "back buffer's left edge"
  check 1110 700 32,48,64 "back buffer's bottom-right corner"
  check 976 108 255,0,0 "the red rectangle at (680, 90) of the back buffer, scaled by 1.2"
fi
wait $app

# Without a window manager: the same, then a window and full screen again.
kill $wm
wait $wm 2>/dev/null || true
start bare 60
geometry
[ "$X,$Y,$WIDTH,$HEIGHT" = "0,0,$width,$height" ] || fail "without a window manager: window at $X,$Y,$WIDTH,$HEIGHT"
measure bare "$size+0+0"
[ "$bars" = "$want" ] || fail "without a window manager: bars $bars, want $want"
key F11
geometry
[ "$WIDTH,$HEIGHT" = "800,600" ] || fail "F11: a window of ${WIDTH}x$HEIGHT, want its last size, 800x600"
measure bare_window "${WIDTH}x$HEIGHT+$X+$Y"
[ "$bars" = "0/0/0/0" ] || fail "F11: bars $bars in the window, want none"
key F11
geometry
[ "$X,$Y,$WIDTH,$HEIGHT" = "0,0,$width,$height" ] || fail "F11 again: window at $X,$Y,$WIDTH,$HEIGHT"
measure bare_again "$size+0+0"
[ "$bars" = "$want" ] || fail "F11 again: bars $bars, want $want"
kill $app
wait $app 2>/dev/null || true

# Full screen shows the window's 800 × 600 picture scaled (its text drawn at the larger size:
# a mean difference of a few thousandths).
reference=$out/bare_window_picture.png
for name in managed bare bare_again; do
  picture_size=$(identify -format %wx%h "$out/${name}_picture.png")
  convert "$reference" -resize "$picture_size!" "$out/${name}_scaled.png"
  difference=$(compare -metric MAE "$out/${name}_scaled.png" "$out/${name}_picture.png" null: 2>&1 |
    sed 's/.*(\(.*\))/\1/')
  echo "$size $name: mean difference from the window's picture scaled: $difference"
  awk -v d="$difference" 'BEGIN { exit !(d + 0 < 0.02) }' || fail "$name: not the window's picture scaled"
done
exit $status
