#include "net/wire.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace net {

namespace {

// Sizes of the messages of this protocol version, type byte included.
constexpr size_t kNameBytes = 1 + Name::kMaxBytes;
constexpr size_t kHelloHead = 1 + 8 + 2;  // type, game tag, version: the same in every version
constexpr size_t kHelloSize = kHelloHead + kNameBytes;
constexpr size_t kWelcomeSize = 1 + 1;
constexpr size_t kRefuseSize = 1 + 1 + 2;
constexpr size_t kInputSize = 1 + 4 + 1;
constexpr size_t kSnapshotSize =
    1 + 4 + 4 + 2 + 1 + 1 + 1 + 1 + kButtonCount + 11 * 4 + 2 + 2 + 1 + kEffectCount + 4 + 4 + 1;
constexpr size_t kScreenSize = 1 + 2 + 1 + 1 + 1 + 1 + 3 + 2 + 2 + 2 * kNameBytes;
constexpr size_t kNamesSize = 1 + 2 * kNameBytes;
constexpr size_t kGoalSize = 1 + 2 + 2;
static_assert(kScreenSize <= kMaxMessageSize && kSnapshotSize <= kMaxMessageSize);

class Writer {
 public:
  explicit Writer(Buffer& b) : b_(b) {}
  void u8(uint8_t v) { b_[n_++] = v; }
  void u16(uint16_t v) {
    u8(static_cast<uint8_t>(v));
    u8(static_cast<uint8_t>(v >> 8));
  }
  void u32(uint32_t v) {
    u16(static_cast<uint16_t>(v));
    u16(static_cast<uint16_t>(v >> 16));
  }
  void i16(int16_t v) { u16(static_cast<uint16_t>(v)); }
  void f32(float v) { u32(std::bit_cast<uint32_t>(v)); }
  void bytes(const void* p, size_t n) {
    std::memcpy(b_.data() + n_, p, n);
    n_ += n;
  }
  void name(const Name& v) {
    u8(v.size);
    bytes(v.bytes.data(), v.bytes.size());
  }
  size_t size() const { return n_; }

 private:
  Buffer& b_;
  size_t n_ = 0;
};

// Reads from a message whose size was checked first; remembers whether any field was out of
// its range.
class Reader {
 public:
  explicit Reader(const uint8_t* p) : p_(p) {}
  uint8_t u8() { return p_[n_++]; }
  uint16_t u16() {
    const uint16_t lo = u8();
    return static_cast<uint16_t>(lo | (u8() << 8));
  }
  uint32_t u32() {
    const uint32_t lo = u16();
    return lo | (static_cast<uint32_t>(u16()) << 16);
  }
  int16_t i16() { return static_cast<int16_t>(u16()); }
  // An unsigned byte within [lo, hi].
  uint8_t u8In(uint8_t lo, uint8_t hi) {
    const uint8_t v = u8();
    check(v >= lo && v <= hi);
    return v;
  }
  int16_t score() {
    const int16_t v = i16();
    check(v >= 0);
    return v;
  }
  float f32In(float limit) {
    const float v = std::bit_cast<float>(u32());
    check(std::isfinite(v) && std::fabs(v) <= limit);
    return v;
  }
  bool flag() { return u8In(0, 1) != 0; }
  void bytes(void* out, size_t n) {
    std::memcpy(out, p_ + n_, n);
    n_ += n;
  }
  void name(Name& v) {
    const uint8_t size = u8();
    bytes(v.bytes.data(), v.bytes.size());
    check(size <= Name::kMaxBytes);
    v.size = size <= Name::kMaxBytes ? size : 0;
    // The sender cut it already: anything it would cut now is refused.
    check(Name::From(v.view()).size == v.size);
    for (size_t i = v.size; i < v.bytes.size(); ++i) check(v.bytes[i] == 0);
  }
  void check(bool ok) { ok_ = ok_ && ok; }
  bool ok() const { return ok_; }

