#pragma once

#include <memory>
#include <string>

#include "platform/FileSystem.h"
#include "platform/HeldBytes.h"
#include "platform/UniqueFd.h"

namespace tolvan::platform {

// A file held with an exclusive open-file-description lock, so every other opener that asks
// for the lock (another process, or another open in this one) fails until it is closed.
class LinuxLockedFile : public LockedFile {
 public:
  explicit LinuxLockedFile(UniqueFd fd) : fd_(std::move(fd)) {}
  ~LinuxLockedFile() override { (void)close(); }
  LinuxLockedFile(const LinuxLockedFile&) = delete;
  LinuxLockedFile& operator=(const LinuxLockedFile&) = delete;

  int write(std::string_view bytes) override;
  int hold(std::string_view bytes) override;
  int writeHeld() override;
  int truncate() override;
  int close() override;

  // Writes what every open locked file holds back, for a signal handler that ends the
  // program (async-signal-safe).
  static void WriteHeldFromSignalHandler() { HeldBytes::WriteAllFromSignalHandler(); }

 private:
  UniqueFd fd_;
  HeldBytes* held_ = nullptr;  // taken at the first hold
};

// Opens (creating it when missing) and locks `path`, a regular file with no other name,
// reached without a link. A lock held elsewhere gives EAGAIN in `error`, and only that: any
// other error is a failure to open or to truncate.
[[nodiscard]] std::unique_ptr<LockedFile> OpenLockedFile(const std::string& path, OpenMode mode,
                                                         int& error);

}  // namespace tolvan::platform
