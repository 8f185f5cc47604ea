// The network messages of a match between two machines, and the bytes they travel as.
// Every message is one byte of type followed by a fixed layout of little-endian fields;
// its size is fixed by its type. Decode checks the size, every range and every enum value
// before anything is used, and sizes nothing from what it reads. The handshake's first
// fields (type, game, protocol version) keep their place in every version, so a peer of
// another version is recognised and told so.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace net {

constexpr uint16_t kProtocolVersion = 2;  // 2: snapshots acknowledge key states
constexpr std::array<char, 8> kGameTag = {'V', 'A', 'N', 'T', 'O', 'R', '\0', '\0'};
constexpr uint16_t kDefaultPort = 27960;
constexpr size_t kMaxMessageSize = 256;  // larger than every message; nothing bigger is read

// A player's name as typed: at most 16 characters of printable UTF-8 (64 bytes).
struct Name {
  static constexpr size_t kMaxBytes = 64;
  static constexpr int kMaxCharacters = 16;
  uint8_t size = 0;
  std::array<char, kMaxBytes> bytes{};

  std::string_view view() const { return {bytes.data(), size}; }
  // Cuts what does not fit or is not printable UTF-8 (only whole characters are kept).
  static Name From(std::string_view text);
  bool operator==(const Name& o) const { return view() == o.view(); }
};

enum class MsgType : uint8_t {
  Hello = 1,    // joiner → host: game, version, name
  Welcome = 2,  // host → joiner: accepted, as the player or as a spectator
  Refuse = 3,   // host → joiner: not accepted, and why
  Input = 4,    // player → host: the racket keys held now (unreliable, every frame)
  Snapshot = 5, // host → all: what is shown in this frame (unreliable, every frame)
  Screen = 6,   // host → all: the screen changed, with what it needs (reliable)
  Names = 7,    // host → all: the names typed on the level screen (reliable)
  Goal = 8,     // host → all: the scores after a goal or a serve-rule point (reliable)
};

enum class Role : uint8_t { Player = 0, Spectator = 1 };
enum class RefuseReason : uint8_t { NotThisGame = 1, OtherVersion = 2, Full = 3 };

// The screens, as the host's screenState names them.
enum class Screen : uint8_t { Logo = 0, PlayerCount = 1, Level = 2, Match = 3, After = 4 };
constexpr uint8_t kScreenCount = 5;

// Racket keys of the joining player (arrow keys or W, A, S, D; either Shift).
enum InputKey : uint8_t { kKeyUp = 1, kKeyDown = 2, kKeyLeft = 4, kKeyRight = 8, kKeyBoost = 16 };
constexpr uint8_t kAllKeys = 31;

// Sound effects counted in snapshots: each counter goes up by one when its sound starts.
enum Effect : uint8_t { kFxTableHit = 0, kFxRacketHit = 1, kFxPocket = 2, kFxSpring = 3, kFxGoal = 4 };
constexpr size_t kEffectCount = 5;

// Menu buttons whose look (1 normal, 2 focused, 3 pressed; 0 absent) a snapshot carries.
enum Button : uint8_t {
  kBtnSingle, kBtnMulti, kBtnExit, kBtnBack, kBtnPlayer1, kBtnPlayer2, kBtnPlay, kBtnLevel, kBtnPlayAgain,
};
constexpr size_t kButtonCount = 9;

struct Hello {
  uint16_t protocol = kProtocolVersion;
  Name name;
};

struct Welcome {
  Role role = Role::Player;
};

struct Refuse {
  RefuseReason reason = RefuseReason::Full;
  uint16_t protocol = kProtocolVersion;  // the host's
};

struct Input {
  uint32_t sequence = 0;
  uint8_t keys = 0;
};

enum SnapshotFlag : uint8_t {
  kSnapPaused = 1, kSnapCamIntro = 2, kSnapServeWait = 4, kSnapLevelFocus = 8, kSnapOnePlayer = 16,
  kSnapMusic = 32,
};
constexpr uint8_t kAllSnapshotFlags = 63;

struct Snapshot {
  uint32_t frame = 0;
  uint32_t tick = 0;  // the host's milliseconds
  uint16_t epoch = 0;  // the Screen message this frame belongs to
  Screen screen = Screen::Logo;
  uint8_t flags = 0;
  uint8_t focus = 0;  // bfindex, 0…6
  uint8_t levelChoice = 0;  // 0…3
  std::array<uint8_t, kButtonCount> buttons{};
  float ballX = 0, ballZ = 0, rightX = 0, rightZ = 0, leftX = 0, leftZ = 0;
  float camEyeY = 0, camEyeZ = 0, camAtY = 0, camAtZ = 0, lightFade = 0;
  int16_t rightScore = 0, leftScore = 0;
  uint8_t clock = 0;  // whole seconds, 0…180
  std::array<uint8_t, kEffectCount> effects{};
  // The joining player's newest key state (Input::sequence) that this frame's left racket
  // has taken in, 0 for none; and that racket's speed and shift toggle (up: the next frame
  // with the key down takes the speed back), for the joiner's own prediction.
  uint32_t inputAck = 0;
  float leftSpeed = 0;  // 0 … kMaxCoordinate
  bool leftBoost = false;
};

struct ScreenChange {
  uint16_t epoch = 0;
  Screen screen = Screen::Logo;
  bool onePlayer = false;
  uint8_t level = 0;       // 0…3
  uint8_t musicTrack = 0;  // 0…8
  uint8_t rightArt = 0, leftArt = 0, ballArt = 0;  // 0…4
  int16_t rightScore = 0, leftScore = 0;
  Name rightName, leftName;
};

struct Names {
  Name leftEntry, rightEntry;
};

struct Goal {
  int16_t rightScore = 0, leftScore = 0;
};

// One decoded message: `type` says which member holds it.
struct Message {
  MsgType type = MsgType::Hello;
  Hello hello;
  Welcome welcome;
  Refuse refuse;
  Input input;
  Snapshot snapshot;
  ScreenChange screen;
  Names names;
  Goal goal;
};

enum class DecodeError : uint8_t {
  None,
  Empty,
  UnknownType,
  WrongSize,
  OutOfRange,
  NotThisGame,   // a Hello without the game's tag
  OtherVersion,  // a Hello of another protocol version (Message::hello.protocol says which)
};
const char* Describe(DecodeError e);

// Encoders write into `out` (kMaxMessageSize bytes) and return the size written.
using Buffer = std::array<uint8_t, kMaxMessageSize>;
size_t Encode(const Hello& m, Buffer& out);
size_t Encode(const Welcome& m, Buffer& out);
size_t Encode(const Refuse& m, Buffer& out);
size_t Encode(const Input& m, Buffer& out);
size_t Encode(const Snapshot& m, Buffer& out);
size_t Encode(const ScreenChange& m, Buffer& out);
size_t Encode(const Names& m, Buffer& out);
size_t Encode(const Goal& m, Buffer& out);

// Checks and decodes one message. On error `out` may be partly filled and must not be used
// (except hello.protocol after OtherVersion).
DecodeError Decode(const uint8_t* data, size_t size, Message& out);

// Positions and camera values a snapshot may carry (table units); anything beyond is refused.
constexpr float kMaxCoordinate = 100.0f;
constexpr float kMaxLightFade = 1.0e7f;
constexpr int kMaxClock = 180;

}  // namespace net
