// A shared library opened when it is first needed rather than when the program starts:
// SDL2_mixer, SDL2_image and Assimp bring some forty more libraries with them, whose loading
// and symbol lookups would otherwise come before the first frame. Each is opened once, by
// whichever thread asks first; the others wait for it.
#pragma once

#include <mutex>
#include <string>

namespace plat {

class LateLibrary {
 public:
  explicit LateLibrary(const char* file) : file_(file) {}

  // Opens the library if it is not yet open; throws LoadError naming it when it cannot be.
  void Open();
  // The function `name` of the library, opening it first; throws LoadError naming both when
  // it is not there.
  template <class Function>
  Function* Get(const char* name) {
    return reinterpret_cast<Function*>(Symbol(name));
  }

 private:
  void* Symbol(const char* name);

  const char* file_;
  std::once_flag once_;
  void* handle_ = nullptr;
  std::string error_;
};

// The three libraries, by the names their Debian packages install them under.
LateLibrary& MixerLibrary();
LateLibrary& ImageLibrary();
LateLibrary& AssimpLibrary();

}  // namespace plat
