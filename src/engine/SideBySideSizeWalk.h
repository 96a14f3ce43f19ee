#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/FileOps.h"
#include "engine/TreeListings.h"
#include "platform/FileSystem.h"

namespace tolvan {

struct Engine;

// The size walk of one tree on a thread of its own, while the caller walks the other tree:
// the two walks wait on the disk side by side. Counts and sizes are those of TreeSize. With
// a file system that cannot give a second object, the tree is walked at once, in turn.
class SideBySideSizeWalk {
 public:
  // `records` receive what TreeSizeWith keeps of the tree.
  SideBySideSizeWalk(Engine& engine, std::string folder, std::int16_t childDir,
                     SizeWalkRecords records = {});
  // Ends the walk at its next entry and waits for it.
  ~SideBySideSizeWalk();
  SideBySideSizeWalk(const SideBySideSizeWalk&) = delete;
  SideBySideSizeWalk& operator=(const SideBySideSizeWalk&) = delete;

  // Waits for the walk, letting events run, and gives its bytes; adds its folder and file
  // counts. A stop request ends it as it ends TreeSize. Called once.
  [[nodiscard]] double finish(std::int64_t& folders, std::int64_t& files);

 private:
  void walk();

  Engine& engine_;
  std::string folder_;
  std::int16_t childDir_;
  SizeWalkRecords records_;
  std::unique_ptr<platform::FileSystem> fs_;
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;
  std::condition_variable ended_;
  bool done_ = false;  // guarded by mutex_
  double bytes_ = 0;
  std::int64_t folders_ = 0;
  std::int64_t files_ = 0;
  std::thread thread_;
};

}  // namespace tolvan
