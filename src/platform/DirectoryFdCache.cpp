#include "platform/DirectoryFdCache.h"

#include <unistd.h>

#include <atomic>

namespace tolvan::platform {
namespace {

std::atomic<std::uint64_t> gFolderGeneration{0};

}  // namespace

void NoteFoldersChanged() {
  gFolderGeneration.fetch_add(1, std::memory_order_relaxed);
}

std::uint64_t FolderGeneration() {
  return gFolderGeneration.load(std::memory_order_relaxed);
}

void DirectoryFdCache::dropIfStale() {
  const auto current = FolderGeneration();
  if (current != generation_) {
    clear();
    generation_ = current;
  }
}

DirectoryFdCache::Slot* DirectoryFdCache::find(std::string_view path) {
  dropIfStale();
  for (auto& slot : slots_) {
    if (slot.fd >= 0 && slot.path == path) {
      slot.lastUse = ++clock_;
      return &slot;
    }
  }
  return nullptr;
}

DirectoryFdCache::Slot& DirectoryFdCache::insert(std::string_view path, int fd) {
  dropIfStale();
  Slot* victim = &slots_[0];
  for (auto& slot : slots_) {
    if (slot.fd < 0) {
      victim = &slot;
      break;
    }
    if (slot.lastUse < victim->lastUse) victim = &slot;
  }
  if (victim->fd >= 0) ::close(victim->fd);
  victim->path.assign(path);  // keeps its capacity: no allocation once warm
  victim->fd = fd;
  victim->lastUse = ++clock_;
  victim->caseRule = CaseRule::Unknown;
  return *victim;
}

void DirectoryFdCache::clear() {
  for (auto& slot : slots_) {
    if (slot.fd >= 0) ::close(slot.fd);
    slot.fd = -1;
  }
}

}  // namespace tolvan::platform
