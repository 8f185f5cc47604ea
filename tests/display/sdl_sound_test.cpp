// Sound buffers on SDL2_mixer, with SDL's dummy audio driver (and its disk driver where
// the mixed output itself is checked).
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/sdl/sound.h"
#include "platform/testing/test_platform.h"

namespace {

using namespace plat;

class Sound : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/vantor_sound.XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    folder_ = folder;
  }
  void TearDown() override {
    std::filesystem::remove_all(folder_);
    SDL_Quit();  // the platform's part in the game: frees SDL's per-thread state
  }

  // A 16-bit mono WAV: a square wave of `amplitude`, `millis` long.
  std::string Wav(const std::string& name, int millis, int16_t amplitude = 16000) {
    const uint32_t rate = 44100, samples = rate * millis / 1000, bytes = samples * 2;
    std::vector<uint8_t> data;
    auto put = [&](uint32_t v, int n) {
      for (int i = 0; i < n; ++i) data.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto tag = [&](const char* t) { data.insert(data.end(), t, t + 4); };
    tag("RIFF");
    put(36 + bytes, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2);  // PCM
    put(1, 2);  // mono
    put(rate, 4);
    put(rate * 2, 4);
    put(2, 2);
    put(16, 2);
    tag("data");
    put(bytes, 4);
    for (uint32_t i = 0; i < samples; ++i)
      put(static_cast<uint16_t>((i / 50) % 2 ? amplitude : -amplitude), 2);
    const std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
    return path;
  }

  // What `play` makes the mixer write, as 16-bit samples (SDL's disk driver).
  std::vector<int16_t> Mixed(const std::function<void()>& play) {
    const std::string out = folder_ + "/mix" + std::to_string(mixes_++) + ".raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    play();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::ifstream in(out, std::ios::binary);
    std::vector<int16_t> samples;
    int16_t v;
    while (in.read(reinterpret_cast<char*>(&v), 2)) samples.push_back(v);
    return samples;
  }
  static int Peak(const std::vector<int16_t>& s, size_t from, size_t to) {
    int peak = 0;
    for (size_t i = from; i < std::min(to, s.size()); ++i) peak = std::max(peak, std::abs(int{s[i]}));
    return peak;
  }

  // A PCM WAV as recorders and editors write them: a LIST chunk before the sound, `frames`
  // frames of a square wave; `unknownSizes` leaves the RIFF and data lengths at 0xFFFFFFFF,
  // as a recorder that cannot seek back does.
  std::string Recorded(const std::string& name, uint32_t rate, uint16_t channels, uint16_t bits, uint32_t frames,
                       bool unknownSizes) {
    const uint32_t block = channels * bits / 8u, bytes = frames * block;
    std::vector<uint8_t> d;
    auto put = [&](uint32_t v, int n) {
      for (int i = 0; i < n; ++i) d.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto tag = [&](const char* t) { d.insert(d.end(), t, t + 4); };
    tag("RIFF");
    put(unknownSizes ? 0xFFFFFFFF : 4 + 24 + 18 + 8 + bytes, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2);
    put(channels, 2);
    put(rate, 4);
    put(rate * block, 4);
    put(block, 2);
    put(bits, 2);
    tag("LIST");
    put(9, 4);  // odd: a byte of padding follows
    d.insert(d.end(), {'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T', 0, 0});
    tag("data");
    put(unknownSizes ? 0xFFFFFFFF : bytes, 4);
    for (uint32_t f = 0; f < frames; ++f)
      for (int c = 0; c < channels; ++c) {
        const bool high = (f / 40) % 2 != 0;
        put(bits == 8 ? (high ? 200 : 56) : static_cast<uint16_t>(high ? 12000 : -12000), bits / 8);
      }
    const std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(d.data()), static_cast<long>(d.size()));
    return path;
  }

  // The load error's message, or "" when the file loads.
  static std::string Refusal(SoundDevice& device, const std::string& path) {
    try {
      device.CreateSoundBufferFromFile(path, 0);
    } catch (const LoadError& e) {
      EXPECT_EQ(e.path(), path);
      return e.what();
    }
    return "";
  }

  std::string folder_;
  int mixes_ = 0;
};

