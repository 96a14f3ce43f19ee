#include "platform/fake/FakeTrash.h"

#include <cerrno>

namespace tolvan::platform {

int FakeTrash::moveToTrash(const std::string& path) {
  if (failWith != 0) return failWith;
  if (fs_.linkOnTheWay(path)) return ELOOP;
  if (!fs_.exists(path)) return ENOENT;
  auto nodes = fs_.detach(path);
  contents.insert(contents.end(), nodes.begin(), nodes.end());
  trashed.push_back(path);
  return 0;
}

}  // namespace tolvan::platform
