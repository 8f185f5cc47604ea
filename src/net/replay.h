// Replay files: the stream of messages a host sent in a match, each with its time, so that
// a replay plays through the joiner's path at the speed it was played.
//
//   header  "VNTRPLAY", u16 file version, u16 network protocol version, u32 zero
//   record  u32 milliseconds since the first record (never decreasing), u8 channel,
//           u16 size (1 … 256), the message as it went over the network
//
// Every record is checked when the file is opened (sizes, times, and the message itself, with
// the network decoder); a damaged or foreign file is refused whole, with the place of the
// damage. One thing alone is taken: a last record cut short, as a game that was killed
// while it recorded leaves it. The records before it play, and the replay then says that
// the recording ends there.
//
// A recording holds each match from its start to its after-match screen (that screen's
// first frame); the menus between matches are left out, and the next match follows two
// seconds after the after-match screen.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "net/link.h"
#include "net/wire.h"

namespace net {

constexpr uint16_t kReplayVersion = 1;
constexpr size_t kReplayHeaderSize = 16;
constexpr size_t kReplayRecordHead = 7;
// Far more than a long session (a 3-minute match is about 1 MB).
constexpr size_t kMaxReplayBytes = 64u << 20;

class ReplayWriter {
 public:
  ~ReplayWriter();
  // Opens (creates or empties) `path`; false with `error` set when it cannot.
  bool Open(const std::string& path, std::string& error);
  // Writes one record; the first record's tick is time zero. Only matches are written: from
  // the Screen message of a match's start to the first snapshot of its after-match screen.
  void Write(uint32_t tick, Channel channel, const uint8_t* data, size_t size);
  static constexpr uint32_t kGapMs = 2000;  // between a match's after-match screen and the next
  // Pushes what was written to the file (at each change of screen: a game that is killed
  // keeps the matches before).
  void Flush();
  // Flushes and closes; false when anything could not be written (the message says why).
  bool Close(std::string& error);
  bool started() const { return started_; }
  uint64_t bytes() const { return bytes_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  bool started_ = false;
  bool failed_ = false;
  enum class Part { Off, Match, After } part_ = Part::Off;
  uint32_t first_ = 0;
  uint32_t last_ = 0;
  uint64_t bytes_ = 0;
};

struct ReplayRecord {
  uint32_t tick = 0;
  Channel channel = Channel::Reliable;
  uint32_t offset = 0;  // of the message in the file's bytes
  uint16_t size = 0;
};

// Where a recording whose last record is cut short ends: the place of that record.
struct ReplayCut {
  bool cut = false;
  size_t record = 0;  // counted from 1
  size_t byte = 0;    // its first byte
};

// Checks a whole replay held in memory; false with `error` saying where and what is wrong.
// A last record cut short is not an error: `cut` says where it begins (when given).
bool ParseReplay(const uint8_t* data, size_t size, std::vector<ReplayRecord>& records, std::string& error,
                 ReplayCut* cut = nullptr);

// What a replay shows after the last whole record of a recording cut short.
constexpr const char* kReplayCutNotice = "The recording ends here: the game that made it stopped";

// A replay file as a link: one host that sends the recorded messages at their times. Time
// stands still while paused.
class ReplayLink : public Link {
 public:
  // Reads and checks `path`; nullptr with `error` set when it is missing, damaged or foreign.
  static std::unique_ptr<ReplayLink> Open(const std::string& path, std::string& error);

  void Service(uint32_t nowMs) override;
  bool Next(LinkEvent& event) override;
  void Send(PeerId, Channel, const uint8_t* data, size_t size) override;
  void Disconnect(PeerId) override {}
  void Flush() override {}

  void SetPaused(bool paused) { paused_ = paused; }
  bool paused() const { return paused_; }
  bool Finished() const { return welcomed_ && next_ >= records_.size(); }
  uint32_t Duration() const { return records_.empty() ? 0 : records_.back().tick; }
  // Where the recording was cut short (cut false for a whole one).
  const ReplayCut& cut() const { return cut_; }

 private:
  std::vector<uint8_t> bytes_;
  std::vector<ReplayRecord> records_;
  ReplayCut cut_;
  size_t next_ = 0;
  bool connectedSent_ = false;
  bool helloSeen_ = false;
  bool welcomed_ = false;
  bool paused_ = false;
  bool haveClock_ = false;
  uint32_t last_ = 0;
  uint32_t elapsed_ = 0;  // replay time played
  Buffer welcome_{};
  size_t welcomeSize_ = 0;
};

}  // namespace net
