// Direct3D 8 state as OpenGL state, and frame pacing: no GL context needed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/d3dx8.h"
#include "platform/sdl/frame_pacer.h"
#include "platform/sdl/frame_record.h"
#include "platform/sdl/gl_translate.h"

namespace {

using namespace plat;
using namespace plat::sdl;

// Column-vector product m · (x, y, z, w) of a column-major OpenGL matrix.
std::array<float, 4> Apply(const GlMatrix& m, std::array<float, 4> v) {
  std::array<float, 4> out{};
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 4; ++col) out[row] += m[col * 4 + row] * v[col];
  return out;
}

TEST(GlMatrices, ProjectionDepthRunsFromMinusWAtNearToWAtFar) {
  D3DXMATRIX p;
  D3DXMatrixPerspectiveFovLH(&p, 3.1415927f / 4, 1.0f, 0.1f, 500.0f);
  const GlMatrix gl = projectionForGl(p);
  const auto nearPoint = Apply(gl, {0, 0, 0.1f, 1});
  const auto farPoint = Apply(gl, {0, 0, 500.0f, 1});
  const auto middle = Apply(gl, {0.3f, -0.2f, 7.0f, 1});
  EXPECT_NEAR(nearPoint[2] / nearPoint[3], -1.0f, 1e-5);
  EXPECT_NEAR(farPoint[2] / farPoint[3], 1.0f, 1e-4);
  // x, y and w are Direct3D's own.
  const GlMatrix plain = toGl(p);
  const auto d3d = Apply(plain, {0.3f, -0.2f, 7.0f, 1});
  EXPECT_FLOAT_EQ(middle[0], d3d[0]);
  EXPECT_FLOAT_EQ(middle[1], d3d[1]);
  EXPECT_FLOAT_EQ(middle[3], d3d[3]);
  EXPECT_NEAR(middle[2], 2 * d3d[2] - d3d[3], 1e-5);
}

TEST(GlMatrices, ScreenProjectionMapsBackBufferPixelsYDown) {
  const GlMatrix s = screenProjection(800, 600);
  const auto topLeft = Apply(s, {0, 0, 0, 1});
  const auto bottomRight = Apply(s, {800, 600, 1, 1});
  EXPECT_FLOAT_EQ(topLeft[0], -1);
  EXPECT_FLOAT_EQ(topLeft[1], 1);
  EXPECT_FLOAT_EQ(topLeft[2], -1);  // sz 0: nearest depth
  EXPECT_FLOAT_EQ(bottomRight[0], 1);
  EXPECT_FLOAT_EQ(bottomRight[1], -1);
  EXPECT_FLOAT_EQ(bottomRight[2], 1);
}

TEST(GlStates, CullModeCountsWindingAsSeenOnScreen) {
  EXPECT_FALSE(cullStateFor(D3DCULL_NONE).enabled);
  EXPECT_TRUE(cullStateFor(D3DCULL_CCW).enabled);
  EXPECT_EQ(cullStateFor(D3DCULL_CCW).face, static_cast<GLenum>(GL_FRONT));
  EXPECT_EQ(cullStateFor(D3DCULL_CW).face, static_cast<GLenum>(GL_BACK));
}

TEST(GlStates, PrimitiveCountsBecomeVertexCounts) {
  EXPECT_EQ(vertexCountFor(D3DPT_TRIANGLELIST, 4), 12u);
  EXPECT_EQ(vertexCountFor(D3DPT_TRIANGLESTRIP, 2), 4u);
  EXPECT_EQ(vertexCountFor(D3DPT_TRIANGLEFAN, 3), 5u);
  EXPECT_EQ(vertexCountFor(D3DPT_LINELIST, 3), 6u);
  EXPECT_EQ(vertexCountFor(D3DPT_TRIANGLESTRIP, 0), 0u);
}

TEST(GlStates, VertexLayoutsOfTheGamesFormats) {
  VertexLayout world, screen;
  ASSERT_TRUE(layoutFor(kFvfVertex3D, &world));
  EXPECT_FALSE(world.pretransformed);
  EXPECT_EQ(world.normal, 12);
  EXPECT_EQ(world.texCoord, 24);
  EXPECT_EQ(world.diffuse, -1);
  EXPECT_EQ(world.size, 32);
  ASSERT_TRUE(layoutFor(kFvfScreenVertex, &screen));
  EXPECT_TRUE(screen.pretransformed);
  EXPECT_EQ(screen.diffuse, 16);
  EXPECT_EQ(screen.specular, 20);
  EXPECT_EQ(screen.texCoord, 24);
  EXPECT_EQ(screen.size, 32);
  VertexLayout none;
  EXPECT_FALSE(layoutFor(D3DFVF_NORMAL, &none));
  EXPECT_FALSE(layoutFor(D3DFVF_XYZ | 0x200, &none));  // two texture sets
}

