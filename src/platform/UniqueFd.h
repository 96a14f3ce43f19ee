#pragma once

#include <unistd.h>

#include <string_view>
#include <utility>

namespace tolvan::platform {

// Owns one file descriptor and closes it when it goes out of scope.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(std::exchange(other.fd_, -1));
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  [[nodiscard]] int get() const { return fd_; }
  [[nodiscard]] bool valid() const { return fd_ >= 0; }
  [[nodiscard]] int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes and reports the close's own error (0 or an errno): a write may only fail there.
  [[nodiscard]] int closeChecked();

 private:
  int fd_ = -1;
};

// Writes every byte, carrying on after partial writes and signals; 0 or an errno.
[[nodiscard]] int WriteAll(int fd, std::string_view bytes);

}  // namespace tolvan::platform
