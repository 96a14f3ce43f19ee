// Runs of the real program: what its texts show of odd names, and what it copies of the
// user's own entries.
#include <gtest/gtest.h>

#include <filesystem>

#include "ProgramRunner.h"

namespace tolvan::testing {
namespace {

using RunTextsAndCopiesTest = ProgramTest;

// A line break in a name cannot forge a report line, nor an escape reach the terminal; the
// file is copied under its real name.
TEST_F(RunTextsAndCopiesTest, ControlCharactersInNamesAreShownAsQuestionMarks) {
  const std::string name = "evil\r\nError : forged";
  WriteText(master + "/" + name, "a\n");
  writeJob(backup);
  ASSERT_EQ(run({"/X", "job.tvf"}).exitStatus, 0);
  EXPECT_EQ(ReadText(backup + "/" + name), "a\n");
  EXPECT_EQ(actionLines(),
            std::vector<std::string>{"New File : " + backup + "/evil??Error : forged"});
  const ProgramResult refused = run({"/X", "no\x1b[2Jsuch.tvf"});
  EXPECT_NE(refused.err.find("no?[2Jsuch.tvf"), std::string::npos) << refused.err;
}

// Only files under exactly the names the copy makes are leftovers; the user's own entries with
// that prefix, and folders of any name, are copied and kept in both modes.
TEST_F(RunTextsAndCopiesTest, TheUsersOwnPartialNamedEntriesAreCopiedAndKept) {
  const std::string user = ".tolvan32-partial-notes";
  const std::string exactName = ".tolvan32-partial-0123456789abcdef";
  const std::string leftover = ".tolvan32-partial-00000000000000ff";
  WriteText(master + "/" + user, "notes");
  std::filesystem::create_directories(master + "/" + exactName + "/" + user);
  WriteText(master + "/" + exactName + "/" + user + "/todo", "todo");
  for (const std::string mode : {"yes", "no"}) {
    const std::string to = tmp / ("backup-" + mode);
    std::filesystem::create_directories(to);
    WriteText(to + "/" + leftover, "a killed copy");
    WriteText(to + "/.tolvan32-partial-mine", "the backup's own");
    writeJob(to, {"NomalMode=" + mode});
    ASSERT_EQ(run({"/X", "job.tvf"}).exitStatus, 0) << mode;
    EXPECT_EQ(ReadText(to + "/" + user) + ReadText(to + "/" + exactName + "/" + user + "/todo"),
              "notestodo")
        << mode;
    EXPECT_FALSE(Exists(to + "/" + leftover)) << mode;
    EXPECT_EQ(Exists(to + "/.tolvan32-partial-mine"), mode == "no") << "only Backup keeps it";
  }
}

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
