#pragma once

#include <sys/stat.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DirectoryFdCache.h"
#include "platform/FileSystem.h"
#include "platform/FolderSpellings.h"
#include "platform/LinuxListing.h"
#include "platform/NoFollowRoot.h"
#include "platform/VolumeQueries.h"
#include "platform/WidenedFolder.h"

namespace tolvan::platform {

// The file system of a Linux machine: lstat semantics everywhere, writes below the write
// root never follow a link, copies replace their target atomically.
class LinuxFileSystem : public FileSystem {
 public:
  explicit LinuxFileSystem(VolumeSources volumes = {});
  ~LinuxFileSystem() override;
  LinuxFileSystem(const LinuxFileSystem&) = delete;
  LinuxFileSystem& operator=(const LinuxFileSystem&) = delete;

  // Removes the temporary file of a copy in progress. Async-signal-safe (one unlinkat), for
  // a program that ends on a second interrupt while a copy is being written.
  static void DiscardPartialCopyFromSignalHandler();

  std::unique_ptr<DirectoryListing> openListing(const std::string& dir, int& error) override;
  std::unique_ptr<DirectoryListing> openKindListing(const std::string& dir, int& error) override;
  int statEntry(const std::string& path, FileStat& out) override;
  int readLink(const std::string& path, std::string& text) override;
  int storedName(const std::string& path, std::string& name) override;
  std::unique_ptr<FileSystem> forAnotherThread() override;
  std::int64_t lookupNanoseconds(const std::string& path) override;

  void setReadRoot(const std::string& root) override;
  int checkHeldRoot(Side side) override;
  int heldRootIdentity(Side side, EntryIdentity& out) override;
  void setWriteRoot(const std::string& root) override;
  int copyFile(const std::string& source, const std::string& target, Trash* trash) override;
  int copyNewFile(const std::string& source, const std::string& target) override;
  int copyOnWorker(const std::string& source, const std::string& target, bool replace) override;
  bool followsLinksByPath(const std::string& dir) override;
  int makeDirectory(const std::string& path) override;
  int setPermissions(const std::string& path, std::uint32_t mode) override;
  int removeEntry(const std::string& path) override;
  int removeTree(const std::string& path) override;
  int moveToTrash(const std::string& path, Trash& trash) override;

  int diskSpace(const std::string& path, std::uint64_t& freeBytes,
                std::uint64_t& totalBytes) override;
  int volumeLabel(const std::string& path, std::string& label) override;
  bool isMountPoint(const std::string& path) override;
  int shortPath(const std::string& path, std::string& out) override;
  bool isOnUnmountedVolume(const std::string& path) override;

  std::unique_ptr<LockedFile> openLocked(const std::string& path, OpenMode mode,
                                         int& error) override;
  int readFile(const std::string& path, std::string& content) override;
  int writeFile(const std::string& path, std::string_view content) override;
  int renameEntry(const std::string& from, const std::string& to) override;
  int makeDirectories(const std::string& path) override;

  // Opens folder `dir` the way every change opens it: below the write root without following
  // any link (ELOOP). For the trash, which moves entries out of it.
  [[nodiscard]] int openFolderToChange(std::string_view dir, UniqueFd& out);
  int resolvePath(const std::string& path, ResolvedPath& out) override;

  // For tests: resolve no-follow paths one component at a time, as on kernels before 5.6.
  void resolveStepByStep() {
    writeRoot_.setUseKernelResolve(false);
    readRoot_.setUseKernelResolve(false);
  }

