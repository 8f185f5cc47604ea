#include "app/netplay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/Form1.h"
#include "app/options.h"
#include "match/left_racket.h"
#include "net/enet_link.h"
#include "net/sound_tap.h"
#include "platform/vbrt.h"

using namespace net;

namespace {

constexpr plat::D3DCOLOR kNoticeColour = plat::D3DColorXRGB(255, 221, 85);

// The device seen by the game on a networked machine: it writes the network's notice
// ("Connection lost — waiting") over every picture just before it is shown.
class NoticeDevice : public plat::Device {
 public:
  NoticeDevice(std::unique_ptr<plat::Device> inner, const NetPlay& net, Form1& f)
      : inner_(std::move(inner)), net_(net), f_(f) {}

  plat::HRESULT TestCooperativeLevel() override { return inner_->TestCooperativeLevel(); }
  plat::HRESULT Reset(const plat::D3DPRESENT_PARAMETERS& p) override { return inner_->Reset(p); }
  plat::HRESULT Clear(plat::DWORD flags, plat::D3DCOLOR c, float z, plat::DWORD s) override {
    return inner_->Clear(flags, c, z, s);
  }
  plat::HRESULT BeginScene() override { return inner_->BeginScene(); }
  plat::HRESULT EndScene() override { return inner_->EndScene(); }
  plat::HRESULT Present() override {
    if (!net_.notice().empty()) {
      // Above the table and below the menus' name rows, with a shadow to stand out.
      inner_->BeginScene();
      const double n = plat::CharacterCount(net_.notice());
      const auto x = static_cast<float>(f_.D.swidth / 2 - 13.5 * n), y = static_cast<float>(f_.D.sheight * 0.3);
      f_.mainText.Render(*this, net_.notice(), x + 2, y + 2, plat::D3DColorXRGB(0, 0, 0), *f_.D.d3dx, true);
      f_.mainText.Render(*this, net_.notice(), x, y, kNoticeColour, *f_.D.d3dx, true);
      inner_->EndScene();
    }
    return inner_->Present();
  }
  plat::HRESULT SetRenderState(plat::D3DRENDERSTATETYPE s, plat::DWORD v) override {
    return inner_->SetRenderState(s, v);
  }
  plat::HRESULT SetTransform(plat::D3DTRANSFORMSTATETYPE t, const plat::D3DMATRIX& m) override {
    return inner_->SetTransform(t, m);
  }
  plat::HRESULT SetTexture(plat::DWORD stage, plat::Texture* t) override { return inner_->SetTexture(stage, t); }
  plat::HRESULT SetTextureStageState(plat::DWORD stage, plat::D3DTEXTURESTAGESTATETYPE t, plat::DWORD v) override {
    return inner_->SetTextureStageState(stage, t, v);
  }
  plat::HRESULT SetVertexShader(plat::DWORD fvf) override { return inner_->SetVertexShader(fvf); }
  plat::HRESULT SetMaterial(const plat::D3DMATERIAL8& m) override { return inner_->SetMaterial(m); }
  plat::HRESULT SetLight(plat::DWORD i, const plat::D3DLIGHT8& l) override { return inner_->SetLight(i, l); }
  plat::HRESULT LightEnable(plat::DWORD i, bool on) override { return inner_->LightEnable(i, on); }
  plat::HRESULT DrawPrimitiveUP(plat::D3DPRIMITIVETYPE t, uint32_t n, const void* v, uint32_t stride) override {
    return inner_->DrawPrimitiveUP(t, n, v, stride);
  }
  plat::HRESULT DrawIndexedPrimitiveUP(plat::D3DPRIMITIVETYPE t, uint32_t vc, uint32_t n, const uint32_t* idx,
                                       const void* v, uint32_t stride) override {
    return inner_->DrawIndexedPrimitiveUP(t, vc, n, idx, v, stride);
  }
  plat::TexturePtr CreateTexture(const plat::Image& image, bool mipmaps) override {
    return inner_->CreateTexture(image, mipmaps);
  }
  plat::FontPtr CreateFont(const plat::FontDesc& desc) override { return inner_->CreateFont(desc); }

