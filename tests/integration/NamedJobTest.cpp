// The real tolvan32 started unattended with a named conditions file: that file is the job that
// runs, and a failed read of it leaves a complete block in both report files.
#include <gtest/gtest.h>

#include <filesystem>

#include "ProgramRunner.h"

namespace tolvan::testing {
namespace {

class NamedJobTest : public ProgramTest {
 protected:
  NamedJobTest() { WriteText(master + "/top.txt", "top\n"); }
  void writeLines(const std::string& name, const std::vector<std::string>& lines) const {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    WriteText(home + "/" + name, text);
  }
};

TEST_F(NamedJobTest, TheNamedFileRunsWhateverItsLetterCaseOrExtension) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      // the jobs, the one named
      {{"JOB.TVF", "other.tvf"}, "JOB.TVF"},
      {{"job.tvf", "Job.tvf"}, "job.tvf"},
      {{"job.tvf", "Job.tvf"}, "Job.tvf"},  // the scan order decides which one used to run
      {{"a.tvf", "night.old"}, "night.old"}};
  for (const auto& [jobs, named] : cases) {
    SCOPED_TRACE(named);
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    for (const auto& job : jobs) {  // each into a backup folder of its own name
      std::filesystem::remove_all(tmp / job);
      std::filesystem::create_directories(tmp / job);
      writeLines(job, {"DriveA=" + master, "DriveB=" + tmp / job});
    }
    EXPECT_EQ(run({"--no-gui", "/X", named}).exitStatus, 0);
    for (const auto& job : jobs) EXPECT_EQ(Exists(tmp / job + "/top.txt"), job == named) << job;
  }
}

TEST_F(NamedJobTest, UnattendedReadFailuresLeaveACompleteBlockAndSayWhy) {
  const std::string notMounted = tmp / "not-mounted";
  const std::string a = "DriveA=" + master, b = "DriveB=" + backup, none = "from  to  on ";
  std::filesystem::create_directories(home + "/dir.tvf");
  const struct {
    std::vector<std::string> lines;  // of job.tvf
    std::string named, sides, err;   // part of the sides line, and of standard error
  } cases[] = {{{"DriveA=" + notMounted, b},
                "job.tvf",
                notMounted + " to  on ",
                "(Error Code=76) " + notMounted},
               {{"UpDate=40000", a, b}, "job.tvf", none, "tvf File Read Error (Error Code=6)"},
               {{"Time=25:00", a, b}, "job.tvf", none, "tvf File Read Error (Error Code=13)"},
               {{}, "dir.tvf", none, "tvf File Read Error (Error Code=75) " + home + "/dir.tvf"},
               {{}, "missing.tvf", none, "(Error Code=53) " + home + "/missing.tvf"}};
  std::string blocks;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.err);
    writeLines("job.tvf", c.lines);
    const ProgramResult result = run({"--no-gui", "/X", c.named});
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    const auto l = recentLines();
    ASSERT_EQ(l.size(), 11u) << ReadText(home + "/Recent.tvr");
    EXPECT_NE(l[0].find("Report **   Ver.1.00    " + c.named), std::string::npos) << l[0];
    EXPECT_NE(l[1].find(c.sides), std::string::npos) << l[1];
    const std::string separator(63, '-');
    EXPECT_EQ((std::vector<std::string>{l[5], l[6], l[7], l[9], l[10]}),
              (std::vector<std::string>{
                  separator, "Error : 指定したドライブまたはフォルダーにアクセスできませんでした。",
                  separator, "", ""}));
    EXPECT_TRUE(l[8].starts_with("Finished Time : ") && l[8].ends_with("所要時間 : 0:00:00"))
        << l[8];
    blocks += ReadText(home + "/Recent.tvr");
    EXPECT_EQ(ReadText(home + "/report.tvr"), blocks) << "each block follows a complete one";
  }
  EXPECT_FALSE(Exists(backup + "/top.txt"));
}

}  // namespace
}  // namespace tolvan::testing
