#include "platform/PathResolution.h"

#include <linux/limits.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/PathText.h"

namespace tolvan::platform {

static_assert(kPathLimit == PATH_MAX);

int ResolveWithLineage(const std::string& path, ResolvedPath& out) {
  out = ResolvedPath{};
  if (path.find('\0') != std::string::npos) return EINVAL;
  if (path.size() >= kPathLimit) return ENAMETOOLONG;
  errno = 0;
  std::string resolved = RealPath(path);
  if (resolved.empty()) return errno != 0 ? errno : ENOENT;
  for (std::string folder = resolved;; folder = std::string(ParentOf(folder))) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return errno;
    out.lineage.push_back({static_cast<std::uint64_t>(st.st_dev), st.st_ino});
    if (folder == "/") break;
  }
  out.path = std::move(resolved);
  return 0;
}

}  // namespace tolvan::platform
