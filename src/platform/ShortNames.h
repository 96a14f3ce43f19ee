#pragma once

#include <string>

namespace tolvan::platform {

// `path` with each component that lies on a FAT volume replaced by the 8.3 alias the volume
// keeps for it (the kernel's FAT directory listing gives both names); components on other
// file systems stay as they are. 0, or the errno of a lookup that failed (ENOENT for a path
// that does not exist).
[[nodiscard]] int ShortPathOf(const std::string& path, std::string& out);

}  // namespace tolvan::platform
