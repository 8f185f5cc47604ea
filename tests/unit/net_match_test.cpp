// Network matches on the test face: two Form1s joined by an in-memory link (virtual time),
// a host that runs the match and a joiner that only draws it, and replays of what the host
// sent.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>

#include "app/netplay.h"
#include "net/memory_link.h"
#include "net/replay.h"
#include "unit/match_harness.h"

namespace {

using match_test::Rig;


constexpr net::PeerId kHostId = 1, kJoinerId = 2;

// A host and a joiner over one in-memory network, each a Form1 on its own test face.
struct NetPair {
  explicit NetPair(uint32_t delayMs = 0, uint32_t lossPercent = 0, const std::string& record = "") {
    network->delayMs = delayMs;
    network->lossPercent = lossPercent;
    auto hl = std::make_unique<net::MemoryLink>(network, kHostId);
    auto jl = std::make_unique<net::MemoryLink>(network, kJoinerId);
    hostLink = hl.get();
    joinLink = jl.get();
    hostNet = std::make_unique<NetPlay>(NetPlay::Mode::Host, std::move(hl));
    if (!record.empty()) {
      auto writer = std::make_unique<net::ReplayWriter>();
      std::string error;
      EXPECT_TRUE(writer->Open(record, error)) << error;
      hostNet->Record(std::move(writer));
    }
    joinNet = std::make_unique<NetPlay>(NetPlay::Mode::Join, std::move(jl), net::Name::From("BOB"), "memory");
    host = std::make_unique<Rig>(match_test::DataFolder(), hostNet.get());
    joiner = std::make_unique<Rig>(match_test::DataFolder(), joinNet.get());
    for (Rig* r : {host.get(), joiner.get()}) r->device().recording = false;
    joinLink->Connect(kHostId);
  }
  // One pass of each machine's frame loop.
  void Step() {
    hostNet->Pass(*host->form);
    joinNet->Pass(*joiner->form);
  }
  void Steps(int n) {
    for (int i = 0; i < n; ++i) Step();
  }
  // The host alone, for `ms` of its clock.
  void HostFor(uint32_t ms) {
    const uint32_t end = host->platform.now + ms;
    while (static_cast<int32_t>(end - host->platform.now) > 0) hostNet->Pass(*host->form);
  }
  Form1& h() { return *host->form; }
  Form1& j() { return *joiner->form; }

  std::shared_ptr<net::MemoryNetwork> network = std::make_shared<net::MemoryNetwork>();
  net::MemoryLink* hostLink = nullptr;
  net::MemoryLink* joinLink = nullptr;
  std::unique_ptr<NetPlay> hostNet, joinNet;
  std::unique_ptr<Rig> host, joiner;
};

// The joining player on the left: lines his racket up with the ball as he sees it, goes for
// it on his half and otherwise falls back home, with his arrow keys; he looks away for 5 s of
// every 15 (so that there are goals).
void JoinerFollowsTheBall(Rig& rig) {
  rig.platform.onPump = [&rig](match_test::TestPlatform& p) {
    const Form1& f = *rig.form;
    for (uint8_t k : {plat::DIK_UP, plat::DIK_DOWN, plat::DIK_LEFT, plat::DIK_RIGHT}) p.Release(k);
    if (!f.screenState.empty() || (p.now / 5000) % 3 == 0) return;
    const double centre = f.lRacket.cposz + 0.5 - 0.2;
    if (f.ball.cposz < centre - 0.05) p.Press(plat::DIK_UP);
    if (f.ball.cposz > centre + 0.05) p.Press(plat::DIK_DOWN);
    if (f.ball.cposx > 0 && f.ball.cposx < f.lRacket.cposx - 0.2) {
      p.Press(plat::DIK_RIGHT);
    } else if (f.lRacket.cposx < 4) {
      p.Press(plat::DIK_LEFT);
    }
  };
}

std::vector<std::string> TextsOfOneFrame(Rig& rig, NetPlay& net) {
  rig.device().recording = true;
  rig.device().ClearCalls();
  net.Pass(*rig.form);
  rig.device().recording = false;
  return rig.device().Texts();
}

bool Has(const std::vector<std::string>& texts, const std::string& t) {
  return std::find(texts.begin(), texts.end(), t) != texts.end();
}

}  // namespace

