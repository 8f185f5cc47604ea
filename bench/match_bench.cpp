// One match frame (Game_render) on the recording device with recording off, at 60 frames
// a second, and the heap allocations of a steady match frame and of steady menu frames
// (which must be none).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "app/Form1.h"
#include "bench_support.h"
#include "platform/app_path.h"
#include "platform/testing/test_platform.h"

// Every malloc, calloc and realloc of the process is counted (operator new ends in malloc;
// world_bench.cpp's operator new calls malloc too), and apart those of each thread. Not under
// the address sanitizer, which brings its own allocator. The driver's and the mixer's threads
// allocate as well: the process's count is atomic.
#if !defined(__SANITIZE_ADDRESS__)
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
namespace {
std::atomic<uint64_t> g_mallocs{0};
thread_local uint64_t t_mallocs = 0;
void Count() {
  g_mallocs.fetch_add(1, std::memory_order_relaxed);
  ++t_mallocs;
}
}  // namespace
extern "C" void* malloc(size_t n) {
  Count();
  return __libc_malloc(n);
}
extern "C" void* calloc(size_t count, size_t n) {
  Count();
  return __libc_calloc(count, n);
}
extern "C" void* realloc(void* p, size_t n) {
  Count();
  return __libc_realloc(p, n);
}
uint64_t bench::HeapAllocations() { return g_mallocs.load(std::memory_order_relaxed); }
uint64_t bench::ThreadHeapAllocations() { return t_mallocs; }
#else
uint64_t bench::HeapAllocations() { return 0; }
uint64_t bench::ThreadHeapAllocations() { return 0; }
#endif
// What a frame allocates: on the thread that runs it.
static uint64_t Mallocs() { return bench::ThreadHeapAllocations(); }

namespace {

// A one-player match past its intro, the ball in play.
struct Match {
  plat::testing::TestPlatform platform;
  std::unique_ptr<Form1> form;

  Match() {
    const char* data = std::getenv("VANTOR_DATA_DIR");  // another build's data, if asked
    platform.appFolder = data != nullptr ? data : VANTOR_DATA_DIR;
    plat::SetAppPath(platform.appFolder);
    form = std::make_unique<Form1>(platform);
    form->Startup();
    for (plat::Timer* t : {&form->Timer2, &form->Timer3, &form->Timer5}) form->EnableTimer(*t, false);
    form->onePlayer = true;
    form->level = 2;
    form->RName = "ALICE";
    form->rRacketIndex = form->lRacketIndex = form->ballIndex = 1;
    form->Game_Load();
    form->screenState = "";
    platform.device->recording = false;
    platform.recordSounds = false;
    while (form->cam_inter) form->Pass();
    form->FPS_Current = 60;
  }
  // Keeps the ball in play in the middle of the table.
  void Serve() {
    form->ball.Translate_ball(0, 0);
    form->ball.Goal = false;
    form->ball.Xdir = 1;
    form->ball.Zdir = 1;
    form->ball.bAngle = 25;
  }
};

void BM_MatchFrame(benchmark::State& state) {
  Match m;
  m.Serve();
  for (int i = 0; i < 10; ++i) m.form->Game_render();  // settle fonts and sounds
  uint64_t frames = 0, mallocs = 0, processMallocs = 0;
  for (auto _ : state) {
    if (std::abs(m.form->ball.cposx) > 1.5 || m.form->ball.Goal) {
      state.PauseTiming();
      m.Serve();
      state.ResumeTiming();
    }
    const uint64_t before = Mallocs(), processBefore = bench::HeapAllocations();
    m.form->Game_render();
    mallocs += Mallocs() - before;
    processMallocs += bench::HeapAllocations() - processBefore;
    ++frames;
  }
  state.counters["allocs_per_frame"] = static_cast<double>(mallocs) / static_cast<double>(frames);
  // Meanwhile, by the whole process: other benchmarks' sound devices play on (the OpenGL
  // benchmarks' match music, decoded as it plays on the mixer's thread).
  state.counters["process_allocs_per_frame"] = static_cast<double>(processMallocs) / static_cast<double>(frames);
}
BENCHMARK(BM_MatchFrame);

// A whole pass of the frame loop on a menu screen, nothing pressed: 0 the player-count
// screen, 1 the level and names screen, 2 the after-match screen.
void BM_MenuFrame(benchmark::State& state) {
  plat::testing::TestPlatform platform;
  const char* data = std::getenv("VANTOR_DATA_DIR");
  platform.appFolder = data != nullptr ? data : VANTOR_DATA_DIR;
  plat::SetAppPath(platform.appFolder);
  // Frames that present nothing (the logo's hand-over) still let a millisecond pass.
  platform.onPump = [](plat::testing::TestPlatform& p) { p.Advance(1); };
  Form1 form(platform);
  form.Startup();
  for (int i = 0; i < 100000 && form.screenState != "FRMSINGLE_MULTI"; ++i) form.Pass();
  if (form.screenState != "FRMSINGLE_MULTI") {
    state.SkipWithError("the logo sequence did not end");
    return;
  }
  if (state.range(0) == 1) {
    form.frmlvl_load();
    form.screenState = "FRMLVL";
  } else if (state.range(0) == 2) {
    form.RName = "BORIS";
    form.LName = "ANNA";
    form.Frm_After_load();
    form.screenState = "FRM_AFTER";
  }
  platform.device->recording = false;
  platform.recordSounds = false;
  for (int i = 0; i < 120; ++i) form.Pass();  // settle fonts, sounds and the key polls
  const uint64_t presents = platform.device->presents;
  uint64_t frames = 0, mallocs = 0;
  for (auto _ : state) {
    const uint64_t before = Mallocs();
    form.Pass();
    mallocs += Mallocs() - before;
    ++frames;
  }
  state.counters["allocs_per_frame"] = static_cast<double>(mallocs) / static_cast<double>(frames);
  state.counters["presents_per_frame"] =
      static_cast<double>(platform.device->presents - presents) / static_cast<double>(frames);
}
BENCHMARK(BM_MenuFrame)->Arg(0)->Arg(1)->Arg(2);

}  // namespace
