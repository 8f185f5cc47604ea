// A file's size and modification time: what the caches of files read (pictures, textures,
// sound lengths) compare to tell whether a file changed since it was read.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

namespace plat {

struct FileStamp {
  int64_t size = -1;  // -1: no such file
  int64_t mtime = 0;  // nanoseconds
  bool operator==(const FileStamp&) const = default;
};

inline FileStamp StampOf(const struct stat& st) {
  return {static_cast<int64_t>(st.st_size),
          static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

inline FileStamp StampOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? StampOf(st) : FileStamp{};
}

}  // namespace plat
