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

const std::vector<std::string> kNames{"gone0", "gone1", "old0", "old1"};
constexpr long kOld = 1500000000;
constexpr long kNew = 1600000000;

// A real engine on the real file system and trash (under a temporary HOME). backup/sub can be
// exchanged with "parked", a link to the outside folder, which holds entries of the same names.
class TrashSwapTest : public ::testing::Test {
 protected:
  TrashSwapTest() {
    for (const char* folder : {"home", "master", "master/sub", "backup", "backup/sub", "outside"})
      ::mkdir((tmp / folder).c_str(), 0755);
    ::setenv("HOME", (tmp / "home").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (tmp / "home/data").c_str(), 1);
    for (const auto& name : kNames) WriteText(tmp / ("outside/" + name), "outside");
    for (const char* name : {"old0", "old1"}) {
      WriteText(tmp / ("master/sub/" + std::string(name)), "new");
      SetTimes(tmp / ("master/sub/" + std::string(name)), kNew, 0);
    }
    ::symlink((tmp / "outside").c_str(), (tmp / "parked").c_str());
    fillBackup();
    engine.job.NomalMode = -1;
    engine.job.ChildDir = -1;
    engine.job.TrashBox = -1;
    engine.job.Report = 0;
    fs.setWriteRoot(tmp / "backup");
  }
  ~TrashSwapTest() override {
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("HOME");
  }

  // Old copies and entries the master lacks, in the real backup folder.
  void fillBackup() {
    for (const auto& name : kNames) {
      WriteText(tmp / ("backup/sub/" + name), "backup");
      SetTimes(tmp / ("backup/sub/" + name), kOld, 0);
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
  void emptyTrash() {
    for (const char* part : {"/files", "/info"}) {
      std::error_code ignored;
      testing::stdfs::remove_all(tmp / ("home/data/Trash" + std::string(part)), ignored);
    }
  }

  TempFolder tmp;
  const std::string trashFiles = tmp / "home/data/Trash/files";
  LinuxFileSystem fs;
  LinuxTrash trash{fs};
  FakeWindowSystem ui;
  FakeSystemInfo sys;
  Engine engine{Services{fs, trash, ui, sys}};
};

// The listing has the real folder open; by the time its entries are removed the folder's path
// leads outside. Both removals fail with ELOOP and nothing moves.
TEST_F(TrashSwapTest, AFolderSwappedAfterItsListingLosesNothingAndOutsideFilesStay) {
  ui.onEvents = [&](long count) {
    if (count == 1) {
      ASSERT_TRUE(exchange());
    }
  };
  EXPECT_EQ(RemovalPass(engine, tmp / "master/sub", tmp / "backup/sub"), 2);
  EXPECT_EQ(DeleteEntry(engine, tmp / "backup/sub/gone0", -1, 0), ELOOP);
  expectOutsideUntouched();
  EXPECT_EQ(NamesIn(tmp / "parked"), kNames) << "the backup's own entries stay too";
  EXPECT_EQ(trashed(), std::vector<std::string>{});
}

// The copy's own folder descriptor was opened before the swap; the old copy's move to the
// trash opens the folder again and meets the link.
TEST_F(TrashSwapTest, AReplacementWhoseFolderTurnedIntoALinkKeepsTheOldCopy) {
  ASSERT_EQ(fs.setPermissions(tmp / "backup/sub/old0", 0644), 0);  // the folder is open now
  ASSERT_TRUE(exchange());
  EXPECT_EQ(fs.copyFile(tmp / "master/sub/old0", tmp / "backup/sub/old0", &trash), ELOOP);
  expectOutsideUntouched();
  EXPECT_EQ(NamesIn(tmp / "parked"), kNames) << "no temporary file left";
  EXPECT_EQ(ReadText(tmp / "parked/old0"), "backup");
  EXPECT_EQ(trashed(), std::vector<std::string>{});
}

// A swapper exchanges the folder with the link as fast as it can while a Mirroring run's
// removal and copy passes work in it. Bounded to a few hundred tries and a few seconds.
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
    emptyTrash();
    fillBackup();
  }
  EXPECT_GT(swaps, 0);
}

}  // namespace
}  // namespace tolvan::platform
