// Strings already rasterised, kept as textures: the game draws the same few strings in
// every frame, and a hit costs neither a rasterisation nor a heap allocation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat::sdl {

class TextCache {
 public:
  struct Entry {
    const void* font = nullptr;  // nullptr: slot unused
    uint64_t hash = 0;
    std::string text;
    uint32_t texture = 0;
    int width = 0, height = 0;
    uint64_t lastUse = 0;
  };

  explicit TextCache(size_t capacity);

  // The entry for `text` in `font`, or nullptr. Marks it as used.
  Entry* find(const void* font, const char* text);
  // A slot for `text` in `font`, reusing the least recently used one when full; its old
  // texture (if any) is left in `evicted` for the caller to delete.
  Entry& insert(const void* font, const char* text, uint32_t* evicted);
  // Forgets every string and hands back their textures.
  void clear(std::vector<uint32_t>* textures);
  // Forgets the strings of `font` (a face about to be closed; nullptr: every font) and hands
  // back their textures.
  void forget(const void* font, std::vector<uint32_t>* textures);

  size_t size() const;

 private:
  static uint64_t hashOf(const char* text);
  std::vector<Entry> entries_;
  uint64_t clock_ = 0;
};

}  // namespace plat::sdl