TEST(NetMatch, WholeMatchOverTheLinkAgreesOnBothScreensAndReplaysTheSameFrames) {
  TempFolder folder;
  const std::string replayFile = folder.Path("match.vrp");
  NetPair pair(0, 0, replayFile);
  pair.Steps(5);
  ASSERT_EQ(pair.joinNet->joiner()->state(), net::JoinSession::State::Joined);
  ASSERT_TRUE(pair.hostNet->host()->HasPlayer());
  EXPECT_EQ(pair.hostNet->host()->PlayerName().view(), "BOB");

  // The host starts a two-player match; the joiner plays the left racket from his machine.
  pair.host->Start({.onePlayer = false, .level = 2, .rName = "ALICE", .lName = "BOB"});
  pair.host->FollowTheBall();
  JoinerFollowsTheBall(*pair.joiner);

  std::map<uint32_t, net::Snapshot> joinerShown;
  double worstBall = 0, worstRacket = 0, worstOwn = 0;
  int frames = 0, leftMoves = 0;
  double lastLeftZ = 0, ownZ = NAN;
  int lastGoals = 0;
  while (pair.h().screenState.empty() && frames < 13000) {
    pair.Step();
    ++frames;
    Form1 &h = pair.h(), &j = pair.j();
    if (!j.screenState.empty()) continue;
    const net::Snapshot& s = pair.joinNet->shown();
    joinerShown[s.frame] = s;
    if (h.screenState.empty() && !h.cam_inter) {
      worstBall = std::max({worstBall, std::fabs(j.ball.cposx - h.ball.cposx), std::fabs(j.ball.cposz - h.ball.cposz)});
      worstRacket = std::max({worstRacket, std::fabs(j.rRacket.cposz - h.rRacket.cposz),
                              std::fabs(j.rRacket.cposx - h.rRacket.cposx)});
      // The joiner's own racket moved with its keys a frame before the host took them in
      // (but for the host putting it home after a goal, which the joiner shows a frame later).
      const int goals = h.ball.RScore + h.ball.LScore;
      if (!std::isnan(ownZ) && goals == lastGoals) worstOwn = std::max(worstOwn, std::fabs(ownZ - h.lRacket.cposz));
      ownZ = goals == lastGoals ? j.lRacket.cposz : NAN;
      lastGoals = goals;
      if (h.lRacket.cposz != lastLeftZ) ++leftMoves;
      lastLeftZ = h.lRacket.cposz;
    }
  }
  ASSERT_EQ(pair.h().screenState, "FRM_AFTER") << "the match ran its 180 s";
  EXPECT_GT(leftMoves, 500) << "the joiner's keys moved the left racket on the host";
  // Without delay the joiner draws the host's newest frame: the same places.
  EXPECT_LT(worstBall, 1e-4);
  EXPECT_LT(worstRacket, 1e-4);
  // Within one step: the two machines count their frames a second apart (their step sizes
  // differ while those counts do), and a correction is blended away over a few frames.
  EXPECT_LT(worstOwn, pair.h().lRacket.rspeed / 60);
  EXPECT_GT(pair.h().ball.RScore + pair.h().ball.LScore, 0) << "a match with goals";

  pair.Steps(3);
  Form1 &h = pair.h(), &j = pair.j();
  ASSERT_EQ(j.screenState, "FRM_AFTER");
  EXPECT_EQ(j.ball.RScore, h.ball.RScore);
  EXPECT_EQ(j.ball.LScore, h.ball.LScore);
  EXPECT_EQ(j.RName, "ALICE");
  EXPECT_EQ(j.LName, "BOB");
  // The effects the host started were started on the joiner too: in the same frames (a
  // buffer started again while it plays goes on, so several starts in one frame sound as one).
  for (const char* sound : {"goal.wav", "rcoll.wav", "tcoll.wav"}) {
    const int hostPlays = pair.host->CountSounds(sound, match_test::SoundEvent::Play);
    const int joinerPlays = pair.joiner->CountSounds(sound, match_test::SoundEvent::Play);
    EXPECT_GT(joinerPlays, 0) << sound;
    EXPECT_LE(joinerPlays, hostPlays) << sound;
    if (std::string(sound) == "goal.wav") {
      EXPECT_EQ(joinerPlays, hostPlays);
    }
  }
  const auto texts = TextsOfOneFrame(*pair.joiner, *pair.joinNet);
  for (const std::string& t : {std::string("ALICE"), std::string("BOB"), std::to_string(h.ball.RScore),
                               std::to_string(h.ball.LScore)})
    EXPECT_TRUE(Has(texts, t)) << "the joiner's after-match screen shows " << t;

  // The replay of the host's stream draws the frames the joiner drew.
  std::string error;
  ASSERT_TRUE(pair.hostNet->FinishRecording(error)) << error;
  auto replayLink = net::ReplayLink::Open(replayFile, error);
  ASSERT_NE(replayLink, nullptr) << error;
  const auto replayBytes = std::filesystem::file_size(replayFile);
  std::printf("replay of a whole match: %ju bytes\n", static_cast<uintmax_t>(replayBytes));
  EXPECT_LT(replayBytes, 5u << 20) << "a 3-minute match under 5 MB";
  net::ReplayLink* link = replayLink.get();
  NetPlay replayNet(NetPlay::Mode::Replay, std::move(replayLink));
  Rig viewer(match_test::DataFolder(), &replayNet);
  viewer.device().recording = false;
  size_t compared = 0, differing = 0;
  for (int i = 0; i < 14000 && !link->Finished(); ++i) {
    replayNet.Pass(*viewer.form);
    if (!viewer.form->screenState.empty()) continue;
    const net::Snapshot& s = replayNet.shown();
    const auto seen = joinerShown.find(s.frame);
    if (seen == joinerShown.end()) continue;
    ++compared;
    const net::Snapshot& o = seen->second;
    if (s.ballX != o.ballX || s.ballZ != o.ballZ || s.leftZ != o.leftZ || s.rightZ != o.rightZ ||
        s.rightScore != o.rightScore || s.leftScore != o.leftScore || s.clock != o.clock)
      ++differing;
  }
  EXPECT_TRUE(link->Finished());
  EXPECT_GT(compared, 9000u);
  EXPECT_EQ(differing, 0u);
  replayNet.Pass(*viewer.form);
  EXPECT_EQ(viewer.form->screenState, "FRM_AFTER");
  EXPECT_EQ(viewer.form->ball.RScore, h.ball.RScore);
}

