#include "world/cTable.h"

#include <string>

#include "platform/app_path.h"
#include "world/geometry.h"

namespace {

// Height of the rim: the 32-bit float nearest to 0.7.
constexpr float kRim = 0.7f;

struct Corner {
  float x, y, z, tu, tv;
};
using FaceCorners = std::array<Corner, 6>;

// Every face as two triangles, wound so that both give the face's normal (in the comment).
constexpr std::array<FaceCorners, cTable::kFaceCount> kFaces = {{
    /* kSurface */ {{{-4.5, 0, -3, 1, 0},
                     {-4.5, 0, 3, 1, 1},
                     {4.5, 0, -3, 0, 0},
                     {4.5, 0, 3, 0, 1},
                     {4.5, 0, -3, 0, 0},
                     {-4.5, 0, 3, 1, 1}}},
    /* kPocketFaceMinusXNear */
    {{{-4, 0, -2.5, 0, 0},
      {-5, 0, -2.5, 1, 0},
      {-4, kRim, -2.5, 0, 1},
      {-5, kRim, -2.5, 1, 1},
      {-4, kRim, -2.5, 0, 1},
      {-5, 0, -2.5, 1, 0}}},
    /* kPocketFacePlusXNear */
    {{{4, kRim, -2.5, 0, 1},
      {5, kRim, -2.5, 1, 1},
      {4, 0, -2.5, 0, 0},
      {5, 0, -2.5, 1, 0},
      {4, 0, -2.5, 0, 0},
      {5, kRim, -2.5, 1, 1}}},
    /* kPocketFaceMinusXFar */
    {{{-4, 0, 2.5, 0, 0},
      {-5, 0, 2.5, 1, 0},
      {-4, kRim, 2.5, 0, 1},
      {-5, kRim, 2.5, 1, 1},
      {-4, kRim, 2.5, 0, 1},
      {-5, 0, 2.5, 1, 0}}},
    /* kPocketFacePlusXFar */
    {{{4, kRim, 2.5, 0, 1},
      {5, kRim, 2.5, 1, 1},
      {4, 0, 2.5, 0, 0},
      {5, 0, 2.5, 1, 0},
      {4, 0, 2.5, 0, 0},
      {5, kRim, 2.5, 1, 1}}},
    /* kLongWallNear */
    {{{5, 0, -3, 0, 1},
      {-5, 0, -3, 5, 1},
      {5, kRim, -3, 0, 0},
      {-5, kRim, -3, 5, 0},
      {5, kRim, -3, 0, 0},
      {-5, 0, -3, 5, 1}}},
    /* kLongWallFar */
    {{{5, 0, 3, 0, 1},
      {-5, 0, 3, 5, 1},
      {5, kRim, 3, 0, 0},
      {-5, kRim, 3, 5, 0},
      {5, kRim, 3, 0, 0},
      {-5, 0, 3, 5, 1}}},
    /* kGoalMinusX */
    {{{-4.5, 0, -2.5, 0, 0},
      {-4.5, 0, 2.5, 0, 0},
      {-4.5, kRim, -2.5, 0, 0},
      {-4.5, kRim, 2.5, 0, 0},
      {-4.5, kRim, -2.5, 0, 0},
      {-4.5, 0, 2.5, 0, 0}}},
    /* kGoalPlusX */
    {{{4.5, kRim, -2.5, 0, 0},
      {4.5, kRim, 2.5, 0, 0},
      {4.5, 0, -2.5, 0, 0},
      {4.5, 0, 2.5, 0, 0},
      {4.5, 0, -2.5, 0, 0},
      {4.5, kRim, 2.5, 0, 0}}},
    /* kRimNear */
    {{{5, kRim, -3.5, 0, 0},
      {-5, kRim, -3.5, 5, 0},
      {5, kRim, -3, 0, 1},
      {-5, kRim, -3, 5, 1},
      {5, kRim, -3, 0, 1},
      {-5, kRim, -3.5, 5, 0}}},
    /* kRimFar */
    {{{5, kRim, 3, 0, 1},
      {-5, kRim, 3, 5, 1},
      {5, kRim, 3.5, 0, 0},
      {-5, kRim, 3.5, 5, 0},
      {5, kRim, 3.5, 0, 0},
      {-5, kRim, 3, 5, 1}}},
    /* kRimMinusX */
    {{{-5, kRim, -2.5, 0, 0},
      {-5, kRim, 2.5, 2, 0},
      {-4.5, kRim, -2.5, 0, 1},
      {-4.5, kRim, 2.5, 2, 1},
      {-4.5, kRim, -2.5, 0, 1},
      {-5, kRim, 2.5, 2, 0}}},
    /* kRimPlusX */
    {{{4.5, kRim, -2.5, 0, 1},
      {4.5, kRim, 2.5, 2, 1},
      {5, kRim, -2.5, 0, 0},
      {5, kRim, 2.5, 2, 0},
      {5, kRim, -2.5, 0, 0},
      {4.5, kRim, 2.5, 2, 1}}},
    /* kOuterNear */
    {{{5, kRim, -3.5, 0, 1},
      {-5, kRim, -3.5, 5, 1},
      {5, -kRim, -3.5, 0, 0},
      {-5, -kRim, -3.5, 5, 0},
      {5, -kRim, -3.5, 0, 0},
      {-5, kRim, -3.5, 5, 1}}},
    /* kOuterFar */
    {{{5, -kRim, 3.5, 0, 0},
      {-5, -kRim, 3.5, 5, 0},
      {5, kRim, 3.5, 0, 1},
      {-5, kRim, 3.5, 5, 1},
      {5, kRim, 3.5, 0, 1},
      {-5, -kRim, 3.5, 5, 0}}},
    /* kOuterMinusX */
    {{{-5, kRim, -3.5, 0, 0},
      {-5, kRim, 3.5, 0, 1},
      {-5, -kRim, -3.5, 1, 0},
      {-5, -kRim, 3.5, 1, 1},
      {-5, -kRim, -3.5, 1, 0},
      {-5, kRim, 3.5, 0, 1}}},
    /* kOuterPlusX */
    {{{5, -kRim, -3.5, 1, 1},
      {5, -kRim, 3.5, 1, 0},
      {5, kRim, -3.5, 0, 1},
      {5, kRim, 3.5, 0, 0},
      {5, kRim, -3.5, 0, 1},
      {5, -kRim, 3.5, 1, 0}}},
    /* kPocketTopPlusXNear */
    {{{5, kRim, -3, 1, 0},
      {4, kRim, -3, 0, 0},
      {5, kRim, -2.5, 1, 1},
      {4, kRim, -2.5, 0, 1},
      {5, kRim, -2.5, 1, 1},
      {4, kRim, -3, 0, 0}}},
    /* kPocketTopMinusXNear */
    {{{-4, kRim, -2.5, 0, 1},
      {-4, kRim, -3, 0, 0},
      {-5, kRim, -2.5, 1, 1},
      {-5, kRim, -3, 1, 0},
      {-5, kRim, -2.5, 1, 1},
      {-4, kRim, -3, 0, 0}}},
    /* kPocketTopPlusXFar */
    {{{4, kRim, 2.5, 0, 1},
      {4, kRim, 3, 0, 0},
      {5, kRim, 2.5, 1, 1},
      {5, kRim, 3, 1, 0},
      {5, kRim, 2.5, 1, 1},
      {4, kRim, 3, 0, 0}}},
    /* kPocketTopMinusXFar */
    {{{-5, kRim, 2.5, 1, 1},
      {-5, kRim, 3, 1, 0},
      {-4, kRim, 2.5, 0, 1},
      {-4, kRim, 3, 0, 0},
      {-4, kRim, 2.5, 0, 1},
      {-5, kRim, 3, 1, 0}}},
    /* kRoomWallBack */
    {{{15, 8, -13, 0, 7.5},
      {-15, 8, -13, 20, 7.5},
      {15, -5, -13, 0, 0},
      {-15, -5, -13, 20, 0},
      {15, -5, -13, 0, 0},
      {-15, 8, -13, 20, 7.5}}},
    /* kRoomWallFront */
    {{{15, -5, 13, 0, 0},
      {-15, -5, 13, 20, 0},
      {15, 5, 13, 0, 7.5},
      {-15, 5, 13, 20, 7.5},
      {15, 5, 13, 0, 7.5},
      {-15, -5, 13, 20, 0}}},
    /* kRoomWallMinusX */
    {{{-15, 5, -13, 0, 7.5},
      {-15, 5, 13, 19.5, 7.5},
      {-15, -5, -13, 0, 0},
      {-15, -5, 13, 19.5, 0},
      {-15, -5, -13, 0, 0},
      {-15, 5, 13, 19.5, 7.5}}},
    /* kRoomWallPlusX */
    {{{15, -5, -13, 0, 0},
      {15, -5, 13, 19.5, 0},
      {15, 5, -13, 0, 7.5},
      {15, 5, 13, 19.5, 7.5},
      {15, 5, -13, 0, 7.5},
      {15, -5, 13, 19.5, 0}}},
    /* kBanner */
    {{{4, 3, -12.8, 0, 0},
      {-4, 3, -12.8, 1, 0},
      {4, 0.2, -12.8, 0, 1},
      {-4, 0.2, -12.8, 1, 1},
      {4, 0.2, -12.8, 0, 1},
      {-4, 3, -12.8, 1, 0}}},
    /* kRoomFloor */
    {{{-15, -5, -13, 7.5, 0},
      {-15, -5, 13, 7.5, 6},
      {15, -5, -13, 0, 0},
      {15, -5, 13, 0, 6},
      {15, -5, -13, 0, 0},
      {-15, -5, 13, 7.5, 6}}},
}};

plat::D3DMATERIAL8 Material(float diffuse, float ambient) {
  plat::D3DMATERIAL8 m{};
  m.Diffuse = {diffuse, diffuse, diffuse, 0};
  m.Ambient = {ambient, ambient, ambient, 0};
  return m;
}

}  // namespace

