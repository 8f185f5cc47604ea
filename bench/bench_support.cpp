#include "bench_support.h"

#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

extern char** environ;

namespace bench {

std::string ExecutableFolder() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return ".";
  std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

void UseOffscreenFace() {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  setenv("VANTOR_NO_PACING", "1", 1);
}

int64_t MonotonicNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

Run RunProgram(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& env, int timeoutSeconds) {
  Run run;
  int out[2];
  if (pipe(out) != 0) return run;
  std::vector<std::string> envStrings = env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::string(*e).rfind("LP_NUM_THREADS=", 0) != 0) envStrings.emplace_back(*e);  // first wins: ours
  }
  std::vector<char*> envp, argv;
  for (auto& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::string name = program;
  argv.push_back(name.data());
  std::vector<std::string> argStrings = args;
  for (auto& s : argStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  pid_t pid = 0;
  run.startNs = MonotonicNs();
  const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (failed != 0) {
    close(out[0]);
    return run;
  }
  // A program that hangs is ended after `timeoutSeconds`.
  const int64_t deadline = run.startNs + static_cast<int64_t>(timeoutSeconds) * 1000000000LL;
  char buffer[4096];
  for (;;) {
    pollfd p{out[0], POLLIN, 0};
    const int64_t left = (deadline - MonotonicNs()) / 1000000;
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) {
      kill(pid, SIGKILL);
      break;
    }
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    run.output.append(buffer, static_cast<size_t>(n));
  }
  close(out[0]);
  int status = 0;
  if (waitpid(pid, &status, 0) == pid)
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

double Field(const std::string& text, const std::string& key) {
  const size_t at = text.find(key + " ");
  if (at == std::string::npos) return -1;
  return std::strtod(text.c_str() + at + key.size() + 1, nullptr);
}

}  // namespace bench
