// X meshes through Assimp, brought to what D3DX's loader hands back: one mesh in the file's
// own coordinates, 32-byte position-normal-texture vertices, one subset per material.
#include <assimp/cimport.h>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "platform/common/late_library.h"
#include "platform/common/x_text_check.h"
#include "platform/d3dx8.h"

namespace plat {

namespace {

struct VertexKey {
  Vertex3D v;
  bool operator==(const VertexKey& o) const { return std::memcmp(&v, &o.v, sizeof(Vertex3D)) == 0; }
};

struct VertexKeyHash {
  size_t operator()(const VertexKey& k) const {
    return std::hash<std::string_view>()(
        std::string_view(reinterpret_cast<const char*>(&k.v), sizeof(Vertex3D)));
  }
};

// One aiMesh as placed in the file's frame hierarchy.
struct PlacedMesh {
  const aiMesh* mesh;
  aiMatrix4x4 transform;
};

void CollectMeshes(const aiScene& scene, const aiNode& node, const aiMatrix4x4& parent,
                   std::vector<PlacedMesh>& out) {
  const aiMatrix4x4 transform = parent * node.mTransformation;
  for (unsigned i = 0; i < node.mNumMeshes; ++i) {
    if (node.mMeshes[i] < scene.mNumMeshes) out.push_back({scene.mMeshes[node.mMeshes[i]], transform});
  }
  for (unsigned i = 0; i < node.mNumChildren; ++i) CollectMeshes(scene, *node.mChildren[i], transform, out);
}

// Position, normal (zeros when the file has none) and first texture pair (zeros when none).
Vertex3D ToVertex(const aiMesh& mesh, unsigned index, const aiMatrix4x4& transform, bool identity) {
  aiVector3D p = mesh.mVertices[index];
  aiVector3D n = mesh.HasNormals() ? mesh.mNormals[index] : aiVector3D(0, 0, 0);
  if (!identity) {
    p = transform * p;
    if (mesh.HasNormals()) {
      aiMatrix3x3 normalMatrix(transform);
      normalMatrix.Inverse().Transpose();
      n = normalMatrix * n;
      if (n.SquareLength() > 0) n.Normalize();
    }
  }
  float tu = 0, tv = 0;
  if (mesh.HasTextureCoords(0)) {
    tu = mesh.mTextureCoords[0][index].x;
    tv = mesh.mTextureCoords[0][index].y;
  }
  return Vertex3D{p.x, p.y, p.z, n.x, n.y, n.z, tu, tv};
}

// Assimp's C functions, found in the library the first time a mesh is loaded.
struct AssimpFunctions {
  decltype(&::aiImportFile) ImportFile = Find<decltype(::aiImportFile)>("aiImportFile");
  decltype(&::aiReleaseImport) ReleaseImport = Find<decltype(::aiReleaseImport)>("aiReleaseImport");
  decltype(&::aiGetErrorString) GetErrorString = Find<decltype(::aiGetErrorString)>("aiGetErrorString");
  decltype(&::aiGetMaterialColor) GetMaterialColor =
      Find<decltype(::aiGetMaterialColor)>("aiGetMaterialColor");
  decltype(&::aiGetMaterialFloatArray) GetMaterialFloatArray =
      Find<decltype(::aiGetMaterialFloatArray)>("aiGetMaterialFloatArray");
  decltype(&::aiGetMaterialTexture) GetMaterialTexture =
      Find<decltype(::aiGetMaterialTexture)>("aiGetMaterialTexture");

