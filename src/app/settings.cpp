#include "app/settings.h"

#include <fcntl.h>
#include <ini.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <sstream>

namespace app {

namespace fs = std::filesystem;

namespace {

// A settings file is a few hundred bytes; anything much longer is not one.
constexpr size_t kLargestFile = 64 * 1024;
constexpr int kLargestWindow = 16384;
constexpr int kSmallestWindowWidth = 320, kSmallestWindowHeight = 240;

bool ReadBool(std::string_view v, bool* out) {
  for (std::string_view yes : {"true", "yes", "on", "1"}) {
    if (v == yes) return *out = true;
  }
  for (std::string_view no : {"false", "no", "off", "0"}) {
    if (v == no) return !(*out = false);
  }
  return false;
}

bool ReadInt(std::string_view v, int lowest, int highest, int* out) {
  int n = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  if (ec != std::errc() || end != v.data() + v.size() || n < lowest || n > highest) return false;
  *out = n;
  return true;
}

// Whole UTF-8 characters and no control characters; the number of characters, or -1.
int CountCharacters(std::string_view s) {
  int count = 0;
  for (size_t i = 0; i < s.size();) {
    const auto lead = static_cast<unsigned char>(s[i]);
    const size_t len = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || (len == 2 && lead < 0xC2) || i + len > s.size()) return -1;
    if (lead < 0x20 || lead == 0x7F) return -1;
    for (size_t k = 1; k < len; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return -1;
    }
    i += len;
    ++count;
  }
  return count;
}

// A name is written in double quotes, so that spaces at its ends stay; a backslash goes
// before a backslash, a double quote and a semicolon (which would start a comment).
std::string QuoteName(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '\\' || c == '"' || c == ';') out += '\\';
    out += c;
  }
  return out + '"';
}

bool UnquoteName(std::string_view v, std::string* out) {
  if (v.size() < 2 || v.front() != '"' || v.back() != '"') return false;
  std::string name;
  for (size_t i = 1; i + 1 < v.size(); ++i) {
    char c = v[i];
    if (c == '"') return false;
    if (c == '\\') {
      if (i + 2 >= v.size()) return false;
      c = v[++i];
      if (c != '\\' && c != '"' && c != ';') return false;
    }
    name += c;
  }
  const int characters = CountCharacters(name);
  if (characters < 0 || static_cast<size_t>(characters) > kLongestName) return false;
  *out = std::move(name);
  return true;
}

struct Reading {
  Settings settings;
  std::string problem;  // the first value that could not be used
};

// One "name = value" line of a section; false when it cannot be used.
bool TakeSetting(Reading& r, std::string_view section, std::string_view name, std::string_view value) {
  plat::Preferences& p = r.settings.preferences;
  bool ok = false;
  const char* want = "";
  if (section == "window") {
    if (name == "fullscreen") {
      ok = ReadBool(value, &p.fullscreen), want = "true or false";
    } else if (name == "width") {
      ok = ReadInt(value, kSmallestWindowWidth, kLargestWindow, &p.windowWidth), want = "a width from 320 to 16384";
    } else if (name == "height") {
      ok = ReadInt(value, kSmallestWindowHeight, kLargestWindow, &p.windowHeight),
      want = "a height from 240 to 16384";
    }
  } else if (section == "sound") {
    if (name == "music") {
      ok = ReadInt(value, 0, 100, &p.musicVolume), want = "a volume from 0 to 100";
    } else if (name == "effects") {
      ok = ReadInt(value, 0, 100, &p.effectsVolume), want = "a volume from 0 to 100";
    } else if (name == "mute") {
      ok = ReadBool(value, &p.muted), want = "true or false";
    }
  } else if (section == "video") {
    if (name == "multisample") {
      ok = ReadInt(value, 1, 16, &p.samples), want = "a number of samples from 1 to 16";
    }
  } else if (section == "names") {
    if (name == "left") {
      ok = UnquoteName(value, &r.settings.leftName), want = "a name of up to 16 characters in double quotes";
    } else if (name == "right") {
      ok = UnquoteName(value, &r.settings.rightName), want = "a name of up to 16 characters in double quotes";
    }
  }
  if (!ok && r.problem.empty()) {
    std::ostringstream s;
    s << '[' << section << "] " << name << " = " << value << ": ";
    if (*want) {
      s << "not " << want;
    } else {
      s << "not a setting of this game";
    }
    r.problem = s.str();
  }
  return ok;
}

int OnSetting(void* user, const char* section, const char* name, const char* value) {
  return TakeSetting(*static_cast<Reading*>(user), section, name, value) ? 1 : 0;
}

std::string Errno(const char* what, const std::string& path) {
  return std::string(what) + " " + path + ": " + std::strerror(errno);
}

// Holds the folder's lock while it lives: instances of the game take turns at the file.
class FolderLock {
 public:
  explicit FolderLock(const fs::path& folder) : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~FolderLock() {
    if (fd_ >= 0) close(fd_);  // closing lets the lock go
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

}  // namespace

std::string SettingsPath() {
  // The XDG base directory rules: a relative XDG_CONFIG_HOME is to be ignored.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  fs::path base;
  if (config && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
      const passwd* user = getpwuid(getuid());
      home = user ? user->pw_dir : nullptr;
    }
    if (!home || home[0] != '/') return "";
    base = fs::path(home) / ".config";
  }
  return (base / "vantor" / "settings.ini").string();
}

