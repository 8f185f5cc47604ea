// Vantor: a full-screen 3D air-hockey game.
#include <cstdio>
#include <iostream>
#include <memory>

#include "app/Form1.h"
#include "app/netplay.h"
#include "app/options.h"
#include "app/settings.h"
#include "platform/app_path.h"
#include "platform/platform.h"
#include "platform/stop_signals.h"

int main(int argc, char** argv) {
  if (const int box = plat::RunMessageBoxProcess(argc, argv); box >= 0) return box;
  plat::CatchStopSignals();  // from here on SIGTERM and SIGINT end the game cleanly
  const app::CommandLine line = app::ParseCommandLine(argc, argv, std::cout, std::cerr);
  if (line.exitCode >= 0) return line.exitCode;

  // The player's settings, with this run's options over them. What the player changes in
  // the game (full screen, the window's size, mute) goes back into the file.
  app::SettingsStore settings(app::SettingsPath(), std::cerr);
  plat::Preferences running = app::WithOptions(settings.saved().preferences, line.options);

  // A network match: the joining player's name is --name, or the last name they played under.
  std::string error;
  const app::Settings& saved = settings.saved();
  const std::string& lastName = saved.rightName.empty() ? saved.leftName : saved.rightName;
  std::unique_ptr<NetPlay> net =
      StartNetwork(line.options, line.options.name.empty() ? lastName : line.options.name, error);
  if (!error.empty()) {
    std::fprintf(stderr, "vantor: %s\n", error.c_str());
    return 1;
  }

  std::unique_ptr<plat::Platform> platform = plat::CreateSdlPlatform(argv[0]);
  if (!platform) return 1;
  platform->SetPreferences(running);
  platform->ShowFrameRate(line.options.showFps);
  platform->OnPreferencesChange([&](const plat::Preferences& now) {
    settings.Update([&](app::Settings& s) { app::TakeChanges(s.preferences, running, now); });
    running = now;
  });
  plat::SetAppPath(line.options.dataDir.empty() ? platform->AppFolder() : line.options.dataDir);

  int code = 0;
  {
    auto form = std::make_unique<Form1>(*platform);
    form->net = net.get();
    form->leftNameEntry = settings.saved().leftName;
    form->rightNameEntry = settings.saved().rightName;
    form->onNamesChosen = [&settings, &f = *form] {
      settings.Update([&](app::Settings& s) {
        s.rightName = f.rightNameEntry;
        if (!f.onePlayer && !f.net) s.leftName = f.leftNameEntry;  // the computer's row, or the remote player's
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
  if (net && !net->FinishRecording(error)) {
    std::fprintf(stderr, "vantor: %s\n", error.c_str());
    if (code == 0) code = 1;
  }
  return code;
}
