// The ball: geometry, the frame's sub-steps, walls, goal-mouth edges, goals, pockets,
// drawing and the goal sound.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/app_path.h"
#include "platform/testing/test_platform.h"
#include "world/cBall.h"
#include "world/testing/world_test_data.h"

namespace {

using plat::testing::Op;
using world::testing::TestColor;

constexpr double kPi = 22.0 / 7.0;

// The match side of the ball: records every call with the ball's state at that moment.
class FakeHost : public cBallHost {
 public:
  struct Event {
    std::string what;
    double x, z;
    int16_t xdir, zdir, lscore, rscore;
    double speed, angle;
    bool goal;
  };
  explicit FakeHost(cBall* b) : ball(b) {}
  bool Coll_thisloop() const override { return coll; }
  void Checkcoll() override {
    ++checkcolls;
    if (onCheckcoll) onCheckcoll(*this);
  }
  void Reset_var() override { Record("reset"); }
  void play_s_fx(int16_t t) override { Record("fx" + std::to_string(t)); }
  void EnableTimer4() override { Record("timer4"); }

  void Record(const std::string& what) {
    events.push_back({what, ball->cposx, ball->cposz, ball->Xdir, ball->Zdir, ball->LScore, ball->RScore,
                      ball->bspeed, ball->bAngle, ball->Goal});
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> n;
    for (const auto& e : events) n.push_back(e.what);
    return n;
  }

  cBall* ball;
  bool coll = false;
  int checkcolls = 0;
  std::function<void(FakeHost&)> onCheckcoll;
  std::vector<Event> events;
};

// Sound device that keeps what it was asked for.
struct FakeBuffer : plat::SoundBuffer {
  std::vector<std::pair<std::string, int32_t>>* log;
  explicit FakeBuffer(std::vector<std::pair<std::string, int32_t>>* l) : log(l) {}
  plat::HRESULT Play(plat::DWORD flags) override {
    log->push_back({"play", static_cast<int32_t>(flags)});
    return 0;
  }
  plat::HRESULT Stop() override { return 0; }
  plat::HRESULT SetVolume(int32_t v) override {
    log->push_back({"volume", v});
    return 0;
  }
  bool IsPlaying() const override { return false; }
};
struct FakeSound : plat::SoundDevice {
  std::vector<std::pair<std::string, int32_t>> log;
  plat::HRESULT SetCooperativeLevel(uintptr_t, plat::DWORD) override { return 0; }
  plat::SoundBufferPtr CreateSoundBufferFromFile(const std::string& path, plat::DWORD flags) override {
    log.push_back({"create " + path, static_cast<int32_t>(flags)});
    return std::make_unique<FakeBuffer>(&log);
  }
};

class WorldBall : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetAppPath(world::testing::WorldDataFolder().string());
    ball.bspeed = 10.0;
    ball.init(1, device, d3dx);
    ball.load_sound(sound);
    sound.log.clear();
    ball.host = &host;
  }
  // Ball resting at (x, z) heading along `angle` with the given signs.
  void Place(double x, double z, int16_t xdir, int16_t zdir) {
    ball.Translate_ball(x, z);
    ball.Xdir = xdir;
    ball.Zdir = zdir;
  }
  int GoalPlays() const {
    int n = 0;
    for (const auto& [what, v] : sound.log) n += what == "play";
    return n;
  }

  plat::testing::TestPlatform platform;
  plat::testing::RecordingDevice device{&platform};
  plat::D3DX8 d3dx;
  FakeSound sound;
  cBall ball;
  FakeHost host{&ball};
};

TEST_F(WorldBall, InitDerivesSpeedsAndReadsPositionBeforeRebuildingTheTop) {
  EXPECT_EQ(ball.baspeed, 10.0);
  EXPECT_EQ(ball.bnspeed, 15.0);
  EXPECT_EQ(ball.Xdir, 1);
  EXPECT_EQ(ball.Zdir, 1);
  // First init: the top was still all zeros.
  EXPECT_EQ(ball.cposx, -0.125);
  EXPECT_EQ(ball.cposz, 0.125);
  EXPECT_EQ(device.state.renderState[plat::D3DRS_ZENABLE], 1u);
  EXPECT_EQ(device.state.renderState[plat::D3DRS_CULLMODE], plat::D3DCULL_NONE);

  // A later init reads the old place, then rebuilds rim and top at the origin.
  ball.Translate_ball(2.0, -1.0);
  ball.bspeed = 8.0;
  ball.init(1, device, d3dx);
  EXPECT_EQ(ball.cposx, 2.0);
  EXPECT_EQ(ball.cposz, -1.0);
  EXPECT_EQ(ball.baspeed, 8.0);
  EXPECT_EQ(ball.bnspeed, 12.0);
  EXPECT_EQ(ball.GetTopFace()[0].x, 0.125f);
  EXPECT_EQ(ball.GetSideStrip()[0].x, 0.125f);

  EXPECT_THROW(ball.init(9, device, d3dx), plat::LoadError);
}

