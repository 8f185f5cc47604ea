// The racket: geometry after placing and moving, and its drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/app_path.h"
#include "platform/testing/test_platform.h"
#include "world/cMadrab.h"
#include "world/testing/world_test_data.h"

namespace {

using plat::testing::Op;
using world::testing::TestColor;

uint32_t TexelOf(const plat::Texture* t) {
  return t == nullptr ? 0 : static_cast<const plat::testing::TestTexture*>(t)->Texel(0, 0);
}

class WorldRacket : public ::testing::Test {
 protected:
  void SetUp() override { plat::SetAppPath(world::testing::WorldDataFolder().string()); }

  cMadrab Make(bool right, double x) {
    cMadrab r;
    r.rRight = right;
    r.init(1, device, d3dx);
    r.Translate_Racket(x, 0.0);
    return r;
  }

  plat::testing::TestPlatform platform;
  plat::testing::RecordingDevice device{&platform};
  plat::D3DX8 d3dx;
};

float MaxX(const cMadrab& r) {
  float m = -1e9f;
  for (const auto& v : r.GetSideStrip()) m = std::max(m, v.x);
  return m;
}
float MinX(const cMadrab& r) {
  float m = 1e9f;
  for (const auto& v : r.GetSideStrip()) m = std::min(m, v.x);
  return m;
}

TEST_F(WorldRacket, RightRacketAtHomeBulgesTowardsPlusX) {
  const cMadrab r = Make(true, -4.0);
  EXPECT_EQ(r.cposx, -4.0);
  EXPECT_EQ(r.cposz, -0.5);
  // Reference corner is flatFace[2], on top of the flat side at its smaller-z end.
  EXPECT_EQ(r.GetFlatFace()[2].x, -4.0f);
  EXPECT_EQ(r.GetFlatFace()[2].y, 0.25f);
  EXPECT_EQ(r.GetFlatFace()[2].z, -0.5f);
  for (const auto& v : r.GetFlatFace()) {
    EXPECT_EQ(v.x, -4.0f);
    EXPECT_GE(v.z, -0.5f);
    EXPECT_LE(v.z, 0.5f);
  }
  // No vertex lies on the axis: the crown is the point at 354 degrees (pi = 22/7).
  EXPECT_NEAR(MaxX(r) + 4.0, std::cos(354 * (22.0 / 7.0) / 180) / 2, 1e-6);
  EXPECT_NEAR(MaxX(r), -3.5, 0.003);
  // With pi = 22/7 the wall's ends miss the flat side's corners by a hair.
  const auto& s = r.GetSideStrip();
  EXPECT_NEAR(s[0].x + 4.0, 0.000948, 2e-6);
  EXPECT_NEAR(s[0].z, -0.5, 1e-6);
  EXPECT_NEAR(s[30].x + 4.0, -0.00158, 2e-5);
  EXPECT_NEAR(s[30].z, 0.5, 1e-5);
  // Floor points at even indices, top points at odd ones.
  EXPECT_EQ(s[0].y, 0.0f);
  EXPECT_EQ(s[1].y, 0.25f);
  // Top rectangle: from the flat side to the crown.
  for (const auto& v : r.GetTopFace()) {
    EXPECT_TRUE(v.x == -4.0f || v.x == -3.5f) << v.x;
    EXPECT_EQ(v.y, 0.25f);
  }
}

TEST_F(WorldRacket, LeftRacketAtHomeBulgesTowardsMinusX) {
  const cMadrab r = Make(false, 4.0);
  EXPECT_EQ(r.cposx, 4.0);
  EXPECT_EQ(r.cposz, -0.5);
  EXPECT_EQ(r.GetFlatFace()[0].x, 4.0f);
  EXPECT_EQ(r.GetFlatFace()[0].y, 0.25f);
  EXPECT_EQ(r.GetFlatFace()[0].z, -0.5f);
  EXPECT_NEAR(MinX(r) - 4.0, std::cos(-174 * (22.0 / 7.0) / 180) / 2, 1e-6);
  EXPECT_NEAR(MinX(r), 3.5, 0.003);
  EXPECT_LE(MaxX(r), 4.0f + 0.002f);
  const auto& s = r.GetSideStrip();
  // The left wall runs from z = 1 down to z = 0 (local), top points at even indices.
  EXPECT_NEAR(s[0].z, 0.5, 1e-5);
  EXPECT_NEAR(s[30].z, -0.5, 1e-5);
  EXPECT_EQ(s[0].y, 0.25f);
  EXPECT_EQ(s[1].y, 0.0f);
  for (const auto& v : r.GetTopFace()) EXPECT_TRUE(v.x == 4.0f || v.x == 3.5f) << v.x;
}

TEST_F(WorldRacket, NormalsAndTextureCoordinates) {
  for (bool right : {true, false}) {
    SCOPED_TRACE(right ? "right" : "left");
    const cMadrab r = Make(right, right ? -4.0 : 4.0);
    const auto& s = r.GetSideStrip();
    EXPECT_EQ(s[30].tu, 1.0f);
    EXPECT_EQ(s[30].tv, 1.0f);
    EXPECT_EQ(s[31].tu, 0.0f);
    EXPECT_EQ(s[31].tv, 0.0f);
    EXPECT_FLOAT_EQ(s[15].tu, 0.5f);
    // Strip triangles alternate in winding and nothing corrects it: neighbours point apart,
    // and 30 and 31 share 29's normal.
    for (int k = 0; k < 29; ++k) {
      const float dot = s[k].nx * s[k + 1].nx + s[k].ny * s[k + 1].ny + s[k].nz * s[k + 1].nz;
      EXPECT_LT(dot, 0.0f) << k;
      EXPECT_NEAR(s[k].ny, 0.0f, 1e-6) << k;
    }
    EXPECT_EQ(s[30].nx, s[29].nx);
    EXPECT_EQ(s[31].nz, s[29].nz);
    for (const auto& v : r.GetTopFace()) EXPECT_EQ(v.ny, 1.0f);
    for (const auto& v : r.GetFlatFace()) EXPECT_EQ(v.nx, right ? 1.0f : -1.0f);
  }
}

TEST_F(WorldRacket, FMoveStepsAreSpeedOverFramesReadBackFromGeometry) {
  cMadrab r = Make(true, -4.0);
  r.rspeed = 5.0;
  const auto before = r.GetSideStrip();
  r.X_dir = 1;
  r.fMove(50, 0, -1);
  EXPECT_EQ(r.X_dir, 0);
  EXPECT_NEAR(r.cposz, -0.6, 1e-6);
  EXPECT_EQ(r.cposz, static_cast<double>(r.GetFlatFace()[2].z));
  for (size_t i = 0; i < before.size(); ++i) {
    EXPECT_NEAR(r.GetSideStrip()[i].z, before[i].z - 0.1f, 1e-6);
    EXPECT_EQ(r.GetSideStrip()[i].x, before[i].x);
  }

  r.rspeed = 8.5;
  r.fMove(50, 1, 0);
  EXPECT_EQ(r.X_dir, 1);
  EXPECT_NEAR(r.cposx, -3.83, 1e-6);

  cMadrab l = Make(false, 4.0);
  l.rspeed = 6.5;
  l.fMove(100, -1, 0);
  EXPECT_EQ(l.X_dir, -1);
  EXPECT_NEAR(l.cposx, 3.935, 1e-6);
  EXPECT_EQ(l.cposx, static_cast<double>(l.GetFlatFace()[0].x));

  // Standing still moves nothing but clears X_dir.
  const auto strip = l.GetSideStrip();
  l.fMove(50, 0, 0);
  EXPECT_EQ(l.X_dir, 0);
  EXPECT_EQ(std::memcmp(strip.data(), l.GetSideStrip().data(), sizeof(strip)), 0);
}

TEST_F(WorldRacket, PositionWrittenFromOutsideDoesNotMoveGeometry) {
  cMadrab r = Make(true, -4.0);
  r.Translate_Racket(-4.0, 0.0);  // twice: stays put
  EXPECT_EQ(r.cposx, -4.0);
  EXPECT_EQ(r.cposz, -0.5);

  r.cposx = 1.0;
  r.rspeed = 5.0;
  r.fMove(50, 0, 1);  // restores from the vertex
  EXPECT_EQ(r.cposx, -4.0);
  // Translate_Racket shifts by the difference from the written value.
  r.cposx = 0.0;
  r.Translate_Racket(-4.0, 0.0);
  EXPECT_EQ(r.cposx, -8.0);
  EXPECT_EQ(r.cposz, -0.5);
}

TEST_F(WorldRacket, InitRebuildsAtTheOriginAndFailsBeforeTouchingGeometry) {
  cMadrab r = Make(true, -4.0);
  r.rspeed = 5;
  r.mLength = 3;
  const auto strip = r.GetSideStrip();
  EXPECT_THROW(r.init(7, device, d3dx), plat::LoadError);  // no racket7.tga
  EXPECT_EQ(r.cposx, 0.0);                                 // sizes and position are reset first
  EXPECT_EQ(r.mLength, 1.0f);
  for (size_t i = 0; i < strip.size(); ++i) EXPECT_EQ(r.GetSideStrip()[i].x, strip[i].x);

  r.init(2, device, d3dx);
  EXPECT_EQ(r.GetFlatFace()[2].x, 0.0f);
  EXPECT_EQ(r.GetFlatFace()[2].z, 0.0f);
  EXPECT_EQ(r.mWidth, 0.5f);
  EXPECT_EQ(r.mHeight, 0.25f);
}

TEST_F(WorldRacket, RenderDrawsFlatSideWallThenBlendedTop) {
  cMadrab r = Make(true, -4.0);
  device.ClearCalls();
  r.Render(device);
  const auto mats = device.Find(Op::SetMaterial);
  ASSERT_EQ(mats.size(), 1u);
  const plat::D3DMATERIAL8& m = mats[0]->material;
  EXPECT_EQ(m.Diffuse.r, 5.0f);
  EXPECT_EQ(m.Ambient.g, 35.0f);
  EXPECT_EQ(m.Specular.r, 255.0f);
  EXPECT_EQ(m.Specular.g, 250.0f);
  EXPECT_EQ(m.Specular.b, 50.0f);
  EXPECT_EQ(m.Power, 50.0f);

  const auto draws = device.Find(Op::DrawPrimitiveUP);
  ASSERT_EQ(draws.size(), 3u);
  const uint32_t side = TestColor("Rackets/racket1s.tga"), top = TestColor("Rackets/racket1.tga");
  struct Want {
    uint32_t type, prims, texel;
    bool blend;
    const void* verts;
    size_t bytes;
  } want[] = {{plat::D3DPT_TRIANGLELIST, 2, side, false, r.GetFlatFace().data(), sizeof(r.GetFlatFace())},
              {plat::D3DPT_TRIANGLESTRIP, 30, side, false, r.GetSideStrip().data(), sizeof(r.GetSideStrip())},
              {plat::D3DPT_TRIANGLELIST, 2, top, true, r.GetTopFace().data(), sizeof(r.GetTopFace())}};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(draws[i]->a, want[i].type);
    EXPECT_EQ(draws[i]->b, want[i].prims);
    EXPECT_EQ(draws[i]->c, 32u);
    EXPECT_EQ(draws[i]->fvf, 0x112u);
    EXPECT_EQ(TexelOf(draws[i]->texture), want[i].texel);
    EXPECT_EQ(draws[i]->alphaBlend, want[i].blend);
    EXPECT_TRUE(draws[i]->specular);
    EXPECT_EQ(draws[i]->cull, plat::D3DCULL_NONE);
    ASSERT_EQ(draws[i]->vertices.size(), want[i].bytes);
    EXPECT_EQ(std::memcmp(draws[i]->vertices.data(), want[i].verts, want[i].bytes), 0);
  }
  EXPECT_EQ(device.state.renderState[plat::D3DRS_ALPHABLENDENABLE], 0u);
  EXPECT_EQ(device.state.renderState[plat::D3DRS_SPECULARENABLE], 0u);
  EXPECT_EQ(device.state.renderState[plat::D3DRS_CULLMODE], plat::D3DCULL_NONE);
  EXPECT_EQ(device.state.renderState[plat::D3DRS_SRCBLEND], plat::D3DBLEND_SRCALPHA);
  EXPECT_EQ(device.state.renderState[plat::D3DRS_DESTBLEND], plat::D3DBLEND_INVSRCALPHA);
}

TEST_F(WorldRacket, ShadowIsTheTopDrawnWithTheShadowTexture) {
  cMadrab r = Make(false, 4.0);
  device.ClearCalls();
  r.Render_Shadow(device);
  const auto draws = device.Find(Op::DrawPrimitiveUP);
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0]->a, plat::D3DPT_TRIANGLELIST);
  EXPECT_EQ(draws[0]->b, 2u);
  EXPECT_TRUE(draws[0]->alphaBlend);
  EXPECT_EQ(draws[0]->fvf, 0x112u);
  EXPECT_EQ(TexelOf(draws[0]->texture), TestColor("Rackets/Rshadow.tga"));
  EXPECT_EQ(std::memcmp(draws[0]->vertices.data(), r.GetTopFace().data(), sizeof(r.GetTopFace())), 0);
  EXPECT_TRUE(device.Find(Op::SetMaterial).empty());
  EXPECT_EQ(device.state.renderState[plat::D3DRS_ALPHABLENDENABLE], 0u);
}

}  // namespace
