// Game controllers on SDL2's GameController API: plugged in and pulled out at any time,
// each in a slot (0 the first plugged in, 1 the second, ...), read as keys through the
// keyboard device by the layout the game gives, and rumbled on request.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>
#include <string>

#include "platform/pads.h"
#include "platform/platform.h"

namespace plat::sdl {

// The mapping file beside the executable, read as SDL reads SDL_GAMECONTROLLERCONFIG's
// lines (mappings from the environment come first: SDL keeps a user's own over a file's).
constexpr const char* kMappingFile = "gamecontrollerdb.txt";
// A larger file is not read (the community's database is well under a megabyte).
constexpr int64_t kMappingFileLimit = 8 << 20;

// Adds the mappings of `path` if the file is there; returns an error for the player
// (naming the file) when it is there but cannot be used, otherwise "".
std::string LoadMappingFile(const std::string& path);

// The inputs the game uses, as the controller holds them since the last event pump.
PadState ReadPad(SDL_GameController* controller);

class GameControllers {
 public:
  static constexpr int kSlots = 8;

  // Starts SDL's game controller support and reads `folder`/gamecontrollerdb.txt. The
  // controllers already plugged in arrive as events, like those plugged in later.
  explicit GameControllers(const std::string& folder);
  // The same, left to Start(): until then there are no controllers.
  struct StartLater {};
  GameControllers(const std::string& folder, StartLater) : folder_(folder) {}
  void Start();
  ~GameControllers();
  GameControllers(const GameControllers&) = delete;
  GameControllers& operator=(const GameControllers&) = delete;

  // A controller plugged in is opened into the first free slot; one pulled out is closed.
  // True when `e` pulled out a controller that was open.
  bool HandleEvent(const SDL_Event& e);

  void SetLayout(const PadLayout& layout) { layout_ = layout; }
  // Holds down, in the 256-byte DIK state, the keys of every controller's inputs.
  void PressKeys(uint8_t* state) const;
  void Rumble(int slot, float strength, uint32_t ms);

  int Count() const;
  SDL_GameController* InSlot(int slot) const { return slot >= 0 && slot < kSlots ? slots_[slot] : nullptr; }

 private:
  std::string folder_;
  bool ready_ = false;
  std::array<SDL_GameController*, kSlots> slots_{};
  PadLayout layout_{};
};

}  // namespace plat::sdl
