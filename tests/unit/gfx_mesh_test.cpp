// X meshes: loading through Assimp, the fit into a box, and drawing subset by subset.
#include <gtest/gtest.h>

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
  for (int i = 0; i < 40; ++i) deep += "Frame {";
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
      {tri + " Odd { } }\n", false},                                        // skipped by the reader
      {"Mesh Tri { -0; }\n", false},
      {tri + "\n", false},  // cut short
      {deep + tri + " }" + std::string(40, '}') + "\n", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(!LoadText("read.x", "xof 0303txt 0032\n" + c.body), c.loads) << c.body;
}

// A face that names a vertex past the mesh's had Assimp allocate gigabytes: refused.
TEST_F(GfxMesh, FacesNamingAVertexTheMeshDoesNotHaveAreRefused) {
  const std::optional<std::string> error =
      LoadText("faces.x",
               "xof 0303txt 0032\nMesh Quad { 4; -1.0;0.0;-1.0;, 1.0;0.0;-1.0;,"
               " 1.0;0.0;1.0;, -1.0;0.0;1.0;; 2; 3;0,1,2;, 4;0,2,3,4;; }\n");
  ASSERT_TRUE(error) << "loaded";
  EXPECT_NE(error->find("a face names a vertex"), std::string::npos) << *error;
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
