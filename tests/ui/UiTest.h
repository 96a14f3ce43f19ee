#pragma once

// What the window tests share: helpers, a conditions file, the main window on real trees, and
// the real engine under the desktop window system.
#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>
#include <optional>

#include "conditions/Startup.h"
#include "engine/JobDriver.h"
#include "platform/LinuxSystemInfo.h"
#include "scheduler/FormSet.h"
#include "support/EngineFixture.h"
#include "ui/MainWindow.h"
#include "ui/QtWindowSystem.h"

// Failure messages show the text, not the bytes of the object.
inline std::ostream& operator<<(std::ostream& out, const QString& text) {
  return out << text.toStdString();
}

namespace tolvan::testing {

using namespace platform::testing;

template <typename Control = QWidget>
Control* Find(const QObject& in, const char* name) {
  auto* control = in.findChild<Control*>(QString::fromLatin1(name));
  if (control == nullptr) ADD_FAILURE() << "no control " << name;
  return control;
}

// Clicks a button on its indicator: a check box answers clicks on its box and caption only,
// not on the rest of its row.
inline void Click(const QObject& in, const char* name) {
  auto* button = Find<QAbstractButton>(in, name);
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

inline void Retype(QLineEdit* field, const QString& text) {
  field->clear();
  QTest::keyClicks(field, text);
}

// Acts on the next modal dialog once exec() shows it; code under test that shows a dialog
// modally would otherwise wait for a user.
inline void OnNextModalDialog(std::function<void(QDialog*)> act) {
  auto* poll = new QTimer();
  QObject::connect(poll, &QTimer::timeout, [poll, act = std::move(act)] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    act(dialog);
  });
  poll->start(5);
}

// The windows on real temporary trees (program folder app/, master/, backup/): the main window
// started as the program starts it, message boxes answered by the fake window system, the
// engine hooks counting their calls.
class WindowTest : public ::testing::Test, public RealFolderSession {
 protected:
  WindowTest() {
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

  void start(const std::string& jobFile = {}) {
    if (!jobFile.empty()) WriteText(tmp / "app/job.tvf", jobFile);
    window.reset();  // one main window at a time
    window = std::make_unique<ui::MainWindow>(session, services);
    closed = false;
    QObject::connect(window.get(), &ui::MainWindow::closed, [this] { closed = true; });
    window->setTrayAvailability([this] { return trayAvailable; });
    window->setVolumeSource([this] { return volumes; });
    window->setFileDialog(
        [this](ui::MainWindow::FileDialogKind kind, const std::string&, const QString&) {
          dialogsShown.push_back(kind);
          return std::exchange(dialogAnswer, std::nullopt);  // cancelled when none is set
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
  }
  // A job from master/ to backup/, with `fields` in place of the defaults.
  std::string job(const std::vector<std::string>& fields = {}) {
    return JobFile(tmp / "master", tmp / "backup", fields);
  }

  template <typename Control = QWidget>
  Control* find(const char* name) {
    return Find<Control>(*window, name);
  }
  void click(const char* name) { Click(*window, name); }
  // Leaving a box settles what was typed into it.
  void leave(const char* box) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(find(box), &out);
  }
  bool checked(const char* name) { return find<QAbstractButton>(name)->isChecked(); }
  std::string text(const char* name) { return find<QLineEdit>(name)->text().toStdString(); }
  QString shown(const char* folders) {
    return find<QTreeView>(folders)->currentIndex().data().toString();
  }

  ui::MainWindowServices services;
  bool trayAvailable = false;
  std::vector<platform::MountedVolume> volumes{{"/", "/dev/root", ""}};
  std::optional<std::string> dialogAnswer;  // what the next file dialog answers
  std::vector<ui::MainWindow::FileDialogKind> dialogsShown;
  int engineRuns = 0, guiThreadCalls = 0;
  bool runMarkedActive = false;  // the window marked the run active before the hook ran it
  bool closed = false;           // the main window's closing sequence ran
  std::unique_ptr<ui::MainWindow> window;  // destroyed before the session it shows
};

// The real engine on the real platform under the desktop window system, for the window tests
// that run jobs: program folder `app`, master `master`, backup `backup` in a temporary folder.
// Backup mode, report on, unattended (no confirmation).
class RealEngineTest : public ::testing::Test {
 protected:
  RealEngineTest() {
    for (const auto& folder : {app, master, backup}) stdfs::create_directory(folder);
    engine.shared.AppPath = app;
    engine.shared.TvfFileName = "job.tvf";
    engine.job.NomalMode = 0;
    engine.job.Report = -1;
    engine.job.XOption = 1;
    ws.watchStopFlag(&engine.run.StopFlag);
  }

  [[nodiscard]] RunOutcome runJob() { return RunJob(engine, master, backup, unscheduled); }

  platform::testing::TempFolder tmp;  // not the engine's function of that name
  const std::string app = tmp / "app", master = tmp / "master", backup = tmp / "backup";
  platform::FakeSettingsStore settings;
  ui::QtWindowSystem ws{settings};
  platform::LinuxFileSystem fs;
  platform::LinuxTrash trash{fs};
  platform::LinuxSystemInfo sys;
  Engine engine{Services{fs, trash, ws, sys}};
  std::int16_t unscheduled = 0;  // the timer value of a run not started by the schedule
};

}  // namespace tolvan::testing
