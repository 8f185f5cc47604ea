// The table: its faces, textures and the order it draws them in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/app_path.h"
#include "platform/testing/test_platform.h"
#include "world/cTable.h"
#include "world/testing/world_test_data.h"

namespace {

using plat::testing::Op;
using world::testing::TestColor;

uint32_t TexelOf(const plat::Texture* t) {
  return t == nullptr ? 0 : static_cast<const plat::testing::TestTexture*>(t)->Texel(0, 0);
}

class WorldTable : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetAppPath(world::testing::WorldDataFolder().string());
    table.init(device, d3dx);
  }
  plat::testing::TestPlatform platform;
  plat::testing::RecordingDevice device{&platform};
  plat::D3DX8 d3dx;
  cTable table;
};

struct FaceNormal {
  cTable::Face face;
  float nx, ny, nz;
};
// The stored normal of every face; both triangles of a face must give it.
const FaceNormal kNormals[] = {
    {cTable::kSurface, 0, 1, 0},
    {cTable::kPocketFaceMinusXNear, 0, 0, -1},
    {cTable::kPocketFacePlusXNear, 0, 0, -1},
    {cTable::kPocketFaceMinusXFar, 0, 0, -1},
    {cTable::kPocketFacePlusXFar, 0, 0, -1},
    {cTable::kLongWallNear, 0, 0, -1},
    {cTable::kLongWallFar, 0, 0, -1},
    {cTable::kGoalMinusX, -1, 0, 0},
    {cTable::kGoalPlusX, 1, 0, 0},
    {cTable::kRimNear, 0, 1, 0},
    {cTable::kRimFar, 0, 1, 0},
    {cTable::kRimMinusX, 0, 1, 0},
    {cTable::kRimPlusX, 0, 1, 0},
    {cTable::kOuterNear, 0, 0, 1},
    {cTable::kOuterFar, 0, 0, -1},
    {cTable::kOuterMinusX, 1, 0, 0},
    {cTable::kOuterPlusX, -1, 0, 0},
    {cTable::kPocketTopPlusXNear, 0, 1, 0},
    {cTable::kPocketTopMinusXNear, 0, 1, 0},
    {cTable::kPocketTopPlusXFar, 0, 1, 0},
    {cTable::kPocketTopMinusXFar, 0, 1, 0},
    {cTable::kRoomWallBack, 0, 0, 1},
    {cTable::kRoomWallFront, 0, 0, -1},
    {cTable::kRoomWallMinusX, 1, 0, 0},
    {cTable::kRoomWallPlusX, -1, 0, 0},
    {cTable::kBanner, 0, 0, 1},
    {cTable::kRoomFloor, 0, 1, 0},
};

TEST_F(WorldTable, EveryFaceIsARectangleOfTwoTrianglesWithItsNormal) {
  ASSERT_EQ(std::size(kNormals), static_cast<size_t>(cTable::kFaceCount));
  for (const FaceNormal& n : kNormals) {
    SCOPED_TRACE(n.face);
    const auto& v = table.GetFace(n.face);
    for (const auto& p : v) {
      EXPECT_EQ(p.nx, n.nx);
      EXPECT_EQ(p.ny, n.ny);
      EXPECT_EQ(p.nz, n.nz);
    }
    // Both triangles have the winding of the stored normal...
    for (int t = 0; t < 6; t += 3) {
      const float ax = v[t + 1].x - v[t].x, ay = v[t + 1].y - v[t].y, az = v[t + 1].z - v[t].z;
      const float bx = v[t + 2].x - v[t].x, by = v[t + 2].y - v[t].y, bz = v[t + 2].z - v[t].z;
      const float cx = ay * bz - az * by, cy = az * bx - ax * bz, cz = ax * by - ay * bx;
      EXPECT_GT(cx * n.nx + cy * n.ny + cz * n.nz, 0.0f) << "triangle " << t / 3;
    }
    // ...and together cover four distinct corners (they share one diagonal).
    std::vector<std::array<float, 3>> corners;
    for (const auto& p : v) {
      const std::array<float, 3> c{p.x, p.y, p.z};
      if (std::find(corners.begin(), corners.end(), c) == corners.end()) corners.push_back(c);
    }
    EXPECT_EQ(corners.size(), 4u);
  }
}

// Texture coordinates at a given corner of a face.
std::pair<float, float> UvAt(const cTable::FaceVertices& v, float x, float y, float z) {
  for (const auto& p : v)
    if (p.x == x && p.y == y && p.z == z) return {p.tu, p.tv};
  ADD_FAILURE() << "no corner at " << x << ", " << y << ", " << z;
  return {-1, -1};
}

