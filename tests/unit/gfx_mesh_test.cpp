// X meshes: loading through Assimp, the fit into a box, and drawing subset by subset.
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cstring>
#include <optional>
#include <string>

#include "gfx/cMesh.h"
#include "platform/testing/test_platform.h"
#include "unit/test_files.h"

namespace {

using plat::testing::Op;
using plat::testing::TestTexture;

// A square-based pyramid: the base quad in material 0, the sides in material 1, whose texture
// name is written as modelling tools write it. The face list interleaves the two materials.
constexpr const char* kPyramid = R"(xof 0303txt 0032
Mesh Pyramid {
 5; -1.0;0.0;-1.0;, 1.0;0.0;-1.0;, 1.0;0.0;1.0;, -1.0;0.0;1.0;, 0.5;3.0;0.25;;
 5; 3;0,4,1;, 4;0,1,2,3;, 3;1,4,2;, 3;2,4,3;, 3;3,4,0;;
 MeshNormals {
  5; 0.0;-1.0;0.0;, 1.0;0.0;0.0;, 0.0;0.0;1.0;, -1.0;0.0;0.0;, 0.0;1.0;0.0;;
  5; 3;0,4,1;, 4;0,1,2,3;, 3;1,4,2;, 3;2,4,3;, 3;3,4,0;;
 }
 MeshTextureCoords { 5; 0.0;0.0;, 1.0;0.0;, 1.0;1.0;, 0.0;1.0;, 0.5;0.25;; }
 MeshMaterialList {
  2; 5; 1,0,1,1,1;;
  Material { 0.1;0.2;0.3;0.4;; 5.0; 0.5;0.6;0.7;; 0.01;0.02;0.03;; }
  Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; TextureFilename { ".\Tex.tga"; } }
 }
}
)";

// Positions only, in a frame that moves them 10 along x.
constexpr const char* kBareTriangle = R"(xof 0303txt 0032
Frame Root {
 FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 10.0,0.0,0.0,1.0;; }
 Mesh Tri { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;2.0;0.0;; 1; 3;0,1,2;; }
}
)";

// As an exporter writes a skinned, animated model: its comments, the templates it declares,
// whole-number coordinates, a frame moved by a few thousandths inside a turned and scaled one,
// vertex colours, a DeclData block, duplication indices, a skin with its weights, an effect in
// the material and an animation set. The game takes the positions, normals, texture
// coordinates, materials and frame transforms; the rest must be passed over, not refused.
constexpr const char* kExported = R"(xof 0303txt 0032
// Exported by a modelling tool's X exporter
template Frame { <3D82AB46-62DA-11cf-AB39-0020AF71E433> [...] }
template FrameTransformMatrix { <F6F23F41-7686-11cf-8F52-0040333594A3> Matrix4x4 frameMatrix; }
template XSkinMeshHeader { <3CF169CE-FF7C-44ab-93C0-F78F62D172E2> WORD nMaxSkinWeightsPerVertex; WORD nMaxSkinWeightsPerFace; WORD nBones; }
template DeclData { <BF22E553-292C-4781-9FEA-62BD554BDD93> DWORD nElements; array VertexElement Elements[nElements]; DWORD nDWords; array DWORD data[nDWords]; }
AnimTicksPerSecond { 4800; }
Material Paint {
 0.800000;0.600000;0.400000;1.000000;;
 12.000000;
 0.500000;0.500000;0.500000;;
 0.000000;0.000000;0.000000;;
 TextureFilename { "puck.tga"; }
 EffectInstance { "shiny.fx"; EffectParamDWord { "passes"; 1; } }
}
Frame Scene_Root {
 FrameTransformMatrix { 0.0,0.0,-2.0,0.0, 0.0,1.5,0.0,0.0, 2.0,0.0,0.0,0.0, 1.0,-0.5,3.25,1.0;; }
 Frame Offset {
  FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.003,0.0,-0.004,1.0;; }
  Mesh Board {
   4;
   -2000;0;-1000;,
   2000;0;-1000;,
   2000;0;1000;,
   -2000;0;1000;;
   2;
   3;0,1,2;,
   3;0,2,3;;
   MeshNormals {
    2;
    0.000000;1.000000;0.000000;,
    0.6;0.8;0.0;;
    2;
    3;0,0,1;,
    3;0,1,0;;
   }
   MeshTextureCoords { 4; 0.0;0.0;, 1.0;0.0;, 1.0;1.0;, 0.0;1.0;; }
   MeshVertexColors { 4; 0;1.0;0.0;0.0;1.0;;, 1;0.0;1.0;0.0;1.0;;, 2;0.0;0.0;1.0;1.0;;, 3;1.0;1.0;1.0;1.0;;; }
   VertexDuplicationIndices { 4; 4; 0, 1, 2, 3; }
   DeclData { 1; 2;0;5;0;; 8; 1065353216,0,0,1065353216,0,0,0,0; }
   MeshMaterialList { 1; 2; 0, 0;; { Paint } }
   XSkinMeshHeader { 2; 4; 1; }
   SkinWeights { "Offset"; 4; 0, 1, 2, 3; 1.0, 1.0, 1.0, 1.0; 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,0.0,0.0,1.0;; }
  }
 }
}
AnimationSet Idle {
 Animation { { Offset } AnimationKey { 4; 2; 0;16;1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0;;, 4800;16;1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,2.0,0.0,1.0;;; }
  AnimationOptions { 1; 0; } }
}
)";

