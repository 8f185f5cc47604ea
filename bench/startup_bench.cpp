// Measured from outside the game: the real program started under SDL's offscreen driver,
// timed from its start to its first presented frame (a preloaded library notes the time
// of the first buffer swap and ends the program there), and a whole match on the real face
// (vantor_match_memory) for its peak resident memory. Peak memory is read by each program
// from its own /proc/self/status: a child's getrusage maximum starts from its parent's.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "bench_support.h"

namespace {

void BM_StartupToFirstFrame(benchmark::State& state) {
  const std::string folder = bench::ExecutableFolder();
  bench::UseOffscreenFace();
  // No settings file (the game as it starts for a new player), and none of the user's.
  char config[] = "/tmp/vantor_bench_config.XXXXXX";
  if (!mkdtemp(config)) {
    state.SkipWithError("no temporary folder");
    return;
  }
  double rss = 0;
  for (auto _ : state) {
    const bench::Run run = bench::RunProgram(
        folder + "/vantor", {},
        {"LD_PRELOAD=" + folder + "/libvantor_first_present.so", std::string("XDG_CONFIG_HOME=") + config}, 60);
    const double presented = bench::Field(run.output, "first-present");
    if (run.status != 0 || presented < 0) {
      state.SkipWithError("the game did not present a frame");
      rmdir(config);
      return;
    }
    state.SetIterationTime((presented - static_cast<double>(run.startNs)) * 1e-9);
    rss = std::max(rss, bench::Field(run.output, "VmHWM_KiB"));
  }
  rmdir(config);
  state.counters["peak_rss_MiB"] = rss / 1024.0;
}
BENCHMARK(BM_StartupToFirstFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void BM_WholeMatchPeakMemory(benchmark::State& state) {
  const std::string folder = bench::ExecutableFolder();
  bench::UseOffscreenFace();
  double rss = 0;
  double frames = 0;
  for (auto _ : state) {
    const int64_t start = bench::MonotonicNs();
    const bench::Run run = bench::RunProgram(folder + "/vantor_match_memory", {}, {}, 1800);
    state.SetIterationTime(static_cast<double>(bench::MonotonicNs() - start) * 1e-9);
    frames = bench::Field(run.output, "frames");
    if (run.status != 0 || frames < 0) {
      state.SkipWithError("the match did not finish");
      return;
    }
    rss = std::max(rss, bench::Field(run.output, "VmHWM_KiB"));
  }
  state.counters["peak_rss_MiB"] = rss / 1024.0;
  state.counters["frames"] = frames;
}
BENCHMARK(BM_WholeMatchPeakMemory)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

}  // namespace
