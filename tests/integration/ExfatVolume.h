#pragma once

#include <string>

namespace tolvan::testing {

// A small exFAT volume, as on a USB drive, in an image file attached to a loop device and
// mounted through FUSE (the kernel may have no exFAT driver of its own). Unmounted and
// detached when destroyed, whatever the test did.
class ExfatVolume {
 public:
  // Makes `image` and mounts it on the existing folder `mountPoint`; see `ready()`.
  ExfatVolume(const std::string& image, const std::string& mountPoint);
  ~ExfatVolume();
  ExfatVolume(const ExfatVolume&) = delete;
  ExfatVolume& operator=(const ExfatVolume&) = delete;

  [[nodiscard]] bool ready() const { return whyNot_.empty(); }
  // Why there is no volume (missing root rights, /dev/fuse, tools, or a step that failed).
  [[nodiscard]] const std::string& whyNot() const { return whyNot_; }

 private:
  [[nodiscard]] std::string attachAndMount(const std::string& image);

  std::string mountPoint_;
  std::string loopDevice_;
  bool mounted_ = false;
  std::string whyNot_;
};

}  // namespace tolvan::testing
