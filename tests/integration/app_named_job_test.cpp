// The real tolvan32 started unattended: the conditions file named on the command line is the
// one that runs.
#include <gtest/gtest.h>

#include <filesystem>

#include "app_ProgramRunner.h"

namespace tolvan::testing {
namespace {

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

}  // namespace
}  // namespace tolvan::testing
