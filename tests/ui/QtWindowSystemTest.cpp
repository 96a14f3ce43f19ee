// The desktop window system: the progress window, the run's question, the worker's questions,
// and runs of the real engine under it: "中断" during a 100,000-file run, and the wait while
// another instance holds the report files.
#include "UiTest.h"
#include "ui/ProcessWindow.h"
#include "ui/WorkerRun.h"

namespace tolvan::testing {
namespace {

// The desktop window system, and the real engine under it.
class QtWindowSystemTest : public RealEngineTest {
 protected:
  ui::ProcessWindow& processWindow = ws.processWindow();
  QProgressBar* bar = Find<QProgressBar>(processWindow, "ProgressBar1");
};

TEST_F(QtWindowSystemTest, ProgressPlacementOnScreenLongPathsStopButtonStatusColourAndClosing) {
  for (const auto& [key, value] :
       {std::pair{"Top", "-15"}, {"Left", "1500"}, {"Height", "3000"}, {"Width", "7500"}})
    settings.set("ProcessForm", key, value);
  const auto shownAt = [this] {
    ws.progress().show();
    return QRect(processWindow.pos(), processWindow.size());
  };
  const auto storedOnClose = [this] {  // in twips: top, left, height, width
    ws.progress().close();
    std::string values;
    for (const char* key : {"Top", "Left", "Height", "Width"})
      values += settings.get("ProcessForm", key, "-") + " ";
    return values;
  };
  std::atomic<std::int16_t> stopFlag{0};
  ws.watchStopFlag(&stopFlag);
  EXPECT_EQ(shownAt(), QRect(100, 60, 500, 200));  // top: 900 twips
  processWindow.move(30, 45);
  processWindow.resize(520, 210);
  EXPECT_EQ(storedOnClose(), "675 450 3150 7800 ");
  EXPECT_EQ(shownAt(), QRect(30, 45, 520, 210));
  processWindow.move(-20, 45);  // partly off the screen: not stored
  EXPECT_EQ(storedOnClose(), "675 450 3150 7800 ");
  const int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
  settings.set("ProcessForm", "Top", std::to_string(screenHeight * 15));
  EXPECT_EQ(shownAt().topLeft(), QPoint(30, 60));

  // The status takes its colour, and every showing starts as designed.
  auto* status = Find<QLabel>(processWindow, "Label7");
  ws.progress().setStatus("バックアップドライブ　チェック中!!", platform::kColourRed);
  ws.progress().setEstimateHeadingVisible(true);
  ws.progress().setStopButtonVisible(false);
  const QColor statusColour = status->palette().color(QPalette::WindowText);
  EXPECT_TRUE(statusColour.red() > 0 && statusColour.green() == 0 && statusColour.blue() == 0 &&
              status->font().bold())
      << statusColour.name();  // red, as dark as the window colour needs
  ws.progress().close();
  ws.progress().show();
  EXPECT_TRUE(status->text().isEmpty() && !Find(processWindow, "Label5")->isVisible() &&
              Find(processWindow, "Command1")->isVisible());
  ws.progress().close();

  // With 210-character paths the window keeps to the main window's screen and shortens each
  // path in its middle, whole in the tip and the description. Closing it while the run can be
  // stopped asks; only OK stops, and the window stays until the run ends.
  QWidget mainWindow;
  ws.setMainWindow(&mainWindow);
  settings.set("ProcessForm", "Left", "150000");
  settings.set("ProcessForm", "Width", "75000");  // 5,000 pixels
  ws.progress().show();
  const QString paths = "/m/" + QString(207, 'f') + " ･･･> /b/" + QString(207, 't');
  ws.progress().setPaths(paths.toStdString());
  const QRect room = mainWindow.screen()->availableGeometry();
  EXPECT_TRUE(room.contains(QRect(processWindow.pos(), processWindow.size())))
      << processWindow.x() << "+" << processWindow.width() << " on " << room.width();
  const auto* label = Find<QLabel>(processWindow, "Label1");
  EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width());
  EXPECT_TRUE(label->text().startsWith("/m/ff") && label->text().contains("f ･･･> /b/t") &&
              label->text().count("…") == 2 && label->text().endsWith("tt"))
      << label->text();
  EXPECT_EQ(label->toolTip() + "|" + label->accessibleDescription(), paths + "|" + paths);

