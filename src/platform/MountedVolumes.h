#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tolvan::platform {

// A mounted volume a user can back up to or from.
struct MountedVolume {
  std::string mountPoint;
  std::string source;  // the device as the mount table names it
  std::string label;   // empty when the volume has none
};

// The volume's name in the drive lists: the mount point, then " [LABEL]" when it has a label.
[[nodiscard]] std::string VolumeDisplayName(const MountedVolume& volume);

// The real file systems of a /proc/self/mountinfo text, the home folder's volume first and
// the others by mount point. Pseudo file systems, the system's own tmpfs and the mounts of
// containers and snaps are left out; a mount point mounted twice counts once, as the later
// mount that hides the earlier. `labels` maps a device path to its volume label.
[[nodiscard]] std::vector<MountedVolume> ParseMountedVolumes(
    std::string_view mountinfo, const std::map<std::string, std::string>& labels,
    const std::string& homeFolder);

// The volumes mounted now (labels from /dev/disk/by-label); only mount points that are
// folders count.
[[nodiscard]] std::vector<MountedVolume> MountedVolumes();

// The index of the volume holding `path` (the longest mount point that is a prefix of it), or
// -1 when none does.
[[nodiscard]] int VolumeIndexOf(const std::vector<MountedVolume>& volumes, const std::string& path);

}  // namespace tolvan::platform
