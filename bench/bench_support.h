// What the benchmarks share: the process's heap allocation count, the folder of the
// benchmark (where the game, its data and the helper programs are built), the offscreen
// setting of the real face, and running a helper program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// Every malloc, calloc and realloc of the process so far (match_bench.cpp counts them), and
// of the calling thread so far.
uint64_t HeapAllocations();
uint64_t ThreadHeapAllocations();

std::string ExecutableFolder();

// The real face without a display: SDL's offscreen window with an OpenGL context, the
// silent audio driver, and no frame pacing, for this process and what it starts.
void UseOffscreenFace();

// A finished helper program: its standard output and exit status.
struct Run {
  std::string output;
  int status = -1;
  int64_t startNs = 0;  // CLOCK_MONOTONIC just before the program was started
};
// Starts `program` with `args` and the extra environment `env` ("NAME=value"), waits for it;
// after `timeoutSeconds` it is killed. The renderer's thread setting of the OpenGL frame
// benchmarks (LP_NUM_THREADS) is not passed on.
Run RunProgram(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& env, int timeoutSeconds);

int64_t MonotonicNs();

// The number after `key` and a space in `text`; -1 when there is none.
double Field(const std::string& text, const std::string& key);

}  // namespace bench
