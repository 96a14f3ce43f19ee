#include "engine/MountPoints.h"

namespace tolvan {

void MountPoints::note(std::string_view folder, std::uint64_t device) {
  if (devices_.size() < kMostNoted) devices_.emplace(std::string(folder), device);
}

std::uint64_t MountPoints::deviceOf(const std::string& folder) const {
  const auto found = devices_.find(folder);
  return found == devices_.end() ? 0 : found->second;
}

}  // namespace tolvan