// Both faces read a file with one reader's checks: what one takes the other takes, what one
// refuses the other refuses with the same words. Unknown sizes read to the end of the file; a
// long track (8 minutes, 85 MB once mixed: once refused as too long) plays, decoded as it plays.
TEST_F(Sound, BothFacesTakeAndRefuseTheSameFiles) {
  auto real = sdl::createSoundDevice();
  plat::testing::TestPlatform platform;
  auto test = platform.CreateSoundDevice();
  const std::string unknown = Recorded("unknown.wav", 44100, 2, 16, 44100 * 3 / 10, true);
  const std::string track = Recorded("track.wav", 8000, 1, 8, 8000 * 480, false);
  std::string slow = Recorded("slow.wav", 1000, 1, 16, 1000, false);
  std::string cut = Recorded("cut.wav", 44100, 1, 16, 100, false);
  std::filesystem::resize_file(cut, 60);  // in the data chunk's header
  for (const std::string& path : {unknown, track}) {
    EXPECT_EQ(Refusal(*real, path), "");
    EXPECT_EQ(Refusal(*test, path), "");
  }
  EXPECT_EQ(Refusal(*real, slow), slow + ": sample rate of 1000 Hz");
  EXPECT_EQ(Refusal(*test, slow), Refusal(*real, slow));
  EXPECT_EQ(Refusal(*real, cut), cut + ": no sound data");
  EXPECT_EQ(Refusal(*test, cut), Refusal(*real, cut));

  // The unknown sizes: 0.3 s, once, on both faces.
  auto once = real->CreateSoundBufferFromFile(unknown, 0);
  auto onceTest = test->CreateSoundBufferFromFile(unknown, 0);
  once->Play(0);
  onceTest->Play(0);
  platform.Advance(299);
  EXPECT_TRUE(onceTest->IsPlaying());
  platform.Advance(2);
  EXPECT_FALSE(onceTest->IsPlaying());
  EXPECT_TRUE(once->IsPlaying());
  SDL_Delay(800);
  EXPECT_FALSE(once->IsPlaying());

  // The long track: as long on the test face; on the real one it plays, stops where it is
  // and goes on, alongside a second voice of the same file.
  auto music = real->CreateSoundBufferFromFile(track, 0);
  auto again = real->CreateSoundBufferFromFile(track, 0);
  auto musicTest = test->CreateSoundBufferFromFile(track, 0);
  musicTest->Play(0);
  platform.Advance(479999);
  EXPECT_TRUE(musicTest->IsPlaying());
  platform.Advance(2);
  EXPECT_FALSE(musicTest->IsPlaying());
  ASSERT_EQ(music->Play(DSBPLAY_LOOPING), D3D_OK);
  ASSERT_EQ(again->Play(0), D3D_OK);
  SDL_Delay(300);
  EXPECT_TRUE(music->IsPlaying());
  EXPECT_TRUE(again->IsPlaying());
  music->Stop();
  EXPECT_FALSE(music->IsPlaying());
  music->Play(DSBPLAY_LOOPING);
  EXPECT_TRUE(music->IsPlaying());
}

// A long track decoded as it plays gives the sound the whole decode gives, byte for byte, then
// silence and its end; looping, it starts again.
TEST_F(Sound, AStreamedTrackIsTheSoundDecodedWhole) {
  auto device = sdl::createSoundDevice();  // opens the mixer (the dummy driver)
  const std::string path = Recorded("stream.wav", 44100, 1, 16, 44100 * 2 + 17, false);
  auto reader = WavReader::Open(path);
  Mix_Chunk* whole = sdl::loadChunk(*reader);
  int rate = 0, channels = 0;
  Uint16 format = 0;
  Mix_QuerySpec(&rate, &format, &channels);
  sdl::WavStream stream(reader->Reopen(), rate, format, channels);
  for (const bool looping : {false, true}) {
    stream.restart(looping);
    std::vector<Uint8> out(whole->alen + 10000);
    for (size_t at = 0; at < out.size(); at += 1000)
      stream.fill(out.data() + at, static_cast<int>(std::min<size_t>(1000, out.size() - at)));
    EXPECT_TRUE(std::equal(whole->abuf, whole->abuf + whole->alen, out.begin()));
    EXPECT_EQ(stream.ended(), !looping);
    const bool silentAfter = std::all_of(out.begin() + whole->alen, out.end(), [](Uint8 b) { return b == 0; });
    EXPECT_EQ(silentAfter, !looping);
  }
  Mix_FreeChunk(whole);
}

TEST_F(Sound, MissingOrBrokenFilesAreLoadErrorsNamingTheFile) {
  auto device = sdl::createSoundDevice();
  const std::string missing = folder_ + "/bck9.wav";
  try {
    device->CreateSoundBufferFromFile(missing, DSBCAPS_CTRLVOLUME);
    FAIL() << "no error";
  } catch (const LoadError& e) {
    EXPECT_EQ(e.path(), missing);
  }
  const std::string broken = folder_ + "/goal.wav";
  std::ofstream(broken) << "not a sound";
  EXPECT_THROW(device->CreateSoundBufferFromFile(broken, 0), LoadError);
}

TEST_F(Sound, FileReadOnceServesEveryLaterBuffer) {
  auto device = sdl::createSoundDevice();
  const std::string path = Wav("menu.wav", 50);
  auto first = device->CreateSoundBufferFromFile(path, 0);
  std::remove(path.c_str());  // a second buffer must not need the file
  auto second = device->CreateSoundBufferFromFile(path, 0);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->Play(0), D3D_OK);
}

