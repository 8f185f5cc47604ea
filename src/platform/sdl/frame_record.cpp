#include "platform/sdl/frame_record.h"

#include <algorithm>

namespace plat::sdl {

bool Overlap(const PixelRect& a, const PixelRect& b) {
  return Area(a) > 0 && Area(b) > 0 && a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
         b.y < a.y + a.height;
}

PixelRect Union(const PixelRect& a, const PixelRect& b) {
  if (Area(a) == 0) return b;
  if (Area(b) == 0) return a;
  const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
  const int x1 = std::max(a.x + a.width, b.x + b.width), y1 = std::max(a.y + a.height, b.y + b.height);
  return {x0, y0, x1 - x0, y1 - y0};
}

PixelRect Intersection(const PixelRect& a, const PixelRect& b) {
  const int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
  const int x1 = std::min(a.x + a.width, b.x + b.width), y1 = std::min(a.y + a.height, b.y + b.height);
  if (x1 <= x0 || y1 <= y0) return {0, 0, 0, 0};
  return {x0, y0, x1 - x0, y1 - y0};
}

namespace {

// Two boxes are drawn as one where that costs little more than drawing both: the renderer
// works in tiles of 64 × 64 pixels, and every pass over the frame has its own cost.
constexpr int64_t kMergeSlack = 64 * 64;

bool WorthMerging(const PixelRect& a, const PixelRect& b) {
  return Overlap(a, b) || Area(Union(a, b)) <= Area(a) + Area(b) + kMergeSlack;
}

}  // namespace

void FrameRecord::AddBox(std::vector<PixelRect>* boxes, const PixelRect& box, size_t most) {
  if (Area(box) == 0) return;
  PixelRect merged = box;
  // Swallow every box the new one should be drawn with, again until none is left.
  for (bool again = true; again;) {
    again = false;
    for (size_t i = 0; i < boxes->size(); ++i) {
      if (WorthMerging((*boxes)[i], merged)) {
        merged = Union((*boxes)[i], merged);
        (*boxes)[i] = boxes->back();
        boxes->pop_back();
        again = true;
        break;
      }
    }
  }
  boxes->push_back(merged);
  // Too many: join the two whose union grows least, until there are few enough.
  while (boxes->size() > std::max<size_t>(most, 1)) {
    size_t bi = 0, bj = 1;
    int64_t best = INT64_MAX;
    for (size_t i = 0; i < boxes->size(); ++i) {
      for (size_t j = i + 1; j < boxes->size(); ++j) {
        const int64_t growth = Area(Union((*boxes)[i], (*boxes)[j])) - Area((*boxes)[i]) - Area((*boxes)[j]);
        if (growth < best) best = growth, bi = i, bj = j;
      }
    }
    const PixelRect joined = Union((*boxes)[bi], (*boxes)[bj]);
    (*boxes)[bj] = boxes->back();
    boxes->pop_back();
    (*boxes)[bi] = boxes->back();
    boxes->pop_back();
    AddBox(boxes, joined, most);
  }
}

bool FrameRecord::Differences(const FrameRecord& previous, const FrameRecord& next, size_t most,
                              std::vector<PixelRect>* out) {
  out->clear();
  if (previous.pixelCalls_ != next.pixelCalls_) return false;
  auto a = previous.commands_.begin(), b = next.commands_.begin();
  for (size_t n = 0; n < next.pixelCalls_; ++n, ++a, ++b) {
    while (a->signatureSize == 0) ++a;
    while (b->signatureSize == 0) ++b;
    const bool same = a->op == b->op && a->signatureSize == b->signatureSize &&
                      std::memcmp(previous.bytes(a->signature), next.bytes(b->signature), a->signatureSize) == 0;
    if (same) continue;
    AddBox(out, a->box, most);
    AddBox(out, b->box, most);
  }
  return true;
}

}  // namespace plat::sdl
