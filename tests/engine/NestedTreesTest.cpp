#include <gtest/gtest.h>

#include "engine/JobDriver.h"
#include "engine/Paths.h"
#include "support/EngineFixture.h"

namespace tolvan::testing {
namespace {

// A Mirroring run whose master lies inside its backup would remove the master as a backup
// entry without counterpart; the other way round the copy would copy itself.
TEST_F(EngineFixture, NestedTreesAreRefusedLikeEqualSidesAndNothingIsTouched) {
  engine.job.NomalMode = -1;
  fs.addFile("/b/master/keep.txt", "precious");
  fs.addFile("/m/backup/old.txt", "x");
  const struct {
    const char* from;
    const char* to;
  } cases[] = {{"/b/master", "/b"}, {"/m", "/m/backup"}, {"/b/master", "/"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
    std::int16_t timer = 0;
    ui.boxes.clear();
    EXPECT_EQ(RunJob(engine, c.from, c.to, timer).end, RunEnd::Refused);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              "指定したドライブまたはディレクトリが同じです。バックアップを中止します。");
  }
  EXPECT_TRUE(fs.removed.empty());
  EXPECT_TRUE(fs.created.empty());
  EXPECT_EQ(fs.contentOf("/b/master/keep.txt"), "precious");
}

TEST(PathsTest, SameOrBelowComparesWholeComponents) {
  EXPECT_TRUE(IsSameOrBelow("/data/master", "/data"));
  EXPECT_TRUE(IsSameOrBelow("/data", "/data"));
  EXPECT_TRUE(IsSameOrBelow("/x", "/"));
  EXPECT_FALSE(IsSameOrBelow("/data2", "/data"));
  EXPECT_FALSE(IsSameOrBelow("/data", "/data/master"));
}

}  // namespace
}  // namespace tolvan::testing
