// The schedule check's arithmetic, the runs it starts and the timer frame's controls.
#include <chrono>

#include "conditions/ConditionsFixture.h"
#include "conditions/Tvf.h"
#include "engine/ExitStatus.h"
#include "scheduler/FormSet.h"
#include "scheduler/ScheduleCheck.h"
#include "scheduler/TimeEntry.h"

namespace tolvan::testing {
namespace {

// A session with a settable clock (UTC); its runner records when each run started and ended
// and lets the clock run for the length of a run.
class ScheduleTest : public ConditionsFixture {
 protected:
  ScheduleTest() {
    InstallFormSet(session);
    session.window.from.text = " /m ";
    session.window.to.text = "/b/";
  }

  static std::int64_t UnixTime(int year, int month, int day, int hour, int minute, int second = 0) {
    const std::chrono::sys_days date{std::chrono::year{year} / month / day};
    return date.time_since_epoch().count() * 86400LL + hour * 3600 + minute * 60 + second;
  }

  // Sets the clock, then arms the schedule as a conditions file with the timer on does.
  void arm(std::int64_t now, int dateMode, const std::string& time, std::int16_t once = 0) {
    sys.setNow(now);
    engine.job.DateMode = static_cast<std::int16_t>(dateMode);
    engine.job.Time = time;
    engine.job.Once = once;
    session.formSet(1);
  }

  CheckResult check() {
    const auto runner = [this](Session& s, const std::string& from, const std::string& to) {
      runStarts.push_back(sys.clock);
      paths = from + "|" + to;
      if (onRun) onRun(s);
      sys.advance(runSeconds);
      runEnds.push_back(sys.clock);
      const RunOutcome result = realRuns ? RunScheduledJob(s, from, to) : outcome;
      ends.push_back(result.end);
      return result;
    };
    return Timer1_Timer(session, runner, nullptr);
  }

  // Checks every 58 s until `until`; the clock times at which runs started meanwhile.
  std::vector<std::int64_t> checkEvery58sUntil(std::int64_t until) {
    const auto before = static_cast<long>(runStarts.size());
    for (; sys.clock < until && !session.endRequested; sys.advance(58)) (void)check();
    return {runStarts.begin() + before, runStarts.end()};
  }

  std::int64_t runSeconds = 0;
  bool realRuns = false;  // the real job driver instead of `outcome`
  RunOutcome outcome{RunEnd::Finished, 0};
  std::function<void(Session&)> onRun;
  std::vector<std::int64_t> runStarts, runEnds;
  std::vector<RunEnd> ends;
  std::string paths;
};

TEST_F(ScheduleTest, EveryDayRunsOnceInTheSetMinuteOfEachDayAcrossMidnight) {
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

TEST_F(ScheduleTest, EveryTimeZeroIsTwentyFourHoursAndTheFirstRunComesOneIntervalAfterArming) {
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

TEST_F(ScheduleTest, IntervalCountsFromTheEndOfThePreviousRun) {
  runSeconds = 180;
  arm(UnixTime(2026, 12, 6, 8, 0), 1, "00:10");
  const auto runs = checkEvery58sUntil(sys.clock + 3600);
  ASSERT_GE(runs.size(), 3u);
  for (std::size_t i = 1; i < runs.size(); ++i) {
    EXPECT_GE(runs[i] - runEnds[i - 1], 600);
    EXPECT_LT(runs[i] - runEnds[i - 1], 660);
  }
}

TEST_F(ScheduleTest, OnceEndsAfterTheFirstRunWithTheRunsStatus) {
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

TEST_F(ScheduleTest, ACheckDuringARunStartsNothing) {
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

// A Mirroring job every minute whose master was missing when its conditions file was read.
TEST_F(ScheduleTest, TheTemporaryFolderIsNeverASideAndWithoutAWindowTheDiskIsFound) {
  const auto writeJob = [this](const std::string& from, const std::string& timer) {
    (void)fs.writeFile("/app/job.tvf",
                       "NomalMode=yes\r\nDriveA=" + from +
                           "\r\nDriveB=/b\r\nDateMode=1\r\nTime=00:01\r\nTimer=" + timer + "\r\n");
  };
  realRuns = true;
  fs.addFile("/tmp/other-user.txt", "theirs");
  fs.addFile("/b/kept.txt", "backup");
  writeJob("/disk/m", "yes");
  const std::int64_t armed = UnixTime(2026, 12, 6, 10, 0);
  sys.setNow(armed);
  tvfRead(session);
  ASSERT_EQ(session.window.from.text, "/tmp");
  // With a window the flag holds until the user picks a path: every run is refused.
  (void)checkEvery58sUntil(armed + 240);
  EXPECT_EQ(ends, std::vector<RunEnd>(2, RunEnd::Refused));
  EXPECT_TRUE(fs.exists("/b/kept.txt") && fs.exists("/tmp/other-user.txt"));
  EXPECT_FALSE(fs.exists("/b/other-user.txt"));
  // Without one the file is read again before each run: the disk plugged in is used, and the
  // reading starts no extra run (one interval after the last refused one).
  session.reloadConditions = [this] { tvfRead(session); };
  fs.addDirectory("/disk/m/photos");
  (void)checkEvery58sUntil(sys.clock + 120);
  EXPECT_EQ(runStarts.back(), armed + 348);
  EXPECT_EQ(ends.back(), RunEnd::Finished);
  EXPECT_TRUE(fs.exists("/b/photos"));
  EXPECT_FALSE(fs.exists("/b/other-user.txt"));
  // The file, edited to switch the timer off while a disk is missing, disarms the schedule
  // at its next reading and nothing more runs.
  writeJob("/disk/gone", "yes");
  tvfRead(session);
  writeJob("/disk/m", "no");
  (void)checkEvery58sUntil(sys.clock + 240);
  EXPECT_EQ(ends.size(), 3u);
  EXPECT_FALSE(session.window.timerEnabled);
}

// The spin wraps around midnight, the boxes show two digits, and a typed box that is not a
// time yet keeps the last valid one and is reset when left.
TEST_F(ScheduleTest, TimerFrameSpinAndTypedBoxesSetTheTime) {
  const auto shown = [this] {
    return session.window.hourText + ":" + session.window.minuteText + " " +
           std::to_string(session.window.spinValue) + " " + engine.job.Time;
  };
  SetSpinValue(session, 7 * 60 + 5);
  EXPECT_EQ(shown(), "07:05 425 07:05");
  SetSpinValue(session, 0);
  SpinStep(session, -1);
  EXPECT_EQ(shown(), "23:59 1439 23:59");
  SpinStep(session, +1);
  EXPECT_EQ(shown(), "00:00 0 00:00");
  SetSpinValue(session, 9 * 60 + 30);
  SetTimeBoxText(session, 0, "");    // counts as 00 while typing
  SetTimeBoxText(session, 0, "78");  // not a time yet: the last valid one stays
  Text4_LostFocus(session, 0);
  EXPECT_EQ(shown(), "00:30 30 00:30");
  SetTimeBoxText(session, 0, "3");
  SetTimeBoxText(session, 1, "7");
  Text4_LostFocus(session, 1);
  EXPECT_EQ(shown(), "03:07 187 03:07");
}

}  // namespace
}  // namespace tolvan::testing
