#include "engine/Report.h"

#include <cerrno>

#include "engine/RunLock.h"
#include "support/EngineFixture.h"

namespace tolvan::testing {
namespace {

using platform::FakeFileSystem;
using platform::MessageAnswer;

const std::string kHeader =
    "** File Mirroring Report **   Ver.1.00    job.tvf   Linux Ver.6.01 Debian GNU/Linux 0 0";

class ReportTest : public PassFixture {
 protected:
  ReportTest() {
    fs.addFile("/app/report.tvr");  // as the run lock test leaves it
    sys.clock = 1699956800;         // 2023-11-14 10:13:20
  }
  // Writes the line through at once, as the run does 100 ms later at most.
  void write(ReportLineKind kind, const std::string& text) {
    WriteReport(engine, kind, text, engine.job.Report);
    FlushReport(engine);
  }
  // One run that starts at the fake clock, writes `line` and ends an hour later.
  void run(const std::string& line) {
    engine.run.StartTime = Now(sys);
    openReport();
    write(ReportLineKind::NewFile, line);
    sys.clock += 3723;
    engine.run.FinishTime = Now(sys);
    closeReport();
  }
};

TEST_F(ReportTest, TwoRunsInARow) {
  run("/b/first");
  run("/b/second");
  Lines second({kHeader, "Mirroring from /m to /b on 2023/11/14",
                "  Conditions  *Mode=BackUp *UpDate=UpDate *Size=NotCheck *Report=Write",
                "              *ChildDir=Include *TrashBox=NotUse *XOption=No *ATOption=No",
                "              *Timer=No *OnceForAll=No *MatchCase=NotCheck *ErrorFreeOption=No",
                kSeparator, "New File : /b/second", kSeparator,
                "Finished Time : 2023/11/14 12:17:26   所要時間 : 1:02:03", "", ""});
  EXPECT_EQ(recentLines(), second);
  Lines both = second;
  both[6] = "New File : /b/first";
  both[8] = "Finished Time : 2023/11/14 11:15:23   所要時間 : 1:02:03";
  both.insert(both.end(), second.begin(), second.end());
  EXPECT_EQ(reportLines(), both);
  EXPECT_FALSE(engine.report.isOpen());
}

TEST_F(ReportTest, ConditionsAndSidesLines) {
  JobConditions& job = engine.job;
  job.XOption = job.Timer = job.Size = job.TrashBox = job.ATOption = 1;
  job.NomalMode = job.Once = job.Windows95 = job.MatchCase = job.ErrorFreeOption = -1;
  job.UpDate = 2;  // shown as AllFiles like 1
  job.ChildDir = 0;
  fs.labels = {{"/b", "BACKUP"}, {"/", "ROOT"}};
  engine.os.BuildHigh = 55;
  openReport();
  EXPECT_EQ(recentLines(),
            (Lines{"** File Mirroring Report **   Ver.1.00    job.tvf   Windows95 Ver.6.01 "
                   "Debian GNU/Linux 55 0",
                   "Mirroring from [ROOT]/m to [BACKUP]/b on 2023/11/14",
                   "  Conditions  *Mode=Mirroring *UpDate=AllFiles *Size=Check *Report=Write",
                   "              *ChildDir=NotInclude *TrashBox=Use *XOption=Yes *ATOption=Yes",
                   "              *Timer=Yes *OnceForAll=Yes *MatchCase=Check "
                   "*ErrorFreeOption=Yes",
                   kSeparator}));
  // A line written while the report is closed opens it with its own sides.
  closeReport();
  fs.labels.clear();
  WriteReport(engine, ReportLineKind::Error, "From side unreadable", -1, "/x/from", "/y/to");
  FlushReport(engine);
  EXPECT_EQ(recentLines().at(1), "Mirroring from /x/from to /y/to on 2023/11/14");
  EXPECT_EQ(actionLines(), Lines{"Error : From side unreadable"});
}

// Nothing is written with Report off or in a dry run; a report opened before Report was
// switched off is closed and let go all the same.
TEST_F(ReportTest, NothingIsWrittenWithReportOffOrInADryRunAndAClosedReportIsLetGo) {
  for (const auto& [report, mode] : {std::pair{0, 0}, std::pair{-1, 3}, std::pair{-1, -1}}) {
    engine.job.Report = static_cast<std::int16_t>(report);
    engine.run.DryRunMode = static_cast<std::int16_t>(mode);
    run("/b/x");
    write(ReportLineKind::Error, "e");
  }
  EXPECT_EQ(
      std::tuple(fs.contentOf("/app/report.tvr"), fs.exists("/app/Recent.tvr"), ui.boxes.size()),
      std::tuple("", false, 0U));
  engine.run.DryRunMode = 0;
  openReport();
  engine.job.Report = 0;
  closeReport();
  EXPECT_FALSE(engine.report.isOpen());
  EXPECT_EQ(recentLines().at(recentLines().size() - 4), kSeparator);
}

// An oversized report gets the first free dated name, one of exactly the limit stays; a
// missing one has nothing to rotate; one whose length cannot be read is said in the report it
// holds, after the header.
TEST_F(ReportTest, RotationGivesAnOversizedReportTheFirstFreeDatedName) {
  ASSERT_EQ(fs.removeEntry("/app/report.tvr"), 0);
  openReport();
  closeReport();
  engine.shared.ReportSize = 512;
  fs.addFile("/app/report.tvr", std::string(524288, 'x'));
  openReport();
  closeReport();
  EXPECT_FALSE(fs.exists("/app/report23111400.tvr"));
  for (const char* name : {"/app/report23111400.tvr", "/app/report23111401.tvr"}) {
    fs.addFile("/app/report.tvr", std::string(524289, name[18]));
    openReport();
    closeReport();
    EXPECT_EQ(fs.contentOf(name), std::string(524289, name[18]));
    EXPECT_EQ(reportLines().front(), kHeader);
  }
  const auto linesBefore = reportLines().size();
  fs.failOn(FakeFileSystem::Op::Stat, "/app/report.tvr", EACCES);
  openReport();
  EXPECT_EQ(reportLines().at(linesBefore), kHeader);
  EXPECT_EQ(actionLines(), Lines{"Report File Error Code : 13  Permission denied"});
}

// A failed write becomes an error line; at the close the user is told that the report is
// incomplete, naming the first file that lost something. A failed close counts the same.
TEST_F(ReportTest, AFailedWriteOrCloseBecomesAnErrorLineAndIsSaidAtTheClose) {
  openReport();
  fs.failOn(FakeFileSystem::Op::Write, "/app/report.tvr", ENOSPC, 1);
  write(ReportLineKind::NewFile, "/b/lost\xff");
  write(static_cast<ReportLineKind>(-3), "an unknown kind writes nothing");
  EXPECT_EQ(actionLines(), (Lines{"Report File Error Code : 28  No space left on device",
                                  "New File : /b/lost?"}));  // an invalid byte shown as '?'
  EXPECT_TRUE(ui.boxes.empty());
  closeReport();
  openReport();
  fs.failOn(FakeFileSystem::Op::Close, "/app/Recent.tvr", EIO, 1);
  closeReport();
  EXPECT_EQ(boxTexts(), (Lines{"The report file /app/report.tvr could not be written completely: "
                               "No space left on device",
                               "The report file /app/Recent.tvr could not be written completely: "
                               "Input/output error"}));
  EXPECT_FALSE(engine.report.isOpen());
}

// A report.tvr that cannot be opened asks whether to go on: No ends the program (and asks no
// more), Yes goes on without a report; Recent.tvr is not kept alone.
TEST_F(ReportTest, OpenFailureAsksAndNoEndsTheProgram) {
  fs.failOn(FakeFileSystem::Op::Open, "/app/report.tvr", EACCES);
  for (const auto answer : {MessageAnswer::No, MessageAnswer::Yes}) {
    ui.boxes.clear();
    ui.answers = {answer};
    engine.run.EndRequested = false;
    openReport();
    if (answer == MessageAnswer::No) write(ReportLineKind::Error, "more");
    EXPECT_EQ(std::tuple(boxTexts(), engine.run.EndRequested, fs.contentOf("/app/Recent.tvr")),
              std::tuple(Lines{"継続しますか？  Error Code : 13  Permission denied"},
                         answer == MessageAnswer::No, ""));
  }
}

// A volume whose label cannot be read.
class UnreadableLabelFs : public FakeFileSystem {
 public:
  int volumeLabel(const std::string&, std::string&) override { return EIO; }
};

TEST_F(ReportTest, AnUnreadableLabelEndsTheProgram) {
  UnreadableLabelFs labelFs;
  labelFs.addDirectory("/app");
  Engine other{Services{labelFs, trash, ui, sys}};
  other.shared = engine.shared;
  WriteReport(other, ReportLineKind::OpenReport, "", -1, "/m", "/b");
  EXPECT_EQ(boxTexts(), Lines{"/m Error (Code : 5  Input/output error )"});
  EXPECT_TRUE(other.run.EndRequested && !other.report.isOpen());
}

class RunLockTest : public ReportTest {
 protected:
  [[nodiscard]] std::int16_t wait() { return WaitForReport(engine, "/app/report.tvr"); }
  // What another instance gets when it tries to take `path` now: 0 when it could (and lets
  // go again), else the error.
  [[nodiscard]] int otherInstanceTakes(const std::string& path) {
    int error = 0;
    return fs.openLocked(path, platform::OpenMode::Append, error) != nullptr ? 0 : error;
  }
};

// The wait's result is the run's open report: another instance starting between the wait and
// the header finds it taken, before the rotation as after it.
TEST_F(RunLockTest, TheWaitTakesTheReportAndNoOtherInstanceSlipsInBeforeItsClose) {
  engine.shared.ReportSize = 1;
  fs.addFile("/app/report.tvr", std::string(1025, 'o'));
  EXPECT_EQ(wait(), 0);
  EXPECT_EQ(ui.waitDialogsShown, 0);
  const auto bothTaken = [&](int error) {
    EXPECT_EQ(otherInstanceTakes("/app/report.tvr"), error);
    EXPECT_EQ(otherInstanceTakes("/app/Recent.tvr"), error);
  };
  bothTaken(EAGAIN);
  openReport();
  EXPECT_EQ(fs.contentOf("/app/report23111400.tvr"), std::string(1025, 'o'));
  EXPECT_EQ(otherInstanceTakes("/app/report23111400.tvr"), 0) << "the rotated file is let go";
  bothTaken(EAGAIN);
  EXPECT_EQ(recentLines(), reportLines());
  closeReport();
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
  closeReport();
  fs.lockByOtherProcess("/app/Recent.tvr");
  ui.cancelWaitAfterPolls = 4;
  int polls = 0;
  ui.onWaitPoll = [&](int n) { polls = n; };
  EXPECT_EQ(wait(), -1);
  // A cancelled wait holds nothing.
  EXPECT_EQ(std::tuple(polls, engine.report.isOpen(), otherInstanceTakes("/app/report.tvr"),
                       ui.boxes.size()),
            std::tuple(4, false, 0, 0U));
  fs.unlockByOtherProcess("/app/Recent.tvr");
  fs.addFile("/app/Recent.tvr", "last run\r\n");
  fs.failOn(platform::FakeFileSystem::Op::Open, "/app/report.tvr", EACCES);
  EXPECT_EQ(wait(), -1);
  // No third dialog, and Recent.tvr is neither left held nor emptied.
  EXPECT_EQ(std::tuple(ui.waitDialogsShown, boxTexts(), otherInstanceTakes("/app/Recent.tvr"),
                       fs.contentOf("/app/Recent.tvr")),
            std::tuple(2, Lines{"Cannot write the report file /app/report.tvr: Permission denied"},
                       0, "last run\r\n"));
}

}  // namespace
}  // namespace tolvan::testing
