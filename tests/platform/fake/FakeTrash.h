#pragma once

#include <cerrno>
#include <string>
#include <vector>

#include "platform/Trash.h"
#include "platform/fake/FakeFileSystem.h"

namespace tolvan::platform {

// Takes entries out of a FakeFileSystem and keeps them, so tests can see what was trashed.
class FakeTrash : public Trash {
 public:
  explicit FakeTrash(FakeFileSystem& fs) : fs_(fs) {}
  int moveToTrash(const std::string& path) override {
    if (failWith != 0) return failWith;
    if (fs_.linkOnTheWay(path)) return ELOOP;
    if (!fs_.exists(path)) return ENOENT;
    auto nodes = fs_.detach(path);
    contents.insert(contents.end(), nodes.begin(), nodes.end());
    trashed.push_back(path);
    return 0;
  }

  int failWith = 0;                  // every move fails with this errno when non-zero
  std::vector<std::string> trashed;  // top paths moved, in order
  std::vector<FakeFileSystem::Node> contents;

 private:
  FakeFileSystem& fs_;
};

}  // namespace tolvan::platform