TEST(GlLights, PointAndSpotKeepTheirColoursPositionsAndAttenuation) {
  D3DLIGHT8 l{};
  l.Type = D3DLIGHT_SPOT;
  l.Diffuse = {255, 255, 255, 0};  // the game's 0–255 scale, passed as it is
  l.Specular = {1, 1, 1, 1};
  l.Position = {0, 5, 0};
  l.Direction = {0, -1, 0};
  l.Attenuation1 = 9;
  l.Theta = 50 * 3.1415927f / 180;
  l.Phi = 80 * 3.1415927f / 180;
  const GlLight g = translateLight(l);
  EXPECT_EQ(g.diffuse, (std::array<float, 4>{255, 255, 255, 0}));
  EXPECT_EQ(g.ambient, (std::array<float, 4>{0, 0, 0, 0}));
  EXPECT_EQ(g.position, (std::array<float, 4>{0, 5, 0, 1}));
  EXPECT_EQ(g.spotDirection, (std::array<float, 3>{0, -1, 0}));
  EXPECT_NEAR(g.spotCutoff, 40.0f, 1e-3);  // half of phi
  EXPECT_EQ(g.spotExponent, 0.0f);         // falloff 0: flat out to phi
  EXPECT_EQ(g.constantAttenuation, 0.0f);
  EXPECT_EQ(g.linearAttenuation, 9.0f);
  EXPECT_EQ(g.quadraticAttenuation, 0.0f);

  l.Type = D3DLIGHT_POINT;
  EXPECT_EQ(translateLight(l).spotCutoff, 180.0f);
  l.Attenuation1 = 0;  // no attenuation at all: not a division by zero
  EXPECT_EQ(translateLight(l).constantAttenuation, 1.0f);
}

TEST(GlLights, DirectionalLightShinesAlongItsDirection) {
  D3DLIGHT8 l{};
  l.Type = D3DLIGHT_DIRECTIONAL;
  l.Direction = {0, -1, 0.5f};
  const GlLight g = translateLight(l);
  // OpenGL wants the direction towards the light, w = 0.
  EXPECT_EQ(g.position, (std::array<float, 4>{0, 1, -0.5f, 0}));
  EXPECT_EQ(g.spotCutoff, 180.0f);
}

TEST(GlLights, MaterialPassesUnclampedAndSpecularSwitches) {
  D3DMATERIAL8 m{};
  m.Diffuse = {100, 100, 100, 0};
  m.Ambient = {35, 35, 35, 0};
  m.Specular = {1, 1, 1, 1};
  m.Power = 500;
  const GlMaterial on = translateMaterial(m, true);
  EXPECT_EQ(on.diffuse, (std::array<float, 4>{100, 100, 100, 0}));
  EXPECT_EQ(on.ambient, (std::array<float, 4>{35, 35, 35, 0}));
  EXPECT_EQ(on.specular, (std::array<float, 4>{1, 1, 1, 1}));
  EXPECT_EQ(on.shininess, 128.0f);
  const GlMaterial off = translateMaterial(m, false);
  EXPECT_EQ(off.specular[0], 0.0f);
  EXPECT_EQ(off.specular[2], 0.0f);
}

TEST(GlTextureStage, DefaultStageTakesAlphaFromTheTextureAlone) {
  const StageCombine c = stageCombineFor(4 /*MODULATE*/, 2 /*TEXTURE*/, 1 /*CURRENT*/, 2 /*SELECTARG1*/,
                                         2 /*TEXTURE*/, 1 /*CURRENT*/);
  EXPECT_EQ(c.rgbMode, static_cast<GLenum>(GL_MODULATE));
  EXPECT_EQ(c.rgbSource0, static_cast<GLenum>(GL_TEXTURE));
  EXPECT_EQ(c.rgbSource1, static_cast<GLenum>(GL_PRIMARY_COLOR));
  EXPECT_EQ(c.alphaMode, static_cast<GLenum>(GL_REPLACE));
  EXPECT_EQ(c.alphaSource0, static_cast<GLenum>(GL_TEXTURE));
}

TEST(GlTextureStage, SelectArg2AndDisableUseTheDiffuse) {
  const StageCombine c = stageCombineFor(3 /*SELECTARG2*/, 2, 0 /*DIFFUSE*/, 1 /*DISABLE*/, 2, 1);
  EXPECT_EQ(c.rgbMode, static_cast<GLenum>(GL_REPLACE));
  EXPECT_EQ(c.rgbSource0, static_cast<GLenum>(GL_PRIMARY_COLOR));
  EXPECT_EQ(c.alphaMode, static_cast<GLenum>(GL_REPLACE));
  EXPECT_EQ(c.alphaSource0, static_cast<GLenum>(GL_PRIMARY_COLOR));
}

TEST(Letterbox, BackBufferFillsTheDesktopWithItsAspectKept) {
  EXPECT_EQ(letterbox(800, 600, 800, 600), (PixelRect{0, 0, 800, 600}));
  EXPECT_EQ(letterbox(1920, 1080, 800, 600), (PixelRect{240, 0, 1440, 1080}));  // bars left and right
  EXPECT_EQ(letterbox(1280, 1024, 800, 600), (PixelRect{0, 32, 1280, 960}));    // bars above and below
  EXPECT_EQ(letterbox(1024, 768, 640, 480), (PixelRect{0, 0, 1024, 768}));
}