// The joiner holds Up from one frame on: how many of its frames until its own racket moves
// in its picture.
int FramesUntilTheJoinerSeesItsRacketMove(NetPair& pair) {
  pair.host->Start({.onePlayer = false, .level = 2, .rName = "ALICE", .lName = "BOB"});
  while (pair.h().cam_inter || pair.j().cam_inter || !pair.j().screenState.empty()) pair.Step();
  pair.Steps(30);
  const double z0 = pair.j().lRacket.cposz;
  pair.joiner->platform.Press(plat::DIK_UP);
  int frames = 0;
  while (pair.j().lRacket.cposz >= z0 - 1e-9 && frames < 200) {
    pair.Step();
    ++frames;
  }
  pair.joiner->platform.Release(plat::DIK_UP);
  return frames;
}

TEST(NetMatch, TheJoinersRacketMovesOnItsScreenWithinOneRoundTripAndAFrame) {
  NetPair direct;
  direct.Steps(3);
  const int atZero = FramesUntilTheJoinerSeesItsRacketMove(direct);
  // 100 ms round trip (50 ms each way) with 2 % of the frames lost.
  NetPair far(50, 2);
  far.Steps(20);
  const int at100 = FramesUntilTheJoinerSeesItsRacketMove(far);
  const double frameMs = 1000.0 / 60;
  std::printf("input to screen: %d frames (%.0f ms) at 0 ms, %d frames (%.0f ms) at 100 ms round trip\n", atZero,
              atZero * frameMs, at100, at100 * frameMs);
  EXPECT_LE(atZero, 2);
  // One round trip is six frames; plus the frame that shows it.
  EXPECT_LE(at100 * frameMs, 100 + 2 * frameMs);
}

