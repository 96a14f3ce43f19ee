#include <gtest/gtest.h>

#include <ctime>

#include "TempFolder.h"
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxTrash.h"

namespace tolvan::platform {
namespace {

using testing::Exists;
using testing::ReadText;
using testing::TempFolder;
using testing::WriteText;

// A home trash under a temporary XDG_DATA_HOME.
class LinuxTrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_DATA_HOME");
    hadDataHome_ = old != nullptr;
    if (hadDataHome_) oldDataHome_ = old;
    ::setenv("XDG_DATA_HOME", (tmp / "data").c_str(), 1);
    ::mkdir((tmp / "work").c_str(), 0755);
  }
  void TearDown() override {
    if (hadDataHome_)
      ::setenv("XDG_DATA_HOME", oldDataHome_.c_str(), 1);
    else
      ::unsetenv("XDG_DATA_HOME");
  }

  [[nodiscard]] std::string home() const { return tmp / "data/Trash"; }

  // The lines of a .trashinfo file.
  static std::vector<std::string> InfoLines(const std::string& path) {
    std::vector<std::string> lines;
    std::string text = ReadText(path);
    for (std::size_t start = 0; start < text.size();) {
      const auto end = text.find('\n', start);
      lines.push_back(text.substr(start, end - start));
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return lines;
  }

  TempFolder tmp;
  LinuxTrash trash;

 private:
  bool hadDataHome_ = false;
  std::string oldDataHome_;
};

TEST_F(LinuxTrashTest, FileGoesToTheHomeTrashWithItsInfo) {
  WriteText(tmp / "work/a file%.txt", "content");
  const std::time_t before = std::time(nullptr);
  ASSERT_EQ(trash.moveToTrash(tmp / "work/a file%.txt"), 0);

  EXPECT_FALSE(Exists(tmp / "work/a file%.txt"));
  EXPECT_EQ(ReadText(home() + "/files/a file%.txt"), "content");
  const auto lines = InfoLines(home() + "/info/a file%.txt.trashinfo");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "[Trash Info]");
  EXPECT_EQ(lines[1], "Path=" + tmp.path() + "/work/a%20file%25.txt");
  ASSERT_EQ(lines[2].rfind("DeletionDate=", 0), 0u);
  std::tm parsed{};
  const char* end = ::strptime(lines[2].c_str() + 13, "%Y-%m-%dT%H:%M:%S", &parsed);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(*end, '\0');
  parsed.tm_isdst = -1;
  EXPECT_GE(std::mktime(&parsed), before - 1);
  EXPECT_LE(std::mktime(&parsed), std::time(nullptr) + 1);

  struct stat st {};
  ASSERT_EQ(::stat((home() + "/files").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(LinuxTrashTest, FolderAndLinkGoAsTheyAreAndNamesDoNotCollide) {
  ::mkdir((tmp / "work/folder").c_str(), 0755);
  WriteText(tmp / "work/folder/inner", "x");
  WriteText(tmp / "outside", "keep");
  ASSERT_EQ(::symlink((tmp / "outside").c_str(), (tmp / "work/link").c_str()), 0);
  ASSERT_EQ(trash.moveToTrash(tmp / "work/folder"), 0);
  ASSERT_EQ(trash.moveToTrash(tmp / "work/link"), 0);
  EXPECT_EQ(ReadText(home() + "/files/folder/inner"), "x");
  struct stat st {};
  ASSERT_EQ(::lstat((home() + "/files/link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadText(tmp / "outside"), "keep");

  ::mkdir((tmp / "work/folder").c_str(), 0755);
  ASSERT_EQ(trash.moveToTrash(tmp / "work/folder"), 0);
  EXPECT_TRUE(Exists(home() + "/files/folder.2"));
  EXPECT_TRUE(Exists(home() + "/info/folder.2.trashinfo"));
  EXPECT_EQ(InfoLines(home() + "/info/folder.2.trashinfo")[1],
            "Path=" + tmp.path() + "/work/folder");
}

TEST_F(LinuxTrashTest, LookupsDoNotFollowAFolderIntoTheTrash) {
  LinuxFileSystem fs;
  ::mkdir((tmp / "work/folder").c_str(), 0755);
  WriteText(tmp / "work/folder/old", "");
  FileStat st;
  ASSERT_EQ(fs.statEntry(tmp / "work/folder/old", st), 0);  // the folder's descriptor is cached
  ASSERT_EQ(trash.moveToTrash(tmp / "work/folder"), 0);
  ::mkdir((tmp / "work/folder").c_str(), 0755);
  EXPECT_EQ(fs.statEntry(tmp / "work/folder/old", st), ENOENT);
}

TEST_F(LinuxTrashTest, MissingEntryFails) {
  EXPECT_EQ(trash.moveToTrash(tmp / "work/missing"), ENOENT);
  EXPECT_TRUE(testing::NamesIn(home() + "/info").empty());
}

TEST_F(LinuxTrashTest, OtherVolumeUsesItsTopFolderTrashWithARelativePath) {
  if (::geteuid() != 0 || !tmp.mountTmpfs("volume", "1m"))
    GTEST_SKIP() << "needs root to mount a tmpfs as a second volume";
  ::mkdir((tmp / "volume/dir").c_str(), 0755);
  WriteText(tmp / "volume/dir/file", "x");
  ASSERT_EQ(trash.moveToTrash(tmp / "volume/dir/file"), 0);
  const std::string volumeTrash = tmp / ("volume/.Trash-" + std::to_string(::getuid()));
  EXPECT_EQ(ReadText(volumeTrash + "/files/file"), "x");
  EXPECT_EQ(InfoLines(volumeTrash + "/info/file.trashinfo")[1], "Path=dir/file");
  EXPECT_FALSE(Exists(home() + "/files/file"));
}

TEST_F(LinuxTrashTest, NoUsableTrashOnTheVolumeLeavesTheEntryInPlace) {
  if (::geteuid() != 0 || !tmp.mountTmpfs("volume", "1m"))
    GTEST_SKIP() << "needs root to mount a tmpfs as a second volume";
  // Something that is not the user's trash folder sits where it would go.
  WriteText(tmp / ("volume/.Trash-" + std::to_string(::getuid())), "not a folder");
  WriteText(tmp / "volume/file", "x");
  EXPECT_NE(trash.moveToTrash(tmp / "volume/file"), 0);
  EXPECT_EQ(ReadText(tmp / "volume/file"), "x");
  EXPECT_FALSE(Exists(home() + "/files/file"));
}

TEST(TrashPathTest, EncodesBytesOutsideTheUnreservedSet) {
  EXPECT_EQ(EncodeTrashPath("/home/u/a-b_c.d!~*'()"), "/home/u/a-b_c.d!~*'()");
  EXPECT_EQ(EncodeTrashPath("/x y/%/#?"), "/x%20y/%25/%23%3F");
  EXPECT_EQ(EncodeTrashPath("/\xE6\x97\xA5"), "/%E6%97%A5");
}

}  // namespace
}  // namespace tolvan::platform
