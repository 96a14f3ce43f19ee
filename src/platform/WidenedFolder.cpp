#include "platform/WidenedFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvan::platform {
namespace {

constexpr mode_t kOwnerWriteAndSearch = S_IWUSR | S_IXUSR;

}  // namespace

WidenedFolder::~WidenedFolder() {
  if (folder_.valid()) (void)::fchmod(folder_.get(), bits_);
}

bool WidenedFolder::widen(int folderFd) {
  if (folder_.valid()) return false;
  struct stat st {};
  if (::fstat(folderFd, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  if ((st.st_mode & kOwnerWriteAndSearch) == kOwnerWriteAndSearch) return false;
  // Root needs no bits to write, and nobody else's folder is changed.
  const uid_t user = ::geteuid();
  if (user == 0 || st.st_uid != user) return false;
  UniqueFd own(::fcntl(folderFd, F_DUPFD_CLOEXEC, 0));
  if (!own.valid()) return false;
  const mode_t bits = st.st_mode & 07777;
  if (::fchmod(own.get(), bits | kOwnerWriteAndSearch) != 0) return false;
  folder_ = std::move(own);
  bits_ = bits;
  return true;
}

}  // namespace tolvan::platform
