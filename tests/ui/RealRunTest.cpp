// Runs of the real engine on the real platform under the desktop window system: "中断" during a
// 100,000-file run, and the wait while another instance holds the report files.
#include <chrono>

#include "UiTest.h"
#include "engine/JobDriver.h"
#include "platform/LinuxSystemInfo.h"
#include "ui/ProcessWindow.h"
#include "ui/QtWindowSystem.h"
#include "ui/WorkerRun.h"

namespace tolvan::testing {
namespace {

using Clock = std::chrono::steady_clock;

// The engine on the real platform under the desktop window system, in the window tests'
// folders. Backup mode, report on, unattended (no confirmation).
class RealRunTest : public WindowTest {
 protected:
  RealRunTest() {
    desktop.shared.AppPath = app;
    desktop.shared.TvfFileName = "job.tvf";
    desktop.job.NomalMode = 0;
    desktop.job.Report = -1;
    desktop.job.XOption = 1;
    ws.watchStopFlag(&desktop.run.StopFlag);
  }

  [[nodiscard]] RunOutcome runJob() {
    std::int16_t timer = 0;
    return RunJob(desktop, master, backup, timer);
  }

  // Calls `check` on the GUI thread every few milliseconds until it returns true.
  void everyTick(std::function<bool()> check) {
    ticker.disconnect();
    QObject::connect(&ticker, &QTimer::timeout, [this, check = std::move(check)] {
      if (check()) ticker.stop();
    });
    ticker.start(2);
  }

  const std::string app = tmp / "app";
  const std::string master = tmp / "master";
  const std::string backup = tmp / "backup";
  ui::QtWindowSystem ws{settings};
  platform::LinuxSystemInfo clock;
  Engine desktop{Services{fs, trash, ws, clock}};
  QTimer ticker;
  QProgressBar* bar = Find<QProgressBar>(ws.processWindow(), "ProgressBar1");
};

TEST_F(RealRunTest, StopEndsTheRunWithinHalfASecondOnTheWorkerAndOnTheGuiThread) {
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
      QTest::mouseClick(Find<QPushButton>(ws.processWindow(), "Command1"), Qt::LeftButton);
      return true;
    });
    RunOutcome outcome;
    // Start-up's unattended run keeps the engine on the GUI thread: the click still gets through.
    ASSERT_TRUE(!onWorker || ui::RunOnWorker([&] { outcome = runJob(); }));
    if (!onWorker) outcome = runJob();
    const auto latency = (Clock::now() - clicked) / std::chrono::milliseconds(1);
    EXPECT_EQ(outcome.end, RunEnd::Stopped);
    EXPECT_LT(latency, 500) << "ms after the click";
    EXPECT_EQ(Find<QLabel>(ws.processWindow(), "Label7")->text(), "Finished!!");
    EXPECT_FALSE(bar->isVisible() || ui::RunInProgress());
    EXPECT_NE(ReadText(app + "/Recent.tvr").find("Stopped in the working : "), std::string::npos);
    // The bar moved in steps of a 400th of the run, not once per entry.
    EXPECT_GE(bar->maximum(), kFolders * (kFiles + 1));
    EXPECT_GE(barUpdates, 40);
    EXPECT_LE(std::abs(barUpdates - bar->value() / (bar->maximum() / 400)), 1);
    ws.progress().close();
    barUpdates = 0;
    desktop.job.NomalMode = -1;  // Mirroring next: the walk of the backup comes first
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

TEST_F(RealRunTest, TheRunWaitsForTheOtherInstanceAndGoesOnByItselfOrIsCancelled) {
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