 private:
  std::unique_ptr<plat::Device> inner_;
  const NetPlay& net_;
  Form1& f_;
};

Screen ScreenOf(const std::string& state) {
  if (state.empty()) return Screen::Match;
  if (state == "FRMSINGLE_MULTI") return Screen::PlayerCount;
  if (state == "FRMLVL") return Screen::Level;
  if (state == "FRM_AFTER") return Screen::After;
  return Screen::Logo;
}

const char* StateOf(Screen s) {
  switch (s) {
    case Screen::Logo:
      return "FRMLOGO";
    case Screen::PlayerCount:
      return "FRMSINGLE_MULTI";
    case Screen::Level:
      return "FRMLVL";
    case Screen::Match:
      return "";
    case Screen::After:
      return "FRM_AFTER";
  }
  return "FRMLOGO";
}

template <class T>
uint8_t Small(T v, int hi) {
  return static_cast<uint8_t>(std::clamp(static_cast<int>(std::nearbyint(static_cast<double>(v))), 0, hi));
}
float Coordinate(double v, float limit = kMaxCoordinate) {
  if (!std::isfinite(v)) return 0;
  return static_cast<float>(std::clamp(v, -static_cast<double>(limit), static_cast<double>(limit)));
}
int16_t Score(int16_t v) { return std::max<int16_t>(v, 0); }
uint8_t Look(const cButton* b) { return b == nullptr ? 0 : Small(b->E, 3); }
void SetLook(cButton* b, uint8_t e) {
  if (b != nullptr && e != 0) b->E = e;
}
double Lerp(float a, float b, double t) { return a + (static_cast<double>(b) - a) * t; }
void PlayOnce(const plat::SoundBufferPtr& b) {
  if (b) b->Play(0);
}

}  // namespace

NetPlay::NetPlay(Mode mode, std::unique_ptr<Link> link, const Name& name, std::string target)
    : mode_(mode), link_(std::move(link)), target_(std::move(target)) {
  if (mode_ == Mode::Host) {
    host_ = std::make_unique<HostSession>(*link_);
    host_->onNotice = [](const std::string& line) { std::fprintf(stderr, "vantor: %s\n", line.c_str()); };
  } else {
    join_ = std::make_unique<JoinSession>(*link_, name);
  }
}

NetPlay::~NetPlay() = default;

bool NetPlay::FinishRecording(std::string& error) {
  if (!recorder_) return true;
  const bool ok = recorder_->Close(error);
  if (ok && !recorder_->started()) {
    std::fprintf(stderr, "vantor: no match was played: the replay file holds none\n");
  }
  return ok;
}

void NetPlay::Started(Form1& f) {
  f.D.D3Ddevice = std::make_unique<NoticeDevice>(std::move(f.D.D3Ddevice), *this, f);
  if (mode_ == Mode::Host) {
    auto tap = std::make_unique<SoundTap>(std::move(f.D.Ds));
    tap_ = tap.get();
    f.D.Ds = std::move(tap);
    host_->recorder = recorder_.get();
    host_->onWelcome = [this, &f](PeerId peer) {
      host_->SendTo(peer, Context(f));
      host_->SendTo(peer, names_);
    };
    host_->onPlayerLeft = [this, &f] {
      lost_ = pausedForLoss_ = false;
      notice_.clear();
      if (ScreenOf(f.screenState) != Screen::PlayerCount && ScreenOf(f.screenState) != Screen::Logo) f.LeaveMatch();
    };
  } else {
    f.viewOnly = true;
    f.mainText.init("Comic Sans MS", 18, false, *f.D.D3Ddevice, *f.D.d3dx);
  }
}

void NetPlay::Pass(Form1& f) {
  if (mode_ == Mode::Host) {
    HostPass(f);
  } else {
    ViewPass(f);
  }
}

void NetPlay::LeftKeys(std::array<uint8_t, 256>& keyState) const {
  if (!host_ || !host_->HasPlayer()) return;
  const uint8_t k = host_->PlayerKeys();
  auto set = [&keyState, k](uint8_t dik, uint8_t bit) { keyState[dik] = (k & bit) != 0 ? 0x80 : 0; };
  set(plat::DIK_W, kKeyUp);
  set(plat::DIK_S, kKeyDown);
  set(plat::DIK_A, kKeyLeft);
  set(plat::DIK_D, kKeyRight);
  set(plat::DIK_LSHIFT, kKeyBoost);
}

// ---- Host ------------------------------------------------------------------------------

void NetPlay::HostPass(Form1& f) {
  uint32_t now = f.Now();
  host_->Service(now);
  HostSilence(f, now);
  // The joining player's name stands in the left row of the level screen.
  if (host_->HasPlayer() && f.screenState == "FRMLVL" && !f.onePlayer &&
      f.leftNameEntry != host_->PlayerName().view()) {
    f.leftNameEntry = host_->PlayerName().view();
  }
  f.Pass();
  now = f.Now();
  HostTell(f, now);
  link_->Flush();
}

