#include "platform/LinuxTrash.h"
#include "support/CannotRunHere.h"

#include <gtest/gtest.h>

#include <ctime>

#include "TempFolder.h"
#include "engine/Engine.h"
#include "engine/RemovalPass.h"
#include "platform/LinuxFileSystem.h"
#include "platform/fake/FakeSystemInfo.h"
#include "platform/fake/FakeWindowSystem.h"

namespace tolvan::platform::testing {
namespace {

// A home trash under a temporary XDG_DATA_HOME.
class LinuxTrashTest : public ::testing::Test {
 protected:
  LinuxTrashTest() {
    ::setenv("XDG_DATA_HOME", (tmp / "data").c_str(), 1);
    ::mkdir((tmp / "work").c_str(), 0755);
  }
  ~LinuxTrashTest() override { ::unsetenv("XDG_DATA_HOME"); }
  // The second line of a .trashinfo file, its Path=.
  static std::string PathLine(const std::string& path) {
    const std::string text = ReadText(path), rest = text.substr(text.find('\n') + 1);
    return rest.substr(0, rest.find('\n'));
  }

  TempFolder tmp;
  const std::string home = tmp / "data/Trash";
  LinuxFileSystem fs;
  LinuxTrash trash{fs};
};

// The deletion date is local time to the second, read before and after the move.
TEST_F(LinuxTrashTest, EntryGoesToTheHomeTrashWithItsInfo) {
  WriteText(tmp / "work/a file%.txt", "content");
  const auto stamp = [] {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", ::localtime_r(&now, &local));
    return std::string(text);
  };
  const std::string before = stamp();
  ASSERT_EQ(trash.moveToTrash(tmp / "work/a file%.txt"), 0);
  const std::string info = ReadText(home + "/info/a file%.txt.trashinfo");
  const std::string head = "[Trash Info]\nPath=" + tmp.path() + "/work/a%20file%25.txt\n";
  EXPECT_TRUE(info == head + "DeletionDate=" + before + "\n" ||
              info == head + "DeletionDate=" + stamp() + "\n")
      << info;
  EXPECT_FALSE(Exists(tmp / "work/a file%.txt"));
  EXPECT_EQ(ReadText(home + "/files/a file%.txt"), "content");
  EXPECT_EQ(stdfs::status(home + "/files").permissions(), stdfs::perms::owner_all);
  EXPECT_EQ(EncodeTrashPath("/a-b_c.d!~*'()/\xE6\x97\xA5#?"), "/a-b_c.d!~*'()/%E6%97%A5%23%3F");
}

TEST_F(LinuxTrashTest, FolderAndLinkGoAsTheyAreAndNamesDoNotCollide) {
  ::mkdir((tmp / "work/folder").c_str(), 0755);
  WriteText(tmp / "work/folder/inner", "x");
  ASSERT_EQ(::symlink((tmp / "work/folder").c_str(), (tmp / "work/link").c_str()), 0);
  FileStat st;
  ASSERT_EQ(fs.statEntry(tmp / "work/folder/inner", st), 0);  // the folder's descriptor is cached
  ASSERT_EQ(trash.moveToTrash(tmp / "work/folder"), 0);
  ASSERT_EQ(trash.moveToTrash(tmp / "work/link"), 0);
  EXPECT_EQ(ReadText(home + "/files/folder/inner"), "x");
  EXPECT_TRUE(stdfs::is_symlink(home + "/files/link"));
  ::mkdir((tmp / "work/folder").c_str(), 0755);
  EXPECT_EQ(fs.statEntry(tmp / "work/folder/inner", st), ENOENT) << "not followed into the trash";
  ASSERT_EQ(trash.moveToTrash(tmp / "work/folder"), 0);
  EXPECT_EQ(PathLine(home + "/info/folder.2.trashinfo"), "Path=" + tmp.path() + "/work/folder");
  EXPECT_EQ(NamesIn(home + "/files"), (std::vector<std::string>{"folder", "folder.2", "link"}));
}

// A name of the longest kind leaves no room for ".trashinfo": the trash names are cut, stay
// paired and unique, and Path= keeps the whole original.
TEST_F(LinuxTrashTest, NamesTooLongForTheirInfoFileAreCutAndStayPaired) {
  const std::string japanese = "日";  // three bytes: a cut never splits it
  const std::pair<std::string, std::string> cases[] = {
      {std::string(255, 'a'), std::string(245, 'a')},
      {std::string(254, 'a') + "b", std::string(243, 'a') + ".2"},
      {std::string(244, 'a') + japanese + "c", std::string(244, 'a')},
      {std::string(244, 'a') + japanese + "d", std::string(243, 'a') + ".3"},
  };
  for (const auto& [name, trashName] : cases) {
    SCOPED_TRACE(name.substr(240));
    WriteText(tmp / "work" + "/" + name, name.substr(240));
    ASSERT_EQ(trash.moveToTrash(tmp / "work" + "/" + name), 0);
    EXPECT_EQ(ReadText(home + "/files/" + trashName), name.substr(240));
    EXPECT_EQ(PathLine(home + "/info/" + trashName + ".trashinfo"),
              "Path=" + EncodeTrashPath(tmp / "work" + "/" + name));
  }
  EXPECT_TRUE(NamesIn(tmp / "work").empty());
}

TEST_F(LinuxTrashTest, AMoveThatFailsLeavesTheEntryInPlace) {
  EXPECT_EQ(trash.moveToTrash(tmp / "work/missing"), ENOENT);
  ::mkdir((tmp / "data").c_str(), 0700);
  WriteText(home, "not a folder");
  WriteText(tmp / "work/file", "x");
  EXPECT_NE(trash.moveToTrash(tmp / "work/file"), 0);
  EXPECT_EQ(ReadText(tmp / "work/file"), "x");
  // On another volume: its top folder's trash, with a relative Path=.
  if (!tmp.mountTmpfs("volume", "1m"))
    TOLVAN_CANNOT_RUN_HERE("needs root to mount a second volume");
  ::mkdir((tmp / "volume/dir").c_str(), 0755);
  WriteText(tmp / "volume/dir/file", "x");
  ASSERT_EQ(trash.moveToTrash(tmp / "volume/dir/file"), 0);
  const std::string volumeTrash = tmp / ("volume/.Trash-" + std::to_string(::getuid()));
  EXPECT_EQ(ReadText(volumeTrash + "/files/file"), "x");
  EXPECT_EQ(PathLine(volumeTrash + "/info/file.trashinfo"), "Path=dir/file");
  // Something that is not the user's trash folder where it would go: the entry stays.
  ASSERT_EQ(::rename(volumeTrash.c_str(), (tmp / "volume/moved").c_str()), 0);
  WriteText(volumeTrash, "not a folder");
  WriteText(tmp / "volume/file", "x");
  EXPECT_NE(trash.moveToTrash(tmp / "volume/file"), 0);
  EXPECT_EQ(ReadText(tmp / "volume/file"), "x");
}

// A Mirroring engine with TrashBox on the real file system and trash; the master lacks "gone".
// Mid-run backup/sub is exchanged with "parked", a link to a folder outside the backup that
// holds entries of the same names. The listing, and the copy, have the real folder open when
// its path starts leading outside; the trash opens the folder again, meets the link and moves
// nothing.
TEST_F(LinuxTrashTest, AFolderSwappedForALinkMidRunMovesNothing) {
  for (const char* folder : {"master", "master/sub", "backup", "backup/sub", "outside"})
    ::mkdir((tmp / folder).c_str(), 0755);
  for (const std::string name : {"gone", "old"}) {
    WriteText(tmp / ("outside/" + name), "outside");
    WriteText(tmp / ("backup/sub/" + name), "backup");
    SetTimes(tmp / ("backup/sub/" + name), 1500000000, 0);  // older than the master's
  }
  WriteText(tmp / "master/sub/old", "new");
  ::symlink((tmp / "outside").c_str(), (tmp / "parked").c_str());
  FakeWindowSystem ui;
  FakeSystemInfo sys;
  Engine engine{Services{fs, trash, ui, sys}};
  engine.job.NomalMode = engine.job.ChildDir = engine.job.TrashBox = -1;
  engine.job.Report = 0;
  fs.setWriteRoot(tmp / "backup");
  ASSERT_EQ(fs.setPermissions(tmp / "backup/sub/old", 0644), 0);  // the copy's folder is open
  ui.onEvents = [&](long count) {
    if (count == 1) {
      ASSERT_EQ(::renameat2(AT_FDCWD, (tmp / "backup/sub").c_str(), AT_FDCWD,
                            (tmp / "parked").c_str(), RENAME_EXCHANGE),
                0);
    }
  };
  EXPECT_EQ(RemovalPass(engine, tmp / "master/sub", tmp / "backup/sub"), 1);
  EXPECT_EQ(fs.copyFile(tmp / "master/sub/old", tmp / "backup/sub/old", &trash), ELOOP);
  EXPECT_EQ(ReadText(tmp / "outside/gone") + ReadText(tmp / "outside/old"), "outsideoutside");
  // Nothing of the backup lost, no temporary left, nothing trashed.
  EXPECT_EQ(NamesIn(tmp / "outside"), NamesIn(tmp / "parked"));
  EXPECT_EQ(NamesIn(tmp / "parked"), (std::vector<std::string>{"gone", "old"}));
  EXPECT_EQ(ReadText(tmp / "parked/old"), "backup");
  EXPECT_EQ(NamesIn(home + "/files"), std::vector<std::string>{});
}

}  // namespace
}  // namespace tolvan::platform::testing
