#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/LinuxSystemInfo.h"

namespace tolvan::platform {
namespace {

TEST(LinuxSystemInfoTest, DatesAreYearMonthDayInTheCLocaleAndPaddedInOthers) {
  ::setenv("LC_ALL", "C.UTF-8", 1);
  EXPECT_EQ(LinuxSystemInfo().formatShortDate(2024, 3, 5), "2024/03/05");
  const char* const cases[][3] = {
      {"POSIX", "%m/%d/%y", "%Y/%m/%d"},         {"ja_JP.UTF-8", "%Y年%m月%d日", "%Y/%m/%d"},
      {"en_US.UTF-8", "%m/%d/%Y", "%m/%d/%Y"},   {"en_GB.UTF-8", "%d/%m/%y", "%d/%m/%Y"},
      {"de_DE.UTF-8", "%-d.%-m.%y", "%d.%m.%Y"}, {"xx_XX", "%e %D", "%d %m/%d/%Y"}};
  for (const auto& c : cases) EXPECT_EQ(ShortDateFormat(c[0], c[1]), c[2]) << c[0];
  // The time locale: LC_ALL, then LC_TIME, then LANG, then C.
  ::setenv("LC_TIME", "ja_JP.UTF-8", 1);
  ::setenv("LANG", "de_DE.UTF-8", 1);
  EXPECT_EQ(TimeLocaleName(), "C.UTF-8");
  ::unsetenv("LC_ALL");
  EXPECT_EQ(TimeLocaleName(), "ja_JP.UTF-8");
  ::unsetenv("LC_TIME");
  EXPECT_EQ(TimeLocaleName(), "de_DE.UTF-8");
  ::unsetenv("LANG");
  EXPECT_EQ(TimeLocaleName(), "C");
  ::setenv("LC_ALL", "C.UTF-8", 1);
}

TEST(LinuxSystemInfoTest, KernelReleaseDistributionAndTempPath) {
  KernelVersion v;
  ASSERT_TRUE(ParseKernelRelease("6.1.0-18-amd64", v));
  EXPECT_EQ(std::vector<int>({v.major, v.minor, v.patch}), std::vector<int>({6, 1, 0}));
  ASSERT_TRUE(ParseKernelRelease("5.15", v));
  EXPECT_EQ(std::vector<int>({v.major, v.minor, v.patch}), std::vector<int>({5, 15, 0}));
  EXPECT_FALSE(ParseKernelRelease("unknown", v));
  EXPECT_EQ(OsReleaseName("PRETTY_NAME=\"Debian GNU/Linux 12\"\nNAME=\"Debian GNU/Linux\"\n"),
            "Debian GNU/Linux");
  EXPECT_EQ(OsReleaseName("NAME=Fedora\n") + OsReleaseName("ID=x\n"), "Fedora");

  LinuxSystemInfo sys;
  ::setenv("TMPDIR", "/var/tmp/", 1);
  EXPECT_EQ(sys.tempPath(), "/var/tmp");
  EXPECT_EQ(sys.environment("TMPDIR") + sys.environment("TOLVAN32_TEST_UNSET"), "/var/tmp/");
  ::unsetenv("TMPDIR");
  EXPECT_EQ(sys.tempPath(), "/tmp");
}

}  // namespace
}  // namespace tolvan::platform
