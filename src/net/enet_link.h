// The network link on ENet (UDP with reliable and unreliable channels). The host listens
// on a port for a few peers; the joiner resolves the host's name on a thread of its own and
// connects without ever blocking the frame loop. ENet speaks IPv4 only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/link.h"

namespace net {

// "name", "name:port", "1.2.3.4:port"; "[v6]:port" and bare IPv6 addresses are recognised
// so that they can be refused clearly. False with `error` set when it cannot be read.
struct HostAndPort {
  std::string host;
  uint16_t port = 0;
  bool ipv6 = false;
};
bool ParseHostAndPort(const std::string& text, uint16_t defaultPort, HostAndPort& out, std::string& error);

class EnetLink : public Link {
 public:
  ~EnetLink() override;

  // Listens on `port` (every IPv4 interface, or `bindAddress`) for up to `maxPeers` peers.
  static std::unique_ptr<EnetLink> Listen(uint16_t port, size_t maxPeers, std::string& error,
                                          const std::string& bindAddress = "");
  // Starts connecting to `target`; the outcome arrives as Connected or Failed.
  static std::unique_ptr<EnetLink> Connect(const HostAndPort& target, std::string& error);

  void Service(uint32_t nowMs) override;
  bool Next(LinkEvent& event) override;
  void Send(PeerId peer, Channel channel, const uint8_t* data, size_t size) override;
  void Disconnect(PeerId peer) override;
  void Flush() override;

  uint16_t Port() const;  // the port listened on (for port 0: the one given)
  uint64_t BytesSent() const;
  uint64_t BytesReceived() const;
  uint64_t DatagramsReceived() const;

 private:
  struct Impl;
  explicit EnetLink(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace net
