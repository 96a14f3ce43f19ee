#include <gtest/gtest.h>

#include "SchedulerFixture.h"
#include "scheduler/ExitStatus.h"

namespace tolvan::testing {
namespace {

class ScheduleCheckTest : public SchedulerFixture {};

TEST_F(ScheduleCheckTest, EveryDayAtMidnightRunsOnceEachDayAcrossTheDateChange) {
  setClock(2026, 12, 6, 23, 50);
  arm(0, "00:00");
  const auto runs = checkEvery58sUntil(UnixTime(2026, 12, 9, 0, 5, 0));
  ASSERT_EQ(runs.size(), 3u);
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const std::int64_t midnight = UnixTime(2026, 12, 7 + static_cast<int>(i), 0, 0, 0);
    EXPECT_GE(runs[i], midnight);
    EXPECT_LT(runs[i], midnight + 60) << "run " << i << " must come in the set minute";
  }
  EXPECT_EQ(paths.front(), "/m|/b");  // fields trimmed, one trailing separator removed
}

TEST_F(ScheduleCheckTest, EveryDayRunsOnlyOnceWhenTwoChecksFallIntoTheSetMinute) {
  setClock(2026, 12, 6, 6, 59, 59);
  arm(0, "07:00");
  sys.advance(1);  // checks at 07:00:00 and 07:00:58, a run that takes no time
  const auto runs = checkEvery58sUntil(UnixTime(2026, 12, 6, 7, 1, 30));
  EXPECT_EQ(runs.size(), 1u);
}

TEST_F(ScheduleCheckTest, EveryDayIgnoresTheDateAndOtherMinutes) {
  engine.job.DateMode = 0;
  engine.job.Time = "14:20";
  EXPECT_TRUE(IsRunDue(engine.job, MakeDateTime({1999, 1, 1, 14, 20, 59})));
  EXPECT_TRUE(IsRunDue(engine.job, MakeDateTime({2030, 7, 31, 14, 20, 0})));
  EXPECT_FALSE(IsRunDue(engine.job, MakeDateTime({2030, 7, 31, 14, 21, 0})));
  EXPECT_FALSE(IsRunDue(engine.job, MakeDateTime({2030, 7, 31, 2, 20, 0})));
}

TEST_F(ScheduleCheckTest, EveryTimeZeroMeansTwentyFourHours) {
  setClock(2026, 12, 6, 12, 0);
  const std::int64_t armed = sys.clock;
  arm(1, "00:00");
  EXPECT_TRUE(checkEvery58sUntil(armed + 86400 - 58).empty());
  const auto runs = checkEvery58sUntil(armed + 86400 + 60);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_GE(runs[0], armed + 86400);
  EXPECT_LT(runs[0], armed + 86400 + 58);
}

TEST_F(ScheduleCheckTest, IntervalCountsFromTheEndOfThePreviousRun) {
  setClock(2026, 12, 6, 8, 0);
  runSeconds = 180;
  arm(1, "00:10");
  const auto runs = checkEvery58sUntil(sys.clock + 3600);
  ASSERT_GE(runs.size(), 3u);
  for (std::size_t i = 1; i < runs.size(); ++i) {
    const std::int64_t sincePreviousEnd = runs[i] - runEnds[i - 1];
    EXPECT_GE(sincePreviousEnd, 600);
    EXPECT_LT(sincePreviousEnd, 660);
    EXPECT_GE(runs[i] - runs[i - 1], 780);  // never 10 minutes after the previous start
  }
}

TEST_F(ScheduleCheckTest, FirstIntervalRunComesOneIntervalAfterArming) {
  setClock(2026, 12, 6, 9, 0);
  arm(1, "01:00");
  EXPECT_EQ(check(), CheckResult::NotDue);
  const auto runs = checkEvery58sUntil(UnixTime(2026, 12, 6, 10, 2, 0));
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_GE(runs[0], UnixTime(2026, 12, 6, 10, 0, 0));
  EXPECT_LT(runs[0], UnixTime(2026, 12, 6, 10, 0, 58));
}

TEST_F(ScheduleCheckTest, IntervalAtExactlyTheSetTimeIsDueAcrossMidnight) {
  engine.job.DateMode = 1;
  engine.job.Time = "01:00";
  engine.job.TimerStart = MakeDateTime({2026, 12, 6, 23, 30, 0});
  EXPECT_FALSE(IsRunDue(engine.job, MakeDateTime({2026, 12, 7, 0, 29, 59})));
  EXPECT_TRUE(IsRunDue(engine.job, MakeDateTime({2026, 12, 7, 0, 30, 0})));
}

TEST_F(ScheduleCheckTest, OnceEndsAfterTheFirstRunWithTheRunsStatus) {
  setClock(2026, 12, 6, 6, 59, 30);
  outcome = RunOutcome{RunEnd::Finished, 2};
  arm(0, "07:00", -1);
  const auto runs = checkEvery58sUntil(UnixTime(2026, 12, 8, 0, 0, 0));
  EXPECT_EQ(runs.size(), 1u);
  EXPECT_TRUE(session.endRequested);
  EXPECT_EQ(session.endStatus, kExitErrors);
  EXPECT_FALSE(session.window.timerEnabled) << "daily mode stops the timer first";
}

TEST_F(ScheduleCheckTest, OnceInIntervalModeEndsToo) {
  setClock(2026, 12, 6, 6, 0);
  outcome = RunOutcome{RunEnd::Stopped, 0};
  arm(1, "00:05", 1);
  (void)checkEvery58sUntil(sys.clock + 3600);
  EXPECT_EQ(runStarts.size(), 1u);
  EXPECT_TRUE(session.endRequested);
  EXPECT_EQ(session.endStatus, kExitStopped);
}

TEST_F(ScheduleCheckTest, ACheckDuringARunStartsNothing) {
  setClock(2026, 12, 6, 10, 0);
  arm(1, "00:01");
  sys.advance(120);
  std::vector<CheckResult> inner;
  onRun = [&](Session&) {
    sys.advance(600);  // long enough that the schedule is due again
    inner.push_back(check());
  };
  EXPECT_EQ(check(), CheckResult::Ran);
  ASSERT_EQ(inner.size(), 1u);
  EXPECT_EQ(inner[0], CheckResult::Busy);
  EXPECT_EQ(runStarts.size(), 1u);
  EXPECT_FALSE(session.window.runActive);
}

}  // namespace
}  // namespace tolvan::testing
