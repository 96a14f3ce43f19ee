#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conditions/Session.h"
#include "conditions/Startup.h"
#include "engine/Engine.h"
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxTrash.h"
#include "platform/TempFolder.h"
#include "platform/fake/FakeSettingsStore.h"
#include "platform/fake/FakeSystemInfo.h"
#include "platform/fake/FakeWindowSystem.h"
#include "scheduler/FormSet.h"
#include "support/RealFolderSession.h"
#include "ui/MainWindow.h"

namespace tolvan::testing {

namespace stdfs = std::filesystem;

// A conditions file from `from` to `to`; `fields` replaces the default value of a key.
inline std::string JobFile(const std::string& from, const std::string& to,
                           const std::map<std::string, std::string>& fields = {}) {
  const std::vector<std::pair<std::string, std::string>> defaults = {
      {"NomalMode", "yes"}, {"UpDate", " 0 "}, {"TrashBox", "no"},  {"Size", "no"},
      {"MatchCase", "no"},  {"Report", "yes"}, {"ChildDir", "yes"}, {"DriveA", from},
      {"DriveB", to},       {"Timer", "no"},   {"DateMode", "0"},   {"Once", "no"},
      {"Time", "14:20"}};
  std::string text = "** File Mirroring Conditions **\r\n";
  for (const auto& [key, value] : defaults) {
    const auto given = fields.find(key);
    text += key + "=" + (given != fields.end() ? given->second : value) + "\r\n";
  }
  return text;
}

// The main window on real temporary trees (program folder app/, master/, backup/), started
// as the program starts it, with message boxes answered by the fake window system and the
// engine hooks counting their calls.
class MainWindowTest : public ::testing::Test, public RealFolderSession {
 protected:
  MainWindowTest() {
    for (const char* folder : {"app", "master/sub", "backup"})
      stdfs::create_directories(tmp / folder);
    engine.shared.AppPath = tmp / "app";
    session.workingFolder = tmp.path();
    services.windowSystem = &ui;
    services.runEngine = [this](const std::function<void()>& work) {
      ++engineRuns;
      runMarkedActive = session.window.runActive;
      work();
      return true;
    };
    services.onGuiThread = [this](const std::function<void()>& call) {
      ++guiThreadCalls;
      call();
    };
  }

  ui::MainWindow& start() {
    window = std::make_unique<ui::MainWindow>(session, services);
    window->setTrayAvailability([this] { return trayAvailable; });
    window->setVolumeSource([this] { return volumes; });
    window->setFileDialog(
        [this](ui::MainWindow::FileDialogKind kind, const std::string&, const QString&) {
          dialogsShown.push_back(kind);
          std::optional<std::string> answer;
          if (!dialogAnswers.empty()) {
            answer = dialogAnswers.front();
            dialogAnswers.pop_front();
          }
          return answer;
        });
    session.formSet = [this](std::int16_t timer) {
      FormSet(session, timer);
      window->refreshFromModel();
    };
    (void)FormLoad(session, {});
    window->refreshFromModel();
    window->finishLoading();
    session.window.shown = true;
    window->show();
    return *window;
  }

  void writeFile(const std::string& relative, const std::string& text) {
    std::ofstream(tmp / relative, std::ios::binary) << text;
  }

  template <typename Control>
  Control* find(const char* name) {
    auto* control = window->findChild<Control*>(QString::fromLatin1(name));
    if (control == nullptr) ADD_FAILURE() << "no control " << name;
    return control;
  }

  // Clicks a button, check box or option button on its indicator.
  void click(const char* name) {
    auto* button = find<QAbstractButton>(name);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
  }

  bool checked(const char* name) { return find<QAbstractButton>(name)->isChecked(); }
  std::string text(const char* name) { return find<QLineEdit>(name)->text().toStdString(); }

  ui::MainWindowServices services;
  bool trayAvailable = false;
  std::vector<platform::MountedVolume> volumes{{"/", "/dev/root", ""}};
  std::deque<std::optional<std::string>> dialogAnswers;
  std::vector<ui::MainWindow::FileDialogKind> dialogsShown;
  int engineRuns = 0;
  bool runMarkedActive = false;
  int guiThreadCalls = 0;
  std::unique_ptr<ui::MainWindow> window;  // destroyed before the session it shows
};

}  // namespace tolvan::testing
