// From Play to the sound leaving the mixer, on the game's own sound device (SDL2_mixer, the
// silent driver unless SDL_AUDIODRIVER says otherwise): an effect is played again and again,
// each time from silence, and the mixer's output is watched (its post-mix hook, on the audio
// thread, after every mix). The time from Play to the first mix that holds the effect is one
// figure; prints the median and the worst of `plays` of them (default 20), in milliseconds.
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<bool> armed{false};
std::atomic<int64_t> heardAt{0};

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

void PostMix(void*, Uint8* stream, int bytes) {
  if (!armed.load()) return;
  if (std::any_of(stream, stream + bytes, [](Uint8 b) { return b != 0; })) {
    heardAt.store(NowNs());
    armed.store(false);
  }
}

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  const int plays = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  std::unique_ptr<plat::Platform> platform = plat::CreateSdlPlatform(argv[0]);
  std::unique_ptr<plat::SoundDevice> device = platform->CreateSoundDevice();
  plat::SoundBufferPtr effect =
      device->CreateSoundBufferFromFile(platform->AppFolder() + "/Sounds/tcoll.wav", 0xE0);
  int rate = 0, channels = 0;
  Uint16 format = 0;
  if (Mix_QuerySpec(&rate, &format, &channels) == 0) {
    std::fprintf(stderr, "sound_latency: no mixer\n");
    return 1;
  }
  Mix_SetPostMix(PostMix, nullptr);
  std::vector<double> ms;
  for (int i = 0; i < plays; ++i) {
    while (effect->IsPlaying()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(7 + 13 * i % 29));  // a different phase each time
    heardAt.store(0);
    armed.store(true);
    const int64_t start = NowNs();
    effect->Play(0);
    while (heardAt.load() == 0 && NowNs() - start < 1000000000)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    if (heardAt.load() == 0) {
      std::fprintf(stderr, "sound_latency: the effect never left the mixer\n");
      return 2;
    }
    ms.push_back(static_cast<double>(heardAt.load() - start) / 1e6);
  }
  Mix_SetPostMix(nullptr, nullptr);
  std::sort(ms.begin(), ms.end());
  std::printf("play_to_mix_ms %.3f\nworst_ms %.3f\nrate %d\n", ms[ms.size() / 2], ms.back(), rate);
  return 0;
}
