// The real tolvan32 program run end to end: exit statuses, report files, signals.

#include "ProgramRunner.h"

namespace tolvan::testing {
namespace {

const std::string kPartial = ".tolvan32-partial-";

bool HoldsPartialCopy(const std::string& folder) {
  std::error_code ignored;
  return std::ranges::any_of(stdfs::recursive_directory_iterator(folder, ignored), [](auto& entry) {
    return entry.path().filename().string().starts_with(kPartial);
  });
}

std::size_t CopiesIn(const std::string& folder) {
  return std::ranges::count_if(NamesIn(folder),
                               [](auto& name) { return !name.starts_with(kPartial); });
}

// Only files under exactly the names the copy makes are leftovers; the user's own entries with
// that prefix, and folders of any name, are copied.
const std::string kUsers = kPartial + "notes", kExactName = kPartial + "0123456789abcdef";
const std::string kLeftover = kPartial + "00000000000000ff", kBackupsOwn = kPartial + "mine";

class AppCliTest : public ProgramTest {
 protected:
  AppCliTest() {
    MakeFile(master + "/写真/旅行.txt", "京都\n");
    MakeFile(master + "/top.txt", "top\n");
  }
};

// A line break in a name cannot forge a report line; the file is copied under its real name.
// A headless run stores no window position.
TEST_F(AppCliTest, UnattendedRunWritesBothReportsAndExitsZero) {
  MakeFile(backup + "/stale.txt", "gone after the run\n");
  const std::string evil = "evil\r\nError : forged", settings = tmp / "Tolvan32/Tolvan32.conf";
  MakeFile(master + "/" + evil, "a\n");
  MakeFile(settings, "[Editor]\nReportSize=256\n");
  const ProgramResult first = mirror();
  ASSERT_EQ(first.exitStatus, 0) << first.err;
  EXPECT_EQ(ReadText(backup + "/写真/旅行.txt") + ReadText(backup + "/" + evil), "京都\na\n");
  EXPECT_TRUE(Contains(recentLines().at(0), "** File Mirroring Report **   Ver.1.00    job.tvf"));
  const Lines actions = actionLines();
  for (const auto& line :
       {"Delete File : " + backup + "/stale.txt", "New File : " + backup + "/写真/旅行.txt",
        "New File : " + backup + "/evil??Error : forged"})
    EXPECT_TRUE(AnyStartsWith(actions, line)) << line;
  EXPECT_FALSE(AnyStartsWith(actions, "Error : ")) << "a forged line";
  EXPECT_FALSE(Contains(ReadText(settings), "MainForm")) << ReadText(settings);
  const std::string firstReport = ReadText(home + "/Recent.tvr");
  EXPECT_TRUE(Contains(firstReport, "\r\n"));

  // A display named but gone (a stale DISPLAY) is no reason to fail: the run goes on without.
  environment.push_back("DISPLAY=:4093");
  const ProgramResult second = run({"/x", "job"});
  ASSERT_EQ(second.exitStatus, 0) << second.err;
  EXPECT_TRUE(Contains(second.err, "the display does not answer")) << second.err;
  EXPECT_EQ(actionLines(), Lines{}) << "nothing left to copy";
  EXPECT_EQ(ReadText(home + "/report.tvr"), firstReport + ReadText(home + "/Recent.tvr"));
}

// Without /X the job runs once, its questions answered on standard error. In Backup mode a
// backup folder facing a master file is an error on every run; the run goes on; a killed
// copy's leftover goes, the backup's own entry of a like name stays.
TEST_F(AppCliTest, WithoutXABackupRunCountsErrorsAndKeepsTheBackupsOwnEntries) {
  stdfs::create_directories(backup + "/top.txt");
  MakeFile(master + "/" + kUsers, "notes");
  MakeFile(master + "/" + kExactName + "/" + kUsers + "/todo", "todo");
  MakeFile(backup + "/" + kLeftover, "a killed copy");
  MakeFile(backup + "/" + kBackupsOwn, "the backup's own");
  writeJob(backup, {"NomalMode=no"});
  const ProgramResult result = run({"--no-gui", "job.tvf"});
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  EXPECT_TRUE(Contains(result.err, "Copy from")) << "the confirmation goes to standard error";
  EXPECT_TRUE(Contains(ReadText(home + "/Recent.tvr"), "*XOption=No"));
  EXPECT_TRUE(AnyStartsWith(actionLines(), "Error : "));
  EXPECT_TRUE(Exists(backup + "/写真/旅行.txt")) << "the run goes on after the error";
  EXPECT_EQ(ReadText(backup + "/" + kUsers) +
                ReadText(backup + "/" + kExactName + "/" + kUsers + "/todo"),
            "notestodo");
  // Only Backup keeps the backup's own entry.
  EXPECT_EQ(std::pair(Exists(backup + "/" + kLeftover), Exists(backup + "/" + kBackupsOwn)),
            std::pair(false, true));
}

// Only another instance's lock is waited for: a program folder the user cannot write ends the
// run at once, naming the file.
TEST_F(AppCliTest, AProgramFolderThatCannotBeWrittenEndsTheRunWithStatusTwo) {
  writeJob(backup);
  platform::testing::GiveToNobody(tmp.path());
  ASSERT_EQ(::chown(home.c_str(), 0, 0), 0);
  bool waited = false;
  const auto watch = [&](pid_t pid, const std::string& err) {
    (void)WaitFor([&] { return HasEnded(pid) || Contains(ReadText(err), "Waiting"); }, 5s);
    if ((waited = !HasEnded(pid))) kill(pid, SIGINT);
  };
  const ProgramResult result = run({"/X", "job.tvf"}, watch, true);
  if (result.exitStatus == 126) TOLVAN_CANNOT_RUN_HERE("cannot run as an unprivileged user here");
  EXPECT_FALSE(waited) << result.err;
  EXPECT_EQ(result.exitStatus, 2) << result.err;
  EXPECT_TRUE(Contains(result.err,
                       "Cannot write the report file " + home + "/Recent.tvr: Permission denied"))
      << result.err;
  EXPECT_FALSE(Exists(backup + "/top.txt"));
}

// A mistake is said on standard error, what was asked for on standard output; the other
// stream stays empty.
TEST_F(AppCliTest, UsageHelpAndVersion) {
  const std::tuple<Lines, int, std::string> cases[] = {
      {{}, 2, "Usage: tolvan32"},
      {{"--frobnicate"}, 2, "Usage: tolvan32"},
      {{"--help"}, 0, "  3  the run was stopped by request"},
      {{"--version"}, 0, "Tolvane  Ver.1.00\n"}};
  for (const auto& [args, status, text] : cases) {
    const ProgramResult result = run(args);
    EXPECT_EQ(result.exitStatus, status) << result.err;
    const auto& [said, quiet] =
        status == 0 ? std::tie(result.out, result.err) : std::tie(result.err, result.out);
    EXPECT_TRUE(Contains(said, text) && quiet.empty()) << result.out << result.err;
  }
}

// Stops the program and sends it both stop signals, which cannot merge: it takes them together
// when it goes on, so one stops the run and the other ends the program before the run ends.
void InterruptTwiceAtOnce(pid_t pid, const std::function<void()>& whileStopped = {}) {
  kill(pid, SIGSTOP);
  siginfo_t info{};
  (void)waitid(P_PID, static_cast<id_t>(pid), &info, WSTOPPED | WEXITED | WNOWAIT);
  if (whileStopped) whileStopped();
  for (const int signal : {SIGINT, SIGTERM, SIGCONT}) kill(pid, signal);
}

// An old copy is replaced through a named partial copy (a new file's copy has no name until
// it is complete). A copy that ended before a starved test saw it is made again (bounded).
TEST_F(AppCliTest, ASecondInterruptEndsAtOnceWithoutLeavingThePartialCopy) {
  MakeFile(master + "/big.bin", std::string(192 << 20, 'x'));
  bool caught = false;
  for (int attempt = 0; attempt < 3 && !caught; ++attempt) {
    MakeFile(backup + "/big.bin", "old", kTime - 86400);
    const ProgramResult result = mirror({}, [&](pid_t pid, const std::string&) {
      caught = WaitFor([&] { return HoldsPartialCopy(backup); }, 5s);
      InterruptTwiceAtOnce(pid);
    });
    if (!caught) continue;
    EXPECT_EQ(result.exitStatus, 3) << result.err;
    EXPECT_FALSE(HoldsPartialCopy(backup));
    EXPECT_EQ(ReadText(backup + "/big.bin"), "old");
  }
  EXPECT_TRUE(caught) << "no partial copy was ever seen while the copy was on its way";
}

// A second stop signal ends the program at once; the report still has a line for every copy
// made, also for those whose lines were held back to be written together.
TEST_F(AppCliTest, ASecondInterruptLeavesALineForEveryCopyInTheReport) {
  MakeFolders(master, 1, 20000, "x");
  const std::string to = backup + "/d0";
  MakeFolder(to);
  writeJob(to, {"DriveA=" + master + "/d0"});
  std::size_t copies = 0;
  const ProgramResult result = run({"/X", "job.tvf"}, [&](pid_t pid, const std::string&) {
    (void)WaitFor([&] { return (copies = CopiesIn(to)) >= 1000; }, 10s);
    // Ended at once, the run cannot write the lines it holds.
    InterruptTwiceAtOnce(pid, [&] { copies = CopiesIn(to); });
  });
  ASSERT_GE(copies, 1000u) << "the run was too slow to be interrupted while copying";
  if (copies == 20000)
    GTEST_SKIP() << "the run ended before it was interrupted (a starved test process)";
  EXPECT_EQ(result.exitStatus, 3) << result.err;
  EXPECT_FALSE(HoldsPartialCopy(to)) << "no partial copy is left";
  // Copies the workers were making when the program went on end before it does. The copy the
  // run's own thread just made when the program was stopped may not have its line yet.
  copies = NamesIn(to).size();
  for (const char* report : {"/report.tvr", "/Recent.tvr"}) {
    const auto made = std::ranges::count_if(
        FileLines(home + report), [](auto& line) { return line.starts_with("New File : "); });
    EXPECT_GE(static_cast<std::size_t>(made) + 1, copies) << report;
  }
}

TEST_F(AppCliTest, ScheduledJobWaitsAndASignalBetweenRunsEndsWithZero) {
  writeJob(backup, {"Timer=yes", "DateMode=1", "Time=01:00"});
  bool waiting = false;
  const ProgramResult result = run({"job.tvf"}, [&](pid_t pid, const std::string& err) {
    waiting = WaitFor([&] { return Contains(ReadText(err), "Timer is working!!"); }, 5s);
    kill(pid, SIGTERM);
  });
  ASSERT_TRUE(waiting) << result.err;
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_FALSE(Exists(backup + "/top.txt")) << "a scheduled job does not run at start-up";
}

}  // namespace
}  // namespace tolvan::testing
