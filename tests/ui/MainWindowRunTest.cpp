// The main window's runs, closing, drive lists, saved-job list, menus and notification icon.
#include <csignal>

#include "UiTest.h"
#include "support/CannotRunHere.h"
#include "ui/QuitSignals.h"

namespace tolvan::testing {
namespace {

using platform::MessageAnswer;

// Closing the main window while a run goes on: the run is never abandoned.
TEST_F(WindowTest, ClosingDuringARunAsksAndAStopEndsTheReportBeforeTheWindowCloses) {
  // Whether the desktop session ends instead of the user closing, the answer to the question
  // when one is asked, and whether the run stops and the window closes after it.
  const std::tuple<const char*, bool, MessageAnswer, bool> cases[] = {
      {"user, OK", false, MessageAnswer::Ok, true},
      {"user, Cancel", false, MessageAnswer::Cancel, false},
      {"session end", true, MessageAnswer::Cancel, true},
  };
  for (int i = 0; i < 30; ++i) WriteText(tmp / ("master/f" + std::to_string(i)), "x");
  for (const auto& [name, sessionEnds, answer, stops] : cases) {
    SCOPED_TRACE(name);
    stdfs::remove_all(tmp / "backup");
    stdfs::create_directory(tmp / "backup");
    // Measuring these lets window events run: the close.
    for (int i = 0; i < 10; ++i) WriteText(tmp / ("backup/old" + std::to_string(i)), "x");
    ui.boxes.clear();
    ui.answers = {MessageAnswer::Ok, answer};  // the run's confirmation first
    start(job());
    bool closedDuringRun = true;
    const long before = ui.eventCount;
    ui.onEvents = [&](long count) {
      if (count != before + 5) return;
      sessionEnds ? window->endSession() : (void)window->close();  // or the close button
      closedDuringRun = closed;
    };
    click("Command1");
    ui.onEvents = nullptr;
    // Never closed while the run goes on; the last box asks OK or Cancel.
    EXPECT_EQ(std::tuple(closedDuringRun, closed, window->isVisible(), ui.boxes.size(),
                         ui.boxes.back().buttons),
              std::tuple(false, stops, !stops, sessionEnds ? 1U : 2U,
                         platform::MessageButtons::OkCancel));
    const std::string report = ReadText(tmp / "app/Recent.tvr");
    const std::size_t at = report.rfind(stops ? "Stopped in the working : " : "Finished Time : ");
    ASSERT_NE(at, std::string::npos) << report;
    EXPECT_EQ(report.substr(report.find("\r\n", at)), "\r\n\r\n\r\n") << report;
    // A whole run leaves the master's 30 files and its folder "sub", and nothing else.
    EXPECT_EQ(NamesIn(tmp / "backup").size() != 31, stops);
  }
}

// (What a run through the hook copies: see the closing test.)
TEST_F(WindowTest, CopyAndSimulationRunThroughTheEngineHook) {
  WriteText(tmp / "master/a.txt", "hello");
  services.askSimulation = [this](std::int16_t& mode, std::string& list) {
    mode = 63;
    list = tmp / "sim.csv";
    return true;
  };
  start(job());
  click("Command1");
  EXPECT_EQ(ui.progressWindow.status + std::to_string(ui.progressWindow.shown) +
                std::to_string(session.window.runActive) + std::to_string(runMarkedActive),
            "Finished!!001");
  click("Command3");
  // Both through the hook, the dialog asked on the window's thread.
  EXPECT_EQ(std::pair(engineRuns, guiThreadCalls), std::pair(2, 1));
  EXPECT_TRUE(stdfs::exists(tmp / "sim.csv"));
}

TEST_F(WindowTest, DriveListShowsUsageAndAVanishedVolumeIsNotReady) {
  if (!tmp.mountTmpfs("volume", "2m")) TOLVAN_CANNOT_RUN_HERE("cannot mount a tmpfs here");
  WriteText(tmp / "volume/one-mebibyte", std::string(1 << 20, 'x'));
  volumes = {{"/", "/dev/root", ""}, {tmp / "volume", "tmpfs", "SPARE"}, {tmp / "gone", "", ""}};
  start(job());
  auto* drives = find<QComboBox>("Drive1");
  ASSERT_EQ(drives->itemText(1).toStdString(), tmp / "volume" + " [SPARE]");
  for (const int chosen : {1, 2}) {  // the vanished volume is refused: back to the last good one
    drives->setCurrentIndex(chosen);
    drives->activated(chosen);
    EXPECT_EQ(drives->currentIndex(), 1);
    EXPECT_EQ(text("Text1") + " " + find<QLabel>("Label10")->text().toStdString(),
              tmp / "volume" + " 1/2MB used");
  }
  EXPECT_EQ(ui.boxes.size() == 1 ? ui.boxes[0].text : "", "デバイスの準備ができていません。");
}

TEST_F(WindowTest, ListAndFileMenuOpenSaveAsAndSaveInTheProgramFolderAFailedSaveIsSaidQuitEnds) {
  WriteText(tmp / "app/a.tvf", job());
  WriteText(tmp / "app/b.tvf", JobFile(tmp / "backup", tmp / "master", {"NomalMode=no"}));
  WriteText(tmp / "app/TvfSet.txt", "a.tvf\r\nb.tvf\r\n\r\n");
  start();
  auto* list = find<QComboBox>("Combo1");
  const auto menu = [this](const char* name, std::optional<std::string> answer) {
    dialogAnswer = std::move(answer);
    find<QAction>(name)->trigger();
  };
  list->activated(1);  // the user picks b.tvf
  EXPECT_EQ(engine.shared.TvfFileName + " " + text("Text1"), "b.tvf " + tmp / "backup");
  menu("mnuOpen", "/elsewhere/a.tvf");  // only the name counts
  EXPECT_EQ(list->itemText(0).toStdString() + " " + text("Text1"), "a.tvf " + tmp / "master");
  click("Option1_1");
  menu("mnuSaveAs", "/elsewhere/new");
  EXPECT_NE(ReadText(tmp / "app/new.tvf").find("NomalMode=no"), std::string::npos);
  EXPECT_EQ(list->itemText(0), "new.tvf");
  click("Check3");
  menu("mnuSave", {});
  EXPECT_NE(ReadText(tmp / "app/new.tvf").find("Size=yes"), std::string::npos);
  menu("mnuOpen", std::nullopt);  // a cancelled Open leaves no current name...
  EXPECT_EQ(engine.shared.TvfFileName, "");
  menu("mnuSave", std::nullopt);  // ...so Save asks for one
  using Kind = ui::MainWindow::FileDialogKind;
  EXPECT_EQ(dialogsShown, (std::vector<Kind>{Kind::Open, Kind::Save, Kind::Open, Kind::Save}));
  // a.tvf again, whose place a folder then takes: the save fails.
  list->activated(list->findText("a.tvf"));
  ASSERT_EQ(engine.shared.TvfFileName, "a.tvf");
  stdfs::remove(tmp / "app/a.tvf");
  stdfs::create_directory(tmp / "app/a.tvf");
  menu("mnuSave", {});
  EXPECT_EQ(ui.boxes.size() == 1 ? ui.boxes[0].text : "", "a.tvf を保存できませんでした。");

  window->move(20, 30);
  click("Command2");  // Quit runs the closing sequence
  EXPECT_TRUE(closed && session.endRequested);
  EXPECT_EQ(settings.get("MainForm", "Top", ""), std::to_string(window->y() * 15));
}

// Minimized with the schedule armed, the window hides into the tray when there is one. Each item
// of the icon's menu does what it says, after the menu has closed; the schedule stays armed
// throughout, and a status can be shown on the icon and at the menu's top.
TEST_F(WindowTest, MinimizingWithTheScheduleArmedHidesIntoTheTrayWhoseMenuShowsRunsAndQuits) {
  trayAvailable = true;
  WriteText(tmp / "master/a.txt", "a");
  std::vector<std::string> reports;
  services.showReport = [&reports](const std::string& name) { reports.push_back(name); };
  start(job());
  const auto minimize = [this] {
    window->showMinimized();
    QCoreApplication::processEvents();
    return std::string(window->isVisible() ? "shown" : "hidden") +
           (window->isMinimized() ? " minimized" : "") +
           (window->notificationIcon().isVisible() ? " in the tray" : "") + ": " +
           window->windowTitle().toStdString();
  };
  EXPECT_EQ(minimize(), "shown minimized: job.tvf");  // the schedule is off
  window->showNormal();
  click("Check2");
  EXPECT_EQ(minimize(), "hidden minimized in the tray: job.tvf");
  EXPECT_EQ(window->notificationIcon().toolTip(), "job.tvf\n次回: 22:13");
  // The right button opens the menu and changes nothing else; the left one shows the window
  // once the icon's handler has returned.
  window->notificationIcon().activated(QSystemTrayIcon::Context);
  QCoreApplication::processEvents();
  EXPECT_TRUE(!window->isVisible() && window->notificationIcon().isVisible());
  window->notificationIcon().activated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(window->notificationIcon().isVisible());  // not from inside its own handler
  QCoreApplication::processEvents();
  EXPECT_EQ(std::to_string(window->isVisible()) + std::to_string(window->isMinimized()) +
                window->windowTitle().toStdString(),
            "10Tolvane");
  trayAvailable = false;
  EXPECT_EQ(minimize(), "shown minimized: job.tvf");
  EXPECT_TRUE(find<QTimer>("Timer1")->isActive());  // the schedule keeps running
  window->showNormal();
  trayAvailable = true;

  ui::TrayIcon& tray = window->tray();
  const auto choose = [&](const char* item) {
    if (window->isVisible()) {
      EXPECT_EQ(minimize(), "hidden minimized in the tray: job.tvf") << item;
    }
    Find<QAction>(tray.menu(), item)->trigger();
    QCoreApplication::processEvents();
  };
  choose("mnuTrayShow");
  EXPECT_TRUE(window->isVisible() && !window->isMinimized());
  choose("mnuTrayRunNow");
  EXPECT_EQ(ReadText(tmp / "backup/a.txt"), "a");
  EXPECT_TRUE(!window->isVisible() && find<QTimer>("Timer1")->isActive());
  choose("mnuTrayLastReport");
  EXPECT_EQ(reports, std::vector<std::string>{kRecentFileName});

  // The icon's tip, then the menu's shown items, a greyed one in brackets.
  const auto told = [&] {
    QStringList lines{window->notificationIcon().toolTip()};
    for (const QAction* action : tray.menu().actions())
      if (action->isVisible() && !action->isSeparator())
        lines << (action->isEnabled() ? action->text() : "[" + action->text() + "]");
    return lines.join('|');
  };
  const QString items = "表示(&S)|今すぐ実行(&R)|最後のレポート(&L)|終了(&Q)";
  tray.setTrayStatus("Last run: 0 errors", "Last run: today 12:00");
  EXPECT_EQ(told(), "job.tvf\nLast run: 0 errors|[Last run: today 12:00]|" + items);
  tray.setTrayStatus({}, {});
  EXPECT_EQ(told(), "job.tvf|" + items);
  choose("mnuTrayQuit");
  EXPECT_TRUE(closed && session.endRequested);
}

// The menus answer their keys, and a run started from the keyboard hands the focus back to
// "Copy" although the window was disabled while it ran.
TEST_F(WindowTest, MenuKeysWorkAndTheFocusComesBackToCopyAfterARun) {
  services.runEngine = [this](const std::function<void()>& work) {
    window->setEnabled(false);  // as the window system does during a run
    work();
    window->setEnabled(true);
    return true;
  };
  int helpShown = 0;
  services.helpTopics = [&helpShown] { ++helpShown; };
  engine.job.XOption = 1;  // no question
  start(job());
  QStringList keys;
  for (const char* name : {"mnuOpen", "mnuSave", "mnuQuit", "mnuTopics"})
    keys << find<QAction>(name)->shortcut().toString();
  EXPECT_EQ(keys.join(' '), "Ctrl+O Ctrl+S Ctrl+Q F1");
  for (QAction* action : window->findChildren<QAction*>())
    EXPECT_TRUE(action->isSeparator() || !action->objectName().startsWith("mnu") ||
                action->text().contains('&'))
        << action->objectName();
  QApplication::setActiveWindow(window.get());
  find("Text1")->setFocus();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QTest::keyClick(window.get(), Qt::Key_F1);
  EXPECT_EQ(helpShown, 1);
  QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
  ASSERT_TRUE(QTest::qWaitFor([this] { return Exists(tmp / "app/Recent.tvr"); }, 5000));
  EXPECT_EQ(QApplication::focusWidget(), find("Command1"));
}

TEST(QuitSignalsTest, ASignalStopsTheRunAndClosesTheWindowOnceTheRunHasEnded) {
  std::atomic<std::int16_t> stopFlag{0};
  bool running = true;
  int asked = 0, closes = 0;  // how often it looked whether the run is still on; closings
  const auto stillRunning = [&] {
    ++asked;
    return running;
  };
  {
    const ui::QuitSignals quitSignals(stopFlag, stillRunning, [&closes] { ++closes; });
    ASSERT_EQ(std::raise(SIGTERM), 0);
    const int stopped = stopFlag.exchange(0);  // at once, even while the run keeps it busy
    // The signal taken, and the run found still on again by the later checks.
    ASSERT_TRUE(QTest::qWaitFor([&] { return asked >= 4; }, 10000));
    const int closesDuringRun = closes;  // never in the middle of a run
    running = false;
    ASSERT_TRUE(QTest::qWaitFor([&] { return closes == 1; }, 10000));
    ASSERT_EQ(std::raise(SIGINT), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return closes == 2; }, 10000));
    EXPECT_EQ(std::to_string(stopped) + std::to_string(closesDuringRun) + std::to_string(closes),
              "102");
  }
  // The default handlers are back: a SIGTERM would end the test program now.
  struct sigaction current {};
  sigaction(SIGTERM, nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace tolvan::testing
