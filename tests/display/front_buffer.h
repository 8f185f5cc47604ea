// For the programs that look at the real face's pictures: their match, and the frame the
// game has just presented, read back and saved as a PNG (after the swap the software
// renderer keeps the presented picture in the back buffer).
#pragma once

#include <GL/gl.h>
#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "platform/app_path.h"
#include "platform/platform.h"

// A one-player match at level 2 started directly on the real platform, the logo's timers
// stopped, handed to `play` before its camera intro. The program's exit code: what `play`
// gives, a ProgramEnd's code, or 1 on an error (said on standard error as `name`'s).
template <typename Play>
int RunDirectMatch(const char* name, const char* argv0, Play play) {
  std::unique_ptr<plat::Platform> platform = plat::CreateSdlPlatform(argv0);
  if (!platform) return 1;
  plat::SetAppPath(platform->AppFolder());
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
    return play(f);
  } catch (const plat::ProgramEnd& end) {
    return end.code;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", name, e.what());
    return 1;
  }
}

inline bool SaveFrontBuffer(const Form1& f, const std::string& path) {
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
