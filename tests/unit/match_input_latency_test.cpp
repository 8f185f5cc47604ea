// Input to screen: a key that is down before a frame reads the keyboard moves the racket in
// the picture of that same frame, not the next one.
#include <gtest/gtest.h>

#include <cstring>

#include "unit/match_harness.h"

namespace {

using plat::testing::Call;
using plat::testing::Op;

// The last draw of the frame just played whose vertices are the right racket's top face as
// it stands now (the racket itself, after its shadow); nullptr when the frame drew it
// anywhere else (or not at all).
const Call* DrawOfRightRacketTop(const plat::testing::RecordingDevice& device, const Form1& f) {
  const auto& top = f.rRacket.GetTopFace();
  const Call* found = nullptr;
  for (const Call* c : device.Find(Op::DrawPrimitiveUP)) {
    if (c->vertices.size() == sizeof top && std::memcmp(c->vertices.data(), top.data(), sizeof top) == 0)
      found = c;
  }
  return found;
}

float FirstZ(const Call& c) {
  plat::Vertex3D v{};
  std::memcpy(&v, c.vertices.data(), sizeof v);
  return v.z;
}

}  // namespace

TEST(MatchInputLatency, KeyDownBeforeTheFramesKeyReadMovesTheRacketInThatFrame) {
  match_test::Rig rig;
  rig.Start({.onePlayer = true, .level = 1});
  rig.PlayIntro();
  rig.Frames(2);
  Form1& f = *rig.form;
  ASSERT_FALSE(f.cam_inter);
  ASSERT_FALSE(f.paused);

  rig.device().ClearCalls();
  f.Pass();  // nothing held
  const Call* before = DrawOfRightRacketTop(rig.device(), f);
  ASSERT_NE(before, nullptr);
  const float zBefore = FirstZ(*before);
  const double racketBefore = f.rRacket.cposz;

  rig.platform.Press(plat::DIK_UP);
  rig.device().ClearCalls();
  f.Pass();
  rig.platform.Release(plat::DIK_UP);

  ASSERT_LT(f.rRacket.cposz, racketBefore) << "Up moves the right racket towards -z";
  const Call* after = DrawOfRightRacketTop(rig.device(), f);
  ASSERT_NE(after, nullptr) << "the frame drew the racket where it was before the key was read";
  EXPECT_LT(FirstZ(*after), zBefore);
}
