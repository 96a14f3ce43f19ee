#include "ExfatVolume.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "ProgramRunner.h"

namespace tolvan::testing {
namespace {

bool IsMountedOn(const std::string& mountPoint) {
  struct stat own {};
  struct stat parent {};
  return ::stat(mountPoint.c_str(), &own) == 0 &&
         ::stat((mountPoint + "/..").c_str(), &parent) == 0 && own.st_dev != parent.st_dev;
}

}  // namespace

ExfatVolume::ExfatVolume(const std::string& image, const std::string& mountPoint)
    : mountPoint_(mountPoint) {
  if (::geteuid() != 0) {
    whyNot_ = "attaching a loop device needs root";
  } else if (::access("/dev/fuse", R_OK | W_OK) != 0) {
    whyNot_ = "no usable /dev/fuse";
  } else if (Shell("command -v losetup mkfs.exfat mount.exfat-fuse") != 0) {
    whyNot_ = "no losetup, mkfs.exfat or mount.exfat-fuse (scripts/setup.sh installs them)";
  } else {
    whyNot_ = attachAndMount(image);
  }
}

// mount.exfat-fuse mounts block devices only ("Block device required" for an image file),
// hence the loop device.
std::string ExfatVolume::attachAndMount(const std::string& image) {
  std::string output;
  if (Shell("truncate -s 16M '" + image + "' && mkfs.exfat '" + image + "'", &output) != 0)
    return "cannot make the image: " + output;
  if (Shell("losetup --find --show '" + image + "'", &output) != 0)
    return "losetup failed: " + output;
  loopDevice_ = output;
  if (Shell("mount.exfat-fuse " + loopDevice_ + " '" + mountPoint_ + "'", &output) != 0)
    return "mount.exfat-fuse failed: " + output;
  mounted_ = true;
  // The file system daemon may still be settling when the mount command returns.
  return WaitFor([&] { return IsMountedOn(mountPoint_); }, 5s)
             ? ""
             : mountPoint_ + " does not show the mounted volume";
}

ExfatVolume::~ExfatVolume() {
  if (mounted_ && Shell("umount '" + mountPoint_ + "' || fusermount -u '" + mountPoint_ + "'"))
    (void)::umount2(mountPoint_.c_str(), MNT_DETACH);  // gone as soon as it is no longer busy
  // The daemon may hold the device for a moment after the unmount.
  if (!loopDevice_.empty())
    (void)WaitFor([&] { return Shell("losetup -d " + loopDevice_) == 0; }, 5s);
}

}  // namespace tolvan::testing
