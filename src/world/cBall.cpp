#include "world/cBall.h"

#include "platform/vbrt.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <string>

#include "platform/app_path.h"
#include "world/geometry.h"

using world::MakeVertex;

namespace {

constexpr float kRadius = 0.125f;

// Corners of the top square relative to the centre, in vertex order: (x, z) signs and (u, v).
struct TopCorner {
  float sx, sz, tu, tv;
};
constexpr std::array<TopCorner, 6> kTopCorners = {
    {{1, -1, 1, 0}, {-1, 1, 0, 1}, {1, 1, 1, 1}, {-1, -1, 0, 0}, {-1, 1, 0, 1}, {1, -1, 1, 0}}};

double RimAngle(int i) { return 6.0 * i * world::kPi / 180.0; }


}  // namespace

int cBall::StepDivisor(double fps) {
  int n = static_cast<int>(std::nearbyint(std::fabs(100.0 - fps)));
  if (n < 15) n = 15;
  return n;
}

void cBall::init(int16_t cindex, plat::Device& D3Ddevice, plat::D3DX8& d3dx) {
  baspeed = bspeed;
  bnspeed = bspeed * 1.5;
  D3Ddevice.SetRenderState(plat::D3DRS_CULLMODE, plat::D3DCULL_NONE);
  D3Ddevice.SetRenderState(plat::D3DRS_ZENABLE, 1);
  BuildSideStrip();

  const std::string base = "\\Balls\\ball" + std::to_string(cindex);
  topTexture = d3dx.CreateTextureFromFile(D3Ddevice, plat::AppFile(base + ".tga"));
  sideTexture = d3dx.CreateTextureFromFile(D3Ddevice, plat::AppFile(base + "s.tga"));
  shadowTexture = d3dx.CreateTextureFromFile(D3Ddevice, plat::AppFile("\\Balls\\bshadow.tga"));

  // Taken from the top as it stands, before it is rebuilt at the origin.
  ReadPosition();
  Xdir = 1;
  Zdir = 1;
  BuildTopFace();
}

void cBall::BuildSideStrip() {
  for (int i = 0; i <= 60; i += 2) {
    const double r = RimAngle(i);
    const auto x = static_cast<float>(std::cos(r) / 8);
    const auto z = static_cast<float>(std::sin(r) / 8);
    sideStrip[i] = MakeVertex(x, 0.125f, z, 0, 0, 0, 0, 0);
    sideStrip[i + 1] = MakeVertex(x, 0, z, 0, 0, 0, 0, 0);
  }
  for (int k = 0; k <= 60; ++k) {
    sideStrip[k].tu = static_cast<float>(k / 60.0);
    sideStrip[k].tv = static_cast<float>(k / 60.0);
  }
  // Vertex 61 keeps (0, 0). A later triangle overwrites the normals of an earlier one.
  for (size_t k = 0; k <= 59; ++k) world::NormaliseTriangle(sideStrip, k);
}

void cBall::BuildTopFace() {
  for (size_t i = 0; i < topFace.size(); ++i) {
    const TopCorner& c = kTopCorners[i];
    topFace[i] = MakeVertex(c.sx * kRadius, 0.125f, c.sz * kRadius, 0, 0, 0, c.tu, c.tv);
  }
  world::NormaliseTriangle(topFace, 0);
  world::NormaliseTriangle(topFace, 3);
}

void cBall::ReadPosition() {
  cposx = static_cast<double>(topFace[0].x) - 0.125;
  cposz = static_cast<double>(topFace[0].z) + 0.125;
}

void cBall::Translate_ball(double x, double z) {
  for (int i = 0; i <= 60; i += 2) {
    const double r = RimAngle(i);
    const auto vx = static_cast<float>(x + std::cos(r) / 8);
    const auto vz = static_cast<float>(z + std::sin(r) / 8);
    sideStrip[i].x = vx;
    sideStrip[i].z = vz;
    sideStrip[i + 1].x = vx;
    sideStrip[i + 1].z = vz;
  }
  for (size_t i = 0; i < topFace.size(); ++i) {
    topFace[i].x = static_cast<float>(x + kTopCorners[i].sx * 0.125);
    topFace[i].z = static_cast<float>(z + kTopCorners[i].sz * 0.125);
  }
  ReadPosition();
}

