#include "app/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <ostream>

namespace app {

namespace {

void DeclareOptions(CLI::App& cli, Options& o) {
  CLI::Option* windowed =
      cli.add_flag("--windowed", o.windowed, "Play in a window (this run; F11 or Alt+Enter switch)");
  CLI::Option* fullscreen = cli.add_flag("--fullscreen", o.fullscreen, "Play full screen (this run)");
  windowed->excludes(fullscreen);
  cli.add_flag("--mute", o.mute, "Start with every sound off (M turns it on)");
  cli.add_flag("--show-fps", o.showFps, "Show frames a second and the slowest frame in a corner (F3 switches)");
  cli.add_option("--data", o.dataDir, "The folder holding the game's data folders (Textures, Sounds, ...)")
      ->type_name("DIR")
      ->check(CLI::ExistingDirectory.description(""));

  CLI::Option* host = cli.add_option("--host", o.port, "Host a network match: wait for a player on UDP port PORT (27960)")
                          ->expected(0, 1)
                          ->type_name("[PORT]")
                          ->check(CLI::Range(1, 65535).description(""));
  CLI::Option* join =
      cli.add_option("--join", o.join, "Join the network match hosted on HOST (a name or an IPv4 address)")
          ->type_name("HOST[:PORT]");
  cli.add_option("--name", o.name, "Your name in a network match (16 characters at most)")->type_name("NAME");
  cli.add_option("--record", o.record, "Write the network matches you host to FILE as a replay")
      ->needs(host)
      ->type_name("FILE");
  CLI::Option* replay = cli.add_option("--replay", o.replay, "Play the replay FILE (Esc pauses, Q leaves)")
                            ->type_name("FILE")
                            ->check(CLI::ExistingFile.description(""));
  host->excludes(join)->excludes(replay);
  join->excludes(replay);
}

// CLI11's messages on one line.
std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

std::string VersionText() { return "vantor " VANTOR_VERSION; }

CommandLine ParseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CommandLine line;
  CLI::App cli{"Vantor: 3D air hockey for one or two players.", "vantor"};
  cli.set_version_flag("--version", VersionText());
  cli.footer(
      "Keys besides the game's own: F11 or Alt+Enter switch between full screen and a window, "
      "M turns the sound off and on. Settings are kept in $XDG_CONFIG_HOME/vantor/settings.ini "
      "(~/.config/vantor/settings.ini).");
  DeclareOptions(cli, line.options);
  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << cli.help();
    line.exitCode = 0;
    return line;
  } catch (const CLI::CallForVersion& e) {
    out << e.what() << '\n';
    line.exitCode = 0;
    return line;
  } catch (const CLI::ParseError& e) {
    err << "vantor: " << OneLine(e.what()) << " (vantor --help lists the options)\n";
    line.exitCode = 2;
    return line;
  }
  line.options.host = cli.count("--host") > 0;
  if (!line.options.dataDir.empty()) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(line.options.dataDir, ec);
    if (!ec) line.options.dataDir = absolute.lexically_normal().string();
  }
  return line;
}

}  // namespace app
