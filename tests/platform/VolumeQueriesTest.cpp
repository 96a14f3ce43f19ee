#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include "TempFolder.h"
#include "platform/ConfiguredMounts.h"
#include "platform/LinuxFileSystem.h"
#include "platform/PathText.h"
#include "platform/VolumeQueries.h"

namespace tolvan::platform {
namespace {

// A prepared mount table and label folder: the label is found through the device the mount
// came from, and a folder that does not exist yet lies on the volume of its nearest parent.
TEST(VolumeLabelTest, LabelOfTheLongestMountPointAboveTheNearestExistingFolder) {
  TempFolder tmp;
  for (const char* folder : {"labels", "m nt", "m nt/inner"}) ::mkdir((tmp / folder).c_str(), 0755);
  WriteText(tmp / "device", "");
  ASSERT_EQ(::symlink("../device", (tmp / "labels/My\\x20Disk").c_str()), 0);
  WriteText(tmp / "mountinfo", "26 1 254:0 / / rw - ext4 /dev/vda rw\n40 26 7:1 / " + tmp.path() +
                                   "/m\\040nt rw master:1 - ext4 " + tmp.path() + "/device rw\n");
  const VolumeSources sources{tmp / "mountinfo", tmp / "labels"};
  LinuxFileSystem fs(sources);
  std::string label;
  for (const std::string path : {"m nt/inner", "m nt/inner/not/yet", "m nt"}) {
    ASSERT_EQ(fs.volumeLabel(tmp / path, label), 0);
    EXPECT_EQ(label, "My Disk") << path;
  }
  ASSERT_EQ(fs.volumeLabel(tmp / "m ntx/not/yet", label), 0);
  EXPECT_EQ(label, "");
  EXPECT_TRUE(fs.isMountPoint(tmp / "m nt"));  // listed in the table, same device as its parent
  EXPECT_FALSE(fs.isMountPoint(tmp / "m nt/inner"));
  EXPECT_EQ(DecodeEscapes("odd\\x2"), "odd\\x2");
  MountEntry mount;
  EXPECT_FALSE(ParseMountInfoLine("garbage", mount));

  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a block device node";
  ASSERT_EQ(::mknod((tmp / "blockdev").c_str(), S_IFBLK | 0600, makedev(7, 1)), 0);
  ASSERT_EQ(::symlink("../blockdev", (tmp / "labels/BACKUP").c_str()), 0);
  ::unlink((tmp / "labels/My\\x20Disk").c_str());
  mount.major = 7;
  mount.minor = 1;
  mount.source = "/dev/root";  // a name that need not exist: the device number decides
  EXPECT_EQ(FindLabel(sources.labelFolder, mount), "BACKUP");
  mount.minor = 2;
  EXPECT_EQ(FindLabel(sources.labelFolder, mount), "");
}

TEST(ConfiguredMountsTest, TableLinesAndMountUnitsNameTheirFolders) {
  const std::pair<std::string, std::string> lines[] = {
      {"UUID=1 /mnt/backup ext4 defaults 0 2", "/mnt/backup"},
      {"LABEL=x\t/media/My\\040Disk\tvfat\tnoauto 0 0", "/media/My Disk"},
      {"tmpfs /srv/cache/ tmpfs defaults 0 0", "/srv/cache"},
      {"  # UUID=2 /mnt/old ext4 defaults", ""},
      {"", ""},
      {"/dev/sda2 none swap sw 0 0", ""},
      {"/swapfile /swapfile swap defaults 0 0", ""}};
  for (const auto& [line, point] : lines) EXPECT_EQ(FstabMountPoint(line), point) << line;
  EXPECT_EQ(
      MountUnitWhere("[Unit]\nDescription=d\n\n[Mount]\nWhat=/dev/sdb1\n Where=/mnt/usb/ \r\n"),
      "/mnt/usb");
  EXPECT_EQ(MountUnitWhere("[Mount]\nWhat=/dev/sdb1\n"), "");
}

}  // namespace
}  // namespace tolvan::platform
