// A model from an X file with its materials and textures, fitted once into a box by
// rewriting its vertices and drawn subset by subset.
#include "gfx/cMesh.h"

#include <cstring>
#include <limits>

namespace {

// Texture names come as the modelling tool wrote them (".\wood.tga"): the folder part is
// dropped, the prefix gives the folder, and the loader matches letter case on disk.
std::string TextureName(const std::string& name) {
  if (name.size() >= 2 && name[0] == '.' && (name[1] == '\\' || name[1] == '/')) return name.substr(2);
  return name;
}

}  // namespace

bool cMesh::LoadMesh(const std::string& Filename, const std::string& TexturePrefix, plat::Device& device,
                     plat::D3DX8& d3dx, const std::string& TName) {
  texturePrefix_ = TexturePrefix;
  std::vector<plat::D3DXMATERIAL> buffer;
  std::unique_ptr<plat::ID3DXMesh> mesh =
      d3dx.LoadMeshFromX(Filename, plat::D3DXMESH_MANAGED, device, &buffer);
  const auto n = static_cast<int32_t>(buffer.size());
  std::vector<plat::D3DMATERIAL8> materials(static_cast<size_t>(n) + 1);
  std::vector<plat::TexturePtr> textures(static_cast<size_t>(n) + 1);

  device.SetRenderState(plat::D3DRS_ZENABLE, 1);
  for (int32_t i = 0; i < n; ++i) {
    materials[i] = buffer[i].MatD3D;
    device.SetMaterial(materials[i]);
    const std::string name = TextureName(TName.empty() ? buffer[i].pTextureFilename : TName);
    if (name.empty()) continue;  // drawn untextured
    lastTextureName_ = name;
    textures[i] = d3dx.CreateTextureFromFileEx(device, texturePrefix_ + name, 512, 512, plat::D3DX_DEFAULT, 0,
                                               plat::D3DFMT_UNKNOWN, plat::D3DPOOL_MANAGED,
                                               plat::D3DX_FILTER_LINEAR, plat::D3DX_FILTER_LINEAR, 0);
  }

  // Everything loaded: replace what an earlier load left.
  Mesh = std::move(mesh);
  materialsBuffer_ = std::move(buffer);
  numMaterials_ = n;
  materials_ = std::move(materials);
  textures_ = std::move(textures);
  const plat::Vertex3D* vb = Mesh->LockVertexBuffer();
  vertexCopy_.assign(vb, vb + Mesh->GetNumVertices());
  Measure();
  return true;
}

void cMesh::Measure() {
  width_ = height_ = depth_ = 0;
  ref_ = 0;
  mPositionx = mPositiony = mPositionz = 0;
  if (vertexCopy_.empty()) return;

  // First (lowest-index) vertex with the smallest and with the largest coordinate per axis.
  size_t minX = 0, maxX = 0, minY = 0, maxY = 0, minZ = 0, maxZ = 0;
  for (size_t i = 1; i < vertexCopy_.size(); ++i) {
    const plat::Vertex3D& v = vertexCopy_[i];
    if (v.x < vertexCopy_[minX].x) minX = i;
    if (v.x > vertexCopy_[maxX].x) maxX = i;
    if (v.y < vertexCopy_[minY].y) minY = i;
    if (v.y > vertexCopy_[maxY].y) maxY = i;
    if (v.z < vertexCopy_[minZ].z) minZ = i;
    if (v.z > vertexCopy_[maxZ].z) maxZ = i;
  }
  const double largeX = vertexCopy_[maxX].x, smallX = vertexCopy_[minX].x;
  const double largeZ = vertexCopy_[maxZ].z, smallZ = vertexCopy_[minZ].z;
  width_ = largeX - smallX;
  height_ = static_cast<double>(vertexCopy_[maxY].y) - vertexCopy_[minY].y;
  depth_ = largeZ - smallZ;

  // The reference vertex: nearest to the vertical axis through the middle of the footprint,
  // whatever its height.
  const double cx = (largeX + smallX) / 2, cz = (largeZ + smallZ) / 2;
  double best = std::numeric_limits<double>::infinity();
  for (size_t i = 0; i < vertexCopy_.size(); ++i) {
    const double dx = vertexCopy_[i].x - cx, dz = vertexCopy_[i].z - cz;
    const double d = dx * dx + dz * dz;
    if (d < best) {
      best = d;
      ref_ = static_cast<int16_t>(i);
    }
  }
  const plat::Vertex3D& r = vertexCopy_[static_cast<uint16_t>(ref_)];
  mPositionx = r.x;
  mPositiony = r.y;
  mPositionz = r.z;
}

void cMesh::ScaleToSize_AND_TranslateToPoint(double x, double y, double z, double Destx, double Desty,
                                             double Destz, plat::Device& /*device*/, plat::D3DX8& /*d3dx*/) {
  if (!Mesh || vertexCopy_.empty()) return;
  const double sx = x / width_, sy = y / height_, sz = z / depth_;
  const plat::Vertex3D& r = vertexCopy_[static_cast<uint16_t>(ref_)];
  const double ox = Destx - r.x * sx, oy = Desty - r.y * sy, oz = Destz - r.z * sz;
  for (plat::Vertex3D& v : vertexCopy_) {
    v.x = static_cast<float>(v.x * sx + ox);
    v.y = static_cast<float>(v.y * sy + oy);
    v.z = static_cast<float>(v.z * sz + oz);
  }
  std::memcpy(Mesh->LockVertexBuffer(), vertexCopy_.data(), vertexCopy_.size() * sizeof(plat::Vertex3D));
  Measure();
}

void cMesh::drawmesh(plat::Device& device, const plat::D3DMATERIAL8& CustomMtrl, bool customMat) {
  device.SetRenderState(plat::D3DRS_ZENABLE, 1);
  if (!Mesh) return;
  for (int32_t i = 0; i < numMaterials_; ++i) {
    device.SetMaterial(customMat ? CustomMtrl : materials_[i]);
    device.SetTexture(0, textures_[i].get());
    Mesh->DrawSubset(device, static_cast<uint32_t>(i));
  }
}