TEST_F(WorldBall, GeometryTranslatedAndReadBack) {
  ball.Translate_ball(-2.5, 0.7);
  EXPECT_EQ(ball.cposx, -2.5);
  EXPECT_NEAR(ball.cposz, 0.7, 1e-6);
  EXPECT_EQ(ball.cposz, static_cast<double>(ball.GetTopFace()[0].z) + 0.125);
  const auto& top = ball.GetTopFace();
  const float xs[6] = {-2.375f, -2.625f, -2.375f, -2.625f, -2.625f, -2.375f};
  const float us[6] = {1, 0, 1, 0, 0, 1}, vs[6] = {0, 1, 1, 0, 1, 0};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(top[i].x, xs[i]) << i;
    EXPECT_EQ(top[i].y, 0.125f);
    EXPECT_EQ(top[i].tu, us[i]) << i;
    EXPECT_EQ(top[i].tv, vs[i]) << i;
    EXPECT_EQ(top[i].ny, 1.0f);
  }
  const auto& s = ball.GetSideStrip();
  EXPECT_EQ(s[0].y, 0.125f);
  EXPECT_EQ(s[1].y, 0.0f);
  EXPECT_NEAR(s[0].x, -2.375, 1e-6);
  // With pi = 22/7 the rim's last pair lies a hair past the first.
  EXPECT_NEAR(s[60].z - s[0].z, std::sin(360 * kPi / 180) / 8, 1e-6);
  EXPECT_GT(s[60].z - s[0].z, 0.0003f);
  EXPECT_EQ(s[60].tu, 1.0f);
  EXPECT_EQ(s[61].tu, 0.0f);
  EXPECT_EQ(s[61].tv, 0.0f);
  EXPECT_FLOAT_EQ(s[30].tv, 0.5f);
  // Rim normals: top vertices 0..58 point to the axis, bottom ones and vertex 60 outwards.
  for (int k = 0; k <= 61; ++k) {
    const float radial = s[k].nx * (s[k].x + 2.5f) + s[k].nz * (s[k].z - 0.7f);
    const bool inward = k % 2 == 0 && k <= 58;
    EXPECT_EQ(radial < 0, inward) << k;
  }
}

TEST_F(WorldBall, SubStepCountFollowsTheFrameRate) {
  const std::pair<double, int> cases[] = {{50, 51},  {100, 16}, {85, 16}, {115, 16},
                                          {150, 51}, {60, 41},  {144, 45}};
  for (const auto& [fps, steps] : cases) {
    Place(0, 0, 1, 1);
    host.checkcolls = 0;
    ball.fMove(fps, 10);
    EXPECT_EQ(host.checkcolls, steps) << fps;
    EXPECT_EQ(cBall::SubSteps(fps), steps);
  }
  // After a hit in this frame the match is not asked again.
  host.coll = true;
  host.checkcolls = 0;
  ball.fMove(50, 10);
  EXPECT_EQ(host.checkcolls, 0);
}

TEST_F(WorldBall, FrameMovesNPlusOneOverNOfTheDisplacement) {
  Place(0, 0, 1, -1);
  ball.fMove(50, 30);
  const double r = 30 * kPi / 180;
  EXPECT_DOUBLE_EQ(ball.aco, std::cos(r) * 10 / 50);
  EXPECT_DOUBLE_EQ(ball.asi, -std::sin(r) * 10 / 50);
  EXPECT_NEAR(ball.cposx, ball.aco * 51 / 50, 1e-6);
  EXPECT_NEAR(ball.cposz, ball.asi * 51 / 50, 1e-6);
  EXPECT_FLOAT_EQ(ball.Diff, 0.2f);
  EXPECT_DOUBLE_EQ(ball.GetBgap(), 0.4);
  EXPECT_EQ(ball.cposx, static_cast<double>(ball.GetTopFace()[0].x) - 0.125);

  // At 100 frames per second: 16 sub-steps of a fifteenth.
  Place(0, 0, -1, 1);
  ball.fMove(100, 45);
  EXPECT_NEAR(ball.cposx, -std::cos(45 * kPi / 180) * 0.1 * 16 / 15, 1e-6);
}

