// The change limit on the real program: a master that lost or rewrote every file is not
// mirrored unattended unless one run is allowed to.

#include "ProgramRunner.h"

namespace tolvan::testing {
namespace {

struct Damage {
  const char* name;
  bool rewritten;  // else deleted, its folders kept
  bool trashBox;
};

class ChangeLimitProgramTest : public ProgramTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(ChangeLimitProgramTest, RefusedUnattendedUntilOneRunIsAllowed) {
  const Damage& damage = GetParam();
  const std::string trash = std::string("TrashBox=") + (damage.trashBox ? "yes" : "no");
  MakeFolders(master, 4, 20, "photo");
  ASSERT_EQ(mirror({trash}).exitStatus, 0);
  for (const auto& entry : stdfs::recursive_directory_iterator(master))
    if (entry.is_regular_file() && damage.rewritten)
      MakeFile(entry.path(), "encrypted", kTime + 86400);
    else if (entry.is_regular_file())
      stdfs::remove(entry.path());
  const auto before = Tree(backup);

  const ProgramResult refused = mirror({trash, "ChangeLimit=10"});
  EXPECT_EQ(refused.exitStatus, 2) << refused.err;
  EXPECT_EQ(Tree(backup), before);
  EXPECT_FALSE(stdfs::exists(tmp / "Trash/files")) << "something was trashed";
  EXPECT_EQ(actionLines(),
            Lines{"Error : Change Limit : " +
                  std::string(damage.rewritten ? "0 removals and 80" : "80 removals and 0") +
                  " replacements of 84 backup entries are more than 10 %: the run was "
                  "refused, nothing was removed or copied (--allow-big-change lets one "
                  "run go ahead)"});
  EXPECT_TRUE(AnyStartsWith(recentLines(), "Finished Time : "));
  EXPECT_TRUE(Contains(ReadText(home + "/LastRun.json"), "\"result\": \"refused\""));

  const ProgramResult allowed = run({"/X", "--allow-big-change", "job.tvf"});
  EXPECT_EQ(allowed.exitStatus, 0) << allowed.err;
  EXPECT_EQ(Tree(backup), Tree(master));
  EXPECT_EQ(stdfs::exists(tmp / "Trash/files"), damage.trashBox);
}

INSTANTIATE_TEST_SUITE_P(Damages, ChangeLimitProgramTest,
                         ::testing::Values(Damage{"FilesDeleted", false, false},
                                           Damage{"FilesRewritten", true, false},
                                           Damage{"FilesRewrittenWithTrash", true, true}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace tolvan::testing
