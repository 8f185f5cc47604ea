// Small vertex helpers shared by the table, the ball and the rackets.
#pragma once

#include "platform/d3dx8.h"

namespace world {

// The ball and racket code turns degrees into radians with pi taken as 22/7.
constexpr double kPi = 22.0 / 7.0;

inline plat::Vertex3D MakeVertex(float x, float y, float z, float nx, float ny, float nz, float tu,
                                 float tv) {
  return plat::Vertex3D{x, y, z, nx, ny, nz, tu, tv};
}

inline plat::D3DXVECTOR3 MakeVector(float x, float y, float z) { return plat::D3DXVECTOR3{x, y, z}; }

// Unit normal of the triangle a, b, c: (b - a) x (c - a), normalised.
inline plat::D3DXVECTOR3 FaceNormal(const plat::Vertex3D& a, const plat::Vertex3D& b,
                                    const plat::Vertex3D& c) {
  const plat::D3DXVECTOR3 va = MakeVector(a.x, a.y, a.z);
  const plat::D3DXVECTOR3 vb = MakeVector(b.x, b.y, b.z);
  const plat::D3DXVECTOR3 vc = MakeVector(c.x, c.y, c.z);
  plat::D3DXVECTOR3 ab{}, ac{}, cross{}, n{};
  plat::D3DXVec3Subtract(&ab, &vb, &va);
  plat::D3DXVec3Subtract(&ac, &vc, &va);
  plat::D3DXVec3Cross(&cross, &ab, &ac);
  plat::D3DXVec3Normalize(&n, &cross);
  return n;
}

inline void SetNormal(plat::Vertex3D& v, const plat::D3DXVECTOR3& n) {
  v.nx = n.x;
  v.ny = n.y;
  v.nz = n.z;
}

// Writes the normal of triangle (first, first + 1, first + 2) into those three vertices.
template <typename Array>
void NormaliseTriangle(Array& verts, size_t first) {
  const plat::D3DXVECTOR3 n = FaceNormal(verts[first], verts[first + 1], verts[first + 2]);
  SetNormal(verts[first], n);
  SetNormal(verts[first + 1], n);
  SetNormal(verts[first + 2], n);
}

}  // namespace world
