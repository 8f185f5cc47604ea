// X meshes through Assimp, brought to what D3DX's loader hands back: one mesh in the file's
// own coordinates, 32-byte position-normal-texture vertices, one subset per material.
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <sys/stat.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

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

// Assimp sizes its arrays from the counts an X file gives before it reads what they count, so a
// damaged count has it ask for gigabytes. No count of a mesh can exceed the file's size (every
// vertex, face or index takes a byte at least), so a file holding a larger whole number is
// refused before Assimp reads it: every number written without a point, comments aside. Quoted
// text is not skipped, nor a # inside a word: the reader takes them as such only in some
// places, and a stray quote once hid a count of billions.
bool HasNumberLargerThanFile(const std::string& bytes) {
  const uint64_t size = bytes.size();
  size_t i = std::min<size_t>(16, bytes.size());  // after the header
  while (i < bytes.size()) {
    const char c = bytes[i];
    // A comment starts where a token could: after white space or ; , { }.
    const char before = bytes[i - 1];
    const bool tokenStart = std::isspace(static_cast<unsigned char>(before)) || before == ';' ||
                            before == ',' || before == '{' || before == '}';
    if (tokenStart && (c == '#' || (c == '/' && i + 1 < bytes.size() && bytes[i + 1] == '/'))) {
      const size_t end = bytes.find('\n', i);
      i = end == std::string::npos ? bytes.size() : end + 1;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '-' || c == '+') {
      bool whole = true;
      uint64_t value = 0;
      for (; i < bytes.size(); ++i) {
        const auto d = static_cast<unsigned char>(bytes[i]);
        if (!std::isalnum(d) && d != '_' && d != '.' && d != '-' && d != '+') break;
        if (!std::isdigit(d)) {
          whole = false;
        } else if (whole) {
          value = std::min<uint64_t>(value * 10 + (d - '0'), UINT64_MAX / 20);
        }
      }
      if (whole && value > size) return true;
    } else {
      ++i;
    }
  }
  return false;
}

// The tokens of a text X file as Assimp's reader (5.2) cuts them: ; , { } alone, otherwise runs
// of anything but white space and those four; comments (# or // where a token starts) skipped.
// A quote is an ordinary character, except where the reader reads a texture file name
// (TextureFilename, a name perhaps, and a brace): there a string runs from quote to quote.
std::vector<std::string_view> XTokens(std::string_view text) {
  std::vector<std::string_view> out;
  size_t i = 0;
  const auto delimiter = [](char c) { return c == ';' || c == ',' || c == '{' || c == '}'; };
  const auto textureName = [&](size_t back) {
    return out.size() >= back &&
           (out[out.size() - back] == "TextureFilename" || out[out.size() - back] == "TextureFileName");
  };
  while (i < text.size()) {
    const char c = text[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '#' || (c == '/' && i + 1 < text.size() && text[i + 1] == '/')) {
      const size_t end = text.find('\n', i);
      i = end == std::string_view::npos ? text.size() : end + 1;
    } else if (delimiter(c)) {
      out.push_back(text.substr(i++, 1));
    } else if (c == '"' && !out.empty() && out.back() == "{" && (textureName(2) || textureName(3))) {
      const size_t end = text.find('"', i + 1);
      const size_t stop = end == std::string_view::npos ? text.size() : end + 1;
      out.push_back(text.substr(i, stop - i));
      i = stop;
    } else {
      const size_t start = i;
      while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) && !delimiter(text[i]))
        ++i;
      out.push_back(text.substr(start, i - start));
    }
  }
  return out;
}

// Where the reader does not read a texture name, it cuts a quoted text like any other; where
// it does, it reads the text whole. The reader tells the two places apart by what it is
// reading, these checks by the tokens before, and the two can disagree (a texture name in an
// object the reader skips, an odd name between TextureFilename and its brace). Files where that
// would change the braces or hide a word are refused: a texture name holding a brace or a
// comment mark, or a quote that opens a token and does not close it (a stray quote once hid a
// second material list).
bool HasQuoteReadTwoWays(const std::vector<std::string_view>& t) {
  for (const std::string_view token : t) {
    if (token.empty() || token[0] != '"') continue;
    if (token.size() < 2 || token.back() != '"') return true;
    const std::string_view inside = token.substr(1, token.size() - 2);
    if (inside.find_first_of("{}#\"") != std::string_view::npos ||
        inside.find("//") != std::string_view::npos)
      return true;
  }
  return false;
}

