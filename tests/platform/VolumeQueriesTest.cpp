#include <gtest/gtest.h>

#include <sys/sysmacros.h>

#include "TempFolder.h"
#include "platform/LinuxFileSystem.h"
#include "platform/PathText.h"
#include "platform/VolumeQueries.h"

namespace tolvan::platform {
namespace {

using testing::TempFolder;
using testing::WriteText;

TEST(PathTextTest, SplitsJoinsAndDecodes) {
  EXPECT_EQ(ParentOf("/a/b"), "/a");
  EXPECT_EQ(ParentOf("/a"), "/");
  EXPECT_EQ(ParentOf("/"), "/");
  EXPECT_EQ(NameOf("/a/b"), "b");
  EXPECT_EQ(NameOf("/"), "");
  EXPECT_EQ(JoinPath("/", "x"), "/x");
  EXPECT_EQ(JoinPath("/a", "x"), "/a/x");
  EXPECT_TRUE(IsAtOrBelow("/a/b", "/a"));
  EXPECT_TRUE(IsAtOrBelow("/a", "/a"));
  EXPECT_FALSE(IsAtOrBelow("/ab", "/a"));
  EXPECT_TRUE(IsAtOrBelow("/ab", "/"));
  EXPECT_EQ(DecodeEscapes("My\\x20Disk"), "My Disk");
  EXPECT_EQ(DecodeEscapes("/media/a\\040b"), "/media/a b");
  EXPECT_EQ(DecodeEscapes("odd\\x2"), "odd\\x2");
}

TEST(MountInfoTest, ParsesFieldsWithOptionalFieldsAndEscapes) {
  MountEntry entry;
  ASSERT_TRUE(ParseMountInfoLine(
      "36 35 98:0 / /media/My\\040Stick rw,noatime master:1 shared:7 - vfat /dev/sdb1 rw", entry));
  EXPECT_EQ(entry.major, 98u);
  EXPECT_EQ(entry.minor, 0u);
  EXPECT_EQ(entry.mountPoint, "/media/My Stick");
  EXPECT_EQ(entry.fsType, "vfat");
  EXPECT_EQ(entry.source, "/dev/sdb1");
  EXPECT_FALSE(ParseMountInfoLine("garbage", entry));
}

// A prepared mount table and label folder: the label is found through the device the
// mount came from.
class VolumeLabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::mkdir((tmp / "labels").c_str(), 0755);
    ::mkdir((tmp / "mnt").c_str(), 0755);
    ::mkdir((tmp / "mnt/inner").c_str(), 0755);
    WriteText(tmp / "device", "");
    WriteText(tmp / "other-device", "");
    ASSERT_EQ(::symlink("../device", (tmp / "labels/My\\x20Disk").c_str()), 0);
    ASSERT_EQ(::symlink("../other-device", (tmp / "labels/Other").c_str()), 0);
    WriteText(tmp / "mountinfo",
              "26 1 254:0 / / rw - ext4 /dev/vda rw\n"
              "40 26 7:1 / " +
                  tmp.path() + "/mnt rw - ext4 " + tmp.path() + "/device rw\n");
    sources.mountInfo = tmp / "mountinfo";
    sources.labelFolder = tmp / "labels";
  }

  TempFolder tmp;
  VolumeSources sources;
};

TEST_F(VolumeLabelTest, LongestMountPointDecidesTheVolume) {
  MountEntry mount;
  ASSERT_TRUE(FindMount(sources.mountInfo, tmp / "mnt/inner", mount));
  EXPECT_EQ(mount.mountPoint, tmp / "mnt");
  ASSERT_TRUE(FindMount(sources.mountInfo, tmp / "mntx", mount));
  EXPECT_EQ(mount.mountPoint, "/");
}

TEST_F(VolumeLabelTest, LabelIsDecodedAndEmptyWhenNoneMatches) {
  LinuxFileSystem fs(sources);
  std::string label;
  ASSERT_EQ(fs.volumeLabel(tmp / "mnt/inner", label), 0);
  EXPECT_EQ(label, "My Disk");
  ASSERT_EQ(fs.volumeLabel(tmp.path(), label), 0);
  EXPECT_EQ(label, "");
  // A folder that does not exist yet lies on the volume of its nearest existing parent.
  ASSERT_EQ(fs.volumeLabel(tmp / "mnt/inner/not/yet", label), 0);
  EXPECT_EQ(label, "My Disk");
  EXPECT_TRUE(fs.isMountPoint(tmp / "mnt"));  // listed in the table, same device as its parent
  EXPECT_FALSE(fs.isMountPoint(tmp / "mnt/inner"));
}

TEST_F(VolumeLabelTest, BlockDeviceMatchesByDeviceNumber) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a device node";
  ::unlink((tmp / "labels/Other").c_str());
  ASSERT_EQ(::mknod((tmp / "blockdev").c_str(), S_IFBLK | 0600, makedev(7, 1)), 0);
  ASSERT_EQ(::symlink("../blockdev", (tmp / "labels/BACKUP").c_str()), 0);
  ::unlink((tmp / "labels/My\\x20Disk").c_str());
  MountEntry mount;
  mount.major = 7;
  mount.minor = 1;
  mount.source = "/dev/root";  // a name that need not exist
  EXPECT_EQ(FindLabel(sources.labelFolder, mount), "BACKUP");
  mount.minor = 2;
  EXPECT_EQ(FindLabel(sources.labelFolder, mount), "");
}

}  // namespace
}  // namespace tolvan::platform
