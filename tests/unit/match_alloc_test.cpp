// A steady match frame allocates nothing on the heap and makes no font or texture: the
// frame is the game's hot path. Counted through the address sanitizer's allocator hooks.
#include <gtest/gtest.h>

#include <atomic>

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
}  // namespace
#endif

TEST(MatchHotPath, SteadyFramesAllocateNothingAndCreateNoFontOrTexture) {
#if !defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "allocations are counted in sanitized builds";
#else
  static const bool hooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
  ASSERT_TRUE(hooked);
  match_test::Rig rig;
  rig.Start({.onePlayer = true, .level = 2});
  rig.device().recording = false;
  rig.platform.recordSounds = false;
  rig.PlayIntro();
  rig.FollowTheBall();
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
#endif
}
