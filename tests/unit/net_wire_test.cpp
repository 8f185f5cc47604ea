// The network's wire format, handshake and replay files: what is sent comes back the same,
// and whatever is damaged, foreign or of another version is refused with a reason.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "net/memory_link.h"
#include "net/replay.h"
#include "net/session.h"
#include "net/wire.h"
#include "unit/test_files.h"

namespace {

using namespace net;

Snapshot SampleSnapshot() {
  Snapshot s;
  s.frame = 77;
  s.tick = 123456;
  s.epoch = 3;
  s.screen = Screen::Match;
  s.flags = kSnapPaused | kSnapOnePlayer;
  s.focus = 4;
  s.levelChoice = 2;
  s.buttons = {1, 2, 3, 0, 1, 2, 3, 0, 1};
  s.ballX = -3.25f;
  s.ballZ = 2.5f;
  s.leftX = 4.0f;
  s.lightFade = -2500.0f;
  s.rightScore = 7;
  s.leftScore = 11;
  s.clock = 179;
  s.effects = {1, 2, 3, 4, 255};
  return s;
}

// The bytes of a message, to damage one field at a time.
template <class M>
std::vector<uint8_t> Bytes(const M& m) {
  Buffer b;
  const size_t n = Encode(m, b);
  return {b.begin(), b.begin() + static_cast<long>(n)};
}

DecodeError DecodeBytes(const std::vector<uint8_t>& bytes) {
  Message m;
  return Decode(bytes.data(), bytes.size(), m);
}

}  // namespace

