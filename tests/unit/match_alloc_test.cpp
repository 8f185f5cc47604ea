// A steady match frame allocates nothing on the heap and makes no font or texture: the
// frame is the game's hot path. Counted through the address sanitizer's allocator hooks.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "unit/match_harness.h"

#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                                         void (*free_hook)(const volatile void*));
namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
void OnMalloc(const volatile void*, size_t) {
  if (counting) ++allocations;
}
void OnFree(const volatile void*) {}

// Plays the started match past its intro, where `players` take over, then counts 600
// steady frames: the most heap allocations of one, and no texture made.
void ExpectSteadyFramesAllocateNothing(match_test::Rig& rig, const std::function<void()>& players) {
  static const bool hooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
  ASSERT_TRUE(hooked);
  rig.device().recording = false;
  rig.platform.recordSounds = false;
  rig.PlayIntro();
  players();
  rig.Frames(120);  // music started, fonts made, the ball served
  Form1& f = *rig.form;
  f.ball.Goal = false;
  f.ball.Xdir = 1;
  f.ball.Zdir = 1;
  const auto textures = rig.device().texturesCreated;
  allocations = 0;
  counting = true;
  long worst = 0;
  for (int i = 0; i < 600; ++i) {
    const long before = allocations.load();
    const plat::SoundBuffer* effects = f.tcollBuffer.get();
    f.Pass();
    // The 20th counted effect makes the effect buffers anew: a known, rare exception.
    if (f.tcollBuffer.get() == effects) worst = std::max(worst, allocations.load() - before);
  }
  counting = false;
  EXPECT_EQ(worst, 0) << "heap allocations in a steady match frame";
  EXPECT_EQ(rig.device().texturesCreated, textures);
  EXPECT_EQ(f.screenState, "");
}
}  // namespace
#endif

TEST(MatchHotPath, SteadyFramesAllocateNothingAndCreateNoFontOrTexture) {
#if !defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "allocations are counted in sanitized builds";
#else
  match_test::Rig rig;
  rig.Start({.onePlayer = true, .level = 2});
  ExpectSteadyFramesAllocateNothing(rig, [&rig] { rig.FollowTheBall(); });
#endif
}

// The same with two controllers playing: the right player's keys come from the first, and
// the second pushes the left racket up and down; hits rumble them.
TEST(MatchHotPath, SteadyFramesWithControllersAllocateNothing) {
#if !defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "allocations are counted in sanitized builds";
#else
  match_test::Rig rig;
  rig.platform.PlugPad(0);
  rig.platform.PlugPad(1);
  rig.platform.rumbles.reserve(100000);  // the test face's record of them
  rig.Start({.onePlayer = false, .level = 2});
  ExpectSteadyFramesAllocateNothing(rig, [&rig] {
    rig.FollowTheBall();
    rig.platform.onPump = [follow = rig.platform.onPump](match_test::TestPlatform& p) {
      follow(p);
      plat::PadState& right = *p.pads[0];
      for (auto [key, held] : {std::pair{plat::DIK_UP, &right.up},
                               {plat::DIK_DOWN, &right.down},
                               {plat::DIK_LEFT, &right.left},
                               {plat::DIK_RIGHT, &right.right}}) {
        *held = p.keys[key] != 0;
        p.Release(key);
      }
      p.pads[1]->stickY = static_cast<int16_t>((p.now / 1000) % 2 == 0 ? -32768 : 32767);
    };
  });
  EXPECT_FALSE(rig.platform.rumbles.empty()) << "the right player hit the ball";
#endif
}
