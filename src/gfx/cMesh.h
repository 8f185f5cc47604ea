// A model from an X file, fitted once into a box and drawn subset by subset.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3dx8.h"

class cMesh {
 public:
  std::unique_ptr<plat::ID3DXMesh> Mesh;
  double mPositionx = 0, mPositiony = 0, mPositionz = 0;

  // Returns true when loaded; throws plat::LoadError naming the file otherwise.
  bool LoadMesh(const std::string& Filename, const std::string& TexturePrefix, plat::Device& device,
                plat::D3DX8& d3dx, const std::string& TName);
  void ScaleToSize_AND_TranslateToPoint(double x, double y, double z, double Destx, double Desty, double Destz,
                                        plat::Device& device, plat::D3DX8& d3dx);
  void drawmesh(plat::Device& device, const plat::D3DMATERIAL8& CustomMtrl, bool customMat);

  double Width() const { return width_; }
  double Height() const { return height_; }
  double Depth() const { return depth_; }
  int16_t ReferenceVertex() const { return ref_; }

 private:
  void Measure();

  std::vector<plat::D3DXMATERIAL> materialsBuffer_;
  int32_t numMaterials_ = 0;
  std::vector<plat::D3DMATERIAL8> materials_;
  std::vector<plat::TexturePtr> textures_;
  std::string texturePrefix_, lastTextureName_;
  std::vector<plat::Vertex3D> vertexCopy_;
  double width_ = 0, height_ = 0, depth_ = 0;
  int16_t ref_ = 0;
};
