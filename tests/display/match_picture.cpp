// Starts a match on the real platform and saves three pictures of it: the first frame of
// the camera intro, a frame in play and a paused frame. Not the game: a tool for looking.
//   match_picture [folder]   (PNG files intro.png, play.png, paused.png land there)
#include <GL/gl.h>
#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "platform/app_path.h"
#include "platform/platform.h"

namespace {

// The frame just presented, read back and saved as a PNG (after the swap the software
// renderer keeps the presented picture in the back buffer).
bool SaveFrontBuffer(const Form1& f, const std::string& path) {
  const int w = static_cast<int>(f.D.swidth), h = static_cast<int>(f.D.sheight);
  std::vector<uint8_t> bottomUp(static_cast<size_t>(w) * h * 3), rgb(bottomUp.size());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  const size_t row = static_cast<size_t>(w) * 3;
  for (int y = 0; y < h; ++y) std::memcpy(&rgb[y * row], &bottomUp[(h - 1 - y) * row], row);
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(rgb.data(), w, h, 24, w * 3, SDL_PIXELFORMAT_RGB24);
  const bool ok = s != nullptr && IMG_SavePNG(s, path.c_str()) == 0;
  SDL_FreeSurface(s);
  std::printf("%s %s\n", ok ? "saved" : "could not save", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string out = argc > 1 ? argv[1] : ".";
  std::unique_ptr<plat::Platform> platform = plat::CreateSdlPlatform(argv[0]);
  if (!platform) return 1;
  plat::SetAppPath(platform->AppFolder());
  int code = 0;
  try {
    Form1 f(*platform);
    f.Startup();
    for (plat::Timer* t : {&f.Timer2, &f.Timer3, &f.Timer5}) f.EnableTimer(*t, false);
    f.onePlayer = true;
    f.level = 2;
    f.RName = "ALICE";
    f.rRacketIndex = 1;
    f.lRacketIndex = 2;
    f.ballIndex = 3;
    f.Game_Load();
    f.screenState = "";

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
    f.Pass();
    ok &= SaveFrontBuffer(f, out + "/play.png");
    f.paused = true;
    f.Pass();
    ok &= SaveFrontBuffer(f, out + "/paused.png");
    code = ok ? 0 : 1;
  } catch (const plat::ProgramEnd& end) {
    code = end.code;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "match_picture: %s\n", e.what());
    code = 1;
  }
  return code;
}
