// Vantor: a full-screen 3D air-hockey game.
#include <cstdio>
#include <iostream>
#include <memory>

#include "app/Form1.h"
#include "app/options.h"
#include "app/settings.h"
#include "platform/app_path.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  const app::CommandLine line = app::ParseCommandLine(argc, argv, std::cout, std::cerr);
  if (line.exitCode >= 0) return line.exitCode;

  // The player's settings, with this run's options over them. What the player changes in
  // the game (full screen, the window's size, mute) goes back into the file.
  app::SettingsStore settings(app::SettingsPath(), std::cerr);
  plat::Preferences running = app::WithOptions(settings.saved().preferences, line.options);

  std::unique_ptr<plat::Platform> platform = plat::CreateSdlPlatform(argv[0]);
  if (!platform) return 1;
  platform->SetPreferences(running);
  platform->OnPreferencesChange([&](const plat::Preferences& now) {
    settings.Update([&](app::Settings& s) { app::TakeChanges(s.preferences, running, now); });
    running = now;
  });
  plat::SetAppPath(line.options.dataDir.empty() ? platform->AppFolder() : line.options.dataDir);

  int code = 0;
  {
    auto form = std::make_unique<Form1>(*platform);
    form->leftNameEntry = settings.saved().leftName;
    form->rightNameEntry = settings.saved().rightName;
    form->onNamesChosen = [&settings, &f = *form] {
      settings.Update([&](app::Settings& s) {
        s.rightName = f.rightNameEntry;
        if (!f.onePlayer) s.leftName = f.leftNameEntry;  // the computer's row is no name
      });
    };
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
