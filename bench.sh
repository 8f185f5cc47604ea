#!/usr/bin/env bash
# Builds the game and its benchmarks (Release, build/bench/), runs the benchmarks and writes
# the figures, with the machine they ran on, to docs/performance.md. Not part of ./test.sh.
# BENCH_REPETITIONS (default 10) sets how many times each benchmark is run; every figure
# is the median of those runs.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
vantor_install_packages bench
vantor_build build/bench -DCMAKE_BUILD_TYPE=Release -DVANTOR_TESTS=OFF -DVANTOR_BENCH=ON

reps=${BENCH_REPETITIONS:-10}
out=build/bench/bench.json
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# Repetitions interleaved at random, so that a change in the machine's load over the run
# falls on the game's frame and the bare program's frame alike.
build/bench/vantor_bench --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
  --benchmark_enable_random_interleaving=true --benchmark_color=false \
  --benchmark_out="$out" --benchmark_out_format=json
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# The report as lines of name, key, value (Google Benchmark writes one key a line).
flat=build/bench/bench.tsv
awk -F'"' '/^ *"[^"]+": / {
  key = $2; value = $0
  sub(/^[^:]*: */, "", value); sub(/,$/, "", value); gsub(/"/, "", value)
  if (key == "name") name = value; else if (name != "") print name "\t" key "\t" value
}' "$out" >"$flat"
get() {
  local v
  v=$(awk -F'\t' -v n="$1" -v k="$2" '$1 == n && $2 == k { print $3; exit }' "$flat")
  if [ -z "$v" ]; then
    echo "bench.sh: no $2 for $1 in $out" >&2
    exit 1
  fi
  echo "$v"
}
calc() { awk "BEGIN { printf \"$1\", $2 }"; }

frame_ns=$(get BM_MatchFrame_median cpu_time)
frame_real_ns=$(get BM_MatchFrame_median real_time)
match_allocs=$(get BM_MatchFrame_median allocs_per_frame)
menu_allocs=()
for i in 0 1 2; do menu_allocs+=("$(calc %.0f "$(get "BM_MenuFrame/${i}_median" allocs_per_frame)")"); done
gl_ours=$(get BM_GlMatchFrame/real_time_median real_time)
gl_bare=$(get BM_GlBareFrame/real_time_median real_time)
gl_ours_cpu=$(get BM_GlMatchFrame/real_time_median cpu_time)
gl_bare_cpu=$(get BM_GlBareFrame/real_time_median cpu_time)
gl_one=$(get BM_GlBareFrameOneSample/real_time_median real_time)
gl_one_cpu=$(get BM_GlBareFrameOneSample/real_time_median cpu_time)
gl_samples=$(calc %.0f "$(get BM_GlMatchFrame/real_time_median samples)")
bare_samples=$(calc %.0f "$(get BM_GlBareFrame/real_time_median samples)")
gl_size="$(calc %.0f "$(get BM_GlMatchFrame/real_time_median width)") × $(calc %.0f "$(get BM_GlMatchFrame/real_time_median height)")"
renderer=$(get BM_GlBareFrame/real_time_median label)
draws=$(calc %.0f "$(get BM_GlBareFrame/real_time_median draws)")
triangles=$(calc %.0f "$(get BM_GlBareFrame/real_time_median triangles)")
ratio=$(calc %.2f "$gl_ours_cpu / $gl_bare_cpu")
wall_ratio=$(calc %.2f "$gl_ours / $gl_bare")
startup=$(get BM_StartupToFirstFrame/iterations:5/manual_time_median real_time)
startup_rss=$(get BM_StartupToFirstFrame/iterations:5/manual_time_median peak_rss_MiB)
game_load=$(get BM_GameLoadWarm/real_time_median real_time)
reload=$(get BM_EffectReload/iterations:200/manual_time_median real_time)
reload_worst=$(get BM_EffectReload/iterations:200/manual_time_median worst_us)
reload_worst_cpu=$(get BM_EffectReload/iterations:200/manual_time_median worst_cpu_us)
match_rss=$(get BM_WholeMatchPeakMemory/iterations:1/manual_time_median peak_rss_MiB)
match_frames=$(calc %.0f "$(get BM_WholeMatchPeakMemory/iterations:1/manual_time_median frames)")
pads_ns=$(get BM_ControllerPoll/2_median cpu_time)
pads_none_ns=$(get BM_ControllerPoll/0_median cpu_time)
pads_allocs=$(calc %.0f "$(get BM_ControllerPoll/2_median allocs_per_frame)")