TEST_F(WorldBall, AngleZeroBecomesMinusOneHundredthOfADegree) {
  Place(0, 0, 1, 1);
  ball.fMove(50, 0);
  EXPECT_EQ(ball.bAngle, -0.01);
  EXPECT_LT(ball.asi, 0);
  EXPECT_LT(ball.cposz, 0);
  EXPECT_GT(ball.cposz, -1e-4);
}

TEST_F(WorldBall, DisplacementIsFixedForTheWholeFrame) {
  Place(0, 0, 1, 1);
  // A racket hit in the first sub-step turns the ball round; it takes effect next frame.
  host.onCheckcoll = [](FakeHost& h) {
    h.ball->Xdir = -1;
    h.ball->bspeed = 15;
    h.coll = true;
  };
  ball.fMove(50, 20);
  EXPECT_EQ(host.checkcolls, 1);
  EXPECT_NEAR(ball.cposx, std::cos(20 * kPi / 180) * 0.2 * 51 / 50, 1e-6);
  ball.fMove(50, 20);
  EXPECT_NEAR(ball.cposx, std::cos(20 * kPi / 180) * (0.2 - 0.3) * 51 / 50, 1e-5);
}

TEST_F(WorldBall, ExternallyWrittenPositionIsRestoredByTheNextMove) {
  Place(1.0, 1.0, 1, 1);
  ball.cposx = 3.0;
  ball.cposz = -2.0;
  ball.Xdir = 0;
  ball.Zdir = 0;
  ball.fMove(50, 10);
  EXPECT_EQ(ball.cposx, 1.0);
  EXPECT_EQ(ball.cposz, 1.0);
}

// Long walls: reversed, set back by twice the frame's distance, base speed, one sound.
TEST_F(WorldBall, LongWallsBounce) {
  for (int side : {1, -1}) {
    SCOPED_TRACE(side);
    host.events.clear();
    Place(0, side * 2.99, 1, static_cast<int16_t>(side));
    ball.bspeed = 12.5;  // a raised speed: the set-back uses it, then base speed
    ball.fMove(50, 90);
    ASSERT_EQ(host.Names(), std::vector<std::string>{"fx4"});
    const auto& e = host.events[0];
    EXPECT_NEAR(e.z, side * (3 - 2 * 12.5 / 50), 1e-6);
    EXPECT_EQ(e.zdir, -side);
    EXPECT_EQ(e.speed, 10.0);
    EXPECT_EQ(ball.Zdir, -side);
    EXPECT_EQ(ball.Goal, false);
  }
}

