// Runs of the real engine on the real platform under the desktop window system: "中断" during a
// 100,000-file run, and the wait while another instance holds the report files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    ticker.setInterval(2);
    QObject::connect(bar, &QProgressBar::valueChanged, [this] { ++barUpdates; });
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
    ticker.start();
  }

  const std::string app = tmp / "app";
  const std::string master = tmp / "master";
  const std::string backup = tmp / "backup";
  ui::QtWindowSystem ws{settings};
  platform::LinuxSystemInfo clock;
  Engine desktop{Services{fs, trash, ws, clock}};
  QTimer ticker;
  QProgressBar* bar = Find<QProgressBar>(ws.processWindow(), "ProgressBar1");
  int barUpdates = 0;
  Clock::time_point clicked;
};

constexpr int kFolders = 400;
constexpr int kFilesPerFolder = 250;

class StopLargeRunTest : public RealRunTest {
 protected:
  void SetUp() override {
    for (int f = 0; f < kFolders; ++f) {
      const std::string folder = master + "/d" + std::to_string(f);
      ASSERT_TRUE(stdfs::create_directory(folder)) << folder;
      // One system call and no descriptor: a thread checker's descriptor bookkeeping would
      // otherwise make the tree forty times slower to build.
      for (int i = 0; i < kFilesPerFolder; ++i) {
        const std::string file = folder + "/f" + std::to_string(i);
        ASSERT_EQ(::mknod(file.c_str(), S_IFREG | 0644, 0), 0) << file;
      }
    }
  }

  // Presses "中断" once a tenth of the run is done.
  void stopAtATenth() {
    everyTick([this] {
      if (!bar->isVisible() || bar->value() < bar->maximum() / 10) return false;
      clicked = Clock::now();
      QTest::mouseClick(Find<QPushButton>(ws.processWindow(), "Command1"), Qt::LeftButton);
      return true;
    });
  }

  void expectStoppedSoon(const RunOutcome& outcome, const char* how) {
    const auto latency = Clock::now() - clicked;
    EXPECT_EQ(outcome.end, RunEnd::Stopped);
    EXPECT_LT(latency, std::chrono::milliseconds(500))
        << how << ": ended " << latency / std::chrono::milliseconds(1) << " ms after the click";
    EXPECT_EQ(Find<QLabel>(ws.processWindow(), "Label7")->text(), "Finished!!");
    EXPECT_FALSE(bar->isVisible());
    EXPECT_NE(ReadFile(app + "/Recent.tvr").find("Stopped in the working : "), std::string::npos);
    // The bar moved in steps of a 400th of the run, not once per entry.
    const int step = bar->maximum() / 400;
    EXPECT_GE(bar->maximum(), kFolders * (kFilesPerFolder + 1));
    EXPECT_GE(barUpdates, 40);
    EXPECT_LE(barUpdates, bar->value() / step + 1);
    EXPECT_GE(barUpdates, bar->value() / step - 1);
    ws.progress().close();
    barUpdates = 0;
  }
};

TEST_F(StopLargeRunTest, StopEndsTheRunWithinHalfASecondOnTheWorkerAndOnTheGuiThread) {
  RunOutcome outcome;
  stopAtATenth();
  ASSERT_TRUE(ui::RunOnWorker([&] { outcome = runJob(); }));
  expectStoppedSoon(outcome, "worker thread");
  EXPECT_FALSE(ui::RunInProgress());

  // Start-up's unattended run keeps the engine on the GUI thread: the click still gets through.
  desktop.job.NomalMode = -1;  // Mirroring: the walk of the backup comes first
  stopAtATenth();
  expectStoppedSoon(runJob(), "GUI thread");
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
  WriteFile(master + "/first.txt", "first");
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
  EXPECT_EQ(ReadFile(backup + "/first.txt"), "first");
  EXPECT_NE(ReadFile(app + "/Recent.tvr").find("New File : " + backup + "/first.txt"),
            std::string::npos);
  ws.progress().close();

  // Cancel gives the run up before anything is copied or written.
  WriteFile(master + "/second.txt", "second");
  held = HoldReports(app);
  ASSERT_FALSE(held.empty());
  const std::string reportBefore = ReadFile(app + "/report.tvr");
  everyTick([&] {
    if (WaitDialog() == nullptr) return false;
    Click(*WaitDialog(), "Command1");
    return true;
  });
  ASSERT_TRUE(ui::RunOnWorker([&] { outcome = runJob(); }));
  EXPECT_EQ(outcome.end, RunEnd::Abandoned);
  EXPECT_FALSE(stdfs::exists(backup + "/second.txt"));
  LetGo(held);
  EXPECT_EQ(ReadFile(app + "/report.tvr"), reportBefore);
}

}  // namespace
}  // namespace tolvan::testing
