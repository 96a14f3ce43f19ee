#include "scheduler/TimeEntry.h"

#include "engine/NumberText.h"

namespace tolvan {
namespace {

// What a time box may hold: one or two digits.
std::optional<int> SmallNumber(std::string_view text) {
  if (text.size() > 2) return std::nullopt;
  const std::optional<double> number = ReadNumber(text, NumberStyle::Digits);
  if (!number) return std::nullopt;
  return static_cast<int>(*number);
}

std::string& BoxText(WindowModel& window, int index) {
  return index == 0 ? window.hourText : window.minuteText;
}

// The last two characters of the decimal text of value + 100: always two digits.
std::string TwoDigits(int value) {
  const std::string text = std::to_string(value + 100);
  return text.substr(text.size() - 2);
}

}  // namespace

std::optional<int> ClockMinutes(std::string_view hours, std::string_view minutes) {
  const auto h = SmallNumber(hours);
  const auto m = SmallNumber(minutes);
  if (!h || !m || *h > 23 || *m > 59) return std::nullopt;
  return *h * 60 + *m;
}

std::string FormatClock(int minutesOfDay) {
  return TwoDigits(minutesOfDay / 60) + ":" + TwoDigits(minutesOfDay % 60);
}

std::optional<int> ParseClock(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  return ClockMinutes(text.substr(0, colon), text.substr(colon + 1));
}

void Text4_Change(Session& session, int /*index*/) {
  const WindowModel& window = session.window;
  const std::string hours = window.hourText.empty() ? "00" : window.hourText;
  const std::string minutes = window.minuteText.empty() ? "00" : window.minuteText;
  // While a box holds a half-typed value, Time keeps its last valid value until the box is left.
  if (const auto value = ClockMinutes(hours, minutes))
    session.engine.job.Time = FormatClock(*value);
}

void Text4_LostFocus(Session& session, int index) {
  WindowModel& window = session.window;
  auto value = ClockMinutes(window.hourText, window.minuteText);
  if (!value) {
    SetTimeBoxText(session, index, "0");
    value = ClockMinutes(window.hourText, window.minuteText);
  }
  if (!value) {  // the other box was never left since it went wrong
    SetTimeBoxText(session, 1 - index, "0");
    value = ClockMinutes(window.hourText, window.minuteText);
  }
  session.engine.job.Time = FormatClock(*value);
  SetSpinValue(session, *value);  // the boxes as corrected, read as numbers
}

void VScroll2_Change(Session& session) {
  WindowModel& window = session.window;
  if (window.spinValue >= 1440) window.spinValue = 0;
  if (window.spinValue < 0) window.spinValue = 1439;
  const int value = window.spinValue;
  SetTimeBoxText(session, 0, TwoDigits(value / 60));
  SetTimeBoxText(session, 1, TwoDigits(value % 60));
}

void SetTimeBoxText(Session& session, int index, const std::string& text) {
  std::string& box = BoxText(session.window, index);
  if (box == text) return;
  box = text;
  Text4_Change(session, index);
}

void SetSpinValue(Session& session, int value) {
  if (session.window.spinValue == value) return;
  session.window.spinValue = value;
  VScroll2_Change(session);
}

}  // namespace tolvan
