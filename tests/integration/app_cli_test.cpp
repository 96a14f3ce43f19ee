// The real tolvan32 program run end to end in a temporary program folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "app_ProgramRunner.h"

namespace tolvan::testing {
namespace {

const char* const kAccessFailure = "指定したドライブまたはフォルダーにアクセスできませんでした。";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

bool AnyLineContains(const std::vector<std::string>& lines, const std::string& part) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return Contains(line, part); });
}

class AppCliTest : public ::testing::Test {
 protected:
  AppCliTest() {
    MakeFolders(home());
    MakeFolders(master());
    MakeFolders(backup());
    MakeFolders(scratch / "config");
  }

  std::string home() const { return scratch / "home"; }
  std::string master() const { return scratch / "master"; }
  std::string backup() const { return scratch / "backup"; }
  std::string report() const { return home() + "/report.tvr"; }
  std::string recent() const { return home() + "/Recent.tvr"; }

  std::map<std::string, std::string> environment() const {
    return {{"TOLVAN32_HOME", home()},
            {"XDG_CONFIG_HOME", scratch / "config"},
            {"XDG_DATA_HOME", scratch / "data"},
            {"HOME", scratch.path()}};
  }

  void writeJob(const std::string& from, const std::string& to,
                const std::vector<std::string>& extra = {}) {
    WriteText(home() + "/job.tvf", JobText(from, to, extra));
  }

  ProgramResult run(const std::vector<std::string>& args, const Watcher& whileRunning = {}) {
    return RunTolvan(args, environment(), whileRunning);
  }

  void makeSmallMaster() {
    MakeFolders(master() + "/写真");
    MakeFolders(master() + "/docs/empty");
    WriteText(master() + "/写真/旅行.txt", "京都\n");
    WriteText(master() + "/docs/readme.txt", "hello\n");
    WriteText(master() + "/top.txt", "top\n");
  }

  ScratchFolder scratch;
};

TEST_F(AppCliTest, UnattendedRunMirrorsWritesBothReportsAndExitsZero) {
  makeSmallMaster();
  WriteText(backup() + "/stale.txt", "gone after the run\n");
  writeJob(master(), backup());

  const ProgramResult first = run({"/X", "job.tvf"});
  ASSERT_EQ(first.exitStatus, 0) << first.err;
  EXPECT_EQ(TreeListing(backup()), TreeListing(master()));
  EXPECT_EQ(ReadText(backup() + "/写真/旅行.txt"), "京都\n");
  ASSERT_TRUE(Exists(report()));
  const auto recentLines = ReportLines(recent());
  ASSERT_FALSE(recentLines.empty());
  EXPECT_TRUE(Contains(recentLines[0], "** File Mirroring Report **"));
  EXPECT_TRUE(Contains(recentLines[0], "job.tvf"));
  const auto actions = ActionLines(recentLines);
  EXPECT_TRUE(AnyLineContains(actions, "stale.txt"));
  EXPECT_TRUE(AnyLineContains(actions, "旅行.txt"));
  EXPECT_TRUE(Contains(ReadText(recent()), "\r\n"));

  const ProgramResult second = run({"/x", "job"});
  ASSERT_EQ(second.exitStatus, 0) << second.err;
  EXPECT_TRUE(ActionLines(ReportLines(recent())).empty()) << "nothing left to copy";
  const std::string history = ReadText(report());
  EXPECT_NE(history.find("** File Mirroring Report **"),
            history.rfind("** File Mirroring Report **"))
      << "report.tvr keeps both runs";
}

TEST_F(AppCliTest, WithoutXTheJobRunsOnceWithItsQuestionsAnswered) {
  makeSmallMaster();
  writeJob(master(), backup());
  auto env = environment();
  env["DISPLAY"] = ":99";  // ignored with --no-gui (and while the window is not built)
  const ProgramResult result = RunTolvan({"--no-gui", "job.tvf"}, env);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_TRUE(Exists(backup() + "/写真/旅行.txt"));
  EXPECT_TRUE(Contains(result.err, "Copy from")) << "the confirmation goes to standard error";
  EXPECT_TRUE(AnyLineContains(ReportLines(recent()), "*XOption=No"));
}

