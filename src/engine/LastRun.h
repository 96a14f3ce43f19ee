#pragma once

#include <string>

#include "engine/JobDriver.h"

namespace tolvan {

struct Engine;

// The status file every real run leaves in the program folder: one JSON object whose keys and
// values are a stable format for scripts and the tray.
inline constexpr const char* kLastRunFileName = "LastRun.json";
inline constexpr int kLastRunVersion = 1;

// "finished", "errors", "stopped", "refused" or "side-lost".
[[nodiscard]] const char* LastRunResultText(const RunOutcome& outcome);

// The file's text for the run of the current job that started at `started` and ends now.
[[nodiscard]] std::string LastRunText(Engine& engine, const std::string& started,
                                      const RunOutcome& outcome);

// Replaces the status file; a failure is one Error line in the report (when it is open) and
// changes nothing else. Nothing follows a link: a link or anything but a regular file in the
// file's place is refused.
void RecordLastRun(Engine& engine, const std::string& started, const RunOutcome& outcome);

}  // namespace tolvan
