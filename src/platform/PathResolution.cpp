#include "platform/PathResolution.h"

#include <fcntl.h>
#include <linux/limits.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "platform/PathText.h"
#include "platform/StoredSpelling.h"
#include "platform/UniqueFd.h"

namespace tolvan::platform {
namespace {

static_assert(kPathLimit == PATH_MAX);

// `resolved` (absolute, without links, "." or "..") with each name replaced by the spelling
// its folder stores where that folder is case-blind. One folder spelled in two letter cases
// then gives one text, and one lineage on volumes that number each spelling apart.
int StoredSpellings(const std::string& resolved, std::string& stored) {
  stored.clear();
  UniqueFd folder(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folder.valid()) return errno;
  for (std::size_t start = 1; start < resolved.size();) {
    const std::size_t end = std::min(resolved.find('/', start), resolved.size());
    const std::string name = resolved.substr(start, end - start);
    struct stat st {};
    if (::fstatat(folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    std::string spelling = name;
    FindStoredSpellingWhereCaseBlind(folder.get(), name, st, spelling);
    stored.push_back('/');
    stored.append(spelling);
    if (end < resolved.size()) {
      folder.reset(::openat(folder.get(), name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
      if (!folder.valid()) return errno;
    }
    start = end + 1;
  }
  if (stored.empty()) stored.push_back('/');
  return 0;
}

}  // namespace

int ResolveWithLineage(const std::string& path, ResolvedPath& out) {
  out = ResolvedPath{};
  if (path.find('\0') != std::string::npos) return EINVAL;
  if (path.size() >= kPathLimit) return ENAMETOOLONG;
  errno = 0;
  const std::string real = RealPath(path);
  if (real.empty()) return errno != 0 ? errno : ENOENT;
  std::string resolved;
  if (int e = StoredSpellings(real, resolved); e != 0) return e;
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
