// The real tolvan32 started unattended: the conditions file named on the command line is the
// one that runs, and a failed read of it leaves a complete block in both report files.
#include <gtest/gtest.h>

#include <filesystem>

#include "app_ProgramRunner.h"

namespace tolvan::testing {
namespace {

const std::string kSeparator(63, '-');
const std::string kPathAccess =
    "Error : 指定したドライブまたはフォルダーにアクセスできませんでした。";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class NamedJobTest : public ProgramTest {
 protected:
  NamedJobTest() { WriteText(master + "/top.txt", "top\n"); }

  // home/<name> holding exactly these lines.
  void writeLines(const std::string& name, const std::vector<std::string>& lines) const {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    WriteText(home + "/" + name, text);
  }
};

TEST_F(NamedJobTest, TheNamedFileRunsWhateverItsLetterCaseOrExtension) {
  const struct {
    std::vector<std::string> jobs;  // each copies into its own backup folder
    std::string named;
  } cases[] = {{{"JOB.TVF", "other.tvf"}, "JOB.TVF"},
               {{"job.tvf", "Job.tvf"}, "job.tvf"},
               {{"job.tvf", "Job.tvf"}, "Job.tvf"},
               {{"a.tvf", "night.old"}, "night.old"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.named);
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    for (const auto& name : c.jobs) {
      std::filesystem::remove_all(tmp / ("to-" + name));
      std::filesystem::create_directories(tmp / ("to-" + name));
      writeLines(name, {"DriveA=" + master, "DriveB=" + tmp / ("to-" + name)});
    }
    const ProgramResult result = run({"--no-gui", "/X", c.named});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    for (const auto& name : c.jobs) {
      EXPECT_EQ(Exists(tmp / ("to-" + name) + "/top.txt"), name == c.named) << name;
    }
  }
}

TEST_F(NamedJobTest, UnattendedReadFailuresLeaveACompleteBlockAndSayWhy) {
  const std::string notMounted = tmp / "not-mounted";
  const std::string driveA = "DriveA=" + master;
  const std::string driveB = "DriveB=" + backup;
  std::filesystem::create_directories(home + "/dir.tvf");
  const struct {
    std::vector<std::string> lines;  // of home/job.tvf
    std::string named;
    std::string sides;  // in the "Mirroring from" line
    std::string err;    // on standard error
  } cases[] = {
      {{"DriveA=" + notMounted, driveB},
       "job.tvf",
       notMounted + " to  on ",
       "できませんでした。 (Error Code=76) " + notMounted},
      {{"UpDate=40000", driveA, driveB},
       "job.tvf",
       "from  to  on ",
       "tvf File Read Error (Error Code=6)"},
      {{"Time=25:00", driveA, driveB},
       "job.tvf",
       "from  to  on ",
       "tvf File Read Error (Error Code=13)"},
      {{}, "dir.tvf", "from  to  on ", "tvf File Read Error (Error Code=75) " + home + "/dir.tvf"},
      {{}, "missing.tvf", "from  to  on ", "(Error Code=53) " + home + "/missing.tvf"}};
  std::string blocks;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.named + " " + c.err);
    writeLines("job.tvf", c.lines);
    const ProgramResult result = run({"--no-gui", "/X", c.named});
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_TRUE(Contains(result.err, c.err)) << result.err;
    const auto lines = recentLines();
    ASSERT_EQ(lines.size(), 11u) << ReadText(home + "/Recent.tvr");
    EXPECT_TRUE(Contains(lines[0], "** File Mirroring Report **") && Contains(lines[0], c.named));
    EXPECT_TRUE(Contains(lines[1], c.sides)) << lines[1];
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 5, lines.end()),
              (std::vector<std::string>{kSeparator, kPathAccess, kSeparator, lines[8], "", ""}));
    EXPECT_TRUE(lines[8].starts_with("Finished Time : ") &&
                lines[8].ends_with("所要時間 : 0:00:00"))
        << lines[8];
    blocks += ReadText(home + "/Recent.tvr");
    EXPECT_EQ(ReadText(home + "/report.tvr"), blocks) << "each block follows a complete one";
  }
  EXPECT_FALSE(Exists(backup + "/top.txt"));
}

}  // namespace
}  // namespace tolvan::testing
