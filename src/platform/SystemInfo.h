#pragma once

#include <cstdint>
#include <string>

namespace tolvan::platform {

// Calendar fields of a local time, whole seconds.
struct LocalTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

struct KernelVersion {
  int major = 0;
  int minor = 0;
  int patch = 0;
  std::string distribution;  // NAME from /etc/os-release
};

// The clock, the time zone, the locale's date format and a few facts of the system.
class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  [[nodiscard]] virtual LocalTime now() = 0;
  // The local time now in ISO 8601 with its offset from UTC: "2026-12-07T03:00:12+09:00".
  [[nodiscard]] virtual std::string nowWithOffset() = 0;
  // Milliseconds on a clock that nobody sets and no clock change steps, from an unspecified
  // start: for measuring spans of time.
  [[nodiscard]] virtual std::int64_t steadyMilliseconds() = 0;
  // Converts a Unix time to local calendar fields; false when it cannot.
  [[nodiscard]] virtual bool toLocalTime(std::int64_t unixSeconds, LocalTime& out) = 0;
  // The user's locale short date for the given day (yyyy/MM/dd in the C and Japanese locales).
  [[nodiscard]] virtual std::string formatShortDate(int year, int month, int day) = 0;
  [[nodiscard]] virtual KernelVersion kernelVersion() = 0;
  // The temporary-files folder, without a trailing "/".
  [[nodiscard]] virtual std::string tempPath() = 0;
  [[nodiscard]] virtual std::string environment(const std::string& name) = 0;
  [[nodiscard]] virtual bool runningAsRoot() = 0;
};

}  // namespace tolvan::platform
