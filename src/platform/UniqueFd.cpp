#include "platform/UniqueFd.h"

#include <cerrno>

namespace tolvan::platform {

int UniqueFd::closeChecked() {
  if (fd_ < 0) return 0;
  const int result = ::close(std::exchange(fd_, -1));
  // EINTR still closes the descriptor on Linux; the data was handed over.
  return result == 0 || errno == EINTR ? 0 : errno;
}

}  // namespace tolvan::platform
