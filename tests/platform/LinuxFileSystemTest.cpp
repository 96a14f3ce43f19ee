#include <gtest/gtest.h>

#include <map>

#include "TempFolder.h"
#include "platform/LinuxFileSystem.h"
#include "platform/PartialCopy.h"
#include "platform/StoredSpelling.h"
#include "platform/TemporaryFile.h"
#include "platform/Trash.h"

namespace tolvan::platform {
namespace {

using testing::Exists;
using testing::NamesIn;
using testing::ReadText;
using testing::SetTimes;
using testing::TempFolder;
using testing::WriteText;

class LinuxFileSystemTest : public ::testing::Test {
 protected:
  std::map<std::string, FileStat> listAll(const std::string& dir) {
    std::map<std::string, FileStat> entries;
    int error = 0;
    auto listing = fs.openListing(dir, error);
    EXPECT_EQ(error, 0);
    if (!listing) return entries;
    std::string_view name;
    FileStat st;
    int result = 0;
    while ((result = listing->next(name, st)) == 0) entries[std::string(name)] = st;
    EXPECT_EQ(result, -1);
    return entries;
  }

  [[nodiscard]] bool hasPartialCopy(const std::string& dir) const {
    for (const auto& name : NamesIn(dir))
      if (IsPartialCopyName(name)) return true;
    return false;
  }

