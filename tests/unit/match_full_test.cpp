// Whole matches: a scripted right player against each level for the full 180 seconds, and
// a soak of many matches played back to back with the heap watched.
#include <gtest/gtest.h>
#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "unit/match_harness.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTOR_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VANTOR_ASAN 1
#endif
#ifdef VANTOR_ASAN
extern "C" size_t __sanitizer_get_current_allocated_bytes();
extern "C" int __lsan_do_recoverable_leak_check();
#endif

using match_test::Rig;

namespace {

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Bytes the program holds on the heap now.
size_t HeapInUse() {
#ifdef VANTOR_ASAN
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}

struct Played {
  int frames = 0;
  int framesInPlay = 0;  // frames that ended with the ball in play
};

// Plays one whole match from Game_Load to the after-match screen.
Played PlayMatch(Rig& rig, const match_test::MatchOptions& options) {
  rig.Start(options);
  rig.FollowTheBall();
  Played p;
  while (rig.form->screenState.empty() && p.frames < 100000) {
    rig.form->Pass();
    ++p.frames;
    if (!rig.form->ball.Goal) ++p.framesInPlay;
  }
  rig.platform.onPump = nullptr;
  rig.platform.keys.fill(0);
  return p;
}

}  // namespace

class MatchFull : public ::testing::TestWithParam<int16_t> {};

TEST_P(MatchFull, WholeMatchAgainstTheComputerEndsOnTheAfterMatchScreen) {
  Rig rig;
  rig.device().recording = false;
  rig.platform.recordSounds = false;
  const double start = CpuSeconds();
  const Played played = PlayMatch(rig, {.onePlayer = true, .level = GetParam()});
  const int frames = played.frames;
  const double cpu = CpuSeconds() - start;
  const Form1& f = *rig.form;
  std::printf("level %d: %d frames, %d : %d, %.3f s of CPU\n", GetParam(), frames, f.ball.RScore,
              f.ball.LScore, cpu);
  EXPECT_EQ(f.screenState, "FRM_AFTER");
  // 180 seconds at 60 frames a second, plus the 3-second hold and the 56-frame fly-in.
  EXPECT_NEAR(frames, 183 * 60 + 56, 120);
  EXPECT_EQ(f.matchClock, 0);
  EXPECT_FALSE(f.Timer4.Enabled());
  // Sane scores: goals and serve-rule points of three minutes (long rallies are possible:
  // both sides follow the ball).
  EXPECT_GE(f.ball.RScore, 0);
  EXPECT_GE(f.ball.LScore, 0);
  EXPECT_LE(f.ball.RScore + f.ball.LScore, 180);
  EXPECT_GT(played.framesInPlay, frames / 2) << "the ball was hardly ever in play";
  EXPECT_LT(cpu, 1.5) << "a whole match on the recording device";
}

INSTANTIATE_TEST_SUITE_P(Levels, MatchFull, ::testing::Values(1, 2, 3));

// One hundred one-player matches back to back at random levels, as Play again starts them, against the
// scripted right player. Run under AddressSanitizer with leak checking (./test.sh) it also finds leaks and
// memory errors of a long session. The matches run at 30 frames a virtual second: half the frames of 60 (the
// ball's sub-steps grow from 40 to 70 a frame, which costs less than the frames saved).
TEST(MatchSoak, HundredMatchesAtRandomLevelsKeepTheHeapSteady) {
  int matches = 100;
  if (const char* env = std::getenv("VANTOR_SOAK_MATCHES")) matches = std::atoi(env);
  Rig rig;
  rig.device().recording = false;
  rig.platform.recordSounds = false;
  rig.platform.refreshHz = 30;
  std::mt19937 random(20240607);
  std::uniform_int_distribution<int> levels(1, 3);
  int perLevel[4] = {};
  size_t afterFirst = 0, peak = 0;
  const double start = CpuSeconds();
  for (int i = 0; i < matches; ++i) {
    const auto level = static_cast<int16_t>(levels(random));
    ++perLevel[level];
    const Played p = PlayMatch(rig, {.onePlayer = true, .level = level});
    const Form1& f = *rig.form;
    ASSERT_EQ(f.screenState, "FRM_AFTER") << "match " << i;
    // 180 seconds at 30 frames a second, the 3-second hold and the 56-frame fly-in.
    ASSERT_NEAR(p.frames, 183 * 30 + 56, 60) << "match " << i;
    ASSERT_GT(p.framesInPlay, p.frames / 2) << "match " << i << ": the ball was hardly ever in play";
    ASSERT_TRUE(f.ball.RScore >= 0 && f.ball.LScore >= 0) << "match " << i;
    ASSERT_TRUE(std::isfinite(f.ball.cposx) && std::isfinite(f.ball.cposz)) << "match " << i;
    const size_t heap = HeapInUse();
    if (i == 0) afterFirst = heap;
    peak = std::max(peak, heap);
  }
  const size_t end = HeapInUse();
  std::printf(
      "%d matches (levels 1/2/3: %d/%d/%d): %.1f s of CPU, heap after the first %zu, peak %zu, end %zu\n",
      matches, perLevel[1], perLevel[2], perLevel[3], CpuSeconds() - start, afterFirst, peak, end);
  EXPECT_LT(end, afterFirst + 1024 * 1024) << "the heap grows from match to match";
#ifdef VANTOR_ASAN
  // Memory nothing points to any more, now rather than at exit (0 when leak checking is off).
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "leaks after the matches";
#endif
}