class GfxMesh : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(dir_.Path("pyramid.x")) << kPyramid;
    std::ofstream(dir_.Path("tri.x")) << kBareTriangle;
    WriteTga(dir_.Path("tex.tga"), 1, 1, {0xFF336699});  // on disk in lower case
    WriteTga(dir_.Path("other.tga"), 1, 1, {0xFFCC0000});
  }
  void Load(cMesh& mesh, const std::string& tname = "") {
    // The game's texture prefixes end in a backslash.
    ASSERT_TRUE(mesh.LoadMesh(dir_.Path("pyramid.x"), dir_.Path("") + "\\", device_, d3dx_, tname));
  }
  // Writes `text` as the file `name` and loads it: the load error's message (which must name
  // the file), or nothing when it loaded.
  std::optional<std::string> LoadText(const std::string& name, const std::string& text) {
    std::ofstream(dir_.Path(name), std::ios::trunc) << text;
    cMesh mesh;
    try {
      mesh.LoadMesh(dir_.Path(name), dir_.Path("") + "/", device_, d3dx_, "tex.tga");
    } catch (const plat::LoadError& e) {
      EXPECT_EQ(e.path(), dir_.Path(name));
      return std::string(e.what());
    }
    return std::nullopt;
  }
  // Per drawn subset, the colour of the texture it was drawn with (0: untextured).
  std::vector<uint32_t> DrawnTexels() const {
    std::vector<uint32_t> out;
    for (const auto* c : device_.Find(Op::DrawIndexedPrimitiveUP)) {
      const auto* t = dynamic_cast<const TestTexture*>(c->texture);
      out.push_back(t != nullptr ? t->Texel(0, 0) : 0);
    }
    return out;
  }

  TempFolder dir_;
  plat::testing::TestPlatform platform_;
  plat::testing::RecordingDevice device_{&platform_};
  plat::D3DX8 d3dx_;
};

std::array<float, 8> Fields(const plat::Vertex3D& v) { return {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.tu, v.tv}; }

