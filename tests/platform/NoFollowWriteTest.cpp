#include <gtest/gtest.h>

#include "TempFolder.h"
#include "platform/LinuxFileSystem.h"

namespace tolvan::platform::testing {
namespace {

// A backup tree with a link planted in the middle of a path, pointing outside the tree.
// Run with the kernel's one-call resolution and with the component-by-component one.
class NoFollowWriteTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    for (const char* folder : {"backup", "backup/a", "outside", "outside/sub"})
      ::mkdir((tmp / folder).c_str(), 0755);
    WriteText(tmp / "outside/victim", "precious");
    WriteText(tmp / "outside/sub/inner", "precious too");
    WriteText(tmp / "source", "intruder");
    ASSERT_EQ(::symlink((tmp / "outside").c_str(), (tmp / "backup/a/b").c_str()), 0);
    if (!GetParam()) fs.resolveStepByStep();
    fs.setWriteRoot(tmp / "backup");
  }
  void TearDown() override {
    EXPECT_EQ(ReadText(tmp / "outside/victim"), "precious");
    EXPECT_EQ(ReadText(tmp / "outside/sub/inner"), "precious too");
    struct stat st {};
    ASSERT_EQ(::stat((tmp / "outside/victim").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(NamesIn(tmp / "outside"), (std::vector<std::string>{"sub", "victim"}));
  }

  TempFolder tmp;
  LinuxFileSystem fs;
};

TEST_P(NoFollowWriteTest, EveryWriteThroughAPlantedLinkFails) {
  const std::string viaLink = tmp / "backup/a/b";
  EXPECT_EQ(fs.copyFile(tmp / "source", viaLink + "/victim", nullptr), ELOOP);
  EXPECT_EQ(fs.copyFile(tmp / "source", viaLink + "/fresh", nullptr), ELOOP);
  EXPECT_EQ(fs.makeDirectory(viaLink + "/new"), ELOOP);
  EXPECT_EQ(fs.makeDirectories(viaLink + "/new/deeper"), ELOOP);
  EXPECT_EQ(fs.removeTree(viaLink + "/sub"), ELOOP);
  EXPECT_EQ(fs.removeEntry(viaLink + "/victim"), ELOOP);
  EXPECT_EQ(fs.setPermissions(viaLink + "/victim", 0), ELOOP);
  EXPECT_EQ(fs.writeFile(viaLink + "/victim", "x"), ELOOP);
  EXPECT_EQ(fs.renameEntry(viaLink + "/victim", tmp / "backup/taken"), ELOOP);
  int error = 0;
  EXPECT_TRUE(fs.openListing(viaLink, error) == nullptr && error == ELOOP) << error;
  WriteText(tmp / "backup/a/file", "");
  EXPECT_EQ(fs.makeDirectory(tmp / "backup/a/file/new"), ENOTDIR);

  // A write root chosen through a link is still a root to write below.
  ASSERT_EQ(::symlink((tmp / "backup").c_str(), (tmp / "chosen").c_str()), 0);
  fs.setWriteRoot(tmp / "chosen");
  ASSERT_EQ(fs.makeDirectory(tmp / "chosen/a/new"), 0);
  ASSERT_EQ(fs.copyFile(tmp / "source", tmp / "chosen/a/new/copy", nullptr), 0);
  EXPECT_EQ(ReadText(tmp / "backup/a/new/copy"), "intruder");
  EXPECT_EQ(fs.copyFile(tmp / "source", tmp / "chosen/a/b/victim", nullptr), ELOOP);
}

TEST_P(NoFollowWriteTest, RemoveTreeTakesLinksAwayAsLinks) {
  ASSERT_EQ(fs.removeTree(tmp / "backup/a/b"), 0);
  EXPECT_FALSE(Exists(tmp / "backup/a/b"));
  ::mkdir((tmp / "backup/a/deep").c_str(), 0755);
  ASSERT_EQ(::symlink((tmp / "outside/sub").c_str(), (tmp / "backup/a/deep/link").c_str()), 0);
  ASSERT_EQ(fs.removeTree(tmp / "backup/a"), 0);
  EXPECT_FALSE(Exists(tmp / "backup/a"));
}

INSTANTIATE_TEST_SUITE_P(Resolution, NoFollowWriteTest, ::testing::Values(true, false),
                         [](const auto& param) {
                           return param.param ? std::string("OneCall") : std::string("StepByStep");
                         });

}  // namespace
}  // namespace tolvan::platform::testing
