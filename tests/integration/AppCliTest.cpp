// The real tolvan32 program run end to end: exit statuses, report files, signals.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "ProgramRunner.h"

namespace tolvan::testing {
namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

bool AnyContains(const std::vector<std::string>& lines, const std::string& part) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return Contains(line, part); });
}

// Waits until `done` holds, for at most 5 s; false on time-out.
bool WaitFor(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// True once the child has ended, leaving it to be waited for.
bool HoldsPartialCopy(const std::string& folder) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored))
    if (Contains(entry.path().filename().string(), ".tolvan32-partial-")) return true;
  return false;
}

class AppCliTest : public ProgramTest {
 protected:
  AppCliTest() {
    std::filesystem::create_directories(master + "/写真");
    WriteText(master + "/写真/旅行.txt", "京都\n");
    WriteText(master + "/top.txt", "top\n");
  }
};

TEST_F(AppCliTest, UnattendedRunWritesBothReportsAndExitsZero) {
  WriteText(backup + "/stale.txt", "gone after the run\n");
  writeJob(backup);
  const ProgramResult first = run({"/X", "job.tvf"});
  ASSERT_EQ(first.exitStatus, 0) << first.err;
  EXPECT_EQ(ReadText(backup + "/写真/旅行.txt"), "京都\n");
  const auto lines = recentLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(Contains(lines[0], "** File Mirroring Report **") && Contains(lines[0], "job.tvf"));
  EXPECT_TRUE(AnyContains(actionLines(), "Delete File : " + backup + "/stale.txt"));
  EXPECT_TRUE(AnyContains(actionLines(), "旅行.txt"));
  const std::string firstReport = ReadText(home + "/Recent.tvr");
  EXPECT_TRUE(Contains(firstReport, "\r\n"));

  // A display named but gone (a stale DISPLAY) is no reason to fail: the run goes on without.
  environment.push_back("DISPLAY=:4093");
  const ProgramResult second = run({"/x", "job"});
  ASSERT_EQ(second.exitStatus, 0) << second.err;
  EXPECT_TRUE(Contains(second.err, "the display does not answer")) << second.err;
  EXPECT_EQ(actionLines(), std::vector<std::string>{}) << "nothing left to copy";
  EXPECT_EQ(ReadText(home + "/report.tvr"), firstReport + ReadText(home + "/Recent.tvr"));
}

TEST_F(AppCliTest, ErrorsCountedGiveStatusOne) {
  // In Backup mode a backup folder facing a master file is an error on every run.
  std::filesystem::create_directories(backup + "/top.txt");
  writeJob(backup, {"NomalMode=no"});
  const ProgramResult result = run({"/X", "job.tvf"});
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  EXPECT_TRUE(AnyContains(actionLines(), "Error : "));
  EXPECT_TRUE(Exists(backup + "/写真/旅行.txt")) << "the run goes on after the error";
}

TEST_F(AppCliTest, RefusedJobsEndWithStatusTwoAndCopyNothing) {
  writeJob(backup);
  ASSERT_EQ(run({"job.tvf", "/X"}).exitStatus, 0);  // the list now holds job.tvf
  ASSERT_EQ(std::remove((backup + "/top.txt").c_str()), 0);
  const struct {
    std::string to;                  // the job's DriveB
    std::vector<std::string> extra;  // lines after the job's own
    std::string name;                // the conditions file named on the command line
    std::string message;             // on standard error
  } cases[] = {{master, {}, "job.tvf", "Can't do it.  Check your setting file!"},
               {backup, {}, "jbo.tvf", "jbo.tvf"},  // not the list's first job instead
               {backup, {"no equals sign"}, "bad.tvf", "bad.tvfの記述内容に誤りがあります。"},
               {tmp / "no-such-backup", {}, "job.tvf", ""}};  // in Recent.tvr, below
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name + " to " + c.to);
    writeJob(c.to, c.extra);
    if (c.name == "bad.tvf") std::filesystem::rename(home + "/job.tvf", home + "/bad.tvf");
    const ProgramResult result = run({"/X", c.name});
    EXPECT_EQ(result.exitStatus, 2) << result.err;
    EXPECT_TRUE(Contains(result.err, c.message)) << result.err;
    EXPECT_FALSE(Exists(backup + "/top.txt"));
  }
  EXPECT_EQ(actionLines(),
            std::vector<std::string>{
                "Error : 指定したドライブまたはフォルダーにアクセスできませんでした。"});
  EXPECT_FALSE(Exists(tmp / "no-such-backup"));
}

// Only another instance's lock is waited for: a program folder the user cannot write ends the
// run at once, naming the file.
TEST_F(AppCliTest, AProgramFolderThatCannotBeWrittenEndsTheRunWithStatusTwo) {
  writeJob(backup);
  platform::testing::GiveToNobody(tmp.path());
  ASSERT_EQ(::chown(home.c_str(), 0, 0), 0);
  bool waited = false;
  const ProgramResult result = run(
      {"/X", "job.tvf"},
      [&](pid_t pid, const std::string& err) {
        (void)WaitFor([&] { return HasEnded(pid) || Contains(ReadText(err), "Waiting"); });
        waited = !HasEnded(pid);
        if (waited) kill(pid, SIGINT);
      },
      true);
  if (result.exitStatus == 126) GTEST_SKIP() << "cannot run as an unprivileged user here";
  EXPECT_FALSE(waited) << result.err;
  EXPECT_EQ(result.exitStatus, 2) << result.err;
  EXPECT_TRUE(Contains(result.err,
                       "Cannot write the report file " + home + "/Recent.tvr: Permission denied"))
      << result.err;
  EXPECT_FALSE(Exists(backup + "/top.txt"));
}

