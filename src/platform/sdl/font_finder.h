// Font files found by family name through fontconfig, with the game's own aliases.
#pragma once

#include <string>

namespace plat::sdl {

struct FontFile {
  std::string path;
  bool syntheticBold = false;  // bold asked for, but the file found is not a bold face
  bool fallback = false;       // no face of that name: the fallback face
};

// The face used when a family is not installed.
inline constexpr const char* kFallbackFamily = "DejaVu Sans";

// Adds the game's aliases to fontconfig (once per process) and resolves family names:
// FcNameParse → FcConfigSubstitute → FcDefaultSubstitute → FcFontMatch → FC_FILE.
// A family counts as found when the face matched is the name itself or one of its strong
// aliases; otherwise the fallback face is used and the first such lookup says so on stderr.
FontFile findFontFile(const std::string& family, bool bold);

// Starts loading fontconfig's configuration, its font caches and the game's aliases (tens of
// milliseconds) on the background thread; the first lookup waits for it if it is not done.
void loadFontConfigInBackground();

// Pixel height of a font of `points` on a 96-dpi screen (18 points are 24 pixels).
int pixelsForPoints(int points);

}  // namespace plat::sdl
