// A connection between the machines of a network match, as the game sees it: peers that
// come and go, and messages on two channels. Nothing here blocks: Service does the work
// that is due and Next hands over what arrived, one event at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace net {

enum class Channel : uint8_t {
  Reliable = 0,   // in order, never lost: handshake, screen changes, goals
  Sequenced = 1,  // newest first, may be lost: snapshots and key states
};
constexpr size_t kChannelCount = 2;

using PeerId = uint32_t;

struct LinkEvent {
  enum class Kind { Connected, Disconnected, Message, Failed };
  Kind kind = Kind::Message;
  PeerId peer = 0;
  Channel channel = Channel::Reliable;
  // Message: its bytes, valid until the next call of Next or Service.
  const uint8_t* data = nullptr;
  size_t size = 0;
  // Failed: what went wrong (a name that does not resolve, a host that does not answer).
  std::string detail;
};

class Link {
 public:
  virtual ~Link() = default;
  // Sends and receives what is due; `nowMs` is the caller's clock.
  virtual void Service(uint32_t nowMs) = 0;
  // The next event received by Service; false when there is none.
  virtual bool Next(LinkEvent& event) = 0;
  virtual void Send(PeerId peer, Channel channel, const uint8_t* data, size_t size) = 0;
  // Says goodbye once what was sent before has gone out.
  virtual void Disconnect(PeerId peer) = 0;
  // Pushes out what was sent in this frame.
  virtual void Flush() = 0;
};

}  // namespace net