verdict() { awk "BEGIN { print ($1) ? \"met\" : \"**missed**\" }"; }
cpu_model=$(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
mem_gib=$(awk '/^MemTotal/ { printf "%.1f", $2 / 1048576 }' /proc/meminfo)
os=$(. /etc/os-release && echo "$PRETTY_NAME")
compiler=$(grep -m1 '^CMAKE_CXX_COMPILER:' build/bench/CMakeCache.txt | cut -d= -f2)
compiler_version=$("$compiler" --version | head -n1)

# The network figures come from the tests (tests/unit/net_*_test.cpp, tests/display/net_match.sh),
# not from this script: their section is kept as it is.
network_section=$(sed -n '/^## Network matches/,$p' docs/performance.md 2>/dev/null || true)
cat >docs/performance.md <<EOF
# Performance

Written by \`./bench.sh\`, which builds the game and its benchmarks in Release
(\`build/bench/\`) and runs them (\`build/bench/vantor_bench\`, Google Benchmark). Every
figure is the median of $reps runs (\`--benchmark_repetitions=$reps\`, the \`median\`
aggregate), the runs of all benchmarks interleaved at random.

## Figures

| Figure | Measured | Target | |
|---|---|---|---|
| CPU per match frame (\`Game_render\`, ball in play, 60 fps, recording device) | $(calc %.0f "$frame_ns") ns CPU ($(calc %.0f "$frame_real_ns") ns wall), $(calc %.3f "$frame_ns / 16666667 * 100") % of a 16.7 ms frame | under 50 µs | $(verdict "$frame_ns < 50000") |
| Heap allocations per steady match frame | $(calc %.0f "$match_allocs") | 0 | $(verdict "$match_allocs == 0") |
| Heap allocations per steady menu frame (player count, level and names, after the match) | ${menu_allocs[0]}, ${menu_allocs[1]}, ${menu_allocs[2]} | 0 | $(verdict "${menu_allocs[0]} + ${menu_allocs[1]} + ${menu_allocs[2]} == 0") |
| OpenGL match frame, 800 × 600 back buffer shown at $gl_size with $gl_samples× MSAA, the game (\`Pass\`, offscreen) | $(calc %.0f "$gl_ours_cpu") µs CPU ($(calc %.0f "$gl_ours") µs wall) | | |
| The same frame with $bare_samples× MSAA, bare OpenGL program | $(calc %.0f "$gl_bare_cpu") µs CPU ($(calc %.0f "$gl_bare") µs wall) | | |
| Ratio game / bare, the same MSAA | $ratio (wall: $wall_ratio) | within 1.25 | $(verdict "$ratio <= 1.25 && $gl_samples == $bare_samples && $gl_samples == 4") |
| The same frame with one sample a pixel, bare OpenGL program (what MSAA costs) | $(calc %.0f "$gl_one_cpu") µs CPU ($(calc %.0f "$gl_one") µs wall): MSAA adds $(calc %.0f "($gl_bare_cpu / $gl_one_cpu - 1) * 100") % | | |
| Start-up to the first presented frame (real program, from outside) | $(calc %.0f "$startup") ms | | |
| \`Game_Load\`, warm caches (OpenGL device) | $(calc %.1f "$game_load") ms | | |
| Reload of the effect buffers at the 20th counted effect | $(calc %.1f "$reload") µs (worst of 200: $(calc %.0f "$reload_worst") µs, of which $(calc %.0f "$reload_worst_cpu") µs the thread's own work) | under 0.2 ms | $(verdict "$reload < 200") |
| Peak resident memory, a whole match ($match_frames frames) | $(calc %.1f "$match_rss") MiB | | |
| Peak resident memory of the real program up to its first frame | $(calc %.1f "$startup_rss") MiB | | |
| Game controllers per match frame (two attached: the event pump's update of both, the frame's two keyboard reads) | $(calc %.0f "$pads_ns") ns CPU (none attached: $(calc %.0f "$pads_none_ns") ns), $pads_allocs heap allocations | under 5 µs | $(verdict "$pads_ns < 5000") |
| Input to screen | a key down before a frame's key read moves the racket in that frame's picture (test \`MatchInputLatency.KeyDownBeforeTheFramesKeyReadMovesTheRacketInThatFrame\`) | same frame | met |

## Machine

- CPU: $cpu_model, $(nproc) cores (logical)
- Memory: $mem_gib GiB
- OS: $os, kernel $(uname -r)
- Compiler: $compiler_version
- OpenGL: $renderer (Mesa, SDL's offscreen video driver)
- Date: $(date -u '+%Y-%m-%d %H:%M UTC')
- Load average (1, 5, 15 min) before the run: $load_before; after: $load_after. Wall
  times move with the machine's load; CPU times much less.

## How each figure is measured

- **CPU per match frame** (\`bench/match_bench.cpp\`, \`BM_MatchFrame\`): a one-player
  match at level 2 on the test face of the platform, past its camera intro, the recording
  device's log switched off; each iteration is one \`Game_render\` (computer's move, keys,
  drawing, ball move and contacts) with \`FPS_Current\` at 60. The ball is put back in
  play in the middle of the table, untimed, when it nears a goal.
- **Heap allocations**: \`malloc\`, \`calloc\` and \`realloc\` are replaced in the
  benchmark program and counted (\`operator new\` ends in \`malloc\`); the count over the
  timed frames divided by the frames. The match frame as above; the menu frames
  (\`BM_MenuFrame/0,1,2\`) are whole passes of the frame loop on the player-count, level
  and names, and after-match screens, nothing pressed. The tests
  \`MatchHotPath.SteadyFramesAllocateNothingAndCreateNoFontOrTexture\` and
  \`ScreensFrames.MenuFramesAndKeyReadsAllocateNothing\` fail on any allocation (through
  the address sanitizer's hooks, in \`./test.sh\`).
- **OpenGL match frame against a bare program** (\`bench/gl_bench.cpp\`): both under
  \`SDL_VIDEODRIVER=offscreen\` (an EGL pbuffer; SDL's offscreen desktop is 1024 × 768, so
  the game's 800 × 600 back buffer is drawn scaled to it, by both, the text rasterised at
  that scale), both with 4× multisample anti-aliasing the game's way (a multisampled
  framebuffer of the drawable's size, resolved into the window's buffer before the swap:
  Mesa's software renderer samples framebuffer objects, not windows), \`SDL_AUDIODRIVER=dummy\`,
  \`VANTOR_NO_PACING=1\` (the game's switch that turns frame pacing off; set by the
  benchmark only) and \`LP_NUM_THREADS=0\`: Mesa's software renderer (llvmpipe) then
  rasterises on the calling thread, so that a frame's whole cost, drawing included, is
  that thread's CPU time, which the rest of the machine's load changes little (with the
  renderer's threads, the wall time of either program moved by ±40 % from run to run on
  a loaded machine). Every frame ends with the buffer swap and \`glFinish\`, as the swap
  of a pbuffer neither waits nor flushes.
  - *The game*: \`Form1\` on the real face of the platform, a one-player match at level 2
    past its intro, the ball kept in play; each iteration is one \`Pass\` of the frame
    loop (window events, timers, keys, the computer, $draws draws of $triangles
    triangles with texts included, the ball's move).
  - *The bare program*: the same frame captured by running the same match on the
    recording device (its log keeps every draw's vertices, texture, vertex format and
    render states; a subclass of the recording device keeps the mesh indices too), then
    replayed with plain OpenGL 2.1 calls in a window of its own: textures uploaded once
    from the recorded pixels, the strings rasterised once with SDL_ttf in the same fonts,
    the projection and each draw's model-view matrix computed once, the lights set once
    a frame, and per draw only the state that differs from the previous draw
    (depth, blending, culling, lighting, material, texture), then client arrays and
    \`glDrawArrays\`/\`glDrawElements\`.
  - Both use the game's own conversions of Direct3D state to OpenGL
    (\`platform/sdl/gl_translate.h\`) and its multisampled framebuffer
    (\`platform/sdl/multisample.h\`), so the pictures are the same; what differs is
    everything the game does around the draws. The ratio is of the medians of CPU time
    (of wall time in brackets).
  - The bare program draws the frame once more straight into its window, one sample a
    pixel: the difference is what multisampling costs the renderer.
- **Start-up to the first presented frame** (\`bench/startup_bench.cpp\`): the real
  program \`build/bench/vantor\` is started by the benchmark under the offscreen driver
  with \`LD_PRELOAD\` of \`libvantor_first_present.so\` (\`bench/first_present/\`), which
  wraps \`SDL_GL_SwapWindow\`: after the first swap (and \`glFinish\`) it writes the
  monotonic time and ends the program. The figure is that time minus the time just
  before the program was started: loading, SDL, the OpenGL context, the logo screen's
  files and the first frame. The game has no code for it. The same library gives the
  program's peak resident memory up to that frame (\`VmHWM\`).
- **\`Game_Load\`, warm caches**: \`Game_Load\` of a one-player match on the OpenGL device,
  run again and again, so that every file is in the page cache and every sound is in
  the sound device's cache of decoded files; textures are decoded and uploaded anew (the
  renderer on one thread, as above).
- **Reload of the effect buffers**: \`load_s(true)\`, what the 20th counted table or
  racket hit does, on the real SDL2_mixer sound device (dummy driver) with the match
  music playing; 200 reloads a run, each timed. The files come from the device's cache
  of decoded files, so a reload reads nothing; its cost is making five buffers and
  handing back their mixer channels. The worst single reload of a run is shown too, with
  the CPU time the game's thread spent in it: the rest is waiting, for the processor or
  for the mixer's lock while the audio thread holds it, and grows with the machine's load.
- **Peak resident memory, a whole match** (\`bench/match_memory/\`): a separate program
  plays one whole one-player match at level 2, from \`Game_Load\` to the after-match
  screen, on the real face of the platform (SDL, the SDL2_mixer sound device with its
  decoded music and effects, all the game's files read and decoded), with a scripted
  right player; the OpenGL device is replaced by the recording device with its log off,
  whose \`Present\` moves a virtual clock by one 60 Hz frame, so that three minutes of play
  take well under a second. The figure is its \`VmHWM\` at the end. A whole match drawn
  by the software renderer would take as long as drawing ~11 000 frames; the renderer's
  own memory shows in the start-up figure.
- **Game controllers per match frame** (\`bench/controller_bench.cpp\`,
  \`BM_ControllerPoll/2\`): the SDL face's controllers (\`platform/sdl/game_controllers.h\`)
  with two of SDL's virtual controllers plugged in, the match's keys in force, a stick,
  a trigger and a button held; each iteration is what controllers add to a match frame:
  \`SDL_JoystickUpdate\` (the part of the frame's event pump that reads them) and two
  keyboard reads (\`Check_Keys\` reads the keys twice), each pressing both controllers'
  keys into the 256-byte state. \`BM_ControllerPoll/0\` is the same with none plugged in.
  A real controller's update reads its device file instead (one \`read\` until it would
  block), which the virtual one does not; the keyboard reads are the same. The test
  \`MatchHotPath.SteadyFramesWithControllersAllocateNothing\` fails on any allocation in a
  match frame with two controllers playing.
- **Input to screen**: \`tests/unit/match_input_latency_test.cpp\` (in \`vantor_tests\`,
  run by \`./test.sh\`): on the recording device, Up is pressed before a \`Pass\`; the
  right racket's top face as drawn in that frame's log is where the racket now stands,
  and has moved towards −z from the previous frame's picture: the frame reads the keys
  before it draws the rackets.
EOF
if [ -n "$network_section" ]; then printf '\n%s\n' "$network_section" >>docs/performance.md; fi
echo "Wrote docs/performance.md:"
sed -n '/^## Figures/,/^## Machine/p' docs/performance.md | sed '$d'
