// The SDL face's game controllers without a display: the mapping file beside the game, and
// SDL's virtual controllers plugged in and pulled out, read as keys by a layout, rumbled.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/dinput.h"
#include "platform/sdl/game_controllers.h"
#include "virtual_pad.h"

namespace {

using namespace plat;
using namespace plat::sdl;
using pad_test::VirtualPad;

struct Folder {
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("vantor_pads_" + std::to_string(getpid()) + "_" + std::to_string(++count));
  Folder() { std::filesystem::create_directories(path); }
  ~Folder() { std::filesystem::remove_all(path); }
  std::string File(const std::string& name, const std::string& text) const {
    std::ofstream(path / name, std::ios::binary) << text;
    return (path / name).string();
  }
  static inline int count = 0;
};

// Hands every pending event to `pads`; true when one reported a controller pulled out.
bool Pump(GameControllers& pads) {
  bool pulled = false;
  SDL_Event e;
  while (SDL_PollEvent(&e)) pulled |= pads.HandleEvent(e);
  return pulled;
}

std::array<uint8_t, 256> Keys(const GameControllers& pads) {
  std::array<uint8_t, 256> state{};
  pads.PressKeys(state.data());
  return state;
}

}  // namespace

TEST(SdlControllers, MappingFileIsReadWhenThereAndRefusedWithItsNameWhenUnfit) {
  // A player's own mapping in the environment wins over the file's for the same pad.
  const char* mine = "03000000cccc0000dddd000000000000";
  const std::string own = std::string(mine) + ",Mine from the environment,a:b0,platform:Linux,";
  setenv("SDL_GAMECONTROLLERCONFIG", own.c_str(), 1);
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
  unsetenv("SDL_GAMECONTROLLERCONFIG");
  Folder folder;
  EXPECT_EQ(LoadMappingFile((folder.path / kMappingFile).string()), "") << "no file, nothing to say";

  const char* guid = "03000000aaaa0000bbbb000000000000";
  const std::string good = folder.File(
      "good.txt", std::string("# a comment\nnot a mapping at all\n") + guid +
                      ",Homemade pad,a:b0,b:b1,start:b7,dpup:h0.1,leftx:a0,lefty:a1,platform:Linux,\n" +
                      mine + ",The file's,a:b1,platform:Linux,\n");
  EXPECT_EQ(LoadMappingFile(good), "");
  auto name = [](const char* g) {
    char* mapping = SDL_GameControllerMappingForGUID(SDL_JoystickGetGUIDFromString(g));
    const std::string text = mapping != nullptr ? mapping : "";
    SDL_free(mapping);
    return text;
  };
  EXPECT_NE(name(guid).find("Homemade pad"), std::string::npos) << name(guid);
  EXPECT_NE(name(mine).find("Mine from the environment"), std::string::npos) << name(mine);

  const std::string dir = (folder.path / "a_folder").string();
  std::filesystem::create_directories(dir);
  EXPECT_NE(LoadMappingFile(dir).find(dir), std::string::npos);

  const std::string huge = folder.File("huge.txt", "");
  std::filesystem::resize_file(huge, kMappingFileLimit + 1);
  const std::string refused = LoadMappingFile(huge);
  EXPECT_NE(refused.find(huge), std::string::npos) << refused;
  EXPECT_NE(refused.find("MiB"), std::string::npos) << refused;
  SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

TEST(SdlControllers, PluggedInPulledOutAndReadAsKeysBySlot) {
  Folder folder;
  GameControllers pads(folder.path.string());
  PadLayout layout{};
  layout[0] = {.up = DIK_UP, .boost = DIK_RSHIFT, .start = DIK_ESCAPE};
  layout[1] = {.right = DIK_D, .back = DIK_Q};
  layout[2] = {.a = DIK_RETURN};
  pads.SetLayout(layout);

  VirtualPad first, second, third;
  ASSERT_TRUE(first.Attach("first")) << SDL_GetError();
  ASSERT_TRUE(second.Attach("second")) << SDL_GetError();
  EXPECT_FALSE(Pump(pads));
  EXPECT_EQ(pads.Count(), 2);

  first.Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
  first.Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
  second.Axis(SDL_CONTROLLER_AXIS_LEFTX, 20000);
  second.Button(SDL_CONTROLLER_BUTTON_BACK, true);
  EXPECT_EQ(Keys(pads)[DIK_UP], 0) << "inputs arrive with the event pump";
  Pump(pads);
  auto keys = Keys(pads);
  EXPECT_EQ(keys[DIK_UP], 0x80);
  EXPECT_EQ(keys[DIK_RSHIFT], 0x80);
  EXPECT_EQ(keys[DIK_D], 0x80);
  EXPECT_EQ(keys[DIK_Q], 0x80);
  EXPECT_EQ(std::count(keys.begin(), keys.end(), 0x80), 4);

  // The first pulled out: reported, its keys let go; the second keeps its slot, and the
  // next one plugged in takes the free first slot.
  first.Detach();
  EXPECT_TRUE(Pump(pads));
  EXPECT_EQ(pads.Count(), 1);
  EXPECT_EQ(pads.InSlot(0), nullptr);
  keys = Keys(pads);
  EXPECT_EQ(keys[DIK_UP], 0);
  EXPECT_EQ(keys[DIK_D], 0x80);
  ASSERT_TRUE(third.Attach("third"));
  ASSERT_TRUE(first.Attach("first again"));
  Pump(pads);
  EXPECT_EQ(pads.Count(), 3);
  third.Button(SDL_CONTROLLER_BUTTON_START, true);
  first.Button(SDL_CONTROLLER_BUTTON_A, true);
  Pump(pads);
  keys = Keys(pads);
  EXPECT_EQ(keys[DIK_ESCAPE], 0x80) << "the third plugged in took the first slot";
  EXPECT_EQ(keys[DIK_RETURN], 0x80) << "a further one has the layout's last keys";

  pads.Rumble(0, 0.5f, 80);
  pads.Rumble(1, 1.0f, 400);
  pads.Rumble(5, 1.0f, 400);  // nobody there
  ASSERT_EQ(third.rumbles.size(), 1u);
  EXPECT_EQ(third.rumbles[0], std::make_pair(Uint16{32767}, Uint16{32767}));
  ASSERT_EQ(second.rumbles.size(), 1u);
  EXPECT_EQ(second.rumbles[0].first, 65535);
  EXPECT_TRUE(first.rumbles.empty());
}
