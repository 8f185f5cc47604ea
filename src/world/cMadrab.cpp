#include "world/cMadrab.h"

#include <cmath>
#include <string>

#include "platform/app_path.h"
#include "world/geometry.h"

using world::MakeVertex;

void cMadrab::init(int16_t cindex, plat::Device& device, plat::D3DX8& d3dx) {
  cposx = 0;
  cposz = 0;
  mHeight = 0.25f;
  mLength = 1.0f;
  mWidth = 0.5f;

  const std::string base = "\\Rackets\\racket" + std::to_string(cindex);
  topTexture = d3dx.CreateTextureFromFile(device, plat::AppFile(base + ".tga"));
  sideTexture = d3dx.CreateTextureFromFile(device, plat::AppFile(base + "s.tga"));
  shadowTexture = d3dx.CreateTextureFromFile(device, plat::AppFile("\\Rackets\\Rshadow.tga"));

  // Curved wall: a half circle of radius 0.5 about local (0, 0.5), 16 floor/top pairs.
  for (int i = 0; i <= 30; i += 2) {
    const double deg = rRight ? (i + 45) * 6.0 : (i - 45) * 6.0;
    const double r = deg * world::kPi / 180.0;
    const auto x = static_cast<float>(std::cos(r) / 2);
    const auto z = static_cast<float>(std::sin(r) / 2 + 0.5);
    if (rRight) {
      sideStrip[i] = MakeVertex(x, 0, z, 0, 0, 0, 0, 0);
      sideStrip[i + 1] = MakeVertex(x, mHeight, z, 0, 0, 0, 0, 0);
    } else {
      sideStrip[i + 1] = MakeVertex(x, 0, z, 0, 0, 0, 0, 0);
      sideStrip[i] = MakeVertex(x, 0.25f, z, 0, 0, 0, 0, 0);
    }
  }
  for (int i = 0; i <= 30; ++i) {
    sideStrip[i].tu = static_cast<float>(i / 30.0);
    sideStrip[i].tv = static_cast<float>(i / 30.0);
  }
  // Vertex 31 keeps (0, 0).
  for (size_t i = 0; i <= 29; ++i) world::NormaliseTriangle(sideStrip, i);

  const float L = mLength, W = mWidth, h = mHeight;
  if (rRight) {
    flatFace = {MakeVertex(0, h, L, 0, 0, 0, 1, 1), MakeVertex(0, 0, 0, 0, 0, 0, 0, 0),
                MakeVertex(0, h, 0, 0, 0, 0, 1, 0), MakeVertex(0, h, L, 0, 0, 0, 1, 1),
                MakeVertex(0, 0, L, 0, 0, 0, 0, 1), MakeVertex(0, 0, 0, 0, 0, 0, 0, 0)};
    topFace = {MakeVertex(0, h, L, 0, 0, 0, 1, 0), MakeVertex(W, h, 0, 0, 0, 0, 0, 1),
               MakeVertex(0, h, 0, 0, 0, 0, 1, 1), MakeVertex(W, h, L, 0, 0, 0, 0, 0),
               MakeVertex(W, h, 0, 0, 0, 0, 0, 1), MakeVertex(0, h, L, 0, 0, 0, 1, 0)};
  } else {
    flatFace = {MakeVertex(0, h, 0, 0, 0, 0, 1, 0), MakeVertex(0, 0, 0, 0, 0, 0, 0, 0),
                MakeVertex(0, h, L, 0, 0, 0, 1, 1), MakeVertex(0, 0, 0, 0, 0, 0, 0, 0),
                MakeVertex(0, 0, L, 0, 0, 0, 0, 1), MakeVertex(0, h, L, 0, 0, 0, 1, 1)};
    topFace = {MakeVertex(0, h, 0, 0, 0, 0, 1, 1),  MakeVertex(-W, h, 0, 0, 0, 0, 0, 1),
               MakeVertex(0, h, L, 0, 0, 0, 1, 0),  MakeVertex(0, h, L, 0, 0, 0, 1, 0),
               MakeVertex(-W, h, 0, 0, 0, 0, 0, 1), MakeVertex(-W, h, L, 0, 0, 0, 0, 0)};
  }
  world::NormaliseTriangle(flatFace, 0);
  world::NormaliseTriangle(flatFace, 3);
  world::NormaliseTriangle(topFace, 0);
  world::NormaliseTriangle(topFace, 3);
}

