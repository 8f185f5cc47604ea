// D3DX maths against hand-computed matrices, texture loading with the colour key, paths.
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/app_path.h"
#include "platform/background.h"
#include "platform/d3dx8.h"
#include "platform/dsound.h"
#include "platform/testing/test_platform.h"
#include "unit/test_files.h"

using namespace plat;

namespace {

D3DXVECTOR4 Transform(const D3DXMATRIX& m, float x, float y, float z, float w = 1.0f) {
  const float v[4] = {x, y, z, w};
  float r[4];
  for (int j = 0; j < 4; ++j) r[j] = v[0] * m.m[0][j] + v[1] * m.m[1][j] + v[2] * m.m[2][j] + v[3] * m.m[3][j];
  return {r[0], r[1], r[2], r[3]};
}

}  // namespace

TEST(PlatformD3DX, LookAtFromMatchCameraMapsTargetOntoViewAxis) {
  D3DXMATRIX view;
  const D3DXVECTOR3 eye{0, 10, 10}, at{0, 0, 0}, up{0, 1, 0};
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  // Left-handed, up × forward: world x is mirrored; z looks from the eye to the origin.
  EXPECT_FLOAT_EQ(view.m[0][0], -1.0f);
  const float s = 1.0f / std::sqrt(2.0f);
  EXPECT_NEAR(view.m[1][2], -s, 1e-6);  // z.y
  EXPECT_NEAR(view.m[2][2], -s, 1e-6);  // z.z
  EXPECT_NEAR(view.m[3][2], std::sqrt(200.0f), 1e-5);
  const auto o = Transform(view, 0, 0, 0);
  EXPECT_NEAR(o.x, 0, 1e-6);
  EXPECT_NEAR(o.y, 0, 1e-5);
  EXPECT_NEAR(o.z, std::sqrt(200.0f), 1e-5);
  // Left-handed: world −x is on the right of the screen when looking down from +z.
  EXPECT_GT(Transform(view, -1, 0, 0).x, 0.0f);
  EXPECT_EQ(Transform(view, 1, 2, 3).w, 1.0f);
}

TEST(PlatformD3DX, PerspectiveFovMapsNearAndFarToDepthZeroAndOne) {
  D3DXMATRIX p;
  D3DXMatrixPerspectiveFovLH(&p, 3.1415927f / 4, 1.0f, 0.1f, 500.0f);
  EXPECT_NEAR(p.m[0][0], 1.0f / std::tan(3.1415927f / 8), 1e-5);
  EXPECT_EQ(p.m[2][3], 1.0f);
  EXPECT_EQ(p.m[3][3], 0.0f);
  auto n = Transform(p, 0, 0, 0.1f);
  auto f = Transform(p, 0, 0, 500.0f);
  EXPECT_NEAR(n.z / n.w, 0.0f, 1e-5);
  EXPECT_NEAR(f.z / f.w, 1.0f, 1e-5);
}

TEST(PlatformD3DX, ShadowFlattensOntoTablePlaneFromPointLight) {
  const D3DXVECTOR3 a{4.5f, 0, -3}, b{-4.5f, 0, -3}, c{4.5f, 0, 3};
  D3DXPLANE plane;
  D3DXPlaneFromPoints(&plane, &a, &b, &c);
  // The table surface y = 0 with its normal up.
  EXPECT_FLOAT_EQ(plane.a, 0);
  EXPECT_FLOAT_EQ(plane.b, 1);
  EXPECT_FLOAT_EQ(plane.c, 0);
  EXPECT_FLOAT_EQ(plane.d, 0);
  const D3DXVECTOR4 light{0, 5, 0, 1};
  D3DXMATRIX s;
  D3DXMatrixShadow(&s, &light, &plane);
  const auto p = Transform(s, 1.0f, 1.0f, 2.0f);
  EXPECT_NEAR(p.x / p.w, 5.0f * 1 / 4, 1e-5);
  EXPECT_NEAR(p.y / p.w, 0.0f, 1e-6);
  EXPECT_NEAR(p.z / p.w, 5.0f * 2 / 4, 1e-5);
}

