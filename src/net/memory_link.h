// Links in memory between the endpoints of one MemoryNetwork, for tests: each message
// arrives after a set delay (on the receiver's clock), sequenced messages may be lost, and
// reliable ones never are.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "net/link.h"

namespace net {

class MemoryNetwork;

class MemoryLink : public Link {
 public:
  MemoryLink(std::shared_ptr<MemoryNetwork> network, PeerId self);
  ~MemoryLink() override;

  // Connects to another endpoint of the same network (both see Connected).
  void Connect(PeerId other);
  // Cuts the endpoint off without a goodbye: nothing it sends arrives any more.
  void Cut() { cut_ = true; }
  // Lets it through again, as a connection that comes back.
  void Restore() { cut_ = false; }

  void Service(uint32_t nowMs) override;
  bool Next(LinkEvent& event) override;
  void Send(PeerId peer, Channel channel, const uint8_t* data, size_t size) override;
  void Disconnect(PeerId peer) override;
  void Flush() override {}

  PeerId self() const { return self_; }
  uint64_t bytesSent = 0, bytesReceived = 0;

 private:
  friend class MemoryNetwork;
  struct Item {
    LinkEvent::Kind kind;
    PeerId from;
    Channel channel;
    uint32_t sent;  // sender's clock
    std::vector<uint8_t> bytes;
  };
  std::shared_ptr<MemoryNetwork> network_;
  PeerId self_;
  uint32_t now_ = 0;
  bool cut_ = false;
  std::deque<Item> inbox_;
  Item current_{};
};

class MemoryNetwork {
 public:
  uint32_t delayMs = 0;        // one way
  uint32_t lossPercent = 0;    // of sequenced messages
  uint32_t seed = 12345;       // for the losses

 private:
  friend class MemoryLink;
  void Deliver(PeerId to, MemoryLink::Item item);
  bool Lose();
  std::vector<MemoryLink*> endpoints_;
};

}  // namespace net
