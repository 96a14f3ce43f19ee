#include "platform/UniqueFd.h"

#include <cerrno>

namespace tolvan::platform {

int UniqueFd::closeChecked() {
  if (fd_ < 0) return 0;
  const int result = ::close(std::exchange(fd_, -1));
  // EINTR still closes the descriptor on Linux; the data was handed over.
  return result == 0 || errno == EINTR ? 0 : errno;
}

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

}  // namespace tolvan::platform
