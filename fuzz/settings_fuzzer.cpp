// The player's settings file and the command line, the two inputs the program takes from the
// player: the settings reader (inih, then the game's checks) must give settings within their
// ranges whatever the bytes, and a file it writes must read back the same without complaint;
// the input's lines as arguments must end the command line's reading with 0, 2 or "play".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/options.h"
#include "app/settings.h"
#include "outcome.h"

namespace {

bool WithinRanges(const app::Settings& s) {
  const plat::Preferences& p = s.preferences;
  return p.windowWidth >= 320 && p.windowWidth <= 16384 && p.windowHeight >= 240 && p.windowHeight <= 16384 &&
         p.musicVolume >= 0 && p.musicVolume <= 100 && p.effectsVolume >= 0 && p.effectsVolume <= 100;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const app::ReadSettings read = app::ParseSettings(text);
  if (!WithinRanges(read.settings)) std::abort();
  fuzz::Outcome(read.problem.substr(0, read.problem.find(':')));
  const app::ReadSettings again = app::ParseSettings(app::FormatSettings(read.settings));
  if (!again.problem.empty() || !(again.settings == read.settings)) std::abort();

  std::vector<std::string> args{"vantor"};
  for (size_t at = 0; at <= text.size() && args.size() < 32;) {
    const size_t end = std::min(text.find('\n', at), text.size());
    args.emplace_back(text.substr(at, end - at));
    at = end + 1;
  }
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const app::CommandLine line = app::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
  if (line.exitCode != -1 && line.exitCode != 0 && line.exitCode != 2) std::abort();
  fuzz::Outcome("command line", static_cast<uint64_t>(line.exitCode + 1));
  return 0;
}
