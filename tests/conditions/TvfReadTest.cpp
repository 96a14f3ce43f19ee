#include <cerrno>

#include "ConditionsFixture.h"
#include "conditions/PathFields.h"
#include "conditions/Tvf.h"

namespace tolvan::testing {
namespace {

class TvfReadTest : public ConditionsFixture {
 protected:
  void read(const std::vector<std::string>& lines) {
    writeTvf(lines);
    tvfRead(session);
  }
};

TEST_F(TvfReadTest, ValuesReadAsTheFileWritesThem) {
  using Field = std::int16_t JobConditions::*;
  const struct {
    std::string line;
    Field field;
    int expected;
  } cases[] = {{"NomalMode=YES", &JobConditions::NomalMode, -1},
               {"  NomalMode  =  yes  ", &JobConditions::NomalMode, -1},
               {"NomalMode=1", &JobConditions::NomalMode, 0},
               {"nomalmode=yes", &JobConditions::NomalMode, 0},  // keys are case-sensitive
               {"Timer=Yes", &JobConditions::Timer, 1},
               {"Size=yes", &JobConditions::Size, -1},
               {"Report=NO", &JobConditions::Report, 0},
               {"DateMode=00", &JobConditions::DateMode, 1},  // only exactly 0 is every day
               {"DateMode= 0 ", &JobConditions::DateMode, 0},
               {"UpDate=2.5", &JobConditions::UpDate, 2},  // halves round to even
               {"UpDate=3.5", &JobConditions::UpDate, 4},
               {"UpDate=-2.5", &JobConditions::UpDate, -2},
               {"UpDate=abc", &JobConditions::UpDate, 0},
               {"UpDate=7x", &JobConditions::UpDate, 7},
               {"UpDate=1e2", &JobConditions::UpDate, 100},
               {"UpDate=-32768", &JobConditions::UpDate, -32768}};
  for (const auto& c : cases) {
    read({c.line});
    EXPECT_EQ(engine.job.*c.field, c.expected) << c.line;
    EXPECT_EQ(engine.run.ConditionsLoaded, -1) << c.line;
  }
  read({"Time=9:5"});
  EXPECT_EQ(engine.job.Time, "09:05");
  read({"Time=14:20:30", "Time=23:59"});  // the last value counts
  EXPECT_EQ(engine.job.Time, "23:59");
  fs.addDirectory("/data=old");
  read({"DriveA=/data=old", "DriveB=/b/"});
  EXPECT_EQ(session.window.from.text, "/data=old");
  EXPECT_EQ(session.window.to.text + session.window.to.folder, "/b/b");
}

TEST_F(TvfReadTest, BadRecordsAndValuesEndTheProgramWithABox) {
  fs.addDirectory("/data/My");
  const struct {
    std::vector<std::string> lines;
    std::string box;
  } cases[] = {{{"DriveA=/data/My,Docs"}, "job.tvfの記述内容に誤りがあります。"},
               {{"NomalMode=yes", "", "Report=no"}, "job.tvfの記述内容に誤りがあります。"},
               {{"Time=25:00"}, "tvf File Read Error (Error Code=13)"},
               {{"UpDate=40000"}, "tvf File Read Error (Error Code=6)"},
               {{"Once=yes"}, "tvf File Read Error (Error Code=75)"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.box);
    session.endRequested = false;
    formSetCalls.clear();
    if (c.box.find("75") != std::string::npos)
      fs.failOn(platform::FakeFileSystem::Op::ReadFile, "/app/job.tvf", EACCES);
    read(c.lines);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes.back().text, c.box);
    EXPECT_EQ(ui.boxes.back().title, "Tolvan32");
    EXPECT_EQ(ui.boxes.back().icon, platform::MessageIcon::Critical);
    EXPECT_TRUE(session.endRequested);
    EXPECT_EQ(session.endStatus, 2);
    EXPECT_EQ(engine.run.ConditionsLoaded, 0);
    EXPECT_TRUE(formSetCalls.empty());
    if (c.lines[0] == "DriveA=/data/My,Docs") {
      EXPECT_EQ(session.window.from.text, "/data/My") << "a comma ends the path";
    }
    if (c.lines.size() == 3) {
      EXPECT_EQ(engine.job.NomalMode, -1);
      EXPECT_EQ(engine.job.Report, -1) << "the line after the blank one is never reached";
    }
  }
}

TEST_F(TvfReadTest, WriteThenReadReproducesEverySetting) {
  fs.addDirectory("/m/写真");
  session.window.from.text = " /m/写真 ";
  session.window.to.text = "/b";
  JobConditions& job = engine.job;
  job.NomalMode = -1, job.UpDate = 1, job.TrashBox = 1, job.Size = 1, job.MatchCase = 1;
  job.Report = 0, job.ChildDir = 0, job.Timer = 1, job.DateMode = 1, job.Once = 1;
  job.Time = "03:15";
  ASSERT_EQ(tvfWrite(session), 0);
  EXPECT_EQ(fs.contentOf("/app/job.tvf").substr(0, 33), "** File Mirroring Conditions **\r\n");
  EXPECT_EQ(
      linesOf("/app/job.tvf"),
      (std::vector<std::string>{
          "** File Mirroring Conditions **", "NomalMode=yes", "UpDate= 1 ", "TrashBox=yes",
          "Size=yes", "MatchCase=yes", "Report=no", "ChildDir=no", "DriveA=/m/写真", "DriveB=/b",
          "** Timer ** (example)", "*  毎日の場合は、指定時間に実行する場合は、DateMode=0 とする",
          "*    exp. 毎日14:20に実行する場合  DateMode=0  Time=14:20",
          "*  指定時間毎に実行する場合は、DateMode=1 とする",
          "*    exp. 3時間15分毎に実行する場合  DateMode=1  Time=03:15", "Timer=yes", "DateMode=1",
          "Once=yes", "Time=03:15"}));
  const std::string written = TvfText(session);
  DefaultSet(job);
  session.window.from = {};
  session.window.to = {};
  tvfRead(session);
  EXPECT_EQ(TvfText(session), written);
  EXPECT_EQ(job.TrashBox, -1);  // a flag read from a file is -1
  job.UpDate = -3;
  EXPECT_NE(TvfText(session).find("\r\nUpDate=-3 \r\n"), std::string::npos);
}

// Paths are names, which may hold any bytes: the file the program wrote reads back to the same
// paths, byte for byte, instead of being taken for Shift-JIS as a whole.
TEST_F(TvfReadTest, PathsThatAreNotUtf8ReadBackByteForByte) {
  const std::string from = "/m/\xff\xfe写真";
  const std::string to = "/b/\x80";
  fs.addDirectory(from);
  fs.addDirectory(to);
  session.window.from.text = from;
  session.window.to.text = to;
  ASSERT_EQ(tvfWrite(session), 0);
  session.window.from = {};
  session.window.to = {};
  tvfRead(session);
  EXPECT_EQ(session.window.from.text, from);
  EXPECT_EQ(session.window.to.text, to);
  EXPECT_EQ(engine.run.MissingPath, 0);
}

// A file of the Windows version: its comment lines are Shift-JIS too, so it reads as such.
TEST_F(TvfReadTest, ShiftJisFileAndBareLineFeedsRead) {
  fs.addDirectory("/m/写真");
  // "DriveA=/m/写真", a comment "* とする" and "Once=yes" in Shift-JIS.
  fs.addFile("/app/job.tvf",
             "DriveA=/m/\x8e\xca\x90^\r\n* \x82\xc6\x82\xb7\x82\xe9\r\nOnce=yes\r\n");
  tvfRead(session);
  EXPECT_EQ(session.window.from.text, "/m/写真");
  EXPECT_EQ(engine.job.Once, -1);
  writeTvf({"Once=yes", "Time=7:30"}, "job.tvf", "\n");
  tvfRead(session);
  EXPECT_EQ(engine.job.Time, "07:30");
  EXPECT_FALSE(session.endRequested);
}

TEST_F(TvfReadTest, MissingFileKeepsDefaultsAndTurnsTheTimerOff) {
  engine.job.NomalMode = -1;
  engine.shared.TvfFileName = "gone.tvf";
  tvfRead(session);
  EXPECT_EQ(engine.job.NomalMode, 0);
  EXPECT_EQ(formSetCalls, std::vector<std::int16_t>{0});
  EXPECT_EQ(engine.run.ConditionsLoaded, 0);
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_FALSE(session.endRequested);
}

// An unreachable path gives way to TempPath, an unnamed one keeps the field's earlier text;
// either blocks runs until that side's own field really changes.
TEST_F(TvfReadTest, AMissingOrUnnamedPathBlocksRunsUntilItsOwnFieldChanges) {
  const struct {
    std::vector<std::string> lines;
    Side missing;
    std::string shown;
  } cases[] = {{{"DriveA=/m", "DriveB=/nowhere/backup"}, Side::To, "/tmp"},
               {{"DriveA=/m", "driveB=/b"}, Side::To, "/work"},  // keys are case-sensitive
               {{"DriveA=/m"}, Side::To, "/work"},
               {{"DriveB=/b"}, Side::From, "/work"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines.back());
    for (const Side side : {Side::From, Side::To}) SetPathText(session, side, "/work");
    read(c.lines);
    EXPECT_EQ(SideOf(session, c.missing).text, c.shown);
    EXPECT_EQ(engine.run.MissingPath, -1);
    SetPathText(session, c.missing == Side::To ? Side::From : Side::To, "/elsewhere");
    EXPECT_EQ(engine.run.MissingPath, -1) << "the other side's field changed";
    SetPathText(session, c.missing, c.shown);
    EXPECT_EQ(engine.run.MissingPath, -1) << "the same text is no change";
    SetPathText(session, c.missing, "/b");
    EXPECT_EQ(engine.run.MissingPath, 0);
  }
  read({"DriveA=/m", "DriveB=/nowhere/backup", "NomalMode=yes"});
  EXPECT_EQ(engine.job.NomalMode, -1);  // the keys after it are still read
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(TvfReadTest, UnattendedFailuresAreReportedAndEndTheProgram) {
  engine.job.XOption = 1;
  engine.shared.TvfFileName = "gone.tvf";
  tvfRead(session);
  EXPECT_TRUE(session.endRequested);
  EXPECT_EQ(actionLines().size(), 1U);
  session.endRequested = false;
  engine.shared.TvfFileName = "job.tvf";
  read({"DriveA=/m", "DriveB=/nowhere/backup", "Once=yes"});
  EXPECT_TRUE(session.endRequested);
  EXPECT_EQ(session.endStatus, 2);
  // Only the report writer may ask (report.tvr does not exist yet); the reader shows nothing.
  for (const auto& box : ui.boxes) EXPECT_NE(box.title, "Tolvan32") << box.text;
  EXPECT_TRUE(formSetCalls.empty());
  EXPECT_NE(recentLines().at(1).find("/m"), std::string::npos);
  EXPECT_NE(recentLines().at(1).find("/nowhere/backup"), std::string::npos);
  EXPECT_EQ(actionLines(),
            std::vector<std::string>{
                "Error : 指定したドライブまたはフォルダーにアクセスできませんでした。"});
  EXPECT_FALSE(engine.report.isOpen());
}

TEST_F(TvfReadTest, FolderFailuresAreNamedByKind) {
  fs.addDirectory("/media/user");
  fs.addDirectory("/data/locked");
  fs.addFile("/data/file");
  fs.failOn(platform::FakeFileSystem::Op::List, "/data/locked", EACCES);
  const std::pair<std::string, int> cases[] = {{"/media/user/STICK/photos", kErrDeviceUnavailable},
                                               {"/data/none", kErrPathNotFound},
                                               {"/data/file", kErrPathNotFound},
                                               {"/data/locked", kErrPathFileAccess}};
  for (const auto& [path, error] : cases) EXPECT_EQ(SelectFolder(session, Side::From, path), error);
  EXPECT_TRUE(session.window.from.text.empty());  // nothing changed on failure
  fs.addDirectory("/work/sub");
  EXPECT_EQ(SelectFolder(session, Side::From, "sub/../sub/."), 0);
  EXPECT_EQ(session.window.from.text, "/work/sub");
}

}  // namespace
}  // namespace tolvan::testing
