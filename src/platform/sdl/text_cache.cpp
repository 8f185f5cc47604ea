#include "platform/sdl/text_cache.h"

#include <cstring>

namespace plat::sdl {

TextCache::TextCache(size_t capacity) : entries_(capacity) {
  for (Entry& e : entries_) e.text.reserve(64);
}

uint64_t TextCache::hashOf(const char* text) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (const char* p = text; *p; ++p) h = (h ^ static_cast<uint8_t>(*p)) * 1099511628211ull;
  return h;
}

TextCache::Entry* TextCache::find(const void* font, const char* text) {
  const uint64_t h = hashOf(text);
  for (Entry& e : entries_) {
    if (e.font == font && e.hash == h && e.text == text) {
      e.lastUse = ++clock_;
      return &e;
    }
  }
  return nullptr;
}

TextCache::Entry& TextCache::insert(const void* font, const char* text, uint32_t* evicted) {
  Entry* slot = &entries_[0];
  for (Entry& e : entries_) {
    if (!e.font) {
      slot = &e;
      break;
    }
    if (e.lastUse < slot->lastUse) slot = &e;
  }
  *evicted = slot->font ? slot->texture : 0;
  slot->font = font;
  slot->hash = hashOf(text);
  slot->text.assign(text);
  slot->texture = 0;
  slot->width = slot->height = 0;
  slot->lastUse = ++clock_;
  return *slot;
}

void TextCache::clear(std::vector<uint32_t>* textures) { forget(nullptr, textures); }

void TextCache::forget(const void* font, std::vector<uint32_t>* textures) {
  for (Entry& e : entries_) {
    if (e.font && (font == nullptr || e.font == font)) {
      if (e.texture) textures->push_back(e.texture);
      e.font = nullptr;
      e.texture = 0;
      e.lastUse = 0;
    }
  }
}

size_t TextCache::size() const {
  size_t n = 0;
  for (const Entry& e : entries_) n += e.font != nullptr;
  return n;
}

}  // namespace plat::sdl