// The joiner's racket at 100 ms round trip with 2 % loss: it moves in the frame its key is
// read, a burst of losses makes the two disagree, and the joiner's racket then comes back to
// the host's without ever moving by more than its own step in a frame.
TEST(NetMatch, TheJoinersOwnRacketIsPredictedAndBroughtBackToTheHostsWithoutJumps) {
  NetPair pair(50, 2);
  pair.Steps(20);
  pair.host->Start({.onePlayer = false, .level = 2, .rName = "ALICE", .lName = "BOB"});
  while (pair.h().cam_inter || pair.j().cam_inter || !pair.j().screenState.empty()) pair.Step();
  pair.Steps(30);
  Form1 &h = pair.h(), &j = pair.j();
  ASSERT_TRUE(pair.joinNet->predicting());
  const double step = h.lRacket.rspeed / 60;  // one frame's step at both machines' 60 frames/s
  auto& keys = pair.joiner->platform;
  // Down, Right, Up and Left in turn, with rests. Every key state and snapshot is lost for 10
  // frames from the end of the Right: the host goes on moving the racket with the last keys it
  // heard, and the joiner learns it all at once while its keys rest.
  const struct {
    uint8_t key;
    int frames;
  } script[] = {{plat::DIK_DOWN, 8}, {0, 10}, {plat::DIK_RIGHT, 8}, {0, 20},
                {plat::DIK_UP, 12},  {plat::DIK_LEFT, 6}, {0, 40}};
  int frame = 0, firstMoves = 0;
  double worstRest = 0, worstHeld = 0, corrected = 0;
  for (const auto& part : script) {
    for (int i = 0; i < part.frames; ++i, ++frame) {
      for (uint8_t k : {plat::DIK_UP, plat::DIK_DOWN, plat::DIK_LEFT, plat::DIK_RIGHT}) keys.Release(k);
      if (part.key != 0) keys.Press(part.key);
      if (frame == 22 || frame == 32) pair.network->lossPercent = frame == 22 ? 100 : 2;
      const double x0 = j.lRacket.cposx, z0 = j.lRacket.cposz;
      pair.Step();
      const double moved = std::hypot(j.lRacket.cposx - x0, j.lRacket.cposz - z0);
      const auto& p = pair.joinNet->predicted();
      corrected = std::max(corrected, std::hypot(j.lRacket.cposx - p.cposx, j.lRacket.cposz - p.cposz));
      if (part.key != 0) {
        // The key was read in this frame: the racket moved in it (unless at its zone's edge).
        if (i == 0) firstMoves += moved > step / 2 ? 1 : 0;
        worstHeld = std::max(worstHeld, moved);
      } else {
        worstRest = std::max(worstRest, moved);
      }
    }
  }
  EXPECT_EQ(firstMoves, 4) << "each key moved the racket in the frame it was read";
  EXPECT_GT(corrected, 2 * step) << "the losses made the two disagree";
  // Held: its own step and at most one more of correction; at rest, at most one step.
  EXPECT_LE(worstHeld, 2 * step + 1e-4);
  EXPECT_LE(worstRest, step + 1e-4);
  EXPECT_NEAR(j.lRacket.cposx, h.lRacket.cposx, 1e-3) << "back on the host's racket";
  EXPECT_NEAR(j.lRacket.cposz, h.lRacket.cposz, 1e-3);
}