TEST_F(GfxMesh, LoaderKeepsTheFileAndGroupsFacesByMaterial) {
  std::vector<plat::D3DXMATERIAL> mats;
  const auto mesh = d3dx_.LoadMeshFromX(dir_.Path("pyramid.x"), plat::D3DXMESH_MANAGED, device_, &mats);
  ASSERT_EQ(mesh->GetNumVertices(), 5u);
  const plat::Vertex3D* v = mesh->LockVertexBuffer();
  // Left-handed as written: neither z nor the texture's v flipped.
  EXPECT_EQ(Fields(v[4]), (std::array<float, 8>{0.5f, 3, 0.25f, 0, 1, 0, 0.5f, 0.25f}));
  EXPECT_EQ(Fields(v[2]), (std::array<float, 8>{1, 0, 1, 0, 0, 1, 1, 1}));
  // The base quad as a fan, then the sides, winding as in the file.
  EXPECT_EQ(mesh->indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3, 0, 4, 1, 1, 4, 2, 2, 4, 3, 3, 4, 0}));
  ASSERT_EQ(mesh->subsets.size(), 2u);
  EXPECT_EQ((std::array{mesh->subsets[0].AttribId, mesh->subsets[0].FaceStart, mesh->subsets[0].FaceCount,
                        mesh->subsets[1].AttribId, mesh->subsets[1].FaceStart, mesh->subsets[1].FaceCount}),
            (std::array<uint32_t, 6>{0, 0, 2, 1, 2, 4}));

  ASSERT_EQ(mats.size(), 2u);
  const auto& m = mats[0].MatD3D;
  EXPECT_EQ((std::array{m.Diffuse.g, m.Diffuse.a, m.Power, m.Specular.b, m.Specular.a, m.Emissive.r,
                        m.Emissive.a, m.Ambient.r, m.Ambient.a}),
            (std::array{0.2f, 0.4f, 5.0f, 0.7f, 1.0f, 0.01f, 1.0f, 0.0f, 1.0f}));
  EXPECT_EQ(mats[0].pTextureFilename, "");
  EXPECT_EQ(mats[1].pTextureFilename, ".\\Tex.tga");

  // Any other layout comes out as the full record; frame transforms apply.
  const auto tri = d3dx_.LoadMeshFromX(dir_.Path("tri.x"), plat::D3DXMESH_MANAGED, device_, nullptr);
  ASSERT_EQ(tri->GetNumVertices(), 3u);
  EXPECT_EQ(Fields(tri->LockVertexBuffer()[1]), (std::array<float, 8>{11, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(GfxMesh, FitGivesTheExtentsAndPlacesTheReferenceVertex) {
  cMesh mesh;
  Load(mesh);
  EXPECT_EQ((std::array{mesh.Width(), mesh.Height(), mesh.Depth()}), (std::array{2.0, 3.0, 2.0}));
  EXPECT_EQ(mesh.ReferenceVertex(), 4);  // the apex: nearest the middle of the footprint

  mesh.ScaleToSize_AND_TranslateToPoint(4, 4, 2, 0, 3.5, 0, device_, d3dx_);
  EXPECT_DOUBLE_EQ(mesh.Width(), 4);
  EXPECT_DOUBLE_EQ(mesh.Height(), 4);
  EXPECT_DOUBLE_EQ(mesh.Depth(), 2);
  EXPECT_EQ(mesh.ReferenceVertex(), 4);
  EXPECT_EQ((std::array{mesh.mPositionx, mesh.mPositiony, mesh.mPositionz}), (std::array{0.0, 3.5, 0.0}));
  // The mesh's own vertices are rewritten (scale 2, 4/3, 1 about the apex), the rest carried along.
  const auto v0 = Fields(mesh.Mesh->LockVertexBuffer()[0]);
  EXPECT_FLOAT_EQ(v0[0], -3);
  EXPECT_FLOAT_EQ(v0[1], -0.5);
  EXPECT_FLOAT_EQ(v0[2], -1.25);
  EXPECT_EQ(v0[4], -1.0f);

  // All three corners of the triangle lie as near the middle: the first one counts.
  cMesh tri;
  tri.LoadMesh(dir_.Path("tri.x"), dir_.Path(""), device_, d3dx_, "");
  EXPECT_EQ(tri.ReferenceVertex(), 0);
  EXPECT_EQ(tri.mPositionx, 10.0);
}

TEST_F(GfxMesh, DrawsEachSubsetWithItsMaterialAndTexture) {
  cMesh mesh;
  Load(mesh);
  device_.ClearCalls();
  mesh.drawmesh(device_, plat::D3DMATERIAL8{}, false);
  const auto& c = device_.calls;
  ASSERT_EQ(c.size(), 9u);
  EXPECT_EQ((std::array{c[0].a, c[0].b}), (std::array<uint32_t, 2>{plat::D3DRS_ZENABLE, 1}));
  for (int s = 0; s < 2; ++s) {
    const auto* sub = &c[1 + 4 * s];
    EXPECT_EQ((std::array{sub[0].op, sub[1].op, sub[2].op, sub[3].op}),
              (std::array{Op::SetMaterial, Op::SetTexture, Op::SetVertexShader, Op::DrawIndexedPrimitiveUP}));
    EXPECT_EQ(sub[2].a, 0x112u);
    EXPECT_EQ((std::array{sub[3].a, sub[3].b, sub[3].c, sub[3].vertexCount}),
              (std::array<uint32_t, 4>{plat::D3DPT_TRIANGLELIST, s == 0 ? 2u : 4u, 32, 5}));
  }
  EXPECT_FLOAT_EQ(c[1].material.Diffuse.b, 0.3f);
  EXPECT_FLOAT_EQ(c[5].material.Diffuse.b, 1.0f);
  // Untextured base; sides in tex.tga, found whatever its letter case, at 512 × 512.
  EXPECT_EQ(DrawnTexels(), (std::vector<uint32_t>{0, 0xFF336699}));
  EXPECT_EQ(c[6].texture->Width(), 512);

  plat::D3DMATERIAL8 custom{};
  custom.Diffuse = {35, 36, 37, 0};
  device_.ClearCalls();
  mesh.drawmesh(device_, custom, true);
  for (const auto* m : device_.Find(Op::SetMaterial)) EXPECT_EQ(m->material.Diffuse.g, 36.0f);
  EXPECT_EQ(DrawnTexels(), (std::vector<uint32_t>{0, 0xFF336699}));  // textures kept

  cMesh named;
  Load(named, "other.tga");
  device_.ClearCalls();
  named.drawmesh(device_, custom, false);
  EXPECT_EQ(DrawnTexels(), (std::vector<uint32_t>{0xFFCC0000, 0xFFCC0000}));
}

TEST_F(GfxMesh, MissingFilesThrowNamingThem) {
  cMesh mesh;
  try {
    mesh.LoadMesh(dir_.Path("nothere.x"), dir_.Path(""), device_, d3dx_, "");
    FAIL() << "no error";
  } catch (const plat::LoadError& e) {
    EXPECT_EQ(e.path(), dir_.Path("nothere.x"));
  }
  std::ofstream(dir_.Path("junk.x")) << "this is not a mesh at all";
  EXPECT_THROW(mesh.LoadMesh(dir_.Path("junk.x"), dir_.Path(""), device_, d3dx_, ""), plat::LoadError);
  std::ofstream(dir_.Path("cut.x")) << "xof 0";  // a header cut short
  EXPECT_THROW(mesh.LoadMesh(dir_.Path("cut.x"), dir_.Path(""), device_, d3dx_, ""), plat::LoadError);
  try {
    mesh.LoadMesh(dir_.Path("pyramid.x"), dir_.Path("") + "/", device_, d3dx_, "gone.tga");
    FAIL() << "no error";
  } catch (const plat::LoadError& e) {
    EXPECT_NE(e.path().find("gone.tga"), std::string::npos);
  }
  EXPECT_EQ(mesh.Mesh, nullptr);  // nothing half-loaded
}

// One triangle corner: position, normal, texture pair.
using Corner = std::array<float, 8>;

// Every triangle of `scene` (its faces fanned as the loader does) with the frame transforms
// applied by Assimp itself (aiProcess_PreTransformVertices), corners sorted within nothing:
// triangles are compared as a sorted list, by position and texture pair.
std::vector<std::array<Corner, 3>> Triangles(const aiScene& scene) {
  std::vector<std::array<Corner, 3>> out;
  for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
    const aiMesh& mesh = *scene.mMeshes[m];
    auto corner = [&](unsigned i) {
      const aiVector3D p = mesh.mVertices[i];
      const aiVector3D n = mesh.HasNormals() ? mesh.mNormals[i] : aiVector3D();
      const aiVector3D t = mesh.HasTextureCoords(0) ? mesh.mTextureCoords[0][i] : aiVector3D();
      return Corner{p.x, p.y, p.z, n.x, n.y, n.z, t.x, t.y};
    };
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
      const aiFace& face = mesh.mFaces[f];
      for (unsigned k = 1; k + 1 < face.mNumIndices; ++k)
        out.push_back({corner(face.mIndices[0]), corner(face.mIndices[k]), corner(face.mIndices[k + 1])});
    }
  }
  return out;
}

std::vector<std::array<Corner, 3>> Triangles(const plat::ID3DXMesh& mesh) {
  std::vector<std::array<Corner, 3>> out;
  const plat::Vertex3D* v = mesh.vertices.data();
  for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3)
    out.push_back({Fields(v[mesh.indices[i]]), Fields(v[mesh.indices[i + 1]]), Fields(v[mesh.indices[i + 2]])});
  return out;
}

