// The settings file (app/settings.h) and the command line (app/options.h).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/settings.h"
#include "unit/test_files.h"

namespace fs = std::filesystem;

namespace {

using app::Settings;

Settings Unusual() {
  Settings s;
  s.preferences.fullscreen = false;
  s.preferences.windowWidth = 1000;
  s.preferences.windowHeight = 500;
  s.preferences.musicVolume = 35;
  s.preferences.effectsVolume = 0;
  s.preferences.muted = true;
  s.preferences.samples = 1;
  s.leftName = " A ;B \"q\" \\ ";  // spaces at the ends, a comment sign, quotes, a backslash
  s.rightName = "Zoë Ünal 16 char";
  return s;
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
}

// Files in `folder` other than settings.ini (a temporary file left behind).
std::vector<std::string> Strays(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder)) {
    if (e.path().filename() != "settings.ini") out.push_back(e.path().filename().string());
  }
  return out;
}

TEST(Settings, RoundTripKeepsEverythingAndLeavesOnlyTheFile) {
  TempFolder tmp;
  const std::string path = tmp.Path("vantor/settings.ini");
  const app::LoadedSettings missing = app::LoadSettings(path);
  EXPECT_FALSE(missing.found);
  EXPECT_FALSE(missing.problem.empty());
  EXPECT_EQ(missing.settings, Settings{});

  ASSERT_EQ(app::SaveSettings(path, Unusual()), "");
  const app::LoadedSettings loaded = app::LoadSettings(path);
  EXPECT_TRUE(loaded.found);
  EXPECT_EQ(loaded.problem, "");
  EXPECT_EQ(loaded.settings, Unusual());
  EXPECT_EQ(loaded.settings.leftName, Unusual().leftName);
  EXPECT_TRUE(Strays(tmp.Path("vantor")).empty());

  // Written again over itself, and the defaults too.
  ASSERT_EQ(app::SaveSettings(path, Settings{}), "");
  EXPECT_EQ(app::LoadSettings(path).settings, Settings{});
  EXPECT_TRUE(Strays(tmp.Path("vantor")).empty());
}

TEST(Settings, DamagedFileKeepsWhatItCanAndNamesTheFirstProblem) {
  struct Case {
    const char* what;
    std::string text;
    Settings want;
  };
  Settings goodLines;  // what the usable lines of the first case give
  goodLines.preferences.windowWidth = 1000;
  goodLines.preferences.effectsVolume = 40;
  goodLines.rightName = "BOB";
  const std::vector<Case> cases = {
      {"bad values among good ones",
       "[window]\nfullscreen = maybe\nwidth = 1000\nheight = 99999\n[sound]\nmusic = 150\neffects = 40\n"
       "mute = -1\n[names]\nright = \"BOB\"\nleft = BOB\n",
       goodLines},
      {"a line that is no setting", "[window]\nthis is not a setting\n", Settings{}},
      {"an unknown setting", "[window]\ncolour = blue\n", Settings{}},
      {"a setting outside its section", "music = 10\n", Settings{}},
      {"a name too long", "[names]\nright = \"ABCDEFGHIJKLMNOPQ\"\n", Settings{}},
      {"a name that is not UTF-8", "[names]\nright = \"A\xC3(\"\n", Settings{}},
      {"a name with a control character", "[names]\nright = \"A\x01\"\n", Settings{}},
      {"an unclosed name", "[names]\nright = \"ABC\n", Settings{}},
      {"a number with junk after it", "[sound]\nmusic = 50%\n", Settings{}},
      {"a zero byte", std::string("[sound]\nmusic = 5\0\n", 19), Settings{}},
      {"random bytes", "\x89PNG\r\n\x1a\n\xff\xfe[[[===", Settings{}},
      {"a huge file", "[sound]\nmusic = 20\n" + std::string(70000, ';'), Settings{}},
  };
  TempFolder tmp;
  const std::string path = tmp.Path("settings.ini");
  for (const Case& c : cases) {
    Write(path, c.text);
    const app::LoadedSettings loaded = app::LoadSettings(path);
    EXPECT_TRUE(loaded.found) << c.what;
    EXPECT_FALSE(loaded.problem.empty()) << c.what;
    EXPECT_EQ(loaded.settings, c.want) << c.what << ": " << loaded.problem;
  }
  // The first bad value is named.
  Write(path, cases[0].text);
  EXPECT_NE(app::LoadSettings(path).problem.find("fullscreen = maybe"), std::string::npos);

  // The game's store says it once, goes on with the defaults, and a change repairs the file.
  std::ostringstream err;
  app::SettingsStore store(path, err);
  EXPECT_EQ(err.str(), "vantor: settings " + path +
                           ": [window] fullscreen = maybe: not true or false; the defaults are used for it\n");
  store.Update([](Settings& s) { s.preferences.muted = true; });
  Settings repaired = goodLines;
  repaired.preferences.muted = true;
  EXPECT_EQ(app::LoadSettings(path).settings, repaired);
  EXPECT_EQ(app::LoadSettings(path).problem, "");
}

