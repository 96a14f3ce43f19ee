#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "conditions/Session.h"

namespace tolvan {

// Minutes since midnight of an hour text and a minute text as the two time boxes hold them
// (one or two digits each, 0-23 and 0-59); nothing when they do not form a time of day.
[[nodiscard]] std::optional<int> ClockMinutes(std::string_view hours, std::string_view minutes);
// "hh:mm" of a minute count of the day.
[[nodiscard]] std::string FormatClock(int minutesOfDay);
// Minutes since midnight of a "hh:mm" (or "h:m") text; nothing when it is not a time of day.
[[nodiscard]] std::optional<int> ParseClock(std::string_view text);

// Handlers of the time entry: index 0 is the hour box, 1 the minute box.
void Text4_Change(Session& session, int index);
void Text4_LostFocus(Session& session, int index);
void VScroll2_Change(Session& session);

// Code or the user changing a control: each raises its handler only when the value changes.
void SetTimeBoxText(Session& session, int index, const std::string& text);
void SetSpinValue(Session& session, int value);

}  // namespace tolvan
