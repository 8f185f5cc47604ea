#include "platform/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace plat {

namespace {

volatile sig_atomic_t stopSignal = 0;
int pipeEnds[2] = {-1, -1};

// Async-signal-safe only: a flag, a write, and for a second signal the default action.
void OnStopSignal(int signal) {
  if (stopSignal != 0) {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
    return;
  }
  stopSignal = signal;
  const int saved = errno;
  if (pipeEnds[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(pipeEnds[1], &byte, 1);
  }
  errno = saved;
}

}  // namespace

void CatchStopSignals() {
  if (pipeEnds[0] >= 0) return;
  if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) pipeEnds[0] = pipeEnds[1] = -1;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

bool StopRequested() { return stopSignal != 0; }

int StopSignalFd() { return pipeEnds[0]; }

}  // namespace plat
