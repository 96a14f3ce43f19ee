#include "engine/Report.h"

#include <cerrno>

#include "engine/FileOps.h"
#include "support/EngineFixture.h"

namespace tolvan {
namespace {

using platform::FakeFileSystem;
using platform::MessageAnswer;
using testing::EngineFixture;
using testing::kSeparator;
using Lines = std::vector<std::string>;

const std::string kHeader =
    "** File Mirroring Report **   Ver.1.00    job.tvf   Linux Ver.6.01 Debian GNU/Linux 0 0";

class ReportTest : public EngineFixture {
 protected:
  ReportTest() {
    fs.addFile("/app/report.tvr");  // as the run lock test leaves it
    sys.setNow(1699956800);         // 2023-11-14 10:13:20
  }

  void open() {
    WriteReport(engine, ReportLineKind::OpenReport, "", engine.job.Report, "/m", "/b");
  }
  void write(ReportLineKind kind, const std::string& text) {
    WriteReport(engine, kind, text, engine.job.Report);
  }
  void close() { WriteReport(engine, ReportLineKind::CloseReport, "", engine.job.Report); }
  // One run that starts at the fake clock, writes `line` and ends an hour later.
  void run(const std::string& line) {
    engine.run.StartTime = Now(sys);
    open();
    write(ReportLineKind::NewFile, line);
    sys.advance(3723);
    engine.run.FinishTime = Now(sys);
    close();
  }
};

TEST_F(ReportTest, OpeningBlockWithDefaultConditions) {
  open();
  EXPECT_EQ(recentLines(),
            (Lines{kHeader, "Mirroring from /m to /b on 2023/11/14",
                   "  Conditions  *Mode=BackUp *UpDate=UpDate *Size=NotCheck *Report=Write",
                   "              *ChildDir=Include *TrashBox=NotUse *XOption=No *ATOption=No",
                   "              *Timer=No *OnceForAll=No *MatchCase=NotCheck "
                   "*ErrorFreeOption=No",
                   kSeparator}));
  EXPECT_EQ(fs.contentOf("/app/report.tvr"), fs.contentOf("/app/Recent.tvr"));
  EXPECT_NE(fs.contentOf("/app/report.tvr").find(kSeparator + "\r\n"), std::string::npos);
}

TEST_F(ReportTest, ConditionsLinesShowEveryOption) {
  JobConditions& job = engine.job;
  job.XOption = 1;
  job.Timer = 1;
  job.NomalMode = -1;
  job.UpDate = 2;  // shown as AllFiles like 1
  job.ChildDir = 0;
  job.Size = 1;
  job.Once = -1;
  job.Windows95 = -1;
  job.TrashBox = 1;
  job.MatchCase = -1;
  job.ATOption = -1;
  job.ErrorFreeOption = -1;
  engine.os.BuildHigh = 55;
  open();
  const Lines lines = recentLines();
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0],
            "** File Mirroring Report **   Ver.1.00    job.tvf   Windows95 Ver.6.01 Debian "
            "GNU/Linux 55 0");
  EXPECT_EQ(lines[2], "  Conditions  *Mode=Mirroring *UpDate=AllFiles *Size=Check *Report=Write");
  EXPECT_EQ(lines[3],
            "              *ChildDir=NotInclude *TrashBox=Use *XOption=Yes *ATOption=Yes");
  EXPECT_EQ(lines[4],
            "              *Timer=Yes *OnceForAll=Yes *MatchCase=Check *ErrorFreeOption=Yes");
}

TEST_F(ReportTest, SidesLineCarriesVolumeLabelsOnlyWhereThereAreSome) {
  fs.labels["/b"] = "BACKUP";
  open();
  EXPECT_EQ(recentLines()[1], "Mirroring from /m to [BACKUP]/b on 2023/11/14");
  close();
  fs.labels["/"] = "ROOT";
  open();
  EXPECT_EQ(recentLines()[1], "Mirroring from [ROOT]/m to [BACKUP]/b on 2023/11/14");
}

