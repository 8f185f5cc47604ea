// D3DX maths with the library's published formulas, row-vector convention.
#include <cmath>

#include "platform/d3dx8.h"

namespace plat {

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out) {
  *out = D3DXMATRIX{};
  for (int i = 0; i < 4; ++i) out->m[i][i] = 1.0f;
  return out;
}

D3DXVECTOR3* D3DXVec3Subtract(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
  *out = {a->x - b->x, a->y - b->y, a->z - b->z};
  return out;
}

D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
  *out = {a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z, a->x * b->y - a->y * b->x};
  return out;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
  const float len = std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z);
  if (len == 0.0f) {
    *out = {0.0f, 0.0f, 0.0f};  // as D3DX: a zero vector stays zero
  } else {
    *out = {v->x / len, v->y / len, v->z / len};
  }
  return out;
}

static float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up) {
  D3DXVECTOR3 z, x, y, d;
  D3DXVec3Subtract(&d, at, eye);
  D3DXVec3Normalize(&z, &d);
  D3DXVec3Cross(&d, up, &z);
  D3DXVec3Normalize(&x, &d);
  D3DXVec3Cross(&y, &z, &x);
  *out = D3DXMATRIX{{{x.x, y.x, z.x, 0.0f},
                     {x.y, y.y, z.y, 0.0f},
                     {x.z, y.z, z.z, 0.0f},
                     {-Dot(x, *eye), -Dot(y, *eye), -Dot(z, *eye), 1.0f}}};
  return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovy, float aspect, float zn, float zf) {
  const float ys = 1.0f / std::tan(fovy / 2.0f);
  const float xs = ys / aspect;
  *out = D3DXMATRIX{{{xs, 0.0f, 0.0f, 0.0f},
                     {0.0f, ys, 0.0f, 0.0f},
                     {0.0f, 0.0f, zf / (zf - zn), 1.0f},
                     {0.0f, 0.0f, -zn * zf / (zf - zn), 0.0f}}};
  return out;
}

D3DXMATRIX* D3DXMatrixShadow(D3DXMATRIX* out, const D3DXVECTOR4* light, const D3DXPLANE* plane) {
  // Normalise the plane, then M = d·I − P (column) × L (row), d = P·L.
  D3DXPLANE p = *plane;
  const float n = std::sqrt(p.a * p.a + p.b * p.b + p.c * p.c);
  if (n != 0.0f) p = {p.a / n, p.b / n, p.c / n, p.d / n};
  const float d = p.a * light->x + p.b * light->y + p.c * light->z + p.d * light->w;
  const float P[4] = {p.a, p.b, p.c, p.d};
  const float L[4] = {light->x, light->y, light->z, light->w};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      out->m[i][j] = (i == j ? d : 0.0f) - P[i] * L[j];
    }
  }
  return out;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b) {
  D3DXMATRIX r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      r.m[i][j] = a->m[i][0] * b->m[0][j] + a->m[i][1] * b->m[1][j] + a->m[i][2] * b->m[2][j] +
                  a->m[i][3] * b->m[3][j];
    }
  }
  *out = r;
  return out;
}

D3DXPLANE* D3DXPlaneFromPoints(D3DXPLANE* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b,
                               const D3DXVECTOR3* c) {
  D3DXVECTOR3 e1, e2, n, nn;
  D3DXVec3Subtract(&e1, b, a);
  D3DXVec3Subtract(&e2, c, a);
  D3DXVec3Cross(&n, &e1, &e2);
  D3DXVec3Normalize(&nn, &n);
  *out = {nn.x, nn.y, nn.z, -Dot(nn, *a)};
  return out;
}

}  // namespace plat
