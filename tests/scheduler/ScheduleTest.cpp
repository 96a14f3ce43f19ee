// The schedule check's arithmetic and the runs it starts (the timer frame's controls are
// driven through the window: tests/ui/MainWindowControlsTest.cpp).
#include <set>

#include "conditions/Tvf.h"
#include "engine/ExitStatus.h"
#include "scheduler/FormSet.h"
#include "scheduler/ScheduleCheck.h"
#include "support/EngineFixture.h"

namespace tolvan::testing {
namespace {

// Seconds since the epoch at a time of December 2026 (UTC).
std::int64_t Dec(int day, int hour, int minute, int second = 0) {
  return 1796083200LL + (day - 1) * 86400LL + hour * 3600 + minute * 60 + second;
}

// A session with a settable clock; its runner records when each run started and ended and
// lets the clock run for the length of a run.
class ScheduleTest : public ConditionsFixture {
 protected:
  ScheduleTest() {
    InstallFormSet(session);
    session.window.from.text = " /m ";
    session.window.to.text = "/b/";
  }

  // Sets the clock, then arms the schedule as a conditions file with the timer on does.
  void arm(std::int64_t now, std::int16_t dateMode, const std::string& time,
           std::int16_t once = 0) {
    sys.clock = now;
    engine.job.DateMode = dateMode, engine.job.Time = time, engine.job.Once = once;
    session.formSet(1);
  }

  CheckResult check() {
    const auto runner = [this](Session& s, const std::string& from, const std::string& to) {
      runStarts.push_back(sys.clock);
      paths = from + "|" + to;
      if (onRun) onRun(s);
      sys.clock += runSeconds;
      runEnds.push_back(sys.clock);
      const RunOutcome result = realRuns ? RunScheduledJob(s, from, to) : outcome;
      ends.push_back(result.end);
      return result;
    };
    return Timer1_Timer(session, runner, nullptr);
  }