TEST_F(ReportTest, ActionLinesHaveTheirPrefixes) {
  open();
  write(ReportLineKind::RemoveDirectory, "/b/old");
  write(ReportLineKind::DeleteFile, "/b/x");
  write(ReportLineKind::UpDateFile, "/b/y  a -> b");
  write(ReportLineKind::SizeChange, "/b/z  1byte -> 2byte");
  write(ReportLineKind::ScanError, "/b/s");
  write(static_cast<ReportLineKind>(13), "bare text");
  write(static_cast<ReportLineKind>(-3), "nothing");
  write(ReportLineKind::NewFile, "/b/bad\xff");
  EXPECT_EQ(actionLines(), (Lines{"Remove Directory: /b/old", "Delete File : /b/x",
                                  "UpDate File : /b/y  a -> b", "Size : /b/z  1byte -> 2byte",
                                  "Scan Error : /b/s", "bare text", "New File : /b/bad?"}));
}

TEST_F(ReportTest, TwoRunsInARow) {
  run("/b/first");
  run("/b/second");
  const std::string finish = "Finished Time : 2023/11/14 12:17:26   所要時間 : 1:02:03";
  const Lines second{kHeader,
                     "Mirroring from /m to /b on 2023/11/14",
                     "  Conditions  *Mode=BackUp *UpDate=UpDate *Size=NotCheck *Report=Write",
                     "              *ChildDir=Include *TrashBox=NotUse *XOption=No *ATOption=No",
                     "              *Timer=No *OnceForAll=No *MatchCase=NotCheck "
                     "*ErrorFreeOption=No",
                     kSeparator,
                     "New File : /b/second",
                     kSeparator,
                     finish,
                     "",
                     ""};
  EXPECT_EQ(recentLines(), second);
  const Lines all = reportLines();
  ASSERT_EQ(all.size(), 2 * second.size());
  EXPECT_EQ(all[6], "New File : /b/first");
  EXPECT_EQ(all[8], "Finished Time : 2023/11/14 11:15:23   所要時間 : 1:02:03");
  EXPECT_EQ(Lines(all.begin() + 11, all.end()), second);
  EXPECT_FALSE(engine.report.isOpen());
}

TEST_F(ReportTest, StoppedRunHasNoElapsedTime) {
  engine.run.StopFlag = -1;
  run("/b/x");
  const Lines lines = recentLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], "Stopped in the working : 2023/11/14 11:15:23");
}

TEST_F(ReportTest, NothingIsWrittenWithReportOffOrInADryRun) {
  engine.job.Report = 0;
  run("/b/x");
  write(ReportLineKind::Error, "e");
  engine.job.Report = -1;
  engine.run.DryRunMode = 3;
  run("/b/x");
  write(ReportLineKind::Error, "e");
  engine.run.DryRunMode = -1;
  run("/b/x");
  EXPECT_EQ(fs.contentOf("/app/report.tvr"), "");
  EXPECT_FALSE(fs.exists("/app/Recent.tvr"));
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ReportTest, ClosingAReportOpenedBeforeReportWasSwitchedOffReleasesIt) {
  open();
  engine.job.Report = 0;
  close();
  EXPECT_FALSE(engine.report.isOpen());
  EXPECT_EQ(recentLines().at(recentLines().size() - 4), kSeparator);
  // Closing a closed report writes nothing.
  const std::string before = fs.contentOf("/app/report.tvr");
  engine.job.Report = -1;
  close();
  EXPECT_EQ(fs.contentOf("/app/report.tvr"), before);
}

TEST_F(ReportTest, OpeningTwiceKeepsTheFilesAndTheirLock) {
  open();
  open();
  EXPECT_TRUE(engine.report.isOpen());
  int error = 0;
  EXPECT_EQ(fs.openLocked("/app/report.tvr", platform::OpenMode::Append, error), nullptr);
  EXPECT_EQ(recentLines().size(), 12u);  // two opening blocks, no failure lines
}

TEST_F(ReportTest, ErrorLineWhileClosedOpensTheReportWithItsOwnSides) {
  WriteReport(engine, ReportLineKind::Error, "From side unreadable", -1, "/x/from", "/y/to");
  const Lines lines = recentLines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], kHeader);
  EXPECT_EQ(lines[1], "Mirroring from /x/from to /y/to on 2023/11/14");
  EXPECT_EQ(lines[5], kSeparator);
  EXPECT_EQ(lines[6], "Error : From side unreadable");
  EXPECT_TRUE(engine.report.isOpen());
}

