// The contact sheet: every picture on one PNG, over a checkerboard that shows its
// transparency, labelled with its file name.
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <stdexcept>

#include "assets.h"
#include "lettering.h"

namespace assetgen {

void SavePng(const std::string& path, const Image& img) {
  std::vector<uint8_t> bytes = ToBytes(img);
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(bytes.data(), img.width(), img.height(), 32,
                                                      img.width() * 4, SDL_PIXELFORMAT_ABGR8888);
  if (!s) throw std::runtime_error(std::string("SDL_CreateRGBSurface: ") + SDL_GetError());
  int rc = IMG_SavePNG(s, path.c_str());
  SDL_FreeSurface(s);
  if (rc != 0) throw std::runtime_error("cannot write " + path + ": " + IMG_GetError());
}

void WriteContactSheet(const std::string& path, const Album& album) {
  const int cell = 200, label = 22, cols = 8;
  const int count = static_cast<int>(album.pictures.size());
  const int rows = (count + cols - 1) / cols;
  Image sheet(cols * cell, rows * (cell + label), Hex(0x20242C));
  for (int k = 0; k < count; ++k) {
    const auto& [name, img, aspect] = album.pictures[k];
    const int ox = (k % cols) * cell, oy = (k / cols) * (cell + label);
    // Shown in the shape the game draws it, at most the picture's own size.
    const float box = cell - 12.0f;
    float w0 = static_cast<float>(img.width()), h0 = w0 / aspect;
    const float fit = std::min(1.0f, std::min(box / w0, box / h0));
    const int w = std::max(1, static_cast<int>(w0 * fit)), h = std::max(1, static_cast<int>(h0 * fit));
    const Image thumb = img.Resized(w, h);
    const int tx = ox + (cell - w) / 2, ty = oy + (cell - h) / 2;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        bool dark = ((x / 8) + (y / 8)) % 2 == 0;
        Rgba base = dark ? Hex(0x5A5F6A) : Hex(0x8A8F9A);
        sheet.at(tx + x, ty + y) = Over(base, thumb.at(x, y));
      }
    }
    std::string shortName = name.substr(name.find('/') == std::string::npos ? 0 : name.find('/') + 1);
    const TextMask mask = Lettering::Get().Render(shortName);
    const SetText text(mask, ox + cell / 2.0f, oy + cell + label / 2.0f - 2, 12, cell - 8, 0, 1);
    for (int y = oy + cell; y < oy + cell + label; ++y) {
      for (int x = ox; x < ox + cell; ++x) {
        float c = 0;
        for (int j = 0; j < 3; ++j)
          for (int i = 0; i < 3; ++i) c += text.Coverage(x + (i + 0.5f) / 3, y + (j + 0.5f) / 3);
        sheet.at(x, y) = Mix(sheet.at(x, y), Hex(0xFFFFFF), c / 9);
      }
    }
  }
  SavePng(path, sheet);
}

}  // namespace assetgen
