#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/SystemInfo.h"

namespace tolvan::platform {

// A settable clock in UTC (plus `utcOffsetSeconds`), yyyy/MM/dd dates, fixed system facts.
class FakeSystemInfo : public SystemInfo {
 public:
  FakeSystemInfo();
  LocalTime now() override;
  bool toLocalTime(std::int64_t unixSeconds, LocalTime& out) override;
  std::string formatShortDate(int year, int month, int day) override;
  KernelVersion kernelVersion() override { return kernel; }
  std::string tempPath() override { return temp; }
  std::string environment(const std::string& name) override;
  bool runningAsRoot() override { return root; }

  void setNow(std::int64_t unixSeconds) { clock = unixSeconds; }
  void advance(std::int64_t seconds) { clock += seconds; }

  std::int64_t clock = 1700000000;    // 2023-11-14 22:13:20 UTC
  std::int64_t clockStepPerCall = 0;  // added after every now(), to model time passing
  std::int64_t utcOffsetSeconds = 0;
  bool failTimeConversion = false;
  KernelVersion kernel{6, 1, 0, "Debian GNU/Linux"};
  std::string temp = "/tmp";
  std::map<std::string, std::string> env;
  bool root = false;
};

}  // namespace tolvan::platform
