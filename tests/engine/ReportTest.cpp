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
  // Writes the line through at once, as the run does 100 ms later at most.
  void write(ReportLineKind kind, const std::string& text) {
    WriteReport(engine, kind, text, engine.job.Report);
    FlushReport(engine);
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

TEST_F(ReportTest, TwoRunsInARow) {
  run("/b/first");
  run("/b/second");
  const Lines second{kHeader,
                     "Mirroring from /m to /b on 2023/11/14",
                     "  Conditions  *Mode=BackUp *UpDate=UpDate *Size=NotCheck *Report=Write",
                     "              *ChildDir=Include *TrashBox=NotUse *XOption=No *ATOption=No",
                     "              *Timer=No *OnceForAll=No *MatchCase=NotCheck "
                     "*ErrorFreeOption=No",
                     kSeparator,
                     "New File : /b/second",
                     kSeparator,
                     "Finished Time : 2023/11/14 12:17:26   所要時間 : 1:02:03",
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

TEST_F(ReportTest, ConditionsAndSidesLines) {
  JobConditions& job = engine.job;
  job.XOption = job.Timer = job.Size = job.TrashBox = 1;
  job.NomalMode = job.Once = job.Windows95 = job.MatchCase = job.ATOption = -1;
  job.ErrorFreeOption = -1;
  job.UpDate = 2;  // shown as AllFiles like 1
  job.ChildDir = 0;
  engine.os.BuildHigh = 55;
  fs.labels["/b"] = "BACKUP";
  open();
  const Lines lines = recentLines();
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + 5),
            (Lines{"** File Mirroring Report **   Ver.1.00    job.tvf   Windows95 Ver.6.01 "
                   "Debian GNU/Linux 55 0",
                   "Mirroring from /m to [BACKUP]/b on 2023/11/14",
                   "  Conditions  *Mode=Mirroring *UpDate=AllFiles *Size=Check *Report=Write",
                   "              *ChildDir=NotInclude *TrashBox=Use *XOption=Yes *ATOption=Yes",
                   "              *Timer=Yes *OnceForAll=Yes *MatchCase=Check "
                   "*ErrorFreeOption=Yes"}));
  close();
  fs.labels["/"] = "ROOT";
  open();
  EXPECT_EQ(recentLines()[1], "Mirroring from [ROOT]/m to [BACKUP]/b on 2023/11/14");
}

TEST_F(ReportTest, NothingIsWrittenWithReportOffOrInADryRunAndAClosedReportIsLetGo) {
  engine.job.Report = 0;
  run("/b/x");
  write(ReportLineKind::Error, "e");
  engine.job.Report = -1;
  for (std::int16_t mode : {3, -1}) {
    engine.run.DryRunMode = mode;
    run("/b/x");
    write(ReportLineKind::Error, "e");
  }
  EXPECT_EQ(fs.contentOf("/app/report.tvr"), "");
  EXPECT_FALSE(fs.exists("/app/Recent.tvr"));
  EXPECT_TRUE(ui.boxes.empty());
  // A report opened before Report was switched off is closed and let go all the same.
  engine.run.DryRunMode = 0;
  open();
  engine.job.Report = 0;
  close();
  EXPECT_FALSE(engine.report.isOpen());
  EXPECT_EQ(recentLines().at(recentLines().size() - 4), kSeparator);
}

TEST_F(ReportTest, ErrorLineWhileClosedOpensTheReportWithItsOwnSides) {
  WriteReport(engine, ReportLineKind::Error, "From side unreadable", -1, "/x/from", "/y/to");
  FlushReport(engine);
  const Lines lines = recentLines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], kHeader);
  EXPECT_EQ(lines[1], "Mirroring from /x/from to /y/to on 2023/11/14");
  EXPECT_EQ(lines[6], "Error : From side unreadable");
  EXPECT_TRUE(engine.report.isOpen());
}

