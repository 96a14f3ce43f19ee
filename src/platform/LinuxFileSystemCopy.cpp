// LinuxFileSystem::copyFile: the atomic replacement of one backup copy.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "platform/FileContentCopy.h"
#include "platform/LinuxFileSystem.h"
#include "platform/PathText.h"
#include "platform/TemporaryFile.h"
#include "platform/Trash.h"
#include "platform/UniqueFd.h"

namespace tolvan::platform {
namespace {

// Gives the temporary file the name unless an entry has it; EEXIST then. A file system that
// cannot refuse within the rename is asked first (an entry made just between the two steps
// would still be replaced, as by a plain rename).
int RenameUnlessTaken(int folderFd, const char* temporary, const char* name) {
  if (::renameat2(folderFd, temporary, folderFd, name, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  struct stat st {};
  if (::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  if (errno != ENOENT) return errno;
  return ::renameat(folderFd, temporary, folderFd, name) == 0 ? 0 : errno;
}

constexpr long long kSecond = 1'000'000'000;
// How long a file must have been left alone before its copy begins for its times to tell
// whether it changed while it was read.
constexpr long long kQuietNanoseconds = 100'000'000;

long long NanosecondsFrom(const struct timespec& from, const struct timespec& to) {
  return (static_cast<long long>(to.tv_sec) - from.tv_sec) * kSecond + (to.tv_nsec - from.tv_nsec);
}

// Whether `changed` lies less than the quiet time before `began` (or a little after: a
// fine-grained file time passes the coarse clock within its tick). A time far ahead, as a
// share whose server's clock runs ahead gives, tells nothing.
bool ChangedJustBefore(const struct timespec& changed, const struct timespec& began) {
  const long long age = NanosecondsFrom(changed, began);
  return age > -kSecond && age < kQuietNanoseconds;
}

// Waits until a file changed just now has been left alone for the quiet time (and a tick of
// the coarse clock): one saved a moment before the walk reached it is then copied at the first
// try.
void LetSettle(const struct timespec& changed) {
  constexpr long long kTick = 20'000'000;
  struct timespec now {};
  (void)::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  if (!ChangedJustBefore(changed, now)) return;
  const long long age = std::max(NanosecondsFrom(changed, now), 0LL);
  std::this_thread::sleep_for(std::chrono::nanoseconds(kQuietNanoseconds - age + kTick));
}

}  // namespace

int LinuxFileSystem::copyFile(const std::string& source, const std::string& target, Trash* trash) {
  return changeInFolderOf(target, [&] { return copyFileOnce(source, {target, trash}); });
}

int LinuxFileSystem::copyNewFile(const std::string& source, const std::string& target) {
  return changeInFolderOf(
      target, [&] { return copyFileOnce(source, {.target = target, .mustBeAbsent = true}); });
}

// No widening here: that changes a folder's bits, which only the walk's own thread may do.
int LinuxFileSystem::copyOnWorker(const std::string& source, const std::string& target,
                                  bool replace) {
  return copyFileOnce(source, {.target = target, .mustBeAbsent = !replace});
}

int LinuxFileSystem::copyFileOnce(const std::string& source, Replacement replacement) {
  const std::string& target = replacement.target;
  struct stat st {};
  DirectoryFdCache::Slot* sourceFolder = nullptr;
  if (int e = lookup(source, st, &sourceFolder); e != 0) return e;
  // Opened relative to the folder the lookup used: no second walk along the path.
  const int sourceAt = sourceFolder != nullptr ? sourceFolder->fd : AT_FDCWD;
  const char* sourceName =
      sourceFolder != nullptr ? source.c_str() + NameOffset(source) : source.c_str();
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return ENOTSUP;  // never opened

  int folder = -1;
  const char* name = nullptr;
  if (int e = writeParent(target, folder, name); e != 0) return e;
  // Only the trash needs to know beforehand whether an old copy exists. Without it the rename
  // refuses a folder in the target's place (EISDIR) and leaves it as it is.
  if (replacement.trash != nullptr) {
    struct stat old {};
    replacement.exists = ::fstatat(folder, name, &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (!replacement.exists && errno != ENOENT) return errno;
    if (replacement.exists && S_ISDIR(old.st_mode)) return EISDIR;
  }

  if (S_ISLNK(st.st_mode)) return copyLink(sourceAt, sourceName, st, folder, name, replacement);
  LetSettle(st.st_ctim);
  // The clock file times are taken from, read before the file's own times.
  struct timespec began {};
  (void)::clock_gettime(CLOCK_REALTIME_COARSE, &began);
  // O_NOFOLLOW and O_NONBLOCK: whatever took the file's place since the lookup is neither
  // followed nor waited on.
  UniqueFd in(::openat(sourceAt, sourceName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!in.valid()) return errno;
  if (::fstat(in.get(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return S_ISDIR(st.st_mode) ? EISDIR : ENOTSUP;
  return copyRegularFile({in.get(), st, sourceAt, sourceName, began}, folder, name, replacement);
}

namespace {

// A link under a fresh temporary name, noted for the signal handler.
int MakeTemporaryLink(int folderFd, const char* text, TemporaryName& temporary) {
  for (int attempt = 0;; ++attempt) {
    MakeTemporaryName(temporary);
    if (::symlinkat(text, folderFd, temporary) == 0) break;
    if (errno != EEXIST || attempt == 16) return errno;
  }
  NoteTemporary(folderFd, temporary);
  return 0;
}

// Whether the volume gives a link's own attributes to the link. A network file system may
// set them by path on a server that follows the link instead, changing the owner and time of
// whatever it points to, even outside the backup: a link to a name that does not exist tells,
// as that change then fails. No answer while no probe link can be made in the folder (one
// that refuses writes says nothing of the volume).
std::optional<bool> LinkAttributesStayOnTheLink(int folderFd) {
  TemporaryName nowhere;
  TemporaryName probe;
  MakeTemporaryName(nowhere);
  if (MakeTemporaryLink(folderFd, nowhere, probe) != 0) return std::nullopt;
  const struct timespec times[2] = {{0, UTIME_OMIT}, {1, 0}};
  const bool own = ::utimensat(folderFd, probe, times, AT_SYMLINK_NOFOLLOW) == 0;
  RemoveTemporary(folderFd, probe);
  return own;
}

// Owner first: changing it clears the set-user-ID and set-group-ID bits.
int GiveAttributesOf(const struct stat& source, int fd, bool root) {
  if (root && ::fchown(fd, source.st_uid, source.st_gid) != 0 && errno != EPERM && errno != EINVAL)
    return errno;
  if (::fchmod(fd, source.st_mode & 07777) != 0) return errno;
  const struct timespec times[2] = {source.st_atim, source.st_mtim};
  return ::futimens(fd, times) == 0 ? 0 : errno;
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The same file in the same state: a write since changes the size or the modification time,
// and any change of content or attributes the change time.
bool Unchanged(const struct stat& before, const struct stat& now) {
  return now.st_dev == before.st_dev && now.st_ino == before.st_ino &&
         now.st_size == before.st_size && SameTime(now.st_mtim, before.st_mtim) &&
         SameTime(now.st_ctim, before.st_ctim);
}

// Gives the unnamed file open as `fd` the name in `folderFd`; EEXIST when an entry has it.
int NameUnnamedFile(int fd, int folderFd, const char* name) {
  if (::linkat(fd, "", folderFd, name, AT_EMPTY_PATH) == 0) return 0;
  if (errno == EEXIST) return EEXIST;
  // Without the capability AT_EMPTY_PATH needs, the descriptor's link in /proc does the same.
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), folderFd, name, AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

// Whether the source held still while it was read, as the open file says and as its name
// says now (a file renamed into its place since, or gone, is a change too): 0,
// kChangedWhileCopied or an errno. Asked before the copy is put in place, which a moved
// source forbids: its copy may mix the old content and the new. A file changed just before
// its copy began counts as moved: a later write in the same tick of the clock leaves its times
// as they were, and a write that set them then may still be writing its bytes (a writer held
// up in the middle of it).
int SourceHeldStill(int fd, const struct stat& opened, const struct timespec& began, int folderFd,
                    const char* name) {
  if (ChangedJustBefore(opened.st_ctim, began)) return kChangedWhileCopied;
  struct stat now {};
  if (::fstat(fd, &now) != 0) return errno;
  if (!Unchanged(opened, now)) return kChangedWhileCopied;
  if (::fstatat(folderFd, name, &now, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT ? kChangedWhileCopied : errno;
  return Unchanged(opened, now) ? 0 : kChangedWhileCopied;
}

}  // namespace

// A new file is written as a file without a name, which a killed run cannot leave behind, and
// named once complete; the name is never taken from an entry that has it. `named` is false
// when the file system cannot do this, and nothing was done.
int LinuxFileSystem::copyAsUnnamedFile(const CopySource& source, int folderFd, const char* name,
                                       bool& named) {
  named = false;
  UniqueFd out(::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (!out.valid()) return errno;
  int e = CopyFileContent(source.fd, out.get(), source.opened, copyBuffer_);
  if (e == 0) e = GiveAttributesOf(source.opened, out.get(), root_);
  if (e == 0)
    e = SourceHeldStill(source.fd, source.opened, source.began, source.folderFd, source.name);
  if (e != 0) {
    named = true;  // a failure of the copy itself, not of the way it is made
    return e;
  }
  e = NameUnnamedFile(out.get(), folderFd, name);
  if (e != 0 && e != EEXIST) return e;
  named = true;
  if (e != 0) return e;
  // A network file system may only say at the close that the content did not all arrive.
  if (e = out.closeChecked(); e != 0) (void)::unlinkat(folderFd, name, 0);
  return e;
}

int LinuxFileSystem::copyRegularFile(const CopySource& source, int folderFd, const char* name,
                                     const Replacement& replacement) {
  // A volume that cannot is asked once, not for every file.
  if (replacement.mustBeAbsent && learnt_->unnamedFiles != UnnamedFiles::Fail) {
    bool named = false;
    const int e = copyAsUnnamedFile(source, folderFd, name, named);
    if (named) {
      learnt_->unnamedFiles = UnnamedFiles::Work;
      return e;
    }
    // Older kernels refuse the flag with EISDIR; a refused folder says nothing of the volume.
    if (e == EOPNOTSUPP || e == EISDIR || e == EINVAL) learnt_->unnamedFiles = UnnamedFiles::Fail;
  }
  TemporaryName temporary;
  UniqueFd out;
  if (int e = CreateTemporaryFile(folderFd, 0600, temporary, out); e != 0) return e;
  int e = CopyFileContent(source.fd, out.get(), source.opened, copyBuffer_);
  if (e == 0) e = GiveAttributesOf(source.opened, out.get(), root_);
  if (e == 0) e = out.closeChecked();  // a full disk may only show here
  if (e == 0)
    e = SourceHeldStill(source.fd, source.opened, source.began, source.folderFd, source.name);
  if (e == 0) e = replaceTarget(folderFd, temporary, name, replacement);
  if (e != 0) {
    out.reset();
    RemoveTemporary(folderFd, temporary);
    return e;
  }
  ForgetTemporary();
  return 0;
}

int LinuxFileSystem::ReadLinkText(int at, const char* name, std::int64_t size, std::string& text) {
  text.assign(static_cast<std::size_t>(size > 0 ? size : 255) + 1, '\0');
  for (;;) {
    const ssize_t n = ::readlinkat(at, name, text.data(), text.size());
    if (n < 0) return errno;
    if (static_cast<std::size_t>(n) < text.size()) {
      text.resize(static_cast<std::size_t>(n));
      return 0;
    }
    text.resize(text.size() * 2);  // the link grew since it was looked up
  }
}

LinuxFileSystem::LinkAttributes LinuxFileSystem::learnLinkAttributes(int folderFd) {
  if (learnt_->linkAttributes == LinkAttributes::Unknown) {
    if (const std::optional<bool> own = LinkAttributesStayOnTheLink(folderFd))
      learnt_->linkAttributes = *own ? LinkAttributes::Own : LinkAttributes::Followed;
  }
  return learnt_->linkAttributes;
}

bool LinuxFileSystem::followsLinksByPath(const std::string& dir) {
  if (learnt_->linkAttributes != LinkAttributes::Unknown)
    return learnt_->linkAttributes == LinkAttributes::Followed;
  UniqueFd folder;
  return openFolderToChange(dir, folder) == 0 &&
         learnLinkAttributes(folder.get()) == LinkAttributes::Followed;
}

int LinuxFileSystem::copyLink(int sourceAt, const char* sourceName, const struct stat& st,
                              int folderFd, const char* name, const Replacement& replacement) {
  std::string text;
  if (int e = ReadLinkText(sourceAt, sourceName, st.st_size, text); e != 0) return e;
  // Where setting them would follow the link, it keeps the owner and time of its making
  // rather than change whatever it points to.
  const bool ownAttributes = learnLinkAttributes(folderFd) == LinkAttributes::Own;
  TemporaryName temporary;
  if (int e = MakeTemporaryLink(folderFd, text.c_str(), temporary); e != 0) return e;
  int e = 0;
  if (ownAttributes && root_ &&
      ::fchownat(folderFd, temporary, st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW) != 0 &&
      errno != EPERM && errno != EINVAL)
    e = errno;
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (e == 0 && ownAttributes && ::utimensat(folderFd, temporary, times, AT_SYMLINK_NOFOLLOW) != 0)
    e = errno;
  if (e == 0) e = replaceTarget(folderFd, temporary, name, replacement);
  if (e != 0) {
    RemoveTemporary(folderFd, temporary);
    return e;
  }
  ForgetTemporary();
  return 0;
}

// The old copy goes to the trash only now that the new one is complete; the rename then
// replaces the entry itself (a link as a link, never what it points to).
int LinuxFileSystem::replaceTarget(int folderFd, const char* temporary, const char* name,
                                   const Replacement& replacement) {
  if (replacement.mustBeAbsent) return RenameUnlessTaken(folderFd, temporary, name);
  if (replacement.trash != nullptr && replacement.exists) {
    if (int e = replacement.trash->moveToTrash(replacement.target); e != 0) return e;
  }
  return ::renameat(folderFd, temporary, folderFd, name) == 0 ? 0 : errno;
}

}  // namespace tolvan::platform
