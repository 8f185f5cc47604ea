// A match on the real platform, full screen on the display it is given, where every frame
// the device drew again only in part is held against the same frame drawn whole: they must
// agree pixel for pixel. The puck is sent along the near long side, under the rim that the
// table draws after the shadows, so that what covers the moving puck and its shadow is
// drawn again over them. Exit code 0 when every frame agrees and enough of them were drawn
// in part; the first frame that differs is saved as PNG pictures in the folder given.
//   reuse_picture [folder]
#include <GL/gl.h>
#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "front_buffer.h"
#include "platform/app_path.h"
#include "platform/platform.h"
#include "platform/sdl/gl_device.h"

namespace {

std::vector<uint8_t> ReadBack(int w, int h) {
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  return rgb;
}

void Save(const std::vector<uint8_t>& bottomUp, int w, int h, const std::string& path) {
  std::vector<uint8_t> rgb(bottomUp.size());
  const size_t row = static_cast<size_t>(w) * 3;
  for (int y = 0; y < h; ++y) std::memcpy(&rgb[y * row], &bottomUp[(h - 1 - y) * row], row);
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(rgb.data(), w, h, 24, w * 3, SDL_PIXELFORMAT_RGB24);
  if (s) IMG_SavePNG(s, path.c_str());
  SDL_FreeSurface(s);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string out = argc > 1 ? argv[1] : ".";
  return RunDirectMatch("reuse_picture", argv[0], [&](Form1& f) {
    auto& gl = static_cast<plat::sdl::GlDevice&>(*f.D.D3Ddevice);
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(SDL_GL_GetCurrentWindow(), &w, &h);
    std::printf("reuse_picture: %dx%d, %d samples a pixel, kept picture %s\n", w, h, gl.samples(),
                gl.frameReuse() ? "on" : "off");

    int frames = 0, inPart = 0, unchanged = 0, differing = 0;
    int64_t pixelsDrawn = 0;
    auto check = [&](const char* what) {
      const auto& last = gl.lastFrame();
      if (!last.whole) last.boxes > 0 ? ++inPart : ++unchanged;
      if (!last.whole) pixelsDrawn += last.pixels;
      const std::vector<uint8_t> kept = ReadBack(w, h);
      gl.redrawWhole();
      const std::vector<uint8_t> whole = ReadBack(w, h);
      ++frames;
      if (kept == whole) return;
      if (differing++ == 0) {
        std::printf("reuse_picture: FAIL: %s, frame %d differs from the same frame drawn whole\n", what, frames);
        Save(kept, w, h, out + "/reuse-kept.png");
        Save(whole, w, h, out + "/reuse-whole.png");
      }
    };

    // The camera's fly-in: every frame differs everywhere.
    while (f.cam_inter) {
      f.Pass();
      check("fly-in");
    }
    // The puck along the near long side, under the rim, then about the table; the computer
    // moves its racket; the clock's text changes as the seconds pass. The ball moves in steps
    // of a 60 Hz frame however fast this runs, and is served again after a goal.
    auto serve = [&f] {
      f.ball.Translate_ball(3.0, 2.78);
      f.ball.Goal = false;
      f.ball.Xdir = -1;
      f.ball.Zdir = 1;
      f.ball.bAngle = 3;
    };
    auto play = [&](int count, const char* what) {
      for (int i = 0; i < count; ++i) {
        if (f.ball.Goal) serve();
        f.FPS_Current = 60;
        f.Pass();
        check(what);
      }
    };
    serve();
    play(150, "play");
    // Paused: the banner over a still table; then play again.
    f.paused = true;
    for (int i = 0; i < 3; ++i) {
      f.Pass();
      check("paused");
    }
    f.paused = false;
    play(20, "play after the pause");
    const int64_t all = int64_t{w} * h;
    std::printf("reuse_picture: %d frames compared: %d drawn again in part (%.1f %% of the picture each, on "
                "average), %d unchanged, %d whole; %d differ\n",
                frames, inPart, inPart ? 100.0 * static_cast<double>(pixelsDrawn) / inPart / all : 0.0, unchanged,
                frames - inPart - unchanged, differing);
    if (gl.frameReuse() && inPart < 100) {
      std::printf("reuse_picture: FAIL: only %d frames were drawn in part\n", inPart);
      return 1;
    }
    return differing ? 1 : 0;
  });
}
