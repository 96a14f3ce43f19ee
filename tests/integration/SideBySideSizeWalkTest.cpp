// The master tree's size walk on a thread of its own, over a real tree.
#include "engine/SideBySideSizeWalk.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/Engine.h"
#include "engine/FileOps.h"
#include "platform/LinuxFileSystem.h"
#include "platform/TempFolder.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeSystemInfo.h"
#include "platform/fake/FakeTrash.h"
#include "platform/fake/FakeWindowSystem.h"

namespace tolvan {
namespace {

using platform::testing::TempFolder;
using platform::testing::WriteText;

class SideBySideSizeWalkTest : public ::testing::Test {
 protected:
  SideBySideSizeWalkTest() {
    for (int i = 0; i < 20; ++i) {
      const std::string folder = tmp / ("d" + std::to_string(i));
      ::mkdir(folder.c_str(), 0755);
      for (int k = 1; k <= 30; ++k)
        WriteText(folder + "/f" + std::to_string(k), std::string(static_cast<std::size_t>(k), 'x'));
    }
    WriteText(tmp / "d0/.tolvan32-partial-0123456789abcdef", "never counted");
  }

  TempFolder tmp;
  platform::LinuxFileSystem fs;
  platform::FakeFileSystem unused;
  platform::FakeTrash trash{unused};
  platform::FakeWindowSystem ui;
  platform::FakeSystemInfo sys;
  Engine engine{Services{fs, trash, ui, sys}};
};

// 20 folders of 30 files of 1 to 30 bytes: 20 * 465 bytes.
TEST_F(SideBySideSizeWalkTest, FiguresAreThoseOfTheWalkInTurnAndAStopEndsIt) {
  std::int64_t folders = 1;
  std::int64_t files = 2;
  {
    SideBySideSizeWalk walk(engine, tmp.path(), -1);
    std::int64_t otherFolders = 0;
    std::int64_t otherFiles = 0;
    EXPECT_EQ(TreeSize(engine, tmp.path(), -1, otherFolders, otherFiles), 9300.0);
    EXPECT_EQ(walk.finish(folders, files), 9300.0);
  }
  EXPECT_EQ(folders, 1 + 20);
  EXPECT_EQ(files, 2 + 600) << "added to what the counts held";

  engine.run.StopFlag = 1;
  SideBySideSizeWalk stopped(engine, tmp.path(), -1);
  folders = 0;
  files = 0;
  EXPECT_EQ(stopped.finish(folders, files), 0.0);
  EXPECT_EQ(files, 0);
  EXPECT_TRUE(platform::testing::Exists(tmp / "d0/.tolvan32-partial-0123456789abcdef"))
      << "the master's leftovers stay";
}

}  // namespace
}  // namespace tolvan
