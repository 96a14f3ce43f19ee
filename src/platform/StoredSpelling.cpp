#include "platform/StoredSpelling.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/UniqueFd.h"

namespace tolvan::platform {
namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

}  // namespace

bool SwapAsciiCase(std::string_view name, std::string& swapped) {
  swapped.assign(name);
  bool changed = false;
  for (char& c : swapped) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
      changed = true;
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
      changed = true;
    }
  }
  return changed;
}

void FindStoredSpelling(int folderFd, std::string_view name, ino_t inode, std::string& stored) {
  UniqueFd readable(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!readable.valid()) return;
  DIR* dir = ::fdopendir(readable.get());
  if (dir == nullptr) return;
  (void)readable.release();
  // The exact name wins wherever it comes; hard links may differ from it in case only.
  std::string found;
  bool exact = false;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view candidate(entry->d_name);
    if (candidate == name) {
      exact = true;
      break;
    }
    struct stat st {};
    if (found.empty() && EqualIgnoringAsciiCase(candidate, name) &&
        ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_ino == inode)
      found.assign(candidate);
  }
  if (!exact && !found.empty()) stored = found;
  ::closedir(dir);
}

}  // namespace tolvan::platform
