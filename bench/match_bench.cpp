// One match frame (Game_render) on the recording device with recording off, at 60 frames
// a second, and the heap allocations of a steady frame (which must be none).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "app/Form1.h"
#include "platform/app_path.h"
#include "platform/testing/test_platform.h"

// Every malloc of the process is counted (operator new ends in malloc). Not under the
// address sanitizer, which brings its own allocator.
#if !defined(__SANITIZE_ADDRESS__)
extern "C" void* __libc_malloc(size_t);
namespace {
uint64_t g_mallocs = 0;
}
extern "C" void* malloc(size_t n) {
  ++g_mallocs;
  return __libc_malloc(n);
}
static uint64_t Mallocs() { return g_mallocs; }
#else
static uint64_t Mallocs() { return 0; }
#endif

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
  uint64_t frames = 0, mallocs = 0;
  for (auto _ : state) {
    if (std::abs(m.form->ball.cposx) > 1.5 || m.form->ball.Goal) {
      state.PauseTiming();
      m.Serve();
      state.ResumeTiming();
    }
    const uint64_t before = Mallocs();
    m.form->Game_render();
    mallocs += Mallocs() - before;
    ++frames;
  }
  state.counters["allocs_per_frame"] = static_cast<double>(mallocs) / static_cast<double>(frames);
}
BENCHMARK(BM_MatchFrame);

}  // namespace