TEST(PlatformD3DX, MultiplyAppliesLeftMatrixFirstAndVectorsHelpers) {
  D3DXMATRIX t, s, m;
  D3DXMatrixIdentity(&t);
  t.m[3][0] = 2;  // translate x by 2
  D3DXMatrixIdentity(&s);
  s.m[0][0] = 3;  // scale x by 3
  D3DXMatrixMultiply(&m, &t, &s);
  EXPECT_FLOAT_EQ(Transform(m, 1, 0, 0).x, 9.0f);  // (1 + 2) × 3
  D3DXMatrixMultiply(&m, &m, &m);                  // output may alias an input
  EXPECT_FLOAT_EQ(Transform(m, 0, 0, 0).x, 24.0f);  // ((0 + 2) × 3 + 2) × 3

  const D3DXVECTOR3 x{1, 0, 0}, y{0, 1, 0};
  D3DXVECTOR3 r;
  D3DXVec3Cross(&r, &x, &y);
  EXPECT_EQ(r.z, 1.0f);
  const D3DXVECTOR3 zero{0, 0, 0};
  D3DXVec3Normalize(&r, &zero);
  EXPECT_EQ(r.x, 0.0f);
  EXPECT_FALSE(std::isnan(r.y));
  EXPECT_EQ(D3DColorXRGB(255, 57, 57), 0xFFFF3939u);
}

TEST(PlatformD3DX, VolumeInHundredthsOfDecibelToGain) {
  EXPECT_NEAR(VolumeToGain(-500), 0.5623, 1e-4);
  EXPECT_NEAR(VolumeToGain(-400), 0.6310, 1e-4);
  EXPECT_EQ(VolumeToGain(0), 1.0);
  EXPECT_EQ(VolumeToGain(-10000), 0.0);
  EXPECT_EQ(VolumeToGain(100), 1.0);
}

TEST(PlatformD3DX, ColourKeyMakesExactGreyTransparentAndScalesToAskedSize) {
  TempFolder dir;
  // 2 × 2: grey 7 (the key), grey 8, red, blue.
  const std::string path = dir.Path("Keyed.tga");
  WriteTga(path, 2, 2, {0xFF070707u, 0xFF080808u, 0xFFFF0000u, 0xFF0000FFu});
  plat::testing::TestPlatform platform;
  plat::testing::RecordingDevice device(&platform);
  D3DX8 d3dx;
  auto tex = d3dx.CreateTextureFromFileEx(device, path, 2, 2, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                          D3DX_FILTER_LINEAR, D3DX_FILTER_LINEAR, D3DColorXRGB(7, 7, 7));
  auto* t = static_cast<plat::testing::TestTexture*>(tex.get());
  EXPECT_EQ(t->Texel(0, 0), 0u);           // transparent black
  EXPECT_EQ(t->Texel(1, 0), 0xFF080808u);  // one step off the key stays opaque
  EXPECT_EQ(t->Texel(0, 1), 0xFFFF0000u);
  auto scaled = d3dx.CreateTextureFromFileEx(device, path, 8, 4, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                             D3DPOOL_MANAGED, D3DX_FILTER_LINEAR, D3DX_FILTER_LINEAR, 0);
  EXPECT_EQ(scaled->Width(), 8);
  EXPECT_EQ(scaled->Height(), 4);
  auto own = d3dx.CreateTextureFromFile(device, path);
  EXPECT_EQ(own->Width(), 2);
}

TEST(PlatformD3DX, BrokenImageFilesAreErrorsNamingTheFile) {
  TempFolder dir;
  plat::testing::TestPlatform platform;
  plat::testing::RecordingDevice device(&platform);
  D3DX8 d3dx;
  const std::string missing = dir.Path("missing.tga");
  try {
    d3dx.CreateTextureFromFile(device, missing);
    FAIL() << "no error";
  } catch (const LoadError& e) {
    EXPECT_EQ(e.path(), missing);
  }
  const std::string empty = dir.Path("empty.tga");
  std::ofstream(empty).close();
  EXPECT_THROW(d3dx.CreateTextureFromFile(device, empty), LoadError);
}