void cBall::fMove(double fps, double angle) {
  bAngle = angle;
  if (angle == 0) bAngle = -0.01;
  const double r = bAngle * world::kPi / 180.0;
  aco = std::cos(r) * bspeed * Xdir / fps;
  asi = std::sin(r) * bspeed * Zdir / fps;

  const int n = StepDivisor(fps);
  const double dx = aco / n;
  double dz = asi / n;
  for (int i = 0; i <= n; ++i) {
    for (auto& v : sideStrip) {
      v.x = static_cast<float>(v.x + dx);
      v.z = static_cast<float>(v.z + dz);
    }
    for (auto& v : topFace) {
      v.x = static_cast<float>(v.x + dx);
      v.z = static_cast<float>(v.z + dz);
    }
    ReadPosition();
    Diff = static_cast<float>(bspeed / fps);
    bgap = 2 * bspeed / fps;
    if (host != nullptr && !host->Coll_thisloop()) host->Checkcoll();
    edgeTurns = 0;
    CheckWalls();
    // Off a goal mouth's edge the ball turns at once: the rest of the frame's sub-steps take
    // it away from the edge. Carried on towards it, it would meet the band again within the
    // frame and be bounced back and forth, and where the bounces came out even it would
    // never turn but slide along the edge into the goal.
    if (edgeTurns % 2 != 0) dz = -dz;
  }
  Tablecoll1();
}

void cBall::ScoreGoal(double serveX, int16_t& score) {
  Translate_ball(serveX, 0);
  bspeed = baspeed;
  Goal = true;
  if (host != nullptr) host->Reset_var();
  bAngle = -0.01;
  if (score == std::numeric_limits<int16_t>::max()) throw std::overflow_error("score overflow");
  ++score;
  if (host != nullptr) host->EnableTimer4();
  if (goalBuffer) goalBuffer->Play(0);
  if (host != nullptr) host->OnGoal(serveX < 0);  // served again on the half scored against
}

void cBall::Bounce(double z, int post) {
  Zdir = static_cast<int16_t>(-Zdir);
  if (post != 0) ++edgeTurns;
  bspeed = baspeed;
  Translate_ball(cposx, z);
  // Off a goal mouth's edge the band is tested on the ball's edge but the set-back is taken
  // from its centre. Where that leaves the edge short of the band's far side, the ball is
  // either still in the band (from 64 frames a second at the slowest speed), and the next
  // sub-step bounces it again, without end, or past the edge in the pocket (from 128). There
  // the edge is set back by bgap from the band's far side instead.
  const double D = Diff;
  if (post < 0 && EdgeB() < -2.5f + Diff) Translate_ball(cposx, -2.5 + D + bgap + 0.125);
  if (post > 0 && EdgeF() > 2.5f - Diff) Translate_ball(cposx, 2.5 - D - bgap - 0.125);
  if (host != nullptr) host->play_s_fx(4);
}

// The ball's edges: left, right, lower and upper (smaller and larger z), as 32-bit floats.
float cBall::EdgeL() const { return static_cast<float>(cposx - 0.125); }
float cBall::EdgeR() const { return static_cast<float>(cposx + 0.125); }
float cBall::EdgeB() const { return static_cast<float>(cposz - 0.125); }
float cBall::EdgeF() const { return static_cast<float>(cposz + 0.125); }

// Each check sees the position left by the checks before it.
void cBall::CheckWalls() {
  const float D = Diff;
  if (cposx < -4.5) ScoreGoal(-2.5, LScore);
  if (cposx > 4.5) ScoreGoal(2.5, RScore);
  if (cposz < -3) Bounce(-3 + bgap, 0);
  if (cposz > 3) Bounce(3 - bgap, 0);
  // The edges of the goal mouths.
  auto minusX = [&] { return -4.5f - D < EdgeL() && EdgeL() < -4.0f; };
  auto plusX = [&] { return 4.0f < EdgeR() && EdgeR() < 4.5f + D; };
  auto nearEdge = [&] { return -2.5f < EdgeB() && EdgeB() < -2.5f + D; };
  auto farEdge = [&] { return 2.5f - D < EdgeF() && EdgeF() < 2.5f; };
  if (minusX() && nearEdge()) Bounce(-2.5 + bgap, -1);
  if (minusX() && farEdge()) Bounce(2.5 - bgap, 1);
  if (plusX() && nearEdge()) Bounce(-2.5 + bgap, -1);
  if (plusX() && farEdge()) Bounce(2.5 - bgap, 1);
}

// -1 when the ball lies in a corner pocket at the -x end, 1 at the +x end, 0 elsewhere.
int cBall::PocketEnd() const {
  const float D = Diff;
  const float L = EdgeL(), R = EdgeR(), B = EdgeB(), F = EdgeF();
  const bool minusX = -4.5f - D < L && L < -4.0f;
  const bool plusX = 4.0f < R && R < 4.5f + D;
  const bool nearPocket = -3.0f - D < B && B < -2.5f;
  const bool farPocket = 2.5f < F && F < 3.0f + D;
  if (minusX && (nearPocket || farPocket)) return -1;
  if (plusX && (nearPocket || farPocket)) return 1;
  return 0;
}

