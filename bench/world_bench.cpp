// The playing objects per frame: the ball's move at several frame rates and one frame's
// drawing of table, ball and rackets on the recording device (recording off). A steady
// frame must not allocate: every operator new in the process is counted.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "platform/app_path.h"
#include "platform/testing/test_platform.h"
#include "world/cBall.h"
#include "world/cMadrab.h"
#include "world/cTable.h"
#include "world/testing/world_test_data.h"

namespace {
std::atomic<uint64_t> g_allocations{0};

void* CountedAlloc(std::size_t n) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(n == 0 ? 1 : n);
}
}  // namespace

// The replacements below pair malloc with free; GCC sees free called on "new" memory.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  if (void* p = CountedAlloc(n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  if (void* p = CountedAlloc(n)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return CountedAlloc(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return CountedAlloc(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

// The match side, doing nothing: the ball still pays for the calls.
class IdleHost : public cBallHost {
 public:
  bool Coll_thisloop() const override { return false; }
  void Checkcoll() override {}
  void Reset_var() override {}
  void play_s_fx(int16_t) override {}
  void EnableTimer4() override {}
};

struct World {
  plat::testing::TestPlatform platform;
  plat::testing::RecordingDevice device{&platform};
  plat::D3DX8 d3dx;
  IdleHost host;
  cTable table;
  cBall ball;
  cMadrab rRacket, lRacket;

  World() {
    plat::SetAppPath(world::testing::WorldDataFolder().string());
    device.recording = false;
    table.init(device, d3dx);
    ball.bspeed = 10;
    ball.init(1, device, d3dx);
    ball.host = &host;
    ball.Translate_ball(-2.5, 0);
    rRacket.rRight = true;
    rRacket.init(1, device, d3dx);
    rRacket.rspeed = 8.5;
    rRacket.Translate_Racket(-4, 0);
    lRacket.rRight = false;
    lRacket.init(2, device, d3dx);
    lRacket.rspeed = 6.5;
    lRacket.Translate_Racket(4, 0);
  }

  void DrawFrame() {
    table.RenderBottom(device, false);
    rRacket.Render_Shadow(device);
    lRacket.Render_Shadow(device);
    ball.RenderShadow(device);
    table.Render(device);
    rRacket.Render(device);
    lRacket.Render(device);
    ball.Render(device);
  }
};

World& TheWorld() {
  static World w;
  return w;
}

void ReportAllocations(benchmark::State& state, uint64_t before) {
  state.counters["allocs_per_iter"] =
      benchmark::Counter(static_cast<double>(g_allocations.load() - before) / state.iterations());
}

// One frame of ball motion at the frame rate given, the ball bouncing round the table
// (walls, goals, pockets and all).
void BM_BallMove(benchmark::State& state) {
  World& w = TheWorld();
  const double fps = static_cast<double>(state.range(0));
  w.ball.Xdir = 1;
  w.ball.Zdir = 1;
  w.ball.bAngle = 33;
  w.ball.fMove(fps, w.ball.bAngle);
  const uint64_t before = g_allocations.load();
  for (auto _ : state) {
    w.ball.fMove(fps, w.ball.bAngle);
    w.ball.LScore = w.ball.RScore = 0;
    benchmark::DoNotOptimize(w.ball.cposx);
  }
  ReportAllocations(state, before);
  state.counters["substeps"] = cBall::SubSteps(fps);
}
BENCHMARK(BM_BallMove)->Arg(60)->Arg(144)->Arg(1000);

void BM_RacketMove(benchmark::State& state) {
  World& w = TheWorld();
  int16_t dir = 1;
  const uint64_t before = g_allocations.load();
  for (auto _ : state) {
    w.rRacket.fMove(60, dir, 0);
    dir = static_cast<int16_t>(-dir);
    benchmark::DoNotOptimize(w.rRacket.cposx);
  }
  ReportAllocations(state, before);
}
BENCHMARK(BM_RacketMove);

// Table (surface, body, 26 faces), three shadows, two rackets and the ball.
void BM_DrawFrame(benchmark::State& state) {
  World& w = TheWorld();
  w.DrawFrame();  // warm up
  const uint64_t before = g_allocations.load();
  for (auto _ : state) w.DrawFrame();
  ReportAllocations(state, before);
}
BENCHMARK(BM_DrawFrame);

}  // namespace

BENCHMARK_MAIN();
