#include <gtest/gtest.h>

#include "TempFolder.h"
#include "platform/LinuxFileSystem.h"

namespace tolvan::platform {
namespace {

using testing::ReadText;
using testing::TempFolder;
using testing::WriteText;

bool IsSharingFailure(int error) {
  return error == EAGAIN || error == EACCES;
}

// Tries to take the lock from another process: 0 when it could, else the errno.
int LockFromChild(const std::string& path) {
  const pid_t child = ::fork();
  if (child == 0) {
    LinuxFileSystem other;
    int error = 0;
    auto file = other.openLocked(path, OpenMode::Append, error);
    ::_exit(error);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class RunLockTest : public ::testing::Test {
 protected:
  TempFolder tmp;
  LinuxFileSystem fs;
  std::string report = tmp / "report.tvr";
};

TEST_F(RunLockTest, ASecondOpenFailsWhileTheFirstHoldsTheFile) {
  int error = 0;
  auto first = fs.openLocked(report, OpenMode::Append, error);
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(error, 0);

  auto second = fs.openLocked(report, OpenMode::Append, error);
  EXPECT_EQ(second, nullptr);
  EXPECT_TRUE(IsSharingFailure(error)) << error;
  EXPECT_TRUE(IsSharingFailure(LockFromChild(report)));

  ASSERT_EQ(first->close(), 0);
  second = fs.openLocked(report, OpenMode::Append, error);
  EXPECT_NE(second, nullptr);
  second.reset();
  EXPECT_EQ(LockFromChild(report), 0);
}

TEST_F(RunLockTest, AFailedTruncatingOpenLeavesTheHeldFileWhole) {
  int error = 0;
  auto holder = fs.openLocked(report, OpenMode::Append, error);
  ASSERT_NE(holder, nullptr);
  ASSERT_EQ(holder->write("first run\r\n"), 0);

  EXPECT_EQ(fs.openLocked(report, OpenMode::Truncate, error), nullptr);
  EXPECT_EQ(ReadText(report), "first run\r\n");
  ASSERT_EQ(holder->close(), 0);
  EXPECT_EQ(holder->write("late"), EBADF);

  auto truncating = fs.openLocked(report, OpenMode::Truncate, error);
  ASSERT_NE(truncating, nullptr);
  ASSERT_EQ(truncating->write("second run\r\n"), 0);
  ASSERT_EQ(truncating->close(), 0);
  EXPECT_EQ(ReadText(report), "second run\r\n");
}

TEST_F(RunLockTest, AppendAddsToTheEndAndMissingFolderFails) {
  WriteText(report, "old\r\n");
  int error = 0;
  auto file = fs.openLocked(report, OpenMode::Append, error);
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(file->write("new\r\n"), 0);
  file.reset();  // the destructor closes too
  EXPECT_EQ(ReadText(report), "old\r\nnew\r\n");
  EXPECT_EQ(fs.openLocked(tmp / "missing/report.tvr", OpenMode::Append, error), nullptr);
  EXPECT_EQ(error, ENOENT);
}

}  // namespace
}  // namespace tolvan::platform
