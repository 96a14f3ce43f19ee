#include "engine/ListedNames.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

#include "platform/fake/FakeFileSystem.h"

namespace tolvan {
namespace {

using Found = ListedNames::Found;
using platform::FakeFileSystem;
using Op = platform::FakeFileSystem::Op;

class ListedNamesTest : public ::testing::Test {
 protected:
  ListedNamesTest() {
    fs.addDirectory("/m/sub");
    fs.addFile("/m/file.txt", "x");
    fs.addLink("/m/link", "file.txt");
  }
  FakeFileSystem fs;
};

TEST_F(ListedNamesTest, ExactNamesAndKindsFromOneListingReadAtTheFirstLookup) {
  ListedNames::Budget budget(1 << 20);
  ListedNames names(fs, "/m", budget);
  fs.addFile("/m/before", "y");
  EXPECT_EQ(names.find("sub"), Found::Folder);
  EXPECT_EQ(names.find("file.txt"), Found::Other);
  EXPECT_EQ(names.find("link"), Found::Other);
  EXPECT_EQ(names.find("before"), Found::Other);
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
