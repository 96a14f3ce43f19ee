#include "engine/RunLock.h"

#include <cerrno>

#include "engine/Report.h"
#include "support/EngineFixture.h"

namespace tolvan {
namespace {

using platform::OpenMode;

class RunLockTest : public testing::EngineFixture {
 protected:
  [[nodiscard]] std::int16_t wait() { return WaitForReport(engine, "/app/report.tvr"); }
  // What another instance gets when it tries to take `path` now: 0 when it could (and lets
  // go again), else the error.
  [[nodiscard]] int otherInstanceTakes(const std::string& path) {
    int error = 0;
    auto file = fs.openLocked(path, OpenMode::Append, error);
    return file != nullptr ? 0 : error;
  }
};

// The wait's result is the run's open report: another instance starting between the wait and
// the header finds it taken, before the rotation as after it.
TEST_F(RunLockTest, TheWaitTakesTheReportAndNoOtherInstanceSlipsInBeforeItsClose) {
  sys.setNow(1699956800);  // 2023-11-14
  engine.shared.ReportSize = 1;
  fs.addFile("/app/report.tvr", std::string(1025, 'o'));
  EXPECT_EQ(wait(), 0);
  EXPECT_EQ(ui.waitDialogsShown, 0);
  const auto bothTaken = [&](int error) {
    EXPECT_EQ(otherInstanceTakes("/app/report.tvr"), error);
    EXPECT_EQ(otherInstanceTakes("/app/Recent.tvr"), error);
  };
  bothTaken(EAGAIN);
  WriteReport(engine, ReportLineKind::OpenReport, "", -1, "/m", "/b");
  EXPECT_EQ(fs.contentOf("/app/report23111400.tvr"), std::string(1025, 'o'));
  EXPECT_EQ(otherInstanceTakes("/app/report23111400.tvr"), 0) << "the rotated file is let go";
  bothTaken(EAGAIN);
  EXPECT_EQ(recentLines(), reportLines());
  WriteReport(engine, ReportLineKind::CloseReport, "", -1);
  bothTaken(0);
}

// A report held by another instance is polled until let go, Recent.tvr held elsewhere until
// the wait is cancelled; a file that cannot be opened for any other reason ends the wait at
// once with a message naming it.
TEST_F(RunLockTest, OnlyAnotherInstancesLockIsWaitedFor) {
  fs.lockByOtherProcess("/app/report.tvr");
  ui.onWaitPoll = [&](int n) {
    if (n == 3) fs.unlockByOtherProcess("/app/report.tvr");
  };
  EXPECT_EQ(wait(), 0);
  EXPECT_TRUE(engine.report.isOpen());
  WriteReport(engine, ReportLineKind::CloseReport, "", -1);
  fs.lockByOtherProcess("/app/Recent.tvr");
  ui.cancelWaitAfterPolls = 4;
  int polls = 0;
  ui.onWaitPoll = [&](int n) { polls = n; };
  EXPECT_EQ(wait(), -1);
  EXPECT_EQ(polls, 4);
  EXPECT_FALSE(engine.report.isOpen());
  EXPECT_EQ(otherInstanceTakes("/app/report.tvr"), 0) << "a cancelled wait holds nothing";
  EXPECT_TRUE(ui.boxes.empty());
  fs.unlockByOtherProcess("/app/Recent.tvr");
  fs.addFile("/app/Recent.tvr", "last run\r\n");
  fs.failOn(platform::FakeFileSystem::Op::Open, "/app/report.tvr", EACCES);
  EXPECT_EQ(wait(), -1);
  EXPECT_EQ(ui.waitDialogsShown, 2) << "no third dialog";
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Cannot write the report file /app/report.tvr: Permission denied");
  EXPECT_EQ(otherInstanceTakes("/app/Recent.tvr"), 0) << "nothing is left held";
  EXPECT_EQ(fs.contentOf("/app/Recent.tvr"), "last run\r\n") << "nor emptied";
}

}  // namespace
}  // namespace tolvan