void cTable::init(plat::Device& D3Ddevice, plat::D3DX8& d3dx) {
  D3Ddevice.SetRenderState(plat::D3DRS_CULLMODE, plat::D3DCULL_NONE);
  D3Ddevice.SetRenderState(plat::D3DRS_ZENABLE, 1);

  // Loaded in this order; each lands in its own slot.
  static constexpr std::pair<Tex, const char*> kFiles[kTexCount] = {
      {kTexSurface, "\\tables\\t1b.tga"},
      {kTexSurfaceIntro, "\\tables\\t1bn.tga"},
      {kTexFloor, "\\tables\\brtex1.tga"},
      {kTexWalls, "\\tables\\b.tga"},
      {kTexBanner, "\\Textures\\vantor.tga"},
      {kTexOuterSide, "\\tables\\side1.tga"},
      {kTexRimTop, "\\tables\\Table_sides_top.tga"},
      {kTexInnerSide, "\\tables\\Table_sides_side.tga"},
      {kTexPocket, "\\tables\\Pocket.tga"},
      {kTexGoal, "\\tables\\g.tga"},
  };
  for (const auto& [slot, file] : kFiles)
    tableTextures[slot] = d3dx.CreateTextureFromFile(D3Ddevice, plat::AppFile(file));

  tableMesh.LoadMesh(plat::AppFile("\\tables\\table.x"), plat::AppFile("\\tables\\"), D3Ddevice, d3dx,
                     "side1.tga");
  tableMesh.ScaleToSize_AND_TranslateToPoint(11, 5.7, 7, 0, -2, 0, D3Ddevice, d3dx);

  BuildInnerFaces();
  for (size_t f = 0; f < kFaceCount; ++f) {
    if (f >= kPocketFaceMinusXNear && f <= kGoalPlusX) continue;  // built above
    BuildFace(static_cast<Face>(f));
  }
}

