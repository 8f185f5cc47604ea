#include "platform/common/texture_cache.h"

#include "platform/d3dx8.h"

namespace plat {

TexturePtr TextureCache::Find(const Key& key) {
  const auto it = entries_.find(key);
  if (it == entries_.end()) return nullptr;
  TexturePtr texture = it->second.texture.lock();
  if (!texture || it->second.stamp.size < 0 || !(StampOf(key.path) == it->second.stamp)) return nullptr;
  ++hits_;
  return texture;
}

void TextureCache::Keep(const Key& key, const TexturePtr& texture) {
  std::erase_if(entries_, [](const auto& e) { return e.second.texture.expired(); });
  if (texture) entries_[key] = Entry{StampOf(key.path), texture};
}

// D3DX's texture creation, through the cache.
TexturePtr D3DX8::CreateTextureFromFileEx(Device& device, const std::string& path, int32_t width,
                                          int32_t height, int32_t mipLevels, DWORD usage, D3DFORMAT format,
                                          DWORD pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey) {
  const TextureCache::Key key{&device, NormalizePath(path), width, height, mipLevels != 1, colorKey};
  if (TexturePtr kept = textures_.Find(key)) return kept;
  TexturePtr made = MakeTextureFromFile(device, path, width, height, mipLevels, usage, format, pool, filter,
                                        mipFilter, colorKey);
  textures_.Keep(key, made);
  return made;
}

}  // namespace plat
