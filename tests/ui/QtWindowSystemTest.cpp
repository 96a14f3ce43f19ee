// The desktop window system: the progress window, the run's question, the worker's questions,
// and runs of the real engine under it: "中断" during a 100,000-file run, and the wait while
// another instance holds the report files.
#include <chrono>

#include "UiTest.h"
#include "ui/ProcessWindow.h"
#include "ui/WorkerRun.h"

namespace tolvan::testing {
namespace {

using Clock = std::chrono::steady_clock;
using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

// The desktop window system, and the real engine under it.
class QtWindowSystemTest : public RealEngineTest {
 protected:
  ui::ProcessWindow& processWindow = ws.processWindow();
  platform::ProgressWindow& progress = ws.progress();
  QProgressBar* bar = Find<QProgressBar>(processWindow, "ProgressBar1");
};

// The stored placement, in twips: top, left, height, width.
std::vector<std::string> Placement(platform::FakeSettingsStore& settings) {
  std::vector<std::string> values;
  for (const char* key : {"Top", "Left", "Height", "Width"})
    values.push_back(settings.get("ProcessForm", key, "-"));
  return values;
}

TEST_F(QtWindowSystemTest, ProgressPlacementInTwipsOnlyOnScreenStopButtonAndStatusColour) {
  const std::vector<std::string> stored{"675", "450", "3150", "7800"};
  for (const auto& [key, value] :
       {std::pair{"Top", "-15"}, {"Left", "1500"}, {"Height", "3000"}, {"Width", "7500"}})
    settings.set("ProcessForm", key, value);
  std::atomic<std::int16_t> stopFlag{0};
  ws.watchStopFlag(&stopFlag);
  progress.show();
  EXPECT_EQ(QRect(processWindow.pos(), processWindow.size()),
            QRect(100, 60, 500, 200));  // top: 900 twips
  processWindow.move(30, 45);
  processWindow.resize(520, 210);
  progress.close();
  EXPECT_EQ(Placement(settings), stored);
  progress.show();
  EXPECT_EQ(QRect(processWindow.pos(), processWindow.size()), QRect(30, 45, 520, 210));
  processWindow.move(-20, 45);  // partly off the screen: not stored
  progress.close();
  EXPECT_EQ(Placement(settings), stored);
  const int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
  settings.set("ProcessForm", "Top", std::to_string(screenHeight * 15));
  progress.show();
  EXPECT_EQ(processWindow.pos(), QPoint(30, 60));
  processWindow.close();  // from the frame: hides the window but never stops the run; "中断" does
  EXPECT_EQ(stopFlag.load(), 0);

  // The status takes its colour, and every showing starts as designed.
  auto* status = Find<QLabel>(processWindow, "Label7");
  progress.show();
  progress.setStatus("バックアップドライブ　チェック中!!", platform::kColourRed);
  progress.setEstimateHeadingVisible(true);
  progress.setStopButtonVisible(false);
  EXPECT_TRUE(status->palette().color(QPalette::WindowText) == Qt::red && status->font().bold());
  progress.close();
  progress.show();
  EXPECT_TRUE(status->text().isEmpty());
  EXPECT_TRUE(!Find(processWindow, "Label5")->isVisible() &&
              Find(processWindow, "Command1")->isVisible());
  QTest::mouseClick(Find<QPushButton>(processWindow, "Command1"), Qt::LeftButton);
  EXPECT_EQ(stopFlag.load(), -1);
}

// The run's question shows each side's path on a line of its own, shortened in its middle
// when it is too long, with the whole paths in the details; no line is wrapped.
TEST_F(QtWindowSystemTest, EachPathOnItsOwnLineShortenedInTheMiddleWithTheWholeInTheDetails) {
  const QString longPath = "/srv/archive/" + QString(30, 'x') + "/" + QString(40, 'y') +
                           "/photos/2024/summer/end-of-path";
  for (const QString& from : {QStringLiteral("/home/a/master"), longPath}) {
    SCOPED_TRACE(from.toStdString());
    QStringList lines;
    QString details;
    bool fits = false;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      const auto* label = Find<QLabel>(*box, "qt_msgbox_label");
      lines = box->text().split('\n');
      details = box->detailedText();
      fits = std::ranges::all_of(lines, [label](const QString& line) {
        return label->fontMetrics().horizontalAdvance(line) <= label->contentsRect().width();
      });
      box->reject();
    });
    (void)ws.messageBox("  Copy from   ' " + from.toStdString() + " '   to   ' /mnt/b/backup '  ",
                        "Tolvan32", MessageIcon::Exclamation, MessageButtons::OkCancel);
    ASSERT_EQ(lines.size(), 4) << lines.join('|');
    EXPECT_EQ(lines[0] + "|" + lines[2] + "|" + lines[3], "Copy from|to|/mnt/b/backup");
    EXPECT_TRUE(fits);
    if (from == longPath)
      EXPECT_TRUE(lines[1].startsWith("/srv/archive/") && lines[1].endsWith("end-of-path") &&
                  details.split('\n').contains(from));
    else
      EXPECT_EQ(lines[1] + details, from);
  }
}

