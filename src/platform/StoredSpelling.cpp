#include "platform/StoredSpelling.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <cerrno>

#include "platform/FolderNames.h"

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

bool FolderListsBoth(int folderFd, std::string_view one, std::string_view other) {
  bool listsOne = false;
  bool listsOther = false;
  (void)ForEachName(folderFd, [&](DIR*, std::string_view candidate) {
    listsOne = listsOne || candidate == one;
    listsOther = listsOther || candidate == other;
    return !(listsOne && listsOther);
  });
  return listsOne && listsOther;
}

bool FindStoredSpelling(int folderFd, std::string_view name, ino_t inode, std::string& stored) {
  // The exact name wins wherever it comes; hard links may differ from it in case only.
  std::string sameEntry;
  std::string onlySpelling;
  int spellings = 0;
  bool exact = false;
  const bool readWhole = ForEachName(folderFd, [&](DIR* dir, std::string_view candidate) {
    exact = candidate == name;
    if (exact || !EqualIgnoringAsciiCase(candidate, name)) return !exact;
    if (++spellings == 1) onlySpelling.assign(candidate);
    struct stat st {};
    if (sameEntry.empty() &&
        ::fstatat(::dirfd(dir), candidate.data(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        st.st_ino == inode)
      sameEntry.assign(candidate);
    return true;
  });
  if (exact) return true;
  // Some FUSE file systems number each spelling looked up apart, so no number matches; a
  // case-blind folder holds only one name of any spelling.
  if (!sameEntry.empty()) {
    stored = sameEntry;
  } else if (spellings == 1) {
    stored = onlySpelling;
  }
  return spellings != 0 || !readWhole;
}

CaseLookup CaseLookupFor(int folderFd, std::string_view name, const struct stat& st,
                         std::string& swapped) {
  if (!SwapAsciiCase(name, swapped)) return CaseLookup::Unknown;
  struct stat other {};
  if (::fstatat(folderFd, swapped.c_str(), &other, AT_SYMLINK_NOFOLLOW) != 0) {
    // A FUSE volume answers a spelling looked up lately from the kernel's cache even after the
    // entry was removed under another one; only the volume itself can say it is still there.
    struct statx fresh {};
    const int flags = AT_SYMLINK_NOFOLLOW | AT_STATX_FORCE_SYNC;
    if (::statx(folderFd, std::string(name).c_str(), flags, STATX_TYPE, &fresh) != 0 &&
        (errno == ENOENT || errno == ENOTDIR))
      return CaseLookup::Gone;
    return CaseLookup::Sensitive;
  }
  const bool same = other.st_ino == st.st_ino && other.st_dev == st.st_dev;
  // Some FUSE file systems (exFAT) number each spelling looked up apart: there the two
  // spellings are two entries only when the folder lists both.
  return same || !FolderListsBoth(folderFd, name, swapped) ? CaseLookup::Blind
                                                           : CaseLookup::Sensitive;
}

void FindStoredSpellingWhereCaseBlind(int folderFd, const std::string& name, const struct stat& st,
                                      std::string& stored) {
  std::string swapped;
  if (CaseLookupFor(folderFd, name, st, swapped) == CaseLookup::Blind)
    (void)FindStoredSpelling(folderFd, name, st.st_ino, stored);
}

}  // namespace tolvan::platform
