// The trash against a backup folder swapped for a link to an outside folder during a run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "TempFolder.h"
#include "engine/CopyPass.h"
#include "engine/Engine.h"
#include "engine/RemovalPass.h"
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxTrash.h"
#include "platform/fake/FakeSystemInfo.h"
#include "platform/fake/FakeWindowSystem.h"

namespace tolvan::platform {
namespace {

const std::vector<std::string> kNames{"gone", "old"};  // the master lacks "gone"

// A Mirroring engine with TrashBox on the real file system and trash (under a temporary
// HOME). backup/sub can be exchanged with "parked", a link to a folder outside the backup
// that holds entries of the same names.
class TrashSwapTest : public ::testing::Test {
 protected:
  TrashSwapTest() {
    for (const char* folder : {"home", "master", "master/sub", "backup", "backup/sub", "outside"})
      ::mkdir((tmp / folder).c_str(), 0755);
    ::setenv("HOME", (tmp / "home").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (tmp / "home/data").c_str(), 1);
    for (const auto& name : kNames) WriteText(tmp / ("outside/" + name), "outside");
    WriteText(tmp / "master/sub/old", "new");
    ::symlink((tmp / "outside").c_str(), (tmp / "parked").c_str());
    fillBackup();
    engine.job.NomalMode = engine.job.ChildDir = engine.job.TrashBox = -1;
    engine.job.Report = 0;
    fs.setWriteRoot(tmp / "backup");
  }
  ~TrashSwapTest() override {
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("HOME");
  }

  void fillBackup() {
    for (const auto& name : kNames) {
      WriteText(tmp / ("backup/sub/" + name), "backup");
      SetTimes(tmp / ("backup/sub/" + name), 1500000000, 0);  // older than the master's
    }
  }
  bool exchange() {
    return ::renameat2(AT_FDCWD, (tmp / "backup/sub").c_str(), AT_FDCWD, (tmp / "parked").c_str(),
                       RENAME_EXCHANGE) == 0;
  }
  void expectOutsideUntouched() {
    EXPECT_EQ(NamesIn(tmp / "outside"), kNames);
    for (const auto& name : kNames) EXPECT_EQ(ReadText(tmp / ("outside/" + name)), "outside");
  }
  // The contents of what the trash holds.
  std::vector<std::string> trashed() {
    std::vector<std::string> contents;
    for (const auto& name : NamesIn(trashFiles))
      contents.push_back(ReadText(trashFiles + "/" + name));
    return contents;
  }

  TempFolder tmp;
  const std::string trashFiles = tmp / "home/data/Trash/files";
  LinuxFileSystem fs;
  LinuxTrash trash{fs};
  FakeWindowSystem ui;
  FakeSystemInfo sys;
  Engine engine{Services{fs, trash, ui, sys}};
};

// The listing, and the copy, have the real folder open when its path starts leading outside;
// the trash opens the folder again, meets the link and moves nothing.
TEST_F(TrashSwapTest, AFolderSwappedForALinkMidRunMovesNothing) {
  ASSERT_EQ(fs.setPermissions(tmp / "backup/sub/old", 0644), 0);  // the copy's folder is open
  ui.onEvents = [&](long count) {
    if (count == 1) {
      ASSERT_TRUE(exchange());
    }
  };
  EXPECT_EQ(RemovalPass(engine, tmp / "master/sub", tmp / "backup/sub"), 1);
  EXPECT_EQ(fs.copyFile(tmp / "master/sub/old", tmp / "backup/sub/old", &trash), ELOOP);
  expectOutsideUntouched();
  EXPECT_EQ(NamesIn(tmp / "parked"), kNames) << "nothing of the backup lost, no temporary left";
  EXPECT_EQ(ReadText(tmp / "parked/old"), "backup");
  EXPECT_EQ(trashed(), std::vector<std::string>{});
}

// A swapper exchanges the folder with the link as fast as it can while the removal and copy
// passes work in it. Bounded to a few hundred tries and a few seconds.
TEST_F(TrashSwapTest, ARacingSwapperNeverGetsAnOutsideFileIntoTheTrash) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
  long swaps = 0;
  for (int attempt = 0; attempt < 300 && std::chrono::steady_clock::now() < deadline; ++attempt) {
    std::atomic<bool> stop{false};
    long count = 0;
    std::thread swapper([&] {
      while (!stop.load(std::memory_order_relaxed)) count += exchange() ? 1 : 0;
    });
    (void)RemovalPass(engine, tmp / "master/sub", tmp / "backup/sub");
    (void)CopyTree(engine, tmp / "master/sub", tmp / "backup/sub");
    stop = true;
    swapper.join();
    swaps += count;
    if (count % 2 != 0) {
      ASSERT_TRUE(exchange());  // the real folder back in its place
    }
    expectOutsideUntouched();
    for (const auto& content : trashed()) ASSERT_EQ(content, "backup") << "try " << attempt;
    if (HasFailure()) return;
    testing::stdfs::remove_all(tmp / "home/data/Trash");
    fillBackup();
  }
  EXPECT_GT(swaps, 0);
}

}  // namespace
}  // namespace tolvan::platform
