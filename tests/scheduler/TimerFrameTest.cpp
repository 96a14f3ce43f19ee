#include <gtest/gtest.h>

#include "SchedulerFixture.h"
#include "scheduler/TimeEntry.h"

namespace tolvan::testing {
namespace {

class TimerFrameTest : public SchedulerFixture {
 protected:
  [[nodiscard]] std::string shown() const {
    const WindowModel& w = session.window;
    return w.hourText + ":" + w.minuteText + " " + std::to_string(w.spinValue) + " " +
           engine.job.Time;
  }
};

TEST_F(TimerFrameTest, SpinWrapsAroundMidnightAndBoxesShowTwoDigits) {
  SetSpinValue(session, 7 * 60 + 5);
  EXPECT_EQ(shown(), "07:05 425 07:05");
  SetSpinValue(session, 0);
  SpinStep(session, -1);
  EXPECT_EQ(shown(), "23:59 1439 23:59");
  SpinStep(session, +1);
  EXPECT_EQ(shown(), "00:00 0 00:00");
}

TEST_F(TimerFrameTest, TypedBoxesSetTheTimeAndAnInvalidOneIsResetWhenLeft) {
  SetSpinValue(session, 9 * 60 + 30);
  SetTimeBoxText(session, 0, "");    // counts as 00 while typing
  SetTimeBoxText(session, 0, "78");  // not a time yet: the last valid one stays
  Text4_LostFocus(session, 0);
  EXPECT_EQ(shown(), "00:30 30 00:30");
  SetTimeBoxText(session, 0, "3");
  SetTimeBoxText(session, 1, "7");
  Text4_LostFocus(session, 1);
  EXPECT_EQ(shown(), "03:07 187 03:07");
}

}  // namespace
}  // namespace tolvan::testing
