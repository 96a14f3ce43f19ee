#pragma once

#include <array>
#include <string>

namespace tolvan {

struct Engine;
struct JobConditions;

// The lines that say which job ran on which system, shared by the report and the
// simulation list so both always describe a run the same way.

// "   Linux Ver." (or "   Windows95 Ver." on that family): the system's name before its version.
[[nodiscard]] std::string SystemText(const Engine& engine);

// "Mirroring from " + [label]From + " to " + [label]To + " on " + today's date. 0, or the errno
// of the volume-label query that failed, with `failedPath` naming its path.
[[nodiscard]] int SidesLine(Engine& engine, const std::string& from, const std::string& to,
                            std::string& line, std::string& failedPath);

// The message, titled "Error", that a volume label cannot be read; the program then ends.
void ShowUnreadableVolume(Engine& engine, const std::string& path, int error);

// The three "Conditions" lines.
[[nodiscard]] std::array<std::string, 3> ConditionsLines(const JobConditions& job);

}  // namespace tolvan
