#include "platform/common/late_library.h"

#include <dlfcn.h>

#include "platform/d3d8.h"

namespace plat {

void LateLibrary::Open() {
  std::call_once(once_, [this] {
    // Its symbols stay its own: the libraries loaded after it (OpenGL's driver) do not look
    // through its forty in every lookup of theirs.
    handle_ = dlopen(file_, RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
      const char* why = dlerror();
      error_ = why != nullptr ? why : "cannot open it";
    }
  });
  if (handle_ == nullptr) throw LoadError(file_, "the library cannot be loaded: " + error_);
}

void* LateLibrary::Symbol(const char* name) {
  Open();
  void* symbol = dlsym(handle_, name);
  if (symbol == nullptr) throw LoadError(file_, std::string("the library has no ") + name);
  return symbol;
}

LateLibrary& MixerLibrary() {
  static LateLibrary library("libSDL2_mixer-2.0.so.0");
  return library;
}

LateLibrary& ImageLibrary() {
  static LateLibrary library("libSDL2_image-2.0.so.0");
  return library;
}

LateLibrary& AssimpLibrary() {
  static LateLibrary library("libassimp.so.5");
  return library;
}

}  // namespace plat