void SortByPlace(std::vector<std::array<Corner, 3>>& triangles) {
  std::sort(triangles.begin(), triangles.end(), [](const auto& a, const auto& b) {
    for (int c = 0; c < 3; ++c)
      for (const int f : {0, 1, 2, 6, 7})
        if (a[c][f] != b[c][f]) return a[c][f] < b[c][f];
    return false;
  });
}

// A model as an exporter writes it loads as Assimp reads it: positions and texture pairs
// exactly where Assimp puts them (frame transforms applied exactly, a move of 0.003 too),
// normals within 1e-6, the material and its texture name; what the game does not use is
// passed over.
TEST_F(GfxMesh, ExportedModelLoadsAsAssimpReadsIt) {
  const std::string path = dir_.Path("exported.x");
  std::ofstream(path) << kExported;
  std::vector<plat::D3DXMATERIAL> mats;
  const auto mesh = d3dx_.LoadMeshFromX(path, plat::D3DXMESH_MANAGED, device_, &mats);

  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(path, aiProcess_ConvertToLeftHanded | aiProcess_PreTransformVertices);
  ASSERT_NE(scene, nullptr) << importer.GetErrorString();
  auto ours = Triangles(*mesh);
  auto theirs = Triangles(*scene);
  ASSERT_EQ(ours.size(), 2u);
  ASSERT_EQ(ours.size(), theirs.size());
  SortByPlace(ours);
  SortByPlace(theirs);
  for (size_t t = 0; t < ours.size(); ++t) {
    for (int c = 0; c < 3; ++c) {
      for (const int f : {0, 1, 2, 6, 7}) EXPECT_EQ(ours[t][c][f], theirs[t][c][f]) << t << " " << c << " " << f;
      for (const int f : {3, 4, 5}) EXPECT_NEAR(ours[t][c][f], theirs[t][c][f], 1e-6) << t << " " << c << " " << f;
    }
  }
  // By hand for one corner: (-2000, 0, -1000) moved by (0.003, 0, -0.004), then turned,
  // scaled and moved by the root frame (the move of 0.003 and 0.004 counts twice there).
  EXPECT_NEAR(mesh->vertices[0].x, (-1000.0 - 0.004) * 2 + 1, 1e-3);
  EXPECT_NEAR(mesh->vertices[0].z, (-2000.0 + 0.003) * -2 + 3.25, 1e-3);
  ASSERT_EQ(mats.size(), 1u);
  EXPECT_FLOAT_EQ(mats[0].MatD3D.Diffuse.g, 0.6f);
  EXPECT_EQ(mats[0].pTextureFilename, "puck.tga");
}

