#include "platform/LinuxTrash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "platform/DirectoryFdCache.h"
#include "platform/LinuxFileSystem.h"
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

constexpr int kTrashFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The open folders of one trash, and the folder its Path= values are relative to.
struct TrashFolders {
  UniqueFd files;
  UniqueFd info;
  std::string base;  // empty: Path= values are absolute
};

// Opens folder `name` of `at`, made with mode 0700 when missing; never through a link.
int OpenOrMakeFolder(int at, const std::string& name, UniqueFd& out) {
  if (::mkdirat(at, name.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  out.reset(::openat(at, name.c_str(), kTrashFolderFlags));
  return out.valid() ? 0 : errno;
}

bool OwnedByUser(int folderFd) {
  struct stat st {};
  return ::fstat(folderFd, &st) == 0 && st.st_uid == ::getuid();
}

int OpenTrashParts(int trashFd, TrashFolders& trash) {
  if (int e = OpenOrMakeFolder(trashFd, "files", trash.files); e != 0) return e;
  return OpenOrMakeFolder(trashFd, "info", trash.info);
}

// The path the kernel holds for an open folder, wherever it has moved since it was opened.
int PathOfDescriptor(int fd, std::string& path) {
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  char text[PATH_MAX];
  const ssize_t length = ::readlink(link.c_str(), text, sizeof text);
  if (length < 0) return errno;
  if (static_cast<std::size_t>(length) == sizeof text) return ENAMETOOLONG;
  path.assign(text, static_cast<std::size_t>(length));
  return path.front() == '/' ? 0 : ENOENT;
}

// The home trash when it lies on `device`; `found` stays false otherwise.
int OpenHomeTrash(dev_t device, TrashFolders& trash, bool& found) {
  found = false;
  const std::string home = HomeTrashPath();
  const std::string data(ParentOf(home));
  if (MakeFolders(data, 0700) != 0) return 0;
  UniqueFd dataFd(::open(data.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  struct stat st {};
  if (!dataFd.valid() || ::fstat(dataFd.get(), &st) != 0 || st.st_dev != device) return 0;
  found = true;
  UniqueFd trashFd;
  if (int e = OpenOrMakeFolder(dataFd.get(), std::string(NameOf(home)), trashFd); e != 0) return e;
  return OpenTrashParts(trashFd.get(), trash);
}

// The top folder of the volume holding the open folder `folderFd`: the last folder on the
// way up through ".." that is still on `device`.
int OpenTopFolder(int folderFd, dev_t device, UniqueFd& top) {
  top.reset(::openat(folderFd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!top.valid()) return errno;
  for (;;) {
    struct stat here {};
    struct stat above {};
    UniqueFd parent(::openat(top.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!parent.valid() || ::fstat(top.get(), &here) != 0 || ::fstat(parent.get(), &above) != 0)
      return errno;
    if (above.st_dev != device || above.st_ino == here.st_ino) return 0;
    top = std::move(parent);
  }
}

// "$top/.Trash/<uid>", usable when ".Trash" is a real folder with the sticky bit and the
// user's own folder in it is a real folder the user owns.
bool OpenSharedTrash(int topFd, const std::string& uid, UniqueFd& own) {
  UniqueFd shared(::openat(topFd, ".Trash", kTrashFolderFlags));
  struct stat st {};
  if (!shared.valid() || ::fstat(shared.get(), &st) != 0 || (st.st_mode & S_ISVTX) == 0)
    return false;
  return OpenOrMakeFolder(shared.get(), uid, own) == 0 && OwnedByUser(own.get());
}

// The trash of the volume's top folder: ".Trash/<uid>", otherwise ".Trash-<uid>".
int OpenVolumeTrash(int folderFd, dev_t device, TrashFolders& trash) {
  UniqueFd top;
  if (int e = OpenTopFolder(folderFd, device, top); e != 0) return e;
  if (int e = PathOfDescriptor(top.get(), trash.base); e != 0) return e;
  const std::string uid = std::to_string(::getuid());
  UniqueFd own;
  if (!OpenSharedTrash(top.get(), uid, own)) {
    if (int e = OpenOrMakeFolder(top.get(), ".Trash-" + uid, own); e != 0) return e;
    if (!OwnedByUser(own.get())) return EACCES;
  }
  return OpenTrashParts(own.get(), trash);
}

// The trash for an entry of the open folder `folderFd`.
int OpenTrashFor(int folderFd, TrashFolders& trash) {
  struct stat folder {};
  if (::fstat(folderFd, &folder) != 0) return errno;
  bool home = false;
  if (int e = OpenHomeTrash(folder.st_dev, trash, home); e != 0 || home) return e;
  return OpenVolumeTrash(folderFd, folder.st_dev, trash);
}

// The Path= value of `absolute`: itself for the home trash, else relative to the top folder.
int PathValue(const std::string& absolute, const std::string& base, std::string& value) {
  if (base.empty()) {
    value = absolute;
  } else if (base == "/") {
    value = absolute.substr(1);
  } else if (IsAtOrBelow(absolute, base) && absolute.size() > base.size()) {
    value = absolute.substr(base.size() + 1);
  } else {
    return EXDEV;
  }
  return 0;
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

constexpr std::string_view kInfoSuffix = ".trashinfo";

// The trash name of the `n`th try for `wanted`: the name itself, then with ".2", ".3"...
// A name too long to carry the ".trashinfo" of its info file is cut (at a character's start,
// so the rest stays readable) to leave room for it; its Path= keeps the original name.
std::string TrashName(const std::string& wanted, int n) {
  const std::string counter = n > 1 ? "." + std::to_string(n) : std::string();
  const std::size_t room = NAME_MAX - kInfoSuffix.size() - counter.size();
  std::size_t length = std::min(wanted.size(), room);
  while (length < wanted.size() && length > 0 &&
         (static_cast<unsigned char>(wanted[length]) & 0xC0) == 0x80)
    --length;
  return wanted.substr(0, length) + counter;
}

// Claims a free name in the trash by creating its .trashinfo file (O_EXCL).
int ClaimName(const TrashFolders& trash, const std::string& wanted, std::string& name,
              UniqueFd& info) {
  for (int n = 1; n < 10000; ++n) {
    name = TrashName(wanted, n);
    struct stat st {};
    if (::fstatat(trash.files.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) continue;
    const std::string infoName = name + std::string(kInfoSuffix);
    info.reset(::openat(trash.info.get(), infoName.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (info.valid()) return 0;
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

// Renames without replacing anything that appeared under the name meanwhile.
int RenameNoReplace(int fromFd, const char* from, int toFd, const char* to) {
  if (::renameat2(fromFd, from, toFd, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  return ::renameat(fromFd, from, toFd, to) == 0 ? 0 : errno;
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

int LinuxTrash::moveToTrash(const std::string& path) {
  if (path.size() < 2 || path.front() != '/') return EINVAL;
  UniqueFd folder;
  if (int e = fs_.openFolderToChange(ParentOf(path), folder); e != 0) return e;
  return moveOutOf(folder.get(), std::string(NameOf(path)));
}

int LinuxTrash::moveOutOf(int folderFd, const std::string& name) {
  if (name.empty() || name == "." || name == "..") return EINVAL;
  struct stat entry {};
  if (::fstatat(folderFd, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  std::string folder;
  if (int e = PathOfDescriptor(folderFd, folder); e != 0) return e;
  TrashFolders trash;
  if (int e = OpenTrashFor(folderFd, trash); e != 0) return e;
  std::string pathValue;
  if (int e = PathValue(JoinPath(folder, name), trash.base, pathValue); e != 0) return e;

  std::string trashName;
  UniqueFd info;
  if (int e = ClaimName(trash, name, trashName, info); e != 0) return e;
  int e = WriteAll(info.get(), InfoText(pathValue));
  if (e == 0) e = info.closeChecked();
  // The entry itself moves out of the folder already open: a rename never follows a link
  // and never copies.
  if (e == 0) e = RenameNoReplace(folderFd, name.c_str(), trash.files.get(), trashName.c_str());
  if (e != 0) {
    info.reset();
    ::unlinkat(trash.info.get(), (trashName + std::string(kInfoSuffix)).c_str(), 0);
    return e;
  }
  if (S_ISDIR(entry.st_mode)) NoteFoldersChanged();
  return 0;
}

}  // namespace tolvan::platform
