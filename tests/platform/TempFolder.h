#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace tolvan::platform::testing {

// A fresh folder under /tmp for one test, removed with everything in it afterwards.
class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/tolvan-platform-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    path_ = made != nullptr ? made : "";
  }
  ~TempFolder() {
    for (auto it = mounts_.rbegin(); it != mounts_.rend(); ++it) ::umount2(it->c_str(), MNT_DETACH);
    if (path_.empty()) return;
    MakeRemovable(path_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  [[nodiscard]] const std::string& path() const { return path_; }
  [[nodiscard]] std::string operator/(const std::string& relative) const {
    return path_ + "/" + relative;
  }
  // Mounts a small tmpfs at `relative`; false when that is not possible here (not root, or
  // no mount permission in this container).
  [[nodiscard]] bool mountTmpfs(const std::string& relative, const std::string& size) {
    const std::string point = *this / relative;
    ::mkdir(point.c_str(), 0755);
    if (::mount("tmpfs", point.c_str(), "tmpfs", 0, ("size=" + size).c_str()) != 0) return false;
    mounts_.push_back(point);
    return true;
  }

 private:
  // Gives every folder its owner's permissions back, so a test's chmod 000 cannot block the
  // clean-up.
  static void MakeRemovable(const std::string& folder) {
    ::chmod(folder.c_str(), 0700);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      struct stat st {};
      const std::string child = folder + "/" + name;
      if (::lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) MakeRemovable(child);
    }
    ::closedir(dir);
  }

  std::string path_;
  std::vector<std::string> mounts_;
};

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// Names in a folder, "." and ".." left out.
inline std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

// Sets a file's modification time (and access time) to the nanosecond.
inline void SetTimes(const std::string& path, long seconds, long nanoseconds) {
  const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

inline constexpr uid_t kNobody = 65534;

// Runs `body` in a child process as the unprivileged user "nobody" (when this process is
// root) or as this user, and returns what it returned, or -1 when it could not run. Lets a
// test see what a user without root's privileges sees.
inline int RunUnprivileged(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(255);
    ::_exit(body());
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Hands the folder and everything in it to "nobody" (when root), for RunUnprivileged.
inline void GiveToNobody(const std::string& folder) {
  if (::geteuid() != 0) return;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    ::lchown(entry.path().c_str(), kNobody, kNobody);
  ::lchown(folder.c_str(), kNobody, kNobody);
}

}  // namespace tolvan::platform::testing
