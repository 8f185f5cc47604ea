// Vantor: a full-screen 3D air-hockey game.
#include <cstdio>
#include <memory>

#include "app/Form1.h"
#include "platform/app_path.h"
#include "platform/platform.h"

int main(int /*argc*/, char** argv) {
  std::unique_ptr<plat::Platform> platform = plat::CreateSdlPlatform(argv[0]);
  if (!platform) return 1;
  plat::SetAppPath(platform->AppFolder());
  int code = 0;
  {
    auto form = std::make_unique<Form1>(*platform);
    try {
      form->Form_Load();
    } catch (const plat::ProgramEnd& end) {
      code = end.code;
    } catch (const plat::LoadError& e) {
      std::fprintf(stderr, "vantor: cannot load %s\n", e.what());
      platform->MessageBox(std::string("Cannot load a data file:\n") + e.what(), "VANTOR!", plat::MB_ICONERROR);
      code = 1;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "vantor: %s\n", e.what());
      platform->MessageBox(e.what(), "VANTOR!", plat::MB_ICONERROR);
      code = 1;
    }
  }
  return code;
}
