// The real tolvan32 on jobs it must refuse (sides that are one tree or no tree, conditions
// files it cannot read), on the job a command line names, and with something planted in
// place of one of its own files: refused at once, never waited on, read without end or
// written through.

#include "ProgramRunner.h"

namespace tolvan::testing {
namespace {

enum class Shape { None, Fifo, LinkToDevZero, LinkToFile, HardLink, Oversize };

const std::string kAccess = "Error : " + kNoAccess;

class OwnFilesProgramTest : public ProgramTest {
 protected:
  OwnFilesProgramTest() { WriteText(master + "/top.txt", "top\n"); }

  // Writes job.tvf, the standard job to `to` then the `extra` lines; its text.
  std::string job(const std::string& to, const Lines& extra = {}) const {
    writeJob(to, extra);
    return ReadText(home + "/job.tvf");
  }
  // Puts `shape` at `path`; a link or second name leads to `victim`, which holds a job.
  void plant(const std::string& path, Shape shape) const {
    WriteText(victim, job(backup));
    stdfs::remove(path);
    int made = 0;
    if (shape == Shape::Fifo) made = ::mkfifo(path.c_str(), 0644);
    if (shape == Shape::LinkToDevZero) made = ::symlink("/dev/zero", path.c_str());
    if (shape == Shape::LinkToFile) made = ::symlink(victim.c_str(), path.c_str());
    if (shape == Shape::HardLink) made = ::link(victim.c_str(), path.c_str());
    ASSERT_EQ(made, 0) << path;
    if (shape == Shape::Oversize)  // a good job, made too long by comments
      WriteText(path, ReadText(victim) + std::string(1 << 20, '*') + "\r\n");
  }

  const std::string victim = tmp / "victim.tvf";
};

// Refused: status 2, nothing on either side or in the working folder changes, no list is
// made, and a report block (when one is written) is complete and follows the earlier ones.
TEST_F(OwnFilesProgramTest, RefusedJobsEndWithStatusTwoAndChangeNothing) {
  MakeFile(backup + "/photos/p.jpg", "precious");
  MakeFolder(master + "/inner");
  stdfs::create_directories(home + "/dir.tvf");
  for (const auto& [to, link] : {std::pair{backup, tmp / "alias"},
                                 {master + "/inner", tmp / "into"},
                                 {master, tmp / "master-alias"}})
    stdfs::create_directory_symlink(to, link);
  WriteText(home + "/TvfSet.txt", "job.tvf\r\n\r\n");
  // Run by cron from the home folder: a side the file does not name is not the working folder.
  workingFolder = tmp / "cwd";
  MakeFile(workingFolder + "/precious.txt", "mine\n");
  const std::string beside = tmp.path() + std::string(1, '\0');  // every call stops at the NUL
  const std::string notMounted = tmp / "not-mounted", a = "DriveA=" + master;
  const Lines x{"/X"}, unattended{"--no-gui", "/X"};
  const std::string readError = "tvf File Read Error (Error Code=";
  const std::string unreadable = readError + "75) " + home + "/job.tvf";
  const struct {
    std::string text;  // of job.tvf
    Lines args;
    std::string named, message;  // the message in standard error or the report
    bool block;                  // a complete report block with the access error
    Shape shape = Shape::None;   // in job.tvf's place
  } cases[] = {
      {job(master), x, "job.tvf", "Can't do it.  Check your setting file!", false},
      {job(backup), x, "jbo.tvf", "jbo.tvf", true},  // not the list's first job instead
      {job(tmp / "no-such-backup"), x, "job.tvf", kAccess, true},
      {job(backup, {"DriveA=" + notMounted}), unattended, "job.tvf",
       "(Error Code=76) " + notMounted, true},
      {"", unattended, "dir.tvf", readError + "75) " + home + "/dir.tvf", true},
      {"", unattended, "missing.tvf", "(Error Code=53) " + home + "/missing.tvf", true},
      {"", unattended, "no\x1b[2Jsuch.tvf", "no?[2Jsuch.tvf", true},
      {job(backup, {"DriveA=" + tmp / "alias/photos"}), unattended, "job.tvf", kSame, false},
      {job(tmp / "into"), unattended, "job.tvf", kSame, false},
      {job(beside + "/backup"), unattended, "job.tvf", kAccess, false},
      {job(backup, {"DriveA=" + beside + "/master"}), unattended, "job.tvf", kAccess, false},
      {a + "\r\ndriveB=" + backup + "\r\n", unattended, "job.tvf", kMissingPath, false},
      {job(tmp / "master-alias"), {"--simulate"}, "job.tvf", kSame, false},
      {job(master), {"--make-bat"}, "job.tvf", kSame, false},
      {job(tmp / "missing"), {"--simulate=6"}, "job.tvf", kMissingPath, false},
      {"", unattended, "job.tvf", unreadable, true, Shape::Fifo},
      {"", unattended, "job.tvf", unreadable, true, Shape::LinkToDevZero},
      {"", unattended, "job.tvf", unreadable, true, Shape::LinkToFile},
      {"", unattended, "job.tvf", unreadable, true, Shape::Oversize},
  };
  const auto before = std::make_tuple(Tree(master), Tree(backup), Tree(workingFolder));
  std::string blocks;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.named + ": " + c.message);
    stdfs::remove(home + "/job.tvf");  // a FIFO planted by the row before
    WriteText(home + "/job.tvf", c.text);
    if (c.shape != Shape::None) plant(home + "/job.tvf", c.shape);
    stdfs::remove(home + "/Recent.tvr");
    Lines args = c.args;
    args.push_back(c.named);
    bool hung = false;
    const ProgramResult result = run(args, KillAfter(10s, &hung));
    ASSERT_FALSE(hung) << "the program waited or read without end";
    EXPECT_EQ(result.exitStatus, 2) << result.err;
    EXPECT_TRUE(Contains(result.err + ReadText(home + "/Recent.tvr"), c.message)) << result.err;
    EXPECT_EQ(std::make_tuple(Tree(master), Tree(backup), Tree(workingFolder)), before);
    EXPECT_FALSE(Exists(home + "/simulate.csv") || Exists(home + "/tlvdos.bat") ||
                 Exists(tmp / "no-such-backup"));
    if (Exists(home + "/Recent.tvr")) blocks += ReadText(home + "/Recent.tvr");
    EXPECT_EQ(ReadText(home + "/report.tvr"), blocks) << "each block follows a complete one";
    if (!c.block) continue;
    const auto l = recentLines();
    ASSERT_EQ(l.size(), 11u) << ReadText(home + "/Recent.tvr");
    EXPECT_EQ((Lines{l[5], l[6], l[7], l[9], l[10]}),
              (Lines{kSeparator, kAccess, kSeparator, "", ""}));
    EXPECT_TRUE(Contains(l[0], "Report **   Ver.1.00    ") &&
                l[8].starts_with("Finished Time : ") && l[8].ends_with("所要時間 : 0:00:00"))
        << ReadText(home + "/Recent.tvr");
  }
}