TEST(PlatformD3DX, GamePathsUseSlashesAndFindFilesWhateverTheirCase) {
  TempFolder dir;
  std::filesystem::create_directories(dir.Path("tables"));
  std::ofstream(dir.Path("tables/Table_sides_top.tga")) << "x";
  SetAppPath(dir.Path(""));
  EXPECT_EQ(AppFile("\\tables\\Table_sides_top.tga"), dir.Path("tables/Table_sides_top.tga"));
  EXPECT_EQ(AppFile("\\TABLES\\table_sides_TOP.tga"), dir.Path("tables/Table_sides_top.tga"));
  EXPECT_EQ(NormalizePath(dir.Path("") + "/.\\tables\\Table_sides_top.tga"),
            dir.Path("tables/Table_sides_top.tga"));
}

TEST(PlatformD3DX, TextureAskedForAgainIsTheOneInUseWhileItsFileIsUnchanged) {
  TempFolder dir;
  const std::string path = dir.Path("ball1.tga");
  WriteTga(path, 2, 2, {0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u});
  plat::testing::TestPlatform platform;
  plat::testing::RecordingDevice device(&platform);
  D3DX8 d3dx;
  TexturePtr first = d3dx.CreateTextureFromFile(device, path);
  EXPECT_EQ(d3dx.CreateTextureFromFile(device, path), first);
  EXPECT_EQ(device.texturesCreated, 1u);
  // Another size of the same file is another texture.
  TexturePtr scaled = d3dx.CreateTextureFromFileEx(device, path, 4, 4, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                                   D3DPOOL_MANAGED, D3DX_FILTER_LINEAR, D3DX_FILTER_LINEAR, 0);
  EXPECT_NE(scaled, first);
  EXPECT_EQ(device.texturesCreated, 2u);
  // The file rewritten (same length, a later time): its new texels.
  WriteTga(path, 2, 2, {0xFF0000FFu, 0xFF0000FFu, 0xFF0000FFu, 0xFF0000FFu});
  std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(1));
  TexturePtr rewritten = d3dx.CreateTextureFromFile(device, path);
  EXPECT_NE(rewritten, first);
  EXPECT_EQ(static_cast<plat::testing::TestTexture*>(rewritten.get())->Texel(1, 1), 0xFF0000FFu);
  // A texture nobody holds is not kept: asked for again, it is made again.
  const auto made = device.texturesCreated;
  first.reset();
  rewritten.reset();
  d3dx.CreateTextureFromFile(device, path);
  EXPECT_EQ(device.texturesCreated, made + 1);
}

// The logo's pictures are read ahead on the background thread while the window opens.
TEST(PlatformD3DX, PictureReadAheadServesTheTextureWhileItsFileIsUnchangedAndLeavesErrorsToIt) {
  TempFolder dir;
  plat::testing::TestPlatform platform;
  plat::testing::RecordingDevice device(&platform);
  D3DX8 d3dx;
  auto texel = [](const TexturePtr& t) { return static_cast<plat::testing::TestTexture*>(t.get())->Texel(1, 1); };
  const std::string path = dir.Path("logo.tga");
  WriteTga(path, 2, 2, {0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u});
  const auto written = std::filesystem::last_write_time(path);
  PrefetchPicture(path);
  WaitForBackgroundWork();
  // Other texels, the same size and time: the texture is what was read ahead.
  WriteTga(path, 2, 2, {0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u});
  std::filesystem::last_write_time(path, written);
  EXPECT_EQ(texel(d3dx.CreateTextureFromFile(device, path)), 0xFFFF0000u);

  // Changed after the read-ahead: read again.
  const std::string changed = dir.Path("tlogo1.tga");
  WriteTga(changed, 2, 2, {0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u});
  PrefetchPicture(changed);
  WaitForBackgroundWork();
  WriteTga(changed, 2, 2, {0xFF0000FFu, 0xFF0000FFu, 0xFF0000FFu, 0xFF0000FFu});
  std::filesystem::last_write_time(changed, written + std::chrono::seconds(1));
  EXPECT_EQ(texel(d3dx.CreateTextureFromFile(device, changed)), 0xFF0000FFu);

  // Missing or broken: named when the texture is made, as without the read-ahead.
  const std::string missing = dir.Path("missing.tga"), broken = dir.Path("broken.tga");
  std::ofstream(broken) << "not a picture";
  for (const std::string& bad : {missing, broken}) {
    PrefetchPicture(bad);
    try {
      d3dx.CreateTextureFromFile(device, bad);
      ADD_FAILURE() << "no error for " << bad;
    } catch (const LoadError& e) {
      EXPECT_EQ(e.path(), bad);
    }
  }
}
