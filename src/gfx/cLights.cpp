// One device light slot: fills the kept light record and hands it to the device.
#include "gfx/cLights.h"

namespace {

plat::D3DCOLORVALUE Colour(int32_t A, int32_t R, int32_t G, int32_t B) {
  // Integer channels go in unchanged: 255 stays 255.0, the lighting saturates.
  return plat::D3DCOLORVALUE{static_cast<float>(R), static_cast<float>(G), static_cast<float>(B),
                             static_cast<float>(A)};
}

}  // namespace

void cLights::setDirectLight(int32_t A, int32_t R, int32_t G, int32_t B, double rang, double Attenuation1,
                             plat::D3DVECTOR direc, plat::Device& device) {
  light_.Type = plat::D3DLIGHT_DIRECTIONAL;
  light_.Diffuse = Colour(A, R, G, B);
  light_.Direction = direc;
  light_.Range = static_cast<float>(rang);
  light_.Attenuation1 = static_cast<float>(Attenuation1);
  device.SetLight(static_cast<plat::DWORD>(ind), light_);
}

void cLights::setPointLight(plat::D3DVECTOR posi, int32_t A, int32_t R, int32_t G, int32_t B, double range,
                            double Attenuation1, plat::Device& device) {
  light_.Type = plat::D3DLIGHT_POINT;
  light_.Diffuse = Colour(A, R, G, B);
  light_.Position = posi;
  light_.Range = static_cast<float>(range);
  light_.Attenuation1 = static_cast<float>(Attenuation1);
  device.SetLight(static_cast<plat::DWORD>(ind), light_);
}

void cLights::setSpotLight(plat::D3DVECTOR posi, int32_t A, int32_t R, int32_t G, int32_t B, double range,
                           double Attenuation1, plat::Device& device, plat::D3DVECTOR direc, double th,
                           double ph) {
  light_.Type = plat::D3DLIGHT_SPOT;
  light_.Diffuse = Colour(A, R, G, B);
  light_.Specular = plat::D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
  light_.Position = posi;
  light_.Direction = direc;
  light_.Range = static_cast<float>(range);
  light_.Attenuation1 = static_cast<float>(Attenuation1);
  light_.Theta = static_cast<float>(th);
  light_.Phi = static_cast<float>(ph);
  device.SetLight(static_cast<plat::DWORD>(ind), light_);
}

void cLights::EN(bool ena, plat::Device& device) { device.LightEnable(static_cast<plat::DWORD>(ind), ena); }
