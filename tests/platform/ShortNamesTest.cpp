// The 8.3 aliases of a FAT volume in restore batch files, and the path itself elsewhere.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cstdlib>

#include "platform/ShortNames.h"
#include "platform/TempFolder.h"

namespace tolvan::platform {
namespace {

TEST(ShortNamesTest, PathsOffFatVolumesStayAsTheyAreAndMissingOnesFail) {
  TempFolder tmp;
  WriteText(tmp / "Long Name.text", "x");
  std::string out;
  EXPECT_EQ(ShortPathOf(tmp / "Long Name.text", out), 0);
  EXPECT_EQ(out, tmp / "Long Name.text");
  EXPECT_EQ(ShortPathOf(tmp / "missing", out), ENOENT);
}

TEST(ShortNamesTest, FatVolumeGivesTheAliasOfEveryComponentOnIt) {
  TempFolder tmp;
  const std::string image = tmp / "fat.img";
  const std::string make =
      "truncate -s 4M '" + image + "' && mkfs.vfat '" + image + "' >/dev/null 2>&1";
  if (std::system(make.c_str()) != 0) GTEST_SKIP() << "mkfs.vfat is not installed";
  const std::string point = tmp / "mnt";
  ::mkdir(point.c_str(), 0755);
  const std::string mount = "mount -o loop -t vfat '" + image + "' '" + point + "' 2>/dev/null";
  if (::geteuid() != 0 || std::system(mount.c_str()) != 0) {
    GTEST_SKIP() << "this kernel cannot mount a vfat image here (no FAT driver or no loop)";
  }
  ::mkdir((point + "/Program Files").c_str(), 0755);
  WriteText(point + "/Program Files/Readme First.txt", "x");
  std::string out;
  const int error = ShortPathOf(point + "/Program Files/Readme First.txt", out);
  ::umount2(point.c_str(), MNT_DETACH);
  ASSERT_EQ(error, 0);
  EXPECT_EQ(out, point + "/PROGRA~1/README~1.TXT");
}

}  // namespace
}  // namespace tolvan::platform