void cBall::Tablecoll1() {
  const int end = PocketEnd();
  if (end == 0) return;
  bspeed = baspeed;
  coll_rPockets(end < 0);
  if (host != nullptr) host->play_s_fx(1);
}

void cBall::coll_rPockets(bool Right) {
  plat::Randomize();
  const double r = std::nearbyint(plat::Rnd());
  const double z = r == 0 ? 2.5 : -2.5;
  if (Right) {
    Translate_ball(4 - bgap, z);
    Xdir = -1;
  } else {
    Translate_ball(bgap - 4, z);
    Xdir = 1;
  }
  // Above 128 frames a second bgap is less than the ball's radius and the serve point lies
  // inside the far end's pocket, which would serve it back on the next frame, and again on
  // every frame. There the ball's edge, not its centre, is put bgap inside the notch's line.
  if (PocketEnd() != 0) Translate_ball(Right ? 4 - bgap - 0.125 : bgap - 4 + 0.125, z);
  plat::Randomize();
  bAngle = plat::Rnd() * 40;
  bspeed = bnspeed;
}

void cBall::ClearFlags() {
  brGoal = false;
  blGoal = false;
  bRear = false;
  bFar = false;
  brPocket = false;
  blPocket = false;
}

void cBall::SetBallMaterial(plat::Device& D3Ddevice) {
  plat::D3DMATERIAL8 m{};
  m.Diffuse = {25, 25, 25, 0};
  m.Ambient = {35, 35, 35, 0};
  D3Ddevice.SetMaterial(m);
}

void cBall::Render(plat::Device& D3Ddevice) {
  SetBallMaterial(D3Ddevice);
  D3Ddevice.SetRenderState(plat::D3DRS_CULLMODE, plat::D3DCULL_NONE);
  D3Ddevice.SetRenderState(plat::D3DRS_SPECULARENABLE, 1);
  D3Ddevice.SetVertexShader(plat::kFvfVertex3D);
  // The rim.
  D3Ddevice.SetTexture(0, sideTexture.get());
  D3Ddevice.DrawPrimitiveUP(plat::D3DPT_TRIANGLESTRIP, 60, sideStrip.data(), sizeof(plat::Vertex3D));
  ClearFlags();
  // The top, cut to a disc by its texture's alpha.
  D3Ddevice.SetRenderState(plat::D3DRS_SRCBLEND, plat::D3DBLEND_SRCALPHA);
  D3Ddevice.SetRenderState(plat::D3DRS_DESTBLEND, plat::D3DBLEND_INVSRCALPHA);
  D3Ddevice.SetRenderState(plat::D3DRS_ALPHABLENDENABLE, 1);
  D3Ddevice.SetTexture(0, topTexture.get());
  D3Ddevice.DrawPrimitiveUP(plat::D3DPT_TRIANGLELIST, 2, topFace.data(), sizeof(plat::Vertex3D));
  D3Ddevice.SetRenderState(plat::D3DRS_ALPHABLENDENABLE, 0);
  D3Ddevice.SetRenderState(plat::D3DRS_SPECULARENABLE, 0);
}

void cBall::RenderShadow(plat::Device& D3Ddevice) {
  SetBallMaterial(D3Ddevice);
  D3Ddevice.SetRenderState(plat::D3DRS_CULLMODE, plat::D3DCULL_NONE);
  D3Ddevice.SetVertexShader(plat::kFvfVertex3D);
  D3Ddevice.SetRenderState(plat::D3DRS_SRCBLEND, plat::D3DBLEND_SRCALPHA);
  D3Ddevice.SetRenderState(plat::D3DRS_DESTBLEND, plat::D3DBLEND_INVSRCALPHA);
  D3Ddevice.SetRenderState(plat::D3DRS_ALPHABLENDENABLE, 1);
  D3Ddevice.SetTexture(0, shadowTexture.get());
  D3Ddevice.DrawPrimitiveUP(plat::D3DPT_TRIANGLELIST, 2, topFace.data(), sizeof(plat::Vertex3D));
  D3Ddevice.SetRenderState(plat::D3DRS_ALPHABLENDENABLE, 0);
}

void cBall::load_sound(plat::SoundDevice& Ds) {
  goalBuffer = Ds.CreateSoundBufferFromFile(
      plat::AppFile("\\Sounds\\goal.wav"),
      plat::DSBCAPS_CTRLFREQUENCY | plat::DSBCAPS_CTRLPAN | plat::DSBCAPS_CTRLVOLUME);
  goalBuffer->SetVolume(-500);
}

void cBall::Play_sound() {
  if (goalBuffer) goalBuffer->Play(0);
}