void NetPlay::HostSilence(Form1& f, uint32_t now) {
  if (!host_->HasPlayer()) return;
  const uint32_t silence = host_->PlayerSilence(now);
  const bool inMatch = f.screenState.empty();
  if (silence >= kGiveUpAfterMs) {
    host_->DropPlayer();
    lost_ = pausedForLoss_ = false;
    notice_.clear();
    if (ScreenOf(f.screenState) != Screen::PlayerCount && ScreenOf(f.screenState) != Screen::Logo) f.LeaveMatch();
  } else if (silence >= kLostAfterMs && !lost_) {
    lost_ = true;
    notice_ = kLostNotice;
    if (inMatch && !f.paused) {
      // As Esc pauses: a running serve rule's five seconds start again; one that is off stays off.
      f.paused = true;
      if (f.Timer4.Enabled()) {
        f.EnableTimer(f.Timer4, false);
        f.EnableTimer(f.Timer4, true);
      }
      pausedForLoss_ = true;
    }
  } else if (silence < kLostAfterMs && lost_) {
    lost_ = false;
    notice_.clear();
    if (pausedForLoss_ && inMatch) f.paused = false;
    pausedForLoss_ = false;
  }
}

ScreenChange NetPlay::Context(const Form1& f) const {
  ScreenChange s;
  s.epoch = epoch_;
  s.screen = ScreenOf(f.screenState);
  s.onePlayer = f.onePlayer;
  s.level = Small(f.level, 3);
  s.musicTrack = Small(f.musicTrack, 8);
  s.rightArt = Small(f.rRacketIndex, 4);
  s.leftArt = Small(f.lRacketIndex, 4);
  s.ballArt = Small(f.ballIndex, 4);
  s.rightScore = Score(f.ball.RScore);
  s.leftScore = Score(f.ball.LScore);
  s.rightName = Name::From(f.RName);
  s.leftName = Name::From(f.LName);
  return s;
}

void NetPlay::HostTell(Form1& f, uint32_t now) {
  host_->recordTick = now;
  const Screen screen = ScreenOf(f.screenState);
  if (!told_ || screen != screen_) {
    told_ = true;
    screen_ = screen;
    ++epoch_;
    host_->Broadcast(Channel::Reliable, Context(f));
    if (recorder_) recorder_->Flush();
    rightScore_ = f.ball.RScore;
    leftScore_ = f.ball.LScore;
  }
  Names names{Name::From(f.leftNameEntry), Name::From(f.rightNameEntry)};
  if (!(names.leftEntry == names_.leftEntry) || !(names.rightEntry == names_.rightEntry)) {
    names_ = names;
    host_->Broadcast(Channel::Reliable, names_);
  }
  if (screen == Screen::Match && (f.ball.RScore != rightScore_ || f.ball.LScore != leftScore_)) {
    rightScore_ = f.ball.RScore;
    leftScore_ = f.ball.LScore;
    host_->Broadcast(Channel::Reliable, Goal{Score(rightScore_), Score(leftScore_)});
  }

  Snapshot s;
  s.frame = ++frame_;
  s.tick = now;
  s.epoch = epoch_;
  s.screen = screen;
  s.flags = static_cast<uint8_t>((f.paused ? kSnapPaused : 0) | (f.cam_inter ? kSnapCamIntro : 0) |
                                 (f.serveWait ? kSnapServeWait : 0) | (f.lvlFocus ? kSnapLevelFocus : 0) |
                                 (f.onePlayer ? kSnapOnePlayer : 0));
  s.focus = Small(f.bfindex, 6);
  s.levelChoice = Small(f.lvlChoice, 3);
  s.buttons[kBtnSingle] = Look(f.singleButton.get());
  s.buttons[kBtnMulti] = Look(f.multiButton.get());
  s.buttons[kBtnExit] = Look(&f.exitButton);
  s.buttons[kBtnBack] = Look(&f.backButton);
  s.buttons[kBtnPlayer1] = Look(&f.player1Button);
  s.buttons[kBtnPlayer2] = Look(&f.player2Button);
  s.buttons[kBtnPlay] = Look(&f.playButton);
  s.buttons[kBtnPlayAgain] = Look(&f.playAgainButton);
  s.ballX = Coordinate(f.ball.cposx);
  s.ballZ = Coordinate(f.ball.cposz);
  s.rightX = Coordinate(f.rRacket.cposx);
  s.rightZ = Coordinate(f.rRacket.cposz);
  s.leftX = Coordinate(f.lRacket.cposx);
  s.leftZ = Coordinate(f.lRacket.cposz);
  s.camEyeY = Coordinate(f.camEyeY);
  s.camEyeZ = Coordinate(f.camEyeZ);
  s.camAtY = Coordinate(f.camAtY);
  s.camAtZ = Coordinate(f.camAtZ);
  s.lightFade = Coordinate(f.lightFade, kMaxLightFade);
  s.rightScore = Score(f.ball.RScore);
  s.leftScore = Score(f.ball.LScore);
  s.clock = Small(f.matchClock, kMaxClock);
  if (tap_ != nullptr) s.effects = tap_->started;
  s.inputAck = host_->PlayerSequence();
  s.leftSpeed = std::max(Coordinate(f.lRacket.rspeed), 0.0f);
  s.leftBoost = f.lBoostLatch;
  host_->Broadcast(Channel::Sequenced, s);
}

