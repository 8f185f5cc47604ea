// One device light slot.
#pragma once

#include <cstdint>

#include "platform/d3d8.h"

class cLights {
 public:
  int32_t ind = 0;

  void setDirectLight(int32_t A, int32_t R, int32_t G, int32_t B, double rang, double Attenuation1,
                      plat::D3DVECTOR direc, plat::Device& device);
  void setPointLight(plat::D3DVECTOR posi, int32_t A, int32_t R, int32_t G, int32_t B, double range,
                     double Attenuation1, plat::Device& device);
  void setSpotLight(plat::D3DVECTOR posi, int32_t A, int32_t R, int32_t G, int32_t B, double range,
                    double Attenuation1, plat::Device& device, plat::D3DVECTOR direc, double th, double ph);
  void EN(bool ena, plat::Device& device);

  const plat::D3DLIGHT8& Record() const { return light_; }

 private:
  plat::D3DLIGHT8 light_{};
};
