#pragma once

// The real engine on the real platform under the desktop window system, for the window tests
// that run jobs.
#include "UiTest.h"
#include "engine/JobDriver.h"
#include "platform/LinuxSystemInfo.h"
#include "ui/QtWindowSystem.h"

namespace tolvan::ui::testing {

inline void MakeFile(const std::string& path, const std::string& content = {}) {
  platform::testing::WriteText(path, content);
}

inline std::string ReadFile(const std::string& path) {
  return platform::testing::ReadText(path);
}

// Program folder `app`, master `master`, backup `backup` in a temporary folder. Backup mode,
// report on, unattended (no confirmation).
class RealEngineTest : public ::testing::Test {
 protected:
  RealEngineTest() {
    for (const auto& folder : {app, master, backup}) std::filesystem::create_directory(folder);
    engine.shared.AppPath = app;
    engine.shared.TvfFileName = "job.tvf";
    engine.job.NomalMode = 0;
    engine.job.Report = -1;
    engine.job.XOption = 1;
    ws.watchStopFlag(&engine.run.StopFlag);
  }

  [[nodiscard]] RunOutcome runJob() {
    std::int16_t timer = 0;
    return RunJob(engine, master, backup, timer);
  }

  // Calls `check` on the GUI thread every few milliseconds until it returns true.
  void everyTick(std::function<bool()> check) {
    ticker.disconnect();
    QObject::connect(&ticker, &QTimer::timeout, [this, check = std::move(check)] {
      if (check()) ticker.stop();
    });
    ticker.start(2);
  }

  platform::testing::TempFolder tmp;
  const std::string app = tmp / "app";
  const std::string master = tmp / "master";
  const std::string backup = tmp / "backup";
  platform::FakeSettingsStore settings;
  QtWindowSystem ws{settings};
  platform::LinuxFileSystem fs;
  platform::LinuxTrash trash{fs};
  platform::LinuxSystemInfo sys;
  Engine engine{Services{fs, trash, ws, sys}};
  QTimer ticker;
};

}  // namespace tolvan::ui::testing
