#include "platform/LinuxFileSystem.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>

#include "platform/ConfiguredMounts.h"
#include "platform/LinuxListing.h"
#include "platform/LinuxLockedFile.h"
#include "platform/NoFollowPermissions.h"
#include "platform/OwnFiles.h"
#include "platform/PathResolution.h"
#include "platform/PathText.h"
#include "platform/ShortNames.h"
#include "platform/StoredSpelling.h"
#include "platform/TemporaryFile.h"
#include "platform/Trash.h"
#include "platform/TreeRemoval.h"
#include "platform/UniqueFd.h"

namespace tolvan::platform {

LinuxFileSystem::LinuxFileSystem(VolumeSources volumes)
    : volumes_(std::move(volumes)), root_(::geteuid() == 0) {}

LinuxFileSystem::~LinuxFileSystem() = default;

void LinuxFileSystem::DiscardPartialCopyFromSignalHandler() {
  DiscardNotedTemporary();
}

// --- Walking and looking up ---

std::unique_ptr<DirectoryListing> LinuxFileSystem::openListing(const std::string& dir, int& error) {
  return openListingWith(dir, error, ListingDetail::Full);
}

std::unique_ptr<DirectoryListing> LinuxFileSystem::openKindListing(const std::string& dir,
                                                                   int& error) {
  return openListingWith(dir, error, ListingDetail::Kinds);
}

std::unique_ptr<DirectoryListing> LinuxFileSystem::openListingWith(const std::string& dir,
                                                                   int& error,
                                                                   ListingDetail detail) {
  UniqueFd folder;
  error = rootForReading(dir).openFolder(dir, O_RDONLY, folder);
  if (error != 0) return nullptr;
  auto listing = std::make_unique<LinuxListing>(std::move(folder), error, detail);
  if (error != 0) return nullptr;
  return listing;
}

NoFollowRoot& LinuxFileSystem::rootForReading(std::string_view dir) {
  return readRoot_.covers(dir) ? readRoot_ : writeRoot_;
}

NoFollowRoot* LinuxFileSystem::heldRootOf(std::string_view dir) {
  if (readRoot_.covers(dir)) return &readRoot_;
  return writeRoot_.covers(dir) ? &writeRoot_ : nullptr;
}

int LinuxFileSystem::lookup(const std::string& path, struct stat& st,
                            DirectoryFdCache::Slot** folder) {
  *folder = nullptr;
  if (path.size() < 2 || path.front() != '/') {
    return ::lstat(path.c_str(), &st) == 0 ? 0 : errno;
  }
  const std::string_view parent = ParentOf(path);
  DirectoryFdCache::Slot* slot = lookupFolders_.find(parent);
  if (slot == nullptr) {
    UniqueFd fd;
    if (NoFollowRoot* held = heldRootOf(parent)) {
      // Below a held root its path is no longer to be trusted.
      if (int e = held->openFolder(parent, O_PATH, fd); e != 0) return e;
    } else {
      scratch_.assign(parent);
      // O_PATH: a folder that may be searched but not read still gives its entries.
      fd.reset(::open(scratch_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
      if (!fd.valid()) return ::lstat(path.c_str(), &st) == 0 ? 0 : errno;  // the exact error
    }
    slot = &lookupFolders_.insert(parent, fd.release());
  }
  if (::fstatat(slot->fd, path.c_str() + NameOffset(path), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return errno;
  *folder = slot;
  return 0;
}

int LinuxFileSystem::statEntry(const std::string& path, FileStat& out) {
  out = FileStat{};
  struct stat st {};
  DirectoryFdCache::Slot* folder = nullptr;
  lastFound_.clear();
  if (int e = lookup(path, st, &folder); e != 0) return e;
  out = FileStatFrom(st, NameOf(path));
  if (folder != nullptr) lastFound_.assign(path);  // keeps its capacity: no allocation once warm
  return 0;
}

int LinuxFileSystem::readLink(const std::string& path, std::string& text) {
  struct stat st {};
  DirectoryFdCache::Slot* folder = nullptr;
  if (int e = lookup(path, st, &folder); e != 0) return e;
  if (!S_ISLNK(st.st_mode)) return EINVAL;
  if (folder == nullptr) return ReadLinkText(AT_FDCWD, path.c_str(), st.st_size, text);
  return ReadLinkText(folder->fd, path.c_str() + NameOffset(path), st.st_size, text);
}

bool LinuxFileSystem::justFoundAsSpelled(const std::string& path) {
  if (path != lastFound_) return false;
  // A folder that was renamed or removed since drops out of the cache here.
  const DirectoryFdCache::Slot* folder = lookupFolders_.find(ParentOf(path));
  return folder != nullptr && folder->caseRule == CaseRule::Sensitive;
}

// A walk looks an entry up and then asks for its stored name: in a case-sensitive folder the
// answer is the name itself, and the second lookup is saved.
int LinuxFileSystem::storedName(const std::string& path, std::string& name) {
  if (justFoundAsSpelled(path)) {
    name.assign(NameOf(path));
    return 0;
  }
  struct stat st {};
  DirectoryFdCache::Slot* folder = nullptr;
  if (int e = lookup(path, st, &folder); e != 0) return e;
  name.assign(NameOf(path));
  if (folder == nullptr) return 0;
  return storedSpelling(*folder, path.c_str() + NameOffset(path), st, name);
}

// A folder is known case-sensitive once a name with its letter case swapped is not the same
// entry; only a case-blind folder is read to find the spelling it stores, once for all its
// entries while nothing changes there. A name the folder stores in no spelling is gone, however
// the lookup found it: a copy judged by such a lookup would never be written.
int LinuxFileSystem::storedSpelling(DirectoryFdCache::Slot& folder, const char* name,
                                    const struct stat& st, std::string& stored) {
  if (folder.caseRule == CaseRule::Sensitive) return 0;
  if (folder.caseRule == CaseRule::Unknown) {
    const CaseLookup lookup = CaseLookupFor(folder.fd, name, st, scratch_);
    if (lookup == CaseLookup::Gone) return ENOENT;
    if (lookup == CaseLookup::Unknown) return 0;
    folder.caseRule = lookup == CaseLookup::Blind ? CaseRule::Blind : CaseRule::Sensitive;
    if (lookup != CaseLookup::Blind) return 0;
  }
  if (spellings_.find(folder.path, folder.fd, name, stored)) return 0;
  return FindStoredSpelling(folder.fd, name, st.st_ino, stored) ? 0 : ENOENT;
}

// Nothing is shared but the held roots, each through a descriptor of its own: the other
// thread never opens a root by its path again.
std::unique_ptr<FileSystem> LinuxFileSystem::forAnotherThread() {
  auto other = std::make_unique<LinuxFileSystem>(volumes_);
  other->readRoot_.holdSameRootAs(readRoot_);
  other->writeRoot_.holdSameRootAs(writeRoot_);
  other->learnt_ = learnt_;
  return other;
}

namespace {

// The quickest of a few timed lookups of `path`, or 0 when one fails with anything but "no
// such entry".
std::int64_t QuickestLookup(const std::function<std::string(int)>& path) {
  constexpr int kTries = 3;
  std::int64_t quickest = 0;
  for (int i = 0; i < kTries; ++i) {
    const std::string probe = path(i);
    struct statx st {};
    const auto start = std::chrono::steady_clock::now();
    const int rc = ::statx(AT_FDCWD, probe.c_str(), AT_SYMLINK_NOFOLLOW | AT_STATX_FORCE_SYNC,
                           STATX_TYPE | STATX_MTIME, &st);
    const std::int64_t took = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::chrono::steady_clock::now() - start)
                                  .count();
    if (rc != 0 && errno != ENOENT && errno != ENOTDIR) return 0;
    if (i == 0 || took < quickest) quickest = took;
  }
  return quickest;
}

// Lookups the volume must answer itself: `path` forced past the kernel's cache, and names
// below it that were never there, which no cache of the file system's own can answer either
// (a network file system's client may keep the attributes of `path` itself for a while).
std::int64_t MeasureLookup(const std::string& path) {
  const std::int64_t forced = QuickestLookup([&](int) { return path; });
  const std::string unseen =
      (path == "/" ? std::string() : path) + "/.tolvan-lookup-" + std::to_string(::getpid()) + "-" +
      std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-";
  const std::int64_t fresh = QuickestLookup([&](int i) { return unseen + std::to_string(i); });
  return forced == 0 || fresh == 0 ? 0 : std::max(forced, fresh);
}

}  // namespace

// Measured once per path while the roots are held: the size walk and the copy pass ask alike.
std::int64_t LinuxFileSystem::lookupNanoseconds(const std::string& path) {
  {
    const std::lock_guard lock(learnt_->mutex);
    if (const auto known = learnt_->lookupTimes.find(path); known != learnt_->lookupTimes.end())
      return known->second;
  }
  const std::int64_t measured = MeasureLookup(path);
  const std::lock_guard lock(learnt_->mutex);
  learnt_->lookupTimes.emplace(path, measured);
  return measured;
}

// --- Changing the backup tree ---

void LinuxFileSystem::setReadRoot(const std::string& root) {
  readRoot_.setRoot(root);
  learnt_ = std::make_shared<LearntOfVolumes>();
  lookupFolders_.clear();
}

int LinuxFileSystem::checkHeldRoot(Side side) {
  return side == Side::Master ? readRoot_.stillAtPath() : writeRoot_.stillAtPath();
}

int LinuxFileSystem::heldRootIdentity(Side side, EntryIdentity& out) {
  return side == Side::Master ? readRoot_.identity(out) : writeRoot_.identity(out);
}

void LinuxFileSystem::setWriteRoot(const std::string& root) {
  writeRoot_.setRoot(root);
  writeFolders_.clear();
  learnt_ = std::make_shared<LearntOfVolumes>();
}

int LinuxFileSystem::writeParent(const std::string& path, int& folderFd, const char*& name) {
  lastFound_.clear();  // what was found may be gone now
  if (path.size() < 2 || path.front() != '/') return EINVAL;
  name = path.c_str() + NameOffset(path);
  if (*name == '\0') return EINVAL;
  const std::string_view parent = ParentOf(path);
  spellings_.noteChange(parent, name);
  DirectoryFdCache::Slot* slot = writeFolders_.find(parent);
  if (slot == nullptr) {
    UniqueFd fd;
    if (int e = writeRoot_.openFolder(parent, O_PATH, fd); e != 0) return e;
    slot = &writeFolders_.insert(parent, fd.release());
  }
  folderFd = slot->fd;
  return 0;
}

int LinuxFileSystem::openFolderToChange(std::string_view dir, UniqueFd& out) {
  lastFound_.clear();  // what was found may be gone now
  spellings_.forget();
  return writeRoot_.openFolder(dir, O_PATH, out);
}

int LinuxFileSystem::makeDirectory(const std::string& path) {
  int folder = -1;
  const char* name = nullptr;
  if (int e = writeParent(path, folder, name); e != 0) return e;
  // The umask applies to the new folder's bits.
  return changeInFolderOf(path, [&] { return ::mkdirat(folder, name, 0777) == 0 ? 0 : errno; });
}

int LinuxFileSystem::setPermissions(const std::string& path, std::uint32_t mode) {
  int folder = -1;
  const char* name = nullptr;
  if (int e = writeParent(path, folder, name); e != 0) return e;
  // Not fchmodat(AT_SYMLINK_NOFOLLOW): where the C library cannot do that it says
  // EOPNOTSUPP, and any fallback by name could follow a link swapped in meanwhile.
  return ChangePermissionsNoFollow(folder, name, static_cast<mode_t>(mode & 07777));
}

int LinuxFileSystem::unlinkUnlessFolder(const std::string& path, int& folder, const char*& name) {
  if (int e = writeParent(path, folder, name); e != 0) return e;
  struct stat st {};
  if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  return ::unlinkat(folder, name, 0) == 0 ? 0 : errno;
}

int LinuxFileSystem::removeEntry(const std::string& path) {
  return changeInFolderOf(path, [&] { return removeEntryOnce(path); });
}

int LinuxFileSystem::removeEntryOnce(const std::string& path) {
  int folder = -1;
  const char* name = nullptr;
  if (int e = unlinkUnlessFolder(path, folder, name); e != EISDIR) return e;
  NoteFoldersChanged();
  return ::unlinkat(folder, name, AT_REMOVEDIR) == 0 ? 0 : errno;
}

int LinuxFileSystem::removeTree(const std::string& path) {
  return changeInFolderOf(path, [&] { return removeTreeOnce(path); });
}

int LinuxFileSystem::removeTreeOnce(const std::string& path) {
  int folder = -1;
  const char* name = nullptr;
  if (int e = unlinkUnlessFolder(path, folder, name); e != EISDIR) return e;
  UniqueFd tree;
  if (int e = OpenSubfolderToEmpty(folder, name, tree); e != 0) return e;
  NoteFoldersChanged();  // caches drop their descriptors at their next lookup, not before
  if (int e = RemoveFolderContents(std::move(tree)); e != 0) return e;
  return ::unlinkat(folder, name, AT_REMOVEDIR) == 0 ? 0 : errno;
}

// A folder that moves to another folder needs its own write permission as well as its
// folder's: its ".." entry changes.
int LinuxFileSystem::moveToTrash(const std::string& path, Trash& trash) {
  const int first = trash.moveToTrash(path);
  if (first != EACCES) return first;
  UniqueFd parent;
  if (openParentToWiden(path, parent) != 0) return first;
  WidenedFolder widenedParent;
  const bool parentWidened = widenedParent.widen(parent.get());
  UniqueFd entry(::openat(parent.get(), path.c_str() + NameOffset(path),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  WidenedFolder widenedEntry;
  const bool entryWidened = entry.valid() && widenedEntry.widen(entry.get());
  return parentWidened || entryWidened ? trash.moveToTrash(path) : first;
}

int LinuxFileSystem::openParentToWiden(const std::string& path, UniqueFd& folder) {
  if (path.size() < 2 || path.front() != '/') return EINVAL;
  return writeRoot_.openFolder(ParentOf(path), O_RDONLY, folder);
}

// --- Volumes ---

int LinuxFileSystem::diskSpace(const std::string& path, std::uint64_t& freeBytes,
                               std::uint64_t& totalBytes) {
  struct statvfs vfs {};
  if (::statvfs(path.c_str(), &vfs) != 0) return errno;
  freeBytes = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
  totalBytes = static_cast<std::uint64_t>(vfs.f_blocks) * vfs.f_frsize;
  return 0;
}

int LinuxFileSystem::volumeLabel(const std::string& path, std::string& label) {
  return VolumeLabelOf(volumes_, path, label);
}

int LinuxFileSystem::shortPath(const std::string& path, std::string& out) {
  return ShortPathOf(path, out);
}

bool LinuxFileSystem::isMountPoint(const std::string& path) {
  return IsMountPointPath(volumes_, path);
}

bool LinuxFileSystem::isOnUnmountedVolume(const std::string& path) {
  return IsOnUnmountedVolume(volumes_, path);
}

// --- Small text files ---

std::unique_ptr<LockedFile> LinuxFileSystem::openLocked(const std::string& path, OpenMode mode,
                                                        int& error) {
  return OpenLockedFile(path, mode, error);
}

int LinuxFileSystem::readFile(const std::string& path, std::string& content) {
  return ReadOwnFile(path, content);
}

int LinuxFileSystem::writeFile(const std::string& path, std::string_view content) {
  int folder = -1;
  const char* name = nullptr;
  if (int e = writeParent(path, folder, name); e != 0) return e;
  struct stat old {};
  const bool exists = ::fstatat(folder, name, &old, AT_SYMLINK_NOFOLLOW) == 0;
  if (exists && S_ISDIR(old.st_mode)) return EISDIR;
  TemporaryName temporary;
  UniqueFd out;
  if (int e = CreateTemporaryFile(folder, 0666, temporary, out); e != 0) return e;
  int e = WriteAll(out.get(), content);
  if (e == 0 && exists && S_ISREG(old.st_mode) && ::fchmod(out.get(), old.st_mode & 07777) != 0)
    e = errno;
  // The user's job files: on disk before they replace the old version.
  if (e == 0 && ::fsync(out.get()) != 0) e = errno;
  if (e == 0) e = out.closeChecked();
  if (e == 0 && ::renameat(folder, temporary, folder, name) != 0) e = errno;
  if (e != 0) {
    out.reset();
    RemoveTemporary(folder, temporary);
    return e;
  }
  ForgetTemporary();
  return 0;
}

int LinuxFileSystem::renameEntry(const std::string& from, const std::string& to) {
  int fromFolder = -1;
  int toFolder = -1;
  const char* fromName = nullptr;
  const char* toName = nullptr;
  if (int e = writeParent(from, fromFolder, fromName); e != 0) return e;
  UniqueFd fromHeld(::fcntl(fromFolder, F_DUPFD_CLOEXEC, 0));
  if (!fromHeld.valid()) return errno;
  if (int e = writeParent(to, toFolder, toName); e != 0) return e;
  const int result = ::renameat(fromHeld.get(), fromName, toFolder, toName) == 0 ? 0 : errno;
  NoteFoldersChanged();
  return result;
}

int LinuxFileSystem::makeDirectories(const std::string& path) {
  FileStat st;
  const int looked = statEntry(path, st);
  if (looked == 0) {
    if (st.kind == EntryKind::Directory) return 0;
    struct stat target {};
    const bool linkToFolder = st.kind == EntryKind::Symlink && ::stat(path.c_str(), &target) == 0 &&
                              S_ISDIR(target.st_mode);
    return linkToFolder ? 0 : ENOTDIR;
  }
  if (looked != ENOENT || path == "/") return looked;
  if (int e = makeDirectories(std::string(ParentOf(path))); e != 0) return e;
  const int made = makeDirectory(path);
  return made == EEXIST ? makeDirectories(path) : made;
}

int LinuxFileSystem::resolvePath(const std::string& path, ResolvedPath& out) {
  return ResolveWithLineage(path, out);
}

}  // namespace tolvan::platform