// What would hurt Assimp is refused naming the file, the line and the object.
TEST_F(GfxMesh, RefusalsNameTheLineAndTheObject) {
  const std::string mesh = "xof 0303txt 0032\nFrame Root {\n Mesh Board {\n  3; 0;0;0;, 1;0;0;, 0;1;0;;\n"
                           "  1; 3;0,1,2;;\n";
  const struct {
    std::string body;
    const char* message;
  } cases[] = {
      {"  SkinWeights { \"Root\"; 1; 7; 1.0; 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }\n }\n}\n",
       "line 6, in Frame Root > Mesh Board > SkinWeights: a skin weight names a vertex the mesh does not have"},
      {"  MeshNormals { 1; 0;1;0;;\n 1; 3;0,0,1;; }\n }\n}\n",
       "line 7, in Frame Root > Mesh Board > MeshNormals: a face names a normal the mesh does not have"},
      {"  MeshVertexColors { 3; 0;1;1;1;1;;, 1;1.#IND00;1;1;1;;, 2;1;1;1;1;;; }\n }\n}\n",
       "line 6, in Frame Root > Mesh Board > MeshVertexColors: a number the X reader could misread"},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> error = LoadText("refused.x", mesh + c.body);
    ASSERT_TRUE(error) << c.body;
    EXPECT_EQ(*error, dir_.Path("refused.x") + ": " + c.message);
  }
}

