// A match between two machines, as Form1 takes part in it. On the host Form1 runs as ever;
// around each pass this hears the joiner (its keys become the left player's keys), tells
// what the frame showed, and watches for a silent joiner. On the joining machine (and when
// a replay plays) Form1 simulates nothing: each pass draws the host's latest snapshots,
// interpolated to this machine's refresh, with the screens' own drawing code; only the
// joining player's own racket is moved there and then by its keys (and brought back to the
// host's, which alone decides every contact, goal and score).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "net/link.h"
#include "net/replay.h"
#include "net/session.h"
#include "net/wire.h"

class Form1;
namespace app {
struct Options;
}
namespace net {
class SoundTap;
}

class NetPlay {
 public:
  enum class Mode { Host, Join, Replay };
  // Silence from the other side: the match pauses after this, and ends after the next.
  static constexpr uint32_t kLostAfterMs = 2000;
  static constexpr uint32_t kGiveUpAfterMs = 10000;
  static constexpr const char* kLostNotice = "Connection lost \xE2\x80\x94 waiting";

  // `link` joins this machine to the others; for Replay it is a net::ReplayLink. `name` is the
  // joining player's. `target` names the host for the joiner's messages.
  NetPlay(Mode mode, std::unique_ptr<net::Link> link, const net::Name& name = {}, std::string target = "");
  ~NetPlay();

  // Writes the host's stream from the first match on to `recorder`.
  void Record(std::unique_ptr<net::ReplayWriter> recorder) { recorder_ = std::move(recorder); }
  // Flushes and closes the recording; false with `error` when it could not be written whole.
  bool FinishRecording(std::string& error);

  // Called by Form1: once the device is up, for each pass of the frame loop, and in
  // Check_Keys with the keyboard state that the left racket is moved by.
  void Started(Form1& f);
  void Pass(Form1& f);
  void LeftKeys(std::array<uint8_t, 256>& keyState) const;

  Mode mode() const { return mode_; }
  net::Link& link() { return *link_; }
  net::HostSession* host() { return host_.get(); }
  net::JoinSession* joiner() { return join_.get(); }
  // The text over the picture ("Connection lost — waiting"); empty for none.
  const std::string& notice() const { return notice_; }
  // Joiner: the snapshot drawn last (after interpolation).
  const net::Snapshot& shown() const { return shown_; }
  // The joining player's own racket, moved by its keys in the frame they are read, with the
  // rule the host applies to it. Snapshots say which key state the host took in last: the
  // key states after it are applied again, in order, to the host's racket, and the shown
  // racket fades from where it was to that place, never faster than one frame's step.
  struct PredictedRacket {
    double cposx = 0, cposz = 0, rspeed = 0;
    float mLength = 0, mWidth = 0;
    void fMove(int16_t fps, int16_t xdir, int16_t zdir);
  };
  // Joiner: where its racket is predicted (the rule's place, before the fading correction).
  const PredictedRacket& predicted() const { return predicted_; }
  bool predicting() const { return predicting_; }
  uint32_t snapshotsReceived = 0;

 private:
  void HostPass(Form1& f);
  void HostSilence(Form1& f, uint32_t now);
  void HostTell(Form1& f, uint32_t now);
  net::ScreenChange Context(const Form1& f) const;
  void ViewPass(Form1& f);
  void OnHostMessage(Form1& f, const net::Message& m);
  void LoadScreen(Form1& f, const net::ScreenChange& s);
  void Interpolate(uint32_t now);
  void Apply(Form1& f);
  void PlayEffects(Form1& f, const net::Snapshot& s);
  void DrawStatus(Form1& f, const std::string& text);
  uint8_t ViewKeys(Form1& f, uint32_t now);
  void CountFrame(uint32_t now);
  void PredictStep(Form1& f, uint32_t sequence, uint8_t keys);
  void Reconcile(const net::Snapshot& s);
  void ShowPredicted(Form1& f);
  [[noreturn]] void EndWith(Form1& f, const std::string& message, int code);

  Mode mode_;
  std::unique_ptr<net::Link> link_;
  std::unique_ptr<net::HostSession> host_;
  std::unique_ptr<net::JoinSession> join_;
  std::unique_ptr<net::ReplayWriter> recorder_;
  std::string target_;
  std::string notice_;
  net::SoundTap* tap_ = nullptr;

  // Host.
  uint32_t frame_ = 0;
  uint16_t epoch_ = 0;
  bool told_ = false;  // a screen was announced
  net::Screen screen_ = net::Screen::Logo;
  net::Names names_;
  int16_t rightScore_ = 0, leftScore_ = 0;
  bool lost_ = false, pausedForLoss_ = false;

  // Joiner.
  static constexpr size_t kKept = 8;
  std::array<net::Snapshot, kKept> kept_{};
  size_t keptCount_ = 0, keptNext_ = 0;
  bool loaded_ = false;  // a Screen message arrived and its screen is loaded
  bool menuArt_ = false;
  uint16_t viewEpoch_ = 0;
  int64_t offset_ = 0;  // host tick minus local tick, for the fastest arrivals
  bool haveOffset_ = false;
  double jitter_ = 0;
  net::Snapshot shown_{};
  std::array<uint8_t, net::kEffectCount> effects_{};
  bool effectsKnown_ = false;
  bool escDown_ = false;
  uint32_t endAt_ = 0;  // replay: when the last record was played
  bool wasNetLost_ = false;
  // This machine's frames a second, counted over each second as the host counts its own.
  int16_t fps_ = 50;
  uint32_t fpsFrames_ = 0, fpsSince_ = 0;
  bool fpsStarted_ = false;
  struct SentKeys {
    uint32_t sequence = 0;
    uint8_t keys = 0;
    int16_t fps = 0;  // the frame rate it was applied at; 0: the racket stood still in its frame
  };
  static constexpr size_t kUnacked = 256;  // over 4 s at 60 frames/s
  std::array<SentKeys, kUnacked> unacked_{};
  size_t unackedStart_ = 0, unackedCount_ = 0;
  PredictedRacket predicted_{};
  bool predictedBoost_ = false;
  bool predicting_ = false;  // the match's first snapshot gave the racket to start from
  bool newSnapshot_ = false;
  bool ownRacket_ = false;  // a two-player match under way: the left racket is this player's
  double correctionX_ = 0, correctionZ_ = 0;  // shown minus predicted, fading away
  double hostX_ = 0, hostZ_ = 0;  // the host's racket in the last snapshot taken in, and its time
  uint32_t hostTick_ = 0;
};

// Builds the network side the options ask for: nullptr with `error` set when it cannot
// (a port in use, a damaged replay, a host name that cannot be read); nullptr and no error
// when no network option was given. `name` is the joining player's.
std::unique_ptr<NetPlay> StartNetwork(const app::Options& options, const std::string& name, std::string& error);