TEST(NetMatch, SilenceFor2sPausesBothFor10sEndsIt) {
  // The joiner goes silent mid-match: the host pauses and says so, then returns to the menu.
  {
    NetPair pair;
    pair.Steps(3);
    pair.host->Start({.onePlayer = false, .level = 1});
    while (pair.h().cam_inter) pair.Step();
    pair.Steps(60);
    ASSERT_FALSE(pair.h().paused);
    pair.joinLink->Cut();
    pair.HostFor(1500);
    EXPECT_FALSE(pair.h().paused);
    pair.HostFor(700);
    EXPECT_TRUE(pair.h().paused);
    EXPECT_EQ(pair.hostNet->notice(), NetPlay::kLostNotice);
    pair.host->device().recording = true;
    pair.host->device().ClearCalls();
    pair.hostNet->Pass(pair.h());
    EXPECT_TRUE(Has(pair.host->device().Texts(), NetPlay::kLostNotice)) << "drawn over the match";
    const int16_t r = pair.h().ball.RScore, l = pair.h().ball.LScore;
    for (int i = 0; i < 8 * 60 && pair.h().screenState.empty(); ++i) pair.hostNet->Pass(pair.h());
    EXPECT_EQ(pair.h().ball.RScore, r) << "no serve-rule points while waiting";
    EXPECT_EQ(pair.h().ball.LScore, l);
    for (int i = 0; i < 60; ++i) pair.hostNet->Pass(pair.h());
    EXPECT_EQ(pair.h().screenState, "FRMSINGLE_MULTI");
    EXPECT_FALSE(pair.hostNet->host()->HasPlayer());
    EXPECT_TRUE(pair.hostNet->notice().empty());
  }
  // The host goes silent: the joiner says so after 2 s, and its game ends (code 0) after 10 s.
  {
    NetPair pair;
    pair.Steps(3);
    pair.host->Start({.onePlayer = false, .level = 1});
    pair.Steps(300);
    pair.hostLink->Cut();
    for (int i = 0; i < 130; ++i) pair.joinNet->Pass(pair.j());
    EXPECT_EQ(pair.joinNet->notice(), NetPlay::kLostNotice);
    int code = -1;
    try {
      for (int i = 0; i < 20 * 60; ++i) pair.joinNet->Pass(pair.j());
    } catch (const plat::ProgramEnd& end) {
      code = end.code;
    }
    EXPECT_EQ(code, 0);
    const uint32_t silent = pair.joiner->platform.now - pair.host->platform.now;
    EXPECT_GE(silent, 10000u + 3000u - 100u) << "10 s of waiting, then the message for 3 s";
    EXPECT_LE(silent, 10000u + 3000u + 100u);
  }
}

