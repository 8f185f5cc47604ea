// Screen rectangles and buttons on the recording device: vertices, tints, colour key.
#include <gtest/gtest.h>

#include <cstring>

#include "gfx/squares.h"
#include "platform/testing/test_platform.h"
#include "unit/test_files.h"

namespace {

using plat::testing::Op;
using plat::testing::TestTexture;

class GfxSquares : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteTga(pic_, 2, 1, {0xFF070707, 0xFF080808});  // the colour-key grey, then a shade lighter
  }
  // Diffuse colour of the vertices of the last draw, checked to be the same on all four.
  plat::D3DCOLOR DrawnTint() const {
    plat::ScreenVertex v[4];
    std::memcpy(v, device_.Find(Op::DrawPrimitiveUP).back()->vertices.data(), sizeof(v));
    for (const auto& vertex : v) EXPECT_EQ(vertex.color, v[0].color);
    return v[0].color;
  }

  TempFolder dir_;
  std::string pic_ = dir_.Path("Textures/pic.tga");
  plat::testing::TestPlatform platform_;
  plat::testing::RecordingDevice device_{&platform_};
  plat::D3DX8 d3dx_;
};

TEST_F(GfxSquares, RectangleVerticesColourKeyAndDraw) {
  cTLSquare sq;
  sq.init(256, 32, 100, 50, pic_, 2.5, 1, device_, d3dx_);  // a width of 2.5 texels rounds to 2
  const auto& v = sq.Vertices();
  const float corners[4][4] = {{100, 50, 0, 0}, {356, 50, 1, 0}, {100, 82, 0, 1}, {356, 82, 1, 1}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ((std::array{v[i].sx, v[i].sy, v[i].tu, v[i].tv}),
              (std::array{corners[i][0], corners[i][1], corners[i][2], corners[i][3]}))
        << i;
    EXPECT_EQ((std::array{v[i].sz, v[i].rhw}), (std::array{0.0f, 1.0f}));
    EXPECT_EQ(v[i].color, 0xFFFFFFFFu);
    EXPECT_EQ(v[i].specular, 0u);
  }
  EXPECT_EQ(sq.TextureObject()->Width(), 2);

  sq.init(256, 32, 100, 50, pic_, 2, 1, device_, d3dx_);
  const auto* tex = dynamic_cast<const TestTexture*>(sq.TextureObject());
  EXPECT_EQ(tex->Texel(0, 0), 0u);
  EXPECT_EQ(tex->Texel(1, 0), 0xFF080808u);

  device_.ClearCalls();
  sq.draw(device_);
  const auto& c = device_.calls;
  ASSERT_EQ(c.size(), 6u);
  EXPECT_EQ((std::array{c[0].a, c[0].b, c[1].a, c[1].b, c[2].a, c[2].b}),
            (std::array<uint32_t, 6>{plat::D3DRS_SRCBLEND, plat::D3DBLEND_SRCALPHA, plat::D3DRS_DESTBLEND,
                                     plat::D3DBLEND_INVSRCALPHA, plat::D3DRS_ALPHABLENDENABLE, 1}));
  EXPECT_EQ(c[3].a, 0x1C4u);
  EXPECT_EQ(c[4].texture, sq.TextureObject());
  EXPECT_EQ((std::array{c[5].a, c[5].b, c[5].c}),
            (std::array<uint32_t, 3>{plat::D3DPT_TRIANGLESTRIP, 2, 32}));
  EXPECT_EQ(std::memcmp(c[5].vertices.data(), v.data(), sizeof(v)), 0);
  EXPECT_EQ(device_.state.renderState[plat::D3DRS_ALPHABLENDENABLE], 1u);  // left on
}

TEST_F(GfxSquares, FailedLoadThrowsAndKeepsTheVertices) {
  BcTLSquare sq;
  sq.init(10, 10, 5, 5, pic_, 2, 1, 0x80112233, device_, d3dx_);
  const auto before = sq.Vertices();
  EXPECT_THROW(sq.init(99, 99, 1, 1, dir_.Path("missing.tga"), 2, 1, 0, device_, d3dx_), plat::LoadError);
  EXPECT_EQ(std::memcmp(sq.Vertices().data(), before.data(), sizeof(before)), 0);
}

TEST_F(GfxSquares, ButtonTintsByStateAndReset) {
  cButton b;
  b.init(128, 40, pic_, "unused", "unused", 300, 200, 2, 1, device_, d3dx_);
  EXPECT_EQ(b.Square()->Vertices()[0].color, 0x00FFFFFFu);  // white with alpha 0 until drawn
  EXPECT_FLOAT_EQ(b.Square()->Vertices()[3].sx, 428);

  const std::pair<int32_t, plat::D3DCOLOR> steps[] = {{2, 0xFFFFFB60}, {1, 0xFFFFFFFF}, {3, 0xFFFF0000},
                                                      {0, 0xFFFF0000}, {4, 65280},      {9, 65280}};
  for (const auto& [e, tint] : steps) {
    b.E = e;
    b.draw(device_);
    EXPECT_EQ(DrawnTint(), tint) << "E = " << e;
  }

  b.RESET();
  EXPECT_EQ(b.Square(), nullptr);
  b.draw(device_);  // draws a fresh, empty square
  EXPECT_EQ(b.Square()->TextureObject(), nullptr);
}

}  // namespace
