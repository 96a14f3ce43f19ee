#pragma once

#include <string>
#include <vector>

#include "conditions/CommandLine.h"
#include "conditions/Session.h"
#include "engine/JobDriver.h"
#include "platform/SettingsStore.h"
#include "platform/SystemInfo.h"

namespace tolvan {

// Keys of the per-user settings store and their defaults.
struct SettingKey {
  const char* section;
  const char* key;
  const char* defaultValue;
};
inline constexpr SettingKey kMainFormTop{"MainForm", "Top", "300"};
inline constexpr SettingKey kMainFormLeft{"MainForm", "Left", "1000"};
inline constexpr SettingKey kProcessFormTop{"ProcessForm", "Top", "900"};
inline constexpr SettingKey kProcessFormLeft{"ProcessForm", "Left", "900"};
inline constexpr SettingKey kProcessFormHeight{"ProcessForm", "Height", "2300"};
inline constexpr SettingKey kProcessFormWidth{"ProcessForm", "Width", "6500"};
// The report viewer; the key keeps its old name.
inline constexpr SettingKey kEditorFileName{"Editor", "FileName", "xdg-open"};
inline constexpr SettingKey kEditorReportSize{"Editor", "ReportSize", "512"};
// The simulation dialog's check boxes, all checked ("1") by default.
inline constexpr const char* kSimulationSection = "Simulation";
inline constexpr const char* kSimulationChecks[] = {"Check10", "Check11", "Check20", "Check21",
                                                    "Check22", "Check23", "Check24"};

[[nodiscard]] std::string ReadSetting(platform::SettingsStore& store, const SettingKey& key);
void WriteSetting(platform::SettingsStore& store, const SettingKey& key, const std::string& value);

// "1.05" for major 1, minor 5.
[[nodiscard]] std::string MakeVersionText(int major, int minor);
// The program's own version text.
[[nodiscard]] std::string ProgramVersionText();

// The per-user program folder: $TOLVAN32_HOME, else $XDG_DATA_HOME/Tolvan32, else
// ~/.local/share/Tolvan32. A relative setting is taken from `workingFolder`.
[[nodiscard]] std::string ResolveAppPath(platform::SystemInfo& sys,
                                         const std::string& workingFolder);

// The stored report size in KB: 512 for 0 or a text that is not a number.
[[nodiscard]] float ReportSizeFromText(const std::string& text);

// What start-up did, for the program to decide what comes next.
struct StartupOutcome {
  CommandLine commandLine;
  bool ranJob = false;         // the unattended run took place
  RunOutcome run;              // its outcome when it did
  bool refused = false;        // From = To: "Can't do it.  Check your setting file!" was shown
  bool scheduleArmed = false;  // the current job has its timer on
  bool endRequested = false;   // the program must end now (session.endStatus)
  int exitStatus = 0;          // the status to end with (0 1 2 3)
};

// The start-up sequence without the widgets. Uses session.workingFolder (the process's
// current folder when empty) and engine.shared.AppPath when the caller has set it, else
// ResolveAppPath; the folder is created when missing.
StartupOutcome FormLoad(Session& session, const std::vector<std::string>& args);

// Quit: closes the progress window and asks the program to end with `status`; the program
// then runs FormUnload.
void mnuQuit_Click(Session& session, int status);

// The closing sequence: closes report files a run left open and stores the main window's
// position when it was shown and is not minimized.
void FormUnload(Session& session);

}  // namespace tolvan