void cMadrab::Shift(double dx, double dz) {
  auto shift = [dx, dz](plat::Vertex3D& v) {
    v.x = static_cast<float>(v.x + dx);
    v.z = static_cast<float>(v.z + dz);
  };
  for (auto& v : sideStrip) shift(v);
  for (auto& v : topFace) shift(v);
  for (auto& v : flatFace) shift(v);
}

void cMadrab::ReadPosition() {
  const plat::Vertex3D& ref = rRight ? flatFace[2] : flatFace[0];
  cposx = ref.x;
  cposz = ref.z;
}

void cMadrab::Translate_Racket(double x, double z) {
  const double dx = x - cposx;
  const double dz = (z - mLength / 2) - cposz;
  Shift(dx, dz);
  ReadPosition();
}

void cMadrab::fMove(int16_t fps, int16_t Xdir, int16_t Zdir) {
  X_dir = Xdir;
  const double sx = Xdir * rspeed / fps;
  const double sz = Zdir * rspeed / fps;
  Shift(sx, sz);
  ReadPosition();
}

void cMadrab::Render(plat::Device& device) {
  plat::D3DMATERIAL8 m{};
  m.Diffuse = {5, 5, 5, 0};
  m.Ambient = {35, 35, 35, 0};
  m.Specular = {255, 250, 50, 0};
  m.Emissive = {0, 0, 0, 0};
  m.Power = 50;
  device.SetMaterial(m);
  device.SetRenderState(plat::D3DRS_CULLMODE, plat::D3DCULL_NONE);
  device.SetRenderState(plat::D3DRS_SPECULARENABLE, 1);
  device.SetVertexShader(plat::kFvfVertex3D);

  device.SetTexture(0, sideTexture.get());
  device.DrawPrimitiveUP(plat::D3DPT_TRIANGLELIST, 2, flatFace.data(), sizeof(plat::Vertex3D));
  device.DrawPrimitiveUP(plat::D3DPT_TRIANGLESTRIP, 30, sideStrip.data(), sizeof(plat::Vertex3D));

  device.SetRenderState(plat::D3DRS_SRCBLEND, plat::D3DBLEND_SRCALPHA);
  device.SetRenderState(plat::D3DRS_DESTBLEND, plat::D3DBLEND_INVSRCALPHA);
  device.SetRenderState(plat::D3DRS_ALPHABLENDENABLE, 1);
  device.SetTexture(0, topTexture.get());
  device.DrawPrimitiveUP(plat::D3DPT_TRIANGLELIST, 2, topFace.data(), sizeof(plat::Vertex3D));

  device.SetRenderState(plat::D3DRS_ALPHABLENDENABLE, 0);
  device.SetRenderState(plat::D3DRS_SPECULARENABLE, 0);
}

void cMadrab::Render_Shadow(plat::Device& device) {
  device.SetRenderState(plat::D3DRS_SRCBLEND, plat::D3DBLEND_SRCALPHA);
  device.SetRenderState(plat::D3DRS_DESTBLEND, plat::D3DBLEND_INVSRCALPHA);
  device.SetRenderState(plat::D3DRS_ALPHABLENDENABLE, 1);
  device.SetRenderState(plat::D3DRS_CULLMODE, plat::D3DCULL_NONE);
  device.SetTexture(0, shadowTexture.get());
  device.SetVertexShader(plat::kFvfVertex3D);
  device.DrawPrimitiveUP(plat::D3DPT_TRIANGLELIST, 2, topFace.data(), sizeof(plat::Vertex3D));
  device.SetRenderState(plat::D3DRS_ALPHABLENDENABLE, 0);
  device.SetRenderState(plat::D3DRS_SPECULARENABLE, 0);
}
