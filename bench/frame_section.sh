#!/usr/bin/env bash
# The "Frame rate of the real program" section of docs/performance.md, on standard output:
# bench/frame_rate.sh on virtual screens of the players' sizes, build/bench and (with
# BENCH_BEFORE) the earlier build one after the other on each screen. FRAMES_FROM=DIR takes
# the figures of an earlier run of frame_rate.sh instead of measuring.
set -euo pipefail
cd "$(dirname "$0")/.."
frames_out=${FRAMES_FROM:-build/bench/frames}
if [ -z "${FRAMES_FROM:-}" ]; then
  rm -rf "$frames_out"
  frame_builds=("after=build/bench")
  [ -n "${BENCH_BEFORE:-}" ] && frame_builds+=("before=$BENCH_BEFORE")
  bench/frame_rate.sh "$frames_out" "${frame_builds[@]}" >&2
fi
frames_tsv=$frames_out/frames.tsv
frame_row() {  # $1 size, $2 where, $3 build: "median (p95, p99; worst) ms, under 25 ms, CPU"
  awk -F'\t' -v s="$1" -v w="$2" -v b="$3" '$1 == b && $2 == s && $3 == w {
      printf "%s ms (%s, %s; %s), %s %%, %s ms", $5, $6, $7, $8, $9, $10; found = 1 }
    END { if (!found) printf "—" }' "$frames_tsv"
}
before_note="no earlier build given (\`BENCH_BEFORE\`)"
[ -n "${BENCH_BEFORE:-}" ] && before_note="the build in \`$BENCH_BEFORE\`${BENCH_BEFORE_NAME:+ ($BENCH_BEFORE_NAME)}"
{
  cat <<EOF
## Frame rate of the real program

Written by \`bench/frame_rate.sh\`: the real program (Release) full screen on a virtual screen
of each size (Xvfb with openbox, Mesa's software renderer llvmpipe with the threads it wants),
driven with \`xdotool\` as a player would: six seconds on the player-count screen, then a
one-player match from its three-second hold through the camera's fly-in (the intro, every
frame changed everywhere), then six seconds of play with the right racket driven to and fro
along the table, striking the puck. \`bench/swap_times/\`, preloaded, notes the time of every
buffer swap; each figure is an interval between two shown frames: median (95th and 99th
percentile; worst), the share of intervals under 25 ms, and the CPU time of all the
program's threads per frame. The floor is
the bare program (\`bench/bare_window/\`) clearing a full-screen window of one sample a pixel
and swapping, as fast as it can. Before: $before_note.
The game paces itself to 60 frames a second (16.7 ms) where the driver does not.

| Size | Where | Floor: clear and swap | Before | After |
|---|---|---|---|---|
EOF
  for size in ${FRAME_SIZES:-800x600 1280x720 1920x1080 2560x1440}; do
    for where in menu intro match; do
      label="player-count screen"
      [ "$where" = intro ] && label="match: hold and fly-in"
      [ "$where" = match ] && label="match in play"
      floor=""
      [ "$where" = menu ] && floor=$(frame_row "$size" clear-and-swap floor)
      echo "| ${size/x/ × } | $label | $floor | $(frame_row "$size" "$where" before) | $(frame_row "$size" "$where" after) |"
    done
  done
  cat <<'EOF'

- **Where a frame went before** (`perf record -g` on the real program, 1920 × 1080, Mesa
  without its symbols, so by library): about 90 % of the samples in the code llvmpipe
  compiles for the frame's fragments, the rest in `swrast_dri.so` (triangle set-up and
  binning, the multisample resolve) and in the kernel and libc (the picture copied out at
  the swap). Every frame shaded every pixel of the drawable four times — the room, the
  table and the menus' full-screen pictures, each texture sampled trilinearly — resolved
  the four samples and swapped, though after the fly-in almost nothing of it changes: the
  puck, two rackets and their shadows, and once a second the clock. The bare program with
  one sample a pixel (19 ms against 62 ms at 1024 × 768, above) shows multisampling as two
  thirds of that.
- **What the device does now.** It keeps a frame's calls until `Present` (states,
  transforms, lights, textures, clears, the draws with a copy of their vertices, the
  strings), each clear, draw and string with its signature — the bytes of everything that
  decides its pixels: the whole state it is drawn with (lights that are off, and lighting
  where the draw is not lit, left out), its arguments, its vertices — and the box of window
  pixels it can reach (its vertices through its matrices, two pixels of margin; anywhere
  when a vertex lies behind the eye). Where the frame begins by clearing colour and depth,
  the window, viewport and samples are as in the frame before and its pixel calls as many,
  the calls whose signatures differ from the last frame's give the boxes to draw again:
  each such call's box in the old frame and in the new, joined where they overlap or lie
  close, six at most. For each box the whole frame is drawn again in its order with the
  scissor on the box (calls whose box misses it skipped); everything else is the last
  frame's picture, which the multisampled framebuffer keeps. So a static draw that comes
  after a moving one (the table's rim after the shadows, the lamp after the puck, the texts
  and the pause banner over everything) is drawn again over it in its place. Only the boxes
  are resolved into the window's back buffer: on Mesa's software renderers on X11 the swap
  copies that buffer out and keeps it; anywhere else the device resolves into a picture of
  its own and copies it whole to the window. Any other frame is drawn whole, as before. The
  Direct3D calls the game makes are the same, and the recording device of the tests sees
  them as before. `tests/display/reuse_picture.cpp` holds every frame of a match drawn in
  part against the same frame drawn whole, pixel for pixel, at 800 × 600 and 1920 × 1080,
  with the puck sent along the near rim, under the table's edge drawn after its shadow.
- **Chosen by measurement.** Multisampling stays at four samples a pixel: the picture is
  the one it was, and a steady frame resolves only its boxes, so it costs almost nothing
  there. A frame that changes everywhere still costs what every frame cost before (the
  intro rows: the fly-in moves the camera each frame); `[video] multisample = 1` in the
  settings file draws those about three times faster, with rougher edges. Texture filtering
  is left trilinear: point sampling as Direct3D 8's stages ask would change the picture, and
  sampling is no longer where the time goes. F3 (or `--show-fps`) shows frames a second and
  the slowest frame of the last second in the top right corner, its text renewed twice a
  second.
- **Memory of the off-screen pictures**: the multisampled framebuffer the game had before,
  colour and depth, width × height × 4 samples × 8 bytes (14.6 MiB at 800 × 600, 63.3 MiB at
  1920 × 1080, 112.5 MiB at 2560 × 1440), and nothing more on Mesa's software renderer on X11;
  elsewhere the resolved picture besides (width × height × 4 bytes: 7.9 MiB at 1920 × 1080).
  The calls of two frames: about 0.3 MiB (a match frame, 48 draws, about 160 KiB). A steady
  frame allocates nothing: the frame's calls are kept in buffers that keep their size.
EOF
}
