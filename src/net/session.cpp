#include "net/session.h"

#include "net/replay.h"

namespace net {

namespace {

// Built piece by piece: GCC 12 warns wrongly (-Wrestrict) about "\"" + std::string.
std::string Quoted(const Name& n) {
  std::string q(1, '"');
  q.append(n.view());
  q.push_back('"');
  return q;
}

}  // namespace

HostSession::Peer* HostSession::Find(PeerId id) {
  for (Peer& p : peers_) {
    if (p.used && p.id == id) return &p;
  }
  return nullptr;
}

void HostSession::Service(uint32_t nowMs) {
  now_ = nowMs;
  link_.Service(nowMs);
  LinkEvent e;
  while (link_.Next(e)) {
    switch (e.kind) {
      case LinkEvent::Kind::Connected: {
        Peer* slot = nullptr;
        for (Peer& p : peers_) {
          if (!p.used) {
            slot = &p;
            break;
          }
        }
        if (slot == nullptr) {
          SendTo(e.peer, Refuse{RefuseReason::Full, kProtocolVersion});
          link_.Disconnect(e.peer);
          Notice("a newcomer was turned away: the game is full");
          break;
        }
        *slot = Peer{};
        slot->used = true;
        slot->id = e.peer;
        slot->lastHeard = nowMs;
        break;
      }
      case LinkEvent::Kind::Disconnected: {
        Peer* p = Find(e.peer);
        if (p == nullptr) break;
        const bool wasPlayer = player_ >= 0 && p == &peers_[static_cast<size_t>(player_)];
        if (p->welcomed) Notice(Quoted(p->name) + " left");
        p->used = false;
        if (wasPlayer) {
          player_ = -1;
          if (onPlayerLeft) onPlayerLeft();
        }
        break;
      }
      case LinkEvent::Kind::Message: {
        Peer* p = Find(e.peer);
        if (p == nullptr) break;
        p->lastHeard = nowMs;
        OnMessage(*p, e);
        break;
      }
      case LinkEvent::Kind::Failed:
        break;
    }
  }
}

void HostSession::OnMessage(Peer& peer, const LinkEvent& e) {
  Message m;
  const DecodeError err = Decode(e.data, e.size, m);
  if (peer.welcomed) {
    // A bad message from a welcomed peer is dropped; its next key state will do.
    if (err == DecodeError::None && m.type == MsgType::Input && peer.role == Role::Player &&
        static_cast<int32_t>(m.input.sequence - peer.sequence) > 0) {
      peer.sequence = m.input.sequence;
      peer.keys = m.input.keys;
    }
    return;
  }
  if (err == DecodeError::OtherVersion) {
    SendTo(peer.id, Refuse{RefuseReason::OtherVersion, kProtocolVersion});
    link_.Disconnect(peer.id);
    peer.used = false;
    Notice("refused a player with another version of the game (network protocol " +
           std::to_string(m.hello.protocol) + ", this game speaks " + std::to_string(kProtocolVersion) + ")");
    return;
  }
  if (err != DecodeError::None || m.type != MsgType::Hello) {
    SendTo(peer.id, Refuse{RefuseReason::NotThisGame, kProtocolVersion});
    link_.Disconnect(peer.id);
    peer.used = false;
    Notice(std::string("refused a connection: ") + Describe(err == DecodeError::None ? DecodeError::NotThisGame : err));
    return;
  }
  peer.welcomed = true;
  peer.name = m.hello.name;
  if (player_ < 0) {
    peer.role = Role::Player;
    player_ = static_cast<int>(&peer - peers_.data());
    Notice(Quoted(peer.name) + " joined as the left player");
  } else {
    peer.role = Role::Spectator;
    Notice(Quoted(peer.name) + " joined as a spectator");
  }
  SendTo(peer.id, Welcome{peer.role});
  if (onWelcome) onWelcome(peer.id);
}

const Name& HostSession::PlayerName() const {
  static const Name none;
  return player_ >= 0 ? peers_[static_cast<size_t>(player_)].name : none;
}

uint8_t HostSession::PlayerKeys() const { return player_ >= 0 ? peers_[static_cast<size_t>(player_)].keys : 0; }

uint32_t HostSession::PlayerSequence() const {
  return player_ >= 0 ? peers_[static_cast<size_t>(player_)].sequence : 0;
}

uint32_t HostSession::PlayerSilence(uint32_t nowMs) const {
  return player_ >= 0 ? nowMs - peers_[static_cast<size_t>(player_)].lastHeard : 0;
}

void HostSession::DropPlayer() {
  if (player_ < 0) return;
  Peer& p = peers_[static_cast<size_t>(player_)];
  link_.Disconnect(p.id);
  Notice(Quoted(p.name) + " was silent too long and left the game");
  p.used = false;
  player_ = -1;
}

void HostSession::Broadcast(Channel channel, const uint8_t* data, size_t size) {
  for (const Peer& p : peers_) {
    if (p.used && p.welcomed) link_.Send(p.id, channel, data, size);
  }
  if (recorder != nullptr) recorder->Write(recordTick, channel, data, size);
}

void JoinSession::Service(uint32_t nowMs, const std::function<void(const Message&)>& handler) {
  if (!started_) {
    started_ = true;
    lastHeard_ = nowMs;
  }
  link_.Service(nowMs);
  LinkEvent e;
  while (link_.Next(e)) {
    switch (e.kind) {
      case LinkEvent::Kind::Failed:
        state_ = State::Failed;
        problem_ = e.detail;
        break;
      case LinkEvent::Kind::Connected: {
        state_ = State::Handshake;
        host_ = e.peer;
        lastHeard_ = nowMs;
        Buffer b;
        link_.Send(host_, Channel::Reliable, b.data(), Encode(Hello{kProtocolVersion, name_}, b));
        link_.Flush();
        break;
      }
      case LinkEvent::Kind::Disconnected:
        if (state_ == State::Joined) {
          state_ = State::Closed;
          problem_ = "The host ended the game.";
        } else if (state_ == State::Handshake || state_ == State::Connecting) {
          state_ = State::Failed;
          problem_ = "The host closed the connection before the game began.";
        }
        break;
      case LinkEvent::Kind::Message: {
        if (state_ != State::Handshake && state_ != State::Joined) break;
        lastHeard_ = nowMs;
        Message m;
        if (Decode(e.data, e.size, m) != DecodeError::None) {
          ++badMessages;
          break;
        }
        if (state_ == State::Handshake) {
          if (m.type == MsgType::Welcome) {
            state_ = State::Joined;
            role_ = m.welcome.role;
          } else if (m.type == MsgType::Refuse) {
            state_ = State::Refused;
            switch (m.refuse.reason) {
              case RefuseReason::OtherVersion:
                problem_ = "The host runs another version of Vantor (network protocol " +
                           std::to_string(m.refuse.protocol) + "; this game speaks " +
                           std::to_string(kProtocolVersion) + ").";
                break;
              case RefuseReason::Full:
                problem_ = "The host's game is full.";
                break;
              case RefuseReason::NotThisGame:
                problem_ = "The host did not understand this game's greeting.";
                break;
            }
          }
          break;
        }
        if (m.type == MsgType::Snapshot || m.type == MsgType::Screen || m.type == MsgType::Names ||
            m.type == MsgType::Goal) {
          handler(m);
        }
        break;
      }
    }
  }
}

uint32_t JoinSession::SendKeys(uint8_t keys) {
  if (state_ != State::Joined || role_ != Role::Player) return 0;
  if (++sequence_ == 0) ++sequence_;  // 0 stands for "none yet" in the host's acknowledgements
  Buffer b;
  link_.Send(host_, Channel::Sequenced, b.data(), Encode(Input{sequence_, keys}, b));
  return sequence_;
}

void JoinSession::Leave() {
  if (state_ == State::Handshake || state_ == State::Joined) link_.Disconnect(host_);
  link_.Flush();
  state_ = State::Closed;
}

}  // namespace net
