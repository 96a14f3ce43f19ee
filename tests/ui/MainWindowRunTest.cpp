// The main window's timer frame, drive lists, runs, menu commands and notification icon.
#include <QAction>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QScrollBar>

#include "MainWindowFixture.h"

namespace tolvan::testing {
namespace {

void LeaveBox(QLineEdit* box) {
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(box, &out);
}

TEST_F(MainWindowTest, TimerFrameSpinWrapsBoxesAreCorrectedAndCopyFollowsTheTimer) {
  writeFile("app/job.tvf", JobFile(tmp / "master", tmp / "backup"));
  start();
  auto* spin = find<QScrollBar>("VScroll2");
  spin->setValue(5);
  EXPECT_EQ(text("Text4_0") + ":" + text("Text4_1"), "00:05");
  spin->setValue(0);
  spin->triggerAction(QAbstractSlider::SliderSingleStepSub);  // the upper arrow
  EXPECT_EQ(text("Text4_0") + ":" + text("Text4_1"), "23:59");
  EXPECT_EQ(spin->value(), 1439);
  EXPECT_EQ(engine.job.Time, "23:59");
  spin->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(text("Text4_0") + ":" + text("Text4_1"), "00:00");

  auto* hours = find<QLineEdit>("Text4_0");
  hours->selectAll();
  QTest::keyClicks(hours, "25");
  EXPECT_EQ(text("Text4_0"), "25");  // not corrected while typing
  LeaveBox(hours);
  EXPECT_EQ(text("Text4_0"), "0");
  EXPECT_EQ(engine.job.Time, "00:00");
  QTest::keyClicks(find<QLineEdit>("Text4_1"), "7");  // "007" is cut to two characters
  LeaveBox(find<QLineEdit>("Text4_1"));
  EXPECT_EQ(engine.job.Time, "00:00");

  click("Check2");  // the list's read left the window open for this arming
  EXPECT_FALSE(find<QAbstractButton>("Command1")->isEnabled());
  EXPECT_TRUE(find<QLabel>("Label8")->isVisibleTo(window.get()));
  EXPECT_TRUE(find<QTimer>("Timer1")->isActive());
  EXPECT_FALSE(window->isMinimized());
  click("Check2");
  EXPECT_TRUE(find<QAbstractButton>("Command1")->isEnabled());
  EXPECT_FALSE(find<QLabel>("Label8")->isVisibleTo(window.get()));
  EXPECT_FALSE(find<QTimer>("Timer1")->isActive());
  click("Check2");  // arming by hand again minimizes
  EXPECT_TRUE(window->isMinimized());
}

TEST_F(MainWindowTest, DriveListShowsUsageAndAVanishedVolumeIsNotReady) {
  if (!tmp.mountTmpfs("volume", "2m")) GTEST_SKIP() << "cannot mount a tmpfs here";
  std::ofstream(tmp / "volume/one-mebibyte", std::ios::binary) << std::string(1 << 20, 'x');
  volumes = {{"/", "/dev/root", ""}, {tmp / "volume", "tmpfs", "SPARE"}, {tmp / "gone", "", ""}};
  writeFile("app/job.tvf", JobFile(tmp / "master", tmp / "backup"));
  start();
  auto* drives = find<QComboBox>("Drive1");
  ASSERT_EQ(drives->count(), 3);
  EXPECT_EQ(drives->itemText(1).toStdString(), tmp / "volume" + " [SPARE]");
  drives->setCurrentIndex(1);
  drives->activated(1);
  EXPECT_EQ(find<QLabel>("Label10")->text().toStdString(), "1/2MB used");
  EXPECT_EQ(text("Text1"), tmp / "volume");

  drives->setCurrentIndex(2);
  drives->activated(2);
  ASSERT_EQ(ui.boxes.size(), 1U);
  EXPECT_EQ(ui.boxes[0].text, "デバイスの準備ができていません。");
  EXPECT_EQ(drives->currentIndex(), 1);  // back to the last good volume
  EXPECT_EQ(text("Text1"), tmp / "volume");
  EXPECT_EQ(find<QLabel>("Label10")->text().toStdString(), "1/2MB used");
}

TEST_F(MainWindowTest, CopySimulationAndTheScheduleRunThroughTheEngineHook) {
  writeFile("master/a.txt", "hello");
  writeFile("app/job.tvf", JobFile(tmp / "master", tmp / "backup"));
  services.askSimulation = [this](std::int16_t& mode, std::string& list) {
    mode = 63;
    list = tmp / "sim.csv";
    return true;
  };
  start();
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
  writeFile("master/b.txt", "later");
  engine.job.Time = "22:13";
  click("Check2");
  find<QTimer>("Timer1")->timeout({});
  EXPECT_EQ(engineRuns, 3);
  EXPECT_TRUE(stdfs::exists(tmp / "backup/b.txt"));
}

TEST_F(MainWindowTest, MinimizingWithTheScheduleArmedHidesIntoTheTrayOnlyWhenThereIsOne) {
  writeFile("app/job.tvf", JobFile(tmp / "master", tmp / "backup"));
  trayAvailable = true;
  start();
  window->showMinimized();  // the schedule is off: an ordinary minimized window
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle().toStdString(), "job.tvf");
  window->showNormal();
  EXPECT_EQ(window->windowTitle().toStdString(), "Tolvane");

  click("Check2");
  window->showMinimized();
  QCoreApplication::processEvents();
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(window->notificationIcon().isVisible());
  EXPECT_EQ(window->notificationIcon().toolTip().toStdString(), "job.tvf");
  window->notificationIcon().activated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->isMinimized());
  EXPECT_FALSE(window->notificationIcon().isVisible());
  EXPECT_EQ(window->windowTitle().toStdString(), "Tolvane");

  trayAvailable = false;
  window->showMinimized();
  QCoreApplication::processEvents();
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->notificationIcon().isVisible());
  EXPECT_TRUE(find<QTimer>("Timer1")->isActive());  // the schedule keeps running
}

TEST_F(MainWindowTest, AboutShowsTheVersionAndQuitRunsTheClosingSequence) {
  start();
  find<QAction>("mnuAbout")->trigger();
  ASSERT_EQ(ui.boxes.size(), 1U);
  EXPECT_EQ(ui.boxes[0].text, "Tolvane  Ver.1.00");
  EXPECT_EQ(ui.boxes[0].icon, platform::MessageIcon::Question);

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
