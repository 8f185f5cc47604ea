// The command line: every option of the program in one struct, read by CLI11. An option is
// added in two places: a field here and its declaration in DeclareOptions (options.cpp).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace app {

struct Options {
  // The window, for this run (the settings file keeps the player's own choice).
  bool windowed = false;    // --windowed
  bool fullscreen = false;  // --fullscreen
  bool mute = false;        // --mute: no sound until M
  bool showFps = false;     // --show-fps: the frame-rate readout from the start (F3 switches it)
  // --data DIR: the folder holding the data folders (Textures, Sounds, ...); empty: the
  // executable's own folder.
  std::string dataDir;

  // A match over the network, or a replay of one.
  bool host = false;    // --host [PORT]: wait for a player
  uint16_t port = 0;    // its PORT; 0: the game's own port
  std::string join;     // --join HOST[:PORT]
  std::string name;     // --name: the joining player's; empty: the last name in the settings
  std::string record;   // --record FILE (host)
  std::string replay;   // --replay FILE

  bool network() const { return host || !join.empty() || !replay.empty(); }
};

struct CommandLine {
  Options options;
  int exitCode = -1;  // -1: play; otherwise end at once with this code
};

// Reads argv. --help and --version print to `out` and end with 0; anything it cannot use
// is one line on `err` and ends with 2.
CommandLine ParseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// "vantor 1.0.0".
std::string VersionText();

}  // namespace app