// ---- Joiner and replay -------------------------------------------------------------------

void NetPlay::ViewPass(Form1& f) {
  const uint32_t now = f.Now();
  join_->Service(now, [this, &f](const Message& m) { OnHostMessage(f, m); });
  switch (join_->state()) {
    case JoinSession::State::Failed:
    case JoinSession::State::Refused:
      EndWith(f, "Cannot join " + target_ + ": " + join_->problem(), 1);
    case JoinSession::State::Closed:
      EndWith(f, join_->problem().empty() ? "The game ended." : join_->problem(), 0);
    default:
      break;
  }

  if (mode_ == Mode::Join) {
    const uint32_t silence = join_->Silence(now);
    const bool connecting = join_->state() != JoinSession::State::Joined;
    if (silence >= kGiveUpAfterMs) {
      EndWith(f,
              connecting ? "Cannot join " + target_ + ": no answer (is a game hosting there?)"
                         : "The connection to the host was lost.",
              connecting ? 1 : 0);
    }
    const bool lost = !connecting && silence >= kLostAfterMs;
    if (lost != wasNetLost_) notice_ = lost ? kLostNotice : "";
    wasNetLost_ = lost;
  }
  CountFrame(now);
  const uint8_t keys = ViewKeys(f, now);
  if (mode_ == Mode::Join) {
    // The keys go out before this frame is drawn, and the racket moves in it.
    const uint32_t sequence = join_->SendKeys(keys);
    link_->Flush();
    PredictStep(f, sequence, keys);
  }
  if (!f.DeviceReady()) return;

  if (!loaded_) {
    DrawStatus(f, join_->state() == JoinSession::State::Joined ? "Waiting for the host..." : "Joining " + target_ + " ...");
  } else {
    Interpolate(now);
    Apply(f);
    ShowPredicted(f);
    f.keyPollCounter = 0;  // the menus never read this machine's keys
    const std::string& state = f.screenState;
    if (state == "FRMLOGO") {
      f.frmlogo_render();
    } else if (state == "FRMSINGLE_MULTI") {
      f.frmSingle_Multi_render();
    } else if (state == "FRMLVL") {
      f.frmlvl_render();
    } else if (state == "FRM_AFTER") {
      f.Frm_After_render();
    } else if (state.empty()) {
      f.Render();
    }
  }
  f.DoEvents();
  link_->Flush();
}

uint8_t NetPlay::ViewKeys(Form1& f, uint32_t now) {
  std::array<uint8_t, 256> k{};
  f.D.Keyboard->GetDeviceStateKeyboard(k.data());
  auto down = [&k](uint8_t a, uint8_t b) { return k[a] != 0 || k[b] != 0; };
  if (down(plat::DIK_F10, plat::DIK_Q)) {
    join_->Leave();
    f.End(0);
  }
  if (mode_ == Mode::Replay) {
    auto& replay = static_cast<ReplayLink&>(*link_);
    const bool esc = k[plat::DIK_ESCAPE] != 0;
    if (esc && !escDown_) replay.SetPaused(!replay.paused());
    escDown_ = esc;
    if (replay.Finished() && endAt_ == 0) {
      endAt_ = now;
      if (replay.cut().cut) {
        std::fprintf(stderr, "vantor: %s (record %zu, byte %zu of %s)\n", kReplayCutNotice, replay.cut().record,
                     replay.cut().byte, target_.c_str());
      }
    }
    // A recording cut short says so the moment it ends: the match stands where it stopped.
    const bool cut = endAt_ != 0 && replay.cut().cut;
    notice_ = replay.paused()                          ? "Replay paused: Esc resumes, Q leaves"
              : cut                                    ? kReplayCutNotice
              : endAt_ != 0 && now - endAt_ >= 1000 ? "End of the replay: Q leaves"
                                                       : "";
    return 0;
  }
  uint8_t keys = 0;
  if (down(plat::DIK_UP, plat::DIK_W)) keys |= kKeyUp;
  if (down(plat::DIK_DOWN, plat::DIK_S)) keys |= kKeyDown;
  if (down(plat::DIK_LEFT, plat::DIK_A)) keys |= kKeyLeft;
  if (down(plat::DIK_RIGHT, plat::DIK_D)) keys |= kKeyRight;
  if (down(plat::DIK_LSHIFT, plat::DIK_RSHIFT)) keys |= kKeyBoost;
  return keys;
}