TEST_F(ReportTest, RotationGivesAnOversizedReportTheFirstFreeDatedName) {
  engine.shared.ReportSize = 512;
  fs.addFile("/app/report.tvr", std::string(524289, 'x'));
  open();
  close();
  EXPECT_EQ(fs.contentOf("/app/report23111400.tvr").size(), 524289u);
  EXPECT_EQ(reportLines().front(), kHeader);

  fs.addFile("/app/report.tvr", std::string(524289, 'y'));
  open();
  close();
  EXPECT_EQ(fs.contentOf("/app/report23111401.tvr").substr(0, 1), "y");
  EXPECT_EQ(fs.contentOf("/app/report23111400.tvr").substr(0, 1), "x");
}

TEST_F(ReportTest, AReportOfExactlyTheLimitKeepsItsName) {
  engine.shared.ReportSize = 512;
  fs.addFile("/app/report.tvr", std::string(524288, 'x'));
  open();
  EXPECT_FALSE(fs.exists("/app/report23111400.tvr"));
  EXPECT_EQ(fs.contentOf("/app/report.tvr").substr(0, 524288), std::string(524288, 'x'));
}

TEST_F(ReportTest, AFailedWriteWhileOpenBecomesAnErrorLine) {
  open();
  fs.failOn(FakeFileSystem::Op::Write, "/app/report.tvr", ENOSPC, 1);
  write(ReportLineKind::NewFile, "/b/lost");
  const std::string line = "Report File Error Code : 28  No space left on device";
  EXPECT_EQ(reportLines().back(), line);
  EXPECT_EQ(actionLines(), (Lines{line, "New File : /b/lost"}));
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ReportTest, OpenFailureAsksAndNoEndsTheProgram) {
  fs.failOn(FakeFileSystem::Op::Open, "/app/report.tvr", EACCES);
  ui.answers.push_back(MessageAnswer::No);
  open();
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].title, "Error");
  EXPECT_EQ(ui.boxes[0].text, "継続しますか？  Error Code : 13  Permission denied");
  EXPECT_EQ(ui.boxes[0].icon, platform::MessageIcon::Critical);
  EXPECT_EQ(ui.boxes[0].buttons, platform::MessageButtons::YesNo);
  EXPECT_TRUE(engine.run.EndRequested);
  EXPECT_FALSE(fs.exists("/app/Recent.tvr"));
  write(ReportLineKind::Error, "more");
  EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(ReportTest, OpenFailureAnsweredYesGoesOnWithTheNextFile) {
  fs.failOn(FakeFileSystem::Op::Open, "/app/report.tvr", EACCES);
  open();
  EXPECT_EQ(ui.boxes.size(), 1u);
  EXPECT_FALSE(engine.run.EndRequested);
  EXPECT_EQ(recentLines().front(), kHeader);
}

TEST_F(ReportTest, AMissingReportFileHasNothingToRotateAndAsksNothing) {
  ASSERT_EQ(fs.removeEntry("/app/report.tvr"), 0);
  open();
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(reportLines().front(), kHeader);
}

TEST_F(ReportTest, AnUnreadableReportLengthIsAFailedRotationThatGoesOn) {
  fs.failOn(FakeFileSystem::Op::Stat, "/app/report.tvr", EACCES);
  open();
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "継続しますか？  Error Code : 13  Permission denied");
  EXPECT_EQ(reportLines().front(), kHeader);
}

// A drive whose label cannot be read.
class UnreadableLabelFs : public FakeFileSystem {
 public:
  int volumeLabel(const std::string&, std::string&) override { return EIO; }
};

TEST(ReportLabels, AnUnreadableLabelEndsTheProgram) {
  UnreadableLabelFs fs;
  fs.addDirectory("/app");
  platform::FakeTrash trash{fs};
  platform::FakeWindowSystem ui;
  platform::FakeSystemInfo sys;
  Engine engine{Services{fs, trash, ui, sys}};
  engine.shared.AppPath = "/app";
  WriteReport(engine, ReportLineKind::OpenReport, "", -1, "/m", "/b");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].title, "Error");
  EXPECT_EQ(ui.boxes[0].text, "/m Error (Code : 5  Input/output error )");
  EXPECT_EQ(ui.boxes[0].buttons, platform::MessageButtons::Ok);
  EXPECT_TRUE(engine.run.EndRequested);
  EXPECT_FALSE(engine.report.isOpen());
}

}  // namespace
}  // namespace tolvan
