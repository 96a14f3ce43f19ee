#pragma once

#include <string>
#include <string_view>

namespace tolvan::platform {

// Where the volume queries look; tests point them at prepared files.
struct VolumeSources {
  std::string mountInfo = "/proc/self/mountinfo";
  std::string labelFolder = "/dev/disk/by-label";
  // Where volumes are expected to be mounted: the file system table and the mount units.
  std::string fstab = "/etc/fstab";
  std::string mountUnitFolder = "/etc/systemd/system";
};

// One line of the mount table.
struct MountEntry {
  unsigned major = 0;
  unsigned minor = 0;
  std::string mountPoint;
  std::string fsType;
  std::string source;
};

[[nodiscard]] bool ParseMountInfoLine(std::string_view line, MountEntry& out);
// The mount holding `resolvedPath` (no links in it): the longest mount point it lies at or
// below; of mounts stacked on one point the last counts.
[[nodiscard]] bool FindMount(const std::string& mountInfo, const std::string& resolvedPath,
                             MountEntry& out);
// The label of the volume mounted from `mount` as the label folder names it, or empty text.
[[nodiscard]] std::string FindLabel(const std::string& labelFolder, const MountEntry& mount);

[[nodiscard]] int VolumeLabelOf(const VolumeSources& sources, const std::string& path,
                                std::string& label);
[[nodiscard]] bool IsMountPointPath(const VolumeSources& sources, const std::string& path);

}  // namespace tolvan::platform