void cTable::BuildFace(Face f) {
  FaceVertices& v = faces_[f];
  for (size_t i = 0; i < v.size(); ++i) {
    const Corner& c = kFaces[f][i];
    v[i] = world::MakeVertex(c.x, c.y, c.z, 0, 0, 0, c.tu, c.tv);
  }
  world::NormaliseTriangle(v, 0);
  world::NormaliseTriangle(v, 3);
}

void cTable::BuildInnerFaces() {
  for (size_t f = kPocketFaceMinusXNear; f <= kGoalPlusX; ++f) BuildFace(static_cast<Face>(f));
}

void cTable::DrawFace(plat::Device& D3Ddevice, Face f) {
  D3Ddevice.DrawPrimitiveUP(plat::D3DPT_TRIANGLELIST, 2, faces_[f].data(), sizeof(plat::Vertex3D));
}

void cTable::SetTex(plat::Device& D3Ddevice, Tex t) { D3Ddevice.SetTexture(0, tableTextures[t].get()); }

void cTable::RenderInnerFaces(plat::Device& D3Ddevice) {
  SetTex(D3Ddevice, kTexPocket);
  DrawFace(D3Ddevice, kPocketFaceMinusXNear);
  DrawFace(D3Ddevice, kPocketFacePlusXNear);
  DrawFace(D3Ddevice, kPocketFaceMinusXFar);
  DrawFace(D3Ddevice, kPocketFacePlusXFar);
  SetTex(D3Ddevice, kTexInnerSide);
  DrawFace(D3Ddevice, kLongWallNear);
  DrawFace(D3Ddevice, kLongWallFar);
  SetTex(D3Ddevice, kTexGoal);
  DrawFace(D3Ddevice, kGoalMinusX);
  DrawFace(D3Ddevice, kGoalPlusX);
}

