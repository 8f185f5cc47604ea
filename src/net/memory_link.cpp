#include "net/memory_link.h"

#include <algorithm>

namespace net {

MemoryLink::MemoryLink(std::shared_ptr<MemoryNetwork> network, PeerId self)
    : network_(std::move(network)), self_(self) {
  network_->endpoints_.push_back(this);
}

MemoryLink::~MemoryLink() {
  auto& e = network_->endpoints_;
  e.erase(std::remove(e.begin(), e.end(), this), e.end());
}

void MemoryLink::Connect(PeerId other) {
  network_->Deliver(other, {LinkEvent::Kind::Connected, self_, Channel::Reliable, now_, {}});
  network_->Deliver(self_, {LinkEvent::Kind::Connected, other, Channel::Reliable, now_, {}});
}

void MemoryLink::Service(uint32_t nowMs) { now_ = nowMs; }

bool MemoryLink::Next(LinkEvent& event) {
  if (inbox_.empty()) return false;
  const Item& front = inbox_.front();
  if (static_cast<int32_t>(now_ - (front.sent + network_->delayMs)) < 0) return false;
  current_ = std::move(inbox_.front());
  inbox_.pop_front();
  event.kind = current_.kind;
  event.peer = current_.from;
  event.channel = current_.channel;
  event.data = current_.bytes.data();
  event.size = current_.bytes.size();
  event.detail.clear();
  bytesReceived += current_.bytes.size();
  return true;
}

void MemoryLink::Send(PeerId peer, Channel channel, const uint8_t* data, size_t size) {
  if (cut_) return;
  bytesSent += size;
  if (channel == Channel::Sequenced && network_->Lose()) return;
  network_->Deliver(peer, {LinkEvent::Kind::Message, self_, channel, now_, std::vector<uint8_t>(data, data + size)});
}

void MemoryLink::Disconnect(PeerId peer) {
  if (cut_) return;
  network_->Deliver(peer, {LinkEvent::Kind::Disconnected, self_, Channel::Reliable, now_, {}});
}

void MemoryNetwork::Deliver(PeerId to, MemoryLink::Item item) {
  for (MemoryLink* e : endpoints_) {
    if (e->self_ == to && !e->cut_) e->inbox_.push_back(std::move(item));
  }
}

bool MemoryNetwork::Lose() {
  if (lossPercent == 0) return false;
  seed = seed * 1103515245u + 12345u;
  return (seed >> 16) % 100 < lossPercent;
}

}  // namespace net