void NetPlay::CountFrame(uint32_t now) {
  if (!fpsStarted_) {
    fpsStarted_ = true;
    fpsSince_ = now;
  }
  if (now - fpsSince_ >= 1000) {
    fps_ = static_cast<int16_t>(std::clamp<uint32_t>(fpsFrames_, 1, INT16_MAX));
    fpsFrames_ = 0;
    fpsSince_ = now;
  }
  ++fpsFrames_;
}

void NetPlay::PredictedRacket::fMove(int16_t fps, int16_t xdir, int16_t zdir) {
  // As the racket's geometry keeps it: in single precision.
  cposx = static_cast<float>(cposx + xdir * rspeed / fps);
  cposz = static_cast<float>(cposz + zdir * rspeed / fps);
}

namespace {

match::LeftKeys KeysOf(uint8_t k) {
  return {(k & kKeyUp) != 0, (k & kKeyDown) != 0, (k & kKeyRight) != 0, (k & kKeyLeft) != 0, (k & kKeyBoost) != 0};
}

}  // namespace

// Sets the predicted racket on the host's newest one and applies again the key states the
// host had not yet taken in; what the shown racket must move to get there becomes the
// correction that fades.
void NetPlay::Reconcile(const Snapshot& s) {
  while (unackedCount_ > 0 && static_cast<int32_t>(unacked_[unackedStart_].sequence - s.inputAck) <= 0) {
    unackedStart_ = (unackedStart_ + 1) % kUnacked;
    --unackedCount_;
  }
  PredictedRacket p = predicted_;
  p.cposx = s.leftX;
  p.cposz = s.leftZ;
  p.rspeed = s.leftSpeed;
  bool boost = s.leftBoost;
  for (size_t i = 0; i < unackedCount_; ++i) {
    const SentKeys& k = unacked_[(unackedStart_ + i) % kUnacked];
    if (k.fps > 0) match::StepLeftRacket(p, k.fps, true, KeysOf(k.keys), boost);
  }
  // Farther than the keys could have taken it since the last snapshot: the host put it there
  // (both rackets go home after a goal), and it is shown there at once.
  const double since = static_cast<int32_t>(s.tick - hostTick_) / 1000.0;
  const double reach = (s.leftSpeed + 3) * std::max(since, 0.0) * 1.5 + 0.05;
  const bool placed = std::hypot(s.leftX - hostX_, s.leftZ - hostZ_) > reach;
  hostX_ = s.leftX;
  hostZ_ = s.leftZ;
  hostTick_ = s.tick;
  if (predicting_ && !placed) {
    correctionX_ += predicted_.cposx - p.cposx;
    correctionZ_ += predicted_.cposz - p.cposz;
  } else {
    correctionX_ = correctionZ_ = 0;
  }
  predicted_ = p;
  predictedBoost_ = boost;
  predicting_ = true;
}

void NetPlay::PredictStep(Form1& f, uint32_t sequence, uint8_t keys) {
  if (sequence == 0) return;  // a spectator, or not joined yet
  const bool inMatch = loaded_ && f.screenState.empty() && keptCount_ > 0;
  if (inMatch && newSnapshot_) {
    predicted_.mLength = f.lRacket.mLength;
    predicted_.mWidth = f.lRacket.mWidth;
    Reconcile(kept_[(keptNext_ + kKept - 1) % kKept]);
  }
  newSnapshot_ = false;
  // The host moves the racket only while the match runs: neither paused nor in its intro.
  const uint8_t flags = inMatch ? kept_[(keptNext_ + kKept - 1) % kKept].flags : 0;
  ownRacket_ = inMatch && predicting_ && (flags & kSnapOnePlayer) == 0;
  const bool moves = ownRacket_ && (flags & (kSnapPaused | kSnapCamIntro)) == 0;
  if (moves) match::StepLeftRacket(predicted_, fps_, true, KeysOf(keys), predictedBoost_);
  if (unackedCount_ == kUnacked) {  // the host has heard nothing for seconds: forget the oldest
    unackedStart_ = (unackedStart_ + 1) % kUnacked;
    --unackedCount_;
  }
  unacked_[(unackedStart_ + unackedCount_) % kUnacked] = {sequence, keys, static_cast<int16_t>(moves ? fps_ : 0)};
  ++unackedCount_;
}

