// Shared rig of the match tests: a Form1 on the test face of the platform with a match's
// data, a way to start a match as the level screen does, and a scripted right player.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "platform/app_path.h"
#include "platform/testing/test_platform.h"
#include "unit/test_files.h"

namespace match_test {

using plat::testing::SoundEvent;
using plat::testing::TestPlatform;

// Everything a match reads, relative to the application folder.
inline std::vector<std::string> MatchPictures() {
  std::vector<std::string> files = {"tables/t1b.tga",
                                    "tables/t1bn.tga",
                                    "tables/brtex1.tga",
                                    "tables/b.tga",
                                    "tables/side1.tga",
                                    "tables/g.tga",
                                    "tables/Table_sides_top.tga",
                                    "tables/Table_sides_side.tga",
                                    "tables/Pocket.tga",
                                    "Textures/vantor.tga",
                                    "Textures/paused.tga",
                                    "Balls/bshadow.tga",
                                    "Rackets/Rshadow.tga"};
  for (int i = 1; i <= 4; ++i) {
    const std::string n = std::to_string(i);
    files.push_back("Balls/ball" + n + ".tga");
    files.push_back("Balls/ball" + n + "s.tga");
    files.push_back("Rackets/racket" + n + ".tga");
    files.push_back("Rackets/racket" + n + "s.tga");
  }
  return files;
}

// What the menu screens around a match read (the logo at start-up, the player-count
// screen after Q, the after-match screen at the end).
inline std::vector<std::string> MenuFiles() {
  std::vector<std::string> files = {"Textures/logo.tga",        "Textures/tlogo1.tga", "Textures/back.tga",
                                    "Textures/play_again1.tga", "play_again2.tga",     "play_again3.tga"};
  for (const char* name : {"1player", "2player", "back", "exit", "lvl", "multi", "play", "single"}) {
    for (int i = 1; i <= 3; ++i)
      files.push_back(std::string("Textures/") + name + std::to_string(i) + ".tga");
  }
  return files;
}

inline std::vector<std::string> MatchSounds() {
  std::vector<std::string> files = {"Sounds/tcoll.wav", "Sounds/rcoll.wav", "Sounds/pocket.wav",
                                    "Sounds/spring.wav", "Sounds/goal.wav"};
  for (int i = 1; i <= 8; ++i) files.push_back("Sounds/bck" + std::to_string(i) + ".wav");
  return files;
}

// A one-triangle X mesh one unit in every direction.
inline void WriteTinyMesh(const std::string& path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream f(path);
  f << "xof 0303txt 0032\n"
       "Mesh {\n 3;\n 0.0;0.0;0.0;,\n 1.0;0.0;0.0;,\n 0.0;1.0;1.0;;\n 1;\n 3;0,1,2;;\n}\n";
}

inline bool HasAll(const std::string& root, const std::vector<std::string>& files) {
  for (const auto& f : files) {
    if (!std::filesystem::exists(plat::NormalizePath(root + "/" + f))) return false;
  }
  return true;
}

// The generated game data when it is there; otherwise small stand-ins written once.
inline const std::string& DataFolder() {
  static TempFolder made;
  static const std::string folder = [] {
    const std::string real = VANTOR_DATA_DIR;
    if (HasAll(real, MatchPictures()) && HasAll(real, MatchSounds()) &&
        HasAll(real, {"lamp.x", "tables/table.x"})) {
      return real;
    }
    for (const auto& f : MenuFiles()) WriteTga(made.Path(f), 4, 4, std::vector<uint32_t>(16, 0xFF808080u));
    WriteWav(made.Path("Sounds/menu.wav"), 2205);
    for (const auto& f : MatchPictures())
      WriteTga(made.Path(f), 4, 4, std::vector<uint32_t>(16, 0x80FFFFFFu));
    for (const auto& f : MatchSounds()) WriteWav(made.Path(f), 2205);  // 0.1 s
    WriteTinyMesh(made.Path("lamp.x"));
    WriteTinyMesh(made.Path("tables/table.x"));
    return made.Path("");
  }();
  return folder;
}

// A copy of the match data in a folder of its own, for tests that take files away.
inline void CopyData(const std::string& to) {
  std::filesystem::copy(
      DataFolder(), to,
      std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
}

struct MatchOptions {
  bool onePlayer = true;
  int16_t level = 1;
  std::string rName = "ALICE", lName = "";
  double rIndex = 1, lIndex = 2, ballIndex = 3;
};

// A Form1 started on the test face, ready to start matches.
class Rig {
 public:
  // `net` takes the Form1 into a network match (app/netplay.h) from its start.
  explicit Rig(const std::string& folder = DataFolder(), NetPlay* net = nullptr) {
    platform.appFolder = folder;
    plat::SetAppPath(folder);
    form = std::make_unique<Form1>(platform);
    form->net = net;
    form->Startup();
  }

  plat::testing::RecordingDevice& device() { return *platform.device; }

  // As the level screen's Play does it: the logo's timers are long done by then.
  void Start(const MatchOptions& o = {}) {
    Form1& f = *form;
    for (plat::Timer* t : {&f.Timer2, &f.Timer3, &f.Timer5}) f.EnableTimer(*t, false);
    f.onePlayer = o.onePlayer;
    f.level = o.level;
    f.RName = o.rName;
    f.LName = o.lName;
    f.rRacketIndex = o.rIndex;
    f.lRacketIndex = o.lIndex;
    f.ballIndex = o.ballIndex;
    f.Game_Load();
    f.screenState = "";
  }

  void Frames(int n) {
    for (int i = 0; i < n; ++i) form->Pass();
  }
  // Runs frames until the camera intro is over (3 s hold, 56 frames of fly-in).
  int PlayIntro() {
    int frames = 0;
    while (form->cam_inter && frames < 100000) {
      form->Pass();
      ++frames;
    }
    return frames;
  }
  // Runs frames for `ms` milliseconds of the virtual clock.
  void RunFor(uint32_t ms) {
    const uint32_t end = platform.now + ms;
    while (static_cast<int32_t>(end - platform.now) > 0) form->Pass();
  }

  // Sound events of the files whose path holds `file` (such as "goal.wav"), of one kind.
  int CountSounds(const std::string& file, SoundEvent::Kind kind) const {
    int n = 0;
    for (const auto& e : platform.sounds) {
      if (e.kind == kind && e.path.find(file) != std::string::npos) ++n;
    }
    return n;
  }

  // A right player who follows the ball: he lines his racket up with it, a little off
  // centre so that his shots go out at an angle (which side changes every 7 s), goes for
  // it while it is on his half and in front of him, and otherwise falls back home.
  void FollowTheBall() {
    platform.onPump = [this](TestPlatform& p) {
      const Form1& f = *form;
      for (uint8_t k : {plat::DIK_UP, plat::DIK_DOWN, plat::DIK_LEFT, plat::DIK_RIGHT}) p.Release(k);
      const double aim = (p.now / 7000) % 2 == 0 ? 0.25 : -0.25;
      const double centre = f.rRacket.cposz + 0.5 + aim;
      const double bx = f.ball.cposx, bz = f.ball.cposz;
      if (bz < centre - 0.05) p.Press(plat::DIK_UP);
      if (bz > centre + 0.05) p.Press(plat::DIK_DOWN);
      if (bx < 0 && bx > f.rRacket.cposx + 0.2) {
        p.Press(plat::DIK_LEFT);
      } else if (f.rRacket.cposx > -4) {
        p.Press(plat::DIK_RIGHT);
      }
    };
  }

  TestPlatform platform;
  std::unique_ptr<Form1> form;
};

}  // namespace match_test
