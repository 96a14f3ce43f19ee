#include "engine/TreeListings.h"

#include <gtest/gtest.h>

namespace tolvan {
namespace {

platform::FileStat FolderStat(std::uint64_t inode) {
  platform::FileStat stat;
  stat.kind = platform::EntryKind::Directory;
  stat.device = 1;
  stat.inode = inode;
  return stat;
}

TEST(TreeListingsTest, OnlyWholeListingsWithinTheBudgetAreHeldInTheirOrder) {
  TreeListings listings(4096, 4096);
  {
    TreeListings::Recorder recorder(&listings, "/m", 1, 10);
    recorder.add("zeta", FolderStat(11));
    recorder.add("alpha", platform::FileStat{});
    recorder.finish();
  }
  {
    TreeListings::Recorder unfinished(&listings, "/m/zeta", 1, 11);
    unfinished.add("x", platform::FileStat{});
  }
  {
    TreeListings::Recorder tooLarge(&listings, "/m/big", 1, 12);
    for (int i = 0; i < 200; ++i) tooLarge.add("entry" + std::to_string(i), platform::FileStat{});
    tooLarge.finish();
  }
  TreeListings::Folder folder;
  EXPECT_FALSE(listings.take("/m/zeta", folder)) << "a listing that did not end";
  EXPECT_FALSE(listings.take("/m/big", folder)) << "beyond the budget";
  ASSERT_TRUE(listings.take("/m", folder));
  ASSERT_EQ(folder.entries.size(), 2u);
  EXPECT_EQ(folder.nameOf(folder.entries[0]), "zeta");
  EXPECT_EQ(folder.entries[0].stat.inode, 11u);
  EXPECT_EQ(folder.nameOf(folder.entries[1]), "alpha");
  EXPECT_FALSE(listings.take("/m", folder)) << "taken once";
  EXPECT_TRUE(listings.empty());

  // Everything given back: the budget holds a folder as large as before again.
  TreeListings::Recorder again(&listings, "/m/again", 1, 13);
  for (int i = 0; i < 20; ++i) again.add("entry" + std::to_string(i), platform::FileStat{});
  again.finish();
  EXPECT_TRUE(listings.take("/m/again", folder));
}

// Dropping a folder takes the folders below it along, but not a sibling that only begins
// with its name, and gives their bytes back.
TEST(TreeListingsTest, DroppingAFolderDropsTheFoldersBelowItOnly) {
  TreeListings listings(1024, 1024);
  for (const char* path : {"/b", "/b/d", "/b/d/e", "/b/dx"}) {
    TreeListings::Recorder recorder(&listings, path, 1, 1);
    recorder.add("x", platform::FileStat{});
    recorder.finish();
  }
  listings.dropFrom("/b/d");
  listings.drop("/b");
  TreeListings::Folder folder;
  EXPECT_FALSE(listings.take("/b/d/e", folder));
  EXPECT_FALSE(listings.take("/b/d", folder));
  EXPECT_FALSE(listings.take("/b", folder));
  EXPECT_TRUE(listings.take("/b/dx", folder));
  EXPECT_TRUE(listings.empty());
  TreeListings::Recorder large(&listings, "/b/large", 1, 2);
  for (int i = 0; i < 14; ++i) large.add("entry" + std::to_string(i), platform::FileStat{});
  large.finish();
  EXPECT_TRUE(listings.take("/b/large", folder)) << "the dropped folders' bytes are back";
}

TEST(TreeListingsTest, HeldFoldersOverlapAnotherTreesFolderOrASetThatOverflowed) {
  TreeListings listings(4096, 4096);
  TreeListings::Recorder recorder(&listings, "/m", 1, 10);
  recorder.finish();
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

}  // namespace
}  // namespace tolvan
