#include <gtest/gtest.h>

#include "SchedulerFixture.h"
#include "scheduler/TimeEntry.h"

namespace tolvan::testing {
namespace {

class TimerFrameTest : public SchedulerFixture {};

TEST_F(TimerFrameTest, SpinWrapsAroundMidnightBothWays) {
  SetSpinValue(session, 1);
  SpinStep(session, -1);
  EXPECT_EQ(session.window.spinValue, 0);
  SpinStep(session, -1);
  EXPECT_EQ(session.window.spinValue, 1439);
  EXPECT_EQ(session.window.hourText, "23");
  EXPECT_EQ(session.window.minuteText, "59");
  EXPECT_EQ(engine.job.Time, "23:59");
  SpinStep(session, +1);
  EXPECT_EQ(session.window.spinValue, 0);
  EXPECT_EQ(engine.job.Time, "00:00");
  EXPECT_EQ(session.window.hourText, "00");
}

TEST_F(TimerFrameTest, SpinShowsTwoDigitBoxes) {
  SetSpinValue(session, 7 * 60 + 5);
  EXPECT_EQ(session.window.hourText, "07");
  EXPECT_EQ(session.window.minuteText, "05");
  EXPECT_EQ(engine.job.Time, "07:05");
}

TEST_F(TimerFrameTest, TypingUpdatesTimeOnlyWhileTheBoxesFormATime) {
  SetSpinValue(session, 9 * 60 + 30);
  SetTimeBoxText(session, 0, "");
  EXPECT_EQ(engine.job.Time, "00:30") << "an empty box counts as 00 while typing";
  SetTimeBoxText(session, 0, "7");
  EXPECT_EQ(engine.job.Time, "07:30");
  SetTimeBoxText(session, 0, "78");
  EXPECT_EQ(engine.job.Time, "07:30") << "a half-typed value keeps the last valid time";
}

TEST_F(TimerFrameTest, LeavingAnInvalidBoxResetsItAndTheSpin) {
  SetSpinValue(session, 9 * 60 + 30);
  SetTimeBoxText(session, 0, "25");
  Text4_LostFocus(session, 0);
  EXPECT_EQ(engine.job.Time, "00:30");
  EXPECT_EQ(session.window.spinValue, 30);
  EXPECT_EQ(session.window.hourText, "00");

  SetTimeBoxText(session, 1, "x");
  Text4_LostFocus(session, 1);
  EXPECT_EQ(engine.job.Time, "00:00");
  EXPECT_EQ(session.window.spinValue, 0);
}

TEST_F(TimerFrameTest, LeavingAValidBoxMovesTheSpin) {
  SetTimeBoxText(session, 0, "3");
  SetTimeBoxText(session, 1, "7");
  Text4_LostFocus(session, 1);
  EXPECT_EQ(engine.job.Time, "03:07");
  EXPECT_EQ(session.window.spinValue, 187);
  EXPECT_EQ(session.window.minuteText, "07");
}

TEST_F(TimerFrameTest, DisarmedFormSetShowsTheCurrentTimeAndEnablesCopy) {
  setClock(2026, 12, 6, 14, 7, 40);
  arm(1, "03:15");
  ASSERT_FALSE(session.window.copyEnabled);
  engine.job.DateMode = 1;
  session.formSet(0);
  EXPECT_EQ(engine.job.Timer, 0);
  EXPECT_EQ(engine.job.DateMode, 0);
  EXPECT_EQ(engine.job.Time, "14:07");
  EXPECT_EQ(session.window.hourText, "14");
  EXPECT_EQ(session.window.minuteText, "07");
  EXPECT_EQ(session.window.spinValue, 14 * 60 + 7);
  EXPECT_FALSE(session.window.timerEnabled);
  EXPECT_FALSE(session.window.timerWorkingShown);
  EXPECT_TRUE(session.window.copyEnabled);
  EXPECT_EQ(session.window.dateModeOption, 0);
}

TEST_F(TimerFrameTest, ArmedFormSetStartsTheCheckAndMinimizesUnlessAsked) {
  setClock(2026, 12, 6, 9, 0);
  arm(1, "1:5");
  EXPECT_EQ(engine.job.Timer, 1);
  EXPECT_DOUBLE_EQ(engine.job.TimerStart, MakeDateTime({2026, 12, 6, 9, 0, 0}));
  EXPECT_TRUE(session.window.timerEnabled);
  EXPECT_EQ(session.window.timerIntervalMs, 58000);
  EXPECT_TRUE(session.window.timerWorkingShown);
  EXPECT_TRUE(session.window.minimized);
  EXPECT_EQ(session.window.dateModeOption, 1);
  EXPECT_EQ(engine.job.Time, "01:05");
  EXPECT_EQ(session.window.spinValue, 65);

  // Arming by hand after the list has read a file leaves the window open, once.
  SetTimerCheck(session, 0);
  EXPECT_TRUE(session.window.copyEnabled);
  session.window.minimized = false;
  session.window.SkipMinimize = true;
  SetTimerCheck(session, 1);
  EXPECT_FALSE(session.window.minimized);
  EXPECT_FALSE(session.window.SkipMinimize);
}

TEST_F(TimerFrameTest, FormSetShowsTheOptionsAndCheckBoxesWriteOne) {
  engine.job.NomalMode = -1;
  engine.job.UpDate = 1;
  engine.job.Report = 0;
  engine.job.ChildDir = 0;
  engine.job.Size = -1;
  engine.job.Once = -1;
  engine.job.TrashBox = -1;
  session.formSet(0);
  const WindowModel& w = session.window;
  EXPECT_EQ(w.modeOption, 0);
  EXPECT_EQ(w.upDateOption, 1);
  EXPECT_EQ(w.reportOption, 1);
  EXPECT_EQ(w.childDirOption, 1);
  EXPECT_EQ(w.sizeCheck, 1);
  EXPECT_EQ(w.onceCheck, 1);
  EXPECT_EQ(engine.job.Size, 1);
  EXPECT_EQ(engine.job.Once, 1);
  EXPECT_EQ(engine.job.TrashBox, 1);
  EXPECT_TRUE(w.trashBoxVisible);
}

TEST_F(TimerFrameTest, OldSystemsLoseTheTrashBox) {
  engine.job.TrashBox = -1;
  engine.job.OldNT = -1;
  session.formSet(0);
  EXPECT_EQ(engine.job.TrashBox, 0);
  EXPECT_EQ(session.window.trashBoxCheck, 0);
  EXPECT_FALSE(session.window.trashBoxVisible);
  EXPECT_FALSE(session.window.trashBoxEnabled);
}

}  // namespace
}  // namespace tolvan::testing