bool AllDigits(std::string_view t) {
  return !t.empty() &&
         std::all_of(t.begin(), t.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// A token written as a whole number of at most 18 digits, or nothing.
std::optional<uint64_t> Whole(std::string_view t) {
  if (!AllDigits(t) || t.size() > 18) return std::nullopt;
  return std::stoull(std::string(t));
}

// A count as the reader reads it: digits, perhaps after a minus sign, which wraps it round an
// unsigned int (so "-0" is 0); nothing for anything else or past 18 digits.
std::optional<uint64_t> ReaderCount(std::string_view t) {
  const bool negative = !t.empty() && t[0] == '-';
  const std::optional<uint64_t> value = Whole(negative ? t.substr(1) : t);
  if (!value || !negative) return value;
  return uint32_t{0} - static_cast<uint32_t>(*value);
}

// The start of a mesh as the reader reads it: the vertex count, three numbers a vertex, the
// face count. `next` is the token after the face count.
struct MeshStart {
  uint64_t vertices = 0;
  uint64_t faces = 0;
  size_t next = 0;
};

bool IsNumberToken(std::string_view x) { return x != ";" && x != "," && x != "{" && x != "}"; }

// The next number token from k on, separators skipped; empty at the end or at a brace.
std::string_view NextNumber(const std::vector<std::string_view>& t, size_t& k) {
  while (k < t.size() && (t[k] == ";" || t[k] == ",")) ++k;
  if (k >= t.size() || !IsNumberToken(t[k])) return {};
  return t[k++];
}

// The mesh whose "Mesh" token is t[i]; nothing where it does not read that way (the reader's
// own errors then stand).
std::optional<MeshStart> ReadMeshStart(const std::vector<std::string_view>& t, size_t i) {
  size_t k = i + 1;
  if (k < t.size() && t[k] != "{") ++k;  // a name
  if (k >= t.size() || t[k++] != "{") return std::nullopt;
  MeshStart m;
  const std::optional<uint64_t> vertices = ReaderCount(NextNumber(t, k));
  if (!vertices) return std::nullopt;
  m.vertices = *vertices;
  for (uint64_t n = 0; n < m.vertices * 3; ++n)
    if (NextNumber(t, k).empty()) return std::nullopt;
  const std::optional<uint64_t> faces = ReaderCount(NextNumber(t, k));
  if (!faces) return std::nullopt;
  m.faces = *faces;
  m.next = k;
  return m;
}

// Assimp's X reader (5.2) does not check a face's vertex indices against the mesh's vertices
// everywhere, and one past the end had it allocate gigabytes. A mesh whose faces, read as the
// reader reads them (after the mesh's start, each face's index count and indices), name a
// vertex it does not have is refused.
bool HasFaceIndexPastTheVertices(const std::vector<std::string_view>& t) {
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] != "Mesh") continue;
    const std::optional<MeshStart> mesh = ReadMeshStart(t, i);
    if (!mesh) continue;
    size_t k = mesh->next;
    for (uint64_t f = 0; f < mesh->faces; ++f) {
      const std::optional<uint64_t> count = Whole(NextNumber(t, k));
      if (!count) break;
      for (uint64_t n = 0; n < *count; ++n) {
        const std::string_view index = NextNumber(t, k);
        if (!AllDigits(index)) break;
        const std::optional<uint64_t> value = Whole(index);
        if (!value || *value >= mesh->vertices) return true;  // past the vertices (or 18 digits)
      }
    }
  }
  return false;
}

