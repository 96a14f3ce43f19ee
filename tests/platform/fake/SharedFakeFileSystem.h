#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/fake/FakeFileSystem.h"

namespace tolvan::platform {

// A FakeFileSystem whose tree other threads read through objects of their own
// (forAnotherThread), as over a network share: every listing open, entry read and lookup
// waits `roundTrip` first and takes one lock. The other threads' objects only read.
class SharedFakeFileSystem : public FakeFileSystem {
 public:
  SharedFakeFileSystem() = default;

  std::chrono::microseconds roundTrip{0};
  std::int64_t lookupNs = 0;       // what lookupNanoseconds says
  std::size_t listingsOpened = 0;  // through this object, not its other threads' objects

  std::unique_ptr<DirectoryListing> openListing(const std::string& dir, int& error) override {
    std::this_thread::sleep_for(tree_.roundTrip);
    ++listingsOpened;
    const std::lock_guard lock(tree_.mutex_);
    auto listing = tree_.FakeFileSystem::openListing(dir, error);
    if (listing == nullptr) return nullptr;
    return std::make_unique<Listing>(tree_, std::move(listing));
  }
  int statEntry(const std::string& path, FileStat& out) override {
    std::this_thread::sleep_for(tree_.roundTrip);
    const std::lock_guard lock(tree_.mutex_);
    return tree_.FakeFileSystem::statEntry(path, out);
  }
  std::unique_ptr<FileSystem> forAnotherThread() override {
    return std::unique_ptr<FileSystem>(new SharedFakeFileSystem(tree_));
  }
  std::int64_t lookupNanoseconds(const std::string&) override { return tree_.lookupNs; }

 private:
  explicit SharedFakeFileSystem(SharedFakeFileSystem& tree) : tree_(tree) {}

  class Listing : public DirectoryListing {
   public:
    Listing(SharedFakeFileSystem& tree, std::unique_ptr<DirectoryListing> inner)
        : tree_(tree), inner_(std::move(inner)) {}
    int next(std::string_view& name, FileStat& stat) override {
      std::this_thread::sleep_for(tree_.roundTrip);
      const std::lock_guard lock(tree_.mutex_);
      return inner_->next(name, stat);
    }

   private:
    SharedFakeFileSystem& tree_;
    std::unique_ptr<DirectoryListing> inner_;
  };

  SharedFakeFileSystem& tree_ = *this;  // the object the test built, which holds the tree
  std::mutex mutex_;
};

}  // namespace tolvan::platform
