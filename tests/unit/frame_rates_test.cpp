// The ball at the frame rates of today's displays, 24 to 1000 frames a second: bounces off
// the goal-mouth edges and pocket re-serves come out as they do at 60, and whole matches
// keep the puck in play.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/app_path.h"
#include "platform/testing/test_platform.h"
#include "unit/match_harness.h"
#include "world/cBall.h"
#include "world/testing/world_test_data.h"

namespace {

// Frame rates as the game measures them (whole frames a second): 59.94 Hz counts 59 and 60.
const std::vector<int> kRates = {24,  30,  50,  59,  60,  72,  75,  90,  100,
                                 120, 144, 165, 200, 240, 300, 360, 500, 1000};
// The levels' speeds and the raised speeds of a straight hit.
const std::vector<double> kSpeeds = {8, 9, 10, 12, 13.5, 15};
double BaseOf(double speed) { return speed > 10 ? speed / 1.5 : speed; }

// The longest run of frames with a table sound in a whole match: one frame for a bounce off
// a wall or a post, two where a ball runs from one into the other. Below 50 frames a second
// one more: there a long wall's set-back (twice a frame's distance) can leave the ball in
// the band of the post beside a corner pocket.
int RattleLimit(int fps) { return fps < 50 ? 3 : 2; }

// The match side of the ball: counts the effects of the current frame.
struct CountingHost : cBallHost {
  const cBall* ball = nullptr;
  int wall = 0, pocket = 0, goal = 0;
  double wallZ = 0;  // where the last table sound left the ball
  void Clear() { wall = pocket = goal = 0; }
  bool Coll_thisloop() const override { return false; }
  void Checkcoll() override {}
  void Reset_var() override { ++goal; }
  void play_s_fx(int16_t t) override {
    (t == 1 ? pocket : wall) += 1;
    if (t != 1) wallZ = ball->cposz;
  }
  void EnableTimer4() override {}
};

class BallRates : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetAppPath(world::testing::WorldDataFolder().string());
    ball.bspeed = 8;
    ball.init(1, device, d3dx);
    ball.host = &host;
    host.ball = &ball;
  }
  // A ball at base speed `base` sent at `speed`.
  void Speeds(double base, double speed) {
    ball.baspeed = base;
    ball.bnspeed = base * 1.5;
    ball.bspeed = speed;
  }

  plat::testing::TestPlatform platform;
  plat::testing::RecordingDevice device{&platform};
  plat::D3DX8 d3dx;
  cBall ball;
  CountingHost host;
};

// One ball sent at a goal-mouth edge: the longest run of frames with a table sound, and
// whether it was pocketed, until it scores, leaves the end of the table or has left the
// post behind.
struct EdgeRun {
  int longest = 0;
  bool pocketed = false, bounced = false;
};
EdgeRun SendAtEdge(cBall& ball, CountingHost& host, int fps, double speed, int end, int side, int16_t xdir,
                   double angle) {
  const double D = speed / fps;
  // Leading edge 0.25 past x = +-4; the edge facing the post a tenth of a frame from the band.
  ball.Translate_ball(end * 4.125, side * (2.5 - 0.125 - D - 0.1 * D * std::sin(angle * 0.01745)));
  ball.Xdir = xdir;
  ball.Zdir = static_cast<int16_t>(side);
  ball.bAngle = angle;
  host.Clear();
  EdgeRun r;
  int run = 0;
  for (int frames = 0; frames < 2 * fps && host.goal == 0 && host.pocket == 0; ++frames) {
    if (std::fabs(ball.cposx) < 3.5) break;
    const int before = host.wall;
    ball.fMove(fps, ball.bAngle);
    run = host.wall > before ? run + 1 : 0;
    r.longest = std::max(r.longest, run);
    // Bounced, and a quiet frame heading away: only another bounce could turn it back.
    if (host.wall > 0 && run == 0 && ball.Zdir == -side) break;
  }
  r.pocketed = host.pocket > 0;
  r.bounced = host.wall > 0;
  return r;
}

// A ball sent at each goal-mouth edge, steeply and shallowly, towards the goal line and
// away from it, bounces off and clears the edge within a few frames, and is never pocketed
// by the bounce.
TEST_F(BallRates, GoalMouthEdgesLetTheBallGo) {
  for (int fps : kRates) {
    int worst = 0;
    std::string worstCase;
    for (double speed : kSpeeds) {
      for (int end : {-1, 1}) {
        for (int side : {-1, 1}) {
          for (int16_t xdir : {-1, 1}) {
            for (double angle = 5; angle < 90; angle += 6) {
              Speeds(BaseOf(speed), speed);
              const EdgeRun r = SendAtEdge(ball, host, fps, speed, end, side, xdir, angle);
              const std::string what = "speed " + std::to_string(speed) + " end " + std::to_string(end) +
                                       " side " + std::to_string(side) + " xdir " + std::to_string(xdir) +
                                       " angle " + std::to_string(angle);
              EXPECT_FALSE(r.pocketed) << fps << " fps, " << what;
              EXPECT_TRUE(r.bounced) << fps << " fps, " << what;
              if (r.longest > worst) {
                worst = r.longest;
                worstCase = what;
              }
            }
          }
        }
      }
    }
    std::printf("%4d fps: longest run of frames with a table sound %d (%.3f s; %s)\n", fps, worst,
                static_cast<double>(worst) / fps, worstCase.c_str());
    EXPECT_LE(worst, 1) << fps << " fps, " << worstCase;
  }
}

