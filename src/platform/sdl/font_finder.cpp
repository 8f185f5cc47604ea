#include "platform/sdl/font_finder.h"

#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/background.h"

namespace plat::sdl {

namespace {

// The game asks for "Lucida Blackletter", which no package provides; Blankenburg is the
// blackletter face we ship with the dependencies. ("Comic Sans MS" → Comic Neue comes
// with the fonts-comic-neue package.)
constexpr const char* kAliases = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="same">
    <family>Lucida Blackletter</family>
    <prefer><family>Blankenburg_UNZ1A</family></prefer>
  </alias>
</fontconfig>
)";

FcConfig* config() {
  static FcConfig* cfg = [] {
    FcConfig* c = FcConfigGetCurrent();
    if (!FcConfigParseAndLoadFromMemory(c, reinterpret_cast<const FcChar8*>(kAliases), FcTrue)) {
      std::fprintf(stderr, "vantor: could not add the font aliases to fontconfig\n");
    }
    return c;
  }();
  return cfg;
}

struct Match {
  std::string path, family;
  bool embolden = false;
  int weight = FC_WEIGHT_REGULAR;
  bool strong = false;  // the family found is the one asked for or a strong alias of it
};

Match match(const std::string& family, bool bold) {
  Match out;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
  if (!pattern) return out;
  FcPatternDel(pattern, FC_WEIGHT);
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcConfigSubstitute(config(), pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* found = FcFontMatch(config(), pattern, &result);
  if (found) {
    FcChar8* s = nullptr;
    if (FcPatternGetString(found, FC_FILE, 0, &s) == FcResultMatch) out.path = reinterpret_cast<char*>(s);
    if (FcPatternGetString(found, FC_FAMILY, 0, &s) == FcResultMatch) out.family = reinterpret_cast<char*>(s);
    FcBool embolden = FcFalse;
    if (FcPatternGetBool(found, FC_EMBOLDEN, 0, &embolden) == FcResultMatch) out.embolden = embolden;
    FcPatternGetInteger(found, FC_WEIGHT, 0, &out.weight);
    FcValue v;
    FcValueBinding binding;
    for (int i = 0; FcPatternGetWithBinding(pattern, FC_FAMILY, i, &v, &binding) == FcResultMatch; ++i) {
      if (binding != FcValueBindingWeak && v.type == FcTypeString &&
          strcasecmp(reinterpret_cast<const char*>(v.u.s), out.family.c_str()) == 0) {
        out.strong = true;
        break;
      }
    }
    FcPatternDestroy(found);
  }
  FcPatternDestroy(pattern);
  return out;
}

}  // namespace

FontFile findFontFile(const std::string& family, bool bold) {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  Match m = match(family, bold);
  FontFile out;
  if (!m.strong || m.path.empty()) {
    static bool told = false;
    if (!told) {
      told = true;
      std::fprintf(stderr, "vantor: no font \"%s\" installed; using %s instead\n", family.c_str(),
                   kFallbackFamily);
    }
    m = match(kFallbackFamily, bold);
    out.fallback = true;
  }
  out.path = m.path;
  // Fontconfig marks a regular face that it would embolden; SDL_ttf does the emboldening.
  out.syntheticBold = bold && (m.embolden || m.weight < FC_WEIGHT_DEMIBOLD);
  return out;
}

void loadFontConfigInBackground() {
  RunInBackground([] { config(); });
}

int pixelsForPoints(int points) { return (points * 96 + 36) / 72; }

}  // namespace plat::sdl