TEST_F(QtWindowSystemTest, TheWorkersBoxesAreAnsweredOnTheGuiThreadWhileASecondRunIsRefused) {
  QWidget mainWindow;
  ws.setMainWindow(&mainWindow);
  mainWindow.show();
  std::vector<std::string> seen;  // what the GUI thread saw of each box
  const QMessageBox::StandardButton presses[] = {QMessageBox::Cancel, QMessageBox::No};
  bool secondRan = false;
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible() || seen.size() == 2) return;
    const QCursor* cursor = QApplication::overrideCursor();
    const bool secondStarted = ui::RunOnWorker([&] { secondRan = true; });
    seen.push_back(std::to_string(box->icon()) + (secondStarted ? " second run started" : "") +
                   (box->parentWidget() == &mainWindow ? " owned" : " unowned") +
                   (mainWindow.isEnabled() ? "" : ", main window disabled") +
                   (cursor != nullptr && cursor->shape() == Qt::WaitCursor ? ", busy: " : ": ") +
                   box->text().toStdString());
    QTest::mouseClick(box->button(presses[seen.size() - 1]), Qt::LeftButton);
  });
  answerer.start(5);
  std::vector<MessageAnswer> answers;
  bool workerOffGuiThread = false;
  ASSERT_TRUE(ui::RunOnWorker([&] {
    workerOffGuiThread = QThread::currentThread() != qApp->thread();
    answers.push_back(
        ws.messageBox("a to b", "Tolvan32", MessageIcon::Exclamation, MessageButtons::OkCancel));
    ws.setBusy(true);
    answers.push_back(
        ws.messageBox("続けますか？", "Question", MessageIcon::Question, MessageButtons::YesNo));
    ws.setBusy(false);
  }));
  EXPECT_TRUE(workerOffGuiThread);
  EXPECT_EQ(answers, (std::vector<MessageAnswer>{MessageAnswer::Cancel, MessageAnswer::No}));
  // Busy: the main window is disabled, so it cannot own the box (which would be disabled too).
  // The icons: 2 is a warning, 4 a question. A box made on the worker would not be seen at all.
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "2 owned: a to b", "4 unowned, main window disabled, busy: 続けますか？"}));
  EXPECT_FALSE(secondRan || ui::RunInProgress());
  EXPECT_TRUE(mainWindow.isEnabled() && QApplication::overrideCursor() == nullptr);
}

