#include "platform/HeldBytes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tolvan::platform {
namespace {

static_assert(std::atomic<int>::is_always_lock_free &&
              std::atomic<std::size_t>::is_always_lock_free &&
              std::atomic<long long>::is_always_lock_free);

// Two report files are open at a time; the others are to spare.
constexpr std::size_t kBuffers = 4;
std::atomic<bool> gTaken[kBuffers];
HeldBytes gBuffers[kBuffers];

}  // namespace

HeldBytes* HeldBytes::claim(int fd) {
  for (std::size_t i = 0; i < kBuffers; ++i) {
    bool expected = false;
    if (!gTaken[i].compare_exchange_strong(expected, true)) continue;
    gBuffers[i].length_.store(0);
    gBuffers[i].fd_.store(fd);
    return &gBuffers[i];
  }
  return nullptr;
}

void HeldBytes::release() {
  fd_.store(-1);
  length_.store(0);
  gTaken[static_cast<std::size_t>(this - gBuffers)].store(false);
}

int HeldBytes::append(std::string_view bytes) {
  const std::size_t held = length();
  if (held == 0) {
    struct stat st {};
    if (::fstat(fd_.load(), &st) != 0) return errno;
    fileSizeAtStart_.store(st.st_size);
  }
  std::memcpy(buffer_ + held, bytes.data(), bytes.size());
  length_.store(held + bytes.size(), std::memory_order_release);
  return 0;
}

void HeldBytes::writeFromSignalHandler() {
  const int fd = fd_.load();
  const std::size_t held = length();
  if (fd < 0 || held == 0) return;
  struct stat st {};
  if (::fstat(fd, &st) != 0) return;
  // A write of the buffer that was under way when the signal came has put in part of it.
  const long long inFile = st.st_size - fileSizeAtStart_.load();
  std::size_t done = inFile <= 0 ? 0 : static_cast<std::size_t>(inFile);
  while (done < held) {
    const ssize_t n = ::write(fd, buffer_ + done, held - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

void HeldBytes::WriteAllFromSignalHandler() {
  const int saved = errno;
  for (std::size_t i = 0; i < kBuffers; ++i) {
    if (gTaken[i].load()) gBuffers[i].writeFromSignalHandler();
  }
  errno = saved;
}

}  // namespace tolvan::platform
