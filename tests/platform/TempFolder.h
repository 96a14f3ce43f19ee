#pragma once

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace tolvan::platform::testing {

namespace stdfs = std::filesystem;

// A fresh folder under /tmp for one test, removed with everything in it afterwards.
class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/tolvan-test-XXXXXX";
    path_ = ::mkdtemp(pattern) != nullptr ? pattern : "";
  }
  ~TempFolder() {
    for (const auto& point : mounts_) ::umount2(point.c_str(), MNT_DETACH);
    if (path_.empty()) return;
    MakeRemovable(path_);
    std::error_code ignored;
    stdfs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  [[nodiscard]] const std::string& path() const { return path_; }
  [[nodiscard]] std::string operator/(const std::string& relative) const {
    return path_ + "/" + relative;
  }
  // Mounts a small tmpfs at `relative`; false when that is not possible (not root, or no
  // mount permission in this container).
  [[nodiscard]] bool mountTmpfs(const std::string& relative, const std::string& size) {
    const std::string point = *this / relative;
    ::mkdir(point.c_str(), 0755);
    const std::string options = "size=" + size;
    if (::geteuid() != 0 || ::mount("tmpfs", point.c_str(), "tmpfs", 0, options.c_str()) != 0)
      return false;
    mounts_.push_back(point);
    return true;
  }

 private:
  // Gives every folder its owner's permissions back, so a test's chmod 000 cannot block the
  // clean-up.
  static void MakeRemovable(const stdfs::path& folder) {
    std::error_code ignored;
    stdfs::permissions(folder, stdfs::perms::owner_all, stdfs::perm_options::add, ignored);
    for (const auto& entry : stdfs::directory_iterator(folder, ignored))
      if (entry.is_directory(ignored) && !entry.is_symlink(ignored)) MakeRemovable(entry.path());
  }

  std::string path_;
  std::vector<std::string> mounts_;
};

inline void WriteText(const std::string& path, const std::string& text, mode_t mode = 0644) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  ::chmod(path.c_str(), mode);
}

inline std::string ReadText(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// A Mirroring conditions file from `from` to `to`; each of `fields` ("Key=value") comes after,
// and so replaces, the default of its key (the last value of a key counts).
inline std::string JobFile(const std::string& from, const std::string& to,
                           const std::vector<std::string>& fields = {}) {
  std::string text =
      "** File Mirroring Conditions **\r\nNomalMode=yes\r\nUpDate= 0 \r\n"
      "TrashBox=no\r\nSize=no\r\nMatchCase=no\r\nReport=yes\r\nChildDir=yes\r\n"
      "DriveA=" +
      from + "\r\nDriveB=" + to + "\r\nTimer=no\r\nDateMode=0\r\nOnce=no\r\nTime=14:20\r\n";
  for (const std::string& field : fields) text += field + "\r\n";
  return text;
}

inline bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// Names in a folder, "." and ".." left out, sorted.
inline std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : stdfs::directory_iterator(folder, ignored))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Sets an entry's modification (and access) time to the nanosecond, not following a link.
inline void SetTimes(const std::string& path, long seconds, long nanoseconds) {
  const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

inline constexpr uid_t kNobody = 65534;

// Hands the folder and everything in it to "nobody" (when root), for a child run as "nobody".
inline void GiveToNobody(const std::string& folder) {
  if (::geteuid() != 0) return;
  for (const auto& entry : stdfs::recursive_directory_iterator(folder))
    ::lchown(entry.path().c_str(), kNobody, kNobody);
  ::lchown(folder.c_str(), kNobody, kNobody);
}

// Makes this (child) process "nobody" when it is root, to see what a user without root's
// privileges sees; false when it cannot.
inline bool BecomeNobody() {
  return ::geteuid() != 0 || (::setgid(kNobody) == 0 && ::setuid(kNobody) == 0);
}

// Runs `body` in a child process (as "nobody" on request; 254 when it cannot) and returns
// what it returned, -1 when it did not end normally.
inline int RunInChild(const std::function<int()>& body, bool asNobody = false) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(asNobody && !BecomeNobody() ? 254 : body());
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace tolvan::platform::testing
