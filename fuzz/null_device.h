// A device that draws nothing but checks what it is handed: every texel of a texture and
// every index and vertex of a mesh is read, so the sanitizers see a bad one.
#pragma once

#include "platform/d3d8.h"

namespace fuzz {

class NullDevice : public plat::Device {
 public:
  plat::HRESULT TestCooperativeLevel() override { return plat::D3D_OK; }
  plat::HRESULT Reset(const plat::D3DPRESENT_PARAMETERS&) override { return plat::D3D_OK; }
  plat::HRESULT Clear(plat::DWORD, plat::D3DCOLOR, float, plat::DWORD) override { return plat::D3D_OK; }
  plat::HRESULT BeginScene() override { return plat::D3D_OK; }
  plat::HRESULT EndScene() override { return plat::D3D_OK; }
  plat::HRESULT Present() override { return plat::D3D_OK; }
  plat::HRESULT SetRenderState(plat::D3DRENDERSTATETYPE, plat::DWORD) override { return plat::D3D_OK; }
  plat::HRESULT SetTransform(plat::D3DTRANSFORMSTATETYPE, const plat::D3DMATRIX&) override {
    return plat::D3D_OK;
  }
  plat::HRESULT SetTexture(plat::DWORD, plat::Texture*) override { return plat::D3D_OK; }
  plat::HRESULT SetTextureStageState(plat::DWORD, plat::D3DTEXTURESTAGESTATETYPE, plat::DWORD) override {
    return plat::D3D_OK;
  }
  plat::HRESULT SetVertexShader(plat::DWORD) override { return plat::D3D_OK; }
  plat::HRESULT SetMaterial(const plat::D3DMATERIAL8&) override { return plat::D3D_OK; }
  plat::HRESULT SetLight(plat::DWORD, const plat::D3DLIGHT8&) override { return plat::D3D_OK; }
  plat::HRESULT LightEnable(plat::DWORD, bool) override { return plat::D3D_OK; }
  plat::HRESULT DrawPrimitiveUP(plat::D3DPRIMITIVETYPE, uint32_t, const void*, uint32_t) override {
    return plat::D3D_OK;
  }
  plat::HRESULT DrawIndexedPrimitiveUP(plat::D3DPRIMITIVETYPE type, uint32_t vertexCount,
                                       uint32_t primitiveCount, const uint32_t* indices, const void* vertices,
                                       uint32_t stride) override;
  plat::TexturePtr CreateTexture(const plat::Image& image, bool mipmaps) override;
  plat::FontPtr CreateFont(const plat::FontDesc&) override { return nullptr; }

  // Sum of everything read, kept so that the reads are not optimised away.
  uint64_t checksum = 0;
};

}  // namespace fuzz
