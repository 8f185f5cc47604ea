// Flat pictures given in screen pixels: cTLSquare, the tinted BcTLSquare, and cButton.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/d3dx8.h"

class cTLSquare {
 public:
  void init(double width, double height, double sleft, double sqtop, const std::string& Texturepath,
            double texwidth, double texheight, plat::Device& device, plat::D3DX8& d3dx);
  void draw(plat::Device& device);

  const std::array<plat::ScreenVertex, 4>& Vertices() const { return v_; }
  plat::Texture* TextureObject() const { return texture_.get(); }

 private:
  std::array<plat::ScreenVertex, 4> v_{};
  plat::TexturePtr texture_;
};

class BcTLSquare {
 public:
  void init(double width, double height, double sleft, double sqtop, const std::string& Texturepath,
            double texwidth, double texheight, plat::D3DCOLOR tcolor, plat::Device& device, plat::D3DX8& d3dx);
  void draw(plat::Device& device);
  void ch_color(plat::D3DCOLOR color);

  const std::array<plat::ScreenVertex, 4>& Vertices() const { return v_; }
  plat::Texture* TextureObject() const { return texture_.get(); }

 private:
  std::array<plat::ScreenVertex, 4> v_{};
  plat::TexturePtr texture_;
};

class cButton {
 public:
  int32_t E = 0;

  void init(double bWIdth, double bheight, const std::string& bmpp, const std::string& bmpp1,
            const std::string& bmpp2, double bleft, double btop, double tex_width, double tex_height,
            plat::Device& device, plat::D3DX8& d3dx);
  void draw(plat::Device& device);
  void RESET();

  const BcTLSquare* Square() const { return square_.get(); }

 private:
  std::unique_ptr<BcTLSquare> square_;
};