// A full program folder: the report cannot be written, which the user is told, and the run is
// not a clean one.
TEST_F(AppCliTest, AReportThatCannotBeWrittenIsSaidAndTheStatusIsOne) {
  if (!tmp.mountTmpfs("home", "64k")) GTEST_SKIP() << "needs root to mount a 64 KiB tmpfs";
  writeJob(backup);
  WriteText(home + "/filler", std::string(64 * 1024, 'x'));  // what fits
  const ProgramResult result = run({"/X", "job.tvf"});
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  EXPECT_TRUE(Contains(result.err, "The report file " + home +
                                       "/report.tvr could not be written completely: No space "
                                       "left on device"))
      << result.err;
  EXPECT_EQ(ReadText(backup + "/top.txt"), "top\n") << "the copy itself went on";
}

TEST_F(AppCliTest, UsageHelpAndVersion) {
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  } cases[] = {{{}, 2, "", "Usage: tolvan32"},
               {{"--frobnicate"}, 2, "", "Usage: tolvan32"},
               {{"--help"}, 0, "  3  the run was stopped by request", ""},
               {{"--version"}, 0, "Tolvane  Ver.1.00\n", ""}};
  for (const auto& c : cases) {
    const ProgramResult result = run(c.args);
    EXPECT_EQ(result.exitStatus, c.status) << result.err;
    EXPECT_TRUE(Contains(result.out, c.out)) << result.out;
    EXPECT_TRUE(Contains(result.err, c.err)) << result.err;
  }
}

TEST_F(AppCliTest, WithoutXTheJobRunsOnceWithItsQuestionsAnswered) {
  writeJob(backup);
  const ProgramResult result = run({"--no-gui", "job.tvf"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_TRUE(Exists(backup + "/写真/旅行.txt"));
  EXPECT_TRUE(Contains(result.err, "Copy from")) << "the confirmation goes to standard error";
  EXPECT_TRUE(AnyContains(recentLines(), "*XOption=No"));
}

TEST_F(AppCliTest, InterruptDuringARunStopsItCleanly) {
  // Enough entries that the run is still going when the signal comes.
  for (int folder = 0; folder < 20; ++folder) {
    const std::string dir = master + "/d" + std::to_string(folder);
    std::filesystem::create_directories(dir);
    for (int file = 0; file < 40; ++file)
      WriteText(dir + "/f" + std::to_string(file), std::string(512, 'x'));
  }
  writeJob(backup);
  bool signalled = false;
  const ProgramResult result = run({"/X", "job.tvf"}, [&](pid_t pid, const std::string&) {
    signalled = WaitFor([&] { return Exists(home + "/report.tvr"); }) && kill(pid, SIGINT) == 0;
  });
  ASSERT_TRUE(signalled) << "the run never opened its report";
  EXPECT_EQ(result.exitStatus, 3) << result.err;
  EXPECT_TRUE(AnyContains(recentLines(), "Stopped in the working : "));
  using Walk = std::filesystem::recursive_directory_iterator;
  EXPECT_LT(std::distance(Walk(backup), Walk()), 20 * 41) << "it ended before copying everything";
  EXPECT_FALSE(HoldsPartialCopy(backup));
}

// An old copy is replaced through a named partial copy (a new file's copy has no name until
// it is complete).
TEST_F(AppCliTest, ASecondInterruptEndsAtOnceWithoutLeavingThePartialCopy) {
  WriteText(master + "/big.bin", std::string(192 << 20, 'x'));
  std::filesystem::create_directories(backup);
  WriteText(backup + "/big.bin", "old");
  std::filesystem::last_write_time(
      backup + "/big.bin",
      std::filesystem::last_write_time(master + "/big.bin") - std::chrono::hours(24));
  writeJob(backup);
  bool caught = false;
  const ProgramResult result = run({"/X", "job.tvf"}, [&](pid_t pid, const std::string&) {
    caught = WaitFor([&] { return HoldsPartialCopy(backup); });
    kill(pid, SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // two signals can merge
    kill(pid, SIGINT);
  });
  if (!caught) GTEST_SKIP() << "the copy ended before it could be interrupted";
  EXPECT_EQ(result.exitStatus, 3) << result.err;
  EXPECT_FALSE(HoldsPartialCopy(backup));
  EXPECT_EQ(ReadText(backup + "/big.bin"), "old");
}

TEST_F(AppCliTest, ScheduledJobWaitsAndASignalBetweenRunsEndsWithZero) {
  writeJob(backup, {"Timer=yes", "DateMode=1", "Time=01:00"});
  bool waiting = false;
  const ProgramResult result = run({"job.tvf"}, [&](pid_t pid, const std::string& err) {
    waiting = WaitFor([&] { return Contains(ReadText(err), "Timer is working!!"); });
    kill(pid, SIGTERM);
  });
  ASSERT_TRUE(waiting) << result.err;
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_FALSE(Exists(backup + "/top.txt")) << "a scheduled job does not run at start-up";
}

}  // namespace
}  // namespace tolvan::testing