TEST(Letterbox, ScissorOfABackBufferRectangleIsScaledAndFlipped) {
  const PixelRect full{0, 0, 800, 600};
  EXPECT_EQ(scissorFor(RECT{10, 20, 110, 60}, full, 800, 600), (PixelRect{10, 540, 100, 40}));
  const PixelRect wide = letterbox(1920, 1080, 800, 600);  // 1.8×, 240 pixels of bar
  EXPECT_EQ(scissorFor(RECT{0, 0, 800, 600}, wide, 800, 600), wide);
  EXPECT_EQ(scissorFor(RECT{100, 0, 200, 100}, wide, 800, 600), (PixelRect{420, 900, 180, 180}));
  // Partly outside the back buffer: cut to it.
  EXPECT_EQ(scissorFor(RECT{700, 550, 1000, 700}, full, 800, 600), (PixelRect{700, 0, 100, 50}));
}

// A frame of three pixel calls, each signed with one byte; the second is `moving` and lies in
// `box`, the others cover the whole picture.
FrameRecord FrameOf(uint8_t moving, PixelRect box) {
  FrameRecord f;
  const uint8_t calls[3] = {1, moving, 3};
  const PixelRect boxes[3] = {{0, 0, 800, 600}, box, {0, 0, 800, 600}};
  for (int i = 0; i < 3; ++i) {
    f.add(FrameRecord::Op::RenderState);  // state between them is no pixel call
    const uint32_t at = f.keep(&calls[i], 1);
    f.add(FrameRecord::Op::Draw);
    f.sign(at, boxes[i]);
  }
  return f;
}

TEST(FrameRecord, OnlyTheDifferingCallsOldAndNewBoxesAreDrawnAgain) {
  std::vector<PixelRect> boxes;
  const FrameRecord still = FrameOf(2, {100, 100, 20, 20});
  EXPECT_TRUE(FrameRecord::Differences(still, FrameOf(2, {100, 100, 20, 20}), 6, &boxes));
  EXPECT_TRUE(boxes.empty());
  // The puck moved far: where it was and where it is, apart.
  ASSERT_TRUE(FrameRecord::Differences(still, FrameOf(9, {600, 400, 20, 20}), 6, &boxes));
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(Union(boxes[0], boxes[1]), (PixelRect{100, 100, 520, 320}));
  // Moved a little: one box over both.
  ASSERT_TRUE(FrameRecord::Differences(still, FrameOf(9, {110, 104, 20, 20}), 6, &boxes));
  EXPECT_EQ(boxes, (std::vector<PixelRect>{{100, 100, 30, 24}}));
  // Another number of pixel calls: no comparison, the whole picture.
  FrameRecord more = FrameOf(2, {100, 100, 20, 20});
  const uint8_t extra = 4;
  const uint32_t at = more.keep(&extra, 1);
  more.add(FrameRecord::Op::Text);
  more.sign(at, {0, 0, 10, 10});
  EXPECT_FALSE(FrameRecord::Differences(still, more, 6, &boxes));
  // Many boxes far apart are joined into as few as asked, each still inside one kept.
  boxes.clear();
  for (int i = 0; i < 10; ++i) FrameRecord::AddBox(&boxes, {i * 300, i * 300, 10, 10}, 4);
  ASSERT_EQ(boxes.size(), 4u);
  for (int i = 0; i < 10; ++i) {
    const PixelRect b{i * 300, i * 300, 10, 10};
    EXPECT_TRUE(std::any_of(boxes.begin(), boxes.end(), [&](const PixelRect& k) { return Union(k, b) == k; }));
  }
}

TEST(FramePacer, FastFramesAreHeldToTheRefreshRate) {
  FramePacer pacer(60);
  int64_t now = 0, waited = 0;
  for (int frame = 0; frame < 61; ++frame) {
    const int64_t wait = pacer.waitBefore(now);
    waited += wait;
    now += wait + 1000;  // 1 ms of work per frame
  }
  // 60 periods after the first frame: one second.
  EXPECT_NEAR(static_cast<double>(now), 1e6, 1e6 / 60 + 1000);
  EXPECT_GT(waited, 900000);
}

TEST(FramePacer, SlowFrameDoesNotCauseABurstAfterwards) {
  FramePacer pacer(50);  // 20 ms
  int64_t now = 0;
  pacer.waitBefore(now);
  now += 100000;  // a 100 ms hitch
  EXPECT_EQ(pacer.waitBefore(now), 0);
  now += 1000;
  EXPECT_GT(pacer.waitBefore(now), 15000) << "the next frame waits again";
  // A frame slightly late is absorbed without resetting the schedule.
  FramePacer steady(50);
  steady.waitBefore(0);
  EXPECT_EQ(steady.waitBefore(25000), 0);  // 5 ms late
  EXPECT_EQ(steady.waitBefore(30000), 10000);
}

}  // namespace
