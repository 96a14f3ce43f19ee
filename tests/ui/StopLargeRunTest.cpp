// "中断" during a 100,000-file run, with the engine on a worker thread and on the GUI thread.
#include <sys/stat.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <cstdio>

#include "RealEngine.h"
#include "ui/ProcessWindow.h"
#include "ui/WorkerRun.h"

namespace tolvan::ui::testing {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFolders = 400;
constexpr int kFilesPerFolder = 250;

// One system call and no descriptor: a thread checker's descriptor bookkeeping would
// otherwise make the tree forty times slower to build.
void MakeEmptyFile(const std::string& path) {
  ASSERT_EQ(::mknod(path.c_str(), S_IFREG | 0644, 0), 0) << path;
}

class StopLargeRunTest : public RealEngineTest {
 protected:
  void SetUp() override {
    const auto started = Clock::now();
    for (int f = 0; f < kFolders; ++f) {
      const std::string folder = master + "/d" + std::to_string(f);
      ASSERT_TRUE(std::filesystem::create_directory(folder)) << folder;
      for (int i = 0; i < kFilesPerFolder; ++i) MakeEmptyFile(folder + "/f" + std::to_string(i));
    }
    std::printf("[ tree     ] %d files made in %lld ms\n", kFolders * kFilesPerFolder,
                static_cast<long long>(Millis(Clock::now() - started)));
    bar = window().findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
    stop = window().findChild<QPushButton*>(QStringLiteral("Command1"));
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(stop, nullptr);
    QObject::connect(bar, &QProgressBar::valueChanged, [this] { ++barUpdates; });
  }

  static long long Millis(Clock::duration span) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(span).count();
  }

  ProcessWindow& window() { return ws.processWindow(); }

  // Presses "中断" once a tenth of the run is done.
  void stopAtATenth() {
    everyTick([this] {
      if (!bar->isVisible() || bar->value() < bar->maximum() / 10) return false;
      clicked = Clock::now();
      QTest::mouseClick(stop, Qt::LeftButton);
      return true;
    });
  }

  // The bar moved in steps of a 400th of the run, not once per entry.
  void expectStepwiseBar() {
    const int step = bar->maximum() / 400;
    EXPECT_GE(bar->maximum(), kFolders * (kFilesPerFolder + 1));
    EXPECT_GE(barUpdates, 40);
    EXPECT_LE(barUpdates, bar->value() / step + 1);
    EXPECT_GE(barUpdates, bar->value() / step - 1);
  }

  void expectStoppedWithin(const RunOutcome& outcome, Clock::time_point ended, const char* how) {
    const long long latency = Millis(ended - clicked);
    std::printf("[ stop     ] %s: run ended %lld ms after the click, bar %d of %d, %d updates\n",
                how, latency, bar->value(), bar->maximum(), barUpdates);
    EXPECT_EQ(outcome.end, RunEnd::Stopped);
    EXPECT_LT(latency, 500);
    EXPECT_EQ(window().findChild<QLabel*>(QStringLiteral("Label7"))->text(),
              QStringLiteral("Finished!!"));
    EXPECT_FALSE(bar->isVisible());
    EXPECT_NE(ReadFile(app + "/Recent.tvr").find("Stopped in the working : "), std::string::npos);
    expectStepwiseBar();
  }

  QProgressBar* bar = nullptr;
  QPushButton* stop = nullptr;
  int barUpdates = 0;
  Clock::time_point clicked;
};

TEST_F(StopLargeRunTest, StopEndsTheRunWithinHalfASecondOnTheWorkerAndOnTheGuiThread) {
  RunOutcome outcome;
  stopAtATenth();
  ASSERT_TRUE(RunOnWorker([&] { outcome = runJob(); }));
  expectStoppedWithin(outcome, Clock::now(), "worker thread");
  EXPECT_FALSE(RunInProgress());
  ws.progress().close();

  // Start-up's unattended run keeps the engine on the GUI thread: the click still gets through.
  barUpdates = 0;
  engine.job.NomalMode = -1;  // Mirroring: the walk of the backup comes first
  stopAtATenth();
  outcome = runJob();
  expectStoppedWithin(outcome, Clock::now(), "GUI thread");
  ws.progress().close();
}

}  // namespace
}  // namespace tolvan::ui::testing
