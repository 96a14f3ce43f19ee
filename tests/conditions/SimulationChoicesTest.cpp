// The Simulation dialog's boxes without widgets: what they select and what they store.
#include <gtest/gtest.h>

#include "ConditionsFixture.h"
#include "conditions/DryRunCommands.h"
#include "conditions/Startup.h"

namespace tolvan::testing {
namespace {

using Box = SimulationChoices::Box;

class SimulationChoicesTest : public ConditionsFixture {};

TEST_F(SimulationChoicesTest, BoxesSelectTheirKindsAndAreStoredForTheNextOpening) {
  settings.set(kSimulationSection, "Check11", "0");
  settings.set(kSimulationSection, "Check21", "0");  // "日付の古いファイル"
  SimulationChoices choices;
  choices.load(session);
  EXPECT_EQ(choices.listPath, "/app/simulate.csv");
  EXPECT_TRUE(choices.masterBoxesEnabled());
  EXPECT_EQ(choices.start(session), 63 - 2);
  choices.checks = {0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(choices.start(session), 0) << "nothing selected keeps the dialog open";
  choices.setAllFiles(1);
  EXPECT_FALSE(choices.masterBoxesEnabled());
  EXPECT_EQ(choices.start(session), 31) << "all master kinds, and not the backup's";
  SimulationChoices reopened;
  reopened.load(session);
  EXPECT_EQ(reopened.checks, (std::array<int, 7>{0, 1, 1, 1, 1, 1, 1}));
  reopened.setAllFiles(0);
  EXPECT_EQ(reopened.checks[Box::Newer], 1) << "unchecking keeps the boxes' states";
}

}  // namespace
}  // namespace tolvan::testing
