#include "scheduler/FormSet.h"

#include "engine/DateTime.h"
#include "scheduler/OptionControls.h"
#include "scheduler/TimeEntry.h"

namespace tolvan {
namespace {

JobConditions& Job(Session& session) {
  return session.engine.job;
}

DateTime CurrentTime(Session& session) {
  return Now(session.engine.sys());
}

void StartTimer(WindowModel& window) {
  window.timerEnabled = true;
  window.timerIntervalMs = CheckPeriod;
}

void ShowArmed(WindowModel& window, bool armed) {
  window.timerWorkingShown = armed;
  window.copyEnabled = !armed;
}

void MarkTimerStart(Session& session) {
  Job(session).TimerStartMs = session.engine.sys().steadyMilliseconds();
}

std::int16_t CheckValue(int box) {
  return static_cast<std::int16_t>(box);
}
int CheckFor(std::int16_t flag) {
  return flag != 0 ? 1 : 0;
}

void ApplyTimerSwitch(Session& session, std::int16_t timer) {
  WindowModel& window = session.window;
  if (timer == 0) {
    SetTimerCheck(session, 0);
    window.timerEnabled = false;
    ShowArmed(window, false);
    SelectDateMode(session, 0);
    Job(session).DateMode = 0;
    const platform::LocalTime now = SplitDateTime(CurrentTime(session));
    Job(session).Time = FormatClock(now.hour * 60 + now.minute);
  } else if (timer == 1) {
    SetTimerCheck(session, 1);
    MarkTimerStart(session);
    StartTimer(window);
    ShowArmed(window, true);
    if (Job(session).DateMode == 0 || Job(session).DateMode == 1) {
      SelectDateMode(session, Job(session).DateMode);
    }
  }
}

void ApplyTime(Session& session) {
  const auto minutes = ParseClock(Job(session).Time);
  const std::string shown = minutes ? FormatClock(*minutes) : std::string();
  SetTimeBoxText(session, 0, shown.substr(0, 2));
  SetTimeBoxText(session, 1, shown.size() >= 5 ? shown.substr(3, 2) : std::string());
  const WindowModel& window = session.window;
  const auto boxes = ClockMinutes(window.hourText, window.minuteText);
  SetSpinValue(session, boxes ? *boxes : 0);
}

void ApplyOptions(Session& session) {
  JobConditions& job = Job(session);
  WindowModel& window = session.window;
  SelectMode(session, job.NomalMode != 0 ? 0 : 1);
  // Only the two buttons exist; another number keeps its value (the copy rule treats it as 0).
  if (job.UpDate == 0 || job.UpDate == 1) SelectUpDate(session, job.UpDate);
  SetSizeCheck(session, CheckFor(job.Size));
  SetMatchCaseCheck(session, CheckFor(job.MatchCase));
  SetOnceCheck(session, CheckFor(job.Once));
  SetTrashBoxCheck(session, CheckFor(job.TrashBox));
  SelectReport(session, job.Report != 0 ? 0 : 1);
  SelectChildDir(session, job.ChildDir != 0 ? 0 : 1);
  if (job.OldNT != 0) {
    SetTrashBoxCheck(session, 0);
    window.trashBoxEnabled = false;
    window.trashBoxVisible = false;
    job.TrashBox = CheckValue(window.trashBoxCheck);
  }
}

}  // namespace

void FormSet(Session& session, std::int16_t timer) {
  ApplyTimerSwitch(session, timer);
  // The drive-usage labels belong to the window itself and are refreshed by it.
  ApplyTime(session);
  ApplyOptions(session);
}

void InstallFormSet(Session& session) {
  session.formSet = [&session](std::int16_t timer) { FormSet(session, timer); };
}

void Check2_Click(Session& session) {
  WindowModel& window = session.window;
  if (window.timerCheck == 0) {
    Job(session).Timer = 0;
    window.timerEnabled = false;
    ShowArmed(window, false);
    window.SkipMinimize = false;
    return;
  }
  Job(session).Timer = 1;
  MarkTimerStart(session);
  StartTimer(window);
  ShowArmed(window, true);
  if (window.SkipMinimize) {
    window.SkipMinimize = false;
  } else {
    window.minimized = true;
  }
}

void Check4_Click(Session& session) {
  Job(session).Once = CheckValue(session.window.onceCheck);
}

void Option7_Click(Session& session, int index) {
  Job(session).DateMode = static_cast<std::int16_t>(index);
}

void SetTimerCheck(Session& session, int value) {
  if (session.window.timerCheck == value) return;
  session.window.timerCheck = value;
  Check2_Click(session);
}

void SetOnceCheck(Session& session, int value) {
  if (session.window.onceCheck == value) return;
  session.window.onceCheck = value;
  Check4_Click(session);
}

void SelectDateMode(Session& session, int index) {
  if (session.window.dateModeOption == index) return;
  session.window.dateModeOption = index;
  Option7_Click(session, index);
}

}  // namespace tolvan
