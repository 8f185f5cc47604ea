// The static scene of a match: the playing surface, the rim, the goal mouths, the four
// corner pockets, the outer sides, the table body mesh and the room around it.
#pragma once

#include <array>
#include <cstddef>

#include "gfx/cMesh.h"
#include "platform/d3d8.h"
#include "platform/d3dx8.h"

class cTable {
 public:
  // The 27 drawn faces, each a rectangle of six vertices (two triangles).
  enum Face : size_t {
    kSurface,
    kPocketFaceMinusXNear,  // pocket face at the -x end, z = -2.5
    kPocketFacePlusXNear,   // +x end, z = -2.5
    kPocketFaceMinusXFar,   // -x end, z = 2.5
    kPocketFacePlusXFar,    // +x end, z = 2.5
    kLongWallNear,          // inner face z = -3
    kLongWallFar,           // inner face z = 3
    kGoalMinusX,            // x = -4.5
    kGoalPlusX,             // x = 4.5
    kRimNear,               // rim top, long side z < 0
    kRimFar,                // long side z > 0
    kRimMinusX,
    kRimPlusX,
    kOuterNear,  // z = -3.5
    kOuterFar,   // z = 3.5
    kOuterMinusX,
    kOuterPlusX,
    kPocketTopPlusXNear,  // +x end, z < 0
    kPocketTopMinusXNear,
    kPocketTopPlusXFar,
    kPocketTopMinusXFar,
    kRoomWallBack,   // z = -13
    kRoomWallFront,  // z = 13
    kRoomWallMinusX,
    kRoomWallPlusX,
    kBanner,
    kRoomFloor,
    kFaceCount
  };
  using FaceVertices = std::array<plat::Vertex3D, 6>;

  // Texture slots of tableTextures.
  enum Tex : size_t {
    kTexSurface,       // tables\t1b.tga
    kTexSurfaceIntro,  // tables\t1bn.tga, while the camera intro runs
    kTexFloor,         // tables\brtex1.tga
    kTexWalls,         // tables\b.tga
    kTexBanner,        // Textures\vantor.tga
    kTexRimTop,        // tables\Table_sides_top.tga
    kTexOuterSide,     // tables\side1.tga
    kTexInnerSide,     // tables\Table_sides_side.tga
    kTexPocket,        // tables\Pocket.tga
    kTexGoal,          // tables\g.tga
    kTexCount
  };

  // Sets cull mode and depth test, loads the ten textures and the table body mesh, builds
  // every face. Throws plat::LoadError on a missing file; faces not yet built stay as they were.
  void init(plat::Device& D3Ddevice, plat::D3DX8& d3dx);
  // The table body, inner faces, rim, outer sides, pocket tops, room walls, banner and floor.
  void Render(plat::Device& D3Ddevice);
  // The playing surface; cam_inter (the match's camera intro is running) picks the surface art.
  void RenderBottom(plat::Device& D3Ddevice, bool cam_inter);

  const FaceVertices& GetFace(Face f) const { return faces_[f]; }
  const plat::Texture* GetTexture(Tex t) const { return tableTextures[t].get(); }
  const cMesh& GetMesh() const { return tableMesh; }

 private:
  void BuildInnerFaces();
  void RenderInnerFaces(plat::Device& D3Ddevice);
  void BuildFace(Face f);
  void DrawFace(plat::Device& D3Ddevice, Face f);
  void SetTex(plat::Device& D3Ddevice, Tex t);

  std::array<plat::TexturePtr, kTexCount> tableTextures;
  cMesh tableMesh;
  std::array<FaceVertices, kFaceCount> faces_{};
};