// A store on `path` makes two changes; returns what it said.
std::string ChangeTwice(const std::string& path) {
  std::ostringstream err;
  app::SettingsStore store(path, err);
  store.Update([](Settings& s) { s.preferences.musicVolume = 10; });
  store.Update([](Settings& s) { s.preferences.musicVolume = 20; });
  EXPECT_EQ(store.saved().preferences.musicVolume, 20);  // the game goes on with it
  return err.str();
}

TEST(Settings, ReadOnlyConfigFolderIsReportedOnceAndTheGameGoesOn) {
  TempFolder tmp;
  const std::string folder = tmp.Path("config/vantor");
  fs::create_directories(folder);
  chmod(tmp.Path("").c_str(), 0755);
  chmod(tmp.Path("config").c_str(), 0755);
  chmod(folder.c_str(), 0555);
  const std::string path = folder + "/settings.ini";
  std::string said;
  if (geteuid() != 0) {
    said = ChangeTwice(path);
  } else {
    // Root writes into any folder: the store runs as nobody, in a child process.
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(pipeEnds[0]);
      if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
      const std::string text = ChangeTwice(path);
      const bool written = write(pipeEnds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
      _exit(written ? 0 : 4);
    }
    close(pipeEnds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0) said.append(buffer, static_cast<size_t>(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  }
  // The missing file, then the first failed write; the second write says nothing more.
  std::istringstream lines(said);
  std::string first, second, third;
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_NE(first.find("no such file yet"), std::string::npos) << said;
  EXPECT_NE(second.find("vantor: settings not kept: cannot write in " + folder), std::string::npos) << said;
  EXPECT_FALSE(std::getline(lines, third)) << said;
  EXPECT_FALSE(fs::exists(path));
  EXPECT_TRUE(fs::is_empty(folder));
  chmod(folder.c_str(), 0755);
}

TEST(Settings, ConcurrentGamesEachKeepTheirChangeAndNeverReadHalfAFile) {
  TempFolder tmp;
  const std::string path = tmp.Path("vantor/settings.ini");
  constexpr int kChanges = 60;
  // Two games change different settings at the same time, each many times.
  auto game = [&](bool music) {
    std::ostringstream err;
    app::SettingsStore store(path, err);
    for (int i = 1; i <= kChanges; ++i) {
      store.Update([&](Settings& s) {
        if (music) {
          s.preferences.musicVolume = i;
        } else {
          s.rightName = "P" + std::to_string(i);
        }
      });
    }
  };
  std::vector<pid_t> children;
  for (bool music : {true, false}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      game(music);
      _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    children.push_back(child);
  }
  // Meanwhile a third reads the file again and again: always whole, never damaged.
  int reads = 0, found = 0;
  for (bool running = true; running; ++reads) {
    const app::LoadedSettings loaded = app::LoadSettings(path);
    if (loaded.found) {
      ++found;
      EXPECT_EQ(loaded.problem, "");
    }
    int status = 0;
    running = false;
    for (pid_t c : children) running |= waitpid(c, &status, WNOHANG) == 0;
  }
  for (pid_t c : children) waitpid(c, nullptr, 0);
  EXPECT_GT(found, 0);
  const app::LoadedSettings last = app::LoadSettings(path);
  EXPECT_EQ(last.settings.preferences.musicVolume, kChanges);
  EXPECT_EQ(last.settings.rightName, "P" + std::to_string(kChanges));
  EXPECT_TRUE(Strays(tmp.Path("vantor")).empty());
}

TEST(Settings, OptionsHoldForTheRunAndOnlyThePlayersChangesAreKept) {
  Settings file;
  file.preferences.musicVolume = 70;
  app::Options options;
  options.windowed = true;
  options.mute = true;
  const plat::Preferences run = app::WithOptions(file.preferences, options);
  EXPECT_FALSE(run.fullscreen);
  EXPECT_TRUE(run.muted);
  EXPECT_EQ(run.musicVolume, 70);

  // The player resizes the window: only the size goes into the file, not --windowed or --mute.
  plat::Preferences resized = run;
  resized.windowWidth = 1000;
  resized.windowHeight = 500;
  app::TakeChanges(file.preferences, run, resized);
  EXPECT_TRUE(file.preferences.fullscreen);
  EXPECT_FALSE(file.preferences.muted);
  EXPECT_EQ(file.preferences.windowWidth, 1000);
  EXPECT_EQ(file.preferences.windowHeight, 500);
  // Unmuting with M is the player's own change.
  plat::Preferences unmuted = resized;
  unmuted.muted = false;
  app::TakeChanges(file.preferences, resized, unmuted);
  EXPECT_FALSE(file.preferences.muted);

  // A store with nothing to change writes nothing, not even its folder.
  TempFolder tmp;
  std::ostringstream err;
  app::SettingsStore store(tmp.Path("vantor/settings.ini"), err);
  store.Update([](Settings& s) { s.rightName = ""; });
  EXPECT_FALSE(fs::exists(tmp.Path("vantor")));
}

// ---- The command line -------------------------------------------------------------------
struct Parsed {
  app::CommandLine line;
  std::string out, err;
};

Parsed Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "vantor");
  std::ostringstream out, err;
  Parsed r{app::ParseCommandLine(static_cast<int>(args.size()), args.data(), out, err), "", ""};
  r.out = out.str();
  r.err = err.str();
  return r;
}

