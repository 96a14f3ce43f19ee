#pragma once

#include <cstdint>
#include <string>

namespace tolvan {

struct Engine;

// How a run ended, for the command line's exit status.
enum class RunEnd : std::uint8_t {
  Refused,    // From = To, a missing path, an unreadable side: nothing was done
  Abandoned,  // cancelled by the user before the passes (confirmation, wait, room question)
  Finished,
  Stopped,  // stop requested during the run
  Lost,     // a side's root folder went away during the run: it stopped there
};

struct RunOutcome {
  RunEnd end = RunEnd::Refused;
  std::int32_t errors = 0;
  bool reportIncomplete = false;  // a write or close of the report failed
};

// Runs one job from start to end. `timer` non-zero means a scheduled run.
RunOutcome RunJob(Engine& engine, const std::string& from, const std::string& to,
                  std::int16_t& timer);

// Measures both trees and asks about room; -1 to go on (StartTime set), 0 to stop. `mode`:
// -1 Mirroring, 0 Backup, 1 simulation, 2 batch file.
[[nodiscard]] std::int16_t CheckFreeSpace(Engine& engine, const std::string& from,
                                          const std::string& to, std::int16_t mode);

void ShowFinished(Engine& engine);

}  // namespace tolvan