  QStringList asked;
  for (const auto answer : {QMessageBox::Cancel, QMessageBox::Ok}) {
    OnNextModalDialog([&asked, answer](QDialog* dialog) {
      auto* box = qobject_cast<QMessageBox*>(dialog);
      asked << box->text().section('\n', 0, 0);
      box->button(answer)->click();
    });
    processWindow.close();
    EXPECT_TRUE(processWindow.isVisible());
    EXPECT_EQ(stopFlag.load(), answer == QMessageBox::Ok ? -1 : 0);
  }
  processWindow.close();  // already stopping: no second question
  EXPECT_EQ(asked, QStringList({"実行中の処理を中断しますか？", "実行中の処理を中断しますか？"}));
  ws.progress().close();  // the run's end
  EXPECT_FALSE(processWindow.isVisible());
}

// The worker's boxes are shown on the GUI thread, while a second run is refused. The run's
// question shows each side's path on a line of its own, shortened in its middle when it is too
// long, with the whole paths in the details; no line is wrapped.
TEST_F(QtWindowSystemTest, TheWorkersBoxesShowEachPathOnItsOwnLineWhileASecondRunIsRefused) {
  QWidget mainWindow;
  ws.setMainWindow(&mainWindow);
  mainWindow.show();
  const QString longPath = "/srv/archive/" + QString(30, 'x') + "/" + QString(40, 'y') +
                           "/photos/2024/summer/end-of-path";
  std::vector<std::string> seen;  // what the GUI thread saw of each box
  QStringList paths;              // each box's path line, then its details
  bool secondRan = false;
  const QMessageBox::StandardButton presses[] = {QMessageBox::Cancel, QMessageBox::No};
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible() || seen.size() == 2) return;
    const QCursor* cursor = QApplication::overrideCursor();
    const bool secondStarted = ui::RunOnWorker([&] { secondRan = true; });
    const auto* label = Find<QLabel>(*box, "qt_msgbox_label");
    const QStringList lines = box->text().split('\n');
    const bool fits = std::ranges::all_of(lines, [label](const QString& line) {
      return label->fontMetrics().horizontalAdvance(line) <= label->contentsRect().width();
    });
    paths << lines.value(1) << box->detailedText();
    seen.push_back(
        std::to_string(box->icon()) + (secondStarted ? " second run started" : "") +
        (box->parentWidget() == &mainWindow ? " owned" : " unowned") +
        (mainWindow.isEnabled() ? "" : ", main window disabled") +
        (cursor != nullptr && cursor->shape() == Qt::WaitCursor ? ", busy: " : ": ") +
        QStringList{lines.value(0), lines.value(2), lines.value(3)}.join('|').toStdString() + " " +
        std::to_string(lines.size()) + (fits ? "" : " wrapped"));
    QTest::mouseClick(box->button(presses[seen.size() - 1]), Qt::LeftButton);
  });
  answerer.start(5);
  const auto question = [](const QString& from) {
    return "  Copy from   ' " + from.toStdString() + " '   to   ' /mnt/b/backup '  ";
  };
  std::vector<platform::MessageAnswer> answers;
  bool workerOffGuiThread = false;
  ASSERT_TRUE(ui::RunOnWorker([&] {
    workerOffGuiThread = QThread::currentThread() != qApp->thread();
    answers.push_back(ws.messageBox(question("/home/a/master"), "Tolvan32",
                                    platform::MessageIcon::Exclamation,
                                    platform::MessageButtons::OkCancel));
    ws.setBusy(true);
    answers.push_back(ws.messageBox(question(longPath), "Question", platform::MessageIcon::Question,
                                    platform::MessageButtons::YesNo));
    ws.setBusy(false);
  }));
  EXPECT_TRUE(workerOffGuiThread);
  EXPECT_EQ(answers, (std::vector{platform::MessageAnswer::Cancel, platform::MessageAnswer::No}));
  // Busy: the main window is disabled, so it cannot own the box (which would be disabled too).
  // The icons: 2 is a warning, 4 a question. A box made on the worker would not be seen at all.
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "2 owned: Copy from|to|/mnt/b/backup 4",
                      "4 unowned, main window disabled, busy: Copy from|to|/mnt/b/backup 4"}));
  EXPECT_EQ(paths.value(0) + paths.value(1), "/home/a/master");  // nothing shortened: no details
  EXPECT_TRUE(paths.value(2).startsWith("/srv/archive/") &&
              paths.value(2).endsWith("end-of-path") &&
              paths.value(3).split('\n').contains(longPath))
      << paths.join('|');
  EXPECT_FALSE(secondRan || ui::RunInProgress());
  EXPECT_TRUE(mainWindow.isEnabled() && QApplication::overrideCursor() == nullptr);
}