// Draws the joining player's racket where it is predicted, less what is left of the last
// corrections: each frame a third of it goes (all of it under a millimetre), never more than
// the racket's own one-frame step.
void NetPlay::ShowPredicted(Form1& f) {
  if (mode_ != Mode::Join || !ownRacket_ || !f.screenState.empty()) return;
  const double left = std::hypot(correctionX_, correctionZ_);
  if (left > 0) {
    const double step = std::fabs(predicted_.rspeed) / std::max<int16_t>(fps_, 1);
    const double cut = std::min({left, std::max(left / 3, 0.001), step});
    correctionX_ -= correctionX_ * (cut / left);
    correctionZ_ -= correctionZ_ * (cut / left);
    if (cut == left) correctionX_ = correctionZ_ = 0;
  }
  f.lRacket.Translate_Racket(predicted_.cposx + correctionX_,
                             predicted_.cposz + correctionZ_ + f.lRacket.mLength / 2.0);
}

void NetPlay::OnHostMessage(Form1& f, const Message& m) {
  switch (m.type) {
    case MsgType::Screen:
      LoadScreen(f, m.screen);
      break;
    case MsgType::Names:
      f.leftNameEntry = m.names.leftEntry.view();
      f.rightNameEntry = m.names.rightEntry.view();
      break;
    case MsgType::Goal:
      f.ball.RScore = m.goal.rightScore;
      f.ball.LScore = m.goal.leftScore;
      break;
    case MsgType::Snapshot: {
      const Snapshot& s = m.snapshot;
      if (!loaded_ || s.epoch != viewEpoch_) break;  // of another screen
      if (keptCount_ > 0 && static_cast<int32_t>(s.tick - kept_[(keptNext_ + kKept - 1) % kKept].tick) < 0) break;
      ++snapshotsReceived;
      kept_[keptNext_] = s;
      keptNext_ = (keptNext_ + 1) % kKept;
      keptCount_ = std::min(keptCount_ + 1, kKept);
      newSnapshot_ = true;
      // The clock offset follows the fastest arrivals and drifts down slowly otherwise
      // (a replay resumed after a pause, clocks running at slightly different speeds).
      const int64_t sample = static_cast<int64_t>(s.tick) - static_cast<int64_t>(f.Now());
      if (!haveOffset_ || sample >= offset_) {
        offset_ = sample;
        haveOffset_ = true;
      } else {
        // Late by more than the clocks' millisecond steps: jitter to wait for.
        const double late = static_cast<double>(std::max<int64_t>(offset_ - sample - 1, 0));
        jitter_ += (late - jitter_) / 16;
        offset_ -= 1;
      }
      PlayEffects(f, s);
      break;
    }
    default:
      break;
  }
}

void NetPlay::LoadScreen(Form1& f, const ScreenChange& s) {
  const bool leavingMatch = loaded_ && f.screenState.empty() && s.screen != Screen::Match;
  if (leavingMatch && f.musicBuffer) f.musicBuffer->Stop();
  f.onePlayer = s.onePlayer;
  f.level = s.level;
  f.rRacketIndex = s.rightArt;
  f.lRacketIndex = s.leftArt;
  f.ballIndex = s.ballArt;
  switch (s.screen) {
    case Screen::Logo:
      f.frmlogo_load();
      break;
    case Screen::PlayerCount:
      f.frmSingle_Multi_load();
      menuArt_ = true;
      break;
    case Screen::Level:
      if (!menuArt_) f.frmSingle_Multi_load();
      menuArt_ = true;
      f.frmlvl_load();
      f.Text1.SetVisible(false);  // nothing is typed here: the host's names come over the network
      f.Text1.SetEnabled(false);
      break;
    case Screen::Match:
      f.Game_Load();
      f.musicTrack = s.musicTrack;
      if (f.musicTrack >= 1) f.load_s(false);
      break;
    case Screen::After:
      if (!menuArt_) {
        f.frmSingle_Multi_load();
        if (f.musicBuffer) f.musicBuffer->Stop();
      }
      menuArt_ = true;
      f.Frm_After_load();
      break;
  }
  f.screenState = StateOf(s.screen);
  f.RName = s.rightName.view();
  f.LName = s.leftName.view();
  f.ball.RScore = s.rightScore;
  f.ball.LScore = s.leftScore;
  viewEpoch_ = s.epoch;
  loaded_ = true;
  keptCount_ = 0;
  effectsKnown_ = false;
  // A new screen: the racket is predicted again from the host's first snapshot of it.
  predicting_ = newSnapshot_ = ownRacket_ = false;
  unackedCount_ = 0;
  correctionX_ = correctionZ_ = 0;
}

