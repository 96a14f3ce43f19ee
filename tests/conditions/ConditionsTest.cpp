// The conditions file read and written, the list of saved jobs built around it, what the
// program takes from its start (the command line, the environment, stored settings), and both
// sides as the conditions reader and the job driver see them on real trees.
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "conditions/CommandLine.h"
#include "conditions/PathFields.h"
#include "conditions/Startup.h"
#include "conditions/Tvf.h"
#include "conditions/TvfList.h"
#include "engine/JobDriver.h"
#include "support/CannotRunHere.h"
#include "support/EngineFixture.h"
#include "support/Messages.h"

namespace tolvan::testing {
namespace {

const std::string kBadRecord = "job.tvfの記述内容に誤りがあります。";

class TvfTest : public ConditionsFixture {
 protected:
  void read(const Lines& lines) {
    formSetCalls.clear();
    ui.boxes.clear();
    session.endRequested = false;
    writeTvf(lines);
    tvfRead(session);
  }

  // Job files in the program folder, the list file (unless empty), then the list built with
  // `named` as the name given at start.
  const Lines& build(const Lines& jobs, const std::string& listFile,
                     const std::string& named = "") {
    for (const auto& name : jobs) writeTvf({"Once=yes"}, name);
    if (!listFile.empty()) fs.addFile("/app/TvfSet.txt", listFile);
    engine.shared.TvfFileName = named;
    GetTvfCombo(session, engine.shared.TvfFileName);
    return session.window.tvfList;
  }
};

// Good values read as the file writes them; a bad record or value ends the program with a box.
TEST_F(TvfTest, ValuesReadAsTheFileWritesThemAndBadOnesEndTheProgram) {
  using Job = JobConditions;
  const std::tuple<Lines, std::int16_t Job::*, int, std::string> cases[] = {
      {{"  NomalMode  =  YES  "}, &Job::NomalMode, -1, ""},
      {{"\xEF\xBB\xBFNomalMode=yes"}, &Job::NomalMode, -1, ""},  // a byte-order mark
      {{"NomalMode=1"}, &Job::NomalMode, 0, ""},
      {{"nomalmode=yes"}, &Job::NomalMode, 0, ""},  // keys are case-sensitive
      {{"Timer=Yes"}, &Job::Timer, 1, ""},
      {{"DateMode=00"}, &Job::DateMode, 1, ""},  // only exactly 0 is every day
      {{"DateMode= 0 "}, &Job::DateMode, 0, ""},
      {{"UpDate=1 001.5x"}, &Job::UpDate, 1002, ""},  // the number at the start, rounded
      {{"DriveA=/data/My,Docs"}, nullptr, 0, kBadRecord},
      // The line after the blank one is never reached.
      {{"NomalMode=yes", "", "Report=no"}, &Job::Report, -1, kBadRecord},
      {{"Time=25:00"}, nullptr, 0, "tvf File Read Error (Error Code=13)"},
      {{"UpDate=40000"}, nullptr, 0, "tvf File Read Error (Error Code=6)"},
      {{"Once=yes"}, nullptr, 0, "tvf File Read Error (Error Code=75)"}};
  read({"Time=9:5"});
  EXPECT_EQ(engine.job.Time, "09:05");
  read({"Time=14:20:30", "Time=23:59"});  // the last value counts
  EXPECT_EQ(engine.job.Time, "23:59");
  for (const char* folder : {"/data=old", "/m/写真", "/data/My"}) fs.addDirectory(folder);
  read({"DriveA=/data=old", "DriveB=/b/"});
  EXPECT_EQ(session.window.from.text + session.window.to.text + session.window.to.folder,
            "/data=old/b/b");
  // "DriveA=/m/写真", a comment "* とする" and "Once=yes" in Shift-JIS (a file of the Windows
  // version), bare line feeds.
  fs.addFile("/app/job.tvf", "DriveA=/m/\x8e\xca\x90^\n* \x82\xc6\x82\xb7\x82\xe9\nOnce=yes\n");
  tvfRead(session);
  EXPECT_EQ(session.window.from.text + std::to_string(engine.job.Once), "/m/写真-1");
  for (const auto& [lines, field, expected, box] : cases) {
    SCOPED_TRACE(lines[0]);
    if (box.ends_with("75)"))
      fs.failOn(platform::FakeFileSystem::Op::ReadFile, "/app/job.tvf", EACCES);
    read(lines);
    // The value read, the box, whether the job counts as loaded, the exit status, whether a
    // timer was armed.
    const bool failed = !box.empty();
    EXPECT_EQ(std::tuple(field != nullptr ? engine.job.*field : 0,
                         ui.boxes.empty() ? "" : ui.boxes.back().text, engine.run.ConditionsLoaded,
                         session.endRequested ? session.endStatus : 0, formSetCalls.empty()),
              std::tuple(expected, box, failed ? 0 : -1, failed ? 2 : 0, failed));
  }
}

// Paths are names, which may hold any bytes: the file the program wrote reads back to the same
// paths byte for byte.
TEST_F(TvfTest, WriteThenReadReproducesEverySetting) {
  fs.addDirectory("/m/\xff\xfe写真");
  fs.addDirectory("/b/\x80");
  JobConditions& job = engine.job;
  // Each flag unlike its neighbours, and every one unlike its default in one of the two jobs:
  // a value written or read under another key shows.
  for (const bool on : {true, false}) {
    session.window.from.text = " /m/\xff\xfe写真 ";
    session.window.to.text = "/b/\x80";
    job.NomalMode = on ? -1 : 0, job.UpDate = 1, job.TrashBox = !on, job.Size = on;
    job.MatchCase = !on, job.Report = on, job.ChildDir = !on, job.Timer = on, job.DateMode = !on;
    job.Once = on, job.Time = "03:15";
    ASSERT_EQ(tvfWrite(session), 0);
    // The keys, then the timer's keys after the fixed comment lines.
    Lines lines = linesOf("/app/job.tvf");
    lines.erase(lines.begin() + 10, lines.end() - 4);
    const std::string y = on ? "yes" : "no", n = on ? "no" : "yes";
    EXPECT_EQ(lines,
              (Lines{"** File Mirroring Conditions **", "NomalMode=" + y, "UpDate= 1 ",
                     "TrashBox=" + n, "Size=" + y, "MatchCase=" + n, "Report=" + y, "ChildDir=" + n,
                     "DriveA=/m/\xff\xfe写真", "DriveB=/b/\x80", "Timer=" + y,
                     std::string("DateMode=") + (on ? "0" : "1"), "Once=" + y, "Time=03:15"}));
    const std::string written = TvfText(session);
    DefaultSet(job);
    session.window.from = session.window.to = {};
    tvfRead(session);
    EXPECT_EQ(TvfText(session), written);
    EXPECT_EQ(engine.run.MissingPath, 0);
    EXPECT_EQ(on ? job.Size : job.TrashBox, -1);  // a flag read from a file is -1
  }
  job.UpDate = -3;
  EXPECT_NE(TvfText(session).find("\r\nUpDate=-3 \r\n"), std::string::npos);
}

// The change limit is one more line after the nineteen, only while it is on; a value that is no
// whole number from 0 to 100 reads as off and is marked for the window to tell.
TEST_F(TvfTest, TheChangeLimitLineIsWrittenOnlyWhenOnAndBadValuesReadAsOff) {
  session.window.from.text = "/m";
  session.window.to.text = "/b";
  const std::string without = TvfText(session);
  engine.job.ChangeLimit = 25;
  EXPECT_EQ(TvfText(session), without + "ChangeLimit=25\r\n");
  // The value, the limit read, whether it is marked unreadable.
  const std::tuple<std::string, int, bool> cases[] = {
      {"25", 25, false}, {"0", 0, false},  {"100", 100, false}, {"101", 0, true},
      {"-1", 0, true},   {"2.5", 0, true}, {"x", 0, true},      {"", 0, true}};
  for (const auto& [value, limit, unreadable] : cases) {
    fs.addFile("/app/job.tvf", without + "ChangeLimit=" + value + "\r\n");
    tvfRead(session);
    EXPECT_EQ(std::tuple(engine.job.ChangeLimit, engine.job.ChangeLimitUnreadable != 0),
              std::tuple(limit, unreadable))
        << value;
  }
  fs.addFile("/app/job.tvf", without);
  tvfRead(session);
  EXPECT_EQ(TvfText(session), without) << "a job without the line is as it was";
}

// Exclusion patterns follow the nineteen lines, one a line, and read back whole whatever they
// hold; a job without them is written exactly as before, and repeats of the key add up.
TEST_F(TvfTest, ExclusionPatternsFollowTheNineteenLinesAndReadBackWhole) {
  const std::string plain = TvfText(session);
  EXPECT_EQ(plain.find("Exclude"), std::string::npos);
  const Lines patterns = {"*.tmp", "a,b", "say \"hi\"", "\"", " 写真/下書き*", "x\",\"y"};
  engine.job.Exclude = patterns;
  ASSERT_EQ(tvfWrite(session), 0);
  EXPECT_EQ(fs.contentOf("/app/job.tvf"),
            plain +
                "Exclude=*.tmp\r\n\"Exclude=a,b\"\r\n\"Exclude=say \"\"hi\"\"\"\r\n"
                "\"Exclude=\"\"\"\r\nExclude= 写真/下書き*\r\n\"Exclude=x\"\",\"\"y\"\r\n");
  engine.job.Exclude.clear();
  tvfRead(session);
  EXPECT_EQ(std::tuple(session.endRequested, engine.job.Exclude), std::tuple(false, patterns));
  read({"Exclude=b", "Size=yes", "Exclude=a"});
  EXPECT_EQ(engine.job.Exclude, (Lines{"b", "a"}));
}

// An unreachable path gives way to TempPath, an unnamed one keeps the field's earlier text;
// either blocks runs until that side's own field really changes.
TEST_F(TvfTest, AMissingOrUnnamedPathBlocksRunsUntilItsOwnFieldChanges) {
  const std::tuple<Lines, Side, std::string> cases[] = {
      {{"DriveA=/m", "driveB=/b"}, Side::To, "/work"},  // keys are case-sensitive
      {{"DriveA=/m"}, Side::To, "/work"},
      {{"DriveB=/b"}, Side::From, "/work"},
      {{"DriveA=/m", "DriveB=/nowhere/backup", "NomalMode=yes"}, Side::To, "/tmp"}};
  for (const auto& [lines, missing, shown] : cases) {
    SCOPED_TRACE(lines.back());
    for (const Side side : {Side::From, Side::To}) SetPathText(session, side, "/work");
    read(lines);
    EXPECT_EQ(std::tuple(SideOf(session, missing).text, ui.boxes.size()), std::tuple(shown, 0u));
    SetPathText(session, missing == Side::To ? Side::From : Side::To, "/elsewhere");
    SetPathText(session, missing, shown);  // the same text is no change
    EXPECT_EQ(engine.run.MissingPath, -1) << "the other side's field or the same text";
    SetPathText(session, missing, "/b");
    EXPECT_EQ(engine.run.MissingPath, 0);
  }
  EXPECT_EQ(engine.job.NomalMode, -1);  // the keys after a missing path are still read
  // Unattended, the reader shows nothing (only the report writer may ask: report.tvr does not
  // exist yet), names both sides in the report and ends the program; a missing file too.
  engine.job.XOption = 1;
  engine.shared.TvfFileName = "gone.tvf";
  tvfRead(session);
  EXPECT_EQ(std::pair(session.endRequested, actionLines().size()), std::pair(true, std::size_t{1}));
  engine.shared.TvfFileName = "job.tvf";
  read({"DriveA=/m", "DriveB=/nowhere/backup", "Once=yes"});
  for (const auto& box : ui.boxes) EXPECT_NE(box.title, "Tolvan32") << box.text;
  EXPECT_NE(recentLines().at(1).find("from /m to /nowhere/backup "), std::string::npos);
  EXPECT_EQ(std::tuple(session.endRequested ? session.endStatus : 0, formSetCalls.empty(),
                       actionLines(), engine.report.isOpen()),
            std::tuple(2, true, Lines{"Error : " + kNoAccess}, false));
}

TEST_F(TvfTest, FolderFailuresAreNamedByKind) {
  for (const char* folder : {"/media/user", "/data/locked", "/work/sub"}) fs.addDirectory(folder);
  fs.addFile("/data/file");
  fs.failOn(platform::FakeFileSystem::Op::List, "/data/locked", EACCES);
  const std::pair<std::string, int> cases[] = {{"/media/user/STICK/photos", kErrDeviceUnavailable},
                                               {"/data/none", kErrPathNotFound},
                                               {"/data/file", kErrPathNotFound},
                                               {"/data/locked", kErrPathFileAccess}};
  for (const auto& [path, error] : cases) EXPECT_EQ(SelectFolder(session, Side::From, path), error);
  EXPECT_TRUE(session.window.from.text.empty());  // nothing changed on failure
  EXPECT_EQ(SelectFolder(session, Side::From, "sub/../sub/."), 0);
  EXPECT_EQ(session.window.from.text, "/work/sub");
}

TEST_F(TvfTest, AMissingJobTurnsTheTimerOff) {
  engine.job.NomalMode = -1;
  EXPECT_TRUE(build({}, "", "job.tvf").empty());
  // The defaults stay; the timer is turned off; nothing is loaded, shown or ended.
  EXPECT_EQ(std::tuple(fs.contentOf("/app/TvfSet.txt"), engine.job.NomalMode, formSetCalls,
                       engine.run.ConditionsLoaded + ui.boxes.size() + session.endRequested),
            std::tuple("\r\n", 0, std::vector<std::int16_t>{0}, 0u));
}

TEST_F(TvfTest, TheListFileIsCheckedAgainstTheFolder) {
  const struct {
    Lines jobs;
    std::string listFile, named;
    Lines expected;
    bool caseBlind = false;  // the program folder's file system
  } cases[] = {
      {{"b.tvf", "a.tvf", "c.TVF"}, "", "", {"a.tvf", "b.tvf", "c.TVF"}},  // the first start
      {{"a.tvf", "b.tvf", "n.tvf"},
       "b.tvf\r\ng.tvf\r\na.tvf\r\n\r\n",
       "",
       {"b.tvf", "a.tvf", "n.tvf"}},
      {{"Job.tvf", "job.tvf"}, "Job.tvf\r\nJOB.tvf\r\n\r\n", "", {"Job.tvf", "job.tvf"}},
      {{"job.tvf"}, "Job.tvf\r\nJOB.tvf\r\n\r\n", "", {"job.tvf"}, true},
      {{"a.tvf", "night.old"}, "a.tvf\r\n\r\n", "night.old", {"night.old", "a.tvf"}},
      {{"a.tvf", "b.tvf", "c.tvf"}, "c.tvf\n\nb.tvf\n", "", {"c.tvf", "a.tvf", "b.tvf"}},
      {{"a.tvf", "b.tvf", "c.tvf"}, "a.tvf\r\nb.tvf\r\n\r\n", "C.TVF", {"a.tvf", "b.tvf", "c.tvf"}},
      {{"a.tvf", "b.tvf", "c.tvf"}, "a.tvf\r\n\r\n", "C.TVF", {"c.tvf", "a.tvf", "b.tvf"}, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.listFile + " " + c.named);
    ASSERT_EQ(fs.removeTree("/app"), 0);
    fs.setCaseBlindBelow(c.caseBlind ? "/" : "");
    fs.addFile("/app/notes.txt");
    fs.addDirectory("/app/dir.tvf");
    std::string saved;
    for (const auto& name : c.expected) saved += name + "\r\n";
    EXPECT_EQ(build(c.jobs, c.listFile, c.named), c.expected);
    // The first start writes the list from the folder; the first entry is read.
    EXPECT_EQ(fs.contentOf("/app/TvfSet.txt"), c.listFile.empty() ? saved + "\r\n" : c.listFile);
    EXPECT_EQ(engine.shared.TvfFileName + std::to_string(engine.job.Once),
              c.expected.front() + "-1");
    ASSERT_EQ(SaveTvfCombo(session), 0);
    EXPECT_EQ(fs.contentOf("/app/TvfSet.txt"), saved + "\r\n");
  }
}

TEST_F(TvfTest, ChoosingSavingAndOpeningMoveTheEntryToTheTop) {
  build({"a.tvf", "b.tvf"}, "");
  ASSERT_EQ(SaveAs(session, "/elsewhere/B.tvf"), 0);
  EXPECT_EQ(session.window.tvfList, (Lines{"B.tvf", "a.tvf", "b.tvf"})) << "case matters";
  ASSERT_EQ(SaveAs(session, "/elsewhere/B.tvf"), 0);  // the top entry again
  EXPECT_EQ(session.window.tvfList, (Lines{"B.tvf", "a.tvf", "b.tvf"})) << "listed once";
  ASSERT_EQ(fs.removeTree("/app"), 0);
  fs.setCaseBlindBelow("/");
  fs.addDirectory("/app");  // under a case-blind key
  build({"a.tvf", "b.tvf", "c.tvf"}, "");
  session.window.selectedEntry = 2;
  Combo1_LostFocus(session);
  EXPECT_EQ(fs.contentOf("/app/TvfSet.txt"), "c.tvf\r\na.tvf\r\nb.tvf\r\n\r\n");
  engine.job.Size = 1;
  ASSERT_EQ(SaveAs(session, "/elsewhere/B.tvf"), 0);  // an existing name in another case
  EXPECT_EQ(session.window.tvfList, (Lines{"B.tvf", "c.tvf", "a.tvf"}));
  EXPECT_NE(fs.contentOf("/app/B.tvf").find("\r\nSize=yes\r\n"), std::string::npos);
  OpenChosenFile(session, "/elsewhere/a.tvf");
  EXPECT_EQ(engine.shared.TvfFileName, "a.tvf");
  // Rebuilt, the list names B.tvf as the folder stores it.
  EXPECT_EQ(session.window.tvfList, (Lines{"a.tvf", "b.tvf", "c.tvf"}));
  OpenChosenFile(session, "/elsewhere/other.tvf");  // not in the program folder
  EXPECT_EQ(engine.shared.TvfFileName, "a.tvf");
}

using Args = std::vector<std::string>;

// The name and the switches as "name x at e file", each switch its field's value.
std::string Get(const Args& args) {
  JobConditions job;
  job.XOption = 1;  // every field must be set, not only turned on
  job.ATOption = job.ErrorFreeOption = job.CommandLineFile = -1;
  const std::string name = tvfGet(job, args, nullptr);
  return name + " " + std::to_string(job.XOption) + " " + std::to_string(job.ATOption) + " " +
         std::to_string(job.ErrorFreeOption) + " " + std::to_string(job.CommandLineFile);
}

TEST(CommandLineTest, SwitchesNamesAndQuotes) {
  EXPECT_EQ(SubString("/X MyJob.tvf", "/x") + "|" + SubString("a/e b/E", "/E") + "|" +
                SubString("  abc ", "z") + "|" + SubString("  abc ", ""),
            "MyJob.tvf|a b/E|  abc |abc");  // not found: not trimmed either
  const std::pair<Args, std::string> cases[] = {
      // Switch letters inside a path are not switches; only the file name counts.
      {{"/home/xavier/jobs/night.tvf"}, "night.tvf 0 0 0 -1"},
      {{"/srv/at/x.tvf"}, "x.tvf 0 0 0 -1"},
      {{"/X/AT/E/job"}, "job.tvf 0 0 0 -1"},
      // Switches in any case, glued, in any place.
      {{"/x/E", "/home/xavier/night"}, "night.tvf 1 0 -1 -1"},
      {{"night", "/At"}, "night.tvf 1 -1 0 -1"},
      {{"/E"}, " 0 0 -1 0"},
      {{"/x /e"}, " 1 0 -1 0"},
      {{"/T"}, "T.tvf 0 0 0 -1"},  // not a switch: a name
      // A "." anywhere keeps the name as it is; quotes go; pieces of a path with blanks join,
      // and a switch after them adds to one before.
      {{"/home/me/night.old"}, "night.old 0 0 0 -1"},
      {{"/home/me/my.jobs/night"}, "night 0 0 0 -1"},
      {{"\"/home/me/My Jobs/a b.tvf\""}, "a b.tvf 0 0 0 -1"},
      {{"/x", "/home/me/My", "Jobs/a", "b.tvf", "/e"}, "a b.tvf 1 0 -1 -1"},
      {{"--", "/x"}, "x.tvf 0 0 0 -1"}};
  for (const auto& [args, expected] : cases) EXPECT_EQ(Get(args), expected) << args[0];
}

TEST(CommandLineTest, LongAndDryRunOptions) {
  const std::pair<Args, std::string> cases[] = {
      // "noGui help version simulate kinds output makeBat", or the unknown option and the usage
      // problem
      {{"--no-gui", "--help", "--version", "job"}, "111 0 0  0"},
      {{"--allow-big-change", "job"}, "000 0 0  0 1"},
      {{"--simulate", "job"}, "000 1 63  0"},
      {{"--simulate=1,6", "--output", "l.csv", "job"}, "000 1 33 l.csv 0"},
      {{"--simulate=all", "--output=x.csv", "job"}, "000 1 63 x.csv 0"},
      {{"--make-bat", "job"}, "000 0 0  1"},
      {{"--simulate=7", "job"}, "invalid kinds in --simulate=7 (kind numbers 1 to 6, or all)"},
      {{"--simulate=1,,2"}, "invalid kinds in --simulate=1,,2 (kind numbers 1 to 6, or all)"},
      {{"--output", "x.csv", "job"}, "--output goes with --simulate"},
      {{"--simulate", "--output"}, "--output needs a file name"},
      {{"--simulate", "--make-bat", "job"}, "--simulate and --make-bat exclude each other"},
      {{"job", "--exclude"}, "--exclude needs a pattern"},
      {{"--exclude-from=", "job"}, "--exclude-from needs a file name"},
      {{"--bogus", "job"},
       "--bogus"
       "unknown option --bogus"}};
  for (const auto& [args, expected] : cases) {
    const CommandLine l = ParseCommandLine(args);
    const std::string parsed = std::to_string(l.noGui) + std::to_string(l.help) +
                               std::to_string(l.version) + " " + std::to_string(l.simulate) + " " +
                               std::to_string(l.simulateKinds) + " " + l.output + " " +
                               std::to_string(l.makeBat) + (l.allowBigChange ? " 1" : "");
    EXPECT_EQ(l.usageError() ? l.unknownOption + l.usageProblem : parsed, expected) << args[0];
  }
  // Patterns and files keep their order; a pattern may look like an option or a switch.
  const CommandLine l = ParseCommandLine(
      {"--exclude", "/X", "--exclude-from", "list", "job", "--exclude=--make-bat"});
  std::string order;
  for (const ExcludeArgument& e : l.exclude) order += (e.fromFile ? "file:" : "") + e.text + " ";
  EXPECT_EQ(order + l.fileName + std::to_string(l.x) + std::to_string(l.makeBat),
            "/X file:list --make-bat job.tvf00");
}

using StartupTest = ConditionsFixture;

// The program folder comes from the environment. A run killed while saving TvfSet.txt leaves
// its temporary file; only such files go.
TEST_F(StartupTest, ProgramFolderStoredSettingsAndLeftoversOfOwnSaves) {
  sys.env["HOME"] = "/home/u";
  sys.env["XDG_DATA_HOME"] = "relative";  // ignored
  EXPECT_EQ(ResolveAppPath(sys, "/work"), "/home/u/.local/share/Tolvan32");
  sys.env["XDG_DATA_HOME"] = "/data/";
  EXPECT_EQ(ResolveAppPath(sys, "/work"), "/data/Tolvan32");
  const std::pair<std::string, float> cases[] = {
      {"0", 512.0F}, {"12abc", 512.0F}, {" 13.5 ", 14.0F}};
  for (const auto& [text, size] : cases) EXPECT_EQ(ReportSizeFromText(text), size) << text;
  sys.env["TOLVAN32_HOME"] = "jobs/../tv";
  engine.shared.AppPath.clear();
  (void)FormLoad(session, {});
  EXPECT_EQ(engine.shared.AppPath, "/work/tv");
  EXPECT_TRUE(fs.exists("/work/tv"));
  settings.set("Editor", "ReportSize", "12.5");
  settings.set("MainForm", "Top", "-4800");
  const std::string leftover = "/work/tv/.tolvan32-partial-0123456789abcdef";
  fs.addFile(leftover, "half a list");
  fs.addFile("/work/tv/.tolvan32-partial-notes", "mine");
  fs.addFile("/work/tv/.tolvan32-partial-0123456789ABCDEF", "mine too");
  fs.addDirectory("/work/tv/.tolvan32-partial-fedcba9876543210");
  (void)FormLoad(session, {});  // the next start
  // A position off the screen is not used.
  EXPECT_EQ(std::tuple(engine.shared.ReportSize, session.window.top, fs.removed),
            std::tuple(12.0F, 300, Lines{leftover}));
}

class RealSidesTest : public ::testing::Test, public RealFolderSession {
 protected:
  RealSidesTest() {
    for (const char* folder : {"master/inner", "backup/home", "x"})
      std::filesystem::create_directories(tmp / folder);
    engine.shared.AppPath = tmp / "backup/home";
    engine.shared.TvfFileName = "job.tvf";
    engine.job.NomalMode = -1, engine.job.XOption = 1, engine.job.Report = 0;
    engine.job.ChildDir = 0;  // a run into itself ends after one level
  }