TEST_F(WorldTable, CoordinatesAndTextureMapping) {
  using UV = std::pair<float, float>;
  // The surface spans the table once: u = 0 at x = 4.5, u = 1 at x = -4.5.
  const auto& s = table.GetFace(cTable::kSurface);
  EXPECT_EQ(UvAt(s, 4.5f, 0, -3), UV(0, 0));
  EXPECT_EQ(UvAt(s, -4.5f, 0, -3), UV(1, 0));
  EXPECT_EQ(UvAt(s, 4.5f, 0, 3), UV(0, 1));
  EXPECT_EQ(UvAt(s, -4.5f, 0, 3), UV(1, 1));
  // The floor tiles 7.5 times along x and 6 times along z.
  const auto& f = table.GetFace(cTable::kRoomFloor);
  EXPECT_EQ(UvAt(f, -15, -5, 13), UV(7.5f, 6));
  EXPECT_EQ(UvAt(f, 15, -5, -13), UV(0, 0));
  // Goal faces show one texel.
  for (const auto& p : table.GetFace(cTable::kGoalMinusX)) EXPECT_EQ(UV(p.tu, p.tv), UV(0, 0));
  for (const auto& p : table.GetFace(cTable::kGoalPlusX)) EXPECT_EQ(UV(p.tu, p.tv), UV(0, 0));
  // The rim stands at the float nearest 0.7; the outer sides reach down to -0.7.
  EXPECT_EQ(UvAt(table.GetFace(cTable::kRimNear), -5, 0.7f, -3.5f), UV(5, 0));
  EXPECT_EQ(UvAt(table.GetFace(cTable::kRimMinusX), -4.5f, 0.7f, 2.5f), UV(2, 1));
  EXPECT_EQ(UvAt(table.GetFace(cTable::kOuterMinusX), -5, -0.7f, -3.5f), UV(1, 0));
  EXPECT_EQ(UvAt(table.GetFace(cTable::kPocketTopMinusXFar), -4, 0.7f, 3), UV(0, 0));
  // The far wall is taller; both walls span v 0 to 7.5.
  EXPECT_EQ(UvAt(table.GetFace(cTable::kRoomWallBack), -15, 8, -13), UV(20, 7.5f));
  EXPECT_EQ(UvAt(table.GetFace(cTable::kRoomWallFront), -15, 5, 13), UV(20, 7.5f));
  EXPECT_EQ(UvAt(table.GetFace(cTable::kBanner), -4, 0.2f, -12.8f), UV(1, 1));
}

TEST_F(WorldTable, InitLoadsTexturesMeshAndStates) {
  const std::pair<cTable::Tex, const char*> files[] = {
      {cTable::kTexSurface, "tables/t1b.tga"},     {cTable::kTexSurfaceIntro, "tables/t1bn.tga"},
      {cTable::kTexFloor, "tables/brtex1.tga"},    {cTable::kTexWalls, "tables/b.tga"},
      {cTable::kTexBanner, "Textures/vantor.tga"}, {cTable::kTexRimTop, "tables/Table_sides_top.tga"},
      {cTable::kTexOuterSide, "tables/side1.tga"}, {cTable::kTexInnerSide, "tables/Table_sides_side.tga"},
      {cTable::kTexPocket, "tables/Pocket.tga"},   {cTable::kTexGoal, "tables/g.tga"}};
  for (const auto& [slot, file] : files) EXPECT_EQ(TexelOf(table.GetTexture(slot)), TestColor(file)) << file;
  EXPECT_EQ(device.state.renderState[plat::D3DRS_CULLMODE], plat::D3DCULL_NONE);
  EXPECT_EQ(device.state.renderState[plat::D3DRS_ZENABLE], 1u);
  // The body is fitted to 11 x 5.7 x 7.
  EXPECT_NEAR(table.GetMesh().Width(), 11, 1e-4);
  EXPECT_NEAR(table.GetMesh().Height(), 5.7, 1e-4);
  EXPECT_NEAR(table.GetMesh().Depth(), 7, 1e-4);
}

