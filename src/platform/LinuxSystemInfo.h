#pragma once

#include <locale.h>

#include <string>
#include <string_view>

#include "platform/SystemInfo.h"

namespace tolvan::platform {

// The clock and time zone of the C library, the date format of the user's LC_TIME locale,
// the kernel's release and the distribution's name.
class LinuxSystemInfo : public SystemInfo {
 public:
  LinuxSystemInfo();
  ~LinuxSystemInfo() override;
  LinuxSystemInfo(const LinuxSystemInfo&) = delete;
  LinuxSystemInfo& operator=(const LinuxSystemInfo&) = delete;
  LocalTime now() override;
  std::string nowWithOffset() override;
  std::int64_t steadyMilliseconds() override;
  bool toLocalTime(std::int64_t unixSeconds, LocalTime& out) override;
  std::string formatShortDate(int year, int month, int day) override;
  KernelVersion kernelVersion() override;
  std::string tempPath() override;
  std::string environment(const std::string& name) override;
  bool runningAsRoot() override;

 private:
  std::string dateFormat_;  // strftime format, four-digit year, zero-padded fields
  locale_t timeLocale_{};   // the user's LC_TIME, for names a format may contain
};

// The name of the locale that governs dates: LC_ALL, else LC_TIME, else LANG, else "C".
[[nodiscard]] std::string TimeLocaleName();
// The short-date format for locale `localeName` whose D_FMT is `localeFormat`: "%Y/%m/%d" for
// the C, POSIX and Japanese locales; otherwise D_FMT with a four-digit year and zero padding.
[[nodiscard]] std::string ShortDateFormat(std::string_view localeName,
                                          std::string_view localeFormat);
// "6.1.0-18-amd64" -> 6, 1, 0. False when the text does not start with a number.
[[nodiscard]] bool ParseKernelRelease(std::string_view release, KernelVersion& out);
// NAME= of an os-release file's text, without quotes; empty when absent.
[[nodiscard]] std::string OsReleaseName(std::string_view text);

}  // namespace tolvan::platform
