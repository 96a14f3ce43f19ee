// The main window's runs, closing, drive lists, saved-job list, menus and notification icon.
#include "UiTest.h"

namespace tolvan::testing {
namespace {

// Closing the main window while a run goes on: the run is never abandoned.
TEST_F(WindowTest, ClosingDuringARunAsksAndAStopEndsTheReportBeforeTheWindowCloses) {
  struct {
    const char* name;
    bool sessionEnds;                // the desktop session ends instead of the user closing
    platform::MessageAnswer answer;  // to the question, when one is asked
    bool stops;                      // the run stops and the window closes after it
  } const cases[] = {
      {"user, OK", false, platform::MessageAnswer::Ok, true},
      {"user, Cancel", false, platform::MessageAnswer::Cancel, false},
      {"session end", true, platform::MessageAnswer::Cancel, true},
  };
  for (int i = 0; i < 30; ++i) WriteFile(tmp / ("master/f" + std::to_string(i)), "x");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    stdfs::remove_all(tmp / "backup");
    stdfs::create_directory(tmp / "backup");
    // Measuring these lets window events run: the close comes then.
    for (int i = 0; i < 10; ++i) WriteFile(tmp / ("backup/old" + std::to_string(i)), "x");
    ui.boxes.clear();
    ui.answers = {platform::MessageAnswer::Ok, c.answer};  // the run's confirmation first
    start(job());
    bool closed = false;
    QObject::connect(window.get(), &ui::MainWindow::closed, [&closed] { closed = true; });
    bool closedDuringRun = true;
    const long before = ui.eventCount;
    ui.onEvents = [&](long count) {
      if (count != before + 5) return;
      if (c.sessionEnds)
        window->endSession();
      else
        window->close();  // as the window manager's close button does
      closedDuringRun = closed;
    };
    click("Command1");
    ui.onEvents = nullptr;

    EXPECT_FALSE(closedDuringRun);  // never while the run goes on
    EXPECT_EQ(closed, c.stops);
    EXPECT_EQ(window->isVisible(), !c.stops);
    ASSERT_EQ(ui.boxes.size(), c.sessionEnds ? 1U : 2U);
    EXPECT_EQ(ui.boxes.back().buttons, platform::MessageButtons::OkCancel);
    const std::string report = ReadFile(tmp / "app/Recent.tvr");
    const std::size_t at = report.rfind(c.stops ? "Stopped in the working : " : "Finished Time : ");
    ASSERT_NE(at, std::string::npos) << report;
    EXPECT_EQ(report.substr(report.find("\r\n", at)), "\r\n\r\n\r\n") << report;
    // A whole run leaves the master's 30 files and its folder "sub", and nothing else.
    const auto entries = std::distance(stdfs::directory_iterator(tmp / "backup"), {});
    EXPECT_EQ(entries != 31, c.stops) << entries << " entries in the backup";
    window.reset();
    session.endRequested = false;
  }
}

TEST_F(WindowTest, CopySimulationAndTheScheduleRunThroughTheEngineHook) {
  WriteFile(tmp / "master/a.txt", "hello");
  services.askSimulation = [this](std::int16_t& mode, std::string& list) {
    mode = 63;
    list = tmp / "sim.csv";
    return true;
  };
  start(job());
  click("Command1");
  EXPECT_EQ(engineRuns, 1);
  EXPECT_TRUE(runMarkedActive);
  EXPECT_TRUE(stdfs::exists(tmp / "backup/a.txt"));
  EXPECT_EQ(ui.progressWindow.status, "Finished!!");
  EXPECT_FALSE(ui.progressWindow.shown);
  EXPECT_FALSE(session.window.runActive);

  click("Command3");
  EXPECT_EQ(engineRuns, 2);
  EXPECT_EQ(guiThreadCalls, 1);  // the dialog is asked on the window's thread
  EXPECT_TRUE(stdfs::exists(tmp / "sim.csv"));

  // A daily schedule due this minute (the fake clock's 22:13 UTC).
  WriteFile(tmp / "master/b.txt", "later");
  engine.job.Time = "22:13";
  click("Check2");
  find<QTimer>("Timer1")->timeout({});
  EXPECT_EQ(engineRuns, 3);
  EXPECT_TRUE(stdfs::exists(tmp / "backup/b.txt"));
}

TEST_F(WindowTest, DriveListShowsUsageAndAVanishedVolumeIsNotReady) {
  if (!tmp.mountTmpfs("volume", "2m")) GTEST_SKIP() << "cannot mount a tmpfs here";
  WriteFile(tmp / "volume/one-mebibyte", std::string(1 << 20, 'x'));
  volumes = {{"/", "/dev/root", ""}, {tmp / "volume", "tmpfs", "SPARE"}, {tmp / "gone", "", ""}};
  start(job());
  auto* drives = find<QComboBox>("Drive1");
  ASSERT_EQ(drives->count(), 3);
  EXPECT_EQ(drives->itemText(1).toStdString(), tmp / "volume" + " [SPARE]");
  for (const int chosen : {1, 2}) {  // the vanished volume is refused: back to the last good one
    drives->setCurrentIndex(chosen);
    drives->activated(chosen);
    EXPECT_EQ(drives->currentIndex(), 1);
    EXPECT_EQ(text("Text1"), tmp / "volume");
    EXPECT_EQ(find<QLabel>("Label10")->text(), "1/2MB used");
  }
  ASSERT_EQ(ui.boxes.size(), 1U);
  EXPECT_EQ(ui.boxes[0].text, "デバイスの準備ができていません。");
}

TEST_F(WindowTest, ListAndFileMenuOpenSaveAsAndSaveInTheProgramFolderAndAFailedSaveIsSaid) {
  WriteFile(tmp / "app/a.tvf", job());
  WriteFile(tmp / "app/b.tvf", JobFile(tmp / "backup", tmp / "master", {{"NomalMode", "no"}}));
  WriteFile(tmp / "app/TvfSet.txt", "a.tvf\r\nb.tvf\r\n\r\n");
  start();
  auto* list = find<QComboBox>("Combo1");
  list->activated(1);  // the user picks b.tvf
  EXPECT_EQ(engine.shared.TvfFileName + " " + text("Text1"), "b.tvf " + tmp / "backup");
  EXPECT_TRUE(checked("Option1_1"));

  dialogAnswers = {std::string("/elsewhere/a.tvf")};  // only the name counts
  find<QAction>("mnuOpen")->trigger();
  EXPECT_EQ(list->itemText(0).toStdString() + " " + text("Text1"), "a.tvf " + tmp / "master");

  click("Option1_1");
  dialogAnswers = {std::string("/elsewhere/new")};
  find<QAction>("mnuSaveAs")->trigger();
  EXPECT_NE(ReadFile(tmp / "app/new.tvf").find("NomalMode=no"), std::string::npos);
  EXPECT_EQ(list->itemText(0), "new.tvf");

  click("Check3");
  find<QAction>("mnuSave")->trigger();
  EXPECT_NE(ReadFile(tmp / "app/new.tvf").find("Size=yes"), std::string::npos);

  dialogAnswers = {std::nullopt};  // a cancelled Open leaves no current name...
  find<QAction>("mnuOpen")->trigger();
  EXPECT_EQ(engine.shared.TvfFileName, "");
  find<QAction>("mnuSave")->trigger();  // ...so Save asks for one
  using Kind = ui::MainWindow::FileDialogKind;
  EXPECT_EQ(dialogsShown, (std::vector<Kind>{Kind::Open, Kind::Save, Kind::Open, Kind::Save}));
  EXPECT_TRUE(ui.boxes.empty());

  // a.tvf again, whose place a folder then takes: the save fails.
  list->activated(list->findText("a.tvf"));
  ASSERT_EQ(engine.shared.TvfFileName, "a.tvf");
  stdfs::remove(tmp / "app/a.tvf");
  stdfs::create_directory(tmp / "app/a.tvf");
  find<QAction>("mnuSave")->trigger();
  ASSERT_EQ(ui.boxes.size(), 1U);
  EXPECT_EQ(ui.boxes[0].text, "a.tvf を保存できませんでした。");
}

TEST_F(WindowTest, MinimizingWithTheScheduleArmedHidesIntoTheTrayOnlyWhenThereIsOne) {
  trayAvailable = true;
  start(job());
  const auto state = [this] {
    return std::string(window->isVisible() ? "shown" : "hidden") +
           (window->isMinimized() ? " minimized" : "") +
           (window->notificationIcon().isVisible() ? " in the tray" : "") + ": " +
           window->windowTitle().toStdString();
  };
  window->showMinimized();  // the schedule is off: an ordinary minimized window
  EXPECT_EQ(state(), "shown minimized: job.tvf");
  window->showNormal();
  EXPECT_EQ(state(), "shown: Tolvane");

  click("Check2");
  window->showMinimized();
  QCoreApplication::processEvents();
  EXPECT_EQ(state(), "hidden minimized in the tray: job.tvf");
  EXPECT_EQ(window->notificationIcon().toolTip(), "job.tvf");
  window->notificationIcon().activated(QSystemTrayIcon::Trigger);
  EXPECT_EQ(state(), "shown: Tolvane");

  trayAvailable = false;
  window->showMinimized();
  QCoreApplication::processEvents();
  EXPECT_EQ(state(), "shown minimized: job.tvf");
  EXPECT_TRUE(find<QTimer>("Timer1")->isActive());  // the schedule keeps running
}

TEST_F(WindowTest, AboutShowsTheVersionAndQuitRunsTheClosingSequence) {
  start();
  find<QAction>("mnuAbout")->trigger();
  ASSERT_EQ(ui.boxes.size(), 1U);
  EXPECT_EQ(ui.boxes[0].text, "Tolvane  Ver.1.00");
  bool closed = false;
  QObject::connect(window.get(), &ui::MainWindow::closed, [&closed] { closed = true; });
  window->move(20, 30);
  click("Command2");
  EXPECT_TRUE(closed);
  EXPECT_TRUE(session.endRequested);
  EXPECT_EQ(settings.get("MainForm", "Top", ""), std::to_string(window->y() * 15));
}

}  // namespace
}  // namespace tolvan::testing
