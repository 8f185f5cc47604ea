// A racket (mallet): a half-disc block with a flat back and a curved front wall. Its
// vertices are kept in table coordinates and shifted in place when it moves.
#pragma once

#include <array>
#include <cstdint>

#include "platform/d3d8.h"
#include "platform/d3dx8.h"

class cMadrab {
 public:
  double rspeed = 0;  // table units per second
  // Reference corner: top corner of the flat side at its smaller-z end. The flat side lies
  // on x = cposx from z = cposz to cposz + mLength. Read back from the geometry.
  double cposx = 0, cposz = 0;
  bool rRight = false;  // right racket (bulges to +x); set before init
  float mLength = 0;    // flat side along z
  float mWidth = 0;     // flat side to crown along x
  float mHeight = 0;
  int16_t X_dir = 0;    // x direction of the last fMove
  bool Moving = false;  // kept for the player controls; the racket never touches it

  // Resets the sizes, loads Rackets\racket<cindex>.tga, racket<cindex>s.tga and
  // Rshadow.tga, builds the geometry at the local origin. Throws plat::LoadError (before
  // any vertex is touched).
  void init(int16_t cindex, plat::Device& device, plat::D3DX8& d3dx);
  void Render(plat::Device& device);
  // Flat side on x = x, centred on z = z.
  void Translate_Racket(double x, double z);
  // One frame's step: direction x rspeed / fps along x and z (each -1, 0 or 1).
  void fMove(int16_t fps, int16_t Xdir, int16_t Zdir);
  void Render_Shadow(plat::Device& device);

  const std::array<plat::Vertex3D, 32>& GetSideStrip() const { return sideStrip; }
  const std::array<plat::Vertex3D, 6>& GetFlatFace() const { return flatFace; }
  const std::array<plat::Vertex3D, 6>& GetTopFace() const { return topFace; }

 private:
  void Shift(double dx, double dz);
  void ReadPosition();

  std::array<plat::Vertex3D, 32> sideStrip{};
  std::array<plat::Vertex3D, 6> flatFace{};
  std::array<plat::Vertex3D, 6> topFace{};
  plat::TexturePtr topTexture, sideTexture, shadowTexture;
};
