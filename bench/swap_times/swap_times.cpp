// Preloaded into the real program by the frame-rate benchmark (bench/frame_rate.sh): at
// every buffer swap it appends a line "<monotonic ns> <process CPU ns>" to the file named by
// VANTOR_SWAP_LOG. The time is taken after the swap returns, so that the difference of two
// lines is the interval from one shown frame to the next. The game knows nothing of it.
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

int LogFile() {
  static int fd = [] {
    const char* path = std::getenv("VANTOR_SWAP_LOG");
    return path ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644) : -1;
  }();
  return fd;
}

long long Nanos(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

}  // namespace

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
  using Swap = void (*)(SDL_Window*);
  static const auto swap = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
  if (swap != nullptr) swap(window);
  const int fd = LogFile();
  if (fd < 0) return;
  char line[64];
  const int n = std::snprintf(line, sizeof line, "%lld %lld\n", Nanos(CLOCK_MONOTONIC),
                              Nanos(CLOCK_PROCESS_CPUTIME_ID));
  if (n > 0 && write(fd, line, static_cast<size_t>(n)) < 0) return;
}
