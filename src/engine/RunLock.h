#pragma once

#include <cstdint>
#include <string>

namespace tolvan {

struct Engine;

// 0 when both report files can be opened for writing right now, -1 otherwise. Leaves
// nothing open.
[[nodiscard]] std::int16_t ReportWritable(Engine& engine);

// Waits (with the wait dialog) until both report files are free. 0 to go on, -1 when the
// user cancelled.
[[nodiscard]] std::int16_t WaitForReport(Engine& engine, const std::string& reportPath);

}  // namespace tolvan