TEST_F(QtWindowSystemTest, StopEndsTheRunWithinHalfASecondOnTheWorkerAndOnTheGuiThread) {
  constexpr int kFolders = 400;
  constexpr int kFiles = 250;
  for (int f = 0; f < kFolders; ++f) {
    const std::string folder = master + "/d" + std::to_string(f);
    ASSERT_TRUE(stdfs::create_directory(folder)) << folder;
    // One system call and no descriptor: a thread checker's descriptor bookkeeping would
    // otherwise make the tree forty times slower to build.
    for (int i = 0; i < kFiles; ++i)
      ASSERT_EQ(::mknod((folder + "/f" + std::to_string(i)).c_str(), S_IFREG | 0644, 0), 0);
  }
  int barUpdates = 0;
  QObject::connect(bar, &QProgressBar::valueChanged, [&barUpdates] { ++barUpdates; });
  for (const bool onWorker : {true, false}) {
    SCOPED_TRACE(onWorker ? "worker thread" : "GUI thread");
    Clock::time_point clicked;
    everyTick([&] {  // presses "中断" once a tenth of the run is done
      if (!bar->isVisible() || bar->value() < bar->maximum() / 10) return false;
      clicked = Clock::now();
      QTest::mouseClick(Find<QPushButton>(processWindow, "Command1"), Qt::LeftButton);
      return true;
    });
    RunOutcome outcome;
    // Start-up's unattended run keeps the engine on the GUI thread: the click still gets through.
    ASSERT_TRUE(!onWorker || ui::RunOnWorker([&] { outcome = runJob(); }));
    if (!onWorker) outcome = runJob();
    const auto latency = (Clock::now() - clicked) / std::chrono::milliseconds(1);
    EXPECT_EQ(outcome.end, RunEnd::Stopped);
    EXPECT_LT(latency, 500) << "ms after the click";
    EXPECT_EQ(Find<QLabel>(processWindow, "Label7")->text(), "Finished!!");
    EXPECT_FALSE(bar->isVisible() || ui::RunInProgress());
    EXPECT_NE(ReadText(app + "/Recent.tvr").find("Stopped in the working : "), std::string::npos);
    // The bar moved in steps of a 400th of the run, not once per entry.
    EXPECT_GE(bar->maximum(), kFolders * (kFiles + 1));
    EXPECT_GE(barUpdates, 40);
    EXPECT_LE(std::abs(barUpdates - bar->value() / (bar->maximum() / 400)), 1);
    ws.progress().close();
    barUpdates = 0;
    engine.job.NomalMode = -1;  // Mirroring next: the walk of the backup comes first
  }
}

// Locks both report files the way another running instance does (a lock on an open file of
// its own); closing the files lets go. Nothing when a lock could not be taken.
std::vector<int> HoldReports(const std::string& app) {
  std::vector<int> held;
  for (const char* name : {"/report.tvr", "/Recent.tvr"}) {
    held.push_back(::open((app + name).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    struct flock lock {};
    lock.l_type = F_WRLCK;
    if (::fcntl(held.back(), F_OFD_SETLK, &lock) != 0) return {};
  }
  return held;
}

void LetGo(std::vector<int>& held) {
  for (const int fd : held) ::close(fd);
  held.clear();
}

QWidget* WaitDialog() {
  QWidget* modal = QApplication::activeModalWidget();
  return modal != nullptr && modal->objectName() == "TlvWait" ? modal : nullptr;
}

TEST_F(QtWindowSystemTest, TheRunWaitsForTheOtherInstanceAndGoesOnByItselfOrIsCancelled) {
  WriteText(master + "/first.txt", "first");
  std::vector<int> held = HoldReports(app);
  ASSERT_FALSE(held.empty());
  int ticksSeen = 0;
  QString caption;
  everyTick([&] {
    if (WaitDialog() == nullptr) return false;
    caption = WaitDialog()->windowTitle();
    // The dialog keeps waiting while the files are held; then the other instance ends.
    if (++ticksSeen < 20) return false;
    LetGo(held);
    return true;
  });
  RunOutcome outcome;
  ASSERT_TRUE(ui::RunOnWorker([&] { outcome = runJob(); }));
  EXPECT_EQ(ticksSeen, 20);
  EXPECT_EQ(caption, "job.tvf  Waiting");
  EXPECT_EQ(outcome.end, RunEnd::Finished);
  EXPECT_NE(ReadText(app + "/Recent.tvr").find("New File : " + backup + "/first.txt"),
            std::string::npos);
  ws.progress().close();

  // Cancel gives the run up before anything is copied or written.
  WriteText(master + "/second.txt", "second");
  held = HoldReports(app);
  ASSERT_FALSE(held.empty());
  const std::string reportBefore = ReadText(app + "/report.tvr");
  everyTick([&] {
    if (WaitDialog() == nullptr) return false;
    Click(*WaitDialog(), "Command1");
    return true;
  });
  ASSERT_TRUE(ui::RunOnWorker([&] { outcome = runJob(); }));
  EXPECT_EQ(outcome.end, RunEnd::Abandoned);
  EXPECT_FALSE(stdfs::exists(backup + "/second.txt"));
  LetGo(held);
  EXPECT_EQ(ReadText(app + "/report.tvr"), reportBefore);
}

}  // namespace
}  // namespace tolvan::testing
