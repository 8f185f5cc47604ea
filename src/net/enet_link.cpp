#include "net/enet_link.h"

#include "net/wire.h"

#include <enet/enet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace net {

namespace {

// ENet gives up on a silent peer after these (ms); the game's own rules (2 s, 10 s) come first.
constexpr enet_uint32 kTimeoutMinimum = 12000, kTimeoutMaximum = 20000;
// The joiner's connection attempt.
constexpr enet_uint32 kConnectData = 0x56544E52;  // "VTNR"

// What a peer may make ENet hold for it: no message is larger than kMaxMessageSize, so a
// larger (fragmented) packet is refused before ENet allocates for it.
void Limit(ENetHost* host) {
  host->maximumPacketSize = kMaxMessageSize;
  host->maximumWaitingData = 64 * 1024;
}

bool Initialise(std::string& error) {
  static const bool ok = [] {
    if (enet_initialize() != 0) return false;
    std::atexit(enet_deinitialize);
    return true;
  }();
  if (!ok) error = "the network library (ENet) could not start";
  return ok;
}

// A name resolved on a thread of its own; the frame loop only looks at the outcome.
struct Resolution {
  std::mutex mutex;
  bool done = false;
  bool ok = false;
  enet_uint32 address = 0;  // network byte order
  std::string error;
};

void Resolve(std::shared_ptr<Resolution> r, std::string host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* list = nullptr;
  const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &list);
  std::lock_guard<std::mutex> lock(r->mutex);
  r->done = true;
  if (rc != 0 || list == nullptr) {
    r->error = "cannot find the host \"" + host + "\" (" + gai_strerror(rc) +
               "); ENet reaches IPv4 addresses only";
  } else {
    r->ok = true;
    r->address = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr.s_addr;
  }
  if (list != nullptr) freeaddrinfo(list);
}

// Datagrams from addresses that are no peer's: ENet reads at most this many in one frame
// (a newcomer's connection request is one of them), a few more are dropped, and after those
// the frame reads nothing more: a flood costs each frame a few dozen reads at most.
constexpr int kStrangersPerFrame = 8;
constexpr int kStrangersReadPerFrame = 32;

// Counts strangers' datagrams during one enet_host_service (one thread runs the game).
thread_local int strangers = 0;

int ENET_CALLBACK DropStrangers(ENetHost* host, ENetEvent*) {
  const ENetAddress& from = host->receivedAddress;
  for (size_t i = 0; i < host->peerCount; ++i) {
    const ENetPeer& p = host->peers[i];
    if (p.state != ENET_PEER_STATE_DISCONNECTED && p.address.host == from.host && p.address.port == from.port)
      return 0;  // a peer's: ENet reads it
  }
  ++strangers;
  if (strangers <= kStrangersPerFrame) return 0;
  return strangers <= kStrangersReadPerFrame ? 1 : -1;
}

}  // namespace

bool ParseHostAndPort(const std::string& text, uint16_t defaultPort, HostAndPort& out, std::string& error) {
  out = {};
  out.port = defaultPort;
  std::string host = text, port;
  if (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) {
      error = "\"" + text + "\": an IPv6 address in brackets lacks its ']'";
      return false;
    }
    host = text.substr(1, close - 1);
    out.ipv6 = true;
    if (close + 1 < text.size()) {
      if (text[close + 1] != ':') {
        error = "\"" + text + "\": expected ':' and a port after ']'";
        return false;
      }
      port = text.substr(close + 2);
    }
  } else {
    const size_t colon = text.find(':');
    if (colon != std::string::npos && text.find(':', colon + 1) != std::string::npos) {
      out.ipv6 = true;  // a bare IPv6 address
    } else if (colon != std::string::npos) {
      host = text.substr(0, colon);
      port = text.substr(colon + 1);
    }
  }
  if (host.empty() || host.size() > 253) {
    error = "\"" + text + "\": no host name";
    return false;
  }
  if (text.find_first_of(" \t\r\n") != std::string::npos) {
    error = "\"" + text + "\": a host name has no spaces";
    return false;
  }
  if (!port.empty() || (port.empty() && text.size() > 0 && text.back() == ':' && !out.ipv6)) {
    char* end = nullptr;
    const long p = port.empty() ? -1 : std::strtol(port.c_str(), &end, 10);
    if (port.empty() || *end != '\0' || p < 1 || p > 65535) {
      error = "\"" + text + "\": the port must be a number from 1 to 65535";
      return false;
    }
    out.port = static_cast<uint16_t>(p);
  }
  out.host = host;
  return true;
}

struct EnetLink::Impl {
  ENetHost* host = nullptr;
  bool listening = false;
  uint16_t port = 0;
  std::shared_ptr<Resolution> resolution;
  std::string target;
  ENetPeer* server = nullptr;  // the joiner's one peer
  bool connected = false;
  bool failedReported = false;
  std::string failure;  // waiting to be handed over as Failed
  bool haveEvent = false;
  ENetEvent event{};
  ENetPacket* current = nullptr;  // the message last handed over

  ~Impl() {
    DropCurrent();
    if (host != nullptr) {
      // Say goodbye to everyone, without waiting for an answer.
      for (size_t i = 0; i < host->peerCount; ++i) {
        ENetPeer& p = host->peers[i];
        if (p.state == ENET_PEER_STATE_CONNECTED) enet_peer_disconnect_now(&p, 0);
      }
      enet_host_destroy(host);
    }
  }
  void DropCurrent() {
    if (current != nullptr) enet_packet_destroy(current);
    current = nullptr;
  }
  PeerId IdOf(const ENetPeer* p) const { return static_cast<PeerId>(p - host->peers); }
  ENetPeer* PeerOf(PeerId id) const { return id < host->peerCount ? &host->peers[id] : nullptr; }
};

