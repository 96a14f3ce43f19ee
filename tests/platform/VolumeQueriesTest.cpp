#include "platform/VolumeQueries.h"

#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include <cstdlib>

#include "TempFolder.h"
#include "platform/ConfiguredMounts.h"
#include "platform/LinuxFileSystem.h"
#include "platform/MountedVolumes.h"
#include "platform/PathText.h"
#include "platform/ShortNames.h"
#include "support/CannotRunHere.h"

namespace tolvan::platform::testing {
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
  for (const std::string path : {"m nt/inner", "m nt/inner/not/yet", "m nt", "m ntx/not/yet"}) {
    ASSERT_EQ(fs.volumeLabel(tmp / path, label), 0);
    EXPECT_EQ(label, path == "m ntx/not/yet" ? "" : "My Disk") << path;
  }
  // Listed in the table, same device as its parent.
  EXPECT_EQ(std::pair(fs.isMountPoint(tmp / "m nt"), fs.isMountPoint(tmp / "m nt/inner")),
            std::pair(true, false));
  EXPECT_EQ(DecodeEscapes("odd\\x2"), "odd\\x2");
  MountEntry mount;
  EXPECT_FALSE(ParseMountInfoLine("garbage", mount));

  if (::geteuid() != 0) TOLVAN_CANNOT_RUN_HERE("needs root to make a block device node");
  ASSERT_EQ(::mknod((tmp / "blockdev").c_str(), S_IFBLK | 0600, makedev(7, 1)), 0);
  ASSERT_EQ(::symlink("../blockdev", (tmp / "labels/BACKUP").c_str()), 0);
  ::unlink((tmp / "labels/My\\x20Disk").c_str());
  // A source name that need not exist: the device number decides.
  for (const auto& [minor, name] : {std::pair{1u, "BACKUP"}, {2u, ""}})
    EXPECT_EQ(FindLabel(sources.labelFolder, {7, minor, "/", "ext4", "/dev/root"}), name);
}

// The configured mounts name their folders; of the mounted ones only real volumes are kept,
// with their labels and the home volume first.
TEST(MountTablesTest, ConfiguredMountsNameTheirFoldersMountedOnesKeepRealVolumesHomeFirst) {
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

  // A desktop's table: pseudo file systems, the system's tmpfs, a snap, a container's overlay
  // layers, and the volumes a user backs up to or from.
  const char* const table =
      "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
      "23 26 0:6 / /dev rw,relatime - devtmpfs udev rw\n"
      "24 23 0:22 / /dev/shm rw - tmpfs tmpfs rw\n"
      "26 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
      "27 26 0:24 / /run rw - tmpfs tmpfs rw\n"
      "32 26 7:1 / /snap/core/100 ro - squashfs /dev/loop1 ro\n"
      "33 26 8:3 / /home rw shared:5 - ext4 /dev/sda3 rw\n"
      "34 27 8:17 / /run/media/ann/USB\\040STICK rw - vfat /dev/sdb1 rw\n"
      "35 26 0:40 / /var/lib/docker/overlay2/abc/merged rw - overlay overlay rw\n"
      "36 26 8:33 / /mnt/backup rw - ext4 /dev/sdc1 rw\n"
      "39 26 8:34 / /mnt/backup rw - ext4 /dev/sdc2 rw\n";
  const auto volumes = ParseMountedVolumes(
      table, {{"/dev/sdb1", "STICK"}, {"/dev/sdc2", "Backup Disk"}}, "/home/ann");
  std::vector<std::string> names;
  for (const auto& volume : volumes) names.push_back(VolumeDisplayName(volume));
  // /mnt/backup is mounted twice: the later mount is the one seen.
  EXPECT_EQ(names, (std::vector<std::string>{"/home", "/", "/mnt/backup [Backup Disk]",
                                             "/run/media/ann/USB STICK [STICK]"}));
  EXPECT_EQ(VolumeIndexOf(volumes, "/run/media/ann/USB STICK/photos"), 3);
  EXPECT_EQ(VolumeIndexOf(volumes, "/homework"), 1);  // a prefix of the name is not a parent
  EXPECT_EQ(VolumeIndexOf(volumes, "relative"), -1);
}

// The 8.3 aliases of a FAT volume in restore batch files, and the path itself elsewhere.
TEST(ShortNamesTest, AFatVolumeGivesTheAliasOfEveryComponentOnItAndOthersThePathItself) {
  TempFolder tmp;
  WriteText(tmp / "Long Name.text", "x");
  std::string out;
  EXPECT_EQ(ShortPathOf(tmp / "Long Name.text", out), 0);
  EXPECT_EQ(out, tmp / "Long Name.text");
  EXPECT_EQ(ShortPathOf(tmp / "missing", out), ENOENT);
  const std::string image = tmp / "fat.img", point = tmp / "mnt";
  const std::string make = "truncate -s 4M '" + image + "' && mkfs.vfat '" + image +
                           "' >/dev/null 2>&1 && mkdir '" + point + "'";
  if (std::system(make.c_str()) != 0) GTEST_SKIP() << "mkfs.vfat is not installed";
  const std::string mount = "mount -o loop -t vfat '" + image + "' '" + point + "' 2>/dev/null";
  if (::geteuid() != 0 || std::system(mount.c_str()) != 0)
    GTEST_SKIP() << "this kernel cannot mount a vfat image here (no FAT driver or no loop)";
  ::mkdir((point + "/Program Files").c_str(), 0755);
  WriteText(point + "/Program Files/Readme First.txt", "x");
  const int error = ShortPathOf(point + "/Program Files/Readme First.txt", out);
  ::umount2(point.c_str(), MNT_DETACH);
  ASSERT_EQ(error, 0);
  EXPECT_EQ(out, point + "/PROGRA~1/README~1.TXT");
}

}  // namespace
}  // namespace tolvan::platform::testing
