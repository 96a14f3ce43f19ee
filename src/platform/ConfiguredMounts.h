#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/VolumeQueries.h"

namespace tolvan::platform {

// The folder a file-system table line mounts a volume on; empty text for a comment, a blank
// line, swap, or an entry without a folder ("none").
[[nodiscard]] std::string FstabMountPoint(std::string_view line);
// The Where= folder of a mount unit's text; empty text when there is none.
[[nodiscard]] std::string MountUnitWhere(std::string_view unit);
// Every folder the table and the mount units name as a mount point.
[[nodiscard]] std::vector<std::string> ConfiguredMountPoints(const VolumeSources& sources);
// True when `path` lies at or below a folder that the table or a mount unit names as a mount
// point and nothing is mounted there now: what it holds is not the volume's content.
[[nodiscard]] bool IsOnUnmountedVolume(const VolumeSources& sources, const std::string& path);

}  // namespace tolvan::platform
