#pragma once

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/fake/FakeFileSystem.h"

namespace tolvan::platform {

// A FakeFileSystem read by several threads, each through an object of its own
// (forAnotherThread), as over a network share: every listing open and every entry read waits
// `roundTrip` first, and every call into the tree takes one lock. Only reads are offered;
// changes are refused with EROFS.
class SharedFakeFileSystem : public FileSystem {
 public:
  struct Shared {
    FakeFileSystem tree;
    std::mutex mutex;
    std::chrono::microseconds roundTrip{0};
    std::int64_t lookupNs = 0;  // what lookupNanoseconds says
  };

  explicit SharedFakeFileSystem(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

  // Listings opened through this object (not its other threads' objects).
  std::size_t listingsOpened = 0;

  std::unique_ptr<DirectoryListing> openListing(const std::string& dir, int& error) override {
    waitRoundTrip();
    ++listingsOpened;
    const std::lock_guard lock(shared_->mutex);
    auto listing = shared_->tree.openListing(dir, error);
    if (listing == nullptr) return nullptr;
    return std::make_unique<Listing>(shared_, std::move(listing));
  }
  int statEntry(const std::string& path, FileStat& out) override {
    waitRoundTrip();
    const std::lock_guard lock(shared_->mutex);
    return shared_->tree.statEntry(path, out);
  }
  int storedName(const std::string& path, std::string& name) override {
    const std::lock_guard lock(shared_->mutex);
    return shared_->tree.storedName(path, name);
  }
  std::unique_ptr<FileSystem> forAnotherThread() override {
    return std::make_unique<SharedFakeFileSystem>(shared_);
  }
  std::int64_t lookupNanoseconds(const std::string&) override { return shared_->lookupNs; }

  void setWriteRoot(const std::string&) override {}
  int copyFile(const std::string&, const std::string&, Trash*) override { return EROFS; }
  int copyNewFile(const std::string&, const std::string&) override { return EROFS; }
  int makeDirectory(const std::string&) override { return EROFS; }
  int setPermissions(const std::string&, std::uint32_t) override { return EROFS; }
  int removeEntry(const std::string&) override { return EROFS; }
  int removeTree(const std::string&) override { return EROFS; }
  int moveToTrash(const std::string&, Trash&) override { return EROFS; }
  int diskSpace(const std::string&, std::uint64_t&, std::uint64_t&) override { return ENOSYS; }
  int volumeLabel(const std::string&, std::string&) override { return ENOSYS; }
  bool isMountPoint(const std::string&) override { return false; }
  int shortPath(const std::string&, std::string&) override { return ENOSYS; }
  bool isOnUnmountedVolume(const std::string&) override { return false; }
  std::unique_ptr<LockedFile> openLocked(const std::string&, OpenMode, int& error) override {
    error = EROFS;
    return nullptr;
  }
  int readFile(const std::string&, std::string&) override { return ENOSYS; }
  int writeFile(const std::string&, std::string_view) override { return EROFS; }
  int renameEntry(const std::string&, const std::string&) override { return EROFS; }
  int makeDirectories(const std::string&) override { return EROFS; }
  int resolvePath(const std::string&, ResolvedPath&) override { return ENOSYS; }

 private:
  class Listing : public DirectoryListing {
   public:
    Listing(std::shared_ptr<Shared> shared, std::unique_ptr<DirectoryListing> inner)
        : shared_(std::move(shared)), inner_(std::move(inner)) {}
    int next(std::string_view& name, FileStat& stat) override {
      std::this_thread::sleep_for(shared_->roundTrip);
      const std::lock_guard lock(shared_->mutex);
      return inner_->next(name, stat);
    }

   private:
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<DirectoryListing> inner_;
  };

  void waitRoundTrip() const { std::this_thread::sleep_for(shared_->roundTrip); }

  std::shared_ptr<Shared> shared_;
};

}  // namespace tolvan::platform
