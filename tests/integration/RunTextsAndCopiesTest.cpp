// Runs of the real program: what its texts show of odd names, and what it copies of the
// user's own entries.
#include <gtest/gtest.h>

#include <algorithm>

#include "app_ProgramRunner.h"

namespace tolvan::testing {
namespace {

using RunTextsAndCopiesTest = ProgramTest;

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

// A line break in a name cannot forge a report line, nor an escape in a file name reach the
// terminal; the file itself is copied under its real name.
TEST_F(RunTextsAndCopiesTest, ControlCharactersInNamesAreShownAsQuestionMarks) {
  const std::string name = "evil\r\nError : forged";
  WriteText(master + "/" + name, "a\n");
  writeJob(backup);
  const ProgramResult result = run({"/X", "job.tvf"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(ReadText(backup + "/" + name), "a\n");
  const auto lines = recentLines();
  EXPECT_TRUE(std::none_of(lines.begin(), lines.end(),
                           [](const std::string& line) { return StartsWith(line, "Error"); }));
  EXPECT_EQ(actionLines(),
            std::vector<std::string>{"New File : " + backup + "/evil??Error : forged"});

  const ProgramResult refused = run({"/X", "no\x1b[2Jsuch.tvf"});
  EXPECT_EQ(refused.exitStatus, 2);
  EXPECT_NE(refused.err.find("no?[2Jsuch.tvf"), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace tolvan::testing