EnetLink::EnetLink(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

EnetLink::~EnetLink() = default;

std::unique_ptr<EnetLink> EnetLink::Listen(uint16_t port, size_t maxPeers, std::string& error,
                                           const std::string& bindAddress) {
  if (!Initialise(error)) return nullptr;
  ENetAddress address{};
  address.host = ENET_HOST_ANY;
  address.port = port;
  if (!bindAddress.empty() && enet_address_set_host_ip(&address, bindAddress.c_str()) != 0) {
    error = "cannot listen on \"" + bindAddress + "\"";
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  impl->host = enet_host_create(&address, maxPeers, kChannelCount, 0, 0);
  if (impl->host == nullptr) {
    error = "cannot listen on UDP port " + std::to_string(port) + " (is another game using it?)";
    return nullptr;
  }
  Limit(impl->host);
  impl->host->intercept = DropStrangers;
  impl->listening = true;
  impl->port = port;
  return std::unique_ptr<EnetLink>(new EnetLink(std::move(impl)));
}

std::unique_ptr<EnetLink> EnetLink::Connect(const HostAndPort& target, std::string& error) {
  if (target.ipv6) {
    error = "cannot join \"" + target.host + "\": the network library (ENet 1.3) reaches IPv4 addresses only";
    return nullptr;
  }
  if (!Initialise(error)) return nullptr;
  auto impl = std::make_unique<Impl>();
  impl->host = enet_host_create(nullptr, 1, kChannelCount, 0, 0);
  if (impl->host == nullptr) {
    error = "cannot open a UDP socket";
    return nullptr;
  }
  Limit(impl->host);
  impl->port = target.port;
  impl->target = target.host;
  impl->resolution = std::make_shared<Resolution>();
  std::thread(Resolve, impl->resolution, target.host).detach();
  return std::unique_ptr<EnetLink>(new EnetLink(std::move(impl)));
}

void EnetLink::Service(uint32_t) {
  Impl& m = *impl_;
  m.DropCurrent();
  if (m.resolution) {
    std::lock_guard<std::mutex> lock(m.resolution->mutex);
    if (m.resolution->done) {
      if (m.resolution->ok) {
        ENetAddress address{};
        address.host = m.resolution->address;
        address.port = m.port;
        m.server = enet_host_connect(m.host, &address, kChannelCount, kConnectData);
        if (m.server == nullptr) m.failure = "cannot start a connection";
      } else {
        m.failure = m.resolution->error;
      }
      m.resolution.reset();
    }
  }
  strangers = 0;
  m.haveEvent = enet_host_service(m.host, &m.event, 0) > 0;
}

bool EnetLink::Next(LinkEvent& out) {
  Impl& m = *impl_;
  m.DropCurrent();
  if (!m.failure.empty() && !m.failedReported) {
    m.failedReported = true;
    out.kind = LinkEvent::Kind::Failed;
    out.detail = m.failure;
    return true;
  }
  if (!m.haveEvent && enet_host_check_events(m.host, &m.event) <= 0) return false;
  m.haveEvent = false;
  const ENetEvent& e = m.event;
  out.peer = m.IdOf(e.peer);
  out.data = nullptr;
  out.size = 0;
  out.detail.clear();
  switch (e.type) {
    case ENET_EVENT_TYPE_CONNECT:
      enet_peer_timeout(e.peer, 0, kTimeoutMinimum, kTimeoutMaximum);
      out.kind = LinkEvent::Kind::Connected;
      if (!m.listening) m.connected = true;
      return true;
    case ENET_EVENT_TYPE_DISCONNECT:
      if (!m.listening && !m.connected) {
        out.kind = LinkEvent::Kind::Failed;
        out.detail = "no answer from " + m.target + ":" + std::to_string(m.port) + " (is a game hosting there?)";
        m.failedReported = true;
      } else {
        out.kind = LinkEvent::Kind::Disconnected;
      }
      m.connected = false;
      return true;
    case ENET_EVENT_TYPE_RECEIVE:
      m.current = e.packet;
      out.kind = LinkEvent::Kind::Message;
      out.channel = e.channelID == 0 ? Channel::Reliable : Channel::Sequenced;
      out.data = e.packet->data;
      out.size = e.packet->dataLength;
      return true;
    default:
      return Next(out);
  }
}

void EnetLink::Send(PeerId id, Channel channel, const uint8_t* data, size_t size) {
  ENetPeer* p = impl_->PeerOf(id);
  if (p == nullptr || p->state != ENET_PEER_STATE_CONNECTED) return;
  const enet_uint32 flags = channel == Channel::Reliable ? ENET_PACKET_FLAG_RELIABLE : 0;
  ENetPacket* packet = enet_packet_create(data, size, flags);
  if (packet == nullptr) return;
  if (enet_peer_send(p, static_cast<enet_uint8>(channel), packet) != 0) enet_packet_destroy(packet);
}

void EnetLink::Disconnect(PeerId id) {
  ENetPeer* p = impl_->PeerOf(id);
  if (p != nullptr && p->state != ENET_PEER_STATE_DISCONNECTED) enet_peer_disconnect_later(p, 0);
}

void EnetLink::Flush() { enet_host_flush(impl_->host); }

uint16_t EnetLink::Port() const { return impl_->listening ? impl_->host->address.port : impl_->port; }
uint64_t EnetLink::BytesSent() const { return impl_->host->totalSentData; }
uint64_t EnetLink::BytesReceived() const { return impl_->host->totalReceivedData; }
uint64_t EnetLink::DatagramsReceived() const { return impl_->host->totalReceivedPackets; }

}  // namespace net
