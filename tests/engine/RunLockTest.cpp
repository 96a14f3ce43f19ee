#include "engine/RunLock.h"

#include "engine/Report.h"
#include "support/EngineFixture.h"

namespace tolvan {
namespace {

class RunLockTest : public testing::EngineFixture {
 protected:
  [[nodiscard]] std::int16_t wait() { return WaitForReport(engine, "/app/report.tvr"); }
};

TEST_F(RunLockTest, FreeReportNeedsNoDialogAndAnOpenReportIsBusy) {
  EXPECT_EQ(wait(), 0);
  EXPECT_EQ(ui.waitDialogsShown, 0);
  EXPECT_EQ(fs.contentOf("/app/report.tvr"), "");
  EXPECT_TRUE(fs.exists("/app/Recent.tvr"));
  EXPECT_EQ(ReportWritable(engine), 0);  // nothing was left held
  WriteReport(engine, ReportLineKind::OpenReport, "", -1, "/m", "/b");
  EXPECT_EQ(ReportWritable(engine), -1);
  WriteReport(engine, ReportLineKind::CloseReport, "", -1);
  EXPECT_EQ(ReportWritable(engine), 0);
}

TEST_F(RunLockTest, DialogPollsUntilTheOtherProcessLetsGo) {
  fs.lockByOtherProcess("/app/report.tvr");
  EXPECT_EQ(ReportWritable(engine), -1);
  int polls = 0;
  ui.onWaitPoll = [&](int n) {
    polls = n;
    if (n == 3) fs.unlockByOtherProcess("/app/report.tvr");
  };
  EXPECT_EQ(wait(), 0);
  EXPECT_EQ(polls, 3);
  EXPECT_EQ(ui.waitDialogsShown, 1);
  EXPECT_EQ(ui.waitCaption, "job.tvf  Waiting");
}

TEST_F(RunLockTest, RecentLockedAloneKeepsWaitingUntilCancelled) {
  fs.lockByOtherProcess("/app/Recent.tvr");
  ui.cancelWaitAfterPolls = 4;
  int polls = 0;
  ui.onWaitPoll = [&](int n) { polls = n; };
  EXPECT_EQ(wait(), -1);
  EXPECT_EQ(polls, 4);
  EXPECT_EQ(fs.contentOf("/app/report.tvr"), "");  // only tested, never kept
  fs.unlockByOtherProcess("/app/Recent.tvr");
  EXPECT_EQ(wait(), 0);
}

}  // namespace
}  // namespace tolvan
