#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <string>

#include "engine/Engine.h"
#include "engine/JobDriver.h"
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxSystemInfo.h"
#include "platform/LinuxTrash.h"
#include "platform/fake/FakeSettingsStore.h"
#include "ui/QtWindowSystem.h"

namespace tolvan::ui::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  [[nodiscard]] std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void MakeFolder(const std::string& path);
void MakeFile(const std::string& path, const std::string& content = {});
[[nodiscard]] std::string ReadFile(const std::string& path);
[[nodiscard]] bool Exists(const std::string& path);

// The real engine on the real Linux platform with the desktop window system: program folder
// `app`, master `master`, backup `backup` in a temporary folder. Backup mode, report on,
// unattended (no confirmation).
class RealEngineTest : public ::testing::Test {
 protected:
  RealEngineTest();

  [[nodiscard]] RunOutcome runJob();
  // Calls `check` on the GUI thread every few milliseconds until it returns true.
  void everyTick(std::function<bool()> check);

  TemporaryFolder tmp;
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
