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
  // The conditions file named no usable path for this side: runs stay refused until the
  // path field really changes.
  bool missing = false;
};

struct WindowModel {
  PathSide from;
  PathSide to;
  std::string lastTextFrom;  // LastText1: the field's previous content
  std::string lastTextTo;
  std::vector<std::string> tvfList;  // Combo1, most recently used first
  int selectedEntry = -1;
  std::string tvfComboText;  // Combo1's text part
  std::string fromUsage;     // Label10: From drive usage
  std::string toUsage;       // Label11: To drive usage
  // Main window position in twips; the screen size bounds it when known (0: unknown).
  int top = 300;
  int left = 1000;
  int screenWidth = 0;
  int screenHeight = 0;
  bool shown = false;  // the window is on screen (never in a headless run)
  bool SkipMinimize = false;
  bool copyEnabled = true;         // "Copy" is disabled while the schedule is armed
  bool timerWorkingShown = false;  // "Timer is working!!"
  bool minimized = false;

  // The job's option controls as the window shows them (indices of option groups, check-box
  // values 0/1). Setting one to a value it already has raises no handler.
  int modeOption = 0;      // Option1: 0 "Mirroring", 1 "Backup"
  int upDateOption = 0;    // Option2: 0 "Up Date", 1 "All Files"
  int reportOption = 0;    // Option3: 0 "Write", 1 "None"
  int childDirOption = 0;  // Option5: 0 "Include", 1 "Not Include"
  int sizeCheck = 0;       // Check3 "File Size"
  int matchCaseCheck = 0;  // Check1 "Match case"
  int trashBoxCheck = 0;   // Check5 "Use Trash Box"
  bool trashBoxEnabled = true;
  bool trashBoxVisible = true;
  int changeLimitPercent = 10;  // the change limit's spin box while the limit is off

  // The timer frame and the schedule check's timer.
  int timerCheck = 0;             // Check2 "Timer"
  int onceCheck = 0;              // Check4 "Once for all"
  int dateModeOption = 0;         // Option7: 0 "Every Day", 1 "Every Time"
  std::string hourText = "00";    // Text4(0)
  std::string minuteText = "00";  // Text4(1)
  int spinValue = 0;              // VScroll2: minutes since midnight
  bool timerEnabled = false;      // Timer1 runs
  int timerIntervalMs = 0;
  // A run (real or dry) is in progress: a schedule check arriving now starts nothing.
  bool runActive = false;
  // The clock minute (minutes since the date-time epoch) in which the last scheduled run
  // started: a daily schedule runs once in its minute even when two checks fall into it.
  long long lastScheduledRunMinute = -1;
};

// The program-wide state above the engine: the engine itself, the settings store, the
// window model, and the hooks by which the conditions code reaches the scheduler and the end
// of the program.
struct Session {
  Session(Engine& e, platform::SettingsStore& s) : engine(e), settings(s) {}

  Engine& engine;
  platform::SettingsStore& settings;
  WindowModel window;
  // The process's current folder: the default paths, and the base of relative paths.
  std::string workingFolder;

  // Applies the job to the window and arms or disarms the schedule (set by the scheduler).
  std::function<void(std::int16_t timer)> formSet;
  // Reads the current conditions file again (set by the program when it has no window):
  // while a path is missing the schedule check calls it before each run, so a volume mounted
  // since is found, as nobody is there to pick a path.
  std::function<void()> reloadConditions;
  // Told what a window would have shown when an unattended read fails, with the reason; the
  // report gets the failure either way. Set by the program without a window.
  std::function<void(const std::string& text)> unattendedNotice;
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
