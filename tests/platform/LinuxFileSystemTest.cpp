#include "platform/LinuxFileSystem.h"
#include "support/CannotRunHere.h"

#include <gtest/gtest.h>

#include <barrier>
#include <map>
#include <thread>

#include "TempFolder.h"
#include "platform/FileContentCopy.h"
#include "platform/FolderSpellings.h"
#include "platform/NoFollowPermissions.h"
#include "platform/PartialCopy.h"
#include "platform/StoredSpelling.h"
#include "platform/TemporaryFile.h"
#include "platform/Trash.h"

namespace tolvan::platform::testing {
namespace {

constexpr off_t kMiB = 1024 * 1024;

class LinuxFileSystemTest : public ::testing::Test {
 protected:
  [[nodiscard]] bool hasPartialCopy() const {
    return std::ranges::any_of(NamesIn(tmp.path()), IsPartialCopyName);
  }
  FileStat statOf(const std::string& path) {
    FileStat st;
    EXPECT_EQ(fs.statEntry(path, st), 0) << path;
    return st;
  }
  void symlink(const std::string& target, const std::string& name) {
    ASSERT_EQ(::symlink(target.c_str(), (tmp / name).c_str()), 0) << name;
  }

  TempFolder tmp;
  LinuxFileSystem fs;
};

// More entries than one read of the folder holds: each listed once, none lost at the seams.
TEST_F(LinuxFileSystemTest, ListingDescribesEveryKindWithoutFollowingLinks) {
  for (int i = 0; i < 1500; ++i)
    WriteText(tmp / ("an-entry-with-a-long-name-" + std::to_string(i)), "");
  WriteText(tmp / "file.txt", "12345", 0640);
  ::mkdir((tmp / "folder").c_str(), 0755);
  WriteText(tmp / ".hidden", "");
  WriteText(tmp / "readonly", "", 0444);
  symlink("folder", "link");
  ASSERT_EQ(::mkfifo((tmp / "fifo").c_str(), 0600), 0);
  int error = 0;
  auto listing = fs.openListing(tmp.path(), error);
  ASSERT_NE(listing, nullptr);
  std::map<std::string, FileStat> entries;
  std::string_view name;
  FileStat st;
  while ((error = listing->next(name, st)) == 0)
    EXPECT_TRUE(entries.emplace(std::string(name), st).second) << name << " listed twice";
  EXPECT_EQ(error, -1);
  EXPECT_EQ(entries.size(), 1506u);  // no "." or ".."
  const std::tuple<const char*, EntryKind, std::uint32_t> kinds[] = {
      {"file.txt", EntryKind::File, 0},          {"folder", EntryKind::Directory, kAttrDirectory},
      {".hidden", EntryKind::File, kAttrHidden}, {"readonly", EntryKind::File, kAttrReadOnly},
      {"link", EntryKind::Symlink, kAttrLink},   {"fifo", EntryKind::Special, 0}};
  for (const auto& [entry, kind, attributes] : kinds)
    EXPECT_EQ(std::pair(entries[entry].kind, entries[entry].attributes),
              std::pair(kind, attributes))
        << entry;
  // A link's size is the length of its target text.
  EXPECT_EQ(std::tuple(entries["file.txt"].size, entries["file.txt"].mode, entries["link"].size),
            std::tuple(5, 0640u, 6));
  for (const auto& [path, code] : {std::pair{"missing", ENOENT}, {"file.txt", ENOTDIR}}) {
    EXPECT_EQ(fs.openListing(tmp / path, error), nullptr);
    EXPECT_EQ(error, code) << path;
  }
}

// No case-blind file system can be mounted everywhere: the folder reading such a lookup
// relies on is tested on its own, and a hard link named in another case stands in for one.
TEST_F(LinuxFileSystemTest, StatIsLstatWithLargeSizesAndStoredNamesAreTheFoldersCurrentSpelling) {
  WriteText(tmp / "README.txt", "");
  ASSERT_EQ(::truncate((tmp / "README.txt").c_str(), 5LL << 30), 0);  // sparse, 5 GiB
  symlink("README.txt", "link");
  FileStat st;
  EXPECT_EQ(std::tuple(statOf(tmp / "README.txt").size, statOf(tmp / "link").kind,
                       fs.statEntry(tmp / "link/below", st)),
            std::tuple(5LL << 30, EntryKind::Symlink, ENOTDIR));
  struct stat file {};
  ASSERT_EQ(::stat((tmp / "README.txt").c_str(), &file), 0);
  UniqueFd folder(::open(tmp.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  std::string stored = "readme.TXT";
  EXPECT_TRUE(FindStoredSpelling(folder.get(), "readme.TXT", file.st_ino, stored));
  EXPECT_EQ(stored, "README.txt");
  EXPECT_TRUE(FindStoredSpelling(folder.get(), "Readme.txt", file.st_ino + 1, stored));
  EXPECT_EQ(stored, "README.txt") << "left as it was";
  EXPECT_FALSE(FindStoredSpelling(folder.get(), "gone.txt", file.st_ino, stored))
      << "a lookup answered from a cache that outlived the entry";
  // The folder is read once; a spelling is answered only while it cannot have changed.
  WriteText(tmp / "a.txt", "");
  ASSERT_EQ(::link((tmp / "a.txt").c_str(), (tmp / "A.txt").c_str()), 0);
  FolderSpellings spellings;
  ASSERT_TRUE(spellings.find(tmp.path(), folder.get(), "readme.TXT", stored));
  EXPECT_EQ(stored, "README.txt");
  EXPECT_FALSE(spellings.find(tmp.path(), folder.get(), "A.TXT", stored)) << "held twice";
  ASSERT_EQ(::rename((tmp / "README.txt").c_str(), (tmp / "Readme.TXT").c_str()), 0);
  spellings.noteChange(tmp / "other", "README.txt");
  ASSERT_TRUE(spellings.find(tmp.path(), folder.get(), "readme.txt", stored));
  EXPECT_EQ(stored, "README.txt") << "a change in another folder leaves the read as it was";
  spellings.noteChange(tmp.path(), "Readme.TXT");
  EXPECT_FALSE(spellings.find(tmp.path(), folder.get(), "readme.txt", stored));
  spellings.forget();
  ASSERT_TRUE(spellings.find(tmp.path(), folder.get(), "readme.txt", stored));
  EXPECT_EQ(stored, "Readme.TXT");
  ASSERT_EQ(::link((tmp / "Readme.TXT").c_str(), (tmp / "readme.TXT").c_str()), 0);
  ASSERT_EQ(fs.storedName(tmp / "readme.TXT", stored), 0);
  EXPECT_EQ(stored, "readme.TXT");
  EXPECT_EQ(fs.storedName(tmp / "ReadMe.txt", stored), ENOENT);

  // In a case-sensitive folder the stored name of an entry just looked up is answered from
  // that lookup; that answer must not outlive a change made since, nor stand for another
  // spelling.
  for (const char* name : {"first", "second", "third"}) WriteText(tmp / name, "");
  ASSERT_EQ(fs.storedName(tmp / "first", stored), 0);  // finds the folder case-sensitive
  for (const char* name : {"second", "first"}) {
    statOf(tmp / name);
    ASSERT_EQ(fs.storedName(tmp / name, stored), 0);
    EXPECT_EQ(stored, name);
  }
  statOf(tmp / "first");
  EXPECT_EQ(fs.storedName(tmp / "FIRST", stored), ENOENT);
  const std::pair<const char*, std::function<int()>> changes[] = {
      {"first", [&] { return fs.removeEntry(tmp / "first"); }},
      {"second", [&] { return fs.renameEntry(tmp / "second", tmp / "moved"); }},
      {"third", [&] { return fs.removeTree(tmp / "third"); }},
  };
  for (const auto& [looked, change] : changes) {
    statOf(tmp / looked);
    ASSERT_EQ(change(), 0) << looked;
    EXPECT_EQ(fs.storedName(tmp / looked, stored), ENOENT) << looked;
  }
}

TEST_F(LinuxFileSystemTest, CopyKeepsContentModeAndTimeCopiesALinkAsALinkAndEndsAtTheOpenedSize) {
  std::string content(3 * kMiB + 17, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  WriteText(tmp / "source", content, 0751);
  SetTimes(tmp / "source", 1500000000, 987654321);
  WriteText(tmp / "readonly", "old", 0444);
  WriteText(tmp / "elsewhere", "keep");
  symlink("elsewhere", "link");
  // Over nothing, over a read-only copy, and over a link (itself replaced, not its target).
  for (const std::string target : {"fresh", "readonly", "link"}) {
    ASSERT_EQ(fs.copyFile(tmp / "source", tmp / target, nullptr), 0) << target;
    EXPECT_EQ(ReadText(tmp / target), content) << target;
    const FileStat st = statOf(tmp / target);
    EXPECT_EQ(st.mode, 0751u);  // a link left in place would show 0777
    EXPECT_EQ(st.mtimeSeconds * 1000000000 + st.mtimeNanoseconds, 1500000000987654321);
  }
  EXPECT_EQ(ReadText(tmp / "elsewhere"), "keep");
  symlink("../some/where", "new-link");
  SetTimes(tmp / "new-link", 1400000000, 5);
  ASSERT_EQ(fs.copyFile(tmp / "new-link", tmp / "fresh", nullptr), 0);
  EXPECT_EQ(stdfs::read_symlink(tmp / "fresh"), "../some/where");
  const FileStat link = statOf(tmp / "fresh");
  EXPECT_EQ(link.mtimeSeconds * 1000000000 + link.mtimeNanoseconds, 1400000000000000005);
  EXPECT_FALSE(hasPartialCopy());

  // What was appended after the file was opened is left for the next run: the copy always ends.
  const std::string original(3 * kMiB + 5, 'o');
  WriteText(tmp / "growing", original);
  UniqueFd from(::open((tmp / "growing").c_str(), O_RDONLY | O_CLOEXEC));
  struct stat atOpening {};
  ASSERT_EQ(::fstat(from.get(), &atOpening), 0);
  std::ofstream(tmp / "growing", std::ios::binary | std::ios::app) << std::string(kMiB, 'x');
  UniqueFd to(::open((tmp / "copy").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
  std::vector<char> buffer;
  ASSERT_EQ(CopyFileContent(from.get(), to.get(), atOpening, buffer), 0);
  EXPECT_TRUE(ReadText(tmp / "copy") == original);
}

// Holes stay holes, through the kernel's copy and through reads and writes alike (a folder on
// another file system, where copy_file_range answers EXDEV).
TEST_F(LinuxFileSystemTest, HolesStayHoles) {
  constexpr off_t kSize = 8 * kMiB;
  const auto allocated = [](const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_blocks * 512 : -1;
  };
  std::vector<std::string> folders{tmp.path()};
  if (tmp.mountTmpfs("other", "4m")) folders.push_back(tmp / "other");
  // Data extents (offset, length) of each file; the rest is holes.
  const std::vector<std::pair<off_t, std::size_t>> layouts[] = {
      {{0, 4096}, {4 * kMiB + 4096, 8192}}, {{kSize - 4096, 4096}}, {}};
  for (const auto& extents : layouts) {
    WriteText(tmp / "sparse", "");
    ASSERT_EQ(::truncate((tmp / "sparse").c_str(), kSize), 0);
    UniqueFd fd(::open((tmp / "sparse").c_str(), O_WRONLY | O_CLOEXEC));
    for (const auto& [offset, length] : extents)
      ASSERT_EQ(::pwrite(fd.get(), std::string(length, 'd').data(), length, offset),
                static_cast<ssize_t>(length));
    if (allocated(tmp / "sparse") >= kMiB) GTEST_SKIP() << "this file system keeps no holes";
    for (const std::string& folder : folders) {
      ASSERT_EQ(fs.copyFile(tmp / "sparse", folder + "/copy", nullptr), 0) << folder;
      EXPECT_TRUE(ReadText(folder + "/copy") == ReadText(tmp / "sparse")) << folder;
      EXPECT_LT(allocated(folder + "/copy"), kMiB) << folder;
    }
  }
}

// Records the moves and fails on request; a successful move really takes the entry away.
struct RecordingTrash : Trash {
  int moveToTrash(const std::string& path) override {
    moved.push_back(path);
    if (failWith != 0) return failWith;
    return ::rename(path.c_str(), (path + ".trashed").c_str()) == 0 ? 0 : errno;
  }
  std::vector<std::string> moved;
  int failWith = 0;
};

TEST_F(LinuxFileSystemTest, AFailedCopyKeepsTheOldCopyAndLeavesNoTemporaryFile) {
  WriteText(tmp / "source", "new");
  WriteText(tmp / "target", "old");
  ::mkdir((tmp / "folder").c_str(), 0755);
  ASSERT_EQ(::mkfifo((tmp / "fifo").c_str(), 0600), 0);
  symlink("source", "link");
  WriteText(tmp / "folder/inside", "");
  const std::tuple<const char*, const char*, int> refusals[] = {
      {"source", "folder", EISDIR},  {"link", "folder", EISDIR},
      {"folder", "target", EISDIR},  {"fifo", "target", ENOTSUP},
      {"missing", "target", ENOENT}, {"source", "nofolder/x", ENOENT}};
  for (const auto& [source, target, error] : refusals)
    EXPECT_EQ(fs.copyFile(tmp / source, tmp / target, nullptr), error) << source;
  EXPECT_EQ(NamesIn(tmp / "folder"), std::vector<std::string>{"inside"});
  // The trash gets the old copy only once the new one is complete; a failed move keeps it.
  RecordingTrash trash;
  trash.failWith = EXDEV;
  EXPECT_EQ(fs.copyFile(tmp / "source", tmp / "target", &trash), EXDEV);
  EXPECT_EQ(ReadText(tmp / "target"), "old");
  trash.failWith = 0;
  ASSERT_EQ(fs.copyFile(tmp / "source", tmp / "target", &trash), 0);
  EXPECT_EQ(ReadText(tmp / "target.trashed") + ReadText(tmp / "target"), "oldnew");
  ASSERT_EQ(fs.copyFile(tmp / "source", tmp / "fresh", &trash), 0);
  EXPECT_EQ(trash.moved.size(), 2u) << "nothing to trash without an old copy";
  // A copy made for a missing target leaves whatever has taken the name since.
  for (const auto& [source, target] :
       {std::pair{"source", "target"}, {"source", "link"}, {"link", "fifo"}})
    EXPECT_EQ(fs.copyNewFile(tmp / source, tmp / target), EEXIST) << target;
  EXPECT_EQ(::readlink((tmp / "link").c_str(), std::array<char, 8>().data(), 8), 6);
  ASSERT_EQ(fs.copyNewFile(tmp / "source", tmp / "newer"), 0);
  EXPECT_EQ(ReadText(tmp / "target") + ReadText(tmp / "newer"), "newnew");
  EXPECT_FALSE(hasPartialCopy());

  ::chmod((tmp / "source").c_str(), 0000);
  GiveToNobody(tmp.path());
  const int unreadable = RunInChild(
      [&] { return LinuxFileSystem().copyFile(tmp / "source", tmp / "target", nullptr); }, true);
  if (unreadable == 254) TOLVAN_CANNOT_RUN_HERE("cannot run as an unprivileged user here");
  EXPECT_EQ(unreadable, EACCES);
  EXPECT_EQ(ReadText(tmp / "target"), "new");
  EXPECT_FALSE(hasPartialCopy());
}

// A copy worker replaces only when told to, and never widens a folder: that is the walk's.
// The temporaries several workers write at once are all removed by the signal handler.
TEST_F(LinuxFileSystemTest, CopyWorkersReplaceOnlyWhenToldAndEachTemporaryIsNoted) {
  WriteText(tmp / "source", "new");
  WriteText(tmp / "old", "old");
  ::mkdir((tmp / "shut").c_str(), 0555);
  fs.setWriteRoot(tmp.path());
  const auto worker = fs.forAnotherThread();
  ASSERT_NE(worker, nullptr);
  const std::tuple<const char*, bool, int, const char*> copies[] = {
      {"old", false, EEXIST, "old"}, {"old", true, 0, "new"}, {"fresh", false, 0, "new"}};
  for (const auto& [target, replace, error, content] : copies) {
    EXPECT_EQ(worker->copyOnWorker(tmp / "source", tmp / target, replace), error) << target;
    EXPECT_EQ(ReadText(tmp / target), content) << target;
  }
  if (::geteuid() != 0) {
    EXPECT_EQ(worker->copyOnWorker(tmp / "source", tmp / "shut/x", false), EACCES);
    EXPECT_EQ(statOf(tmp / "shut").mode, 0555u);
  }
  EXPECT_FALSE(hasPartialCopy());

  std::barrier temporaries(7);  // written, then discarded, by six threads and this one
  const UniqueFd folder(::open(tmp.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  std::vector<std::jthread> threads;
  for (int i = 0; i < 6; ++i)
    threads.emplace_back([&] {
      TemporaryName name;
      UniqueFd out;
      EXPECT_EQ(CreateTemporaryFile(folder.get(), 0600, name, out), 0);
      temporaries.arrive_and_wait();
      temporaries.arrive_and_wait();
    });
  temporaries.arrive_and_wait();
  EXPECT_TRUE(hasPartialCopy());
  DiscardNotedTemporary();
  EXPECT_FALSE(hasPartialCopy()) << "every thread's temporary is removed";
  temporaries.arrive_and_wait();
}

// A whole-file write keeps the file's mode; a copy onto a full disk keeps the old copy.
TEST_F(LinuxFileSystemTest, WriteFileKeepsTheModeAndAFullDiskKeepsTheOldCopyAndNoTemporaryFile) {
  WriteText(tmp / "job.tvf", "old", 0640);
  ASSERT_EQ(fs.writeFile(tmp / "job.tvf", "new\r\n"), 0);
  std::string content;
  ASSERT_EQ(fs.readFile(tmp / "job.tvf", content), 0);
  EXPECT_EQ(content, "new\r\n");
  EXPECT_EQ(statOf(tmp / "job.tvf").mode, 0640u);
  EXPECT_FALSE(hasPartialCopy());
  std::uint64_t freeBytes = 0, totalBytes = 0;
  EXPECT_EQ((std::vector{fs.readFile(tmp.path(), content), fs.removeEntry(tmp.path()),
                         fs.diskSpace(tmp / "missing", freeBytes, totalBytes)}),
            (std::vector{EISDIR, ENOTEMPTY, ENOENT}));
  EXPECT_EQ(std::pair(fs.isMountPoint("/"), fs.isMountPoint(tmp.path())), std::pair(true, false));
  if (!tmp.mountTmpfs("small", "1m")) TOLVAN_CANNOT_RUN_HERE("needs root to mount a 1 MiB tmpfs");
  WriteText(tmp / "small/target", "old copy");
  WriteText(tmp / "source", std::string(2 * kMiB, 'x'));
  EXPECT_EQ(fs.copyFile(tmp / "source", tmp / "small/target", nullptr), ENOSPC);
  EXPECT_EQ(ReadText(tmp / "small/target"), "old copy");
  EXPECT_EQ(NamesIn(tmp / "small"), std::vector<std::string>{"target"});
  ASSERT_EQ(fs.diskSpace(tmp / "small", freeBytes, totalBytes), 0);
  EXPECT_EQ(std::pair(totalBytes, fs.isMountPoint(tmp / "small")), std::pair(1024ul * 1024, true));
}

// Bits go to the entry opened, never to what a link leads to: not for a link in place at
// the call, nor for one put in the entry's place once it is open. Neither a file that may not
// be read nor a folder that may not be entered stops the change.
TEST_F(LinuxFileSystemTest, PermissionChangesNeverFollowALink) {
  WriteText(tmp / "outside", "", 0600);
  WriteText(tmp / "unreadable", "", 0);
  ::mkdir((tmp / "closed").c_str(), 0);
  symlink(tmp / "outside", "link");
  const std::pair<const char*, std::uint32_t> changes[] = {
      {"unreadable", 04755u}, {"closed", 0700u}, {"link", 04755u}};
  GiveToNobody(tmp.path());
  // As an ordinary user: root would pass the missing read and search bits anyway.
  const int result = RunInChild(
      [&] {
        LinuxFileSystem user;
        for (const auto& [entry, bits] : changes)
          if (const int e = user.setPermissions(tmp / entry, bits); e != 0) return e;
        return 0;
      },
      true);
  if (result == 254) TOLVAN_CANNOT_RUN_HERE("cannot run as an unprivileged user here");
  EXPECT_EQ(result, 0);
  EXPECT_EQ((std::vector{statOf(tmp / "unreadable").mode, statOf(tmp / "closed").mode,
                         statOf(tmp / "outside").mode}),
            (std::vector{04755u, 0700u, 0600u}));

  WriteText(tmp / "swapped", "", 0600);
  UniqueFd opened(::open((tmp / "swapped").c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  ASSERT_TRUE(opened.valid());
  ASSERT_EQ(::rename((tmp / "link").c_str(), (tmp / "swapped").c_str()), 0);
  EXPECT_EQ(ChangeOpenedPermissions(opened.get(), 04755), 0);
  EXPECT_EQ(statOf(tmp / "outside").mode, 0600u);
  struct stat moved {};
  ASSERT_EQ(::fstat(opened.get(), &moved), 0);
  EXPECT_EQ(moved.st_mode & 07777, 04755u);
}

// An ordinary user removes entries from their own read-only folders, which keep their bits,
// also when a removal fails further down, in someone else's folder.
TEST_F(LinuxFileSystemTest, RemovalsInTheUsersReadOnlyFoldersLeaveTheirBits) {
  if (::geteuid() != 0) TOLVAN_CANNOT_RUN_HERE("needs root to give folders to two users");
  for (const char* folder : {"ro", "ro/foreign"}) ::mkdir((tmp / folder).c_str(), 0755);
  for (const char* file : {"ro/old", "ro/foreign/file"}) WriteText(tmp / file, "");
  for (const char* folder : {"ro/foreign", "ro"}) ::chmod((tmp / folder).c_str(), 0555);
  GiveToNobody(tmp.path());
  ASSERT_EQ(::lchown((tmp / "ro/foreign").c_str(), 0, 0), 0);
  const int result = RunInChild(
      [&] {
        LinuxFileSystem user;
        user.setWriteRoot(tmp.path());
        if (const int e = user.removeEntry(tmp / "ro/old"); e != 0) return 100 + e;
        return user.removeTree(tmp / "ro/foreign");
      },
      true);
  if (result == 254) TOLVAN_CANNOT_RUN_HERE("cannot run as an unprivileged user here");
  EXPECT_EQ(result, EACCES) << "100 + errno: removeEntry failed";
  EXPECT_EQ(NamesIn(tmp / "ro"), std::vector<std::string>{"foreign"});
  for (const char* folder : {"ro", "ro/foreign"}) EXPECT_EQ(statOf(tmp / folder).mode, 0555u);
}

TEST_F(LinuxFileSystemTest, RunLockHoldsTheFileWithinAndAcrossProcesses) {
  // Tries to take the lock from another process: 0 when it could, else the errno.
  const auto lockFromChild = [](const std::string& path) {
    return RunInChild([&] {
      int error = 0;
      auto file = LinuxFileSystem().openLocked(path, OpenMode::Append, error);
      return error;
    });
  };
  const std::string report = tmp / "report.tvr";
  WriteText(report, "old\r\n");
  int error = 0;
  auto holder = fs.openLocked(report, OpenMode::Append, error);
  ASSERT_NE(holder, nullptr);
  ASSERT_EQ(holder->write("first run\r\n"), 0);
  EXPECT_EQ(fs.openLocked(report, OpenMode::Truncate, error), nullptr);
  for (const int refusal : {error, lockFromChild(report)})
    EXPECT_TRUE(refusal == EAGAIN || refusal == EACCES) << refusal;
  EXPECT_EQ(ReadText(report), "old\r\nfirst run\r\n") << "a refused truncating open cuts nothing";
  ASSERT_EQ(holder->close(), 0);
  EXPECT_EQ(holder->write("late"), EBADF);
  EXPECT_EQ(lockFromChild(report), 0);
  auto truncating = fs.openLocked(report, OpenMode::Truncate, error);
  ASSERT_NE(truncating, nullptr);
  ASSERT_EQ(truncating->write("second run\r\n"), 0);
  truncating.reset();  // the destructor closes too
  EXPECT_EQ(ReadText(report), "second run\r\n");
  EXPECT_EQ(fs.openLocked(tmp / "missing/report.tvr", OpenMode::Append, error), nullptr);
  EXPECT_EQ(error, ENOENT);
}

// A backup tree with a link planted in the middle of a path, pointing outside the tree.
// Run with the kernel's one-call resolution and with the component-by-component one.
class NoFollowWriteTest : public LinuxFileSystemTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    for (const char* folder : {"backup", "backup/a", "outside", "outside/sub"})
      ::mkdir((tmp / folder).c_str(), 0755);
    WriteText(tmp / "outside/victim", "precious");
    WriteText(tmp / "outside/sub/inner", "precious too");
    WriteText(tmp / "source", "intruder");
    symlink(tmp / "outside", "backup/a/b");
    if (!GetParam()) fs.resolveStepByStep();
    fs.setWriteRoot(tmp / "backup");
  }
  void TearDown() override {
    EXPECT_EQ(ReadText(tmp / "outside/victim") + ReadText(tmp / "outside/sub/inner"),
              "preciousprecious too");
    EXPECT_EQ(statOf(tmp / "outside/victim").mode, 0644u);
    EXPECT_EQ(NamesIn(tmp / "outside"), (std::vector<std::string>{"sub", "victim"}));
  }
};

TEST_P(NoFollowWriteTest, EveryWriteThroughAPlantedLinkFailsAndRemovalsTakeLinksAsLinks) {
  const std::string via = tmp / "backup/a/b";
  int error = 0;
  EXPECT_EQ(fs.openListing(via, error), nullptr);
  EXPECT_EQ((std::vector{error, fs.copyFile(tmp / "source", via + "/victim", nullptr),
                         fs.copyFile(tmp / "source", via + "/fresh", nullptr),
                         fs.makeDirectory(via + "/new"), fs.makeDirectories(via + "/new/deeper"),
                         fs.removeTree(via + "/sub"), fs.removeEntry(via + "/victim"),
                         fs.setPermissions(via + "/victim", 0), fs.writeFile(via + "/victim", "x"),
                         fs.renameEntry(via + "/victim", tmp / "backup/taken")}),
            std::vector(10, ELOOP));
  WriteText(tmp / "backup/a/file", "");
  EXPECT_EQ(fs.makeDirectory(tmp / "backup/a/file/new"), ENOTDIR);

  // A write root chosen through a link is still a root to write below.
  symlink(tmp / "backup", "chosen");
  fs.setWriteRoot(tmp / "chosen");
  EXPECT_EQ((std::vector{fs.makeDirectory(tmp / "chosen/a/new"),
                         fs.copyFile(tmp / "source", tmp / "chosen/a/new/copy", nullptr),
                         fs.copyFile(tmp / "source", tmp / "chosen/a/b/victim", nullptr)}),
            (std::vector{0, 0, ELOOP}));
  EXPECT_EQ(ReadText(tmp / "backup/a/new/copy"), "intruder");

  // Removing a tree takes the links in it away as links.
  fs.setWriteRoot(tmp / "backup");
  ASSERT_EQ(fs.removeTree(tmp / "backup/a/b"), 0);
  EXPECT_FALSE(Exists(tmp / "backup/a/b"));
  ::mkdir((tmp / "backup/a/deep").c_str(), 0755);
  symlink(tmp / "outside/sub", "backup/a/deep/link");
  ASSERT_EQ(fs.removeTree(tmp / "backup/a"), 0);
  EXPECT_FALSE(Exists(tmp / "backup/a"));
}

INSTANTIATE_TEST_SUITE_P(Resolution, NoFollowWriteTest, ::testing::Values(true, false),
                         [](const auto& p) { return p.param ? "OneCall" : "StepByStep"; });

}  // namespace
}  // namespace tolvan::platform::testing
