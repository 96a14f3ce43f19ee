#include "platform/LinuxLockedFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/OwnFiles.h"

namespace tolvan::platform {
namespace {

int LockWholeFile(int fd) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // to the end, however far the file grows
  if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) return 0;
  // A conflicting lock may be said either way; callers tell it from an open refused for
  // permission (EACCES) by EAGAIN alone.
  return errno == EACCES ? EAGAIN : errno;
}

}  // namespace

int LinuxLockedFile::write(std::string_view bytes) {
  if (!fd_.valid()) return EBADF;
  const int error = WriteAll(fd_.get(), bytes);
  if (held_ != nullptr) held_->wroteAhead(bytes.size());
  return error;
}

int LinuxLockedFile::hold(std::string_view bytes) {
  if (!fd_.valid()) return EBADF;
  if (held_ == nullptr) held_ = HeldBytes::claim(fd_.get());
  if (held_ == nullptr || !held_->fits(bytes.size())) {
    if (const int error = writeHeld(); error != 0) return error;
  }
  if (held_ == nullptr || !held_->fits(bytes.size())) return WriteAll(fd_.get(), bytes);
  return held_->append(bytes);
}

int LinuxLockedFile::writeHeld() {
  if (held_ == nullptr) return 0;
  const std::string_view bytes = held_->bytes();
  const int error = bytes.empty() ? 0 : WriteAll(fd_.get(), bytes);
  held_->clear();  // what failed to go is lost either way; the error says so
  return error;
}

int LinuxLockedFile::truncate() {
  if (!fd_.valid()) return EBADF;
  if (held_ != nullptr) held_->clear();
  return ::ftruncate(fd_.get(), 0) == 0 ? 0 : errno;
}

int LinuxLockedFile::close() {
  if (!fd_.valid()) return 0;
  const int held = writeHeld();
  if (held_ != nullptr) held_->release();
  held_ = nullptr;
  const int closed = fd_.closeChecked();
  return held != 0 ? held : closed;
}

std::unique_ptr<LockedFile> OpenLockedFile(const std::string& path, OpenMode mode, int& error) {
  const int append = mode == OpenMode::Append ? O_APPEND : 0;
  // No O_TRUNC: a file another process holds must not lose its content to a failed attempt.
  UniqueFd fd;
  error = OpenOwnFileToWrite(path, append, fd);
  if (error != 0) return nullptr;
  error = LockWholeFile(fd.get());
  if (error == 0 && mode == OpenMode::Truncate && ::ftruncate(fd.get(), 0) != 0) error = errno;
  if (error != 0) return nullptr;
  return std::make_unique<LinuxLockedFile>(std::move(fd));
}

}  // namespace tolvan::platform