// --help and --version: tests/display/command_line.sh, on the real program.
TEST(CommandLine, BadOptionsEndWithOneLineAndCodeTwo) {
  for (const std::vector<const char*>& args : std::vector<std::vector<const char*>>{
           {"--bogus"},
           {"stray"},
           {"--data"},
           {"--data", "/no/such/folder"},
           {"--windowed", "--fullscreen"},
           {"--mute=perhaps"},
           {"--host", "0"},
           {"--host", "70000"},
           {"--host", "--join", "a"},
           {"--record", "m.vrp"},  // only a host records
       }) {
    const Parsed r = Parse(args);
    EXPECT_EQ(r.line.exitCode, 2) << args[0];
    EXPECT_EQ(r.out, "") << args[0];
    ASSERT_FALSE(r.err.empty()) << args[0];
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_EQ(r.err.rfind("vantor: ", 0), 0u) << r.err;
  }
}

TEST(CommandLine, OptionsAreRead) {
  TempFolder tmp;
  const Parsed none = Parse({});
  EXPECT_EQ(none.line.exitCode, -1);
  EXPECT_FALSE(none.line.options.windowed || none.line.options.fullscreen || none.line.options.mute);
  EXPECT_EQ(none.line.options.dataDir, "");
  EXPECT_FALSE(none.line.options.network());
  const std::string data = tmp.Path("");
  const Parsed some = Parse({"--windowed", "--mute", "--data", data.c_str()});
  EXPECT_EQ(some.line.exitCode, -1);
  EXPECT_TRUE(some.line.options.windowed);
  EXPECT_TRUE(some.line.options.mute);
  EXPECT_EQ(some.line.options.dataDir, data);

  const Parsed host = Parse({"--host", "--record", "m.vrp"});
  EXPECT_TRUE(host.line.options.host);
  EXPECT_EQ(host.line.options.port, 0);  // the game's own port
  EXPECT_EQ(host.line.options.record, "m.vrp");
  const Parsed port = Parse({"--host", "4000"});
  EXPECT_TRUE(port.line.options.host);
  EXPECT_EQ(port.line.options.port, 4000);
  const Parsed join = Parse({"--join", "example.org:4000", "--name", "Bob"});
  EXPECT_FALSE(join.line.options.host);
  EXPECT_TRUE(join.line.options.network());
  EXPECT_EQ(join.line.options.join, "example.org:4000");
  EXPECT_EQ(join.line.options.name, "Bob");
}

}  // namespace