// A count larger than the file would have Assimp allocate gigabytes: refused, wherever it
// stands (a stray quote once hid one); comments, which the reader skips too, are skipped.
TEST_F(GfxMesh, CountsLargerThanTheFileAreRefusedWhereverTheyStand) {
  const std::string tri = "Mesh Tri { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;2.0;0.0;; 1; 3;0,1,2;; }\n";
  const struct {
    std::string body;
    bool loads;
  } cases[] = {
      {"Mesh Tri { 4000000000; 0.0;0.0;0.0;; }\n", false},
      {" 2\";\n" + tri + "Mesh Big { 7428453051932635591; }\n", false},  // behind an open quote
      {"# 4000000000 vertices, says a comment\n" + tri + "// and 5000000000 here\n", true},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> error = LoadText("count.x", "xof 0303txt 0032\n" + c.body);
    if (c.loads) {
      EXPECT_FALSE(error) << c.body << ": " << error.value_or("");
    } else {
      ASSERT_TRUE(error) << "loaded: " << c.body;
      EXPECT_NE(error->find("a count larger than the file"), std::string::npos) << *error;
    }
  }
}

// The loader reads a file as Assimp's X reader will, but takes only what the game's meshes are
// made of, written plainly: where the reader would read a file otherwise than it is written,
// or trust a count or index that does not fit, the file is refused naming it.
TEST_F(GfxMesh, OnlyWhatTheReaderReadsAsWrittenLoads) {
  const std::string tri = "Mesh Tri { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;2.0;0.0;; 1; 3;0,1,2;;";
  std::string deep;
  for (int i = 0; i < 200; ++i) deep += "Frame {";
  const struct {
    std::string body;
    bool loads;
  } cases[] = {
      {"template Mesh { <3D82AB44-62DA-11cf-AB39-0020AF71E433> DWORD nVertices; }\n" + tri +
           " # a comment\n MeshNormals { 1; 0.0;1.0;0.0;; 1; 3;0,0,0;; } }\n",
       true},
      {"Material M { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; TextureFileName { \"t.tga\"; } }\n" +
           tri + " MeshMaterialList { 1; 1; 0;; {M} } }\n",
       true},
      // the reader takes "1,5" for one number (a comma as decimal point)
      {"Mesh Tri { 3; 0.0;0.0;0.0;, 1,5;0.0;0.0;, 0.0;2.0;0.0;; 1; 3;0,1,2;; }\n", false},
      {tri + " MeshNormals { 1; 0.0;1.0;0.0;; 1; 3;0,0,1;; } }\n", false},  // normal 1 of one
      {tri + " MeshTextureCoords { 2; 0.0;0.0;, 1.0;0.0;; } }\n", false},   // two for three
      {tri + " Odd { } }\n", true},                                         // skipped, as the reader does
      {"Mesh Tri { -0; }\n", false},
      // a face naming a vertex past the mesh's had Assimp allocate gigabytes
      {"Mesh Quad { 4; -1.0;0.0;-1.0;, 1.0;0.0;-1.0;, 1.0;0.0;1.0;, -1.0;0.0;1.0;; 2; 3;0,1,2;, 4;0,2,3,4;; }\n",
       false},
      {tri + "\n", false},  // cut short
      {deep + tri + " }" + std::string(200, '}') + "\n", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(!LoadText("read.x", "xof 0303txt 0032\n" + c.body), c.loads) << c.body;
}

// Material lists Assimp's X reader crashes on (it reads past the end of an empty material
// list, or past the faces with two lists in one mesh or a list in a mesh without faces) are
// refused before it sees them; the lists the game's tools write still load.
TEST_F(GfxMesh, MaterialListsTheReaderCannotTakeAreRefused) {
  const std::string head =
      "xof 0303txt 0032\nMaterial Red { 1.0;0.0;0.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n"
      "Mesh Quad { 4; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;0.0;1.0;, 0.0;0.0;1.0;;\n"
      " 2; 3;0,1,2;, 3;0,2,3;;\n";
  const struct {
    const char* list;
    bool loads;
  } cases[] = {
      {"MeshMaterialList { 0; 2; 0,0;; }", false},          // no material at all
      {"MeshMaterialList { 1; 2; 0,0;; ;,{Red} }", false},  // the comma hides the reference
      {"MeshMaterialList { 1; 2; 0,0;; Frame {} }", false},
      {"MeshMaterialList { 1; 2; 0,0;; {Red}", false},  // cut short
      // two lists in one mesh: face materials past the faces
      {"MeshMaterialList { 1; 2; 0,0;; {Red} } MeshMaterialList { 1; 2; 0,0;; {Red} }", false},
      // ... also behind a stray quote, which the reader takes as a quote only in a texture name
      {"Odd { \"x } MeshMaterialList { 1; 2; 0,0;; {Red} } MeshMaterialList { 1; 2; 0,0;; {Red} }", false},
      {"Material { TextureFilename { \"x } } MeshMaterialList { 1; 2; 0,0;; {Red} }"
       " MeshMaterialList { 1; 2; 0,0;; {Red} } \" }",
       false},
      {"MeshMaterialList { 1; 2; 0,0;; {Red} }", true},
      // ... or behind a mesh in the mesh, which the reader skips
      {"MeshMaterialList { 1; 2; 0,0;; {Red} } Mesh Inner { 1; 0.0;0.0;0.0;; 0; }"
       " MeshMaterialList { 1; 2; 0,0;; {Red} }",
       false},
      {"MeshMaterialList Named { 2; 2; 1,0;; // two\n { Red } Material { 0.0;0.0;1.0;1.0;; 1.0;"
       " 0.0;0.0;0.0;; 0.0;0.0;0.0;; TextureFilename { \"a b;c,d.tga\"; } } }",
       true},
      // a brace and a comment mark in a texture name: a string, read whole
      {"MeshMaterialList { 1; 2; 0,0;; Material { 0.0;0.0;1.0;1.0;; 1.0; 0.0;0.0;0.0;;"
       " 0.0;0.0;0.0;; TextureFilename { \"a { b #c.tga\"; } } }",
       true},
  };
  for (const auto& c : cases) EXPECT_EQ(!LoadText("list.x", head + c.list + "\n}\n"), c.loads) << c.list;
  // A mesh without faces (a count of 0, or of -0, which the reader takes for 0 too) and a list
  // of one face material: the reader gives the material to a face that is not there.
  for (const char* faces : {"0;", "-0;"}) {
    EXPECT_TRUE(
        LoadText("none.x",
                 "xof 0303txt 0032\nMaterial Red { 1.0;0.0;0.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n"
                 "Mesh Quad { 4; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;0.0;1.0;, 0.0;0.0;1.0;;\n " +
                     std::string(faces) + "\nMeshMaterialList { 1; 1; 0;; {Red} }\n}\n"))
        << faces;
  }
}

}  // namespace