void NetPlay::Interpolate(uint32_t now) {
  if (keptCount_ == 0) return;
  const auto at = [this](size_t age) -> const Snapshot& { return kept_[(keptNext_ + kKept - 1 - age) % kKept]; };
  // The moment shown: the host's clock now, less a margin for the arrivals' jitter.
  const double delay = std::clamp(2 * jitter_, 0.0, 100.0);
  const double t = static_cast<double>(now) + static_cast<double>(offset_) - delay;
  const Snapshot& newest = at(0);
  if (keptCount_ == 1 || t >= static_cast<double>(newest.tick)) {
    shown_ = newest;
    return;
  }
  size_t age = 1;
  while (age + 1 < keptCount_ && static_cast<double>(at(age).tick) > t) ++age;
  const Snapshot& a = at(age);
  const Snapshot& b = at(age - 1);
  if (t <= static_cast<double>(a.tick) || b.tick == a.tick) {
    shown_ = a;
    return;
  }
  const double u = (t - a.tick) / static_cast<double>(b.tick - a.tick);
  shown_ = a;
  shown_.ballX = static_cast<float>(Lerp(a.ballX, b.ballX, u));
  shown_.ballZ = static_cast<float>(Lerp(a.ballZ, b.ballZ, u));
  shown_.rightX = static_cast<float>(Lerp(a.rightX, b.rightX, u));
  shown_.rightZ = static_cast<float>(Lerp(a.rightZ, b.rightZ, u));
  shown_.leftX = static_cast<float>(Lerp(a.leftX, b.leftX, u));
  shown_.leftZ = static_cast<float>(Lerp(a.leftZ, b.leftZ, u));
  shown_.camEyeY = static_cast<float>(Lerp(a.camEyeY, b.camEyeY, u));
  shown_.camEyeZ = static_cast<float>(Lerp(a.camEyeZ, b.camEyeZ, u));
  shown_.camAtY = static_cast<float>(Lerp(a.camAtY, b.camAtY, u));
  shown_.camAtZ = static_cast<float>(Lerp(a.camAtZ, b.camAtZ, u));
  shown_.lightFade = static_cast<float>(Lerp(a.lightFade, b.lightFade, u));
  // A ball that jumped (a goal, a pocket) is not drawn on its way across the table.
  if (std::fabs(b.ballX - a.ballX) > 1.0f || std::fabs(b.ballZ - a.ballZ) > 1.0f) {
    shown_.ballX = u < 0.5 ? a.ballX : b.ballX;
    shown_.ballZ = u < 0.5 ? a.ballZ : b.ballZ;
  }
}

void NetPlay::Apply(Form1& f) {
  if (keptCount_ == 0) return;
  const Snapshot& s = shown_;
  f.paused = (s.flags & kSnapPaused) != 0;
  f.cam_inter = (s.flags & kSnapCamIntro) != 0;
  f.serveWait = (s.flags & kSnapServeWait) != 0;
  f.lvlFocus = (s.flags & kSnapLevelFocus) != 0;
  f.onePlayer = (s.flags & kSnapOnePlayer) != 0;
  f.bfindex = s.focus;
  f.lvlChoice = s.levelChoice;
  SetLook(f.singleButton.get(), s.buttons[kBtnSingle]);
  SetLook(f.multiButton.get(), s.buttons[kBtnMulti]);
  SetLook(&f.exitButton, s.buttons[kBtnExit]);
  SetLook(&f.backButton, s.buttons[kBtnBack]);
  SetLook(&f.player1Button, s.buttons[kBtnPlayer1]);
  SetLook(&f.player2Button, s.buttons[kBtnPlayer2]);
  SetLook(&f.playButton, s.buttons[kBtnPlay]);
  SetLook(&f.playAgainButton, s.buttons[kBtnPlayAgain]);
  if (f.screenState.empty()) {
    f.ball.Translate_ball(s.ballX, s.ballZ);
    f.rRacket.Translate_Racket(s.rightX, s.rightZ + f.rRacket.mLength / 2.0);
    f.lRacket.Translate_Racket(s.leftX, s.leftZ + f.lRacket.mLength / 2.0);
    f.camEyeY = s.camEyeY;
    f.camEyeZ = s.camEyeZ;
    f.camAtY = s.camAtY;
    f.camAtZ = s.camAtZ;
    f.lightFade = s.lightFade;
    f.matchClock = s.clock;
  }
  f.ball.RScore = s.rightScore;
  f.ball.LScore = s.leftScore;
}

