#include "platform/sdl/game_controllers.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

namespace plat::sdl {

std::string LoadMappingFile(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    return errno == ENOENT ? std::string() : path + ": " + std::strerror(errno);
  }
  if (!S_ISREG(st.st_mode)) return path + ": not a file";
  // Read here, with the size checked on what was read: SDL would take the file's size as
  // it finds it for its buffer.
  std::ifstream in(path, std::ios::binary);
  if (!in) return path + ": cannot be read";
  std::vector<char> text(static_cast<size_t>(std::min<int64_t>(st.st_size, kMappingFileLimit)) + 1);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  const auto got = static_cast<size_t>(in.gcount());
  if (in.bad()) return path + ": cannot be read";
  if (got > static_cast<size_t>(kMappingFileLimit)) {
    return path + ": larger than " + std::to_string(kMappingFileLimit >> 20) + " MiB, not read";
  }
  SDL_RWops* rw = SDL_RWFromConstMem(text.data(), static_cast<int>(got));
  if (rw == nullptr || SDL_GameControllerAddMappingsFromRW(rw, 1) < 0) {
    return path + ": " + SDL_GetError();
  }
  return {};
}

PadState ReadPad(SDL_GameController* c) {
  auto button = [c](SDL_GameControllerButton b) { return SDL_GameControllerGetButton(c, b) != 0; };
  PadState p;
  p.up = button(SDL_CONTROLLER_BUTTON_DPAD_UP);
  p.down = button(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  p.left = button(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
  p.right = button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
  p.a = button(SDL_CONTROLLER_BUTTON_A);
  p.start = button(SDL_CONTROLLER_BUTTON_START);
  p.back = button(SDL_CONTROLLER_BUTTON_BACK);
  p.leftShoulder = button(SDL_CONTROLLER_BUTTON_LEFTSHOULDER);
  p.rightShoulder = button(SDL_CONTROLLER_BUTTON_RIGHTSHOULDER);
  p.stickX = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX);
  p.stickY = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY);
  p.trigger = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
  return p;
}

GameControllers::GameControllers(const std::string& folder) : folder_(folder) { Start(); }

void GameControllers::Start() {
  if (ready_) return;
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
    std::fprintf(stderr, "vantor: no game controllers: %s\n", SDL_GetError());
    return;
  }
  ready_ = true;
  const std::string error = LoadMappingFile(folder_ + "/" + kMappingFile);
  if (!error.empty()) std::fprintf(stderr, "vantor: controller mappings not used: %s\n", error.c_str());
}

GameControllers::~GameControllers() {
  for (SDL_GameController*& c : slots_) {
    if (c != nullptr) SDL_GameControllerClose(c);
    c = nullptr;
  }
  if (ready_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

bool GameControllers::HandleEvent(const SDL_Event& e) {
  if (e.type == SDL_CONTROLLERDEVICEADDED) {
    SDL_GameController* c = SDL_GameControllerOpen(e.cdevice.which);
    if (c == nullptr) {
      std::fprintf(stderr, "vantor: cannot open a game controller: %s\n", SDL_GetError());
      return false;
    }
    // Opening an open controller hands back the same one, counted twice by SDL.
    auto same = std::find(slots_.begin(), slots_.end(), c);
    auto free = std::find(slots_.begin(), slots_.end(), nullptr);
    if (same != slots_.end() || free == slots_.end()) {
      SDL_GameControllerClose(c);
    } else {
      *free = c;
    }
    return false;
  }
  if (e.type == SDL_CONTROLLERDEVICEREMOVED) {
    for (SDL_GameController*& c : slots_) {
      if (c != nullptr && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(c)) == e.cdevice.which) {
        SDL_GameControllerClose(c);
        c = nullptr;
        return true;
      }
    }
    return false;
  }
  if (e.type == SDL_JOYDEVICEADDED && !SDL_IsGameController(e.jdevice.which)) {
    const char* name = SDL_JoystickNameForIndex(e.jdevice.which);
    std::fprintf(stderr, "vantor: \"%s\" has no game controller mapping (add one to %s beside the game)\n",
                 name != nullptr ? name : "a joystick", kMappingFile);
  }
  return false;
}

void GameControllers::PressKeys(uint8_t* state) const {
  for (int slot = 0; slot < kSlots; ++slot) {
    if (slots_[slot] != nullptr) PressPadKeys(ReadPad(slots_[slot]), KeysOfSlot(layout_, slot), state);
  }
}

void GameControllers::Rumble(int slot, float strength, uint32_t ms) {
  SDL_GameController* c = InSlot(slot);
  if (c == nullptr) return;
  const auto level = static_cast<Uint16>(std::clamp(strength, 0.0f, 1.0f) * 65535.0f);
  SDL_GameControllerRumble(c, level, level, ms);  // fails, harmlessly, on one without rumble
}

int GameControllers::Count() const {
  return static_cast<int>(std::count_if(slots_.begin(), slots_.end(), [](auto* c) { return c != nullptr; }));
}

}  // namespace plat::sdl