  // Checks every 58 s until `until`; the minutes in which runs started meanwhile.
  std::vector<std::int64_t> checkEvery58sUntil(std::int64_t until) {
    const std::size_t before = runStarts.size();
    for (; sys.clock < until && !session.endRequested; sys.clock += 58) (void)check();
    std::vector<std::int64_t> minutes;
    for (std::size_t i = before; i < runStarts.size(); ++i) minutes.push_back(runStarts[i] / 60);
    return minutes;
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
  arm(Dec(6, 23, 50), 0, "00:00");
  EXPECT_EQ(checkEvery58sUntil(Dec(9, 0, 5)),
            (std::vector<std::int64_t>{Dec(7, 0, 0) / 60, Dec(8, 0, 0) / 60, Dec(9, 0, 0) / 60}));
  EXPECT_EQ(paths, "/m|/b");  // fields trimmed, one trailing separator removed
  // Two checks in the set minute (07:00:00 and 07:00:58), a run that takes no time: one run.
  arm(Dec(10, 7, 0), 0, "07:00");
  EXPECT_EQ(checkEvery58sUntil(Dec(10, 7, 1, 30)).size(), 1u);
  // Once: the first run ends the program with its status, the timer stopped before the run.
  outcome = {RunEnd::Finished, 1};  // one error is enough
  arm(Dec(11, 6, 59, 30), 0, "07:00", -1);
  EXPECT_EQ(checkEvery58sUntil(Dec(13, 0, 0)).size(), 1u);
  EXPECT_EQ(session.endRequested ? session.endStatus : -1, kExitErrors);
  EXPECT_FALSE(session.window.timerEnabled);
}

// Every 00:00 is 24 hours; the first run comes one interval after arming, the next ones one
// interval after the end of the previous run, whatever the clock says; a check during a run
// starts nothing; once, the first run ends the program.
TEST_F(ScheduleTest, IntervalsCountFromArmingAndFromTheEndOfThePreviousRun) {
  arm(Dec(6, 12, 0), 1, "00:00");
  EXPECT_EQ(check(), CheckResult::NotDue);
  std::vector<CheckResult> inner;
  onRun = [&](Session&) {
    sys.clock += 600;  // long enough that the schedule is due again
    inner.push_back(check());
  };
  EXPECT_EQ(checkEvery58sUntil(Dec(7, 12, 1)), std::vector<std::int64_t>{Dec(7, 12, 0) / 60});
  EXPECT_EQ(inner, std::vector<CheckResult>{CheckResult::Busy});
  EXPECT_FALSE(session.window.runActive);
  onRun = nullptr;
  // Due at exactly one interval after the start, whatever the local clock says.
  engine.job.Time = "01:00", engine.job.TimerStartMs = 5000;
  const DateTime anyTime = MakeDateTime({2026, 12, 6, 23, 30, 0});
  EXPECT_FALSE(IsRunDue(engine.job, anyTime, 5000 + 3599999));
  EXPECT_TRUE(IsRunDue(engine.job, anyTime, 5000 + 3600000));
  runSeconds = 180;
  arm(Dec(8, 8, 0), 1, "00:10");
  ASSERT_GE(checkEvery58sUntil(sys.clock + 3600).size(), 3u);
  std::set<std::int64_t> gapMinutes;
  for (std::size_t i = 2; i < runStarts.size(); ++i)
    gapMinutes.insert((runStarts[i] - runEnds[i - 1]) / 60);
  EXPECT_EQ(gapMinutes, std::set<std::int64_t>{10});
  // The clock set back an hour (the autumn change, a correction) half an hour after arming an
  // hourly schedule: the run still comes an hour after arming, not two.
  runSeconds = 0;
  const std::int64_t armed = Dec(8, 12, 0);
  arm(armed, 1, "01:00");
  EXPECT_TRUE(checkEvery58sUntil(armed + 1800).empty());
  sys.stepWallClock(-3600);
  const std::int64_t firstCheckAnHourOn = armed + 63 * 58;  // 3654 s after arming
  EXPECT_EQ(checkEvery58sUntil(firstCheckAnHourOn - 3600 + 1),
            std::vector<std::int64_t>{(firstCheckAnHourOn - 3600) / 60});
  outcome = {RunEnd::Stopped, 0};
  arm(Dec(9, 6, 59, 30), 1, "00:05", -1);
  EXPECT_EQ(checkEvery58sUntil(Dec(11, 0, 0)).size(), 1u);
  EXPECT_EQ(session.endRequested ? session.endStatus : -1, kExitStopped);
}

// A Mirroring job every minute whose master was missing when its conditions file was read.
TEST_F(ScheduleTest, TheTemporaryFolderIsNeverASideAndWithoutAWindowTheDiskIsFound) {
  const auto writeJob = [this](const std::string& from, const std::string& timer) {
    writeTvf({"NomalMode=yes", "DriveA=" + from, "DriveB=/b", "DateMode=1", "Time=00:01",
              "Timer=" + timer});
  };
  realRuns = true;
  fs.addFile("/tmp/other-user.txt", "theirs");
  fs.addFile("/b/kept.txt", "backup");
  writeJob("/disk/m", "yes");
  const std::int64_t armed = Dec(6, 10, 0);
  sys.clock = armed;
  tvfRead(session);
  ASSERT_EQ(session.window.from.text, "/tmp");
  // With a window the flag holds until the user picks a path: every run is refused.
  (void)checkEvery58sUntil(armed + 240);
  EXPECT_EQ(ends, std::vector<RunEnd>(2, RunEnd::Refused));
  EXPECT_TRUE(fs.exists("/b/kept.txt") && fs.exists("/tmp/other-user.txt"));
  // Without one the file is read again before each run: the disk plugged in is used, and the
  // reading starts no extra run (one interval after the last refused one).
  session.reloadConditions = [this] { tvfRead(session); };
  fs.addDirectory("/disk/m/photos");
  (void)checkEvery58sUntil(sys.clock + 120);
  EXPECT_EQ(std::tuple(runStarts.back(), ends.back()), std::tuple(armed + 348, RunEnd::Finished));
  EXPECT_TRUE(fs.exists("/b/photos") && !fs.exists("/b/other-user.txt"));
  // The file, edited to switch the timer off while a disk is missing, disarms the schedule
  // at its next reading and nothing more runs.
  writeJob("/disk/gone", "yes");
  tvfRead(session);
  writeJob("/disk/m", "no");
  (void)checkEvery58sUntil(sys.clock + 240);
  EXPECT_EQ(std::tuple(ends.size(), session.window.timerEnabled), std::tuple(3u, false));
}

}  // namespace
}  // namespace tolvan::testing
