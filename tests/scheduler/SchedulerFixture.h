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

// A session on the fakes with a settable clock (UTC) and a runner that only records its calls
// and lets the clock run for the length of a run.
class SchedulerFixture : public EngineFixture {
 protected:
  SchedulerFixture() {
    InstallFormSet(session);
    session.window.from.text = " /m ";
    session.window.to.text = "/b/";
  }

  static std::int64_t UnixTime(int year, int month, int day, int hour, int minute, int second) {
    using namespace std::chrono;
    const sys_days date{std::chrono::year{year} / month / day};
    return date.time_since_epoch().count() * 86400LL + hour * 3600 + minute * 60 + second;
  }
  void setClock(int year, int month, int day, int hour, int minute, int second = 0) {
    sys.setNow(UnixTime(year, month, day, hour, minute, second));
  }

  // Arms the schedule as a conditions file with the timer on does.
  void arm(int dateMode, const std::string& time, std::int16_t once = 0) {
    engine.job.DateMode = static_cast<std::int16_t>(dateMode);
    engine.job.Time = time;
    engine.job.Once = once;
    session.formSet(1);
  }

  CheckResult check() { return Timer1_Timer(session, runner(), &lastOutcome); }

  // Checks every 58 s until `untilUnix`; the clock times at which a run started.
  std::vector<std::int64_t> checkEvery58sUntil(std::int64_t untilUnix) {
    std::vector<std::int64_t> before = runStarts;
    while (sys.clock < untilUnix && !session.endRequested) {
      (void)check();
      sys.advance(58);
    }
    std::vector<std::int64_t> added(runStarts.begin() + static_cast<long>(before.size()),
                                    runStarts.end());
    return added;
  }

  ScheduledRunner runner() {
    return [this](Session& s, const std::string& from, const std::string& to) {
      runStarts.push_back(sys.clock);
      paths.push_back(from + "|" + to);
      if (onRun) onRun(s);
      sys.advance(runSeconds);
      runEnds.push_back(sys.clock);
      return outcome;
    };
  }

  platform::FakeSettingsStore settings;
  Session session{engine, settings};
  std::int64_t runSeconds = 0;
  RunOutcome outcome{RunEnd::Finished, 0};
  RunOutcome lastOutcome;
  std::function<void(Session&)> onRun;
  std::vector<std::int64_t> runStarts;
  std::vector<std::int64_t> runEnds;
  std::vector<std::string> paths;
};

}  // namespace tolvan::testing