void NetPlay::PlayEffects(Form1& f, const Snapshot& s) {
  if (!f.screenState.empty()) {
    effectsKnown_ = false;
    return;
  }
  if (effectsKnown_) {
    for (size_t i = 0; i < kEffectCount; ++i) {
      const uint8_t started = static_cast<uint8_t>(s.effects[i] - effects_[i]);
      if (started == 0 || started > 16) continue;  // more than 16 in one frame: counters out of step
      switch (i) {
        case kFxTableHit:
          PlayOnce(f.tcollBuffer);
          break;
        case kFxRacketHit:
          PlayOnce(f.rcollBuffer);
          break;
        case kFxPocket:
          PlayOnce(f.pocketBuffer);
          break;
        case kFxSpring:
          PlayOnce(f.springBuffer);
          break;
        case kFxGoal:
          f.ball.Play_sound();
          break;
        default:
          break;
      }
    }
  }
  effects_ = s.effects;
  effectsKnown_ = true;
}

void NetPlay::DrawStatus(Form1& f, const std::string& text) {
  plat::Device& dev = *f.D.D3Ddevice;
  dev.Clear(plat::D3DCLEAR_TARGET | plat::D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  dev.BeginScene();
  if (menuArt_ && f.screenState != "") f.menuBackground.draw(dev);
  f.mainText.init("Comic Sans MS", 18, false, dev, *f.D.d3dx);
  const double n = plat::CharacterCount(text);
  f.mainText.Render(dev, text, static_cast<float>(f.D.swidth / 2 - 13.5 * n), static_cast<float>(f.D.sheight * 0.45),
                    plat::D3DColorXRGB(255, 255, 255), *f.D.d3dx, true);
  dev.EndScene();
  dev.Present();
}

void NetPlay::EndWith(Form1& f, const std::string& message, int code) {
  std::fprintf(stderr, "vantor: %s\n", message.c_str());
  notice_.clear();
  if (f.musicBuffer) f.musicBuffer->Stop();
  // The message stays on the screen for a moment before the game ends.
  const uint32_t start = f.Now();
  while (f.Now() - start < 3000) {
    if (f.DeviceReady()) DrawStatus(f, message);
    f.DoEvents();
  }
  f.End(code);
}

// ---- Start-up from the command line ---------------------------------------------------------

std::unique_ptr<NetPlay> StartNetwork(const app::Options& o, const std::string& name, std::string& error) {
  if (!o.network()) return nullptr;
  if (!o.record.empty() && !o.host) {
    error = "--record writes what a host sends: use it with --host";
    return nullptr;
  }
  if (!o.replay.empty()) {
    auto link = ReplayLink::Open(o.replay, error);
    if (!link) return nullptr;
    if (link->cut().cut) {
      std::fprintf(stderr,
                   "vantor: the replay %s is cut short at byte %zu (record %zu): the game that made it stopped; "
                   "it plays up to there\n",
                   o.replay.c_str(), link->cut().byte, link->cut().record);
    }
    return std::make_unique<NetPlay>(NetPlay::Mode::Replay, std::move(link), Name{}, o.replay);
  }
  if (o.host) {
    const uint16_t port = o.port != 0 ? o.port : kDefaultPort;
    auto link = EnetLink::Listen(port, HostSession::kMaxPeers + 1, error);
    if (!link) return nullptr;
    auto play = std::make_unique<NetPlay>(NetPlay::Mode::Host, std::move(link));
    if (!o.record.empty()) {
      auto writer = std::make_unique<ReplayWriter>();
      if (!writer->Open(o.record, error)) return nullptr;
      play->Record(std::move(writer));
    }
    std::fprintf(stderr, "vantor: hosting on UDP port %u\n", static_cast<unsigned>(port));
    return play;
  }
  HostAndPort target;
  if (!ParseHostAndPort(o.join, kDefaultPort, target, error)) return nullptr;
  auto link = EnetLink::Connect(target, error);
  if (!link) return nullptr;
  return std::make_unique<NetPlay>(NetPlay::Mode::Join, std::move(link), Name::From(name),
                                   target.host + ":" + std::to_string(target.port));
}
