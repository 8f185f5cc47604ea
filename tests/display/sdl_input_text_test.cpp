// The key map, the string cache and font lookup: no display needed.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/dinput.h"
#include "platform/sdl/font_finder.h"
#include "platform/sdl/key_map.h"
#include "platform/sdl/text_cache.h"

namespace {

using namespace plat;
using namespace plat::sdl;

// Every DIK code the game's header names.
const uint8_t kAllDik[] = {
    DIK_ESCAPE,    DIK_1,       DIK_2,           DIK_3,         DIK_4,          DIK_5,        DIK_6,
    DIK_7,         DIK_8,       DIK_9,           DIK_0,         DIK_MINUS,      DIK_EQUALS,   DIK_BACK,
    DIK_TAB,       DIK_Q,       DIK_W,           DIK_E,         DIK_R,          DIK_T,        DIK_Y,
    DIK_U,         DIK_I,       DIK_O,           DIK_P,         DIK_LBRACKET,   DIK_RBRACKET, DIK_RETURN,
    DIK_LCONTROL,  DIK_A,       DIK_S,           DIK_D,         DIK_F,          DIK_G,        DIK_H,
    DIK_J,         DIK_K,       DIK_L,           DIK_SEMICOLON, DIK_APOSTROPHE, DIK_GRAVE,    DIK_LSHIFT,
    DIK_BACKSLASH, DIK_Z,       DIK_X,           DIK_C,         DIK_V,          DIK_B,        DIK_N,
    DIK_M,         DIK_COMMA,   DIK_PERIOD,      DIK_SLASH,     DIK_RSHIFT,     DIK_MULTIPLY, DIK_LMENU,
    DIK_SPACE,     DIK_CAPITAL, DIK_F1,          DIK_F2,        DIK_F3,         DIK_F4,       DIK_F5,
    DIK_F6,        DIK_F7,      DIK_F8,          DIK_F9,        DIK_F10,        DIK_NUMLOCK,  DIK_SCROLL,
    DIK_NUMPAD7,   DIK_NUMPAD8, DIK_NUMPAD9,     DIK_SUBTRACT,  DIK_NUMPAD4,    DIK_NUMPAD5,  DIK_NUMPAD6,
    DIK_ADD,       DIK_NUMPAD1, DIK_NUMPAD2,     DIK_NUMPAD3,   DIK_NUMPAD0,    DIK_DECIMAL,  DIK_OEM_102,
    DIK_F11,       DIK_F12,     DIK_NUMPADENTER, DIK_RCONTROL,  DIK_DIVIDE,     DIK_SYSRQ,    DIK_RMENU,
    DIK_PAUSE,     DIK_HOME,    DIK_UP,          DIK_PRIOR,     DIK_LEFT,       DIK_RIGHT,    DIK_END,
    DIK_DOWN,      DIK_NEXT,    DIK_INSERT,      DIK_DELETE,    DIK_LWIN,       DIK_RWIN,     DIK_APPS,
};

TEST(KeyMap, EveryDirectInputKeyHasAnSdlKey) {
  std::set<uint8_t> mapped;
  for (const KeyMapping& m : keyMappings()) mapped.insert(m.dik);
  for (uint8_t dik : kAllDik) EXPECT_TRUE(mapped.count(dik)) << "DIK 0x" << std::hex << int{dik};
}

TEST(KeyMap, KeysTheGamePlaysWithLandOnTheirCodes) {
  EXPECT_EQ(dikFromScancode(SDL_SCANCODE_UP), DIK_UP);
  EXPECT_EQ(dikFromScancode(SDL_SCANCODE_DOWN), DIK_DOWN);
  EXPECT_EQ(dikFromScancode(SDL_SCANCODE_LEFT), DIK_LEFT);
  EXPECT_EQ(dikFromScancode(SDL_SCANCODE_RIGHT), DIK_RIGHT);
  EXPECT_EQ(dikFromScancode(SDL_SCANCODE_W), DIK_W);
  EXPECT_EQ(dikFromScancode(SDL_SCANCODE_A), DIK_A);
  EXPECT_EQ(dikFromScancode(SDL_SCANCODE_S), DIK_S);
  EXPECT_EQ(dikFromScancode(SDL_SCANCODE_D), DIK_D);
  EXPECT_EQ(dikFromScancode(SDL_SCANCODE_ESCAPE), DIK_ESCAPE);
  EXPECT_EQ(dikFromScancode(SDL_SCANCODE_Q), DIK_Q);
  EXPECT_EQ(dikFromScancode(SDL_SCANCODE_F10), DIK_F10);
  EXPECT_EQ(dikFromScancode(SDL_SCANCODE_RETURN), DIK_RETURN);
  EXPECT_EQ(dikFromScancode(SDL_SCANCODE_KP_ENTER), DIK_NUMPADENTER);
  EXPECT_EQ(dikFromScancode(SDL_SCANCODE_RCTRL), DIK_RCONTROL);
  EXPECT_EQ(dikFromScancode(SDL_SCANCODE_F13), 0);
  EXPECT_EQ(dikFromScancode(static_cast<SDL_Scancode>(-1)), 0);
  EXPECT_EQ(dikFromScancode(static_cast<SDL_Scancode>(SDL_NUM_SCANCODES)), 0);
}

TEST(KeyMap, NoTwoKeysShareACodeExceptTheTwoBackslashKeys) {
  std::map<uint8_t, int> uses;
  for (const KeyMapping& m : keyMappings()) ++uses[m.dik];
  for (const auto& [dik, n] : uses)
    EXPECT_EQ(n, dik == DIK_BACKSLASH ? 2 : 1) << "DIK 0x" << std::hex << int{dik};
}

TEST(KeyMap, StateMarksHeldKeysOnly) {
  uint8_t keys[SDL_NUM_SCANCODES] = {};
  keys[SDL_SCANCODE_LEFT] = 1;
  keys[SDL_SCANCODE_W] = 1;
  keys[SDL_SCANCODE_F13] = 1;  // no DirectInput code: ignored
  uint8_t state[256];
  std::fill(std::begin(state), std::end(state), 0x55);
  fillKeyState(keys, SDL_NUM_SCANCODES, state);
  int down = 0;
  for (uint8_t s : state) down += s != 0;
  EXPECT_EQ(down, 2);
  EXPECT_EQ(state[DIK_LEFT], 0x80);
  EXPECT_EQ(state[DIK_W], 0x80);
  // A short SDL array (an older SDL) is read only as far as it goes.
  fillKeyState(keys, SDL_SCANCODE_W, state);
  EXPECT_EQ(state[DIK_W], 0);
}

TEST(TextCache, FindsWhatWasInsertedPerFont) {
  TextCache cache(4);
  int fontA = 0, fontB = 0;
  uint32_t evicted = 99;
  cache.insert(&fontA, "Time : 0:01 / 3:00", &evicted).texture = 7;
  EXPECT_EQ(evicted, 0u);
  ASSERT_NE(cache.find(&fontA, "Time : 0:01 / 3:00"), nullptr);
  EXPECT_EQ(cache.find(&fontA, "Time : 0:01 / 3:00")->texture, 7u);
  EXPECT_EQ(cache.find(&fontB, "Time : 0:01 / 3:00"), nullptr);
  EXPECT_EQ(cache.find(&fontA, "Time : 0:02 / 3:00"), nullptr);
  EXPECT_EQ(cache.find(&fontA, "Time : 0:01 / 3:0"), nullptr);
}

TEST(TextCache, FullCacheGivesUpTheLeastRecentlyUsedString) {
  TextCache cache(3);
  int font = 0;
  uint32_t evicted = 0;
  cache.insert(&font, "a", &evicted).texture = 1;
  cache.insert(&font, "b", &evicted).texture = 2;
  cache.insert(&font, "c", &evicted).texture = 3;
  cache.find(&font, "a");  // "b" is now the oldest
  cache.insert(&font, "d", &evicted).texture = 4;
  EXPECT_EQ(evicted, 2u);
  EXPECT_EQ(cache.find(&font, "b"), nullptr);
  EXPECT_NE(cache.find(&font, "a"), nullptr);
  EXPECT_EQ(cache.size(), 3u);
}

TEST(FontFinder, GameFacesResolveToTheirStandIns) {
  const FontFile comic = findFontFile("Comic Sans MS", false);
  EXPECT_NE(comic.path.find("ComicNeue-Regular"), std::string::npos) << comic.path;
  EXPECT_FALSE(comic.fallback);
  EXPECT_FALSE(comic.syntheticBold);
  const FontFile comicBold = findFontFile("Comic Sans MS", true);
  EXPECT_NE(comicBold.path.find("ComicNeue-Bold"), std::string::npos) << comicBold.path;
  EXPECT_FALSE(comicBold.syntheticBold);
  const FontFile blackletter = findFontFile("Lucida Blackletter", false);
  EXPECT_NE(blackletter.path.find("Blankenburg"), std::string::npos) << blackletter.path;
  EXPECT_FALSE(blackletter.fallback);
  // Blankenburg has no bold face: emboldened by the rasteriser.
  EXPECT_TRUE(findFontFile("Lucida Blackletter", true).syntheticBold);
  EXPECT_EQ(pixelsForPoints(18), 24);  // a GDI font of 18 points on a 96-dpi screen
}

TEST(FontFinder, UnknownFaceFallsBackToDejaVuSans) {
  const FontFile f = findFontFile("No Such Face At All", false);
  EXPECT_TRUE(f.fallback);
  EXPECT_NE(f.path.find("DejaVuSans.ttf"), std::string::npos) << f.path;
}

}  // namespace
