#include "platform/LinuxTrash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "platform/DirectoryFdCache.h"
#include "platform/PathText.h"
#include "platform/UniqueFd.h"

namespace tolvan::platform {
namespace {

bool IsUnreserved(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("-_.!~*'()/").find(static_cast<char>(c)) != std::string_view::npos;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

// Creates `path` and its missing parents; the new folders get `mode`.
int MakeFolders(const std::string& path, mode_t mode) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  if (errno != ENOENT || path == "/") return errno;
  if (int e = MakeFolders(std::string(ParentOf(path)), mode); e != 0) return e;
  if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST) return errno;
  return 0;
}

int MakeTrashFolders(const std::string& trash) {
  if (int e = MakeFolders(JoinPath(trash, "files"), 0700); e != 0) return e;
  return MakeFolders(JoinPath(trash, "info"), 0700);
}

// The top folder of the volume holding `folder` (a resolved path on device `device`).
std::string TopFolder(std::string folder, dev_t device) {
  while (folder != "/") {
    const std::string parent(ParentOf(folder));
    struct stat st {};
    if (::stat(parent.c_str(), &st) != 0 || st.st_dev != device) break;
    folder = parent;
  }
  return folder;
}

// "$top/.Trash" is usable when it is a real folder with the sticky bit, not a link.
bool SharedTrashUsable(const std::string& top) {
  struct stat st {};
  return ::lstat(JoinPath(top, ".Trash").c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         (st.st_mode & S_ISVTX) != 0;
}

// A user's own trash folder must be a real folder owned by the user.
bool OwnTrashUsable(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

std::string DeletionDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

std::string InfoText(const std::string& pathValue) {
  return "[Trash Info]\nPath=" + EncodeTrashPath(pathValue) + "\nDeletionDate=" + DeletionDate() +
         "\n";
}

// Claims a free name in the trash by creating its .trashinfo file (O_EXCL).
int ClaimName(const std::string& trash, std::string_view wanted, std::string& name,
              UniqueFd& info) {
  for (int n = 1; n < 10000; ++n) {
    name.assign(wanted);
    if (n > 1) name += "." + std::to_string(n);
    struct stat st {};
    if (::lstat(JoinPath(JoinPath(trash, "files"), name).c_str(), &st) == 0) continue;
    const std::string infoPath = JoinPath(JoinPath(trash, "info"), name + ".trashinfo");
    info.reset(
        ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (info.valid()) return 0;
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

// Renames without replacing anything that appeared under the name meanwhile.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

std::string EncodeTrashPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsUnreserved(byte)) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    }
  }
  return out;
}

std::string HomeTrashPath() {
  std::string data = Environment("XDG_DATA_HOME");
  if (data.empty() || data.front() != '/') data = Environment("HOME") + "/.local/share";
  while (data.size() > 1 && data.back() == '/') data.pop_back();
  return JoinPath(data, "Trash");
}

int LinuxTrash::trashFor(const std::string& folder, dev_t device, std::string& trash,
                         std::string& base) {
  base.clear();
  trash = HomeTrashPath();
  struct stat home {};
  const std::string homeTop(ParentOf(trash));
  if (MakeFolders(homeTop, 0700) == 0 && ::stat(homeTop.c_str(), &home) == 0 &&
      home.st_dev == device)
    return MakeTrashFolders(trash);

  base = TopFolder(folder, device);
  const std::string uid = std::to_string(::getuid());
  if (SharedTrashUsable(base)) {
    trash = JoinPath(JoinPath(base, ".Trash"), uid);
    if ((::mkdir(trash.c_str(), 0700) == 0 || errno == EEXIST) && OwnTrashUsable(trash))
      return MakeTrashFolders(trash);
  }
  trash = JoinPath(base, ".Trash-" + uid);
  if (::mkdir(trash.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  if (!OwnTrashUsable(trash)) return EACCES;
  return MakeTrashFolders(trash);
}

int LinuxTrash::moveToTrash(const std::string& path) {
  struct stat entry {};
  if (::lstat(path.c_str(), &entry) != 0) return errno;
  const std::string folder = RealPath(std::string(ParentOf(path)));
  if (folder.empty()) return errno;
  struct stat folderStat {};
  if (::stat(folder.c_str(), &folderStat) != 0) return errno;

  std::string trash;
  std::string base;
  if (int e = trashFor(folder, folderStat.st_dev, trash, base); e != 0) return e;
  const std::string absolute = JoinPath(folder, NameOf(path));
  const std::string pathValue =
      base.empty() ? absolute : absolute.substr(base == "/" ? 1 : base.size() + 1);

  std::string name;
  UniqueFd info;
  if (int e = ClaimName(trash, NameOf(path), name, info); e != 0) return e;
  const std::string infoPath = JoinPath(JoinPath(trash, "info"), name + ".trashinfo");
  int e = WriteAll(info.get(), InfoText(pathValue));
  if (e == 0) e = info.closeChecked();
  // The entry itself moves; a rename never follows a link and never copies.
  if (e == 0) e = RenameNoReplace(path, JoinPath(JoinPath(trash, "files"), name));
  if (e != 0) {
    info.reset();
    ::unlink(infoPath.c_str());
    return e;
  }
  if (S_ISDIR(entry.st_mode)) NoteFoldersChanged();
  return 0;
}

}  // namespace tolvan::platform
