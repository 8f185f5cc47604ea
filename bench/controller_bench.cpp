// What two game controllers add to a match frame on the real face: the event pump's
// update of both (SDL_JoystickUpdate, which SDL_PumpEvents runs) and the frame's two
// keyboard reads (Check_Keys reads the keys twice), each pressing both controllers' keys,
// with the sticks, a trigger and buttons held. SDL's virtual controllers stand in for
// real ones.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "../tests/display/virtual_pad.h"
#include "app/pad_layouts.h"
#include "bench_support.h"
#include "platform/sdl/game_controllers.h"

namespace {

void BM_ControllerPoll(benchmark::State& state) {
  plat::sdl::GameControllers pads("/nonexistent");  // no mapping file
  pads.SetLayout(pads::kMatch);
  pad_test::VirtualPad right, left;
  const int count = static_cast<int>(state.range(0));
  if ((count > 0 && !right.Attach("right")) || (count > 1 && !left.Attach("left"))) {
    state.SkipWithError(SDL_GetError());
    return;
  }
  SDL_Event e;
  while (SDL_PollEvent(&e)) pads.HandleEvent(e);
  if (pads.Count() != count) {
    state.SkipWithError("the controllers were not taken up");
    return;
  }
  if (right.Attached()) {
    right.Axis(SDL_CONTROLLER_AXIS_LEFTY, -32768);
    right.Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
  }
  if (left.Attached()) {
    left.Axis(SDL_CONTROLLER_AXIS_LEFTX, 20000);
    left.Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
  }
  std::array<uint8_t, 256> keys{};
  const uint64_t mallocs = bench::ThreadHeapAllocations();
  for (auto _ : state) {
    SDL_JoystickUpdate();
    for (int read = 0; read < 2; ++read) {
      keys.fill(0);
      pads.PressKeys(keys.data());
      benchmark::DoNotOptimize(keys.data());
    }
  }
  state.counters["held"] =
      keys[plat::DIK_UP] + keys[plat::DIK_D] + keys[plat::DIK_W] + keys[plat::DIK_RSHIFT];
  state.counters["allocs_per_frame"] =
      static_cast<double>(bench::ThreadHeapAllocations() - mallocs) / static_cast<double>(state.iterations());
  while (SDL_PollEvent(&e)) pads.HandleEvent(e);
}
BENCHMARK(BM_ControllerPoll)->Arg(0)->Arg(2);

}  // namespace