 private:
  template <class F>
  static F* Find(const char* name) {
    return AssimpLibrary().Get<F>(name);
  }
};

const AssimpFunctions& Ai() {
  static const AssimpFunctions functions;
  return functions;
}

// A colour of the material; `out` keeps its value when the material has none.
template <class Color>
void GetColor(const aiMaterial& m, const char* key, unsigned type, unsigned index, Color& out) {
  aiColor4D c;
  if (Ai().GetMaterialColor(&m, key, type, index, &c) == AI_SUCCESS) {
    if constexpr (std::is_same_v<Color, aiColor4D>) {
      out = c;
    } else {
      out = aiColor3D(c.r, c.g, c.b);
    }
  }
}

bool GetTexture(const aiMaterial& m, aiTextureType type, aiString& name) {
  return Ai().GetMaterialTexture(&m, type, 0, &name, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) ==
         AI_SUCCESS;
}

D3DCOLORVALUE Rgb(const aiColor3D& c, float a) { return D3DCOLORVALUE{c.r, c.g, c.b, a}; }

// As D3DX fills it from an X file's Material: faceColor (RGBA) is the diffuse colour, power the
// specular power, specularColor and emissiveColor come with alpha 1, and the file has no ambient
// colour, so ambient is black (alpha 1).
D3DXMATERIAL ToMaterial(const aiMaterial& m) {
  D3DXMATERIAL out{};
  aiColor4D diffuse(0, 0, 0, 1);
  GetColor(m, AI_MATKEY_COLOR_DIFFUSE, diffuse);
  out.MatD3D.Diffuse = D3DCOLORVALUE{diffuse.r, diffuse.g, diffuse.b, diffuse.a};
  out.MatD3D.Ambient = D3DCOLORVALUE{0, 0, 0, 1};
  aiColor3D specular(0, 0, 0), emissive(0, 0, 0);
  GetColor(m, AI_MATKEY_COLOR_SPECULAR, specular);
  GetColor(m, AI_MATKEY_COLOR_EMISSIVE, emissive);
  out.MatD3D.Specular = Rgb(specular, 1);
  out.MatD3D.Emissive = Rgb(emissive, 1);
  float power = 0;
  Ai().GetMaterialFloatArray(&m, AI_MATKEY_SHININESS, &power, nullptr);
  out.MatD3D.Power = power;

  // The one TextureFilename of the material, as written. Assimp files it by what the name
  // suggests (diffuse unless it says bump, normal, ...), so look through every kind.
  aiString name;
  if (GetTexture(m, aiTextureType_DIFFUSE, name)) {
    out.pTextureFilename = name.C_Str();
  } else {
    for (int t = aiTextureType_NONE + 1; t <= aiTextureType_UNKNOWN; ++t) {
      if (GetTexture(m, static_cast<aiTextureType>(t), name)) {
        out.pTextureFilename = name.C_Str();
        break;
      }
    }
  }
  return out;
}

}  // namespace

std::unique_ptr<ID3DXMesh> D3DX8::LoadMeshFromX(const std::string& path, DWORD /*options*/,
                                                Device& /*device*/, std::vector<D3DXMATERIAL>* materials) {
  // The mesh lives in client memory and is drawn from there: the pool option and the device
  // change nothing here.
  const std::string file = NormalizePath(path);
  struct stat st {};
  if (stat(file.c_str(), &st) != 0) throw LoadError(file, "file not found");
  if (!S_ISREG(st.st_mode)) throw LoadError(file, "not a file");
  {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The header is 16 bytes: "xof ", the version, the format and the float size.
    if (bytes.size() < 16 || bytes.compare(0, 4, "xof ") != 0) throw LoadError(file, "not an X file");
    // The game's meshes are text files. Assimp's binary and compressed readers take a count
    // from wherever the file says one is, which nothing here can check beforehand.
    if (bytes.compare(8, 4, "txt ") != 0) throw LoadError(file, "not a text X file");
    if (const std::optional<std::string> fault = XTextFault(bytes)) throw LoadError(file, *fault);
  }

  // Assimp turns X files right-handed; converting back to left-handed gives the file's own
  // positions, normals, texture coordinates, winding and frame transforms, one vertex per
  // face corner. Shared vertices are rebuilt below.
  const AssimpFunctions& ai = Ai();
  const std::unique_ptr<const aiScene, decltype(ai.ReleaseImport)> scene(
      ai.ImportFile(file.c_str(), aiProcess_ConvertToLeftHanded), ai.ReleaseImport);
  if (scene == nullptr) throw LoadError(file, std::string("cannot read mesh: ") + ai.GetErrorString());
  if ((scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) != 0 || scene->mRootNode == nullptr ||
      scene->mNumMeshes == 0) {
    throw LoadError(file, "no mesh in file");
  }

  std::vector<PlacedMesh> placed;
  CollectMeshes(*scene, *scene->mRootNode, aiMatrix4x4(), placed);

  auto mesh = std::make_unique<ID3DXMesh>();
  std::unordered_map<VertexKey, uint32_t, VertexKeyHash> seen;
  const unsigned numMaterials = scene->mNumMaterials;

  // Faces grouped by material, each group one subset whose attribute id is the material's index.
  // Polygons are split into fans (0, k, k + 1) as D3DX does.
  for (unsigned m = 0; m < numMaterials; ++m) {
    D3DXATTRIBUTERANGE range{m, mesh->GetNumFaces(), 0, 0, 0};
    uint32_t lo = UINT32_MAX, hi = 0;
    for (const PlacedMesh& pm : placed) {
      if (pm.mesh->mMaterialIndex != m) continue;
      // Exactly the identity: aiMatrix4x4::IsIdentity takes offsets below 0.01 for none.
      const bool identity = pm.transform == aiMatrix4x4();
      for (unsigned f = 0; f < pm.mesh->mNumFaces; ++f) {
        const aiFace& face = pm.mesh->mFaces[f];
        for (unsigned k = 1; k + 1 < face.mNumIndices; ++k) {
          for (const unsigned corner : {face.mIndices[0], face.mIndices[k], face.mIndices[k + 1]}) {
            if (corner >= pm.mesh->mNumVertices) throw LoadError(file, "face index out of range");
            const VertexKey key{ToVertex(*pm.mesh, corner, pm.transform, identity)};
            auto [it, added] = seen.try_emplace(key, static_cast<uint32_t>(mesh->vertices.size()));
            if (added) mesh->vertices.push_back(key.v);
            mesh->indices.push_back(it->second);
            lo = std::min(lo, it->second);
            hi = std::max(hi, it->second);
          }
          ++range.FaceCount;
        }
      }
    }
    if (range.FaceCount > 0) {
      range.VertexStart = lo;
      range.VertexCount = hi - lo + 1;
    }
    mesh->subsets.push_back(range);
  }

  if (materials != nullptr) {
    materials->clear();
    for (unsigned m = 0; m < numMaterials; ++m) materials->push_back(ToMaterial(*scene->mMaterials[m]));
  }
  return mesh;
}

HRESULT ID3DXMesh::DrawSubset(Device& device, uint32_t attribId) const {
  for (const D3DXATTRIBUTERANGE& range : subsets) {
    if (range.AttribId != attribId) continue;
    if (range.FaceCount == 0) return D3D_OK;
    device.SetVertexShader(kFvfVertex3D);
    return device.DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, GetNumVertices(), range.FaceCount,
                                         indices.data() + static_cast<size_t>(range.FaceStart) * 3,
                                         vertices.data(), sizeof(Vertex3D));
  }
  return D3D_OK;
}

}  // namespace plat
