// What start-up now leaves to the background thread keeps its order: the sound device opened
// there serves the first buffer the game makes, plays it (an effect held decoded, or music
// decoded as it plays) on the call that starts it and still names a missing file; font
// lookups wait for fontconfig; what waits for the first frame (the game controllers) starts
// once; the libraries opened late name what is missing; and the CPU's mipmap levels.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../unit/test_files.h"
#include "platform/background.h"
#include "platform/common/late_library.h"
#include "platform/platform.h"
#include "platform/sdl/background_sound.h"
#include "platform/sdl/font_finder.h"
#include "platform/sdl/mipmaps.h"
#include "platform/sdl/sound.h"

namespace {

using namespace plat;

TEST(Background, SoundDeviceStillOpeningServesTheFirstBufferAndPlaysItAtOnce) {
  TempFolder dir;
  const std::string wav = dir.Path("Sounds/tcoll.wav");
  const std::string music = dir.Path("Sounds/bck1.wav");
  WriteWav(wav, 22050);
  WriteWav(music, 22050 * 8);  // 8 s: decoded as it plays
  // The opening queued behind other work, so that the first buffer is asked for before it.
  RunInBackground([] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); });
  {
    auto device = sdl::openSoundDeviceInBackground([] { return sdl::createSoundDevice(); });
    EXPECT_EQ(device->SetCooperativeLevel(0, DSSCL_NORMAL), D3D_OK);
    SoundBufferPtr effect = device->CreateSoundBufferFromFile(wav, 0xE0);
    ASSERT_TRUE(effect);
    ASSERT_EQ(effect->Play(0), D3D_OK);
    EXPECT_TRUE(effect->IsPlaying());  // on the frame that starts it, not a later one
    SoundBufferPtr track = device->CreateSoundBufferFromFile(music, 0xE0);
    ASSERT_EQ(track->Play(DSBPLAY_LOOPING), D3D_OK);
    EXPECT_TRUE(track->IsPlaying());
    const std::string missing = dir.Path("Sounds/bck9.wav");
    try {
      device->CreateSoundBufferFromFile(missing, 0xE0);
      ADD_FAILURE() << "no error";
    } catch (const LoadError& e) {
      EXPECT_EQ(e.path(), missing);  // which the message box at the top names
    }
  }
  SDL_Quit();
}

TEST(Background, WorkForAfterTheFirstFrameStartsOnceAndLateLibrariesNameWhatIsMissing) {
  int started = 0;
  AfterFirstFrame([&started] { ++started; });
  // The platform starts its game controllers with the second frame.
  std::unique_ptr<Platform> platform = CreateSdlPlatform("vantor");
  EXPECT_EQ(SDL_WasInit(SDL_INIT_GAMECONTROLLER), 0u);
  FramePresented();
  EXPECT_NE(SDL_WasInit(SDL_INIT_GAMECONTROLLER), 0u);
  FramePresented();
  EXPECT_EQ(started, 1);
  platform.reset();

  LateLibrary missing("libvantor-nowhere.so.0");
  for (int attempt = 0; attempt < 2; ++attempt) {  // the failure is kept, not retried
    try {
      missing.Open();
      ADD_FAILURE() << "no error";
    } catch (const LoadError& e) {
      EXPECT_EQ(e.path(), "libvantor-nowhere.so.0");
    }
  }
  try {
    MixerLibrary().Get<void()>("Mix_NoSuchFunction");
    ADD_FAILURE() << "no error";
  } catch (const LoadError& e) {
    EXPECT_EQ(e.path(), "libSDL2_mixer-2.0.so.0");
    EXPECT_NE(std::string(e.what()).find("Mix_NoSuchFunction"), std::string::npos) << e.what();
  }
}

TEST(Background, FontLookupRightAfterTheBackgroundLoadFindsTheSameFile) {
  sdl::loadFontConfigInBackground();
  const sdl::FontFile early = sdl::findFontFile("Lucida Blackletter", false);
  WaitForBackgroundWork();
  const sdl::FontFile later = sdl::findFontFile("Lucida Blackletter", false);
  EXPECT_FALSE(early.path.empty());
  EXPECT_EQ(early.path, later.path);
}

TEST(Background, MipmapLevelIsTheRoundedMeanOfEachTwoByTwoBlock) {
  // 3 × 2: the odd last column is left out, as halving leaves 1 × 1.
  const std::vector<uint32_t> texels = {0xFF000000u, 0x00FF0203u, 0xFFFFFFFFu,  //
                                        0xFF000001u, 0x00FF0201u, 0xFFFFFFFFu};
  std::vector<uint32_t> out;
  sdl::HalveImage(texels.data(), 3, 2, out);
  ASSERT_EQ(out.size(), 1u);
  // Alpha (255 + 0 + 255 + 0) / 4 = 127.5 → 128; red 127.5 → 128; green 1; blue 5 / 4 → 1.
  EXPECT_EQ(out[0], 0x80800101u);
  // One texel high: each texel the mean of its pair.
  const std::vector<uint32_t> row = {0xFF102030u, 0xFF302010u};
  sdl::HalveImage(row.data(), 2, 1, out);
  EXPECT_EQ(out, std::vector<uint32_t>{0xFF202020u});
}

}  // namespace
