// The folder listings the walks keep: whole listings of a tree within a budget, and the names
// of one folder read once.
#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

#include "engine/ListedNames.h"
#include "engine/TreeListings.h"
#include "platform/fake/FakeFileSystem.h"

namespace tolvan {
namespace {

using Found = ListedNames::Found;
using Op = platform::FakeFileSystem::Op;

platform::FileStat FolderStat(std::uint64_t inode) {
  platform::FileStat stat;
  stat.kind = platform::EntryKind::Directory;
  stat.device = 1;
  stat.inode = inode;
  return stat;
}

// Records a finished listing of `count` entries named entry0, entry1, ...
void Record(TreeListings& listings, const std::string& path, int count, std::uint64_t inode = 1) {
  TreeListings::Recorder recorder(&listings, path, 1, inode);
  for (int i = 0; i < count; ++i) recorder.add("entry" + std::to_string(i), platform::FileStat{});
  recorder.finish();
}

TEST(TreeListingsTest, OnlyWholeListingsWithinTheBudgetAreHeldInTheirOrder) {
  TreeListings listings(4096, 4096);
  {
    TreeListings::Recorder recorder(&listings, "/m", 1, 10);
    recorder.add("zeta", FolderStat(11));
    recorder.add("alpha", platform::FileStat{});
    recorder.finish();
    TreeListings::Recorder unfinished(&listings, "/m/zeta", 1, 11);
    unfinished.add("x", platform::FileStat{});
  }
  Record(listings, "/m/big", 200);
  TreeListings::Folder folder;
  EXPECT_FALSE(listings.take("/m/zeta", folder)) << "a listing that did not end";
  EXPECT_FALSE(listings.take("/m/big", folder)) << "beyond the budget";
  ASSERT_TRUE(listings.take("/m", folder));
  ASSERT_EQ(folder.entries.size(), 2u);
  EXPECT_EQ(folder.nameOf(folder.entries[0]), "zeta");
  EXPECT_EQ(folder.nameOf(folder.entries[1]), "alpha");
  EXPECT_EQ(folder.entries[0].stat.inode, 11u);
  EXPECT_FALSE(listings.take("/m", folder)) << "taken once";
  EXPECT_TRUE(listings.empty());
  Record(listings, "/m/again", 20);
  EXPECT_TRUE(listings.take("/m/again", folder)) << "everything given back to the budget";
}

// Dropping a folder takes the folders below it along, but not a sibling that only begins
// with its name, and gives their bytes back.
TEST(TreeListingsTest, DroppingAFolderDropsTheFoldersBelowItOnly) {
  TreeListings listings(1024, 1024);
  for (const char* path : {"/b", "/b/d", "/b/d/e", "/b/dx"}) Record(listings, path, 1);
  listings.dropFrom("/b/d");
  listings.drop("/b");
  TreeListings::Folder folder;
  for (const char* path : {"/b/d/e", "/b/d", "/b"}) EXPECT_FALSE(listings.take(path, folder));
  EXPECT_TRUE(listings.take("/b/dx", folder));
  EXPECT_TRUE(listings.empty());
  Record(listings, "/b/large", 14);
  EXPECT_TRUE(listings.take("/b/large", folder)) << "the dropped folders' bytes are back";
}

TEST(TreeListingsTest, HeldFoldersOverlapAnotherTreesFolderOrASetThatOverflowed) {
  TreeListings listings(4096, 4096);
  Record(listings, "/m", 0, 10);
  FolderIdentities others(2);
  others.add(FolderStat(20));
  EXPECT_FALSE(listings.overlaps(others));
  others.add(FolderStat(10));
  EXPECT_TRUE(listings.overlaps(others));
  FolderIdentities overflowed(1);
  overflowed.add(FolderStat(30));
  overflowed.add(FolderStat(31));
  EXPECT_TRUE(listings.overlaps(overflowed)) << "it cannot tell";
}

class ListedNamesTest : public ::testing::Test {
 protected:
  ListedNamesTest() {
    fs.addDirectory("/m/sub");
    fs.addFile("/m/file.txt", "x");
    fs.addLink("/m/link", "file.txt");
  }
  platform::FakeFileSystem fs;
};

TEST_F(ListedNamesTest, ExactNamesAndKindsFromOneListingReadAtTheFirstLookup) {
  ListedNames::Budget budget(1 << 20);
  ListedNames names(fs, "/m", budget);
  fs.addFile("/m/before", "y");
  EXPECT_EQ(names.find("sub"), Found::Folder);
  for (const char* other : {"file.txt", "link", "before"})
    EXPECT_EQ(names.find(other), Found::Other);
  EXPECT_EQ(names.find("FILE.TXT"), Found::NotListed) << "exact names only";
  EXPECT_EQ(names.find("file"), Found::NotListed);
  fs.addFile("/m/later", "z");
  EXPECT_EQ(names.find("later"), Found::NotListed) << "read once";
}

// The three names take 15 bytes and their index 24: the budget holds them once.
TEST_F(ListedNamesTest, FoldersHeldAtOnceShareTheBudgetAndGiveItBack) {
  ListedNames::Budget budget(60);
  std::optional<ListedNames> first;
  first.emplace(fs, "/m", budget);
  EXPECT_EQ(first->find("sub"), Found::Folder);
  ListedNames second(fs, "/m", budget);
  EXPECT_EQ(second.find("sub"), Found::NotHeld);
  first.reset();
  ListedNames third(fs, "/m", budget);
  EXPECT_EQ(third.find("sub"), Found::Folder);
}

// Half a listing answers nothing, not even through lookups: the folder may have gone.
TEST_F(ListedNamesTest, AFolderThatCannotBeReadWholeIsUnreadableOneNotSearchableIsNotHeld) {
  ListedNames::Budget budget(1 << 20);
  ListedNames missing(fs, "/nowhere", budget);
  EXPECT_EQ(missing.find("a"), Found::Unreadable);
  EXPECT_EQ(missing.listingError(), ENOENT);
  fs.failListingAfter("/m", 1, EIO);
  ListedNames broken(fs, "/m", budget);
  EXPECT_EQ(broken.find("file.txt"), Found::Unreadable);
  EXPECT_EQ(broken.listingError(), EIO);
  fs.addFile("/n/a", "a");
  fs.failOn(Op::Stat, "/n/a", EACCES);
  ListedNames unsearchable(fs, "/n", budget);
  EXPECT_EQ(unsearchable.find("a"), Found::NotHeld);
}

}  // namespace
}  // namespace tolvan
