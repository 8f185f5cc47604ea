// One frame's device calls, kept until the frame is presented, so that the device can draw
// again only what differs from the frame before. Every call that changes pixels (a clear, a
// draw, a string) carries a signature — the bytes of everything that decides its pixels:
// the whole device state it is drawn with, its arguments and its vertices — and the box of
// window pixels it can touch. Two frames whose pixel calls agree one for one in signature
// leave the same pixels wherever none of the differing calls reaches; those calls' boxes,
// in the old frame and the new, are what must be drawn again.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/sdl/gl_translate.h"

namespace plat::sdl {

class FrameRecord {
 public:
  enum class Op : uint8_t {
    RenderState,
    Transform,
    Texture,
    StageState,
    VertexShader,
    Material,
    Light,
    LightEnable,
    Clear,
    Draw,
    DrawIndexed,
    Text,
  };

  struct Command {
    Op op{};
    uint32_t a = 0, b = 0, c = 0, d = 0;  // small arguments, by op
    uint32_t data = 0, size = 0;           // arguments kept in the byte store
    // Pixel calls only: where their signature lies in the byte store, and their box.
    uint32_t signature = 0, signatureSize = 0;
    PixelRect box{};
  };

  void clear() {
    commands_.clear();
    bytes_.clear();
    pixelCalls_ = 0;
  }

  // Copies `size` bytes into the store, 16-byte aligned; returns their offset.
  uint32_t keep(const void* data, size_t size) {
    const size_t at = (bytes_.size() + 15) & ~size_t{15};
    bytes_.resize(at + size);
    if (size) std::memcpy(bytes_.data() + at, data, size);
    return static_cast<uint32_t>(at);
  }
  const uint8_t* bytes(uint32_t offset) const { return bytes_.data() + offset; }
  uint8_t* bytes(uint32_t offset) { return bytes_.data() + offset; }
  uint32_t storeSize() const { return static_cast<uint32_t>(bytes_.size()); }

  Command& add(Op op) {
    commands_.push_back(Command{});
    commands_.back().op = op;
    return commands_.back();
  }
  // Marks the last command a pixel call with the signature bytes [from, end of store).
  void sign(uint32_t from, const PixelRect& box) {
    Command& c = commands_.back();
    c.signature = from;
    c.signatureSize = storeSize() - from;
    c.box = box;
    ++pixelCalls_;
  }

  const std::vector<Command>& commands() const { return commands_; }
  size_t pixelCalls() const { return pixelCalls_; }

  // Where `next` must be drawn again over the picture `previous` left, as at most `most`
  // boxes in `out`: nothing when the frames agree; false when they cannot be compared (their
  // pixel calls differ in number), so that the whole picture must be drawn.
  static bool Differences(const FrameRecord& previous, const FrameRecord& next, size_t most,
                          std::vector<PixelRect>* out);

  // Adds `box` to `boxes`, merging boxes that overlap or lie close, so that at most `most`
  // remain.
  static void AddBox(std::vector<PixelRect>* boxes, const PixelRect& box, size_t most);

 private:
  std::vector<Command> commands_;
  std::vector<uint8_t> bytes_;
  size_t pixelCalls_ = 0;
};

// True when the two rectangles share a pixel.
bool Overlap(const PixelRect& a, const PixelRect& b);
// The smallest rectangle holding both (an empty one holds nothing).
PixelRect Union(const PixelRect& a, const PixelRect& b);
PixelRect Intersection(const PixelRect& a, const PixelRect& b);
inline int64_t Area(const PixelRect& r) {
  return r.width > 0 && r.height > 0 ? int64_t{r.width} * r.height : 0;
}

}  // namespace plat::sdl