TEST_F(WorldTable, AMissingFileStopsInitBeforeAnyFaceIsBuilt) {
  const auto dir = std::filesystem::temp_directory_path() / ("vantor-world-nog-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  world::testing::WriteWorldData(dir);
  std::filesystem::remove(dir / "tables/g.tga");  // the last texture
  plat::SetAppPath(dir.string());
  cTable fresh;
  try {
    fresh.init(device, d3dx);
    ADD_FAILURE() << "init succeeded";
  } catch (const plat::LoadError& e) {
    EXPECT_NE(std::string(e.what()).find("g.tga"), std::string::npos) << e.what();
  }
  EXPECT_NE(fresh.GetTexture(cTable::kTexPocket), nullptr);
  EXPECT_EQ(fresh.GetTexture(cTable::kTexGoal), nullptr);
  EXPECT_EQ(fresh.GetFace(cTable::kSurface)[0].x, 0.0f);
  EXPECT_EQ(fresh.GetFace(cTable::kGoalMinusX)[0].nx, 0.0f);
  std::filesystem::remove_all(dir);
}

TEST_F(WorldTable, RenderBottomPicksTheSurfaceArtEachFrame) {
  for (bool intro : {true, false, true}) {
    device.ClearCalls();
    table.RenderBottom(device, intro);
    const auto draws = device.Find(Op::DrawPrimitiveUP);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(TexelOf(draws[0]->texture), TestColor(intro ? "tables/t1bn.tga" : "tables/t1b.tga"));
    EXPECT_EQ(std::memcmp(draws[0]->vertices.data(), table.GetFace(cTable::kSurface).data(), 192), 0);
    EXPECT_EQ(draws[0]->fvf, 0x112u);
    EXPECT_EQ(draws[0]->cull, plat::D3DCULL_NONE);
    const auto mats = device.Find(Op::SetMaterial);
    ASSERT_EQ(mats.size(), 1u);
    EXPECT_EQ(mats[0]->material.Diffuse.g, 150.0f);
    EXPECT_EQ(mats[0]->material.Ambient.b, 150.0f);
  }
}

TEST_F(WorldTable, RenderDrawsGroupsInOrderWithTheirTexturesAndMaterials) {
  device.ClearCalls();
  table.Render(device);
  // The body mesh comes first, with the table's material.
  const auto meshDraws = device.Find(Op::DrawIndexedPrimitiveUP);
  EXPECT_FALSE(meshDraws.empty());

  // Groups in drawing order: first face, number of faces (consecutive in cTable::Face), art, material.
  struct Group {
    cTable::Face first;
    size_t count;
    const char* texture;
    float diffuse, ambient;
  };
  const Group groups[] = {{cTable::kPocketFaceMinusXNear, 4, "tables/Pocket.tga", 50, 50},
                          {cTable::kLongWallNear, 2, "tables/Table_sides_side.tga", 50, 50},
                          {cTable::kGoalMinusX, 2, "tables/g.tga", 50, 50},
                          {cTable::kRimNear, 4, "tables/Table_sides_top.tga", 200, 50},
                          {cTable::kOuterNear, 4, "tables/side1.tga", 200, 50},
                          {cTable::kPocketTopPlusXNear, 4, "tables/Pocket.tga", 200, 50},
                          {cTable::kRoomWallBack, 4, "tables/b.tga", 50, 50},
                          {cTable::kBanner, 1, "Textures/vantor.tga", 40, 40},
                          {cTable::kRoomFloor, 1, "tables/brtex1.tga", 50, 50}};
  struct Want {
    cTable::Face face;
    const char* texture;
    float diffuse, ambient;
  };
  std::vector<Want> want;
  for (const Group& g : groups)
    for (size_t i = 0; i < g.count; ++i)
      want.push_back({static_cast<cTable::Face>(g.first + i), g.texture, g.diffuse, g.ambient});
  ASSERT_EQ(want.size(), 26u);
  // Walk the calls, keeping the material and texture-stage state as the device saw them.
  plat::D3DMATERIAL8 material{};
  bool wrapped = false, firstMaterialSeen = false;
  size_t next = 0;
  for (const auto& c : device.calls) {
    if (c.op == Op::SetMaterial) {
      if (!firstMaterialSeen) {
        EXPECT_EQ(c.material.Diffuse.r, 50.0f);
        EXPECT_EQ(c.material.Ambient.r, 50.0f);
        EXPECT_EQ(c.material.Specular.r, 0.0f);
        EXPECT_EQ(c.material.Power, 0.0f);
        firstMaterialSeen = true;
      }
      material = c.material;
    }
    if (c.op == Op::DrawIndexedPrimitiveUP) {
      EXPECT_EQ(next, 0u) << "the body is drawn first";
      EXPECT_EQ(material.Diffuse.r, 50.0f);
    }
    if (c.op == Op::SetTextureStageState && c.c == 0 &&
        (c.a == plat::D3DTSS_ADDRESSU || c.a == plat::D3DTSS_ADDRESSV)) {
      EXPECT_EQ(c.b, plat::D3DTADDRESS_WRAP);
      wrapped = true;
    }
    if (c.op != Op::DrawPrimitiveUP) continue;
    ASSERT_LT(next, want.size());
    const Want& w = want[next++];
    SCOPED_TRACE(w.face);
    EXPECT_EQ(std::memcmp(c.vertices.data(), table.GetFace(w.face).data(), 192), 0);
    EXPECT_EQ(TexelOf(c.texture), TestColor(w.texture));
    EXPECT_EQ(material.Diffuse.g, w.diffuse);
    EXPECT_EQ(material.Ambient.g, w.ambient);
    EXPECT_EQ(c.alphaBlend, w.face == cTable::kBanner);
    EXPECT_EQ(c.a, plat::D3DPT_TRIANGLELIST);
    EXPECT_EQ(c.b, 2u);
    EXPECT_EQ(c.c, 32u);
    EXPECT_EQ(c.fvf, 0x112u);
    EXPECT_EQ(c.cull, plat::D3DCULL_NONE);
    EXPECT_EQ(wrapped, w.face == cTable::kRoomFloor);
  }
  EXPECT_EQ(next, want.size());
  EXPECT_EQ(device.state.renderState[plat::D3DRS_ALPHABLENDENABLE], 0u);
  EXPECT_EQ(device.state.renderState[plat::D3DRS_SRCBLEND], plat::D3DBLEND_SRCALPHA);
}

}  // namespace
