#pragma once

#include <cstdint>
#include <string>

#include "conditions/Session.h"

namespace tolvan {

enum class Side : std::uint8_t { From, To };

[[nodiscard]] PathSide& SideOf(Session& session, Side side);

// Text1_Change / Text2_Change: the path field now holds `text`. A real change after a
// complete conditions-file read clears the side's missing mark, and MissingPath once neither
// side is marked.
void SetPathText(Session& session, Side side, const std::string& text);

// The conditions file named no usable path for `side`: sets MissingPath and marks the side.
void MarkPathMissing(Session& session, Side side);

// Points the side's folder selection at `path` (relative paths are taken from the working
// folder) and lets the path field follow it. 0, or the run-time error number of the failure:
// 68 volume not mounted, 71 device not ready, 75 folder cannot be listed, 76 no such folder
// (also for text holding a NUL byte or longer than the system's path limit).
// On failure nothing changes.
[[nodiscard]] int SelectFolder(Session& session, Side side, const std::string& path);

// "812.3/2047.9MB used" for the volume of the From (DNo 0) or To (DNo 1) folder; empty text
// when the volume cannot be queried or for any other DNo.
[[nodiscard]] std::string Disk_use_total(Session& session, std::int16_t DNo);

// `path` made absolute against `base` with "." and ".." resolved by text; no trailing "/".
[[nodiscard]] std::string AbsolutePath(const std::string& base, const std::string& path);

}  // namespace tolvan
