// Vantor: a full-screen 3D air-hockey game.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>

#include "app/Form1.h"
#include "app/net_options.h"
#include "app/netplay.h"
#include "platform/app_path.h"
#include "platform/platform.h"

namespace {

// The command line; exits with CLI11's message, and code 2 when it cannot be read.
NetOptions ReadOptions(int argc, char** argv) {
  NetOptions o;
  CLI::App app("Vantor: a 3D air-hockey game for one or two players.", "vantor");
  auto* host = app.add_option("--host", o.port, "Host a network match: wait for a player on UDP port PORT (27960)")
                   ->expected(0, 1)
                   ->option_text("[PORT]");
  auto* join = app.add_option("--join", o.join, "Join the network match hosted on HOST (IPv4 name or address)")
                   ->option_text("HOST[:PORT]");
  app.add_option("--name", o.name, "Your name in a network match (16 characters at most)")->option_text("NAME");
  app.add_option("--record", o.record, "Host: write the matches to FILE as a replay")
      ->needs(host)
      ->option_text("FILE");
  auto* replay =
      app.add_option("--replay", o.replay, "Play the replay FILE (Esc pauses, Q leaves)")->option_text("FILE");
  host->excludes(join)->excludes(replay);
  join->excludes(replay);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    std::exit(app.exit(e) == 0 ? 0 : 2);
  }
  o.host = host->count() > 0;
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  const NetOptions options = ReadOptions(argc, argv);
  std::string error;
  std::unique_ptr<NetPlay> net = StartNetwork(options, error);
  if (!error.empty()) {
    std::fprintf(stderr, "vantor: %s\n", error.c_str());
    return 1;
  }
  std::unique_ptr<plat::Platform> platform = plat::CreateSdlPlatform(argv[0]);
  if (!platform) return 1;
  plat::SetAppPath(platform->AppFolder());
  int code = 0;
  {
    auto form = std::make_unique<Form1>(*platform);
    form->net = net.get();
    try {
      form->Form_Load();
    } catch (const plat::ProgramEnd& end) {
      code = end.code;
    } catch (const plat::LoadError& e) {
      std::fprintf(stderr, "vantor: cannot load %s\n", e.what());
      platform->MessageBox(std::string("Cannot load a data file:\n") + e.what(), "VANTOR!", plat::MB_ICONERROR);
      code = 1;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "vantor: %s\n", e.what());
      platform->MessageBox(e.what(), "VANTOR!", plat::MB_ICONERROR);
      code = 1;
    }
  }
  if (net && !net->FinishRecording(error)) {
    std::fprintf(stderr, "vantor: %s\n", error.c_str());
    if (code == 0) code = 1;
  }
  return code;
}
