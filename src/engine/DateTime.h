#pragma once

#include <string>

#include "platform/SystemInfo.h"

namespace tolvan {

// Date-times are days since 1899-12-30 held as doubles: the whole part is the date, the
// fraction the time of day.
using DateTime = double;

inline constexpr double kSecondsPerDay = 86400.0;

[[nodiscard]] DateTime MakeDateTime(const platform::LocalTime& t);
[[nodiscard]] platform::LocalTime SplitDateTime(DateTime value);
// Only the time of day, as a fraction of a day.
[[nodiscard]] DateTime TimeOfDay(int hour, int minute, int second);
// "h:mm:ss" of the time-of-day part of a span (a span of a day or more wraps around).
[[nodiscard]] std::string FormatElapsed(DateTime span);
// The locale's short date, a blank and HH:mm:ss; the date alone when the time is midnight.
[[nodiscard]] std::string FormatDateTime(platform::SystemInfo& sys, DateTime value);
[[nodiscard]] std::string FormatDate(platform::SystemInfo& sys, DateTime value);
[[nodiscard]] DateTime Now(platform::SystemInfo& sys);

}  // namespace tolvan