// The named file runs whatever its letter case or extension.
TEST_F(OwnFilesProgramTest, TheNamedFileRunsWhateverItsLetterCaseOrExtension) {
  const std::pair<Lines, std::string> cases[] = {
      // the jobs, the one named
      {{"JOB.TVF", "other.tvf"}, "JOB.TVF"},
      {{"job.tvf", "Job.tvf"}, "job.tvf"},
      {{"job.tvf", "Job.tvf"}, "Job.tvf"},  // the scan order decides which one used to run
      {{"a.tvf", "night.old"}, "night.old"}};
  for (const auto& [jobs, named] : cases) {
    SCOPED_TRACE(named);
    EmptyFolders({home});
    for (const auto& name : jobs) {  // each into a backup folder of its own name
      EmptyFolders({tmp / name});
      WriteText(home + "/" + name, "DriveA=" + master + "\r\nDriveB=" + tmp / name + "\r\n");
    }
    EXPECT_EQ(run({"--no-gui", "/X", named}).exitStatus, 0);
    for (const auto& name : jobs) EXPECT_EQ(Exists(tmp / name + "/top.txt"), name == named) << name;
  }
}

// A link (or a second name, or a FIFO) planted in place of a file the program writes: the
// file it leads to keeps its content, the entry stays as planted, and the failure is said.
// An unreadable list of jobs is written afresh from the folder instead, and the job runs.
TEST_F(OwnFilesProgramTest, AnOwnFileIsNeverWrittenThroughALinkPlantedInItsPlace) {
  const Lines real = {"--no-gui", "/X", "job.tvf"}, bat = {"--make-bat", "job.tvf"};
  const std::string loop = "Too many levels of symbolic links";
  const std::string cannot = "Cannot write the report file " + home;
  const struct {
    std::string file;
    Shape shape;
    Lines args;
    int status;
    std::string err;
  } cases[] = {
      {"Recent.tvr", Shape::LinkToFile, real, 2, cannot + "/Recent.tvr: " + loop},
      {"report.tvr", Shape::LinkToFile, real, 2, cannot + "/report.tvr: " + loop},
      {"simulate.csv", Shape::LinkToFile, {"--simulate", "job.tvf"}, 1, "Error Code : 40  " + loop},
      {"tlvdos.bat", Shape::LinkToFile, bat, 1, home + "/tlvdos.bat Error (Code : 40  " + loop},
      {"tlvdos.sh", Shape::LinkToFile, bat, 1, home + "/tlvdos.sh Error (Code : 40  " + loop},
      {"Recent.tvr", Shape::Fifo, real, 2, cannot + "/Recent.tvr: No such device or address"},
      {"report.tvr", Shape::HardLink, real, 2, cannot + "/report.tvr: Too many links"},
      {"TvfSet.txt", Shape::Fifo, real, 0, ""},
      {"TvfSet.txt", Shape::LinkToDevZero, real, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file + " shape " + std::to_string(static_cast<int>(c.shape)));
    const std::string path = home + "/" + c.file;
    plant(path, c.shape);
    const std::string before = ReadText(victim);
    const mode_t kind = StatOf(path).st_mode;
    bool hung = false;
    const ProgramResult result = run(c.args, KillAfter(10s, &hung));
    ASSERT_FALSE(hung) << "the program waited on the planted entry";
    EXPECT_EQ(result.exitStatus, c.status) << result.err;
    EXPECT_TRUE(Contains(result.err, c.err)) << result.err;
    EXPECT_EQ(ReadText(victim), before);
    const bool rewritten = c.file == "TvfSet.txt";
    EXPECT_EQ(Exists(backup + "/top.txt"), rewritten) << "no run without its report";
    if (!rewritten)
      EXPECT_EQ(StatOf(path).st_mode, kind);
    else  // a FIFO would not be read to its end
      EXPECT_TRUE(S_ISREG(StatOf(path).st_mode) && ReadText(path) == "job.tvf\r\n\r\n")
          << "the list of jobs was not written afresh";
    for (const auto& made : {path, backup + "/top.txt"}) stdfs::remove(made);
  }
}

}  // namespace
}  // namespace tolvan::testing
