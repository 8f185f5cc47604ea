// Measured from outside the game: the real program started under SDL's offscreen driver,
// timed from its start to its first presented frame (a preloaded library notes the time
// of the first buffer swap and ends the program there) against a bare SDL and OpenGL
// program, a whole match on the real face (vantor_match_memory) for its peak resident
// memory, the first Game_Load of a fresh program, and the time from Play to the mixer. Peak
// memory is read by each program from its own /proc/self/status: a child's getrusage
// maximum starts from its parent's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "bench_support.h"

namespace {

// The real program and the bare one (bare_window/), started alternately, each to its first
// presented frame. The time is the game's; the bare program's time and both peaks are
// counters, and so is the ratio of the two times' means.
void BM_StartupToFirstFrame(benchmark::State& state) {
  const std::string folder = bench::ExecutableFolder();
  bench::UseOffscreenFace();
  const std::string preload = "LD_PRELOAD=" + folder + "/libvantor_first_present.so";
  double rss = 0, bareRss = 0, gameSeconds = 0, bareSeconds = 0;
  for (auto _ : state) {
    const bench::Run run = bench::RunProgram(folder + "/vantor", {}, {preload}, 60);
    const bench::Run bare = bench::RunProgram(folder + "/vantor_bare_window", {}, {preload}, 60);
    const double presented = bench::Field(run.output, "first-present");
    const double barePresented = bench::Field(bare.output, "first-present");
    if (run.status != 0 || presented < 0 || bare.status != 0 || barePresented < 0) {
      state.SkipWithError("the game or the bare program did not present a frame");
      return;
    }
    const double seconds = (presented - static_cast<double>(run.startNs)) * 1e-9;
    state.SetIterationTime(seconds);
    gameSeconds += seconds;
    bareSeconds += (barePresented - static_cast<double>(bare.startNs)) * 1e-9;
    rss = std::max(rss, bench::Field(run.output, "VmHWM_KiB"));
    bareRss = std::max(bareRss, bench::Field(bare.output, "VmHWM_KiB"));
  }
  state.counters["peak_rss_MiB"] = rss / 1024.0;
  state.counters["bare_peak_rss_MiB"] = bareRss / 1024.0;
  state.counters["bare_ms"] = bareSeconds * 1e3 / static_cast<double>(state.iterations());
  state.counters["ratio"] = gameSeconds / bareSeconds;
}
BENCHMARK(BM_StartupToFirstFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// A whole match (match_memory/), and the bare program's peak, started just before it.
void BM_WholeMatchPeakMemory(benchmark::State& state) {
  const std::string folder = bench::ExecutableFolder();
  bench::UseOffscreenFace();
  double rss = 0, bareRss = 0;
  double frames = 0;
  for (auto _ : state) {
    const bench::Run bare = bench::RunProgram(
        folder + "/vantor_bare_window", {}, {"LD_PRELOAD=" + folder + "/libvantor_first_present.so"}, 60);
    const int64_t start = bench::MonotonicNs();
    const bench::Run run = bench::RunProgram(folder + "/vantor_match_memory", {}, {}, 1800);
    state.SetIterationTime(static_cast<double>(bench::MonotonicNs() - start) * 1e-9);
    frames = bench::Field(run.output, "frames");
    if (run.status != 0 || frames < 0 || bare.status != 0) {
      state.SkipWithError("the match did not finish");
      return;
    }
    rss = std::max(rss, bench::Field(run.output, "VmHWM_KiB"));
    bareRss = std::max(bareRss, bench::Field(bare.output, "VmHWM_KiB"));
  }
  state.counters["peak_rss_MiB"] = rss / 1024.0;
  state.counters["own_MiB"] = (rss - bareRss) / 1024.0;
  state.counters["frames"] = frames;
}
BENCHMARK(BM_WholeMatchPeakMemory)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

// The first Game_Load of a fresh program (first_load/).
void BM_FirstGameLoad(benchmark::State& state) {
  const std::string folder = bench::ExecutableFolder();
  bench::UseOffscreenFace();
  for (auto _ : state) {
    const bench::Run run = bench::RunProgram(folder + "/vantor_first_load", {}, {}, 120);
    const double ms = bench::Field(run.output, "first_load_ms");
    if (run.status != 0 || ms < 0) {
      state.SkipWithError("the first match did not load");
      return;
    }
    state.SetIterationTime(ms * 1e-3);
  }
}
BENCHMARK(BM_FirstGameLoad)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// From Play to the mixer's output (sound_latency/): the median of one run's plays.
void BM_PlayToMixer(benchmark::State& state) {
  const std::string folder = bench::ExecutableFolder();
  bench::UseOffscreenFace();
  double worst = 0;
  for (auto _ : state) {
    const bench::Run run = bench::RunProgram(folder + "/vantor_sound_latency", {}, {}, 120);
    const double ms = bench::Field(run.output, "play_to_mix_ms");
    if (run.status != 0 || ms < 0) {
      state.SkipWithError("no sound left the mixer");
      return;
    }
    state.SetIterationTime(ms * 1e-3);
    worst = std::max(worst, bench::Field(run.output, "worst_ms"));
  }
  state.counters["worst_ms"] = worst;
}
BENCHMARK(BM_PlayToMixer)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace
