// The folder listings the walks keep: whole listings of a tree within a budget, and the names
// of one folder read once.
#include <gtest/gtest.h>

#include <cerrno>

#include "engine/ListedNames.h"
#include "engine/TreeListings.h"
#include "platform/fake/FakeFileSystem.h"

namespace tolvan {
namespace {

using Found = ListedNames::Found;

platform::FileStat FolderStat(std::uint64_t inode) {
  return {.kind = platform::EntryKind::Directory, .device = 1, .inode = inode};
}

// Records a finished listing of `count` entries named entry0, entry1, ...
void Record(TreeListings& listings, const std::string& path, int count, std::uint64_t inode = 1) {
  TreeListings::Recorder recorder(&listings, path, 1, inode);
  for (int i = 0; i < count; ++i) recorder.add("entry" + std::to_string(i), platform::FileStat{});
  recorder.finish();
}

// Only whole listings within the budget are held, in their order, and each is taken once.
// Dropping a folder takes the folders below it along, but not a sibling that only begins with
// its name; taken and dropped folders give their bytes back.
TEST(TreeListingsTest, WholeListingsWithinTheBudgetAreHeldUntilTakenOrDropped) {
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
  EXPECT_FALSE(listings.take("/m/zeta", folder) || listings.take("/m/big", folder));
  ASSERT_TRUE(listings.take("/m", folder));
  std::vector<std::string_view> names;
  for (const auto& entry : folder.entries) names.push_back(folder.nameOf(entry));
  EXPECT_EQ(names, (std::vector<std::string_view>{"zeta", "alpha"}));
  EXPECT_FALSE(listings.take("/m", folder)) << "taken once";
  TreeListings small(1024, 1024);
  for (const char* path : {"/b", "/b/d", "/b/d/e", "/b/dx"}) Record(small, path, 1);
  small.dropFrom("/b/d");
  small.drop("/b");
  for (const char* path : {"/b/d/e", "/b/d", "/b"}) EXPECT_FALSE(small.take(path, folder));
  EXPECT_TRUE(small.take("/b/dx", folder) && small.empty());
  Record(small, "/b/large", 14);
  EXPECT_TRUE(small.take("/b/large", folder)) << "every byte given back to the budget";
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
  ListedNames::Budget budget{1 << 20};
};

// Exact names and kinds, from one listing read at the first lookup.
TEST_F(ListedNamesTest, ExactNamesAndKindsFromOneListingReadAtTheFirstLookup) {
  ListedNames names(fs, "/m", budget);
  fs.addFile("/m/before", "y");
  EXPECT_EQ(names.find("sub"), Found::Folder);
  for (const char* other : {"file.txt", "link", "before"})
    EXPECT_EQ(names.find(other), Found::Other);
  fs.addFile("/m/later", "z");
  for (const char* missing : {"FILE.TXT", "file", "later"})
    EXPECT_EQ(names.find(missing), Found::NotListed) << missing;
}

// The three names take 15 bytes and their index 24: the budget holds them once.
TEST_F(ListedNamesTest, FoldersHeldAtOnceShareTheBudgetAndGiveItBack) {
  ListedNames::Budget small(60);
  {
    ListedNames first(fs, "/m", small);
    EXPECT_EQ(first.find("sub"), Found::Folder);
    EXPECT_EQ(ListedNames(fs, "/m", small).find("sub"), Found::NotHeld);
  }
  EXPECT_EQ(ListedNames(fs, "/m", small).find("sub"), Found::Folder) << "the first gave it back";
}

// Half a listing answers nothing, not even through lookups: the folder may have gone.
TEST_F(ListedNamesTest, AFolderThatCannotBeReadWholeIsUnreadableOneNotSearchableIsNotHeld) {
  ListedNames missing(fs, "/nowhere", budget);
  EXPECT_EQ(missing.find("a"), Found::Unreadable);
  EXPECT_EQ(missing.listingError(), ENOENT);
  fs.failListingAfter("/m", 1, EIO);
  ListedNames broken(fs, "/m", budget);
  EXPECT_EQ(broken.find("file.txt"), Found::Unreadable);
  EXPECT_EQ(broken.listingError(), EIO);
  fs.addFile("/n/a", "a");
  fs.failOn(platform::FakeFileSystem::Op::Stat, "/n/a", EACCES);
  ListedNames unsearchable(fs, "/n", budget);
  EXPECT_EQ(unsearchable.find("a"), Found::NotHeld);
}

}  // namespace
}  // namespace tolvan
