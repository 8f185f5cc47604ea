// Whole matches: a scripted right player against each level for the full 180 seconds, and
// a soak of many matches played back to back with the heap watched.
#include <gtest/gtest.h>
#include <malloc.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>

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
Played PlayMatch(Rig& rig, int16_t level) {
  rig.Start({.onePlayer = true, .level = level});
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
  const Played played = PlayMatch(rig, GetParam());
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

TEST(MatchSoak, ManyMatchesBackToBackKeepTheHeapSteady) {
  int matches = 100;
  if (const char* env = std::getenv("VANTOR_SOAK_MATCHES")) matches = std::atoi(env);
  Rig rig;
  rig.device().recording = false;
  rig.platform.recordSounds = false;
  size_t settled = 0;
  const double start = CpuSeconds();
  for (int i = 0; i < matches; ++i) {
    PlayMatch(rig, static_cast<int16_t>(1 + i % 3));
    ASSERT_EQ(rig.form->screenState, "FRM_AFTER") << "match " << i;
    if (i == 2) settled = HeapInUse();
  }
  const size_t end = HeapInUse();
  std::printf("%d matches: %.1f s of CPU, heap %zu -> %zu bytes\n", matches, CpuSeconds() - start, settled,
              end);
  if (matches > 3) {
    EXPECT_LT(end, settled + 512 * 1024) << "the heap grows from match to match";
  }
}