// Every whole angle from 1 to 89 degrees at each goal-mouth edge, from three depths of the
// strip beside it, towards the goal and away from it, at the levels' speeds and the raised
// ones, at every rate: the ball sounds on one frame for the contact, turns and leaves; it
// never stays on the edge, slides along it or slides into the goal. Where a frame has more
// than 60 sub-steps (24 and 30 frames a second, and from 165) every third angle is taken, a
// different third for each speed, so that each angle is still tried at each rate.
TEST_F(BallRates, GoalMouthEdgesTurnTheBallOnce) {
  for (int fps : kRates) {
    int worst = 0, held = 0, slidIn = 0, starts = 0;
    std::string worstCase;
    const int every = cBall::SubSteps(fps) > 60 ? 3 : 1;
    for (size_t s = 0; s < kSpeeds.size(); ++s) {
      const double speed = kSpeeds[s];
      const double D = static_cast<float>(speed / fps);
      for (int end : {-1, 1}) {
        for (int side : {-1, 1}) {
          for (double depth : {4.05, 4.25, 4.45}) {  // the outer edge's distance from the centre line
            for (int16_t xdir : {static_cast<int16_t>(end), static_cast<int16_t>(-end)}) {
              for (int angle = 1 + static_cast<int>(s) % every; angle < 90; angle += every) {
                Speeds(BaseOf(speed), speed);
                // The edge facing the post enters the band within the first frame, at a point
                // of the frame that changes with the angle.
                const double phase = std::fmod(0.137 + angle * 0.618034, 1.0);
                const double dz =
                    D * std::sin(angle * 22.0 / 7.0 / 180.0) * (1 + 1.0 / (cBall::SubSteps(fps) - 1));
                ball.Translate_ball(end * (depth - 0.125), side * (2.5 - D - phase * dz - 0.125));
                ball.Xdir = xdir;
                ball.Zdir = static_cast<int16_t>(side);
                ball.bAngle = angle;
                host.Clear();
                int run = 0, longest = 0;
                for (int frame = 0; frame < fps && host.goal == 0 && host.pocket == 0; ++frame) {
                  if (std::fabs(ball.cposx) < 3.5) break;
                  const int before = host.wall;
                  ball.fMove(fps, ball.bAngle);
                  run = host.wall > before ? run + 1 : 0;
                  longest = std::max(longest, run);
                  if (host.wall > 0 && run == 0 && ball.Zdir == -side) break;  // turned and gone
                }
                ++starts;
                held += longest > 8;
                slidIn += host.goal > 0 && longest > 1;
                const std::string what = "speed " + std::to_string(speed) + " end " + std::to_string(end) +
                                         " side " + std::to_string(side) + " depth " + std::to_string(depth) +
                                         " xdir " + std::to_string(xdir) + " angle " + std::to_string(angle);
                EXPECT_EQ(host.pocket, 0) << fps << " fps, " << what;
                if (longest > worst) {
                  worst = longest;
                  worstCase = what;
                }
              }
            }
          }
        }
      }
    }
    std::printf("%4d fps: %d starts, longest run of frames with a table sound %d, held over 8 frames %d, "
                "slid into the goal %d (%s)\n",
                fps, starts, worst, held, slidIn, worstCase.c_str());
    EXPECT_LE(worst, 1) << fps << " fps, " << worstCase;
    EXPECT_EQ(slidIn, 0) << fps << " fps";
  }
}

// Where the set-backs put the ball when the rules' own would leave it where it was checked.
TEST_F(BallRates, SetBacksClearTheBandTheyLeave) {
  // 100 frames a second at speed 8: D = 0.08, bgap = 0.16. The centre set back to -2.34
  // would leave the lower edge at -2.465, inside the band -2.5 ... -2.42 it was found in;
  // the edge goes to -2.5 + D + bgap instead.
  Speeds(8, 8);
  ball.Translate_ball(-4.125, -2.5 + 0.125 + 0.07);
  ball.Xdir = 1;
  ball.Zdir = -1;
  ball.fMove(100, 60);
  ASSERT_EQ(host.wall, 1);
  EXPECT_NEAR(host.wallZ, -2.5 + 0.08 + 0.16 + 0.125, 1e-6);
  EXPECT_EQ(ball.Zdir, 1);
  // 300 frames a second: bgap = 0.0533, less than the radius. Served at 4 - bgap the ball
  // would lie in the +x end's pocket; its edge goes bgap inside x = 4 instead.
  ball.Translate_ball(-4.2, 2.7);
  ball.fMove(300, 10);
  ASSERT_EQ(host.pocket, 1);
  EXPECT_NEAR(ball.cposx, 4 - 16.0 / 300 - 0.125, 1e-6);
}

