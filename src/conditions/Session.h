#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "platform/SettingsStore.h"

namespace tolvan {

// One side (From or To) of the main window as plain data: the path field and the folder
// selection it follows. The GUI puts widgets on it; headless runs use it as it is.
struct PathSide {
  std::string text;    // the path field (Text1 / Text2)
  std::string folder;  // the folder list's current folder (Dir1 / Dir2)
};

struct WindowModel {
  PathSide from;
  PathSide to;
  std::string lastTextFrom;  // LastText1: the field's previous content
  std::string lastTextTo;
  std::vector<std::string> tvfList;  // Combo1, most recently used first
  int selectedEntry = -1;
  bool SkipMinimize = false;
  bool copyEnabled = true;       // "Copy" is disabled while the schedule is armed
  bool timerWorkingShown = false;  // "Timer is working!!"
  bool minimized = false;
};

// The program-wide state above the engine: the engine itself, the settings store, the
// window model, and the hooks by which the conditions code reaches the scheduler and the end
// of the program.
struct Session {
  Session(Engine& e, platform::SettingsStore& s) : engine(e), settings(s) {}

  Engine& engine;
  platform::SettingsStore& settings;
  WindowModel window;

  // Applies the job to the window and arms or disarms the schedule (set by the scheduler).
  std::function<void(std::int16_t timer)> formSet;
  // The program must end (bad conditions file, unattended failure, Quit); `status` is the
  // process exit status.
  bool endRequested = false;
  int endStatus = 0;
  void requestEnd(int status) {
    if (!endRequested) endStatus = status;
    endRequested = true;
  }
};

}  // namespace tolvan
