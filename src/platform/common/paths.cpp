// Game data paths on this file system.
#include <algorithm>
#include <filesystem>

#include "platform/app_path.h"
#include "platform/d3dx8.h"

namespace plat {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

std::string& AppPathStorage() {
  static std::string path = ".";
  return path;
}

}  // namespace

std::string NormalizePath(const std::string& path) {
  std::string p = path;
  std::replace(p.begin(), p.end(), '\\', '/');
  // Drop "./" components and doubled separators.
  std::string out;
  out.reserve(p.size());
  size_t i = 0;
  while (i < p.size()) {
    if (p[i] == '/' && !out.empty() && out.back() == '/') {
      ++i;
      continue;
    }
    if (p.compare(i, 2, "./") == 0 && (out.empty() || out.back() == '/')) {
      i += 2;
      continue;
    }
    out.push_back(p[i++]);
  }
  std::error_code ec;
  if (out.empty() || fs::exists(out, ec)) return out;
  // Match each missing component case-insensitively against what is on disk.
  fs::path built = out[0] == '/' ? fs::path("/") : fs::path();
  for (const auto& part : fs::path(out).relative_path()) {
    fs::path next = built / part;
    if (!fs::exists(next, ec)) {
      const std::string want = Lower(part.string());
      const fs::path dir = built.empty() ? fs::path(".") : built;
      for (const auto& entry : fs::directory_iterator(dir, ec)) {
        if (Lower(entry.path().filename().string()) == want) {
          next = built / entry.path().filename();
          break;
        }
      }
    }
    built = next;
  }
  return built.string();
}

void SetAppPath(std::string folder) {
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  AppPathStorage() = std::move(folder);
}

const std::string& AppPath() { return AppPathStorage(); }

std::string AppFile(std::string_view relative) {
  std::string path = AppPath();
  if (!relative.empty() && relative.front() != '\\' && relative.front() != '/') path += '/';
  path.append(relative);
  return NormalizePath(path);
}

}  // namespace plat
