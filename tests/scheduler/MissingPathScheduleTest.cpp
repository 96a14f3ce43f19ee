// Scheduled runs of a job whose master was missing when its conditions file was read.
#include <gtest/gtest.h>

#include "SchedulerFixture.h"
#include "conditions/Tvf.h"

namespace tolvan::testing {
namespace {

class MissingPathScheduleTest : public SchedulerFixture {
 protected:
  // A Mirroring job every minute.
  void writeJob(const std::string& from, const std::string& timer) {
    (void)fs.writeFile("/app/job.tvf",
                       "NomalMode=yes\r\nDriveA=" + from +
                           "\r\nDriveB=/b\r\nDateMode=1\r\nTime=00:01\r\nTimer=" + timer + "\r\n");
  }

  // Schedule checks every 58 s for `seconds` with the real job driver.
  void checkFor(std::int64_t seconds) {
    const auto runner = [&](Session& s, const std::string& from, const std::string& to) {
      runStarts.push_back(sys.clock);
      const RunOutcome result = RunScheduledJob(s, from, to);
      ends.push_back(result.end);
      return result;
    };
    for (const std::int64_t until = sys.clock + seconds; sys.clock < until; sys.advance(58)) {
      (void)Timer1_Timer(session, runner, nullptr);
    }
  }

  std::vector<RunEnd> ends;
};

TEST_F(MissingPathScheduleTest, TheTemporaryFolderIsNeverASideAndWithoutAWindowTheDiskIsFound) {
  fs.addDirectory("/tmp");
  fs.addFile("/tmp/other-user.txt", "theirs");
  fs.addFile("/b/kept.txt", "backup");
  writeJob("/disk/m", "yes");
  const std::int64_t armed = UnixTime(2026, 12, 6, 10, 0);
  sys.setNow(armed);
  tvfRead(session);
  ASSERT_EQ(session.window.from.text, "/tmp");
  // With a window the flag holds until the user picks a path: every run is refused.
  checkFor(240);
  EXPECT_EQ(ends, std::vector<RunEnd>(2, RunEnd::Refused));
  EXPECT_TRUE(fs.exists("/b/kept.txt") && fs.exists("/tmp/other-user.txt"));
  EXPECT_FALSE(fs.exists("/b/other-user.txt"));

  // Without one the file is read again before each run: the disk plugged in is used, and the
  // reading starts no extra run (one interval after the last refused one).
  session.reloadConditions = [this] { tvfRead(session); };
  fs.addDirectory("/disk/m/photos");
  checkFor(120);
  EXPECT_EQ(runStarts.back(), armed + 348);
  EXPECT_EQ(ends.back(), RunEnd::Finished);
  EXPECT_TRUE(fs.exists("/b/photos"));
  EXPECT_FALSE(fs.exists("/b/other-user.txt"));

  // The file, edited to switch the timer off while a disk is missing, disarms the schedule
  // at its next reading and nothing more runs.
  writeJob("/disk/gone", "yes");
  tvfRead(session);
  writeJob("/disk/m", "no");
  checkFor(240);
  EXPECT_EQ(ends.size(), 3u);
  EXPECT_FALSE(session.window.timerEnabled);
}

}  // namespace
}  // namespace tolvan::testing
