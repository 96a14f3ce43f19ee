#include "platform/LinuxSystemInfo.h"

#include <langinfo.h>
#include <locale.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

namespace tolvan::platform {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

bool IsCLocale(std::string_view name) {
  return name.empty() || name == "C" || name == "POSIX" || name.substr(0, 2) == "C." ||
         name.substr(0, 2) == "C@";
}

// The user's LC_TIME locale, without changing the process's own; the C locale when it is
// not installed.
locale_t OpenTimeLocale(const std::string& localeName) {
  locale_t locale = ::newlocale(LC_TIME_MASK, localeName.c_str(), static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0))
    locale = ::newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

// Reads one decimal number from the front of `text`.
bool TakeNumber(std::string_view& text, int& value) {
  std::size_t used = 0;
  value = 0;
  while (used < text.size() && text[used] >= '0' && text[used] <= '9' && used < 9)
    value = value * 10 + (text[used++] - '0');
  text.remove_prefix(used);
  return used > 0;
}

LocalTime FromTm(const std::tm& tm) {
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace

std::string TimeLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
    std::string value = Environment(variable);
    if (!value.empty()) return value;
  }
  return "C";
}

std::string ShortDateFormat(std::string_view localeName, std::string_view localeFormat) {
  if (IsCLocale(localeName) || localeName.substr(0, 3) == "ja_" || localeName == "ja" ||
      localeFormat.empty())
    return "%Y/%m/%d";
  std::string out;
  for (std::size_t i = 0; i < localeFormat.size(); ++i) {
    if (localeFormat[i] != '%' || i + 1 == localeFormat.size()) {
      out.push_back(localeFormat[i]);
      continue;
    }
    char conversion = localeFormat[++i];
    // Padding flags ("%-d", "%_m") and alternative forms ("%Ey", "%Od") become plain fields.
    while ((conversion == '-' || conversion == '_' || conversion == '0' || conversion == 'E' ||
            conversion == 'O') &&
           i + 1 < localeFormat.size())
      conversion = localeFormat[++i];
    switch (conversion) {
      case 'y':
        out += "%Y";
        break;
      case 'e':
        out += "%d";
        break;
      case 'D':
        out += "%m/%d/%Y";
        break;
      case 'F':
        out += "%Y-%m-%d";
        break;
      default:
        out.push_back('%');
        out.push_back(conversion);
    }
  }
  return out;
}

bool ParseKernelRelease(std::string_view release, KernelVersion& out) {
  out.major = out.minor = out.patch = 0;
  if (!TakeNumber(release, out.major)) return false;
  if (!release.empty() && release.front() == '.') {
    release.remove_prefix(1);
    (void)TakeNumber(release, out.minor);
  }
  if (!release.empty() && release.front() == '.') {
    release.remove_prefix(1);
    (void)TakeNumber(release, out.patch);
  }
  return true;
}

std::string OsReleaseName(std::string_view text) {
  std::istringstream in{std::string(text)};
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("NAME=", 0) != 0) continue;
    std::string value = line.substr(5);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return {};
}

LinuxSystemInfo::LinuxSystemInfo() {
  const std::string locale = TimeLocaleName();
  timeLocale_ = OpenTimeLocale(locale);
  const bool known = timeLocale_ != static_cast<locale_t>(0) && !IsCLocale(locale);
  dateFormat_ = ShortDateFormat(locale, known ? ::nl_langinfo_l(D_FMT, timeLocale_) : "");
}

LinuxSystemInfo::~LinuxSystemInfo() {
  if (timeLocale_ != static_cast<locale_t>(0)) ::freelocale(timeLocale_);
}

LocalTime LinuxSystemInfo::now() {
  LocalTime out;
  (void)toLocalTime(static_cast<std::int64_t>(std::time(nullptr)), out);
  return out;
}

std::string LinuxSystemInfo::nowWithOffset() {
  const std::time_t seconds = std::time(nullptr);
  std::tm tm{};
  char text[40];
  if (::localtime_r(&seconds, &tm) == nullptr ||
      std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &tm) == 0)
    return {};
  std::string iso = text;
  iso.insert(iso.size() - 2, ":");  // +0900 -> +09:00
  return iso;
}

std::int64_t LinuxSystemInfo::steadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool LinuxSystemInfo::toLocalTime(std::int64_t unixSeconds, LocalTime& out) {
  const auto seconds = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  if (::localtime_r(&seconds, &tm) == nullptr) return false;
  out = FromTm(tm);
  return true;
}

std::string LinuxSystemInfo::formatShortDate(int year, int month, int day) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  char text[64];
  const std::size_t size =
      timeLocale_ != static_cast<locale_t>(0)
          ? ::strftime_l(text, sizeof text, dateFormat_.c_str(), &tm, timeLocale_)
          : std::strftime(text, sizeof text, dateFormat_.c_str(), &tm);
  return std::string(text, size);
}

KernelVersion LinuxSystemInfo::kernelVersion() {
  KernelVersion version;
  struct utsname names {};
  if (::uname(&names) == 0) (void)ParseKernelRelease(names.release, version);
  std::ifstream file("/etc/os-release");
  std::stringstream text;
  text << file.rdbuf();
  version.distribution = OsReleaseName(text.str());
  if (version.distribution.empty()) version.distribution = "Linux";
  return version;
}

std::string LinuxSystemInfo::tempPath() {
  std::string path = Environment("TMPDIR");
  if (path.empty()) path = "/tmp";
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string LinuxSystemInfo::environment(const std::string& name) {
  return Environment(name.c_str());
}

bool LinuxSystemInfo::runningAsRoot() {
  return ::geteuid() == 0;
}

}  // namespace tolvan::platform
