// Textures made from files, found again by what they were made from: a match or a screen
// loaded again gets the texture it already has, as long as the file is unchanged (the same
// size and modification time), and nothing is read, decoded or uploaded. Only textures the
// game still holds are found: the cache keeps none alive, so a texture nobody uses any more
// is freed as before.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "platform/common/file_stamp.h"
#include "platform/d3d8.h"

namespace plat {

class TextureCache {
 public:
  struct Key {
    const Device* device;
    std::string path;  // as on disk
    int32_t width, height;
    bool mipmaps;
    D3DCOLOR colorKey;
    bool operator<(const Key& o) const {
      return std::tie(device, path, width, height, mipmaps, colorKey) <
             std::tie(o.device, o.path, o.width, o.height, o.mipmaps, o.colorKey);
    }
  };

  // The texture made for `key` from the file as it is now, or null.
  TexturePtr Find(const Key& key);
  // Notes a texture just made for `key` from the file as it is now.
  void Keep(const Key& key, const TexturePtr& texture);

  uint64_t hits() const { return hits_; }

 private:
  struct Entry {
    FileStamp stamp;
    std::weak_ptr<Texture> texture;
  };
  std::map<Key, Entry> entries_;
  uint64_t hits_ = 0;
};

}  // namespace plat
