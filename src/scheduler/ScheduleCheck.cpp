#include "scheduler/ScheduleCheck.h"

#include <cmath>

#include "engine/ExitStatus.h"
#include "engine/Paths.h"
#include "scheduler/TimeEntry.h"

namespace tolvan {
namespace {

constexpr std::int64_t kMillisecondsPerDay = 86400000;

bool DailyDue(const JobConditions& job, DateTime now) {
  const auto set = ParseClock(job.Time);
  if (!set) return false;
  const platform::LocalTime t = SplitDateTime(now);
  return t.hour * 60 + t.minute == *set;
}

bool IntervalDue(const JobConditions& job, std::int64_t steadyNowMs) {
  const auto set = ParseClock(job.Time);
  if (!set) return false;
  const std::int64_t interval = *set == 0 ? kMillisecondsPerDay : *set * std::int64_t{60000};
  return interval <= steadyNowMs - job.TimerStartMs;
}

long long MinuteOf(DateTime value) {
  return static_cast<long long>(std::floor(value * 1440.0 + 1e-9));
}

std::string RunPath(const std::string& field) {
  return StripOneTrailingSeparator(TrimBlanks(field));
}

// False when a reading of the conditions file ended the program or switched the schedule off.
bool ReloadedIfPathMissing(Session& session) {
  if (session.engine.run.MissingPath == 0 || !session.reloadConditions) return true;
  session.reloadConditions();
  return !session.endRequested && session.window.timerEnabled;
}

}  // namespace

bool IsRunDue(const JobConditions& job, DateTime now, std::int64_t steadyNowMs) {
  return job.DateMode == 0 ? DailyDue(job, now) : IntervalDue(job, steadyNowMs);
}

CheckResult Timer1_Timer(Session& session, const ScheduledRunner& runner, RunOutcome* outcome) {
  WindowModel& window = session.window;
  JobConditions& job = session.engine.job;
  if (window.runActive) return CheckResult::Busy;
  const DateTime now = Now(session.engine.sys());
  if (!IsRunDue(job, now, session.engine.sys().steadyMilliseconds())) return CheckResult::NotDue;
  if (job.DateMode == 0 && MinuteOf(now) == window.lastScheduledRunMinute) {
    return CheckResult::NotDue;
  }
  window.lastScheduledRunMinute = MinuteOf(now);
  if (!ReloadedIfPathMissing(session)) return CheckResult::NotDue;

  const std::string from = RunPath(window.from.text);
  const std::string to = RunPath(window.to.text);
  window.runActive = true;
  const RunOutcome result = runner(session, from, to);
  window.runActive = false;
  if (outcome != nullptr) *outcome = result;

  if (job.DateMode != 0) {
    job.TimerStartMs = session.engine.sys().steadyMilliseconds();
  }
  if (job.Once != 0) {
    if (job.DateMode == 0) window.timerEnabled = false;
    session.requestEnd(ExitStatusFor(result));
  }
  return CheckResult::Ran;
}

}  // namespace tolvan