TEST_F(QtWindowSystemTest, StopEndsTheRunBeforeHalfOfItOnTheWorkerAndOnTheGuiThread) {
  constexpr int kFolders = 400, kFiles = 250;
  for (int f = 0; f < kFolders; ++f) {
    const std::string folder = master + "/d" + std::to_string(f);
    ASSERT_TRUE(stdfs::create_directory(folder)) << folder;
    // One system call and no descriptor: a thread checker's descriptor bookkeeping would
    // otherwise make the tree forty times slower to build.
    for (int i = 0; i < kFiles; ++i)
      ASSERT_EQ(::mknod((folder + "/f" + std::to_string(i)).c_str(), S_IFREG | 0644, 0), 0);
  }
  for (const bool onWorker : {true, false}) {
    SCOPED_TRACE(onWorker ? "worker thread" : "GUI thread");
    QTimer presser;  // presses "中断" once a tenth of the run is done
    QObject::connect(&presser, &QTimer::timeout, [&] {
      if (!bar->isVisible() || bar->value() < bar->maximum() / 10) return;
      QTest::mouseClick(Find<QPushButton>(processWindow, "Command1"), Qt::LeftButton);
      presser.stop();
    });
    presser.start(2);
    RunOutcome outcome;
    // Start-up's unattended run keeps the engine on the GUI thread: the click still gets through.
    ASSERT_TRUE(!onWorker || ui::RunOnWorker([&] { outcome = runJob(); }));
    if (!onWorker) outcome = runJob();
    EXPECT_EQ(outcome.end, RunEnd::Stopped);
    // Heard at the next entries, not near the end of the run.
    EXPECT_LT(bar->value(), bar->maximum() / 2);
    EXPECT_EQ(Find<QLabel>(processWindow, "Label7")->text(), "Finished!!");
    EXPECT_FALSE(bar->isVisible() || ui::RunInProgress());
    EXPECT_NE(ReadText(app + "/Recent.tvr").find("Stopped in the working : "), std::string::npos);
    EXPECT_GE(bar->maximum(), kFolders * (kFiles + 1));  // the bar's step is the engine's
    ws.progress().close();
    engine.job.NomalMode = -1;  // Mirroring next: the walk of the backup comes first
  }
}

// The wait for another instance, asked from the worker, runs on the GUI thread: it polls
// until the other instance lets go, or gives the run up when Cancel is pressed.
TEST_F(QtWindowSystemTest, TheWaitPollsUntilTheOtherInstanceLetsGoOrIsCancelled) {
  for (const bool cancel : {false, true}) {
    SCOPED_TRACE(cancel ? "cancelled" : "let go");
    int polls = 0;
    QString caption;
    QStringList cut;  // texts not shown whole
    OnNextModalDialog([&](QDialog* wait) {
      caption = wait->windowTitle();
      for (const char* name : {"Label1", "Label2"}) {
        const auto* label = Find<QLabel>(*wait, name);
        const QRect room = label->contentsRect();
        const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, room.width(), 100000),
                                                               Qt::TextWordWrap, label->text());
        if (needed.height() > room.height() || needed.width() > room.width()) cut << label->text();
      }
      if (cancel) Click(*wait, "Command1");
    });
    bool cancelled = !cancel;
    ASSERT_TRUE(ui::RunOnWorker([&] {
      cancelled = ws.runWaitDialog(
          "job.tvf  Waiting",
          "現在、他のＴＬＶ３２が実行中か、レポートファイルに書き込みできません。",
          "実行可能な状態になるまで待機中です。しばらくお待ち下さい。コピーを中止する場合は、以下の"
          "ボタンを押して下さい。",
          [&] { return ++polls == 20; });
    }));
    EXPECT_EQ(cut, QStringList());
    EXPECT_EQ(caption + " " + QString::number(cancelled),
              "job.tvf  Waiting " + QString::number(cancel));
    EXPECT_EQ(polls == 20, !cancel) << polls;
  }
}

}  // namespace
}  // namespace tolvan::testing