// The short walls beside each goal mouth: a ball grazing their edge bounces off in z.
struct EdgeCase {
  double x;  // centre, with the ball's leading edge past |x| = 4
  double z;  // centre, with the edge facing the wall within one frame's distance
  int16_t xdir;
  double backZ;  // where it is put: the centre at +-2.5 -+ bgap
};
void PrintTo(const EdgeCase& c, std::ostream* os) { *os << "centre (" << c.x << ", " << c.z << ")"; }
class WorldBallEdge : public WorldBall, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(WorldBallEdge, GoalMouthEdgeBounces) {
  const EdgeCase c = GetParam();
  const int16_t zdir = c.z < 0 ? -1 : 1;
  Place(c.x, c.z, c.xdir, zdir);
  ball.fMove(50, 0);  // runs along x
  ASSERT_EQ(host.Names(), std::vector<std::string>{"fx4"});
  EXPECT_NEAR(host.events[0].z, c.backZ, 1e-6);
  EXPECT_EQ(host.events[0].zdir, -zdir);
  EXPECT_EQ(ball.LScore + ball.RScore, 0);
  EXPECT_NEAR(ball.cposz, c.backZ, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(AllFour, WorldBallEdge,
                         ::testing::Values(EdgeCase{-4.075, -2.275, -1, -2.1},  // left edge -4.2, lower -2.4
                                           EdgeCase{-4.075, 2.275, -1, 2.1},    // upper edge 2.4
                                           EdgeCase{4.075, -2.275, 1, -2.1},    // right edge 4.2
                                           EdgeCase{4.075, 2.275, 1, 2.1}));

TEST_F(WorldBall, EdgeBandIsOneFrameDeep) {
  // Lower edge 0.21 above -2.5 with D = 0.2: no bounce, the ball just runs on.
  Place(-4.075, -2.5 + 0.125 + 0.21, -1, -1);
  ball.fMove(50, 0);
  EXPECT_TRUE(host.events.empty());
  // Leading edge not past x = -4: no bounce either.
  Place(-3.8, -2.275, 1, -1);
  ball.fMove(50, 0);
  EXPECT_TRUE(host.events.empty());
}

TEST_F(WorldBall, GoalAtMinusXScoresForTheLeftPlayer) {
  Place(-4.49, 0.3, -1, 1);
  ball.bspeed = 15;
  ball.fMove(50, 0);
  ASSERT_EQ(host.Names(), (std::vector<std::string>{"reset", "timer4"}));
  const auto& at = host.events[1];
  EXPECT_EQ(at.x, -2.5);
  EXPECT_EQ(at.z, 0.0);
  EXPECT_TRUE(at.goal);
  EXPECT_EQ(at.lscore, 1);
  EXPECT_EQ(at.rscore, 0);
  EXPECT_EQ(at.speed, 10.0);
  EXPECT_EQ(at.angle, -0.01);
  EXPECT_EQ(host.events[0].lscore, 0);  // the rackets go home before the score counts
  EXPECT_EQ(GoalPlays(), 1);
  EXPECT_EQ(sound.log.back().second, 0);
  EXPECT_TRUE(ball.Goal);
  // The frame's remaining sub-steps still carry the ball on from the serve point.
  EXPECT_LT(ball.cposx, -2.5);
  EXPECT_GT(ball.cposx, -2.5 - 0.3);
}

TEST_F(WorldBall, GoalAtPlusXScoresForTheRightPlayer) {
  ball.RScore = 4;
  Place(4.49, -1.0, 1, 1);
  ball.fMove(50, 0);
  ASSERT_EQ(host.Names(), (std::vector<std::string>{"reset", "timer4"}));
  EXPECT_EQ(host.events[1].x, 2.5);
  EXPECT_EQ(host.events[1].rscore, 5);
  EXPECT_EQ(ball.LScore, 0);
  EXPECT_EQ(GoalPlays(), 1);
}

// Corner pockets: served again from the other end at the raised speed.
struct PocketCase {
  double x, z;
  bool minusXEnd;
};
void PrintTo(const PocketCase& c, std::ostream* os) { *os << "centre (" << c.x << ", " << c.z << ")"; }
class WorldBallPocket : public WorldBall, public ::testing::WithParamInterface<PocketCase> {};

TEST_P(WorldBallPocket, PocketReservesFromTheOtherEnd) {
  const PocketCase c = GetParam();
  Place(c.x, c.z, 0, 0);  // resting in the notch
  ball.bspeed = 12.0;
  ball.fMove(50, 10);
  ASSERT_EQ(host.Names(), std::vector<std::string>{"fx1"});
  const auto& e = host.events[0];
  // bgap was taken at the raised speed of the frame: 2 x 12 / 50.
  EXPECT_NEAR(e.x, c.minusXEnd ? 4 - 0.48 : 0.48 - 4, 1e-6);
  EXPECT_TRUE(e.z == 2.5 || e.z == -2.5) << e.z;
  EXPECT_EQ(e.xdir, c.minusXEnd ? -1 : 1);
  EXPECT_EQ(e.zdir, 0);  // left as it was
  EXPECT_EQ(e.speed, 15.0);
  EXPECT_GE(e.angle, 0.0);
  EXPECT_LT(e.angle, 40.0);
  EXPECT_EQ(ball.LScore + ball.RScore, 0);
  EXPECT_FALSE(ball.Goal);
}

INSTANTIATE_TEST_SUITE_P(AllFour, WorldBallPocket,
                         ::testing::Values(PocketCase{-4.2, -2.7, true}, PocketCase{-4.2, 2.7, true},
                                           PocketCase{4.2, -2.7, false}, PocketCase{4.2, 2.7, false},
                                           // deep in the corner, short of goal line and wall
                                           PocketCase{-4.49, -2.99, true}, PocketCase{4.49, 2.99, false},
                                           // lower edge a hair below the goal-mouth edge
                                           PocketCase{-4.2, -2.376, true}));

TEST_F(WorldBall, NoPocketOutsideTheNotches) {
  const std::pair<double, double> spots[] = {{-3.8, -2.7}, {3.8, 2.7}, {-4.2, -2.0}, {4.2, 2.0}, {0, 2.9}};
  for (const auto& [x, z] : spots) {
    Place(x, z, 0, 0);
    ball.fMove(50, 10);
    EXPECT_TRUE(host.events.empty()) << x << ", " << z;
  }
}

TEST_F(WorldBall, RenderDrawsOpaqueRimThenBlendedTopAndClearsFlags) {
  ball.Translate_ball(1, 1);
  ball.brGoal = ball.blGoal = ball.bRear = ball.bFar = ball.brPocket = ball.blPocket = true;
  device.ClearCalls();
  ball.Render(device);
  EXPECT_FALSE(ball.brGoal || ball.blGoal || ball.bRear || ball.bFar || ball.brPocket || ball.blPocket);
  const auto mats = device.Find(Op::SetMaterial);
  ASSERT_EQ(mats.size(), 1u);
  EXPECT_EQ(mats[0]->material.Diffuse.r, 25.0f);
  EXPECT_EQ(mats[0]->material.Ambient.b, 35.0f);
  EXPECT_EQ(mats[0]->material.Specular.r, 0.0f);
  const auto draws = device.Find(Op::DrawPrimitiveUP);
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0]->a, plat::D3DPT_TRIANGLESTRIP);
  EXPECT_EQ(draws[0]->b, 60u);
  EXPECT_FALSE(draws[0]->alphaBlend);
  EXPECT_TRUE(draws[0]->specular);
  EXPECT_EQ(static_cast<const plat::testing::TestTexture*>(draws[0]->texture)->Texel(0, 0),
            TestColor("Balls/ball1s.tga"));
  EXPECT_EQ(std::memcmp(draws[0]->vertices.data(), ball.GetSideStrip().data(), 62 * 32), 0);
  EXPECT_EQ(draws[1]->a, plat::D3DPT_TRIANGLELIST);
  EXPECT_EQ(draws[1]->b, 2u);
  EXPECT_TRUE(draws[1]->alphaBlend);
  EXPECT_EQ(static_cast<const plat::testing::TestTexture*>(draws[1]->texture)->Texel(0, 0),
            TestColor("Balls/ball1.tga"));
  EXPECT_EQ(std::memcmp(draws[1]->vertices.data(), ball.GetTopFace().data(), 6 * 32), 0);
  for (const auto* d : draws) {
    EXPECT_EQ(d->fvf, 0x112u);
    EXPECT_EQ(d->c, 32u);
    EXPECT_EQ(d->cull, plat::D3DCULL_NONE);
  }
  EXPECT_EQ(device.state.renderState[plat::D3DRS_ALPHABLENDENABLE], 0u);
  EXPECT_EQ(device.state.renderState[plat::D3DRS_SPECULARENABLE], 0u);
}

