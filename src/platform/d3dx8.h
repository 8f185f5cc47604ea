// D3DX 8 stand-in: maths with D3DX's published formulas (row vectors), texture
// loading from TGA files, fonts and X meshes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/common/texture_cache.h"
#include "platform/d3d8.h"

namespace plat {

using D3DXVECTOR3 = D3DVECTOR;
using D3DXMATRIX = D3DMATRIX;
struct D3DXVECTOR4 {
  float x, y, z, w;
};
struct D3DXPLANE {
  float a, b, c, d;
};

constexpr int32_t D3DX_DEFAULT = -1;
constexpr DWORD D3DX_FILTER_NONE = 1;
constexpr DWORD D3DX_FILTER_POINT = 2;
constexpr DWORD D3DX_FILTER_LINEAR = 3;

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up);
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovy, float aspect, float zn, float zf);
D3DXMATRIX* D3DXMatrixShadow(D3DXMATRIX* out, const D3DXVECTOR4* light, const D3DXPLANE* plane);
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);
D3DXPLANE* D3DXPlaneFromPoints(D3DXPLANE* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b,
                               const D3DXVECTOR3* c);
D3DXVECTOR3* D3DXVec3Subtract(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b);
D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b);
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v);

constexpr D3DCOLOR D3DColorARGB(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return ((a & 0xFF) << 24) | ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}
constexpr D3DCOLOR D3DColorXRGB(uint32_t r, uint32_t g, uint32_t b) { return D3DColorARGB(255, r, g, b); }

// Decoded image: width × height texels 0xAARRGGBB, rows top-down.
struct DecodedImage {
  int width = 0, height = 0;
  std::vector<uint32_t> argb;
};
// Reads a TGA (common/tga_reader.h) or any other format SDL2_image knows into ARGB texels.
// Throws LoadError naming the file when it is missing, empty or undecodable.
DecodedImage LoadImageFile(const std::string& path);
// The same for a file's bytes already in memory; `name` names it in errors and, as for a
// path, its extension ".tga" picks the TGA reader.
DecodedImage DecodeImage(const void* data, size_t size, const std::string& name);
// Bilinear resize to width × height (no change when the size already matches).
DecodedImage ResizeImage(const DecodedImage& src, int width, int height);
// Texels of exactly colorKey's RGB (its alpha ignored when opaque) become transparent black.
void ApplyColorKey(DecodedImage& image, D3DCOLOR colorKey);

// Starts reading and decoding a picture file on the background thread (platform/background.h),
// so that a texture made from it later need not wait for the reading: the texture takes the
// decoded picture, unless the file changed in between. Errors are left to the texture's
// making, which then reads the file itself and names what is wrong with it.
void PrefetchPicture(const std::string& path);

// Decoded pictures are dropped once the textures made from them are uploaded. A process that
// makes the same textures on device after device (the unit tests) may keep them instead.
void KeepDecodedPictures(bool keep);

// Turns a game data path into this file system's: backslashes become slashes, and a
// component whose case differs from what is on disk is matched case-insensitively.
std::string NormalizePath(const std::string& path);

// X mesh in memory. Vertices keep the file's own coordinates and order and are brought to
// the 32-byte position-normal-texture record.
struct D3DXMATERIAL {
  D3DMATERIAL8 MatD3D;
  std::string pTextureFilename;  // as written in the file ("" when none)
};
struct D3DXATTRIBUTERANGE {
  uint32_t AttribId, FaceStart, FaceCount, VertexStart, VertexCount;
};
class ID3DXMesh {
 public:
  DWORD GetFVF() const { return kFvfVertex3D; }
  uint32_t GetNumBytesPerVertex() const { return sizeof(Vertex3D); }
  uint32_t GetNumVertices() const { return static_cast<uint32_t>(vertices.size()); }
  uint32_t GetNumFaces() const { return static_cast<uint32_t>(indices.size() / 3); }
  // The vertex buffer, GetNumVertices() records of GetNumBytesPerVertex() bytes.
  Vertex3D* LockVertexBuffer() { return vertices.data(); }
  HRESULT DrawSubset(Device& device, uint32_t attribId) const;

  std::vector<Vertex3D> vertices;
  std::vector<uint32_t> indices;  // three per face
  std::vector<D3DXATTRIBUTERANGE> subsets;
};

// The D3DX utility object.
class D3DX8 {
 public:
  // Texture at the file's own size, full mip chain.
  TexturePtr CreateTextureFromFile(Device& device, const std::string& path);
  // Texture scaled to width × height (D3DX_DEFAULT: the file's size); texels equal to
  // colorKey (when its alpha is not 0) become transparent black. A texture this object made
  // before from the same file, unchanged, with the same arguments and still in use, is
  // handed out again (common/texture_cache.h).
  TexturePtr CreateTextureFromFileEx(Device& device, const std::string& path, int32_t width, int32_t height,
                                     int32_t mipLevels, DWORD usage, D3DFORMAT format, DWORD pool,
                                     DWORD filter, DWORD mipFilter, D3DCOLOR colorKey);
  const TextureCache& Textures() const { return textures_; }
  FontPtr CreateFont(Device& device, const FontDesc& desc);
  HRESULT DrawText(Font& font, const char* text, const RECT& rect, DWORD format, D3DCOLOR color);
  // Throws LoadError naming the file when it is missing or not a mesh.
  std::unique_ptr<ID3DXMesh> LoadMeshFromX(const std::string& path, DWORD options, Device& device,
                                           std::vector<D3DXMATERIAL>* materials);

 private:
  // CreateTextureFromFileEx without the cache: the file read, decoded and uploaded.
  TexturePtr MakeTextureFromFile(Device& device, const std::string& path, int32_t width, int32_t height,
                                 int32_t mipLevels, DWORD usage, D3DFORMAT format, DWORD pool, DWORD filter,
                                 DWORD mipFilter, D3DCOLOR colorKey);

  TextureCache textures_;
};

}  // namespace plat