// An oversized report gets the first free dated name; a missing one has nothing to rotate; one
// whose length cannot be read is said in the report it holds, after the header.
TEST_F(ReportTest, RotationGivesAnOversizedReportTheFirstFreeDatedName) {
  ASSERT_EQ(fs.removeEntry("/app/report.tvr"), 0);
  open();
  close();
  EXPECT_EQ(reportLines().front(), kHeader);
  engine.shared.ReportSize = 512;
  fs.addFile("/app/report.tvr", std::string(524288, 'x'));  // exactly the limit stays
  open();
  close();
  EXPECT_FALSE(fs.exists("/app/report23111400.tvr"));
  for (const char* name : {"/app/report23111400.tvr", "/app/report23111401.tvr"}) {
    fs.addFile("/app/report.tvr", std::string(524289, name[18]));
    open();
    close();
    EXPECT_EQ(fs.contentOf(name), std::string(524289, name[18]));
    EXPECT_EQ(reportLines().front(), kHeader);
  }
  EXPECT_EQ(fs.contentOf("/app/report23111400.tvr").substr(0, 1), "0");
  const auto linesBefore = reportLines().size();
  fs.failOn(FakeFileSystem::Op::Stat, "/app/report.tvr", EACCES);
  open();
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(reportLines().at(linesBefore), kHeader);
  EXPECT_EQ(actionLines(), Lines{"Report File Error Code : 13  Permission denied"});
}

// A failed write becomes an error line; at the close the user is told that the report is
// incomplete, naming the first file that lost something. A failed close counts the same.
TEST_F(ReportTest, AFailedWriteOrCloseBecomesAnErrorLineAndIsSaidAtTheClose) {
  open();
  fs.failOn(FakeFileSystem::Op::Write, "/app/report.tvr", ENOSPC, 1);
  write(ReportLineKind::NewFile, "/b/lost\xff");
  EXPECT_EQ(actionLines(), (Lines{"Report File Error Code : 28  No space left on device",
                                  "New File : /b/lost?"}));  // an invalid byte shown as '?'
  write(static_cast<ReportLineKind>(-3), "an unknown kind writes nothing");
  EXPECT_EQ(actionLines().size(), 2u);
  EXPECT_TRUE(ui.boxes.empty());
  close();
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text,
            "The report file /app/report.tvr could not be written completely: No space left on "
            "device");
  EXPECT_EQ(ui.boxes[0].icon, platform::MessageIcon::Critical);

  open();
  fs.failOn(FakeFileSystem::Op::Close, "/app/Recent.tvr", EIO, 1);
  close();
  ASSERT_EQ(ui.boxes.size(), 2u);  // the second report names its own loss only
  EXPECT_EQ(ui.boxes[1].text,
            "The report file /app/Recent.tvr could not be written completely: Input/output error");
  EXPECT_FALSE(engine.report.isOpen());
}

// A report.tvr that cannot be opened asks whether to go on: No ends the program, Yes goes on
// without a report; Recent.tvr is not kept alone.
TEST_F(ReportTest, OpenFailureAsksAndNoEndsTheProgram) {
  fs.failOn(FakeFileSystem::Op::Open, "/app/report.tvr", EACCES);
  for (const auto answer : {MessageAnswer::No, MessageAnswer::Yes}) {
    SCOPED_TRACE(answer == MessageAnswer::No ? "No" : "Yes");
    ui.boxes.clear();
    ui.answers = {answer};
    engine.run.EndRequested = false;
    open();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].title, "Error");
    EXPECT_EQ(ui.boxes[0].text, "継続しますか？  Error Code : 13  Permission denied");
    EXPECT_EQ(ui.boxes[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(engine.run.EndRequested, answer == MessageAnswer::No);
    EXPECT_EQ(engine.report.RecentFile, nullptr);
    EXPECT_EQ(fs.contentOf("/app/Recent.tvr"), "");
    if (answer == MessageAnswer::No) {
      write(ReportLineKind::Error, "more");  // asks no more
      EXPECT_EQ(ui.boxes.size(), 1u);
    }
  }
}

// A volume whose label cannot be read.
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
  EXPECT_EQ(ui.boxes[0].text, "/m Error (Code : 5  Input/output error )");
  EXPECT_TRUE(engine.run.EndRequested);
  EXPECT_FALSE(engine.report.isOpen());
}

}  // namespace
}  // namespace tolvan
