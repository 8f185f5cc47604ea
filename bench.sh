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

# BENCH_ONLY=frames: only the frame rate of the real program, its section of
# docs/performance.md written anew and the rest kept.
if [ "${BENCH_ONLY:-}" = frames ]; then
  section=$(bench/frame_section.sh)
  doc=docs/performance.md
  awk -v section="$section" '
    /^## / && inside { inside = 0 }
    /^## Frame rate of the real program/ { inside = 1; if (!done) { print section; print ""; done = 1 }; next }
    /^## Network matches/ && !done { print section; print ""; done = 1 }
    !inside { print }
    END { if (!done) { print ""; print section } }' "$doc" >"$doc.new"
  mv "$doc.new" "$doc"
  echo "Wrote the frame-rate section of $doc"
  exit 0
fi

reps=${BENCH_REPETITIONS:-10}
out=build/bench/bench.json
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# Repetitions interleaved at random, so that a change in the machine's load over the run
# falls on the game's frame and the bare program's frame alike.
build/bench/vantor_bench --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
  --benchmark_enable_random_interleaving=true --benchmark_color=false \
  --benchmark_out="$out" --benchmark_out_format=json
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# A report as lines of name, key, value (Google Benchmark writes one key a line).
flatten() {
  awk -F'"' '/^ *"[^"]+": / {
    key = $2; value = $0
    sub(/^[^:]*: */, "", value); sub(/,$/, "", value); gsub(/"/, "", value)
    if (key == "name") name = value; else if (name != "") print name "\t" key "\t" value
  }' "$1" >"$2"
}
flat=build/bench/bench.tsv
flatten "$out" "$flat"
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
match_process_allocs=$(get BM_MatchFrame_median process_allocs_per_frame)
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
| Heap allocations per steady match frame (on the frame's thread; by the whole process meanwhile in brackets) | $(calc %.0f "$match_allocs") ($(calc %.5f "$match_process_allocs")) | 0 | $(verdict "$match_allocs == 0") |
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
  benchmark program and counted (\`operator new\` ends in \`malloc\`), on the thread that
  runs the frame; the count over the timed frames divided by the frames. The whole process's
  count over the same frames is shown too: the OpenGL benchmarks' match, kept for the whole
  run on the real sound device, plays its music on, decoded as it plays on the mixer's
  thread, which allocates for each 64 KiB piece of the file it decodes (about every 0.7 s). The match frame as above; the menu frames
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
  the sound device's cache of decoded files, and every texture, its file unchanged, is the
  one the match before made and still holds (the renderer on one thread, as above).
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
# ---- Start-up, loading, memory and sound, against the bare program ----------------------
# BENCH_BEFORE=<an earlier build/bench, built with this bench/ folder> measures the same
# figures of that build too, right after these, for the Before column.
startup_figures() {  # $1: a tsv; prints the figures as name=value lines
  flat=$1
  local t=BM_StartupToFirstFrame/iterations:5/manual_time_median m=BM_WholeMatchPeakMemory/iterations:1/manual_time_median
  echo "start=$(calc %.0f "$(get $t real_time)")"
  echo "start_bare=$(calc %.0f "$(get $t bare_ms)")"
  echo "start_ratio=$(calc %.2f "$(get $t ratio)")"
  echo "start_cpu=$(calc %.0f "$(get $t cpu_ms)")"
  echo "start_bare_cpu=$(calc %.0f "$(get $t bare_cpu_ms)")"
  echo "start_cpu_ratio=$(calc %.2f "$(get $t cpu_ms) / $(get $t bare_cpu_ms)")"
  echo "load_warm=$(calc %.1f "$(get BM_GameLoadWarm/real_time_median real_time)")"
  echo "load_warm_cpu=$(calc %.1f "$(get BM_GameLoadWarm/real_time_median cpu_time)")"
  echo "load_first=$(calc %.1f "$(get BM_FirstGameLoad/iterations:3/manual_time_median real_time)")"
  echo "load_first_cpu=$(calc %.1f "$(get BM_FirstGameLoad/iterations:3/manual_time_median cpu_ms)")"
  local f=BM_FirstGameLoad/iterations:3/manual_time_median
  echo "match_rss=$(calc %.1f "$(get $m peak_rss_MiB)")"
  echo "match_growth=$(calc %.1f "$(get $m peak_rss_MiB) - $(get $m early_peak_rss_MiB)")"
  echo "bare_rss=$(calc %.1f "$(get $m bare_peak_rss_MiB)")"
  echo "own_rss=$(calc %.1f "$(get $m own_MiB)")"
  echo "gl_rss=$(calc %.1f "$(get $f peak_rss_MiB)")"
  echo "bare_msaa_rss=$(calc %.1f "$(get $t bare_peak_rss_MiB)")"
  echo "own_gl_rss=$(calc %.1f "$(get $f peak_rss_MiB) + $(get $m peak_rss_MiB) - $(get $m early_peak_rss_MiB) - $(get $t bare_peak_rss_MiB)")"
  echo "play=$(calc %.1f "$(get BM_PlayToMixer/iterations:1/manual_time_median real_time)")"
  echo "play_worst=$(calc %.1f "$(get BM_PlayToMixer/iterations:1/manual_time_median worst_ms)")"
}
declare -A now before
while IFS='=' read -r k v; do now[$k]=$v; done < <(startup_figures build/bench/bench.tsv)
before_note="no earlier build given (\`BENCH_BEFORE\`)"
if [ -n "${BENCH_BEFORE:-}" ]; then
  "$BENCH_BEFORE/vantor_bench" \
    --benchmark_filter='BM_(StartupToFirstFrame|WholeMatchPeakMemory|FirstGameLoad|PlayToMixer|GameLoadWarm)' \
    --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
    --benchmark_enable_random_interleaving=true --benchmark_color=false \
    --benchmark_out=build/bench/before.json --benchmark_out_format=json >/dev/null
  flatten build/bench/before.json build/bench/before.tsv
  while IFS='=' read -r k v; do before[$k]=$v; done < <(startup_figures build/bench/before.tsv)
  before_note="the build in \`$BENCH_BEFORE\`${BENCH_BEFORE_NAME:+ ($BENCH_BEFORE_NAME)}"
fi
b() { echo "${before[$1]:-—}"; }
cat >>docs/performance.md <<EOF

## Start-up, loading, memory and sound against the bare program

Each figure the median of $reps runs, as above. Before: $before_note, measured the same
way right after. The bare program (\`bench/bare_window/\`) initialises SDL2, opens the
game's full-screen OpenGL 2.1 window with the game's 4× multisampled framebuffer
(\`platform/sdl/multisample.h\`), clears it, resolves it into the window and swaps once.

| Figure | Before | After | Target | |
|---|---|---|---|---|
| Start-up to the first presented frame, the game (wall; CPU of all threads in brackets) | $(b start) ms ($(b start_cpu)) | ${now[start]} ms (${now[start_cpu]}) | | |
| The same, the bare program | $(b start_bare) ms ($(b start_bare_cpu)) | ${now[start_bare]} ms (${now[start_bare_cpu]}) | | |
| Ratio game / bare (of the means of the runs) | $(b start_ratio) | ${now[start_ratio]} | ≤ 1.25 | $(verdict "${now[start_ratio]} <= 1.25") |
| Ratio game / bare of the CPU times | $(b start_cpu_ratio) | ${now[start_cpu_ratio]} | | |
| \`Game_Load\`, warm (wall; CPU in brackets) | $(b load_warm) ms ($(b load_warm_cpu)) | ${now[load_warm]} ms (${now[load_warm_cpu]}) | ≤ 15 ms | $(verdict "${now[load_warm]} <= 15") |
| The first \`Game_Load\` after start-up (wall; CPU of all threads in brackets) | $(b load_first) ms ($(b load_first_cpu)) | ${now[load_first]} ms (${now[load_first_cpu]}) | ≤ 60 ms | $(verdict "${now[load_first]} <= 60") |
| Peak resident memory over a whole match, drawn on no OpenGL device | $(b match_rss) MiB | ${now[match_rss]} MiB | | |
| The bare program's peak, one sample a pixel | $(b bare_rss) MiB | ${now[bare_rss]} MiB | | |
| The game's own, so measured (the difference) | $(b own_rss) MiB | ${now[own_rss]} MiB | ≤ 20 MiB | $(verdict "${now[own_rss]} <= 20") |
| Peak resident memory of the game on the OpenGL device with 4× MSAA, to its match's 30th frame | $(b gl_rss) MiB | ${now[gl_rss]} MiB | | |
| The bare program's peak with the same MSAA | $(b bare_msaa_rss) MiB | ${now[bare_msaa_rss]} MiB | | |
| The game's own on the OpenGL device (the difference, plus what the whole match adds after its 30th frame: $(b match_growth) and ${now[match_growth]} MiB) | $(b own_gl_rss) MiB | ${now[own_gl_rss]} MiB | ≤ 20 MiB | $(verdict "${now[own_gl_rss]} <= 20") |
| From \`Play\` to the sound leaving the mixer (median of 20 plays; worst) | $(b play) ms ($(b play_worst)) | ${now[play]} ms (${now[play_worst]}) | ≤ 25 ms | $(verdict "${now[play]} <= 25") |

- **Start-up** (\`bench/startup_bench.cpp\`, \`BM_StartupToFirstFrame\`): the game and the
  bare program started one after the other, five times a run, each timed from just before
  it is started to its first presented frame (\`bench/first_present/\`).
- **\`Game_Load\`, warm**: as in the table above. **The first \`Game_Load\`**
  (\`bench/first_load/\`): a fresh program starts as the game does, shows the logo's first
  frame, builds the player-count and level screens, waits for what start-up left to the
  background thread (the logo alone lasts four seconds), then times \`Game_Load\` of a
  one-player match to its \`glFinish\`.
- **Memory**: the whole match as above (\`BM_WholeMatchPeakMemory\`), less the bare
  program's peak at its first frame, both \`VmHWM\`. The match program draws on the
  recording device, so the bare program it is held against draws straight into its window,
  one sample a pixel (the figure as it was first measured). The game's memory with its
  OpenGL device is measured too: \`bench/first_load/\` after its \`Game_Load\` draws the
  match's first 30 frames on the real device (4× MSAA) and gives its peak; held against the
  bare program with the same MSAA, plus what the whole-match program's peak still grows after
  its own 30th frame.
- **Sound** (\`bench/sound_latency/\`): the game's sound device on SDL's silent driver; an
  effect is played from silence 20 times, and the mixer's post-mix hook notes the first
  mix that holds it. The mixed block then goes to the output, which holds one mixer chunk
  (512 samples, 11.6 ms).

### Where the start-up time and the memory went

Profiled with \`perf\` (DWARF call graphs), \`LD_DEBUG=statistics\`, \`strace\` and
\`heaptrack\` on the Release build, under the offscreen driver:

- *Start-up, earlier on this branch.* The first texture's upload had OpenGL generate its
  mipmaps, for which the software renderer compiled a blit program with LLVM: about 80 ms.
  The levels are made on the CPU (\`platform/sdl/mipmaps.cpp\`, under 1 ms for the logo).
  Fontconfig's configuration and caches (about 60 files parsed, 5 to 25 ms) load on a
  background thread from the platform's first line; the logo's font lookup waits for them
  only if they are not done. The sound device opens on the background thread too: on this
  machine, with no sound card, trying the real drivers and falling back to the silent one
  took about 120 ms (with a sound server, 10 to 50 ms); the first sound, the menu music four
  seconds later, waits for it only if it is not open.
- *Start-up, what is left* (9 runs each, medians, at a load average of 3): the game took
  141 ms of CPU to its first frame (144 ms wall), the bare program 98 (96 wall). The dynamic
  loader's own work is small (3.3 million cycles against 1.9 million: 16 000 relocations
  against 7 000), but the game's libraries bring some fifty more with them (SDL2_mixer's
  decoders with FluidSynth, JACK, libsndfile and GLib; SDL2_image's; Assimp's; FreeType and
  HarfBuzz): the bare program with the game's five direct libraries preloaded took 8 to 18 ms
  more CPU (9 to 11 ms more wall time), mapping and first touching them, and every symbol the
  OpenGL driver and LLVM look up as they load passes through the longer list (the dynamic
  loader's share of the profile: 23 ms against 14). The first frame draws the logo's
  textured rectangle and its text, for each of which the software renderer compiles a
  rasteriser with LLVM, and rasterises them with 4 samples a pixel, where the bare program
  only clears (about 15 ms of the main thread's profile: the rectangle 9, the text 5.5).
  Decoding and uploading the logo's two pictures takes about 2 ms. The background thread's
  fontconfig and sound device run beside the main thread, on two cores shared with the
  renderer's two threads. The wall time moves far more with the machine's load than the CPU
  time does: the main thread waits for a core.
- *Start-up, libraries opened late.* SDL2_mixer, SDL2_image and Assimp are no longer linked
  but opened with \`dlopen\` when first needed (\`platform/common/late_library.h\`), with
  their own symbols kept local: 24 fewer libraries load before the first frame (68 against
  92). The sound device, and with it SDL2_mixer and its decoders, opens on the background
  thread once the first frame is shown (or as soon as a sound is made, if that comes first:
  the first is the menu music, four seconds later); Assimp is opened there too, well before
  the first match; SDL2_image only if a mesh names a picture that is not a TGA. The first
  frame thus waits for neither their loading nor their symbol lookups: in alternating runs
  of the program before and after (three each, 5 starts a run) the ratio went from 1.36 to
  1.45 to 1.29 to 1.34. What still separates the game from the bare program is its first
  frame's drawing (the logo and its text rasterised at 4 samples a pixel, about 15 ms of CPU
  on the renderer's threads), fontconfig and the text libraries the logo's text needs, and
  the logo's two pictures. Built once with one sample a pixel for comparison (11 starts
  each, medians of the CPU time): the game 76 ms, the bare program 38 ms at one sample and
  99 ms with its 4× framebuffer. The game's own share, some 40 ms, is the same either way;
  against a bare program that only clears, most of it is the software renderer compiling,
  with LLVM, the rasterisers of the first textured and blended draws, which any first
  picture with the logo on it needs.
- *Start-up, the last steps.* Timed step by step in a build that notes the time at each
  (medians of 9 to 20 alternating starts, the same machine): the game reaches \`main\` 1 to
  2 ms after the bare program (its dozen more libraries: SDL2_ttf, fontconfig, FreeType,
  HarfBuzz, GLib); opening the window, the context and the multisampled framebuffer take the
  same 45 to 50 ms in both, give or take 2 to 4 ms; and so does the presenting of the first
  frame (the resolve, the swap and the renderer finishing: 45 to 60 ms). Two steps of the
  game's came before its first frame without being needed for it: starting SDL's game
  controllers (1.5 to 2 ms) now comes with the second frame, those plugged in arriving as
  events then; and reading and decoding the logo's two pictures (about 4 ms) is now started
  before the window opens, on the background thread (\`PrefetchPicture\`), so that the
  logo screen's textures only wait for it if it is not done, and take the picture read only
  if the file is still as it was read (a missing or broken file is named by the texture's
  making, as before). What is left of the game's own is its first frame: the logo's
  textured rectangle (8 to 9 ms on the main thread) and its text (5 to 6 ms), for each of
  which Mesa's software renderer builds its shaders, and their rasterising at 4 samples a
  pixel. These are the times with Mesa's shader cache (\`~/.cache/mesa_shader_cache\`) filled,
  as on every start after a player's first: with it switched off
  (\`MESA_SHADER_CACHE_DISABLE=true\`) the two took 110 and 80 ms. Started without the text
  (30 alternating starts) the game took 8 ms less, a ratio of 1.19 against 1.25.
- *Start-up, tried and left out.* SDL2_ttf and fontconfig opened late as well (11 fewer
  libraries before \`main\`, 57 against 68) brought the game to \`main\` 1 to 2 ms sooner,
  but in 40 alternating starts not to its first frame (165 against 165 ms with their
  loading beside the window, 164 against 165 beside the framebuffer): on this machine's two
  logical processors, work moved to the background thread slows the main thread by much of
  what it saves it. Started with no background work at all (fontconfig and the pictures on
  the main thread), the window and context steps took 3 and 2.6 ms less, and the whole start
  about as long; with fontconfig's loading started by the device rather than the platform
  (beside the framebuffer rather than the window), 132 against 136 ms in one set of 40
  alternating starts and 154 against 153 ms in the next. The wall time of a start moves by
  ±10 % from one run to the next (by ±3 % for the ratio of alternating starts), more than
  these steps; so does the ratio in the table: BM_StartupToFirstFrame run again on its own
  right after this run gave 1.26 (median of 5 runs), and 1.29 to 1.31 before the two steps
  above were moved.
- *\`Game_Load\`.* Every match decoded (from the image cache), scaled and uploaded all its
  pictures anew, mipmaps included. Now a texture asked for again, its file unchanged and
  the texture still held, is the one in use (\`platform/common/texture_cache.h\`): a warm
  load reads, decodes and uploads no picture. Scaling (two 256 × 256 pictures to
  512 × 512) is several times faster, with the same texels. The first load decoded the
  match's music track whole, about half of it; music is now decoded as it plays
  (\`WavStream\`, a piece of 64 KiB of the file at a time on the mixer's thread), so the
  first load opens and checks the track's file but holds no decoded sound.
- *Memory.* At the peak of a match the heap held 34 MiB: the match's music track decoded
  whole (12 MiB: SDL converts through 32-bit floats and keeps the buffer of that size,
  half of it sound) and, while it is decoded, its file (3 MiB); every decoded picture,
  which the image cache kept for the whole run (7 MiB); and the textures (7 MiB; on the
  OpenGL device, the renderer's copy). Decoded pictures are now dropped once uploaded
  (−7 MiB); buffers of 128 KiB and more go back to the system when freed, where the
  allocator used to keep them in its heap (−3 to −4 MiB); every sound longer than about 6 s
  (the music; 1 MiB once mixed) is decoded as it plays (−11 MiB), and an effect is decoded
  straight into its one buffer. The whole match's peak is reached by its 30th frame.
- *Memory on the OpenGL device.* With its device the game holds about 36 MiB more than the
  bare program with the same multisampled framebuffer. \`heaptrack\` on \`first_load\`
  puts the renderer's copies of the pictures at about 12 MiB with their mipmaps (7.6 MiB of
  it the table's ten textures, two of them 1024 × 512), the renderer's working memory for the
  first draws (compiled rasterisers, vertex and bin buffers) at about 7 MiB, Assimp's meshes
  at 3 MiB and the sounds at 1.4 MiB; the rest is the fifty libraries' pages and fontconfig's
  mapped caches, resident but shared with every other program that uses them. The pictures
  are what the game draws and are held once; this figure stays above 20 MiB.

EOF

# ---- Frame rate of the real program ------------------------------------------------------
bench/frame_section.sh >>docs/performance.md

if [ -n "$network_section" ]; then printf '\n%s\n' "$network_section" >>docs/performance.md; fi
echo "Wrote docs/performance.md:"
sed -n '/^## Figures/,/^## Machine/p' docs/performance.md | sed '$d'