 private:
  [[nodiscard]] std::unique_ptr<DirectoryListing> openListingWith(const std::string& dir,
                                                                  int& error, ListingDetail detail);
  // lstat of `path` through a cached descriptor of its folder.
  [[nodiscard]] int lookup(const std::string& path, struct stat& st,
                           DirectoryFdCache::Slot** folder);
  // A descriptor of the folder that holds `path` for changing it (no-follow below the write
  // root) and the entry's name in it. Valid until the next call.
  [[nodiscard]] int writeParent(const std::string& path, int& folderFd, const char*& name);
  // Removes `path` when it is not a folder; EISDIR for a folder, with its writeParent() left
  // for the caller to remove it.
  [[nodiscard]] int unlinkUnlessFolder(const std::string& path, int& folderFd, const char*& name);
  // How a finished copy takes the target's name.
  struct Replacement {
    const std::string& target;
    Trash* trash = nullptr;     // the old entry goes there first
    bool exists = false;        // known only with `trash`
    bool mustBeAbsent = false;  // EEXIST rather than replace anything
  };
  // One try of each change; the public methods try once more in a widened folder.
  [[nodiscard]] int copyFileOnce(const std::string& source, Replacement replacement);
  [[nodiscard]] int removeEntryOnce(const std::string& path);
  [[nodiscard]] int removeTreeOnce(const std::string& path);
  // `change` inside the folder holding `path`, tried once more with that folder widened
  // (WidenedFolder) when the folder refused it.
  template <typename Change>
  [[nodiscard]] int changeInFolderOf(const std::string& path, Change change) {
    return RetriedInWidenedFolder(
        change, [&](UniqueFd& folder) { return openParentToWiden(path, folder); });
  }
  // The folder holding `path`, opened for reading without following links below the root.
  [[nodiscard]] int openParentToWiden(const std::string& path, UniqueFd& folder);
  // The open source of a copy: its descriptor, its fstat when opened, where its name is, and
  // the coarse clock's time just before it was opened.
  struct CopySource {
    int fd;
    const struct stat& opened;
    int folderFd;
    const char* name;
    struct timespec began;
  };
  [[nodiscard]] int copyRegularFile(const CopySource& source, int folderFd, const char* name,
                                    const Replacement& replacement);
  [[nodiscard]] int copyAsUnnamedFile(const CopySource& source, int folderFd, const char* name,
                                      bool& named);
  // The link `name` in the folder `at`; `size` is what a lookup gave as its length.
  [[nodiscard]] static int ReadLinkText(int at, const char* name, std::int64_t size,
                                        std::string& text);
  enum class LinkAttributes : std::uint8_t { Unknown, Own, Followed };
  // What the backup volume does with a link's attributes, learnt from a probe link in
  // `folderFd` while unknown (and still unknown while no probe can be made there).
  [[nodiscard]] LinkAttributes learnLinkAttributes(int folderFd);
  [[nodiscard]] int copyLink(int sourceAt, const char* sourceName, const struct stat& st,
                             int folderFd, const char* name, const Replacement& replacement);
  [[nodiscard]] int storedSpelling(DirectoryFdCache::Slot& folder, const char* name,
                                   const struct stat& st, std::string& stored);
  // True when statEntry has just found `path` in a folder known to be case-sensitive, so
  // that the folder stores exactly the spelling of the path.
  [[nodiscard]] bool justFoundAsSpelled(const std::string& path);
  [[nodiscard]] int replaceTarget(int folderFd, const char* temporary, const char* name,
                                  const Replacement& replacement);

  // The held root at or above `dir`, if any.
  [[nodiscard]] NoFollowRoot* heldRootOf(std::string_view dir);
  // The root whose descriptors open `dir` for reading.
  [[nodiscard]] NoFollowRoot& rootForReading(std::string_view dir);

  VolumeSources volumes_;
  NoFollowRoot readRoot_{NoFollowRoot::Mounts::Cross};
  NoFollowRoot writeRoot_;
  DirectoryFdCache lookupFolders_;
  DirectoryFdCache writeFolders_;
  FolderSpellings spellings_;
  std::vector<char> copyBuffer_;
  std::string scratch_;  // reused for NUL-terminated folder paths
  // The path statEntry found last; emptied by every change made through writeParent.
  std::string lastFound_;
  bool root_ = false;  // running as root: copies keep their owner
  // What a run learns of its volumes once, shared with the objects for other threads and
  // forgotten with either root.
  enum class UnnamedFiles : std::uint8_t { Unknown, Work, Fail };
  struct LearntOfVolumes {
    // Whether the backup volume makes files without a name (O_TMPFILE): from the first new file.
    std::atomic<UnnamedFiles> unnamedFiles{UnnamedFiles::Unknown};
    // Whether setting a link's owner and time there changes the link, or what it points to
    // (then they are left as made): from the first link copied.
    std::atomic<LinkAttributes> linkAttributes{LinkAttributes::Unknown};
    std::mutex mutex;
    std::map<std::string, std::int64_t> lookupTimes;  // lookupNanoseconds' answers, by path
  };
  std::shared_ptr<LearntOfVolumes> learnt_ = std::make_shared<LearntOfVolumes>();
};

}  // namespace tolvan::platform
