#include "platform/FolderSpellings.h"

#include <dirent.h>
#include <fcntl.h>

#include "platform/DirectoryFdCache.h"
#include "platform/FolderNames.h"

namespace tolvan::platform {
namespace {

std::string UpperAscii(std::string_view name) {
  std::string upper(name);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

}  // namespace

bool FolderSpellings::find(std::string_view folderPath, int folderFd, std::string_view name,
                           std::string& stored) {
  if (folder_ != folderPath || generation_ != FolderGeneration()) read(folderPath, folderFd);
  if (folder_.empty()) return false;
  const std::string upper = UpperAscii(name);
  if (changed_.count(upper) != 0) return false;
  const auto found = byUpperCase_.find(upper);
  if (found == byUpperCase_.end()) return false;
  stored = found->second;
  return true;
}

void FolderSpellings::noteChange(std::string_view folderPath, std::string_view name) {
  if (folder_ == folderPath) changed_.insert(UpperAscii(name));
}

void FolderSpellings::read(std::string_view folderPath, int folderFd) {
  folder_.clear();
  byUpperCase_.clear();
  changed_.clear();
  (void)ForEachName(folderFd, [&](DIR*, std::string_view name) {
    // A case-blind folder holds one name of each spelling. A folder taken for one because of
    // hard links named in other letter cases holds more: those are not answered here.
    const auto [at, added] = byUpperCase_.emplace(UpperAscii(name), name);
    if (!added) changed_.insert(at->first);
    return true;
  });
  folder_.assign(folderPath);
  generation_ = FolderGeneration();
}

}  // namespace tolvan::platform