TEST_F(AppCliTest, SwitchesAreNotFoundInsideAPathToTheConditionsFile) {
  makeSmallMaster();
  writeJob(master(), backup());
  // Only the file name counts; its folder (full of /x, /at and /e) is ignored.
  const ProgramResult result = run({"/home/xavier/at/etc/job", "/X"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_TRUE(Exists(backup() + "/top.txt"));
  EXPECT_FALSE(AnyLineContains(ReportLines(recent()), "*ATOption=On"));
}

TEST_F(AppCliTest, ErrorsCountedGiveStatusOne) {
  makeSmallMaster();
  // In Backup mode a backup folder facing a master file is an error on every run.
  MakeFolders(backup() + "/top.txt");
  writeJob(master(), backup(), {"NomalMode=no"});

  const ProgramResult result = run({"/X", "job.tvf"});
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  EXPECT_TRUE(AnyLineContains(ActionLines(ReportLines(recent())), "Error : "));
  EXPECT_TRUE(Exists(backup() + "/写真/旅行.txt")) << "the run goes on after the error";
}

TEST_F(AppCliTest, AnUnreadableMasterFileIsAnErrorCounted) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file; an unreadable file needs a user";
  makeSmallMaster();
  WriteText(master() + "/secret.txt", "no\n");
  ASSERT_EQ(chmod((master() + "/secret.txt").c_str(), 0), 0);
  writeJob(master(), backup());

  const ProgramResult result = run({"/X", "job.tvf"});
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  EXPECT_TRUE(AnyLineContains(ActionLines(ReportLines(recent())), "secret.txt"));
}

TEST_F(AppCliTest, SameFromAndToIsRefused) {
  makeSmallMaster();
  writeJob(master(), master());
  const ProgramResult result = run({"/X", "job.tvf"});
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_TRUE(Contains(result.err, "Can't do it.  Check your setting file!")) << result.err;
  EXPECT_FALSE(Exists(report()));
}

TEST_F(AppCliTest, MissingOrBadConditionsFileInAnUnattendedRunIsRefused) {
  makeSmallMaster();
  writeJob(master(), backup());
  ASSERT_EQ(run({"job.tvf", "/X"}).exitStatus, 0);
  ASSERT_EQ(std::remove((backup() + "/top.txt").c_str()), 0);
  // The list now holds job.tvf; a misspelt name must not run it instead.
  const ProgramResult missing = run({"/X", "jbo.tvf"});
  EXPECT_EQ(missing.exitStatus, 2) << missing.err;
  EXPECT_TRUE(Contains(missing.err, "jbo.tvf")) << missing.err;
  EXPECT_FALSE(Exists(backup() + "/top.txt"));

  WriteText(home() + "/bad.tvf", JobText(master(), backup(), {"this line has no equals sign"}));
  const ProgramResult bad = run({"/X", "bad.tvf"});
  EXPECT_EQ(bad.exitStatus, 2) << bad.err;
  EXPECT_TRUE(Contains(bad.err, "bad.tvfの記述内容に誤りがあります。")) << bad.err;
  EXPECT_FALSE(Exists(backup() + "/top.txt"));
}

TEST_F(AppCliTest, MissingBackupFolderInAnUnattendedRunIsReportedAndRefused) {
  makeSmallMaster();
  writeJob(master(), scratch / "no-such-backup");
  const ProgramResult result = run({"/X", "job.tvf"});
  EXPECT_EQ(result.exitStatus, 2) << result.err;
  const auto lines = ReportLines(recent());
  EXPECT_TRUE(AnyLineContains(lines, std::string("Error : ") + kAccessFailure))
      << ReadText(recent());
  EXPECT_FALSE(Exists(scratch / "no-such-backup"));
}

TEST_F(AppCliTest, UsageHelpAndVersion) {
  const ProgramResult bare = run({});
  EXPECT_EQ(bare.exitStatus, 2);
  EXPECT_TRUE(Contains(bare.err, "Usage: tolvan32"));

  const ProgramResult unknown = run({"--frobnicate"});
  EXPECT_EQ(unknown.exitStatus, 2);

  const ProgramResult help = run({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_TRUE(Contains(help.out, "Exit status"));
  EXPECT_TRUE(Contains(help.out, "  3  the run was stopped by request"));

  const ProgramResult version = run({"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.out, "Tolvane  Ver.1.00\n");
}

// Waits until `done` holds, for at most `limit`; false on time-out.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

TEST_F(AppCliTest, InterruptDuringARunStopsItCleanly) {
  // Enough entries that the run is still going when the signal comes; creating many more
  // costs seconds on some disks.
  constexpr int kFolders = 20;
  constexpr int kFilesPerFolder = 40;
  for (int folder = 0; folder < kFolders; ++folder) {
    const std::string dir = master() + "/d" + std::to_string(folder);
    MakeFolders(dir);
    for (int file = 0; file < kFilesPerFolder; ++file) {
      WriteText(dir + "/f" + std::to_string(file) + ".txt", std::string(512, 'x'));
    }
  }
  writeJob(master(), backup());
  bool signalled = false;
  const ProgramResult result = run({"/X", "job.tvf"}, [&](pid_t pid, const std::string&) {
    signalled = WaitFor([&] { return Exists(report()); }, std::chrono::seconds(5)) &&
                kill(pid, SIGINT) == 0;
  });
  ASSERT_TRUE(signalled) << "the run never opened its report";
  EXPECT_EQ(result.exitStatus, 3) << result.err;
  EXPECT_TRUE(AnyLineContains(ReportLines(recent()), "Stopped in the working : "))
      << ReadText(recent());
  const auto copied = TreeListing(backup());
  EXPECT_LT(copied.size(), static_cast<std::size_t>(kFolders * (kFilesPerFolder + 1)))
      << "the run ended before copying everything";
  for (const auto& entry : copied) {
    EXPECT_EQ(entry.find(".tolvan32-partial-"), std::string::npos) << entry;
  }
}

bool HoldsPartialCopy(const std::string& folder) {
  const auto entries = TreeListing(folder);
  return std::any_of(entries.begin(), entries.end(), [](const std::string& entry) {
    return entry.find(".tolvan32-partial-") != std::string::npos;
  });
}

TEST_F(AppCliTest, ASecondInterruptEndsAtOnceWithoutLeavingThePartialCopy) {
  {
    std::ofstream big(master() + "/big.bin", std::ios::binary);
    const std::string chunk(1 << 20, 'x');
    for (int i = 0; i < 192; ++i) big << chunk;
  }
  writeJob(master(), backup());
  bool caught = false;
  const ProgramResult result = run({"/X", "job.tvf"}, [&](pid_t pid, const std::string&) {
    caught = WaitFor([&] { return HoldsPartialCopy(backup()); }, std::chrono::seconds(5));
    kill(pid, SIGINT);
    // Two signals of one kind sent together can merge into one.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill(pid, SIGINT);
  });
  if (!caught) GTEST_SKIP() << "the copy ended before it could be interrupted";
  EXPECT_EQ(result.exitStatus, 3) << result.err;
  EXPECT_FALSE(HoldsPartialCopy(backup()));
  EXPECT_FALSE(Exists(backup() + "/big.bin"));
}

TEST_F(AppCliTest, ScheduledJobWaitsAndASignalBetweenRunsEndsWithZero) {
  makeSmallMaster();
  writeJob(master(), backup(), {"Timer=yes", "DateMode=1", "Time=01:00"});
  const auto started = std::chrono::steady_clock::now();
  bool waiting = false;
  const ProgramResult result = run({"job.tvf"}, [&](pid_t pid, const std::string& err) {
    waiting = WaitFor([&] { return Contains(ReadText(err), "Timer is working!!"); },
                      std::chrono::seconds(5));
    kill(pid, SIGTERM);
  });
  ASSERT_TRUE(waiting) << result.err;
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_TRUE(Contains(result.err, "Timer is working!!")) << result.err;
  EXPECT_FALSE(Exists(backup() + "/top.txt")) << "a scheduled job does not run at start-up";
}

}  // namespace
}  // namespace tolvan::testing