TEST_F(Sound, OneBufferIsOneVoiceThatGoesOnWhenPlayedAgain) {
  auto device = sdl::createSoundDevice();
  const std::string path = Wav("bck1.wav", 200);
  auto music = device->CreateSoundBufferFromFile(path, 0);
  auto other = device->CreateSoundBufferFromFile(path, 0);
  EXPECT_FALSE(music->IsPlaying());
  ASSERT_EQ(music->Play(DSBPLAY_LOOPING), D3D_OK);
  EXPECT_EQ(music->Play(DSBPLAY_LOOPING), D3D_OK);  // the game asks every frame
  EXPECT_TRUE(music->IsPlaying());
  ASSERT_EQ(other->Play(0), D3D_OK);  // its own voice, alongside
  EXPECT_TRUE(other->IsPlaying());
  SDL_Delay(500);
  EXPECT_TRUE(music->IsPlaying()) << "looping";
  EXPECT_FALSE(other->IsPlaying()) << "played once and done";
  EXPECT_EQ(music->Stop(), D3D_OK);
  EXPECT_FALSE(music->IsPlaying());
  EXPECT_EQ(music->Play(DSBPLAY_LOOPING), D3D_OK);
  EXPECT_TRUE(music->IsPlaying());
}

TEST_F(Sound, ManyBuffersEachGetAVoice) {
  auto device = sdl::createSoundDevice();
  const std::string path = Wav("effect.wav", 300);
  std::vector<SoundBufferPtr> buffers;
  for (int i = 0; i < 40; ++i) {
    buffers.push_back(device->CreateSoundBufferFromFile(path, 0));
    ASSERT_EQ(buffers.back()->Play(0), D3D_OK);
  }
  for (const auto& b : buffers) EXPECT_TRUE(b->IsPlaying());
}

TEST_F(Sound, VolumeInHundredthsOfADecibelScalesTheMix) {
  // Peak sample of 0.3 s of a looping square wave at `volume`, mixed to a file.
  auto peakAt = [&](int32_t volume) {
    const std::string out = folder_ + "/mix" + std::to_string(-volume) + ".raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    {
      auto device = sdl::createSoundDevice();
      auto buffer = device->CreateSoundBufferFromFile(Wav("tone.wav", 100), 0);
      EXPECT_EQ(buffer->SetVolume(volume), D3D_OK);
      buffer->Play(DSBPLAY_LOOPING);
      SDL_Delay(300);
    }
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::ifstream in(out, std::ios::binary);
    int peak = 0;
    int16_t s;
    while (in.read(reinterpret_cast<char*>(&s), 2)) peak = std::max(peak, std::abs(int{s}));
    return peak;
  };
  const int full = peakAt(0);
  const int half = peakAt(-600);  // 10^(−600/2000) ≈ 0.50
  ASSERT_GT(full, 10000) << "the tone reached the mix";
  EXPECT_NEAR(static_cast<double>(half) / full, 0.50, 0.03);
  auto device = sdl::createSoundDevice();
  auto buffer = device->CreateSoundBufferFromFile(Wav("x.wav", 10), 0);
  EXPECT_EQ(buffer->SetVolume(1), D3DERR_INVALIDCALL);
  EXPECT_EQ(buffer->SetVolume(-10001), D3DERR_INVALIDCALL);
}

TEST_F(Sound, PlayersLevelsScaleMusicAndEffectsOnTopOfTheGamesVolumeAndMuteAtOnce) {
  const std::string tone = Wav("tone.wav", 100);
  const std::string effect = Wav("effect.wav", 250);
  // The game's own volume alone, then with the player's levels: music (looping) at 50 %
  // over the game's −600 (0.50), an effect at 25 %; after 0.3 s, everything muted.
  auto mix = [&](std::shared_ptr<sdl::SoundLevels> levels) {
    return Mixed([&] {
      auto device = sdl::createSoundDevice(levels);
      auto music = device->CreateSoundBufferFromFile(tone, 0);
      music->SetVolume(-600);
      music->Play(DSBPLAY_LOOPING);
      SDL_Delay(300);
      if (levels) levels->set(50, 25, true);
      SDL_Delay(300);
    });
  };
  auto effectMix = [&](std::shared_ptr<sdl::SoundLevels> levels) {
    return Mixed([&] {
      auto device = sdl::createSoundDevice(levels);
      auto fx = device->CreateSoundBufferFromFile(effect, 0);
      fx->Play(0);
      SDL_Delay(500);  // the whole effect, with room for a slow start of the mixer's thread
    });
  };
  const auto game = mix(nullptr);
  auto levels = std::make_shared<sdl::SoundLevels>();
  levels->set(50, 25, false);
  const auto player = mix(levels);
  const size_t third = 44100 * 2 / 10;  // 0.1 s of stereo samples
  ASSERT_GT(Peak(game, 0, 2 * third), 4000) << "the music reached the mix";
  EXPECT_NEAR(static_cast<double>(Peak(player, 0, 2 * third)) / Peak(game, 0, 2 * third), 0.50, 0.04);
  EXPECT_EQ(Peak(player, 4 * third, player.size()), 0) << "muted at once";

  const auto fullEffect = effectMix(nullptr);
  levels->set(50, 25, false);
  const auto quietEffect = effectMix(levels);
  ASSERT_GT(Peak(fullEffect, 0, fullEffect.size()), 10000);
  EXPECT_NEAR(static_cast<double>(Peak(quietEffect, 0, quietEffect.size())) / Peak(fullEffect, 0, fullEffect.size()),
              0.25, 0.03);
}

}  // namespace
