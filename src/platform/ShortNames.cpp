#include "platform/ShortNames.h"

#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/UniqueFd.h"

namespace tolvan::platform {
namespace {

// The alias of `name` in the open folder `folder` when the folder is on a FAT volume;
// otherwise `name` itself. Exact long names win over names equal but for letter case.
std::string AliasIn(int folder, const std::string& name) {
  struct __fat_dirent entries[2];
  std::string caseBlindMatch;
  for (;;) {
    std::memset(entries, 0, sizeof entries);
    const int read = ::ioctl(folder, VFAT_IOCTL_READDIR_BOTH, entries);
    if (read <= 0) break;  // the end of the folder, or not a FAT folder (ENOTTY)
    const char* shortName = entries[0].d_name;
    const char* longName = entries[1].d_reclen != 0 ? entries[1].d_name : shortName;
    if (name == longName) return shortName;
    if (caseBlindMatch.empty() && ::strcasecmp(name.c_str(), longName) == 0)
      caseBlindMatch = shortName;
  }
  return caseBlindMatch.empty() ? name : caseBlindMatch;
}

}  // namespace

int ShortPathOf(const std::string& path, std::string& out) {
  struct stat st {};
  if (path.empty() || path.front() != '/') return ENOENT;
  if (::lstat(path.c_str(), &st) != 0) return errno;
  std::string walked;  // the real path so far, to open each folder
  out.clear();
  for (std::size_t start = 1; start <= path.size();) {
    const std::size_t slash = std::min(path.find('/', start), path.size());
    const std::string name = path.substr(start, slash - start);
    start = slash + 1;
    if (name.empty()) continue;
    const UniqueFd folder(
        ::open(walked.empty() ? "/" : walked.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    out += "/" + (folder.valid() ? AliasIn(folder.get(), name) : name);
    walked += "/" + name;
  }
  if (out.empty()) out = "/";
  return 0;
}

}  // namespace tolvan::platform
