#include "platform/fake/FakeSystemInfo.h"

#include <cstdio>

namespace tolvan::platform {
namespace {

void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (m <= 2 ? 1 : 0));
}

}  // namespace

FakeSystemInfo::FakeSystemInfo() = default;

LocalTime FakeSystemInfo::now() {
  LocalTime t;
  (void)toLocalTime(clock, t);
  clock += clockStepPerCall;
  return t;
}

bool FakeSystemInfo::toLocalTime(std::int64_t unixSeconds, LocalTime& out) {
  if (failTimeConversion) return false;
  const std::int64_t local = unixSeconds + utcOffsetSeconds;
  long long days = local / 86400;
  long long secs = local % 86400;
  if (secs < 0) {
    secs += 86400;
    --days;
  }
  CivilFromDays(days, out.year, out.month, out.day);
  out.hour = static_cast<int>(secs / 3600);
  out.minute = static_cast<int>(secs / 60 % 60);
  out.second = static_cast<int>(secs % 60);
  return true;
}

std::string FakeSystemInfo::formatShortDate(int year, int month, int day) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d", year, month, day);
  return text;
}

std::string FakeSystemInfo::environment(const std::string& name) {
  auto it = env.find(name);
  return it == env.end() ? std::string() : it->second;
}

}  // namespace tolvan::platform
