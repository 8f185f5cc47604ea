#include "net/replay.h"

#include <cerrno>
#include <cstring>

namespace net {

namespace {

constexpr char kMagic[8] = {'V', 'N', 'T', 'R', 'P', 'L', 'A', 'Y'};

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, static_cast<uint16_t>(v));
  Put16(p + 2, static_cast<uint16_t>(v >> 16));
}
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) { return Get16(p) | (static_cast<uint32_t>(Get16(p + 2)) << 16); }

}  // namespace

ReplayWriter::~ReplayWriter() {
  std::string ignored;
  Close(ignored);
}

bool ReplayWriter::Open(const std::string& path, std::string& error) {
  path_ = path;
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) {
    error = "cannot write the replay file " + path + ": " + std::strerror(errno);
    return false;
  }
  std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
  uint8_t header[kReplayHeaderSize] = {};
  std::memcpy(header, kMagic, sizeof kMagic);
  Put16(header + 8, kReplayVersion);
  Put16(header + 10, kProtocolVersion);
  if (std::fwrite(header, 1, sizeof header, file_) != sizeof header) failed_ = true;
  bytes_ = sizeof header;
  return true;
}

void ReplayWriter::Write(uint32_t tick, Channel channel, const uint8_t* data, size_t size) {
  if (file_ == nullptr || failed_ || size == 0 || size > kMaxMessageSize) return;
  Message m;
  if (Decode(data, size, m) != DecodeError::None) return;
  const bool screen = m.type == MsgType::Screen;
  if (screen && m.screen.screen == Screen::Match) {
    if (!started_) {
      started_ = true;
      first_ = tick;
    } else if (part_ == Part::Off) {
      // The menus between two matches are left out: the next one follows the last after a gap.
      first_ = tick - (last_ + kGapMs);
    }
    part_ = Part::Match;
  } else if (screen && m.screen.screen == Screen::After && part_ == Part::Match) {
    part_ = Part::After;
  } else if (part_ == Part::Off || screen) {
    part_ = Part::Off;  // a menu
    return;
  }
  uint32_t t = tick - first_;
  if (t < last_ || t > 0x7FFFFFFF) t = last_;  // the clock never runs backwards in the file
  last_ = t;
  uint8_t head[kReplayRecordHead];
  Put32(head, t);
  head[4] = static_cast<uint8_t>(channel);
  Put16(head + 5, static_cast<uint16_t>(size));
  if (bytes_ + sizeof head + size > kMaxReplayBytes) return;  // a replay no reader would take
  if (std::fwrite(head, 1, sizeof head, file_) != sizeof head || std::fwrite(data, 1, size, file_) != size)
    failed_ = true;
  bytes_ += sizeof head + size;
  // The after-match screen's first frame shows it: what follows is menus. The match is
  // pushed to the file whole.
  if (part_ == Part::After && m.type == MsgType::Snapshot) {
    part_ = Part::Off;
    Flush();
  }
}

void ReplayWriter::Flush() {
  if (file_ != nullptr && std::fflush(file_) != 0) failed_ = true;
}

bool ReplayWriter::Close(std::string& error) {
  if (file_ == nullptr) return !failed_;
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  if (failed_) error = "the replay file " + path_ + " could not be written completely";
  return !failed_;
}