void cTable::Render(plat::Device& D3Ddevice) {
  const plat::D3DMATERIAL8 body = Material(50, 50);
  D3Ddevice.SetMaterial(body);
  tableMesh.drawmesh(D3Ddevice, body, true);
  D3Ddevice.SetRenderState(plat::D3DRS_CULLMODE, plat::D3DCULL_NONE);
  D3Ddevice.SetVertexShader(plat::kFvfVertex3D);
  RenderInnerFaces(D3Ddevice);

  D3Ddevice.SetMaterial(Material(200, 50));
  SetTex(D3Ddevice, kTexRimTop);
  DrawFace(D3Ddevice, kRimNear);
  DrawFace(D3Ddevice, kRimFar);
  DrawFace(D3Ddevice, kRimMinusX);
  DrawFace(D3Ddevice, kRimPlusX);
  SetTex(D3Ddevice, kTexOuterSide);
  DrawFace(D3Ddevice, kOuterNear);
  DrawFace(D3Ddevice, kOuterFar);
  DrawFace(D3Ddevice, kOuterMinusX);
  DrawFace(D3Ddevice, kOuterPlusX);
  SetTex(D3Ddevice, kTexPocket);
  DrawFace(D3Ddevice, kPocketTopPlusXNear);
  DrawFace(D3Ddevice, kPocketTopMinusXNear);
  DrawFace(D3Ddevice, kPocketTopPlusXFar);
  DrawFace(D3Ddevice, kPocketTopMinusXFar);

  D3Ddevice.SetMaterial(Material(50, 50));
  SetTex(D3Ddevice, kTexWalls);
  DrawFace(D3Ddevice, kRoomWallBack);
  DrawFace(D3Ddevice, kRoomWallFront);
  DrawFace(D3Ddevice, kRoomWallMinusX);
  DrawFace(D3Ddevice, kRoomWallPlusX);

  D3Ddevice.SetRenderState(plat::D3DRS_SRCBLEND, plat::D3DBLEND_SRCALPHA);
  D3Ddevice.SetRenderState(plat::D3DRS_DESTBLEND, plat::D3DBLEND_INVSRCALPHA);
  D3Ddevice.SetRenderState(plat::D3DRS_ALPHABLENDENABLE, 1);
  D3Ddevice.SetMaterial(Material(40, 40));
  SetTex(D3Ddevice, kTexBanner);
  DrawFace(D3Ddevice, kBanner);
  D3Ddevice.SetRenderState(plat::D3DRS_ALPHABLENDENABLE, 0);

  D3Ddevice.SetMaterial(Material(50, 50));
  SetTex(D3Ddevice, kTexFloor);
  D3Ddevice.SetTextureStageState(0, plat::D3DTSS_ADDRESSU, plat::D3DTADDRESS_WRAP);
  D3Ddevice.SetTextureStageState(0, plat::D3DTSS_ADDRESSV, plat::D3DTADDRESS_WRAP);
  DrawFace(D3Ddevice, kRoomFloor);
}

void cTable::RenderBottom(plat::Device& D3Ddevice, bool cam_inter) {
  D3Ddevice.SetMaterial(Material(150, 150));
  D3Ddevice.SetRenderState(plat::D3DRS_CULLMODE, plat::D3DCULL_NONE);
  D3Ddevice.SetVertexShader(plat::kFvfVertex3D);
  SetTex(D3Ddevice, cam_inter ? kTexSurfaceIntro : kTexSurface);
  DrawFace(D3Ddevice, kSurface);
}