// A recording host killed (SIGKILL) in the middle of its second match, after one whole match:
// its replay plays the first match to its after-match screen, then the second up to where
// the file stops, and says that the recording ends there. The menus between were not kept.
TEST(NetReplay, AKilledHostsRecordingPlaysUpToWhereItStopped) {
  TempFolder folder;
  const std::string file = folder.Path("killed.vrp");
  int toParent[2];
  ASSERT_EQ(pipe(toParent), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The host, alone against the computer, records; it says the first match's scores once
    // its second match has run for a while, and goes on playing until it is killed.
    close(toParent[0]);
    NetPlay hostNet(NetPlay::Mode::Host,
                    std::make_unique<net::MemoryLink>(std::make_shared<net::MemoryNetwork>(), kHostId));
    auto writer = std::make_unique<net::ReplayWriter>();
    std::string error;
    if (!writer->Open(file, error)) _exit(3);
    hostNet.Record(std::move(writer));
    Rig host(match_test::DataFolder(), &hostNet);
    host.device().recording = false;
    Form1& f = *host.form;
    for (int i = 0; i < 5; ++i) hostNet.Pass(f);
    host.Start({.onePlayer = true, .level = 2});
    host.FollowTheBall();
    while (f.screenState.empty()) hostNet.Pass(f);
    const std::string scores = std::to_string(f.ball.RScore) + " " + std::to_string(f.ball.LScore) + "\n";
    for (int i = 0; i < 120; ++i) hostNet.Pass(f);  // the after-match screen
    f.LeaveMatch();
    for (int i = 0; i < 300; ++i) hostNet.Pass(f);  // the menus: not recorded
    host.Start({.onePlayer = true, .level = 2});
    while (f.matchClock < 45) hostNet.Pass(f);
    if (write(toParent[1], scores.data(), scores.size()) != static_cast<ssize_t>(scores.size())) _exit(4);
    for (;;) hostNet.Pass(f);
  }
  close(toParent[1]);
  char said[64] = {};
  const ssize_t n = read(toParent[0], said, sizeof said - 1);
  close(toParent[0]);
  ASSERT_GT(n, 0) << "the host ended before its second match";
  int firstRight = -1, firstLeft = -1;
  ASSERT_EQ(std::sscanf(said, "%d %d", &firstRight, &firstLeft), 2);
  // Killed while the file's end falls inside a record, as it nearly always does (the writer
  // pushes out whole blocks): stopped first to look, then killed.
  bool cutInside = false;
  for (int tries = 0; tries < 200 && !cutInside; ++tries) {
    kill(child, SIGSTOP);
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<net::ReplayRecord> records;
    std::string error;
    net::ReplayCut cut;
    cutInside = net::ParseReplay(bytes.data(), bytes.size(), records, error, &cut) && cut.cut;
    if (!cutInside) {
      kill(child, SIGCONT);
      usleep(20000);
    }
  }
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  ASSERT_TRUE(cutInside);

  std::string error;
  auto replayLink = net::ReplayLink::Open(file, error);
  ASSERT_NE(replayLink, nullptr) << error;
  ASSERT_TRUE(replayLink->cut().cut);
  net::ReplayLink* link = replayLink.get();
  NetPlay replayNet(NetPlay::Mode::Replay, std::move(replayLink));
  Rig viewer(match_test::DataFolder(), &replayNet);
  viewer.device().recording = false;
  Form1& v = *viewer.form;
  int matches = 0, afters = 0, menus = 0, lastClock = 0;
  std::string was = v.screenState;  // the logo, until the recording's first screen
  for (int i = 0; i < 16000 && !link->Finished(); ++i) {
    replayNet.Pass(v);
    if (v.screenState != was) {
      was = v.screenState;
      if (was.empty()) ++matches;
      if (was == "FRM_AFTER") {
        ++afters;
        EXPECT_EQ(v.ball.RScore, firstRight);
        EXPECT_EQ(v.ball.LScore, firstLeft);
      }
      if (was != "" && was != "FRM_AFTER") ++menus;
    }
    if (was.empty() && matches == 2) lastClock = replayNet.shown().clock;
    if (!link->Finished()) {
      EXPECT_TRUE(replayNet.notice().empty()) << "nothing said before the end";
    }
  }
  ASSERT_TRUE(link->Finished());
  EXPECT_EQ(matches, 2);
  EXPECT_EQ(afters, 1) << "the first match whole, to its after-match screen";
  EXPECT_EQ(menus, 0) << "no menus between the matches";
  EXPECT_GE(lastClock, 30) << "the second match up to the cut (the file lags the game by one block)";
  const auto texts = TextsOfOneFrame(viewer, replayNet);
  EXPECT_EQ(replayNet.notice(), net::kReplayCutNotice);
  EXPECT_TRUE(Has(texts, net::kReplayCutNotice)) << "said over the last picture";
  EXPECT_TRUE(v.screenState.empty()) << "the second match stands where it stopped";
}

TEST(NetMatch, AShortLossBeforeTheFirstStrikeCostsNoPoint) {
  // The joiner drops out for a few seconds while the ball waits for its first strike: the
  // host pauses and plays on when he is back, and the serve rule stays off throughout.
  NetPair pair;
  pair.Steps(3);
  pair.host->Start({.onePlayer = false, .level = 1});
  while (pair.h().cam_inter) pair.Step();
  pair.Steps(60);
  ASSERT_TRUE(pair.h().ball.Goal);
  pair.joinLink->Cut();
  pair.HostFor(2500);
  ASSERT_TRUE(pair.h().paused);
  pair.joinLink->Restore();
  for (int i = 0; i < 120 && pair.h().paused; ++i) pair.Step();
  ASSERT_FALSE(pair.h().paused);
  pair.Steps(12 * 60);
  EXPECT_EQ(pair.h().ball.RScore + pair.h().ball.LScore, 0);
  EXPECT_FALSE(pair.h().Timer4.Enabled());
}