TEST(NetWire, MessagesComeBackAsSentAndDamagedOnesAreRefused) {
  const Snapshot s = SampleSnapshot();
  auto bytes = Bytes(s);
  Message m;
  ASSERT_EQ(Decode(bytes.data(), bytes.size(), m), DecodeError::None);
  ASSERT_EQ(m.type, MsgType::Snapshot);
  EXPECT_EQ(std::memcmp(&m.snapshot.ballX, &s.ballX, sizeof(float) * 11), 0);
  EXPECT_EQ(m.snapshot.effects, s.effects);
  EXPECT_EQ(m.snapshot.buttons, s.buttons);
  EXPECT_EQ(m.snapshot.clock, 179);

  ScreenChange c;
  c.screen = Screen::After;
  c.rightName = Name::From("Zoë");
  c.leftName = Name::From("BOB");
  c.musicTrack = 8;
  ASSERT_EQ(DecodeBytes(Bytes(c)), DecodeError::None);

  // One field at a time out of its range, and sizes that are not the type's.
  struct Case {
    size_t at;
    uint8_t value;
    DecodeError expected;
  };
  const Case cases[] = {
      {0, 0, DecodeError::UnknownType},    {0, 99, DecodeError::UnknownType},
      {11, 5, DecodeError::OutOfRange},    // screen
      {12, 64, DecodeError::OutOfRange},   // flags
      {13, 7, DecodeError::OutOfRange},    // focus
      {16, 4, DecodeError::OutOfRange},    // a button's look
      {28, 0xFF, DecodeError::OutOfRange}, // the ball's x: a NaN
      {69, 0x80, DecodeError::OutOfRange}, // a negative score
      {72, 181, DecodeError::OutOfRange},  // the clock
  };
  for (const Case& k : cases) {
    auto damaged = bytes;
    damaged[k.at] = k.value;
    if (k.at == 28) damaged[29] = damaged[30] = damaged[31] = 0xFF;
    EXPECT_EQ(DecodeBytes(damaged), k.expected) << "byte " << k.at;
  }
  EXPECT_EQ(DecodeBytes({bytes.begin(), bytes.end() - 1}), DecodeError::WrongSize);
  bytes.push_back(0);
  EXPECT_EQ(DecodeBytes(bytes), DecodeError::WrongSize);
  EXPECT_EQ(DecodeBytes({}), DecodeError::Empty);

  // Names: cut to 16 printable characters on the way out, refused when they are not.
  EXPECT_EQ(Name::From("ABCDEFGHIJKLMNOPQRSTU").view(), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(Name::From("Zo\xC3\xAB\x01tail").view(), "Zo\xC3\xAB");
  auto names = Bytes(Names{Name::From("AL"), Name::From("BO")});
  names[1] = 65;  // a name longer than its field
  EXPECT_EQ(DecodeBytes(names), DecodeError::OutOfRange);
  names[1] = 3;  // a byte of the padding taken into the name
  EXPECT_EQ(DecodeBytes(names), DecodeError::OutOfRange);
  names[1] = 2;
  names[2] = 0xC3;  // half a character
  EXPECT_EQ(DecodeBytes(names), DecodeError::OutOfRange);

  // The handshake tells another game from another version of this one.
  auto hello = Bytes(Hello{kProtocolVersion, Name::From("BOB")});
  ASSERT_EQ(DecodeBytes(hello), DecodeError::None);
  auto other = hello;
  other[1] = 'X';
  EXPECT_EQ(DecodeBytes(other), DecodeError::NotThisGame);
  auto newer = std::vector<uint8_t>(hello.begin(), hello.begin() + 11);
  newer[9] = static_cast<uint8_t>(kProtocolVersion + 1);
  EXPECT_EQ(DecodeBytes(newer), DecodeError::OtherVersion) << "whatever the size of a later version's greeting";
}

TEST(NetSession, OnePlayerThenSpectatorsAndOtherVersionsRefusedWithAReason) {
  auto network = std::make_shared<MemoryNetwork>();
  MemoryLink hostLink(network, 1), aLink(network, 2), bLink(network, 3), cLink(network, 4);
  HostSession host(hostLink);
  std::vector<std::string> notices;
  host.onNotice = [&notices](const std::string& n) { notices.push_back(n); };
  JoinSession a(aLink, Name::From("ANN")), b(bLink, Name::From("BEN"));
  std::vector<MsgType> bGot;
  auto none = [](const Message&) {};
  aLink.Connect(1);
  bLink.Connect(1);
  cLink.Connect(1);
  for (int i = 0; i < 3; ++i) {
    host.Service(0);
    a.Service(0, none);
    b.Service(0, [&bGot](const Message& m) { bGot.push_back(m.type); });
  }
  EXPECT_EQ(a.state(), JoinSession::State::Joined);
  EXPECT_EQ(a.role(), Role::Player);
  EXPECT_EQ(b.state(), JoinSession::State::Joined);
  EXPECT_EQ(b.role(), Role::Spectator);
  EXPECT_EQ(host.PlayerName().view(), "ANN");

  // Only the player's keys count; junk from a welcomed peer changes nothing.
  a.SendKeys(kKeyUp | kKeyBoost);
  b.SendKeys(kKeyDown);
  const uint8_t junk[] = {4, 1, 0, 0, 0, 0xFF};
  aLink.Send(1, Channel::Sequenced, junk, sizeof junk);
  host.Service(0);
  EXPECT_EQ(host.PlayerKeys(), kKeyUp | kKeyBoost);

  // The spectator sees what the host sends to all.
  host.Broadcast(Channel::Reliable, Goal{1, 2});
  b.Service(0, [&bGot](const Message& m) { bGot.push_back(m.type); });
  ASSERT_FALSE(bGot.empty());
  EXPECT_EQ(bGot.back(), MsgType::Goal);

  // A greeting of another protocol version: refused, and told which version the host speaks.
  Buffer hello;
  Encode(Hello{kProtocolVersion, Name::From("OLD")}, hello);
  hello[9] = static_cast<uint8_t>(kProtocolVersion + 1);
  cLink.Send(1, Channel::Reliable, hello.data(), 11);
  host.Service(0);
  LinkEvent e;
  bool refused = false;
  cLink.Service(0);
  while (cLink.Next(e)) {
    Message m;
    if (e.kind == LinkEvent::Kind::Message && Decode(e.data, e.size, m) == DecodeError::None &&
        m.type == MsgType::Refuse) {
      refused = m.refuse.reason == RefuseReason::OtherVersion && m.refuse.protocol == kProtocolVersion;
    }
  }
  EXPECT_TRUE(refused);
  ASSERT_FALSE(notices.empty());
  EXPECT_NE(notices.back().find("another version"), std::string::npos) << notices.back();

  // A joiner refused for its version says so in words.
  MemoryLink dLink(network, 5);
  JoinSession d(dLink, Name::From("DAN"));
  dLink.Connect(1);
  d.Service(0, none);  // greets the host
  Buffer refuse;
  dLink.Service(0);
  const size_t n = Encode(Refuse{RefuseReason::OtherVersion, 9}, refuse);
  hostLink.Send(5, Channel::Reliable, refuse.data(), n);
  d.Service(0, none);
  EXPECT_EQ(d.state(), JoinSession::State::Refused);
  EXPECT_NE(d.problem().find("another version of Vantor (network protocol 9"), std::string::npos) << d.problem();
}

TEST(NetReplay, DamagedOrForeignFilesAreRefusedWithWhereAndWhy) {
  TempFolder folder;
  const std::string path = folder.Path("a.vrp");
  {
    ReplayWriter w;
    std::string error;
    ASSERT_TRUE(w.Open(path, error)) << error;
    Buffer b;
    w.Write(5, Channel::Sequenced, b.data(), Encode(SampleSnapshot(), b));  // before any match: not kept
    ScreenChange c;
    c.screen = Screen::Match;
    w.Write(10, Channel::Reliable, b.data(), Encode(c, b));
    w.Write(27, Channel::Sequenced, b.data(), Encode(SampleSnapshot(), b));
    ASSERT_TRUE(w.Close(error)) << error;
  }
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<ReplayRecord> records;
  std::string error;
  ASSERT_TRUE(ParseReplay(good.data(), good.size(), records, error)) << error;
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].tick, 17u);

  auto refused = [&](std::vector<uint8_t> bytes, const std::string& why) {
    std::string e;
    EXPECT_FALSE(ParseReplay(bytes.data(), bytes.size(), records, e)) << why;
    EXPECT_NE(e.find(why), std::string::npos) << e;
  };
  refused({good.begin(), good.begin() + 8}, "not a Vantor replay");
  auto foreign = good;
  foreign[0] = 'X';
  refused(foreign, "not a Vantor replay");
  auto newer = good;
  newer[8] = 2;
  refused(newer, "another version");
  // A last record cut short (a game killed while it recorded): the records before it play.
  {
    const std::vector<uint8_t> cutShort(good.begin(), good.end() - 3);
    ReplayCut cut;
    ASSERT_TRUE(ParseReplay(cutShort.data(), cutShort.size(), records, error, &cut)) << error;
    EXPECT_EQ(records.size(), 1u);
    EXPECT_TRUE(cut.cut);
    EXPECT_EQ(cut.record, 2u);
    EXPECT_EQ(cut.byte, kReplayHeaderSize + kReplayRecordHead + 144);
  }
  auto backwards = good;
  backwards[kReplayHeaderSize + kReplayRecordHead + 151] = 0;  // the second record's time
  backwards[kReplayHeaderSize + kReplayRecordHead + 144 + 4] = 9;  // a third channel
  refused(backwards, "damaged");
  auto wrongMessage = good;
  wrongMessage[kReplayHeaderSize + kReplayRecordHead + 1 + 2] = 9;  // the screen of the first record
  refused(wrongMessage, "value out of range");
  refused(std::vector<uint8_t>(good.begin(), good.begin() + kReplayHeaderSize), "holds no match");

  std::string openError;
  EXPECT_EQ(ReplayLink::Open(folder.Path("missing.vrp"), openError), nullptr);
  EXPECT_NE(openError.find("missing.vrp"), std::string::npos) << openError;
}
