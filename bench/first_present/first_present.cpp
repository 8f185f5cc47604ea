// Preloaded into the real program by the start-up benchmark: at the first presented frame
// it waits for the picture to be finished, writes the monotonic time in nanoseconds, the
// process's peak resident memory so far and the CPU time of all its threads so far to
// standard output, and ends the process. The game itself knows nothing of it.
#include <SDL.h>
#include <dlfcn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
  using Swap = void (*)(SDL_Window*);
  using Finish = void (*)();
  const auto swap = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
  if (swap != nullptr) swap(window);
  if (const auto finish = reinterpret_cast<Finish>(dlsym(RTLD_DEFAULT, "glFinish"))) finish();
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  // VmHWM, not getrusage: the latter counts the starting program's memory too.
  long peakKiB = 0;
  if (FILE* status = std::fopen("/proc/self/status", "r")) {
    char text[256];
    while (std::fgets(text, sizeof text, status) != nullptr) {
      if (std::sscanf(text, "VmHWM: %ld", &peakKiB) == 1) break;
    }
    std::fclose(status);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double cpuMs = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-3;
  char line[128];
  const int n = std::snprintf(line, sizeof line, "first-present %lld\nVmHWM_KiB %ld\ncpu_ms %.3f\n",
                              static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec, peakKiB, cpuMs);
  if (n > 0 && write(STDOUT_FILENO, line, static_cast<size_t>(n)) < 0) _exit(3);
  _exit(0);
}