 private:
  const uint8_t* p_;
  size_t n_ = 0;
  bool ok_ = true;
};

size_t Finish(const Writer& w, size_t expected) {
  return w.size() == expected ? expected : 0;
}

// The length of the UTF-8 character starting at s[0] when it is whole, valid and printable;
// 0 otherwise.
size_t PrintableCharacter(std::string_view s) {
  const auto c = static_cast<unsigned char>(s[0]);
  if (c < 0x80) return c >= 0x20 && c != 0x7F ? 1 : 0;
  size_t n = 0;
  uint32_t cp = 0;
  if ((c & 0xE0) == 0xC0) {
    n = 2;
    cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3;
    cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    const auto t = static_cast<unsigned char>(s[i]);
    if ((t & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (t & 0x3F);
  }
  constexpr uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kLeast[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  if (cp >= 0x80 && cp < 0xA0) return 0;  // C1 controls
  return n;
}

}  // namespace

Name Name::From(std::string_view text) {
  Name out;
  int characters = 0;
  while (!text.empty() && characters < kMaxCharacters) {
    const size_t n = PrintableCharacter(text);
    if (n == 0 || out.size + n > kMaxBytes) break;
    std::memcpy(out.bytes.data() + out.size, text.data(), n);
    out.size = static_cast<uint8_t>(out.size + n);
    text.remove_prefix(n);
    ++characters;
  }
  return out;
}

const char* Describe(DecodeError e) {
  switch (e) {
    case DecodeError::None:
      return "no error";
    case DecodeError::Empty:
      return "an empty message";
    case DecodeError::UnknownType:
      return "a message of an unknown type";
    case DecodeError::WrongSize:
      return "a message of the wrong size";
    case DecodeError::OutOfRange:
      return "a message with a value out of range";
    case DecodeError::NotThisGame:
      return "a peer that is not this game";
    case DecodeError::OtherVersion:
      return "a peer of another version of the game";
  }
  return "an unknown error";
}

size_t Encode(const Hello& m, Buffer& out) {
  Writer w(out);
  w.u8(static_cast<uint8_t>(MsgType::Hello));
  w.bytes(kGameTag.data(), kGameTag.size());
  w.u16(m.protocol);
  w.name(m.name);
  return Finish(w, kHelloSize);
}

size_t Encode(const Welcome& m, Buffer& out) {
  Writer w(out);
  w.u8(static_cast<uint8_t>(MsgType::Welcome));
  w.u8(static_cast<uint8_t>(m.role));
  return Finish(w, kWelcomeSize);
}

size_t Encode(const Refuse& m, Buffer& out) {
  Writer w(out);
  w.u8(static_cast<uint8_t>(MsgType::Refuse));
  w.u8(static_cast<uint8_t>(m.reason));
  w.u16(m.protocol);
  return Finish(w, kRefuseSize);
}

size_t Encode(const Input& m, Buffer& out) {
  Writer w(out);
  w.u8(static_cast<uint8_t>(MsgType::Input));
  w.u32(m.sequence);
  w.u8(m.keys);
  return Finish(w, kInputSize);
}

size_t Encode(const Snapshot& m, Buffer& out) {
  Writer w(out);
  w.u8(static_cast<uint8_t>(MsgType::Snapshot));
  w.u32(m.frame);
  w.u32(m.tick);
  w.u16(m.epoch);
  w.u8(static_cast<uint8_t>(m.screen));
  w.u8(m.flags);
  w.u8(m.focus);
  w.u8(m.levelChoice);
  for (uint8_t b : m.buttons) w.u8(b);
  for (float v : {m.ballX, m.ballZ, m.rightX, m.rightZ, m.leftX, m.leftZ, m.camEyeY, m.camEyeZ, m.camAtY,
                  m.camAtZ, m.lightFade})
    w.f32(v);
  w.i16(m.rightScore);
  w.i16(m.leftScore);
  w.u8(m.clock);
  for (uint8_t e : m.effects) w.u8(e);
  w.u32(m.inputAck);
  w.f32(m.leftSpeed);
  w.u8(m.leftBoost ? 1 : 0);
  return Finish(w, kSnapshotSize);
}

size_t Encode(const ScreenChange& m, Buffer& out) {
  Writer w(out);
  w.u8(static_cast<uint8_t>(MsgType::Screen));
  w.u16(m.epoch);
  w.u8(static_cast<uint8_t>(m.screen));
  w.u8(m.onePlayer ? 1 : 0);
  w.u8(m.level);
  w.u8(m.musicTrack);
  w.u8(m.rightArt);
  w.u8(m.leftArt);
  w.u8(m.ballArt);
  w.i16(m.rightScore);
  w.i16(m.leftScore);
  w.name(m.rightName);
  w.name(m.leftName);
  return Finish(w, kScreenSize);
}

size_t Encode(const Names& m, Buffer& out) {
  Writer w(out);
  w.u8(static_cast<uint8_t>(MsgType::Names));
  w.name(m.leftEntry);
  w.name(m.rightEntry);
  return Finish(w, kNamesSize);
}

size_t Encode(const Goal& m, Buffer& out) {
  Writer w(out);
  w.u8(static_cast<uint8_t>(MsgType::Goal));
  w.i16(m.rightScore);
  w.i16(m.leftScore);
  return Finish(w, kGoalSize);
}

DecodeError Decode(const uint8_t* data, size_t size, Message& out) {
  if (data == nullptr || size == 0) return DecodeError::Empty;
  const uint8_t type = data[0];
  size_t expected = 0;
  switch (static_cast<MsgType>(type)) {
    case MsgType::Hello:
      expected = kHelloSize;
      break;
    case MsgType::Welcome:
      expected = kWelcomeSize;
      break;
    case MsgType::Refuse:
      expected = kRefuseSize;
      break;
    case MsgType::Input:
      expected = kInputSize;
      break;
    case MsgType::Snapshot:
      expected = kSnapshotSize;
      break;
    case MsgType::Screen:
      expected = kScreenSize;
      break;
    case MsgType::Names:
      expected = kNamesSize;
      break;
    case MsgType::Goal:
      expected = kGoalSize;
      break;
    default:
      return DecodeError::UnknownType;
  }
  out.type = static_cast<MsgType>(type);
  Reader r(data + 1);
  if (out.type == MsgType::Hello) {
    // Game and version first: their place never changes, whatever the size.
    if (size < kHelloHead) return DecodeError::NotThisGame;
    std::array<char, 8> tag{};
    r.bytes(tag.data(), tag.size());
    if (tag != kGameTag) return DecodeError::NotThisGame;
    out.hello.protocol = r.u16();
    if (out.hello.protocol != kProtocolVersion) return DecodeError::OtherVersion;
    if (size != expected) return DecodeError::WrongSize;
    r.name(out.hello.name);
    return r.ok() ? DecodeError::None : DecodeError::OutOfRange;
  }
  if (size != expected) return DecodeError::WrongSize;
  switch (out.type) {
    case MsgType::Welcome:
      out.welcome.role = static_cast<Role>(r.u8In(0, 1));
      break;
    case MsgType::Refuse:
      out.refuse.reason = static_cast<RefuseReason>(r.u8In(1, 3));
      out.refuse.protocol = r.u16();
      break;
    case MsgType::Input:
      out.input.sequence = r.u32();
      out.input.keys = r.u8In(0, kAllKeys);
      break;
    case MsgType::Snapshot: {
      Snapshot& s = out.snapshot;
      s.frame = r.u32();
      s.tick = r.u32();
      s.epoch = r.u16();
      s.screen = static_cast<Screen>(r.u8In(0, kScreenCount - 1));
      s.flags = r.u8In(0, kAllSnapshotFlags);
      s.focus = r.u8In(0, 6);
      s.levelChoice = r.u8In(0, 3);
      for (uint8_t& b : s.buttons) b = r.u8In(0, 3);
      for (float* v : {&s.ballX, &s.ballZ, &s.rightX, &s.rightZ, &s.leftX, &s.leftZ, &s.camEyeY, &s.camEyeZ,
                       &s.camAtY, &s.camAtZ})
        *v = r.f32In(kMaxCoordinate);
      s.lightFade = r.f32In(kMaxLightFade);
      s.rightScore = r.score();
      s.leftScore = r.score();
      s.clock = r.u8In(0, kMaxClock);
      for (uint8_t& e : s.effects) e = r.u8();
      s.inputAck = r.u32();
      s.leftSpeed = r.f32In(kMaxCoordinate);
      r.check(s.leftSpeed >= 0);
      s.leftBoost = r.flag();
      break;
    }
    case MsgType::Screen: {
      ScreenChange& s = out.screen;
      s.epoch = r.u16();
      s.screen = static_cast<Screen>(r.u8In(0, kScreenCount - 1));
      s.onePlayer = r.flag();
      s.level = r.u8In(0, 3);
      s.musicTrack = r.u8In(0, 8);
      s.rightArt = r.u8In(0, 4);
      s.leftArt = r.u8In(0, 4);
      s.ballArt = r.u8In(0, 4);
      s.rightScore = r.score();
      s.leftScore = r.score();
      r.name(s.rightName);
      r.name(s.leftName);
      break;
    }
    case MsgType::Names:
      r.name(out.names.leftEntry);
      r.name(out.names.rightEntry);
      break;
    case MsgType::Goal:
      out.goal.rightScore = r.score();
      out.goal.leftScore = r.score();
      break;
    default:
      return DecodeError::UnknownType;
  }
  return r.ok() ? DecodeError::None : DecodeError::OutOfRange;
}

}  // namespace net
