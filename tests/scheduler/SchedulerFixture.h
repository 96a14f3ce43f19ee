#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "conditions/Session.h"
#include "platform/fake/FakeSettingsStore.h"
#include "scheduler/FormSet.h"
#include "scheduler/ScheduleCheck.h"
#include "support/EngineFixture.h"

namespace tolvan::testing {

// A session on the fakes with a settable clock (UTC); its runner records when each run
// started and ended and lets the clock run for the length of a run.
class SchedulerFixture : public EngineFixture {
 protected:
  SchedulerFixture() {
    InstallFormSet(session);
    session.window.from.text = " /m ";
    session.window.to.text = "/b/";
  }

  static std::int64_t UnixTime(int year, int month, int day, int hour, int minute, int second = 0) {
    const std::chrono::sys_days date{std::chrono::year{year} / month / day};
    return date.time_since_epoch().count() * 86400LL + hour * 3600 + minute * 60 + second;
  }

  // Sets the clock, then arms the schedule as a conditions file with the timer on does.
  void arm(std::int64_t now, int dateMode, const std::string& time, std::int16_t once = 0) {
    sys.setNow(now);
    engine.job.DateMode = static_cast<std::int16_t>(dateMode);
    engine.job.Time = time;
    engine.job.Once = once;
    session.formSet(1);
  }

  CheckResult check() {
    const auto runner = [this](Session& s, const std::string& from, const std::string& to) {
      runStarts.push_back(sys.clock);
      paths = from + "|" + to;
      if (onRun) onRun(s);
      sys.advance(runSeconds);
      runEnds.push_back(sys.clock);
      return outcome;
    };
    return Timer1_Timer(session, runner, nullptr);
  }

  // Checks every 58 s until `until`; the clock times at which runs started meanwhile.
  std::vector<std::int64_t> checkEvery58sUntil(std::int64_t until) {
    const auto before = static_cast<long>(runStarts.size());
    for (; sys.clock < until && !session.endRequested; sys.advance(58)) (void)check();
    return {runStarts.begin() + before, runStarts.end()};
  }

  platform::FakeSettingsStore settings;
  Session session{engine, settings};
  std::int64_t runSeconds = 0;
  RunOutcome outcome{RunEnd::Finished, 0};
  std::function<void(Session&)> onRun;
  std::vector<std::int64_t> runStarts;
  std::vector<std::int64_t> runEnds;
  std::string paths;
};

}  // namespace tolvan::testing
