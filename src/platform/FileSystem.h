#pragma once

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/PathIdentity.h"

namespace tolvan::platform {

class Trash;

enum class EntryKind : std::uint8_t { Missing, File, Directory, Symlink, Special };

// Attribute bits in the form the report and the conditions have always used.
inline constexpr std::uint32_t kAttrReadOnly = 1;
inline constexpr std::uint32_t kAttrHidden = 2;
inline constexpr std::uint32_t kAttrSystem = 4;
inline constexpr std::uint32_t kAttrDirectory = 16;
inline constexpr std::uint32_t kAttrLink = 1024;

// What lstat says about one entry. A symbolic link is described, never followed.
struct FileStat {
  EntryKind kind = EntryKind::Missing;
  std::uint32_t attributes = 0;
  std::int64_t size = -1;
  std::int64_t mtimeSeconds = 0;  // Unix time, UTC
  std::int32_t mtimeNanoseconds = 0;
  std::uint32_t mode = 0;  // permission bits only (07777)
  // Which folder this is, whatever path led to it: a bind mount's root gives the bound
  // folder's pair.
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

// One folder's entries, read one at a time so memory does not grow with the folder.
// "." and ".." are never returned.
class DirectoryListing {
 public:
  virtual ~DirectoryListing() = default;
  // 0: `name` and `stat` describe the next entry (`name` is valid until the next call);
  // -1: the listing has ended; a positive value: the errno of a read that failed.
  [[nodiscard]] virtual int next(std::string_view& name, FileStat& stat) = 0;
};

// A file held open for writing with writing denied to every other opener (the run lock).
class LockedFile {
 public:
  virtual ~LockedFile() = default;
  // Writes at once, ahead of any bytes held back; 0 or the errno of the failed write.
  [[nodiscard]] virtual int write(std::string_view bytes) = 0;
  // Keeps `bytes` back, to be written with others by writeHeld (or close), and by a second
  // stop signal that ends the program at once, so they are not lost then. 0 or the errno of
  // a write it needed.
  [[nodiscard]] virtual int hold(std::string_view bytes) { return write(bytes); }
  // Writes the bytes held back; 0 or an errno.
  [[nodiscard]] virtual int writeHeld() { return 0; }
  // Empties the file, which stays held; 0 or an errno.
  [[nodiscard]] virtual int truncate() = 0;
  // Flushes and releases the lock; 0 or an errno. The destructor closes too.
  [[nodiscard]] virtual int close() = 0;
};

enum class OpenMode : std::uint8_t { Append, Truncate };

enum class Side : std::uint8_t { Master, Backup };

// What a copy returns when its source changed while it was read (its size, modification or
// change time moved, or its name leads to another file now): nothing was put in place. Above
// every errno the kernel gives (1 to 4095), so no errno is ever taken for it.
inline constexpr int kChangedWhileCopied = 4096;

// Every file-system call of the engine, the conditions files and the scheduler goes through
// this interface. Paths are absolute POSIX paths without a trailing "/" (except "/" itself).
// Every method returns 0 or an errno value.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // --- Walking and looking up (never follows a link) ---
  [[nodiscard]] virtual std::unique_ptr<DirectoryListing> openListing(const std::string& dir,
                                                                      int& error) = 0;
  // A listing for walks that decide on kinds alone: an entry that is not a folder is described
  // by its kind and by the attributes its name gives (hidden, link), from the folder's own
  // listing, without a lookup of its own; its size, time and permissions are unknown. A folder
  // is described in full.
  [[nodiscard]] virtual std::unique_ptr<DirectoryListing> openKindListing(const std::string& dir,
                                                                          int& error) {
    return openListing(dir, error);
  }
  // lstat of one path. ENOENT and ENOTDIR mean "no such entry".
  [[nodiscard]] virtual int statEntry(const std::string& path, FileStat& out) = 0;
  // The text of the link at `path` (never followed).
  [[nodiscard]] virtual int readLink(const std::string& path, std::string& text) = 0;
  // The last component of `path` as the folder stores it (differs from the path's own
  // spelling on case-blind file systems). ENOENT when the folder stores it in no spelling,
  // even if a lookup just found it (a cache that outlived the entry).
  [[nodiscard]] virtual int storedName(const std::string& path, std::string& name) = 0;

  // A file system object of its own for another thread, with the same write root, for
  // listings, lookups and copyOnWorker only; nullptr where there is none (walks then
  // take turns, and copies are made by the walk itself).
  [[nodiscard]] virtual std::unique_ptr<FileSystem> forAnotherThread() { return nullptr; }
  // The time one lookup of `path` takes when answered by the volume itself rather than a
  // cache (0 where unknown): how long each round trip of a walk there waits.
  [[nodiscard]] virtual std::int64_t lookupNanoseconds(const std::string& /*path*/) { return 0; }

  // --- The two sides of a run ---
  // Holds the master's root folder open from now on (empty text lets go): every listing and
  // lookup at or below it starts from that descriptor and follows no link below it, so that
  // a volume unmounted during a run is still read through it, never its bare mount point.
  virtual void setReadRoot(const std::string&) {}
  // 0 while the path of the side's held root (the read root or the write root) still leads
  // to the folder held since it was set; ENODEV when it leads to another folder, or the errno
  // of a lookup of the path that failed (or of the root's own open). 0 when none is held.
  [[nodiscard]] virtual int checkHeldRoot(Side) { return 0; }
  // Which folder the side's held root is: 0 and `out`, or the errno of the root's own open;
  // ENOENT while none is held.
  [[nodiscard]] virtual int heldRootIdentity(Side, EntryIdentity& /*out*/) { return ENOENT; }

