// The first Game_Load after start-up, on the real face under SDL's offscreen driver: the
// program starts as the game does, shows the logo's first frame, builds the player-count and
// level screens as a player passing through them would, then times Game_Load of a one-player
// match at level 2, as Play starts it, to the end of its drawing work (glFinish). The logo
// alone lasts four seconds, so what start-up left to finish in the background has finished
// when Play can first be pressed: the program waits for it (and no more) before it times.
// Prints "first_load_ms" and, of that, the CPU time of the program's threads; then draws the
// match's first 30 frames and prints the peak resident memory of the whole run, the game's
// on the real OpenGL device (the whole-match program has none).
#include <SDL.h>
#include <SDL_opengl.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/Form1.h"
#include "platform/app_path.h"
#if __has_include("platform/background.h")
#include "platform/background.h"
#define VANTOR_HAS_BACKGROUND 1
#endif
#include "platform/platform.h"

namespace {

double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

long PeakKiB() {
  long kib = 0;
  if (FILE* status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr)
      if (std::sscanf(line, "VmHWM: %ld", &kib) == 1) break;
    std::fclose(status);
  }
  return kib;
}

}  // namespace

int main(int /*argc*/, char** argv) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("VANTOR_NO_PACING", "1", 0);
  std::unique_ptr<plat::Platform> platform = plat::CreateSdlPlatform(argv[0]);
  plat::SetAppPath(platform->AppFolder());
  double ms = -1, cpuMs = -1;
  try {
    Form1 form(*platform);
    form.Startup();
    if (!form.deviceReady) return 1;
    form.Pass();  // the logo's first frame
    form.frmSingle_Multi_load();
    form.onePlayer = true;
    form.frmlvl_load();
    form.level = 2;
    form.RName = "ALICE";
    form.rRacketIndex = form.lRacketIndex = form.ballIndex = 1;
#ifdef VANTOR_HAS_BACKGROUND
    plat::WaitForBackgroundWork();
#endif
    glFinish();
    const double cpuStart = ProcessCpuMs();
    const auto start = std::chrono::steady_clock::now();
    form.Game_Load();
    glFinish();
    ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    cpuMs = ProcessCpuMs() - cpuStart;
    form.screenState = "";
    for (int i = 0; i < 30; ++i) form.Pass();  // the match's first frames, drawn
  } catch (const plat::ProgramEnd& end) {
    return end.code == 0 ? 3 : end.code;
  }
  std::printf("first_load_ms %.3f\nfirst_load_cpu_ms %.3f\nVmHWM_KiB %ld\n", ms, cpuMs, PeakKiB());
  return 0;
}
