// Runs of the real program: what its texts show of odd names, and what it copies of the
// user's own entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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

// Only files under exactly the names the copy makes are leftovers of a killed run; the user's
// own entries with that prefix, and folders of any name, are copied and kept in both modes.
TEST_F(RunTextsAndCopiesTest, TheUsersOwnPartialNamedEntriesAreCopiedAndKept) {
  const std::string user = ".tolvan32-partial-notes";
  const std::string leftover = ".tolvan32-partial-00000000000000ff";
  const std::string folderLikeALeftover = ".tolvan32-partial-0123456789abcdef";
  WriteText(master + "/" + user, "my notes");
  std::filesystem::create_directories(master + "/d/" + user);
  WriteText(master + "/d/" + user + "/todo.txt", "todo");
  std::filesystem::create_directories(master + "/" + folderLikeALeftover);
  WriteText(master + "/" + folderLikeALeftover + "/inside.txt", "inside");
  for (const char* mode : {"yes", "no"}) {
    SCOPED_TRACE(std::string("NomalMode=") + mode);
    const std::string to = tmp / (std::string("backup-") + mode);
    std::filesystem::create_directories(to);
    WriteText(to + "/" + leftover, "half a copy");
    WriteText(to + "/.tolvan32-partial-mine", "the backup's own");
    writeJob(to, {std::string("NomalMode=") + mode});
    const ProgramResult result = run({"/X", "job.tvf"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(ReadText(to + "/" + user), "my notes");
    EXPECT_EQ(ReadText(to + "/d/" + user + "/todo.txt"), "todo");
    EXPECT_EQ(ReadText(to + "/" + folderLikeALeftover + "/inside.txt"), "inside");
    EXPECT_FALSE(Exists(to + "/" + leftover));
    // Mirroring removes what the master lacks, with its line; Backup removes nothing.
    EXPECT_EQ(Exists(to + "/.tolvan32-partial-mine"), std::string(mode) == "no");
  }
}

// Without a window there is no position to store.
TEST_F(RunTextsAndCopiesTest, AHeadlessRunStoresNoWindowPosition) {
  const std::string settings = tmp / "Tolvan32/Tolvan32.conf";
  std::filesystem::create_directories(tmp / "Tolvan32");
  WriteText(settings, "[Editor]\nReportSize=256\n");
  writeJob(backup);
  ASSERT_EQ(run({"/X", "job.tvf"}).exitStatus, 0);
  EXPECT_EQ(ReadText(settings).find("MainForm"), std::string::npos) << ReadText(settings);
}

}  // namespace
}  // namespace tolvan::testing
