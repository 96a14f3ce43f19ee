#pragma once

#include <gtest/gtest.h>

#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "engine/Engine.h"
#include "engine/JobDriver.h"
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxSystemInfo.h"
#include "platform/LinuxTrash.h"
#include "platform/TempFolder.h"
#include "platform/fake/FakeSettingsStore.h"
#include "ui/QtWindowSystem.h"

namespace tolvan::ui::testing {

inline void MakeFile(const std::string& path, const std::string& content = {}) {
  std::ofstream(path, std::ios::binary) << content;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The real engine on the real Linux platform with the desktop window system: program folder
// `app`, master `master`, backup `backup` in a temporary folder. Backup mode, report on,
// unattended (no confirmation).
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
    ticker.setInterval(2);
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
    ticker.start();
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
