#include "engine/Progress.h"

#include "support/EngineFixture.h"

namespace tolvan {
namespace {

using testing::EngineFixture;

class ProgressTest : public EngineFixture {
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
  progress.BarInit(1000);
  EXPECT_EQ(progress.step(), 2);
  EXPECT_EQ(window.barMaximum, 1000);
  EXPECT_TRUE(window.barVisible);
  entries(1);
  EXPECT_EQ(window.barValue, 0);
  entries(1);
  EXPECT_EQ(window.barValue, 2);

  progress.BarInit(100);
  EXPECT_EQ(progress.step(), 1);
  progress.BarInit(0);
  EXPECT_EQ(window.barMaximum, 1);
  EXPECT_EQ(progress.step(), 1);
}

TEST_F(ProgressTest, TheClockIsReadOnlyWhenTheBarAdvances) {
  engine.run.StartTime = Now(sys);
  sys.clockStepPerCall = 1;  // every now() call moves the fake clock
  progress.ProcessInit();
  progress.BarInit(4000);  // step 10
  const auto before = sys.clock;
  entries(9);
  EXPECT_EQ(sys.clock, before);
  EXPECT_EQ(window.estimate, "");
  entries(1);
  EXPECT_EQ(sys.clock, before + 1);
  EXPECT_EQ(window.barValue, 10);
}

TEST_F(ProgressTest, EstimateAssumesTheSamePaceForTheRest) {
  engine.run.StartTime = Now(sys);
  sys.advance(100);
  progress.ProcessInit();
  progress.BarInit(800);  // step 2
  entries(2);
  // 100 s for 2 entries, 798 to go: 39,900 s.
  EXPECT_EQ(window.estimate, "11:05:00");
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

TEST_F(ProgressTest, EmptyPathAndInitResetTheCount) {
  progress.ProcessInit();
  progress.BarInit(1200);  // step 3
  entries(2);
  progress.ProcessWrite("");
  entries(2);
  EXPECT_EQ(window.barValue, 0);
  entries(1);
  EXPECT_EQ(window.barValue, 3);
  progress.ProcessInit();
  EXPECT_EQ(window.barValue, 0);
  EXPECT_FALSE(window.barVisible);
  entries(2);
  EXPECT_EQ(progress.value(), 0);
}

}  // namespace
}  // namespace tolvan
