// Starts a match on the real platform and saves three pictures of it: the first frame of
// the camera intro, a frame in play and a paused frame. Not the game: a tool for looking.
//   match_picture [folder]   (PNG files intro.png, play.png, paused.png land there)
#include <GL/gl.h>
#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "front_buffer.h"
#include "platform/app_path.h"
#include "platform/platform.h"

namespace {

// The presented frame's colour at a back-buffer pixel (x right, y down).
struct Rgb {
  int r, g, b;
  int Luma() const { return (r * 299 + g * 587 + b * 114) / 1000; }
};
Rgb PixelAt(const Form1& f, int x, int y) {
  uint8_t px[3] = {0, 0, 0};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(x, static_cast<int>(f.D.sheight) - 1 - y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, px);
  return {px[0], px[1], px[2]};
}

// Where a point of the table lands on the screen with the frame's camera.
void Project(const Form1& f, float x, float y, float z, int* sx, int* sy) {
  plat::D3DXMATRIX vp;
  plat::D3DXMatrixMultiply(&vp, &f.viewMatrix, &f.projMatrix);
  const float v[4] = {x, y, z, 1.0f};
  float r[4];
  for (int j = 0; j < 4; ++j) r[j] = v[0] * vp.m[0][j] + v[1] * vp.m[1][j] + v[2] * vp.m[2][j] + v[3] * vp.m[3][j];
  *sx = static_cast<int>((r[0] / r[3] + 1.0f) * 0.5f * static_cast<float>(f.D.swidth));
  *sy = static_cast<int>((1.0f - r[1] / r[3]) * 0.5f * static_cast<float>(f.D.sheight));
}

// What a player must see in a frame of play: the puck drawn opaque over the surface, a
// racket's shadow darker than the surface beside it, and a lit room around the table.
bool CheckPlayFrame(const Form1& f, float bx, float bz) {
  bool ok = true;
  auto report = [&ok](bool pass, const char* what, Rgb a, Rgb b) {
    std::printf("%s: %s (%d,%d,%d) against (%d,%d,%d)\n", pass ? "ok" : "FAIL", what, a.r, a.g, a.b, b.r, b.g,
                b.b);
    ok &= pass;
  };
  int x, y, sx, sy;
  // The puck's rim ring, a little inside its edge, against the surface beside it.
  Project(f, bx, 0.0f, bz + 0.6f, &sx, &sy);
  const Rgb surface = PixelAt(f, sx, sy);
  Rgb puck{};
  int best = 0;
  for (const auto& [dx, dz] : {std::pair{0.08f, 0.0f}, {-0.08f, 0.0f}, {0.0f, 0.08f}, {0.0f, -0.08f}}) {
    Project(f, bx + dx, 0.125f, bz + dz, &x, &y);
    const Rgb p = PixelAt(f, x, y);
    const int diff = std::abs(p.r - surface.r) + std::abs(p.g - surface.g) + std::abs(p.b - surface.b);
    if (diff > best) {
      best = diff;
      puck = p;
    }
  }
  report(best > 120, "puck stands out, opaque, from the surface", puck, surface);
  // The right racket's top (y 0.25) throws its shadow past its flat side, towards its goal.
  const auto rz = static_cast<float>(f.rRacket.cposz + 0.5);
  const auto rx = static_cast<float>(f.rRacket.cposx);
  Project(f, rx - 0.18f, 0.0f, rz, &x, &y);
  Project(f, rx - 0.18f, 0.0f, rz - 0.9f, &sx, &sy);
  const Rgb shadow = PixelAt(f, x, y), bare = PixelAt(f, sx, sy);
  report(shadow.Luma() + 10 < bare.Luma(), "racket shadow darker than the surface beside it", shadow, bare);
  const Rgb wall = PixelAt(f, 30, 150);
  report(wall.Luma() > 8, "room wall is lit, not black", wall, Rgb{0, 0, 0});
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string out = argc > 1 ? argv[1] : ".";
  return RunDirectMatch("match_picture", argv[0], [&](Form1& f) {
    f.Pass();
    bool ok = SaveFrontBuffer(f, out + "/intro.png");
    while (f.cam_inter) f.Pass();
    // Some play: the ball served towards the computer, then the clock at 0:12.
    f.ball.Goal = false;
    f.ball.Xdir = 1;
    f.ball.Zdir = 1;
    f.ball.bAngle = 20;
    for (int i = 0; i < 40; ++i) f.Pass();
    f.matchClock = 12;
    // The frame draws the puck where it stands before the frame moves it.
    const auto bx = static_cast<float>(f.ball.cposx), bz = static_cast<float>(f.ball.cposz);
    f.Pass();
    ok &= SaveFrontBuffer(f, out + "/play.png");
    ok &= CheckPlayFrame(f, bx, bz);
    f.paused = true;
    f.Pass();
    ok &= SaveFrontBuffer(f, out + "/paused.png");
    return ok ? 0 : 1;
  });
}
