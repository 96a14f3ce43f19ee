#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvan::platform {

// Any object that removes or renames folders calls this, so every cache drops descriptors
// that may now point at a folder moved away from its path.
void NoteFoldersChanged();
// Changes each time NoteFoldersChanged is called.
[[nodiscard]] std::uint64_t FolderGeneration();

enum class CaseRule : std::uint8_t { Unknown, Sensitive, Blind };

// A few open folder descriptors keyed by path, least recently used replaced first. Walks look
// up one entry after the other in the same few folders; reopening the folder for every entry
// would cost a path resolution each time.
class DirectoryFdCache {
 public:
  struct Slot {
    std::string path;
    int fd = -1;
    std::uint64_t lastUse = 0;
    CaseRule caseRule = CaseRule::Unknown;  // letter-case behaviour of this folder's lookups
  };

  DirectoryFdCache() = default;
  DirectoryFdCache(const DirectoryFdCache&) = delete;
  DirectoryFdCache& operator=(const DirectoryFdCache&) = delete;
  ~DirectoryFdCache() { clear(); }

  // The cached slot for `path`, or nullptr.
  [[nodiscard]] Slot* find(std::string_view path);
  // Takes ownership of `fd` for `path`, replacing the least recently used slot.
  Slot& insert(std::string_view path, int fd);
  void clear();

 private:
  void dropIfStale();

  static constexpr std::size_t kSlots = 8;
  std::array<Slot, kSlots> slots_{};
  std::uint64_t clock_ = 0;
  std::uint64_t generation_ = 0;
};

}  // namespace tolvan::platform
