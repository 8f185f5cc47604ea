// The controller mapping file beside the game (gamecontrollerdb.txt): read as the game reads
// it at start-up, its size checked and its lines handed to SDL's mapping parser.
#include <SDL.h>
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "outcome.h"
#include "platform/sdl/game_controllers.h"

namespace {

std::string folder;
int baseline = 0;

void RemoveFolder() {
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SDL_SetMainReady();
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vantor-mapping-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr || SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
    std::fprintf(stderr, "mapping fuzzer: cannot start: %s\n", SDL_GetError());
    std::exit(1);
  }
  folder = pattern + "/";
  std::atexit(RemoveFolder);
  baseline = SDL_GameControllerNumMappings();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = folder + plat::sdl::kMappingFile;
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const int before = SDL_GameControllerNumMappings();
  const std::string error = plat::sdl::LoadMappingFile(file);
  // Only the part after the path: the folder's name changes from run to run.
  fuzz::Outcome(error.empty() ? "read" : error.substr(file.size()),
                fuzz::Log2(SDL_GameControllerNumMappings() - before));
  // SDL keeps every mapping it was given: start afresh now and then.
  if (SDL_GameControllerNumMappings() > baseline + 4096) {
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
  }
  return 0;
}
