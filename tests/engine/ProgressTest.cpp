#include "engine/Progress.h"

#include <tuple>

#include "support/EngineFixture.h"

namespace tolvan {
namespace {

class ProgressTest : public testing::EngineFixture {
 protected:
  Progress& progress = engine.progress;
  platform::FakeProgressWindow& window = ui.progressWindow;

  void entries(int count) {
    for (int i = 0; i < count; ++i) progress.ProcessWrite("/m/f");
  }
};

TEST_F(ProgressTest, StepIsAQuarterPercentAndAtLeastOne) {
  progress.ProcessInit();
  EXPECT_FALSE(window.barVisible);
  for (const auto& [maximum, step, shown] :
       {std::tuple{1000, 2, 1000}, std::tuple{100, 1, 100}, std::tuple{0, 1, 1}}) {
    progress.BarInit(maximum);
    EXPECT_EQ(progress.step(), step) << maximum;
    EXPECT_EQ(window.barMaximum, shown);
    EXPECT_TRUE(window.barVisible);
  }
  progress.BarInit(1200);  // step 3; an empty path restarts the count
  entries(2);
  progress.ProcessWrite("");
  entries(2);
  EXPECT_EQ(window.barValue, 0);
  entries(1);
  EXPECT_EQ(window.barValue, 3);
  progress.ProcessInit();
  EXPECT_EQ(window.barValue, 0);
  EXPECT_FALSE(window.barVisible);
}

// The clock is read only when the bar advances; the rest is assumed to go at the same pace.
TEST_F(ProgressTest, EstimateFromThePaceSoFar) {
  engine.run.StartTime = Now(sys);
  sys.advance(100);
  progress.ProcessInit();
  progress.BarInit(800);     // step 2
  sys.clockStepPerCall = 1;  // every now() call moves the fake clock
  entries(1);
  EXPECT_EQ(window.estimate, "");
  EXPECT_EQ(sys.clock, 1700000100);
  entries(1);
  EXPECT_EQ(window.barValue, 2);
  EXPECT_EQ(window.estimate, "11:05:00");  // 100 s for 2 entries, 798 to go: 39,900 s
}

TEST_F(ProgressTest, OverrunStaysAtTheMaximumWithNothingLeft) {
  engine.run.StartTime = Now(sys);
  sys.advance(50);
  progress.ProcessInit();
  progress.BarInit(3);
  entries(5);
  EXPECT_EQ(window.barValue, 3);
  EXPECT_EQ(window.estimate, "0:00:00");
}

}  // namespace
}  // namespace tolvan
