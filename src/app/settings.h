// What the game keeps between runs: the player's window and sound choices and the names
// last typed, in $XDG_CONFIG_HOME/vantor/settings.ini (~/.config/vantor/settings.ini). The
// file is read at start-up and written, whole and atomically, only when something changes.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "app/options.h"
#include "platform/platform.h"

namespace app {

struct Settings {
  plat::Preferences preferences;
  // The names of the last match started; the left one of two-player matches only.
  std::string leftName, rightName;
  bool operator==(const Settings&) const = default;
};

// The longest name kept: the level and names screen's own limit, in characters.
constexpr size_t kLongestName = 16;

// Where the file lives; empty when neither XDG_CONFIG_HOME nor a home folder is known.
std::string SettingsPath();

// Settings from a file's text. A line that cannot be used keeps the default for what it
// would set; `problem` describes the first such line ("" when there was none).
struct ReadSettings {
  Settings settings;
  std::string problem;
};
ReadSettings ParseSettings(std::string_view text);
std::string FormatSettings(const Settings& settings);

// The file at `path`. A missing, unreadable, oversized or damaged file gives the defaults
// (for what it could not give) and says so in `problem`.
struct LoadedSettings {
  Settings settings;
  bool found = false;
  std::string problem;
};
LoadedSettings LoadSettings(const std::string& path);
// Writes a temporary file beside `path`, then renames it over `path`: a reader finds the
// old file or the new one, never a part of one. Returns "" or what went wrong.
std::string SaveSettings(const std::string& path, const Settings& settings);

// The preferences of this run: the file's, with the command line's options over them.
plat::Preferences WithOptions(plat::Preferences preferences, const Options& options);
// What the player changed in this run (`before` → `after`) into the file's preferences, and
// nothing else: an option of this run stays out of the file unless the player changes it.
void TakeChanges(plat::Preferences& saved, const plat::Preferences& before, const plat::Preferences& after);

// The settings file of one run of the game. Reports on `err` what is wrong with the file
// once, and the first write that fails; the game goes on with what it has.
class SettingsStore {
 public:
  SettingsStore(std::string path, std::ostream& err);

  const Settings& saved() const { return saved_; }
  // Applies `change` to the file as it is now (another instance of the game may have
  // written it) and writes it when that changes it. Instances take turns (a lock on the
  // folder), so that each one's change lands.
  void Update(const std::function<void(Settings&)>& change);

 private:
  std::string path_;
  std::ostream& err_;
  Settings saved_;
  bool writeFailed_ = false;
};

}  // namespace app