// Assimp's X reader (5.2) dereferences past the end of a mesh's material list when the list
// holds no material it can read, and crashes. So every MeshMaterialList must be what the reader
// takes in: one list a mesh, two counts, that many face indices, each followed by ; or , and
// then only materials, {references} and semicolons, at least one material. Anything else is
// refused.
bool HasUnreadableMaterialList(const std::vector<std::string_view>& t) {
  const auto at = [&](size_t k) { return k < t.size() ? t[k] : std::string_view(); };
  // A second list in one mesh adds face materials past the mesh's faces, and the reader then
  // reads faces that are not there. Every list within a mesh's braces counts, also inside an
  // object the reader skips (a mesh in a mesh, say): the reader may end the skip elsewhere.
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] != "Mesh") continue;
    size_t k = i + 1;
    if (at(k) != "{") ++k;  // a name
    if (at(k) != "{") continue;
    int lists = 0;
    for (int depth = 0; k < t.size(); ++k) {
      depth += t[k] == "{" ? 1 : t[k] == "}" ? -1 : 0;
      if (depth == 0) break;
      if (t[k] == "MeshMaterialList" && ++lists > 1) return true;
    }
    // A mesh without faces takes a list of one face material all the same, and the reader
    // then reads a face that is not there (a crash).
    const std::optional<MeshStart> mesh = ReadMeshStart(t, i);
    if (lists > 0 && mesh && mesh->faces == 0) return true;
  }
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] != "MeshMaterialList") continue;
    size_t k = i + 1;
    if (at(k) != "{") ++k;  // a name
    if (at(k++) != "{") return true;
    // The material count, the face count and the face indices.
    uint64_t indices = 0;
    for (uint64_t n = 0; n < indices + 2; ++n) {
      const std::optional<uint64_t> value = Whole(at(k));
      if (!value || (at(k + 1) != ";" && at(k + 1) != ",")) return true;
      if (n == 1) indices = *value;
      k += 2;
    }
    int materials = 0;
    for (;;) {
      const std::string_view token = at(k++);
      if (token == "}") break;
      if (token == ";") continue;
      if (token == "{") {  // a reference: {Name}
        if (at(k) == "{" || at(k) == "}" || at(k + 1) != "}") return true;
        k += 2;
      } else if (token == "Material") {
        if (at(k) != "{") ++k;  // a name
        if (at(k++) != "{") return true;
        for (int depth = 1; depth > 0; ++k) {
          if (k >= t.size()) return true;
          depth += t[k] == "{" ? 1 : t[k] == "}" ? -1 : 0;
        }
      } else {
        return true;  // another object, a comma, or the end of the file
      }
      ++materials;
    }
    if (materials == 0) return true;
    i = k - 1;
  }
  return false;
}

D3DCOLORVALUE Rgb(const aiColor3D& c, float a) { return D3DCOLORVALUE{c.r, c.g, c.b, a}; }

// As D3DX fills it from an X file's Material: faceColor (RGBA) is the diffuse colour, power the
// specular power, specularColor and emissiveColor come with alpha 1, and the file has no ambient
// colour, so ambient is black (alpha 1).
D3DXMATERIAL ToMaterial(const aiMaterial& m) {
  D3DXMATERIAL out{};
  aiColor4D diffuse(0, 0, 0, 1);
  m.Get(AI_MATKEY_COLOR_DIFFUSE, diffuse);
  out.MatD3D.Diffuse = D3DCOLORVALUE{diffuse.r, diffuse.g, diffuse.b, diffuse.a};
  out.MatD3D.Ambient = D3DCOLORVALUE{0, 0, 0, 1};
  aiColor3D specular(0, 0, 0), emissive(0, 0, 0);
  m.Get(AI_MATKEY_COLOR_SPECULAR, specular);
  m.Get(AI_MATKEY_COLOR_EMISSIVE, emissive);
  out.MatD3D.Specular = Rgb(specular, 1);
  out.MatD3D.Emissive = Rgb(emissive, 1);
  float power = 0;
  m.Get(AI_MATKEY_SHININESS, power);
  out.MatD3D.Power = power;

  // The one TextureFilename of the material, as written. Assimp files it by what the name
  // suggests (diffuse unless it says bump, normal, ...), so look through every kind.
  aiString name;
  if (m.GetTexture(aiTextureType_DIFFUSE, 0, &name) == AI_SUCCESS) {
    out.pTextureFilename = name.C_Str();
  } else {
    for (int t = aiTextureType_NONE + 1; t <= aiTextureType_UNKNOWN; ++t) {
      if (m.GetTexture(static_cast<aiTextureType>(t), 0, &name) == AI_SUCCESS) {
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
    if (HasNumberLargerThanFile(bytes)) throw LoadError(file, "a count larger than the file");
    const std::vector<std::string_view> tokens = XTokens(std::string_view(bytes).substr(16));
    if (HasQuoteReadTwoWays(tokens)) throw LoadError(file, "a quote the X reader could read two ways");
    if (HasUnreadableMaterialList(tokens)) throw LoadError(file, "a material list the X reader cannot take");
    if (HasFaceIndexPastTheVertices(tokens)) {
      throw LoadError(file, "a face names a vertex the mesh does not have");
    }
  }

  // Assimp turns X files right-handed; converting back to left-handed gives the file's own
  // positions, normals, texture coordinates, winding and frame transforms, one vertex per
  // face corner. Shared vertices are rebuilt below.
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(file, aiProcess_ConvertToLeftHanded);
  if (scene == nullptr) throw LoadError(file, std::string("cannot read mesh: ") + importer.GetErrorString());
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
      const bool identity = pm.transform.IsIdentity();
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
