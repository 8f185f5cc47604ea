// Work the first frame does not need, done on one worker thread while the game goes on:
// jobs run one after the other in the order they were started, and whoever needs a job's
// result waits for that job alone (its future; a job's exception comes out of get()).
#pragma once

#include <functional>
#include <future>

namespace plat {

std::shared_future<void> RunInBackground(std::function<void()> work);

// Waits until every job started so far has run (benchmarks and tests).
void WaitForBackgroundWork();

}  // namespace plat
