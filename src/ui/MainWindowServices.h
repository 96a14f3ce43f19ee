#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/WindowSystem.h"

namespace tolvan::ui {

// What the main window needs from the rest of the program. Engine work never runs in the
// window's own handlers: it goes through runEngine, which returns once the work has ended
// (running it on a worker thread while the window's events go on, or inline).
struct MainWindowServices {
  platform::WindowSystem* windowSystem = nullptr;  // message boxes
  // Runs engine work; false when a run is already going (then `work` does not run).
  std::function<bool(const std::function<void()>&)> runEngine;
  // Runs `call` on the window's thread and returns when it has run.
  std::function<void(const std::function<void()>&)> onGuiThread;
  std::function<void()> editorSettings;                               // File > Editor Settings
  std::function<void(const std::string& reportFileName)> showReport;  // "report.tvr", "Recent.tvr"
  // The Simulation dialog: the kinds to list and the list file; false when cancelled.
  std::function<bool(std::int16_t& dryRunMode, std::string& listPath)> askSimulation;
  std::function<void()> helpTopics;
  std::function<void()> exclusions;  // "Exclude...": the job's exclusion patterns
};

// Fills the hooks left empty with the inline defaults.
[[nodiscard]] MainWindowServices WithDefaults(MainWindowServices services);

}  // namespace tolvan::ui