ReadSettings ParseSettings(std::string_view text) {
  Reading r;
  if (text.find('\0') != std::string_view::npos) return {Settings{}, "not a text file"};
  const std::string copy(text);  // inih reads a string that ends with a NUL
  const int line = ini_parse_string(copy.c_str(), OnSetting, &r);
  if (line > 0 && r.problem.empty()) r.problem = "line " + std::to_string(line) + " is not \"name = value\"";
  if (line < 0 && r.problem.empty()) r.problem = "cannot be read";
  return {r.settings, r.problem};
}

std::string FormatSettings(const Settings& s) {
  const plat::Preferences& p = s.preferences;
  std::ostringstream out;
  out << "; Vantor's settings, written by the game when they change.\n"
      << "[window]\n"
      << "fullscreen = " << (p.fullscreen ? "true" : "false") << '\n'
      << "width = " << p.windowWidth << '\n'
      << "height = " << p.windowHeight << '\n'
      << "\n[sound]\n"
      << "; 0 to 100 (percent of the game's own levels)\n"
      << "music = " << p.musicVolume << '\n'
      << "effects = " << p.effectsVolume << '\n'
      << "mute = " << (p.muted ? "true" : "false") << '\n'
      << "\n[video]\n"
      << "; samples a pixel for smooth edges (1: none; fewer are faster without a graphics card)\n"
      << "multisample = " << p.samples << '\n'
      << "\n[names]\n"
      << "left = " << QuoteName(s.leftName) << '\n'
      << "right = " << QuoteName(s.rightName) << '\n';
  return out.str();
}

LoadedSettings LoadSettings(const std::string& path) {
  LoadedSettings loaded;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) loaded.problem = std::strerror(errno);
    else loaded.problem = "no such file yet";
    return loaded;
  }
  loaded.found = true;
  std::string text(kLargestFile + 1, '\0');
  size_t have = 0;
  while (have < text.size()) {
    const ssize_t n = read(fd, text.data() + have, text.size() - have);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      loaded.problem = std::strerror(errno);
      close(fd);
      return loaded;
    }
    if (n == 0) break;
    have += static_cast<size_t>(n);
  }
  close(fd);
  if (have > kLargestFile) {
    loaded.problem = "longer than a settings file can be";
    return loaded;
  }
  text.resize(have);
  ReadSettings read = ParseSettings(text);
  loaded.settings = std::move(read.settings);
  loaded.problem = std::move(read.problem);
  return loaded;
}

std::string SaveSettings(const std::string& path, const Settings& settings) {
  const fs::path folder = fs::path(path).parent_path();
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return "cannot make the folder " + folder.string() + ": " + ec.message();
  std::string temporary = (folder / ".settings.ini.XXXXXX").string();
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return Errno("cannot write in", folder.string());
  const std::string text = FormatSettings(settings);
  size_t done = 0;
  bool ok = true;
  while (ok && done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  std::string error;
  if (!ok) error = Errno("cannot write", temporary);
  if (error.empty() && fsync(fd) != 0) error = Errno("cannot write", temporary);
  if (close(fd) != 0 && error.empty()) error = Errno("cannot write", temporary);
  if (error.empty() && rename(temporary.c_str(), path.c_str()) != 0) error = Errno("cannot replace", path);
  if (!error.empty()) unlink(temporary.c_str());
  return error;
}

plat::Preferences WithOptions(plat::Preferences p, const Options& options) {
  if (options.windowed) p.fullscreen = false;
  if (options.fullscreen) p.fullscreen = true;
  if (options.mute) p.muted = true;
  return p;
}

void TakeChanges(plat::Preferences& saved, const plat::Preferences& before, const plat::Preferences& after) {
  auto take = [](auto& into, const auto& was, const auto& now) {
    if (was != now) into = now;
  };
  take(saved.fullscreen, before.fullscreen, after.fullscreen);
  take(saved.windowWidth, before.windowWidth, after.windowWidth);
  take(saved.windowHeight, before.windowHeight, after.windowHeight);
  take(saved.musicVolume, before.musicVolume, after.musicVolume);
  take(saved.effectsVolume, before.effectsVolume, after.effectsVolume);
  take(saved.muted, before.muted, after.muted);
  take(saved.samples, before.samples, after.samples);
}

SettingsStore::SettingsStore(std::string path, std::ostream& err) : path_(std::move(path)), err_(err) {
  if (path_.empty()) {
    err_ << "vantor: no home folder: settings are not kept\n";
    return;
  }
  LoadedSettings loaded = LoadSettings(path_);
  saved_ = std::move(loaded.settings);
  if (!loaded.problem.empty()) {
    err_ << "vantor: settings " << path_ << ": " << loaded.problem
         << (loaded.found ? "; the defaults are used for it\n" : "; the defaults are used\n");
  }
}

void SettingsStore::Update(const std::function<void(Settings&)>& change) {
  if (path_.empty()) return;
  // What the change makes of the file as it is now; true when that is something new.
  Settings next;
  auto changes = [&] {
    const LoadedSettings now = LoadSettings(path_);
    const Settings& base = now.found ? now.settings : saved_;
    next = base;
    change(next);
    return !(next == base);
  };
  if (!changes()) {
    saved_ = std::move(next);
    return;  // nothing to write, not even the folder
  }
  const fs::path folder = fs::path(path_).parent_path();
  std::error_code ec;
  fs::create_directories(folder, ec);  // a failure shows when writing
  const FolderLock lock(folder);
  const bool write = changes();  // again: another instance may have written meanwhile
  saved_ = next;
  if (!write) return;
  const std::string error = SaveSettings(path_, next);
  if (!error.empty() && !writeFailed_) {
    writeFailed_ = true;
    err_ << "vantor: settings not kept: " << error << '\n';
  }
}

}  // namespace app
