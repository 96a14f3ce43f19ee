#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/JobDriver.h"

namespace tolvan {

struct Engine;

// The refusals a dry run shares with a real run, with the same messages: equal sides, a path
// the conditions file could not select, a side that cannot be listed. A dry run writes no
// report, so nothing is written; the messages are shown unless the run is scheduled.
[[nodiscard]] std::optional<RunEnd> RefusedSides(Engine& engine, const std::string& from,
                                                 const std::string& to, std::int16_t timer);

}  // namespace tolvan
