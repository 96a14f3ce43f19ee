#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace tolvan::platform {

// The names of the last case-blind folder read, by their upper-case ASCII form, so that a
// walk asking for the stored spelling of every entry reads such a folder once instead of once
// per entry. Names changed through this process since the folder was read, and names held in
// more than one letter case, are not answered.
class FolderSpellings {
 public:
  // The spelling the folder at `folderPath` (descriptor `folderFd`) stores for `name`: true
  // with `stored` set when the answer is known from the folder read here.
  [[nodiscard]] bool find(std::string_view folderPath, int folderFd, std::string_view name,
                          std::string& stored);
  // `name` in the folder at `folderPath` is being created, replaced, renamed or removed.
  void noteChange(std::string_view folderPath, std::string_view name);
  // Anything may have changed.
  void forget() { folder_.clear(); }

 private:
  void read(std::string_view folderPath, int folderFd);

  std::string folder_;  // empty: nothing read
  std::uint64_t generation_ = 0;
  std::unordered_map<std::string, std::string> byUpperCase_;
  std::unordered_set<std::string> changed_;  // or held more than once; by upper case
};

}  // namespace tolvan::platform
