#include "engine/Progress.h"

#include "support/EngineFixture.h"

namespace tolvan {
namespace {

class ProgressTest : public testing::EngineFixture {
 protected:
  ProgressTest() {
    engine.run.StartTime = Now(sys);
    sys.clock += 100;
    progress.ProcessInit();
  }
  // Writes `count` entries; the bar's value and the estimate shown then.
  std::tuple<std::int64_t, std::string> entries(int count) {
    for (int i = 0; i < count; ++i) progress.ProcessWrite("/m/f");
    return {window.barValue, window.estimate};
  }
  Progress& progress = engine.progress;
  platform::FakeProgressWindow& window = ui.progressWindow;
};

// The bar moves a quarter percent at a time (at least one entry); an empty path restarts the
// count, and an overrun stays at the maximum with nothing left.
TEST_F(ProgressTest, StepIsAQuarterPercentAndAtLeastOne) {
  progress.BarInit(0);
  EXPECT_EQ(std::tuple(progress.step(), window.barMaximum), std::tuple(1, 1));
  progress.BarInit(1200);  // step 3
  entries(2);
  progress.ProcessWrite("");
  EXPECT_EQ(std::get<0>(entries(2)), 0);
  EXPECT_EQ(std::get<0>(entries(1)), 3);
  progress.BarInit(3);
  EXPECT_EQ(entries(5), std::tuple(3, "0:00:00"));
}

// The clock is read only when the bar advances; the rest is assumed to go at the same pace.
TEST_F(ProgressTest, EstimateFromThePaceSoFar) {
  progress.BarInit(800);     // step 2
  sys.clockStepPerCall = 1;  // every now() call moves the fake clock
  entries(1);
  EXPECT_EQ(std::tuple(window.estimate, sys.clock), std::tuple("", 1700000100));
  EXPECT_EQ(entries(1), std::tuple(2, "11:05:00"));  // 100 s for 2 entries, 798 to go: 39,900 s
}

// Within the run's first second the pace is unknown: nothing, rather than "0:00:00".
TEST_F(ProgressTest, NoEstimateBeforeAnyTimeHasPassed) {
  engine.run.StartTime = Now(sys);
  progress.BarInit(800);
  EXPECT_EQ(entries(2), std::tuple(2, ""));
  sys.clock += 1;
  EXPECT_EQ(entries(2), std::tuple(4, "0:03:19"));  // 1 s for 4 entries, 796 to go
}

}  // namespace
}  // namespace tolvan
