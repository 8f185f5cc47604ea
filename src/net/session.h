// The two ends of a network match above the link: the host, which welcomes one player and
// a few spectators and sends them what it shows, and the joiner, which introduces itself,
// sends its keys and takes in what the host shows. Neither knows the game's objects.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "net/link.h"
#include "net/wire.h"

namespace net {

class ReplayWriter;

class HostSession {
 public:
  static constexpr size_t kMaxPeers = 4;  // the player and three spectators

  explicit HostSession(Link& link) : link_(link) {}

  // Handles what arrived: handshakes, key states, peers leaving.
  void Service(uint32_t nowMs);

  bool HasPlayer() const { return player_ >= 0; }
  const Name& PlayerName() const;
  uint8_t PlayerKeys() const;
  // The sequence number of the player's key state PlayerKeys gives (0 before the first).
  uint32_t PlayerSequence() const;
  // Milliseconds since the player was last heard from (0 without a player).
  uint32_t PlayerSilence(uint32_t nowMs) const;
  // Sends the player away (after a long silence): its place is free again.
  void DropPlayer();

  // To every welcomed peer (and the recording).
  void Broadcast(Channel channel, const uint8_t* data, size_t size);
  template <class M>
  void Broadcast(Channel channel, const M& m) {
    Buffer b;
    Broadcast(channel, b.data(), Encode(m, b));
  }
  template <class M>
  void SendTo(PeerId peer, const M& m) {
    Buffer b;
    link_.Send(peer, Channel::Reliable, b.data(), Encode(m, b));
  }

  // Called for each peer just welcomed: it is sent what the others already know.
  std::function<void(PeerId)> onWelcome;
  // Called when the player leaves by saying goodbye.
  std::function<void()> onPlayerLeft;
  // Called with one line for the player to read on the terminal (who joined, who was refused).
  std::function<void(const std::string&)> onNotice;
  ReplayWriter* recorder = nullptr;
  uint32_t recordTick = 0;  // the tick written with recorded messages

 private:
  struct Peer {
    bool used = false;
    bool welcomed = false;
    PeerId id = 0;
    Role role = Role::Spectator;
    Name name;
    uint32_t lastHeard = 0;
    uint32_t sequence = 0;
    uint8_t keys = 0;
  };
  Peer* Find(PeerId id);
  void OnMessage(Peer& peer, const LinkEvent& e);
  void Notice(const std::string& line) {
    if (onNotice) onNotice(line);
  }

  Link& link_;
  std::array<Peer, kMaxPeers> peers_{};
  int player_ = -1;
  uint32_t now_ = 0;
};

class JoinSession {
 public:
  enum class State { Connecting, Handshake, Joined, Refused, Failed, Closed };

  JoinSession(Link& link, const Name& name) : link_(link), name_(name) {}

  // Handles what arrived; every message from the host after the welcome goes to `handler`.
  void Service(uint32_t nowMs, const std::function<void(const Message&)>& handler);
  // Sends this frame's key state; returns its sequence number (0 when nothing was sent).
  uint32_t SendKeys(uint8_t keys);
  void Leave();

  State state() const { return state_; }
  Role role() const { return role_; }
  // Milliseconds since the host was last heard from.
  uint32_t Silence(uint32_t nowMs) const { return nowMs - lastHeard_; }
  // Why the session ended (Refused, Failed, Closed), for the player to read.
  const std::string& problem() const { return problem_; }
  uint32_t badMessages = 0;

 private:
  Link& link_;
  Name name_;
  State state_ = State::Connecting;
  Role role_ = Role::Player;
  PeerId host_ = 0;
  uint32_t lastHeard_ = 0;
  bool started_ = false;
  uint32_t sequence_ = 0;
  std::string problem_;
};

}  // namespace net
