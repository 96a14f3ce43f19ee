#include "platform/MountedVolumes.h"

#include <gtest/gtest.h>

namespace tolvan::platform {
namespace {

// A desktop's table: pseudo file systems, the system's tmpfs, a snap, a container's overlay
// layers, and the volumes a user backs up to or from.
constexpr const char* kMountInfo =
    "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
    "22 26 0:21 / /sys rw,relatime - sysfs sysfs rw\n"
    "23 26 0:6 / /dev rw,relatime - devtmpfs udev rw\n"
    "24 23 0:22 / /dev/shm rw - tmpfs tmpfs rw\n"
    "25 23 0:23 / /dev/pts rw - devpts devpts rw\n"
    "26 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "27 26 0:24 / /run rw - tmpfs tmpfs rw\n"
    "30 22 0:27 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
    "31 22 0:28 / /sys/kernel/debug rw - debugfs debugfs rw\n"
    "32 26 7:1 / /snap/core/100 ro - squashfs /dev/loop1 ro\n"
    "33 26 8:3 / /home rw shared:5 - ext4 /dev/sda3 rw\n"
    "34 27 8:17 / /run/media/ann/USB\\040STICK rw - vfat /dev/sdb1 rw\n"
    "35 26 0:40 / /var/lib/docker/overlay2/abc/merged rw - overlay overlay rw\n"
    "36 26 8:33 / /mnt/backup rw - ext4 /dev/sdc1 rw\n"
    "37 26 0:41 / /proc/sys/fs/binfmt_misc rw - binfmt_misc binfmt_misc rw\n"
    "38 27 0:42 / /run/user/1000 rw - tmpfs tmpfs rw\n"
    "39 26 8:34 / /mnt/backup rw - ext4 /dev/sdc2 rw\n";

TEST(MountedVolumesTest, KeepsRealVolumesWithLabelsAndTheHomeVolumeFirst) {
  const std::map<std::string, std::string> labels = {{"/dev/sdb1", "STICK"},
                                                     {"/dev/sdc2", "Backup Disk"}};
  const auto volumes = ParseMountedVolumes(kMountInfo, labels, "/home/ann");
  std::vector<std::string> names;
  for (const auto& volume : volumes) names.push_back(VolumeDisplayName(volume));
  // /mnt/backup is mounted twice: the later mount is the one seen.
  EXPECT_EQ(names, (std::vector<std::string>{"/home", "/", "/mnt/backup [Backup Disk]",
                                             "/run/media/ann/USB STICK [STICK]"}));
  EXPECT_EQ(VolumeIndexOf(volumes, "/run/media/ann/USB STICK/photos"), 3);
  EXPECT_EQ(VolumeIndexOf(volumes, "/homework"), 1);  // a prefix of the name is not a parent
  EXPECT_EQ(VolumeIndexOf(volumes, "relative"), -1);
}

}  // namespace
}  // namespace tolvan::platform
