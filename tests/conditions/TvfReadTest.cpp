#include <iconv.h>

#include <cerrno>

#include "ConditionsFixture.h"
#include "conditions/PathFields.h"
#include "conditions/Tvf.h"
#include "conditions/TvfList.h"

namespace tolvan::testing {
namespace {

class TvfReadTest : public ConditionsFixture {
 protected:
  void read(const std::vector<std::string>& lines) {
    writeTvf(lines);
    tvfRead(session);
  }
  void expectEndedWith(const std::string& box) {
    EXPECT_EQ(lastBoxText(), box);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes.back().title, "Tolvan32");
    EXPECT_EQ(ui.boxes.back().icon, platform::MessageIcon::Critical);
    EXPECT_TRUE(session.endRequested);
    EXPECT_EQ(session.endStatus, 2);
    EXPECT_EQ(engine.run.ConditionsLoaded, 0);
    EXPECT_TRUE(formSetCalls.empty());
  }
};

const std::string kBadRecord = "job.tvfの記述内容に誤りがあります。";

TEST_F(TvfReadTest, PathWithACommaIsCutAndTheRestIsABadRecord) {
  fs.addDirectory("/data/My");
  read({"DriveA=/data/My,Docs"});
  EXPECT_EQ(session.window.from.text, "/data/My");
  expectEndedWith(kBadRecord);
}

TEST_F(TvfReadTest, BlankLineIsABadRecord) {
  read({"NomalMode=yes", "", "Report=no"});
  EXPECT_EQ(engine.job.NomalMode, -1);
  EXPECT_EQ(engine.job.Report, -1);  // never reached
  expectEndedWith(kBadRecord);
}

TEST_F(TvfReadTest, KeyCaseMattersValueCaseDoesNot) {
  const std::pair<std::string, std::int16_t> cases[] = {{"NomalMode=YES", -1},
                                                        {"  NomalMode  =  yes  ", -1},
                                                        {"NomalMode=1", 0},
                                                        {"nomalmode=yes", 0},
                                                        {"NomalMode=Yes", -1}};
  for (const auto& [line, expected] : cases) {
    engine.job.NomalMode = 5;
    read({line});
    EXPECT_EQ(engine.job.NomalMode, expected) << line;
  }
  read({"Timer=Yes", "Size=yes", "Report=NO", "ChildDir=no"});
  EXPECT_EQ(engine.job.Timer, 1);
  EXPECT_EQ(engine.job.Size, -1);
  EXPECT_EQ(engine.job.Report, 0);
  EXPECT_EQ(engine.job.ChildDir, 0);
  EXPECT_EQ(formSetCalls.back(), 1);
  EXPECT_EQ(engine.run.ConditionsLoaded, -1);
}

TEST_F(TvfReadTest, DateModeOnlyExactZeroIsEveryDay) {
  read({"DateMode=00"});
  EXPECT_EQ(engine.job.DateMode, 1);
  read({"DateMode=0", "DateMode= 0 "});
  EXPECT_EQ(engine.job.DateMode, 0);
}

TEST_F(TvfReadTest, TimeIsStoredAsHoursAndMinutes) {
  read({"Time=9:5"});
  EXPECT_EQ(engine.job.Time, "09:05");
  read({"Time=14:20:30", "Time=23:59"});  // the last value counts
  EXPECT_EQ(engine.job.Time, "23:59");
  formSetCalls.clear();
  read({"Time=25:00"});
  expectEndedWith("tvf File Read Error (Error Code=13)");
}

TEST_F(TvfReadTest, UpDateRoundsHalvesToEvenAndMustFitSixteenBits) {
  const std::pair<std::string, std::int16_t> cases[] = {{"2.5", 2},        {"3.5", 4}, {"abc", 0},
                                                        {"-2.5", -2},      {"7x", 7},  {"1e2", 100},
                                                        {"-32768", -32768}};
  for (const auto& [value, expected] : cases) {
    read({"UpDate=" + value});
    EXPECT_EQ(engine.job.UpDate, expected) << value;
  }
  formSetCalls.clear();
  read({"UpDate=40000"});
  expectEndedWith("tvf File Read Error (Error Code=6)");
}

TEST_F(TvfReadTest, ValueKeepsEverythingAfterTheFirstEquals) {
  fs.addDirectory("/data=old");
  read({"DriveA=/data=old", "DriveB=/b/"});
  EXPECT_EQ(session.window.from.text, "/data=old");
  EXPECT_EQ(session.window.to.text, "/b");
  EXPECT_EQ(session.window.to.folder, "/b");
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
  EXPECT_EQ(fs.contentOf("/app/job.tvf").substr(0, 33), "** File Mirroring Conditions **\r\n");
  const std::string written = TvfText(session);
  DefaultSet(job);
  job.Time = "00:00";
  session.window.from = {};
  session.window.to = {};
  tvfRead(session);
  EXPECT_EQ(TvfText(session), written);
  EXPECT_EQ(job.TrashBox, -1);  // a flag read from a file is -1
  EXPECT_EQ(engine.run.MissingPath, 0);
}

TEST_F(TvfReadTest, NegativeAndZeroUpDateLines) {
  engine.job.UpDate = -3;
  EXPECT_NE(TvfText(session).find("\r\nUpDate=-3 \r\n"), std::string::npos);
  engine.job.UpDate = 0;
  EXPECT_NE(TvfText(session).find("\r\nUpDate= 0 \r\n"), std::string::npos);
}

std::string ToShiftJis(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  std::string in = utf8;
  std::string out(in.size() * 2, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  EXPECT_NE(result, static_cast<std::size_t>(-1));
  out.resize(out.size() - outLeft);
  return out;
}

TEST_F(TvfReadTest, ShiftJisFileAndBareLineFeedsRead) {
  fs.addDirectory("/m/写真");
  const std::string text =
      "** File Mirroring Conditions **\r\nDriveA=/m/写真\r\n"
      "*  毎日の場合は、指定時間に実行する場合は、DateMode=0 とする\r\n"
      "Once=yes\r\n";
  fs.addFile("/app/job.tvf", ToShiftJis(text));
  tvfRead(session);
  EXPECT_EQ(session.window.from.text, "/m/写真");
  EXPECT_EQ(engine.job.Once, -1);
  EXPECT_EQ(engine.run.ConditionsLoaded, -1);

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
  engine.shared.TvfFileName.clear();
  tvfRead(session);
  EXPECT_EQ(formSetCalls.size(), 2U);
}

TEST_F(TvfReadTest, UnreadableFileIsAnAccessError) {
  writeTvf({"Once=yes"});
  fs.failOn(platform::FakeFileSystem::Op::ReadFile, "/app/job.tvf", EACCES);
  tvfRead(session);
  expectEndedWith("tvf File Read Error (Error Code=75)");
}

TEST_F(TvfReadTest, CommentsOnlyGiveDefaultsAndLeavePathsAndTime) {
  session.window.from.text = "/m";
  engine.job.Time = "11:11";
  engine.job.Report = 0;
  read({"** File Mirroring Conditions **", "; a note", "  * indented note"});
  EXPECT_EQ(engine.job.Report, -1);
  EXPECT_EQ(engine.job.Time, "11:11");
  EXPECT_EQ(session.window.from.text, "/m");
  EXPECT_EQ(formSetCalls, std::vector<std::int16_t>{0});
}

TEST_F(TvfReadTest, MissingDriveBGivesTempPathUntilThePathIsEdited) {
  read({"DriveA=/m", "DriveB=/nowhere/backup", "Once=yes"});
  EXPECT_EQ(session.window.to.text, "/tmp");
  EXPECT_EQ(session.window.to.folder, "/tmp");
  EXPECT_EQ(engine.run.MissingPath, -1);
  EXPECT_EQ(engine.job.Once, -1);  // the keys after it are still read
  EXPECT_EQ(engine.run.ConditionsLoaded, -1);
  EXPECT_TRUE(ui.boxes.empty());
  SetPathText(session, Side::To, "/tmp");
  EXPECT_EQ(engine.run.MissingPath, -1);
  SetPathText(session, Side::From, "/b");
  EXPECT_EQ(engine.run.MissingPath, 0);
}

TEST_F(TvfReadTest, UnattendedPathFailureIsReportedAndEndsTheProgram) {
  engine.job.XOption = 1;
  read({"DriveA=/m", "DriveB=/nowhere/backup", "Once=yes"});
  EXPECT_TRUE(session.endRequested);
  EXPECT_EQ(session.endStatus, 2);
  // Only the report writer may ask (report.tvr does not exist yet); the reader shows nothing.
  for (const auto& box : ui.boxes) EXPECT_NE(box.title, "Tolvan32") << box.text;
  EXPECT_TRUE(formSetCalls.empty());
  EXPECT_EQ(engine.job.Once, 0);
  EXPECT_NE(session.window.to.text, "/tmp");
  const auto lines = recentLines();
  ASSERT_GE(lines.size(), 2U);
  EXPECT_NE(lines[1].find("/m"), std::string::npos);
  EXPECT_NE(lines[1].find("/nowhere/backup"), std::string::npos);
  EXPECT_EQ(actionLines(),
            std::vector<std::string>{
                "Error : 指定したドライブまたはフォルダーにアクセスできませんでした。"});
  EXPECT_FALSE(engine.report.isOpen());
}

TEST_F(TvfReadTest, UnattendedMissingConditionsFileIsReported) {
  engine.job.XOption = 1;
  engine.shared.TvfFileName = "gone.tvf";
  tvfRead(session);
  EXPECT_TRUE(session.endRequested);
  EXPECT_EQ(actionLines().size(), 1U);
}

TEST_F(TvfReadTest, FolderFailuresAreNamedByKind) {
  fs.addDirectory("/media/user");
  fs.addDirectory("/mnt/usb");
  fs.addDirectory("/data/locked");
  fs.addFile("/data/file");
  fs.failOn(platform::FakeFileSystem::Op::List, "/data/locked", EACCES);
  EXPECT_EQ(SelectFolder(session, Side::From, "/media/user/STICK/photos"), kErrDeviceUnavailable);
  EXPECT_EQ(SelectFolder(session, Side::From, "/mnt/usb/photos"), kErrDeviceUnavailable);
  EXPECT_EQ(SelectFolder(session, Side::From, "/data/none"), kErrPathNotFound);
  EXPECT_EQ(SelectFolder(session, Side::From, "/data/file"), kErrPathNotFound);
  EXPECT_EQ(SelectFolder(session, Side::From, "/data/locked"), kErrPathFileAccess);
  EXPECT_TRUE(session.window.from.text.empty());  // nothing changed on failure
  fs.addDirectory("/work/sub");
  EXPECT_EQ(SelectFolder(session, Side::From, "sub/../sub/."), 0);
  EXPECT_EQ(session.window.from.text, "/work/sub");
}

TEST_F(TvfReadTest, DriveUsageText) {
  session.window.from.folder = "/m";
  fs.totalBytes = 2147483648ULL;
  fs.freeBytes = 1073741824ULL;
  EXPECT_EQ(Disk_use_total(session, 0), "1024/2048MB used");
  fs.totalBytes = 2147378791ULL;                // just over 2047.9 MB
  fs.freeBytes = fs.totalBytes - 851758285ULL;  // 812.3 MB used
  EXPECT_EQ(Disk_use_total(session, 0), "812.3/2047.9MB used");
  EXPECT_EQ(Disk_use_total(session, 2), "");
  fs.diskSpaceError = EIO;
  EXPECT_EQ(Disk_use_total(session, 0), "");
}

}  // namespace
}  // namespace tolvan::testing