TEST_F(WorldBall, ShadowIsTheTopQuadWithTheShadowTexture) {
  device.ClearCalls();
  ball.RenderShadow(device);
  ASSERT_EQ(device.Find(Op::SetMaterial).size(), 1u);
  const auto draws = device.Find(Op::DrawPrimitiveUP);
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_TRUE(draws[0]->alphaBlend);
  EXPECT_EQ(draws[0]->b, 2u);
  EXPECT_EQ(static_cast<const plat::testing::TestTexture*>(draws[0]->texture)->Texel(0, 0),
            TestColor("Balls/bshadow.tga"));
  EXPECT_EQ(std::memcmp(draws[0]->vertices.data(), ball.GetTopFace().data(), 6 * 32), 0);
  EXPECT_EQ(device.state.renderState[plat::D3DRS_ALPHABLENDENABLE], 0u);
  EXPECT_EQ(device.state.renderState[plat::D3DRS_DESTBLEND], plat::D3DBLEND_INVSRCALPHA);
}

TEST_F(WorldBall, GoalSoundIsOneBufferAtMinusFiveDecibels) {
  FakeSound s;
  ball.load_sound(s);
  ASSERT_EQ(s.log.size(), 2u);
  EXPECT_EQ(s.log[0].first, "create " + plat::AppFile("\\Sounds\\goal.wav"));
  EXPECT_EQ(s.log[0].second, 0xE0);
  EXPECT_EQ(s.log[1], (std::pair<std::string, int32_t>{"volume", -500}));
  ball.Play_sound();
  ball.Play_sound();
  EXPECT_EQ(s.log.size(), 4u);
  EXPECT_EQ(s.log[3], (std::pair<std::string, int32_t>{"play", 0}));
}

}  // namespace
