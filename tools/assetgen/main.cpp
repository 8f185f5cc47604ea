// Makes every data file of the game into one folder, the folder of the game's executable:
//   vantor_assetgen OUT_DIR [--contact-sheet SHEET.png] [--preview SCENE.png]
// The output is the same, byte for byte, on every run.
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <thread>

#include "assets.h"

namespace fs = std::filesystem;

namespace assetgen {

void SavePicture(const std::string& dir, const std::string& name, const Image& img, Album* album,
                 float aspect) {
  WriteTga(dir + "/" + name, img);
  album->Add(name, img, aspect > 0 ? aspect : static_cast<float>(img.width()) / img.height());
}

}  // namespace assetgen

int main(int argc, char** argv) {
  std::string out, sheet, preview;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--contact-sheet" && i + 1 < argc) {
      sheet = argv[++i];
    } else if (a == "--preview" && i + 1 < argc) {
      preview = argv[++i];
    } else if (out.empty() && a.rfind("--", 0) != 0) {
      out = a;
    } else {
      std::fprintf(stderr, "usage: %s OUT_DIR [--contact-sheet SHEET.png] [--preview SCENE.png]\n", argv[0]);
      return 2;
    }
  }
  if (out.empty()) {
    std::fprintf(stderr, "usage: %s OUT_DIR [--contact-sheet SHEET.png] [--preview SCENE.png]\n", argv[0]);
    return 2;
  }
  const auto started = std::chrono::steady_clock::now();
  try {
    for (const char* sub : {"Textures", "tables", "Balls", "Rackets", "Sounds"})
      fs::create_directories(fs::path(out) / sub);
    // Sounds and pictures share nothing: make them side by side.
    std::exception_ptr soundError;
    std::thread sounds([&] {
      try {
        assetgen::MakeSounds(out);
      } catch (...) {
        soundError = std::current_exception();
      }
    });
    assetgen::Album album;
    album.keep = !sheet.empty();
    try {
      assetgen::MakeTablePictures(out, &album);
      assetgen::MakePuckPictures(out, &album);
      assetgen::MakeScreenPictures(out, &album);
      assetgen::MakeMeshes(out);
    } catch (...) {
      sounds.join();
      throw;
    }
    sounds.join();
    if (soundError) std::rethrow_exception(soundError);
    if (!sheet.empty()) assetgen::WriteContactSheet(sheet, album);
    if (!preview.empty()) assetgen::WriteScenePreview(preview, out);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vantor_assetgen: %s\n", e.what());
    return 1;
  }
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("vantor_assetgen: data written to %s in %.2f s\n", out.c_str(), secs);
  return 0;
}