  // --- Changing the backup tree ---
  // Below this folder no symbolic link is followed by any write or delete, not even in the
  // middle of a path. The folder is held open from now on, and every change starts from that
  // descriptor, never from the path again. Empty text clears it. A folder of the running user's own
  // without the owner's write or search permission is given both for a change inside it, and its
  // bits are put back right after.
  virtual void setWriteRoot(const std::string& root) = 0;
  // Replaces `target` atomically with a copy of `source`: content (or link text), permission
  // bits, owner when running as root, and modification time to the nanosecond. The copy is
  // written under a temporary name in the target's folder and renamed over the old entry;
  // with `trash` given, the old entry is moved to it just before the rename, and a failed
  // move leaves everything as it was. Never leaves the temporary file behind. A file that
  // changed while it was read gives kChangedWhileCopied, the old entry left as it was.
  [[nodiscard]] virtual int copyFile(const std::string& source, const std::string& target,
                                     Trash* trash) = 0;
  // copyFile for a target that was found missing: an entry that has taken the name since is
  // left as it is, with EEXIST.
  [[nodiscard]] virtual int copyNewFile(const std::string& source, const std::string& target) = 0;
  // For another thread's object (forAnotherThread): copyNewFile (`replace` false) or copyFile
  // without trash (`replace` true) of a regular file, in a folder that needs no widening.
  // ENOTSUP, with nothing done, where this object cannot make the copy; EACCES where it may
  // take a widened folder (the caller's own object then makes it).
  [[nodiscard]] virtual int copyOnWorker(const std::string&, const std::string&, bool /*replace*/) {
    return ENOTSUP;
  }
  // Whether the backup volume holding the folder `dir` is addressed by path on a server that
  // follows the links there itself (a share such as sshfs): a link's own time cannot be set
  // there, and no folder can be held open against a link swapped in on the server. Learnt
  // once per run, from the first link copied or from a probe link made in `dir`; false while
  // no probe could be made.
  [[nodiscard]] virtual bool followsLinksByPath(const std::string& /*dir*/) { return false; }
  [[nodiscard]] virtual int makeDirectory(const std::string& path) = 0;
  [[nodiscard]] virtual int setPermissions(const std::string& path, std::uint32_t mode) = 0;
  // Removes a file, link, special file or empty folder; never what a link points to.
  [[nodiscard]] virtual int removeEntry(const std::string& path) = 0;
  // Removes a folder with everything below it (or any single entry).
  [[nodiscard]] virtual int removeTree(const std::string& path) = 0;
  // Moves the entry into `trash`; a folder that moves needs write permission of its own.
  [[nodiscard]] virtual int moveToTrash(const std::string& path, Trash& trash) = 0;

  // --- Volumes ---
  // Space the running user can write (f_bavail) and the volume's size, in bytes.
  [[nodiscard]] virtual int diskSpace(const std::string& path, std::uint64_t& freeBytes,
                                      std::uint64_t& totalBytes) = 0;
  // The label of the volume holding `path`; empty text when it has none.
  [[nodiscard]] virtual int volumeLabel(const std::string& path, std::string& label) = 0;
  [[nodiscard]] virtual bool isMountPoint(const std::string& path) = 0;
  // `path` with the 8.3 alias of each component where the volume keeps one (FAT), else the
  // path itself; 0 or an errno (ENOENT for a path that does not exist).
  [[nodiscard]] virtual int shortPath(const std::string& path, std::string& out) = 0;
  // True when `path` lies at or below a folder that the system names as a mount point
  // (/etc/fstab, mount units) while nothing is mounted there: the folder is not the volume.
  [[nodiscard]] virtual bool isOnUnmountedVolume(const std::string& path) = 0;

  // --- Small text files (reports, conditions files, list file) ---
  // These are regular files of their own: a link (ELOOP), a folder (EISDIR) or any other
  // kind of entry (EINVAL) in their place is refused, never followed, waited on or written.
  // Opens and locks; EAGAIN in `error` (and only then) means another opener holds the lock.
  // A file that has other names as well is refused too (EMLINK).
  [[nodiscard]] virtual std::unique_ptr<LockedFile> openLocked(const std::string& path,
                                                               OpenMode mode, int& error) = 0;
  // At most 1 MiB (EFBIG past it).
  [[nodiscard]] virtual int readFile(const std::string& path, std::string& content) = 0;
  // Written to a temporary name and renamed into place.
  [[nodiscard]] virtual int writeFile(const std::string& path, std::string_view content) = 0;
  [[nodiscard]] virtual int renameEntry(const std::string& from, const std::string& to) = 0;
  // Creates the folder and its missing parents.
  [[nodiscard]] virtual int makeDirectories(const std::string& path) = 0;

  // --- Identity ---
  // Follows every link of `path` to the entry it reaches (ENOENT when there is none) and
  // gives that entry's resolved path and lineage.
  [[nodiscard]] virtual int resolvePath(const std::string& path, ResolvedPath& out) = 0;
};

}  // namespace tolvan::platform
