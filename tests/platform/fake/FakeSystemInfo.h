#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>

#include "platform/SystemInfo.h"

namespace tolvan::platform {

// A settable clock in UTC (plus `utcOffsetSeconds`, or in the zone of TZ with `zoneOfTz`),
// yyyy/MM/dd dates, fixed system facts.
class FakeSystemInfo : public SystemInfo {
 public:
  LocalTime now() override {
    LocalTime t;
    (void)toLocalTime(clock, t);
    clock += clockStepPerCall;
    return t;
  }
  std::string nowWithOffset() override {
    LocalTime t;
    (void)toLocalTime(clock, t);
    const std::int64_t minutes = (utcOffsetSeconds < 0 ? -utcOffsetSeconds : utcOffsetSeconds) / 60;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, utcOffsetSeconds < 0 ? '-' : '+',
                  static_cast<int>(minutes / 60), static_cast<int>(minutes % 60));
    return text;
  }
  // Runs with `clock` but for the steps of the clock made by stepWallClock.
  std::int64_t steadyMilliseconds() override { return (clock - wallClockSteps) * 1000; }
  // The clock set forward or back (a clock change, a correction): no time passes.
  void stepWallClock(std::int64_t seconds) {
    clock += seconds;
    wallClockSteps += seconds;
  }
  // UTC shifted by the fake offset, so the result never depends on the machine's zone.
  bool toLocalTime(std::int64_t unixSeconds, LocalTime& out) override {
    const auto local = static_cast<std::time_t>(unixSeconds + utcOffsetSeconds);
    std::tm parts{};
    if (failTimeConversion) return false;
    if (zoneOfTz ? localtime_r(&local, &parts) == nullptr : gmtime_r(&local, &parts) == nullptr)
      return false;
    out = {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
           parts.tm_hour,        parts.tm_min,     parts.tm_sec};
    return true;
  }
  std::string formatShortDate(int year, int month, int day) override {
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d", year, month, day);
    return text;
  }
  KernelVersion kernelVersion() override { return kernel; }
  std::string tempPath() override { return "/tmp"; }
  std::string environment(const std::string& name) override {
    const auto it = env.find(name);
    return it == env.end() ? std::string() : it->second;
  }
  bool runningAsRoot() override { return false; }

  std::int64_t clock = 1700000000;    // 2023-11-14 22:13:20 UTC
  std::int64_t clockStepPerCall = 0;  // added after every now(), to model time passing
  // wallClockSteps: the sum of the steps of stepWallClock.
  std::int64_t utcOffsetSeconds = 0, wallClockSteps = 0;
  // zoneOfTz: local times as the C library gives them, with their clock changes.
  bool failTimeConversion = false, zoneOfTz = false;
  KernelVersion kernel{6, 1, 0, "Debian GNU/Linux"};
  std::map<std::string, std::string> env;
};

}  // namespace tolvan::platform