bool ParseReplay(const uint8_t* data, size_t size, std::vector<ReplayRecord>& records, std::string& error,
                 ReplayCut* cut) {
  records.clear();
  if (cut != nullptr) *cut = ReplayCut{};
  if (size < kReplayHeaderSize || std::memcmp(data, kMagic, sizeof kMagic) != 0) {
    error = "it is not a Vantor replay";
    return false;
  }
  const uint16_t version = Get16(data + 8), protocol = Get16(data + 10);
  if (version != kReplayVersion || protocol != kProtocolVersion) {
    error = "it was written by another version of the game (replay format " + std::to_string(version) +
            ", network protocol " + std::to_string(protocol) + ")";
    return false;
  }
  if (Get32(data + 12) != 0) {
    error = "its header is damaged";
    return false;
  }
  size_t at = kReplayHeaderSize;
  uint32_t last = 0;
  bool sawMatch = false;
  while (at < size) {
    const std::string where = " (record " + std::to_string(records.size() + 1) + ", byte " + std::to_string(at) + ")";
    // A last record cut short: what came before it plays.
    const auto cutShort = [&] {
      if (cut != nullptr) *cut = ReplayCut{true, records.size() + 1, at};
      at = size;
    };
    if (size - at < kReplayRecordHead) {
      cutShort();
      break;
    }
    ReplayRecord r;
    r.tick = Get32(data + at);
    const uint8_t channel = data[at + 4];
    r.size = Get16(data + at + 5);
    if (channel > 1 || r.size == 0 || r.size > kMaxMessageSize || r.tick < last || r.tick > 0x7FFFFFFF) {
      error = "a record is damaged" + where;
      return false;
    }
    if (size - at - kReplayRecordHead < r.size) {
      cutShort();
      break;
    }
    r.channel = static_cast<Channel>(channel);
    r.offset = static_cast<uint32_t>(at + kReplayRecordHead);
    Message m;
    const DecodeError e = Decode(data + r.offset, r.size, m);
    const bool fromHost = m.type == MsgType::Snapshot || m.type == MsgType::Screen || m.type == MsgType::Names ||
                          m.type == MsgType::Goal;
    if (e != DecodeError::None || !fromHost) {
      error = std::string("a record holds ") + (e != DecodeError::None ? Describe(e) : "a message no host sends") + where;
      return false;
    }
    if (!sawMatch && !(m.type == MsgType::Screen && m.screen.screen == Screen::Match)) {
      error = "it does not begin with a match" + where;
      return false;
    }
    sawMatch = true;
    last = r.tick;
    records.push_back(r);
    at += kReplayRecordHead + r.size;
  }
  if (records.empty()) {
    error = "it holds no match";
    return false;
  }
  return true;
}

std::unique_ptr<ReplayLink> ReplayLink::Open(const std::string& path, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = "cannot open the replay " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  auto link = std::unique_ptr<ReplayLink>(new ReplayLink());
  uint8_t chunk[1 << 14];
  size_t n;
  bool tooLarge = false;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
    if (link->bytes_.size() + n > kMaxReplayBytes) {
      tooLarge = true;
      break;
    }
    link->bytes_.insert(link->bytes_.end(), chunk, chunk + n);
  }
  const bool readError = std::ferror(f) != 0;
  std::fclose(f);
  if (readError || tooLarge) {
    error = "cannot play the replay " + path + ": " + (tooLarge ? "it is larger than any replay" : "it cannot be read");
    return nullptr;
  }
  std::string why;
  if (!ParseReplay(link->bytes_.data(), link->bytes_.size(), link->records_, why, &link->cut_)) {
    error = "cannot play the replay " + path + ": " + why;
    return nullptr;
  }
  link->welcomeSize_ = Encode(Welcome{Role::Spectator}, link->welcome_);
  return link;
}

void ReplayLink::Service(uint32_t nowMs) {
  if (haveClock_ && !paused_ && welcomed_) elapsed_ += nowMs - last_;
  haveClock_ = true;
  last_ = nowMs;
}

bool ReplayLink::Next(LinkEvent& e) {
  e.peer = 0;
  e.detail.clear();
  if (!connectedSent_) {
    connectedSent_ = true;
    e.kind = LinkEvent::Kind::Connected;
    return true;
  }
  if (helloSeen_ && !welcomed_) {
    welcomed_ = true;
    e.kind = LinkEvent::Kind::Message;
    e.channel = Channel::Reliable;
    e.data = welcome_.data();
    e.size = welcomeSize_;
    return true;
  }
  if (!welcomed_ || next_ >= records_.size() || records_[next_].tick > elapsed_) return false;
  const ReplayRecord& r = records_[next_++];
  e.kind = LinkEvent::Kind::Message;
  e.channel = r.channel;
  e.data = bytes_.data() + r.offset;
  e.size = r.size;
  return true;
}

void ReplayLink::Send(PeerId, Channel, const uint8_t* data, size_t size) {
  Message m;
  if (Decode(data, size, m) == DecodeError::None && m.type == MsgType::Hello) helloSeen_ = true;
}

}  // namespace net
