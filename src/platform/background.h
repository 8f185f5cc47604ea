// Work the first frame does not need, done on one worker thread while the game goes on:
// jobs run one after the other in the order they were started, and whoever needs a job's
// result waits for that job alone (its future; a job's exception comes out of get()).
#pragma once

#include <functional>
#include <future>

namespace plat {

std::shared_future<void> RunInBackground(std::function<void()> work);

// Calls `start` (on the thread that presents) once the first frame is on the screen, or at
// once if it already is: for work that would only slow the first frame down, such as
// loading libraries the first screens do not use. `start` should only start work.
void AfterFirstFrame(std::function<void()> start);
// Told by the window each time a frame is presented.
void FramePresented();

// Waits until every job started so far has run (benchmarks and tests).
void WaitForBackgroundWork();

}  // namespace plat