  TempFolder tmp;
  LinuxFileSystem fs;
};

// Records the moves and fails on request; a successful move really takes the entry away.
class RecordingTrash : public Trash {
 public:
  int moveToTrash(const std::string& path) override {
    moved.push_back(path);
    if (failWith != 0) return failWith;
    return ::rename(path.c_str(), (path + ".trashed").c_str()) == 0 ? 0 : errno;
  }
  std::vector<std::string> moved;
  int failWith = 0;
};

TEST_F(LinuxFileSystemTest, ListingDescribesEveryKindWithoutFollowingLinks) {
  WriteText(tmp / "file.txt", "12345");
  ::chmod((tmp / "file.txt").c_str(), 0640);
  ::mkdir((tmp / "folder").c_str(), 0755);
  WriteText(tmp / ".hidden", "");
  WriteText(tmp / "readonly", "");
  ::chmod((tmp / "readonly").c_str(), 0444);
  ASSERT_EQ(::symlink("folder", (tmp / "link").c_str()), 0);
  ASSERT_EQ(::mkfifo((tmp / "fifo").c_str(), 0600), 0);

  const auto entries = listAll(tmp.path());
  ASSERT_EQ(entries.size(), 6u);  // no "." or ".."
  const FileStat& file = entries.at("file.txt");
  EXPECT_EQ(file.kind, EntryKind::File);
  EXPECT_EQ(file.attributes, 0u);
  EXPECT_EQ(file.size, 5);
  EXPECT_EQ(file.mode, 0640u);
  EXPECT_EQ(entries.at("folder").kind, EntryKind::Directory);
  EXPECT_EQ(entries.at("folder").attributes, kAttrDirectory);
  EXPECT_EQ(entries.at(".hidden").attributes, kAttrHidden);
  EXPECT_EQ(entries.at("readonly").attributes, kAttrReadOnly);
  EXPECT_EQ(entries.at("link").kind, EntryKind::Symlink);
  EXPECT_EQ(entries.at("link").attributes, kAttrLink);
  EXPECT_EQ(entries.at("link").size, 6);  // the length of its target text
  EXPECT_EQ(entries.at("fifo").kind, EntryKind::Special);
}

TEST_F(LinuxFileSystemTest, ListingOfMissingOrNonFolderGivesErrno) {
  WriteText(tmp / "file", "");
  int error = 0;
  EXPECT_EQ(fs.openListing(tmp / "missing", error), nullptr);
  EXPECT_EQ(error, ENOENT);
  EXPECT_EQ(fs.openListing(tmp / "file", error), nullptr);
  EXPECT_EQ(error, ENOTDIR);
}

TEST_F(LinuxFileSystemTest, StatEntryIsLstatWithSizesAndNanoseconds) {
  WriteText(tmp / "big", "");
  ASSERT_EQ(::truncate((tmp / "big").c_str(), 5LL << 30), 0);  // sparse, 5 GiB
  SetTimes(tmp / "big", 1600000000, 123456789);
  ::mkdir((tmp / "dir").c_str(), 0755);
  ASSERT_EQ(::symlink(tmp.path().c_str(), (tmp / "dir/up").c_str()), 0);

  FileStat st;
  ASSERT_EQ(fs.statEntry(tmp / "big", st), 0);
  EXPECT_EQ(st.size, 5LL << 30);
  EXPECT_EQ(st.mtimeSeconds, 1600000000);
  EXPECT_EQ(st.mtimeNanoseconds, 123456789);
  ASSERT_EQ(fs.statEntry(tmp / "dir/up", st), 0);
  EXPECT_EQ(st.kind, EntryKind::Symlink);
  EXPECT_EQ(fs.statEntry(tmp / "dir/missing", st), ENOENT);
  EXPECT_EQ(st.kind, EntryKind::Missing);
  EXPECT_EQ(fs.statEntry(tmp / "big/below", st), ENOTDIR);
  EXPECT_EQ(fs.statEntry(tmp / "nowhere/below", st), ENOENT);
}

TEST_F(LinuxFileSystemTest, LookupsSeeFoldersRemovedAndRecreatedByThisObject) {
  ::mkdir((tmp / "dir").c_str(), 0755);
  WriteText(tmp / "dir/old", "");
  FileStat st;
  ASSERT_EQ(fs.statEntry(tmp / "dir/old", st), 0);
  ASSERT_EQ(fs.removeTree(tmp / "dir"), 0);
  ASSERT_EQ(fs.makeDirectory(tmp / "dir"), 0);
  WriteText(tmp / "dir/new", "");
  EXPECT_EQ(fs.statEntry(tmp / "dir/old", st), ENOENT);
  EXPECT_EQ(fs.statEntry(tmp / "dir/new", st), 0);
}

TEST_F(LinuxFileSystemTest, StoredNameOnCaseSensitiveFolderIsThePathsOwn) {
  WriteText(tmp / "Name.txt", "");
  WriteText(tmp / "name.TXT", "");
  std::string name;
  ASSERT_EQ(fs.storedName(tmp / "Name.txt", name), 0);
  EXPECT_EQ(name, "Name.txt");
  ASSERT_EQ(fs.storedName(tmp / "name.TXT", name), 0);
  EXPECT_EQ(name, "name.TXT");
  EXPECT_EQ(fs.storedName(tmp / "NAME.TXT", name), ENOENT);
}

// No case-blind file system can be mounted in every test environment: the folder reading a
// case-blind lookup relies on is tested on its own, and the detection through hard links
// whose names differ in case only (they look like one case-blind entry).
TEST_F(LinuxFileSystemTest, StoredSpellingIsReadFromTheFolder) {
  WriteText(tmp / "README.txt", "");
  WriteText(tmp / "readme.txt.other", "");
  struct stat st {};
  ASSERT_EQ(::stat((tmp / "README.txt").c_str(), &st), 0);
  UniqueFd folder(::open(tmp.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  std::string stored = "readme.TXT";
  FindStoredSpelling(folder.get(), "readme.TXT", st.st_ino, stored);
  EXPECT_EQ(stored, "README.txt");
  stored = "Readme.txt";
  FindStoredSpelling(folder.get(), "Readme.txt", st.st_ino + 1, stored);  // another entry
  EXPECT_EQ(stored, "Readme.txt");

  ASSERT_EQ(::link((tmp / "README.txt").c_str(), (tmp / "readme.TXT").c_str()), 0);
  std::string name;
  ASSERT_EQ(fs.storedName(tmp / "readme.TXT", name), 0);
  EXPECT_EQ(name, "readme.TXT");  // stored exactly so, though a case variant is the same entry
  ASSERT_EQ(fs.storedName(tmp / "README.txt", name), 0);
  EXPECT_EQ(name, "README.txt");
}

TEST_F(LinuxFileSystemTest, CopyKeepsContentModeAndNanosecondTime) {
  std::string content(3 * 1024 * 1024 + 17, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  WriteText(tmp / "source", content);
  ::chmod((tmp / "source").c_str(), 0751);
  SetTimes(tmp / "source", 1500000000, 987654321);
  WriteText(tmp / "target", "old");

  ASSERT_EQ(fs.copyFile(tmp / "source", tmp / "target", nullptr), 0);
  EXPECT_EQ(ReadText(tmp / "target"), content);
  FileStat st;
  ASSERT_EQ(fs.statEntry(tmp / "target", st), 0);
  EXPECT_EQ(st.mode, 0751u);
  EXPECT_EQ(st.mtimeSeconds, 1500000000);
  EXPECT_EQ(st.mtimeNanoseconds, 987654321);
  EXPECT_FALSE(hasPartialCopy(tmp.path()));
}

TEST_F(LinuxFileSystemTest, CopyReplacesAReadOnlyCopyAndALinkItselfNotItsTarget) {
  WriteText(tmp / "source", "new");
  WriteText(tmp / "readonly", "old");
  ::chmod((tmp / "readonly").c_str(), 0444);
  WriteText(tmp / "elsewhere", "keep");
  ASSERT_EQ(::symlink((tmp / "elsewhere").c_str(), (tmp / "link").c_str()), 0);

  ASSERT_EQ(fs.copyFile(tmp / "source", tmp / "readonly", nullptr), 0);
  EXPECT_EQ(ReadText(tmp / "readonly"), "new");
  ASSERT_EQ(fs.copyFile(tmp / "source", tmp / "link", nullptr), 0);
  FileStat st;
  ASSERT_EQ(fs.statEntry(tmp / "link", st), 0);
  EXPECT_EQ(st.kind, EntryKind::File);
  EXPECT_EQ(ReadText(tmp / "elsewhere"), "keep");
}

TEST_F(LinuxFileSystemTest, LinkIsCopiedAsALinkWithItsOwnTime) {
  ASSERT_EQ(::symlink("../somewhere/else", (tmp / "link").c_str()), 0);
  SetTimes(tmp / "link", 1400000000, 5);
  WriteText(tmp / "target", "a file before");

  ASSERT_EQ(fs.copyFile(tmp / "link", tmp / "target", nullptr), 0);
  char text[64] = {};
  ASSERT_EQ(::readlink((tmp / "target").c_str(), text, sizeof text - 1), 17);
  EXPECT_STREQ(text, "../somewhere/else");
  FileStat st;
  ASSERT_EQ(fs.statEntry(tmp / "target", st), 0);
  EXPECT_EQ(st.kind, EntryKind::Symlink);
  EXPECT_EQ(st.mtimeSeconds, 1400000000);
  EXPECT_EQ(st.mtimeNanoseconds, 5);
}

TEST_F(LinuxFileSystemTest, CopyRefusesFoldersAndSpecialFiles) {
  WriteText(tmp / "source", "x");
  ::mkdir((tmp / "folder").c_str(), 0755);
  ASSERT_EQ(::mkfifo((tmp / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(fs.copyFile(tmp / "source", tmp / "folder", nullptr), EISDIR);
  EXPECT_EQ(fs.copyFile(tmp / "folder", tmp / "copy", nullptr), EISDIR);
  EXPECT_EQ(fs.copyFile(tmp / "fifo", tmp / "copy", nullptr), ENOTSUP);
  EXPECT_EQ(fs.copyFile(tmp / "missing", tmp / "copy", nullptr), ENOENT);
  EXPECT_EQ(fs.copyFile(tmp / "source", tmp / "nofolder/copy", nullptr), ENOENT);
  EXPECT_FALSE(Exists(tmp / "copy"));
  EXPECT_FALSE(hasPartialCopy(tmp.path()));
}

TEST_F(LinuxFileSystemTest, TrashGetsTheOldCopyOnlyWhenTheNewOneIsComplete) {
  WriteText(tmp / "source", "new");
  WriteText(tmp / "target", "old");
  RecordingTrash trash;
  ASSERT_EQ(fs.copyFile(tmp / "source", tmp / "target", &trash), 0);
  ASSERT_EQ(trash.moved.size(), 1u);
  EXPECT_EQ(ReadText(tmp / "target.trashed"), "old");
  EXPECT_EQ(ReadText(tmp / "target"), "new");

  // Nothing to trash when there is no old copy.
  ASSERT_EQ(fs.copyFile(tmp / "source", tmp / "fresh", &trash), 0);
  EXPECT_EQ(trash.moved.size(), 1u);

  // A move to the trash that fails leaves the old copy and no temporary file.
  WriteText(tmp / "source", "newer");
  trash.failWith = EXDEV;
  EXPECT_EQ(fs.copyFile(tmp / "source", tmp / "target", &trash), EXDEV);
  EXPECT_EQ(ReadText(tmp / "target"), "new");
  EXPECT_FALSE(hasPartialCopy(tmp.path()));
}

TEST_F(LinuxFileSystemTest, UnreadableSourceFailsAndKeepsTheOldCopy) {
  WriteText(tmp / "source", "secret");
  WriteText(tmp / "target", "old");
  ::chmod((tmp / "source").c_str(), 0000);
  testing::GiveToNobody(tmp.path());
  const std::string source = tmp / "source";
  const std::string target = tmp / "target";
  const int result = testing::RunUnprivileged([&] {
    if (::geteuid() == 0) return 254;  // could not drop root's privileges
    LinuxFileSystem unprivileged;
    return unprivileged.copyFile(source, target, nullptr);
  });
  if (result == 254) GTEST_SKIP() << "cannot run as an unprivileged user here";
  EXPECT_EQ(result, EACCES);
  EXPECT_EQ(ReadText(tmp / "target"), "old");
  EXPECT_FALSE(hasPartialCopy(tmp.path()));
}

TEST_F(LinuxFileSystemTest, FullDiskKeepsTheOldCopyAndLeavesNoTemporaryFile) {
  if (::geteuid() != 0 || !tmp.mountTmpfs("small", "1m"))
    GTEST_SKIP() << "needs root to mount a 1 MiB tmpfs";
  const std::string small = tmp / "small";
  WriteText(small + "/target", "old copy");
  WriteText(tmp / "source", std::string(2 * 1024 * 1024, 'x'));

  EXPECT_EQ(fs.copyFile(tmp / "source", small + "/target", nullptr), ENOSPC);
  EXPECT_EQ(ReadText(small + "/target"), "old copy");
  EXPECT_EQ(NamesIn(small), std::vector<std::string>{"target"});
}

TEST_F(LinuxFileSystemTest, SignalHandlerDiscardRemovesTheTemporaryFileBeingWritten) {
  UniqueFd folder(::open(tmp.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(folder.valid());
  TemporaryName name;
  UniqueFd file;
  ASSERT_EQ(CreateTemporaryFile(folder.get(), 0600, name, file), 0);
  ASSERT_TRUE(IsPartialCopyName(name));
  ASSERT_TRUE(hasPartialCopy(tmp.path()));
  LinuxFileSystem::DiscardPartialCopyFromSignalHandler();
  EXPECT_FALSE(hasPartialCopy(tmp.path()));
  // Once discarded it is forgotten: a second signal removes nothing that came later.
  WriteText(tmp / name, "");
  LinuxFileSystem::DiscardPartialCopyFromSignalHandler();
  EXPECT_TRUE(Exists(tmp / name));
}

TEST_F(LinuxFileSystemTest, WriteFileReplacesAndKeepsMode) {
  WriteText(tmp / "job.tvf", "old");
  ::chmod((tmp / "job.tvf").c_str(), 0640);
  ASSERT_EQ(fs.writeFile(tmp / "job.tvf", "new\r\n"), 0);
  EXPECT_EQ(ReadText(tmp / "job.tvf"), "new\r\n");
  FileStat st;
  ASSERT_EQ(fs.statEntry(tmp / "job.tvf", st), 0);
  EXPECT_EQ(st.mode, 0640u);
  std::string content;
  ASSERT_EQ(fs.readFile(tmp / "job.tvf", content), 0);
  EXPECT_EQ(content, "new\r\n");
  EXPECT_EQ(fs.readFile(tmp.path(), content), EISDIR);
  EXPECT_EQ(fs.writeFile(tmp / "missing/job.tvf", "x"), ENOENT);
  EXPECT_FALSE(hasPartialCopy(tmp.path()));
}

TEST_F(LinuxFileSystemTest, FolderOperations) {
  ASSERT_EQ(fs.makeDirectories(tmp / "a/b/c"), 0);
  EXPECT_EQ(fs.makeDirectories(tmp / "a/b/c"), 0);
  EXPECT_EQ(fs.makeDirectory(tmp / "a"), EEXIST);
  WriteText(tmp / "a/file", "");
  EXPECT_EQ(fs.makeDirectories(tmp / "a/file/d"), ENOTDIR);
  EXPECT_EQ(fs.removeEntry(tmp / "a/b"), ENOTEMPTY);
  ASSERT_EQ(fs.removeEntry(tmp / "a/b/c"), 0);
  ASSERT_EQ(fs.setPermissions(tmp / "a/file", 0400), 0);
  FileStat st;
  ASSERT_EQ(fs.statEntry(tmp / "a/file", st), 0);
  EXPECT_EQ(st.mode, 0400u);
  EXPECT_EQ(st.attributes & kAttrReadOnly, kAttrReadOnly);
  ASSERT_EQ(fs.renameEntry(tmp / "a/b", tmp / "a/renamed"), 0);
  EXPECT_TRUE(Exists(tmp / "a/renamed"));
  ASSERT_EQ(fs.removeTree(tmp / "a"), 0);
  EXPECT_FALSE(Exists(tmp / "a"));
  EXPECT_EQ(fs.removeTree(tmp / "a"), ENOENT);
}

TEST_F(LinuxFileSystemTest, SetPermissionsOnALinkLeavesItsTargetAlone) {
  WriteText(tmp / "target", "");
  ::chmod((tmp / "target").c_str(), 0644);
  ASSERT_EQ(::symlink("target", (tmp / "link").c_str()), 0);
  EXPECT_EQ(fs.setPermissions(tmp / "link", 0400), 0);
  struct stat st {};
  ASSERT_EQ(::stat((tmp / "target").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(LinuxFileSystemTest, DiskSpaceAndMountPoints) {
  std::uint64_t freeBytes = 0;
  std::uint64_t totalBytes = 0;
  ASSERT_EQ(fs.diskSpace(tmp.path(), freeBytes, totalBytes), 0);
  EXPECT_GT(totalBytes, 0u);
  EXPECT_LE(freeBytes, totalBytes);
  EXPECT_EQ(fs.diskSpace(tmp / "missing", freeBytes, totalBytes), ENOENT);
  EXPECT_TRUE(fs.isMountPoint("/"));
  EXPECT_FALSE(fs.isMountPoint(tmp.path()));
  if (::geteuid() == 0 && tmp.mountTmpfs("mnt", "1m")) {
    EXPECT_TRUE(fs.isMountPoint(tmp / "mnt"));
    ASSERT_EQ(fs.diskSpace(tmp / "mnt", freeBytes, totalBytes), 0);
    EXPECT_EQ(totalBytes, 1024u * 1024u);
  }
}

}  // namespace
}  // namespace tolvan::platform
