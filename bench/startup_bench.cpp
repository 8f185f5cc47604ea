// Measured from outside the game: the real program started under SDL's offscreen driver,
// timed from its start to its first presented frame (a preloaded library notes the time
// of the first buffer swap and ends the program there) against a bare SDL and OpenGL
// program, a whole match on the real face (vantor_match_memory) for its peak resident
// memory, the first Game_Load of a fresh program, and the time from Play to the mixer. Peak
// memory is read by each program from its own /proc/self/status: a child's getrusage
// maximum starts from its parent's.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "bench_support.h"

namespace {

// The real program and the bare one (bare_window/), started alternately, each to its first
// presented frame. The time is the game's; the bare program's time, both peaks, both
// programs' CPU time and the ratio of the two times' means are counters.
void BM_StartupToFirstFrame(benchmark::State& state) {
  const std::string folder = bench::ExecutableFolder();
  bench::UseOffscreenFace();
  // No settings file (the game as it starts for a new player), and none of the user's.
  char config[] = "/tmp/vantor_bench_config.XXXXXX";
  if (!mkdtemp(config)) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string preload = "LD_PRELOAD=" + folder + "/libvantor_first_present.so";
  double rss = 0, bareRss = 0, gameSeconds = 0, bareSeconds = 0, gameCpu = 0, bareCpu = 0;
  for (auto _ : state) {
    const bench::Run run = bench::RunProgram(folder + "/vantor", {},
                                             {preload, std::string("XDG_CONFIG_HOME=") + config}, 60);
    const bench::Run bare = bench::RunProgram(folder + "/vantor_bare_window", {}, {preload}, 60);
    const double presented = bench::Field(run.output, "first-present");
    const double barePresented = bench::Field(bare.output, "first-present");
    if (run.status != 0 || presented < 0 || bare.status != 0 || barePresented < 0) {
      state.SkipWithError("the game or the bare program did not present a frame");
      rmdir(config);
      return;
    }
    const double seconds = (presented - static_cast<double>(run.startNs)) * 1e-9;
    state.SetIterationTime(seconds);
    gameSeconds += seconds;
    bareSeconds += (barePresented - static_cast<double>(bare.startNs)) * 1e-9;
    gameCpu += bench::Field(run.output, "cpu_ms");
    bareCpu += bench::Field(bare.output, "cpu_ms");
    rss = std::max(rss, bench::Field(run.output, "VmHWM_KiB"));
    bareRss = std::max(bareRss, bench::Field(bare.output, "VmHWM_KiB"));
  }
  rmdir(config);
  state.counters["peak_rss_MiB"] = rss / 1024.0;
  state.counters["bare_peak_rss_MiB"] = bareRss / 1024.0;
  state.counters["bare_ms"] = bareSeconds * 1e3 / static_cast<double>(state.iterations());
  state.counters["ratio"] = gameSeconds / bareSeconds;
  // CPU time of all threads up to the frame: what the machine's load changes least.
  state.counters["cpu_ms"] = gameCpu / static_cast<double>(state.iterations());
  state.counters["bare_cpu_ms"] = bareCpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_StartupToFirstFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// A whole match (match_memory/), and the bare program's peak, started just before it with one
// sample a pixel: the match is drawn on no OpenGL device, so multisampled buffers would be on
// the bare program's side alone.
void BM_WholeMatchPeakMemory(benchmark::State& state) {
  const std::string folder = bench::ExecutableFolder();
  bench::UseOffscreenFace();
  double rss = 0, earlyRss = 0, bareRss = 0;
  double frames = 0;
  for (auto _ : state) {
    const bench::Run bare = bench::RunProgram(folder + "/vantor_bare_window", {"1"},
                                              {"LD_PRELOAD=" + folder + "/libvantor_first_present.so"}, 60);
    const int64_t start = bench::MonotonicNs();
    const bench::Run run = bench::RunProgram(folder + "/vantor_match_memory", {}, {}, 1800);
    state.SetIterationTime(static_cast<double>(bench::MonotonicNs() - start) * 1e-9);
    frames = bench::Field(run.output, "frames");
    if (run.status != 0 || frames < 0 || bare.status != 0) {
      state.SkipWithError("the match did not finish");
      return;
    }
    rss = std::max(rss, bench::Field(run.output, "VmHWM_KiB"));
    earlyRss = std::max(earlyRss, bench::Field(run.output, "early_VmHWM_KiB"));
    bareRss = std::max(bareRss, bench::Field(bare.output, "VmHWM_KiB"));
  }
  state.counters["peak_rss_MiB"] = rss / 1024.0;
  state.counters["early_peak_rss_MiB"] = earlyRss / 1024.0;  // at the match's 30th frame
  state.counters["bare_peak_rss_MiB"] = bareRss / 1024.0;
  state.counters["own_MiB"] = (rss - bareRss) / 1024.0;
  state.counters["frames"] = frames;
}
BENCHMARK(BM_WholeMatchPeakMemory)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

// A helper program that prints one time in milliseconds as `field`, run once an iteration,
// the time the iteration's; what else it prints, by the last run.
std::string TimeHelper(benchmark::State& state, const char* program, const char* field, const char* failure) {
  const std::string folder = bench::ExecutableFolder();
  bench::UseOffscreenFace();
  std::string output;
  for (auto _ : state) {
    const bench::Run run = bench::RunProgram(folder + "/" + program, {}, {}, 120);
    const double ms = bench::Field(run.output, field);
    if (run.status != 0 || ms < 0) {
      state.SkipWithError(failure);
      break;
    }
    state.SetIterationTime(ms * 1e-3);
    output = run.output;
  }
  return output;
}

// The first Game_Load of a fresh program (first_load/).
void BM_FirstGameLoad(benchmark::State& state) {
  const std::string output = TimeHelper(state, "vantor_first_load", "first_load_ms", "the first match did not load");
  state.counters["cpu_ms"] = bench::Field(output, "first_load_cpu_ms");
  // The whole run's peak to the match's 30th frame drawn on the OpenGL device (the last run's).
  state.counters["peak_rss_MiB"] = bench::Field(output, "VmHWM_KiB") / 1024.0;
}
BENCHMARK(BM_FirstGameLoad)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// From Play to the mixer's output (sound_latency/): the median of one run's plays.
void BM_PlayToMixer(benchmark::State& state) {
  const std::string output = TimeHelper(state, "vantor_sound_latency", "play_to_mix_ms", "no sound left the mixer");
  state.counters["worst_ms"] = bench::Field(output, "worst_ms");
}
BENCHMARK(BM_PlayToMixer)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace
