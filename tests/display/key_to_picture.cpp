// How long a key pressed on one X display takes to show: on that display's picture and on a
// second display's. It presses KEY on the first display (XTest) and watches a region of
// each picture (XGetImage, every millisecond) until enough of its pixels differ from the
// picture before the key; then it releases the key, presses BACK_KEY for as long to bring
// what moved back, and waits before the next trial.
//
//   key_to_picture KEY_DISPLAY OTHER_DISPLAY KEY_REGION OTHER_REGION KEY BACK_KEY TRIALS
//
// Regions are WxH+X+Y. It also times the next change of each region after the first: one
// frame of that program while what the key moves goes on moving. One line per trial:
// "trial N: own MS other MS frames OWN_MS OTHER_MS" (-1: no change within 3 s), then the
// medians.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Area {
  int w = 0, h = 0, x = 0, y = 0;
};

double NowMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

void SleepMs(double ms) {
  timespec t{static_cast<time_t>(ms / 1000), static_cast<long>((ms - static_cast<long>(ms / 1000) * 1000) * 1e6)};
  nanosleep(&t, nullptr);
}

std::vector<uint32_t> Grab(Display* d, const Area& r) {
  std::vector<uint32_t> px;
  XImage* im = XGetImage(d, DefaultRootWindow(d), r.x, r.y, static_cast<unsigned>(r.w), static_cast<unsigned>(r.h),
                         AllPlanes, ZPixmap);
  if (im == nullptr) return px;
  px.reserve(static_cast<size_t>(r.w) * static_cast<size_t>(r.h));
  for (int y = 0; y < r.h; ++y)
    for (int x = 0; x < r.w; ++x) px.push_back(static_cast<uint32_t>(XGetPixel(im, x, y)));
  XDestroyImage(im);
  return px;
}

// Pixels whose colour moved by more than 24 in some channel.
int Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  if (a.size() != b.size()) return 0;
  int n = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    for (int s = 0; s < 24; s += 8) {
      const int ca = static_cast<int>((a[i] >> s) & 0xFF), cb = static_cast<int>((b[i] >> s) & 0xFF);
      if (std::abs(ca - cb) > 24) {
        ++n;
        break;
      }
    }
  }
  return n;
}

double Median(std::vector<double> v) {
  v.erase(std::remove(v.begin(), v.end(), -1.0), v.end());
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v.size() % 2 == 1 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr,
                 "usage: key_to_picture KEY_DISPLAY OTHER_DISPLAY KEY_REGION OTHER_REGION KEY BACK_KEY TRIALS\n");
    return 2;
  }
  Display* own = XOpenDisplay(argv[1]);
  Display* other = XOpenDisplay(argv[2]);
  Area regions[2];
  for (int i = 0; i < 2; ++i) {
    Area& r = regions[i];
    if (std::sscanf(argv[3 + i], "%dx%d+%d+%d", &r.w, &r.h, &r.x, &r.y) != 4 || r.w <= 0 || r.h <= 0) {
      std::fprintf(stderr, "key_to_picture: a region is WxH+X+Y, not %s\n", argv[3 + i]);
      return 2;
    }
  }
  if (own == nullptr || other == nullptr) {
    std::fprintf(stderr, "key_to_picture: cannot open the displays\n");
    return 1;
  }
  const KeyCode key = XKeysymToKeycode(own, XStringToKeysym(argv[5]));
  const KeyCode back = XKeysymToKeycode(own, XStringToKeysym(argv[6]));
  const int trials = std::atoi(argv[7]);
  Display* displays[2] = {own, other};
  std::vector<double> times[2], frames[2];
  std::srand(4321);
  for (int t = 1; t <= trials; ++t) {
    SleepMs(300 + std::rand() % 300);  // anywhere in the programs' frames
    std::vector<uint32_t> before[2] = {Grab(own, regions[0]), Grab(other, regions[1])};
    XTestFakeKeyEvent(own, key, True, CurrentTime);
    XFlush(own);
    const double start = NowMs();
    double seen[2] = {-1, -1}, next[2] = {-1, -1};
    while ((next[0] < 0 || next[1] < 0) && NowMs() - start < 3000) {
      for (int i = 0; i < 2; ++i) {
        if (next[i] >= 0) continue;
        std::vector<uint32_t> now = Grab(displays[i], regions[i]);
        if (seen[i] < 0 && Differing(before[i], now) >= 12) {
          seen[i] = NowMs() - start;
          before[i].swap(now);
        } else if (seen[i] >= 0 && Differing(before[i], now) >= 12) {
          next[i] = NowMs() - start;
        }
      }
      SleepMs(1);
    }
    const double held = NowMs() - start;
    XTestFakeKeyEvent(own, key, False, CurrentTime);
    XFlush(own);
    SleepMs(300);
    XTestFakeKeyEvent(own, back, True, CurrentTime);
    XFlush(own);
    SleepMs(std::min(held, 3000.0));
    XTestFakeKeyEvent(own, back, False, CurrentTime);
    XFlush(own);
    SleepMs(300);
    double frame[2];
    for (int i = 0; i < 2; ++i) frame[i] = seen[i] >= 0 && next[i] >= 0 ? next[i] - seen[i] : -1;
    std::printf("trial %d: own %.0f other %.0f frames %.0f %.0f\n", t, seen[0], seen[1], frame[0], frame[1]);
    std::fflush(stdout);
    for (int i = 0; i < 2; ++i) {
      times[i].push_back(seen[i]);
      frames[i].push_back(frame[i]);
    }
  }
  std::printf("median: own %.0f other %.0f frames %.0f %.0f\n", Median(times[0]), Median(times[1]),
              Median(frames[0]), Median(frames[1]));
  XCloseDisplay(own);
  XCloseDisplay(other);
  return 0;
}