  // The message of a refused run, empty text when the run went on.
  std::string refusal(const std::string& from, const std::string& to) {
    ui.boxes.clear();
    std::int16_t timer = 0;
    const RunEnd end = RunJob(engine, from, to, timer).end;
    return end == RunEnd::Refused && !ui.boxes.empty() ? ui.boxes[0].text : "";
  }
};

// A bind mount of the master is the master too; it needs mount permission, so it comes last.
TEST_F(RealSidesTest, SidesAreJudgedAsResolvedFoldersAndMissingPathComesFirst) {
  // From, to, whether the conditions file named a missing path, the words of the message.
  const std::tuple<std::string, std::string, bool, std::string> cases[] = {
      {tmp / "x/../master/inner", tmp / "master", false, "同じです"},
      {tmp / "master", tmp.path() + "//./master", false, "同じです"},
      {tmp / "master", tmp / "backup", false, "To側に指定したフォルダーの中にあります"},
      {tmp / "master/inner", tmp / "master", true, "存在しません"},
      {tmp / "master", tmp.path() + std::string(1, '\0') + "/backup", false, "存在しません"},
      {tmp / "master", "/" + std::string(4096, 'a'), false, "存在しません"}};
  for (const auto& [from, to, missingPath, message] : cases) {
    SCOPED_TRACE(from + " -> " + to);
    engine.run.MissingPath = missingPath ? -1 : 0;
    EXPECT_NE(refusal(from, to).find(message), std::string::npos);
  }
  engine.job.NomalMode = 0;
  EXPECT_EQ(refusal(tmp / "master", tmp / "backup"), "") << "a Backup run deletes nothing";
  const std::string bound = tmp / "x";
  if (::mount((tmp / "master").c_str(), bound.c_str(), nullptr, MS_BIND, nullptr) != 0)
    TOLVAN_CANNOT_RUN_HERE("cannot bind-mount here (needs root and mount permission)");
  const std::string messages =
      refusal(tmp / "master", bound) + refusal(bound + "/inner", tmp / "master");
  ::umount2(bound.c_str(), MNT_DETACH);
  EXPECT_EQ(messages, kSame + kSame);
}

TEST_F(RealSidesTest, AnOverlongDriveAIsRefusedUnattendedAtOnce) {
  std::string driveA = "DriveA=";
  // 800 KB: within the 1 MiB a conditions file may have, so that the path itself is refused.
  for (int component = 0; component < 400000; ++component) driveA += "/a";
  platform::testing::WriteText(engine.shared.AppPath + "/job.tvf",
                               "DriveB=" + tmp / "backup\r\n" + driveA + "\r\n");
  const int status = platform::testing::RunInChild([this] {
    ::alarm(30);  // killed (-1) when the refusal does not come in that generous bound
    std::string notice;
    session.unattendedNotice = [&notice](const std::string& text) { notice = text; };
    tvfRead(session);
    return session.endStatus == 2 && notice.find("(Error Code=76)") != std::string::npos ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace tolvan::testing
