#include "engine/DateTime.h"

#include <cmath>
#include <cstdio>

namespace tolvan {
namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (month <= 2 ? 1 : 0));
}

// 1899-12-30 counted from 1970-01-01.
constexpr long long kEpochOffsetDays = -25569;

long long WholeSeconds(DateTime value) {
  return std::llround(value * kSecondsPerDay);
}

}  // namespace

DateTime MakeDateTime(const platform::LocalTime& t) {
  const long long days =
      DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) -
      kEpochOffsetDays;
  return static_cast<double>(days) + TimeOfDay(t.hour, t.minute, t.second);
}

DateTime TimeOfDay(int hour, int minute, int second) {
  return static_cast<double>(hour * 3600 + minute * 60 + second) / kSecondsPerDay;
}

platform::LocalTime SplitDateTime(DateTime value) {
  const long long total = WholeSeconds(value);
  long long days = total / 86400;
  long long secs = total % 86400;
  if (secs < 0) {
    secs += 86400;
    days -= 1;
  }
  platform::LocalTime t;
  CivilFromDays(days + kEpochOffsetDays, t.year, t.month, t.day);
  t.hour = static_cast<int>(secs / 3600);
  t.minute = static_cast<int>(secs / 60 % 60);
  t.second = static_cast<int>(secs % 60);
  return t;
}

std::string FormatElapsed(DateTime span) {
  long long secs = WholeSeconds(span) % 86400;
  if (secs < 0) secs += 86400;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", secs / 3600, secs / 60 % 60, secs % 60);
  return text;
}

std::string FormatDate(platform::SystemInfo& sys, DateTime value) {
  const platform::LocalTime t = SplitDateTime(value);
  return sys.formatShortDate(t.year, t.month, t.day);
}

std::string FormatDateTime(platform::SystemInfo& sys, DateTime value) {
  const platform::LocalTime t = SplitDateTime(value);
  std::string text = sys.formatShortDate(t.year, t.month, t.day);
  if (t.hour == 0 && t.minute == 0 && t.second == 0) return text;
  char clock[16];
  std::snprintf(clock, sizeof clock, " %02d:%02d:%02d", t.hour, t.minute, t.second);
  return text + clock;
}

DateTime Now(platform::SystemInfo& sys) {
  return MakeDateTime(sys.now());
}

}  // namespace tolvan
