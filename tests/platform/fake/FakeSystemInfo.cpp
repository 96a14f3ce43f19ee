#include "platform/fake/FakeSystemInfo.h"

#include <cstdio>
#include <ctime>

namespace tolvan::platform {

FakeSystemInfo::FakeSystemInfo() = default;

LocalTime FakeSystemInfo::now() {
  LocalTime t;
  (void)toLocalTime(clock, t);
  clock += clockStepPerCall;
  return t;
}

bool FakeSystemInfo::toLocalTime(std::int64_t unixSeconds, LocalTime& out) {
  if (failTimeConversion) return false;
  // UTC shifted by the fake offset, so the result never depends on the machine's zone.
  const auto local = static_cast<std::time_t>(unixSeconds + utcOffsetSeconds);
  std::tm parts{};
  if (gmtime_r(&local, &parts) == nullptr) return false;
  out.year = parts.tm_year + 1900;
  out.month = parts.tm_mon + 1;
  out.day = parts.tm_mday;
  out.hour = parts.tm_hour;
  out.minute = parts.tm_min;
  out.second = parts.tm_sec;
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
