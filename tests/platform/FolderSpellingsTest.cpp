#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "TempFolder.h"
#include "platform/FolderSpellings.h"
#include "platform/UniqueFd.h"

namespace tolvan::platform {
namespace {

// The folder is read once; a spelling is answered only while it cannot have changed.
TEST(FolderSpellingsTest, AnswersFromOneReadUntilANameChangesOrIsHeldTwice) {
  TempFolder tmp;
  WriteText(tmp / "README.txt", "");
  WriteText(tmp / "a.txt", "");
  ASSERT_EQ(::link((tmp / "a.txt").c_str(), (tmp / "A.txt").c_str()), 0);
  UniqueFd folder(::open(tmp.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  FolderSpellings spellings;
  std::string stored;
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
}

}  // namespace
}  // namespace tolvan::platform