// A ball resting in each pocket is served again once, from the other end, and lands clear
// of every pocket: never a re-serve on two frames running.
TEST_F(BallRates, PocketReservesOnce) {
  for (int fps : kRates) {
    for (double speed : kSpeeds) {
      for (int end : {-1, 1}) {
        for (int side : {-1, 1}) {
          Speeds(BaseOf(speed), speed);
          ball.Translate_ball(end * 4.2, side * 2.7);
          ball.Xdir = 0;
          ball.Zdir = static_cast<int16_t>(side);
          host.Clear();
          ball.fMove(fps, 10);
          const std::string what = "fps " + std::to_string(fps) + " speed " + std::to_string(speed) +
                                   " end " + std::to_string(end) + " side " + std::to_string(side);
          ASSERT_EQ(host.pocket, 1) << what;
          EXPECT_EQ(ball.Xdir, end) << what;  // back towards the end it was pocketed at
          EXPECT_LE(std::fabs(ball.cposx) + 0.125, 4.0) << what;  // clear of the notch
          for (int frame = 0; frame < fps / 4; ++frame) {
            host.pocket = 0;
            ball.fMove(fps, ball.bAngle);
            EXPECT_EQ(host.pocket, 0) << what << " frame " << frame;
          }
        }
      }
    }
  }
}


// Whole one-player matches at each rate, the computer against the scripted right player:
// the puck stays on the table, never rattles at a post and is never served again on two
// frames running. Each rate at one level; 59 and 90, where a puck used to slide along a
// post into the goal, at all three.
TEST(MatchRates, WholeMatchesKeepThePuckInPlay) {
  using plat::testing::SoundEvent;
  std::vector<std::pair<int, int16_t>> matches;
  for (int fps : kRates) matches.emplace_back(fps, static_cast<int16_t>(1 + fps % 3));
  for (int fps : {59, 90}) {
    for (int16_t level = 1; level <= 3; ++level) {
      if (level != 1 + fps % 3) matches.emplace_back(fps, level);
    }
  }
  for (const auto& [fps, level] : matches) {
    match_test::Rig rig;
    rig.device().recording = false;
    rig.platform.refreshHz = fps;
    rig.Start({.onePlayer = true, .level = level});
    rig.FollowTheBall();
    const Form1& f = *rig.form;
    size_t seen = 0;
    int frames = 0, inPlay = 0, walls = 0, pockets = 0, wallRun = 0, longestWallRun = 0, pocketRun = 0;
    while (f.screenState.empty() && frames < 200 * fps) {
      rig.form->Pass();
      ++frames;
      bool wall = false, pocket = false;
      for (; seen < rig.platform.sounds.size(); ++seen) {
        const SoundEvent& e = rig.platform.sounds[seen];
        if (e.kind != SoundEvent::Play) continue;
        wall |= e.path.find("tcoll.wav") != std::string::npos;
        pocket |= e.path.find("pocket.wav") != std::string::npos;
      }
      walls += wall;
      pockets += pocket;
      wallRun = wall ? wallRun + 1 : 0;
      longestWallRun = std::max(longestWallRun, wallRun);
      pocketRun = pocket ? pocketRun + 1 : 0;
      ASSERT_LE(pocketRun, 1) << fps << " fps, frame " << frames;
      ASSERT_LE(std::fabs(f.ball.cposz), 3.0) << fps << " fps, frame " << frames;
      ASSERT_LE(std::fabs(f.ball.cposx), 5.0) << fps << " fps, frame " << frames;
      if (!f.ball.Goal) ++inPlay;
    }
    std::printf("%4d fps, level %d: %d frames, %d in play, %d : %d, frames with a table sound %d (longest run "
                "%d), with a pocket %d\n",
                fps, level, frames, inPlay, f.ball.RScore, f.ball.LScore, walls, longestWallRun, pockets);
    EXPECT_EQ(f.screenState, "FRM_AFTER") << fps << " fps, level " << level;
    EXPECT_GT(inPlay, frames / 2) << fps << " fps, level " << level;
    EXPECT_LE(longestWallRun, RattleLimit(fps)) << fps << " fps, level " << level;
  }
}

}  // namespace
