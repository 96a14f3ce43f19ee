#include "platform/OpenFileLimit.h"

#include <sys/resource.h>

#include <cerrno>

namespace tolvan::platform {

int RaiseOpenFileLimit() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return errno;
  if (limit.rlim_cur == limit.rlim_max) return 0;
  limit.rlim_cur = limit.rlim_max;
  return ::setrlimit(RLIMIT_NOFILE, &limit) == 0 ? 0 : errno;
}

}  // namespace tolvan::platform
