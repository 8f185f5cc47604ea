// The network's packet decoder: whatever arrives is either refused or decodes to a message
// that encodes back to exactly the bytes that came in (nothing is read beyond the datagram,
// nothing is guessed).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "net/wire.h"

namespace {

template <class M>
size_t Again(const M& m, net::Buffer& b) {
  return net::Encode(m, b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  net::Message m;
  const net::DecodeError e = net::Decode(data, size, m);
  // A name is cut to printable characters, whatever the bytes.
  const net::Name name = net::Name::From(std::string_view(reinterpret_cast<const char*>(data), size));
  if (name.size > net::Name::kMaxBytes || net::Name::From(name.view()).size != name.size) std::abort();
  if (e != net::DecodeError::None) return 0;
  net::Buffer b{};
  size_t n = 0;
  switch (m.type) {
    case net::MsgType::Hello:
      n = Again(m.hello, b);
      break;
    case net::MsgType::Welcome:
      n = Again(m.welcome, b);
      break;
    case net::MsgType::Refuse:
      n = Again(m.refuse, b);
      break;
    case net::MsgType::Input:
      n = Again(m.input, b);
      break;
    case net::MsgType::Snapshot:
      n = Again(m.snapshot, b);
      break;
    case net::MsgType::Screen:
      n = Again(m.screen, b);
      break;
    case net::MsgType::Names:
      n = Again(m.names, b);
      break;
    case net::MsgType::Goal:
      n = Again(m.goal, b);
      break;
  }
  // -0.0 and 0.0 are both accepted and kept as they came: the bytes must match exactly.
  if (n != size || std::memcmp(b.data(), data, size) != 0) std::abort();
  return 0;
}
