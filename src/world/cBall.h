// The puck ("the ball"): its geometry, its motion over the table with wall bounces,
// goals and corner pockets, its drawing and its goal sound.
#pragma once

#include <array>
#include <cstdint>

#include "platform/d3d8.h"
#include "platform/d3dx8.h"
#include "platform/dsound.h"
#include "world/ball_host.h"

class cBall {
 public:
  // Direction in degrees: the ball moves along (Xdir cos bAngle, Zdir sin bAngle).
  double bAngle = 0;
  double bspeed = 0;            // table units per second; set before init
  double bnspeed = 0;           // raised speed, 1.5 x base (a pocket re-serve)
  double baspeed = 0;           // base speed
  double cposx = 0, cposz = 0;  // centre, always read back from the geometry
  bool brGoal = false, blGoal = false, bRear = false, bFar = false, brPocket = false, blPocket = false;
  bool Goal = false;  // a goal was scored (or first serve): the ball rests until struck
  int16_t Xdir = 0, Zdir = 0;
  double aco = 0, asi = 0;  // this frame's x and z displacement, as the frame starts
  int16_t RScore = 0, LScore = 0;
  float Diff = 0;  // bspeed / fps, one frame's nominal distance

  // The match the ball calls back into (racket contact, reset, sounds, serve timer).
  // Owned by the caller; while null those calls are skipped.
  cBallHost* host = nullptr;

  // Derives the speeds, builds the rim at the origin, loads ball<cindex>.tga,
  // ball<cindex>s.tga and bshadow.tga, then builds the top. Throws plat::LoadError.
  void init(int16_t cindex, plat::Device& D3Ddevice, plat::D3DX8& d3dx);
  // Places the centre at (x, z).
  void Translate_ball(double x, double z);
  // One frame of motion at `fps` frames per second along `angle` degrees, with racket
  // contact (through host), walls, goals and pockets.
  void fMove(double fps, double angle);
  // Corner pocket test, once per frame.
  void Tablecoll1();
  // Re-serves the ball from the far end; Right: the pocket was at the -x end.
  void coll_rPockets(bool Right);

  void Render(plat::Device& D3Ddevice);
  void RenderShadow(plat::Device& D3Ddevice);
  // Creates the goal sound buffer from Sounds\goal.wav. Throws plat::LoadError.
  void load_sound(plat::SoundDevice& Ds);
  void Play_sound();

  // Read-only views of the geometry (table coordinates).
  const std::array<plat::Vertex3D, 62>& GetSideStrip() const { return sideStrip; }
  const std::array<plat::Vertex3D, 6>& GetTopFace() const { return topFace; }
  double GetBgap() const { return bgap; }
  // Sub-steps one fMove takes at `fps` frames per second (N + 1).
  static int SubSteps(double fps) { return StepDivisor(fps) + 1; }

 private:
  static int StepDivisor(double fps);
  void BuildSideStrip();
  void BuildTopFace();
  void ReadPosition();
  void CheckWalls();
  void ScoreGoal(double serveX, int16_t& score);
  void Bounce(double z, int post);  // post: -1 or 1 for a goal mouth's edge at z = -2.5 or 2.5, else 0
  int PocketEnd() const;
  float EdgeL() const;
  float EdgeR() const;
  float EdgeB() const;
  float EdgeF() const;
  void ClearFlags();
  void SetBallMaterial(plat::Device& D3Ddevice);

  std::array<plat::Vertex3D, 62> sideStrip{};
  std::array<plat::Vertex3D, 6> topFace{};
  plat::TexturePtr topTexture, sideTexture, shadowTexture;
  plat::SoundBufferPtr goalBuffer;
  double bgap = 0;
  int edgeTurns = 0;  // goal-mouth edge bounces in the current sub-step
};
