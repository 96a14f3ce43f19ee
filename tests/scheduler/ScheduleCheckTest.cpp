#include <gtest/gtest.h>

#include "SchedulerFixture.h"
#include "engine/ExitStatus.h"

namespace tolvan::testing {
namespace {

class ScheduleCheckTest : public SchedulerFixture {};

TEST_F(ScheduleCheckTest, EveryDayRunsOnceInTheSetMinuteOfEachDayAcrossMidnight) {
  arm(UnixTime(2026, 12, 6, 23, 50), 0, "00:00");
  const auto runs = checkEvery58sUntil(UnixTime(2026, 12, 9, 0, 5));
  ASSERT_EQ(runs.size(), 3u);
  for (int day = 0; day < 3; ++day) {
    const std::int64_t midnight = UnixTime(2026, 12, 7 + day, 0, 0);
    EXPECT_GE(runs[day], midnight);
    EXPECT_LT(runs[day], midnight + 60) << "day " << day;
  }
  EXPECT_EQ(paths, "/m|/b");  // fields trimmed, one trailing separator removed
  // Two checks in the set minute (07:00:00 and 07:00:58), a run that takes no time: one run.
  arm(UnixTime(2026, 12, 10, 7, 0), 0, "07:00");
  EXPECT_EQ(checkEvery58sUntil(UnixTime(2026, 12, 10, 7, 1, 30)).size(), 1u);
}

TEST_F(ScheduleCheckTest, EveryTimeZeroIsTwentyFourHoursAndTheFirstRunComesOneIntervalAfterArming) {
  const std::int64_t armed = UnixTime(2026, 12, 6, 12, 0);
  arm(armed, 1, "00:00");
  EXPECT_EQ(check(), CheckResult::NotDue);
  EXPECT_TRUE(checkEvery58sUntil(armed + 86400 - 58).empty());
  const auto runs = checkEvery58sUntil(armed + 86400 + 60);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_GE(runs[0], armed + 86400);
  EXPECT_LT(runs[0], armed + 86400 + 58);
  // Due at exactly one interval after the start, across midnight too.
  engine.job.Time = "01:00";
  engine.job.TimerStart = MakeDateTime({2026, 12, 6, 23, 30, 0});
  EXPECT_FALSE(IsRunDue(engine.job, MakeDateTime({2026, 12, 7, 0, 29, 59})));
  EXPECT_TRUE(IsRunDue(engine.job, MakeDateTime({2026, 12, 7, 0, 30, 0})));
}

TEST_F(ScheduleCheckTest, IntervalCountsFromTheEndOfThePreviousRun) {
  runSeconds = 180;
  arm(UnixTime(2026, 12, 6, 8, 0), 1, "00:10");
  const auto runs = checkEvery58sUntil(sys.clock + 3600);
  ASSERT_GE(runs.size(), 3u);
  for (std::size_t i = 1; i < runs.size(); ++i) {
    EXPECT_GE(runs[i] - runEnds[i - 1], 600);
    EXPECT_LT(runs[i] - runEnds[i - 1], 660);
  }
}

TEST_F(ScheduleCheckTest, OnceEndsAfterTheFirstRunWithTheRunsStatus) {
  const struct {
    int dateMode;
    RunOutcome outcome;
    int status;
  } cases[] = {{0, {RunEnd::Finished, 2}, kExitErrors}, {1, {RunEnd::Stopped, 0}, kExitStopped}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dateMode);
    session.endRequested = false;
    runStarts.clear();
    outcome = c.outcome;
    arm(UnixTime(2026, 12, 6, 6, 59, 30), c.dateMode, c.dateMode == 0 ? "07:00" : "00:05", -1);
    (void)checkEvery58sUntil(UnixTime(2026, 12, 8, 0, 0));
    EXPECT_EQ(runStarts.size(), 1u);
    EXPECT_TRUE(session.endRequested);
    EXPECT_EQ(session.endStatus, c.status);
    if (c.dateMode == 0) {
      EXPECT_FALSE(session.window.timerEnabled) << "daily mode stops the timer before the run";
    }
  }
}

TEST_F(ScheduleCheckTest, ACheckDuringARunStartsNothing) {
  arm(UnixTime(2026, 12, 6, 10, 0), 1, "00:01");
  sys.advance(120);
  std::vector<CheckResult> inner;
  onRun = [&](Session&) {
    sys.advance(600);  // long enough that the schedule is due again
    inner.push_back(check());
  };
  EXPECT_EQ(check(), CheckResult::Ran);
  EXPECT_EQ(inner, std::vector<CheckResult>{CheckResult::Busy});
  EXPECT_EQ(runStarts.size(), 1u);
  EXPECT_FALSE(session.window.runActive);
}

}  // namespace
}  // namespace tolvan::testing
