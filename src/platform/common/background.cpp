#include "platform/background.h"

#include <SDL.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace plat {

namespace {

class Worker {
 public:
  ~Worker() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      queue_.clear();  // jobs not begun by the end of the program are dropped
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  std::shared_future<void> Run(std::function<void()> work) {
    std::packaged_task<void()> task(std::move(work));
    std::shared_future<void> done = task.get_future().share();
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(std::move(task));
      if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
    }
    changed_.notify_all();
    return done;
  }

  void WaitIdle() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
  }

 private:
  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) {
        SDL_TLSCleanup();  // what SDL keeps for this thread (its error text), which it frees only for its own
        return;
      }
      std::packaged_task<void()> task = std::move(queue_.front());
      queue_.pop_front();
      busy_ = true;
      lock.unlock();
      task();
      lock.lock();
      busy_ = false;
      changed_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::packaged_task<void()>> queue_;
  bool busy_ = false, stopping_ = false;
  std::thread thread_;
};

Worker& TheWorker() {
  static Worker worker;
  return worker;
}

// What waits for the first frame.
struct FirstFrame {
  std::mutex mutex;
  std::atomic<bool> shown = false;
  std::vector<std::function<void()>> waiting;
};

FirstFrame& TheFirstFrame() {
  static FirstFrame first;
  return first;
}

}  // namespace

void AfterFirstFrame(std::function<void()> start) {
  FirstFrame& first = TheFirstFrame();
  {
    std::lock_guard lock(first.mutex);
    if (!first.shown) {
      first.waiting.push_back(std::move(start));
      return;
    }
  }
  start();
}

void FramePresented() {
  FirstFrame& first = TheFirstFrame();
  if (first.shown.load(std::memory_order_relaxed)) return;  // every later frame: one load
  std::vector<std::function<void()>> waiting;
  {
    std::lock_guard lock(first.mutex);
    first.shown = true;
    waiting.swap(first.waiting);
  }
  for (auto& start : waiting) start();
}

std::shared_future<void> RunInBackground(std::function<void()> work) {
  return TheWorker().Run(std::move(work));
}

void WaitForBackgroundWork() { TheWorker().WaitIdle(); }

}  // namespace plat
