#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/LinuxSystemInfo.h"

namespace tolvan::platform {
namespace {

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value != nullptr)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (had_)
      ::setenv(name_, old_.c_str(), 1);
    else
      ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

TEST(LinuxSystemInfoTest, CLocaleShortDateIsYearMonthDay) {
  ScopedEnv all("LC_ALL", "C.UTF-8");
  LinuxSystemInfo sys;
  EXPECT_EQ(sys.formatShortDate(2024, 3, 5), "2024/03/05");
  EXPECT_EQ(sys.formatShortDate(1999, 12, 31), "1999/12/31");
}

TEST(LinuxSystemInfoTest, LocaleFormatsGetFourDigitYearsAndPadding) {
  EXPECT_EQ(ShortDateFormat("POSIX", "%m/%d/%y"), "%Y/%m/%d");
  EXPECT_EQ(ShortDateFormat("ja_JP.UTF-8", "%Y年%m月%d日"), "%Y/%m/%d");
  EXPECT_EQ(ShortDateFormat("en_US.UTF-8", "%m/%d/%Y"), "%m/%d/%Y");
  EXPECT_EQ(ShortDateFormat("en_GB.UTF-8", "%d/%m/%y"), "%d/%m/%Y");
  EXPECT_EQ(ShortDateFormat("de_DE.UTF-8", "%-d.%-m.%y"), "%d.%m.%Y");
  EXPECT_EQ(ShortDateFormat("xx_XX", "%e %D"), "%d %m/%d/%Y");
}

TEST(LinuxSystemInfoTest, TimeLocaleFollowsThePrecedenceOfTheVariables) {
  ScopedEnv all("LC_ALL", nullptr);
  ScopedEnv time("LC_TIME", "ja_JP.UTF-8");
  ScopedEnv lang("LANG", "de_DE.UTF-8");
  EXPECT_EQ(TimeLocaleName(), "ja_JP.UTF-8");
  ScopedEnv noTime("LC_TIME", nullptr);
  EXPECT_EQ(TimeLocaleName(), "de_DE.UTF-8");
  ScopedEnv noLang("LANG", nullptr);
  EXPECT_EQ(TimeLocaleName(), "C");
}

TEST(LinuxSystemInfoTest, KernelReleaseAndDistributionName) {
  KernelVersion version;
  ASSERT_TRUE(ParseKernelRelease("6.1.0-18-amd64", version));
  EXPECT_EQ(version.major, 6);
  EXPECT_EQ(version.minor, 1);
  EXPECT_EQ(version.patch, 0);
  ASSERT_TRUE(ParseKernelRelease("5.15", version));
  EXPECT_EQ(version.minor, 15);
  EXPECT_EQ(version.patch, 0);
  EXPECT_FALSE(ParseKernelRelease("unknown", version));

  EXPECT_EQ(OsReleaseName("PRETTY_NAME=\"Debian GNU/Linux 12\"\nNAME=\"Debian GNU/Linux\"\n"),
            "Debian GNU/Linux");
  EXPECT_EQ(OsReleaseName("NAME=Fedora\n"), "Fedora");
  EXPECT_EQ(OsReleaseName("ID=x\n"), "");

  LinuxSystemInfo sys;
  const KernelVersion running = sys.kernelVersion();
  EXPECT_GE(running.major, 3);
  EXPECT_FALSE(running.distribution.empty());
}

TEST(LinuxSystemInfoTest, LocalTimeTempPathAndEnvironment) {
  ScopedEnv tz("TZ", "UTC");
  LinuxSystemInfo sys;
  LocalTime t;
  ASSERT_TRUE(sys.toLocalTime(1700000000, t));
  EXPECT_EQ(t.year, 2023);
  EXPECT_EQ(t.month, 11);
  EXPECT_EQ(t.day, 14);
  EXPECT_EQ(t.hour, 22);
  EXPECT_EQ(t.minute, 13);
  EXPECT_EQ(t.second, 20);
  EXPECT_GE(sys.now().year, 2024);

  {
    ScopedEnv tmp("TMPDIR", "/var/tmp/");
    EXPECT_EQ(sys.tempPath(), "/var/tmp");
  }
  {
    ScopedEnv tmp("TMPDIR", nullptr);
    EXPECT_EQ(sys.tempPath(), "/tmp");
  }
  ScopedEnv custom("TOLVAN32_TEST_VALUE", "x y");
  EXPECT_EQ(sys.environment("TOLVAN32_TEST_VALUE"), "x y");
  EXPECT_EQ(sys.environment("TOLVAN32_TEST_UNSET"), "");
  EXPECT_EQ(sys.runningAsRoot(), ::geteuid() == 0);
}

}  // namespace
}  // namespace tolvan::platform
