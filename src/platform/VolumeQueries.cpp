#include "platform/VolumeQueries.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "platform/PathIdentity.h"
#include "platform/PathText.h"

namespace tolvan::platform {
namespace {

// Splits off the next blank-separated field.
std::string_view NextField(std::string_view& rest) {
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  const auto blank = rest.find(' ');
  const std::string_view field = rest.substr(0, blank);
  rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
  return field;
}

bool ParseDevice(std::string_view text, unsigned& major, unsigned& minor) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  const std::string majorText(text.substr(0, colon));
  const std::string minorText(text.substr(colon + 1));
  char* end = nullptr;
  major = static_cast<unsigned>(std::strtoul(majorText.c_str(), &end, 10));
  if (*end != '\0') return false;
  minor = static_cast<unsigned>(std::strtoul(minorText.c_str(), &end, 10));
  return *end == '\0';
}

bool SameDevice(const struct stat& label, const MountEntry& mount, const struct stat* source) {
  if (S_ISBLK(label.st_mode) && label.st_rdev == makedev(mount.major, mount.minor)) return true;
  return source != nullptr && label.st_dev == source->st_dev && label.st_ino == source->st_ino;
}

}  // namespace

bool ParseMountInfoLine(std::string_view line, MountEntry& out) {
  // id parent major:minor root mount-point options [optional fields] - type source options
  std::string_view rest = line;
  NextField(rest);
  NextField(rest);
  if (!ParseDevice(NextField(rest), out.major, out.minor)) return false;
  NextField(rest);
  const std::string_view mountPoint = NextField(rest);
  if (mountPoint.empty()) return false;
  out.mountPoint = DecodeEscapes(mountPoint);
  for (std::string_view field = NextField(rest); field != "-"; field = NextField(rest)) {
    if (field.empty()) return false;
  }
  out.fsType = DecodeEscapes(NextField(rest));
  out.source = DecodeEscapes(NextField(rest));
  return true;
}

bool FindMount(const std::string& mountInfo, const std::string& resolvedPath, MountEntry& out) {
  std::ifstream in(mountInfo);
  std::string line;
  MountEntry entry;
  bool found = false;
  while (std::getline(in, line)) {
    if (!ParseMountInfoLine(line, entry) || !IsAtOrBelow(resolvedPath, entry.mountPoint)) continue;
    if (!found || entry.mountPoint.size() >= out.mountPoint.size()) {
      out = entry;
      found = true;
    }
  }
  return found;
}

std::string FindLabel(const std::string& labelFolder, const MountEntry& mount) {
  struct CloseDir {
    void operator()(DIR* d) const { ::closedir(d); }
  };
  std::unique_ptr<DIR, CloseDir> dir(::opendir(labelFolder.c_str()));
  if (!dir) return {};
  struct stat source {};
  const bool haveSource = ::stat(mount.source.c_str(), &source) == 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::stat(JoinPath(labelFolder, name).c_str(), &st) != 0) continue;
    if (SameDevice(st, mount, haveSource ? &source : nullptr)) return DecodeEscapes(name);
  }
  return {};
}

// The volume of a path that does not exist (yet) is the volume of its nearest existing
// parent: a missing backup folder must not make the label query, and so the report, fail.
std::string ResolvedNearestExisting(std::string path) {
  for (;;) {
    std::string real = RealPath(path);
    if (!real.empty() || path.empty() || path == "/" || path.front() != '/') return real;
    path = std::string(ParentOf(path));
  }
}

int VolumeLabelOf(const VolumeSources& sources, const std::string& path, std::string& label) {
  label.clear();
  // Text that no system call takes whole (a NUL byte, past the path limit) names no volume;
  // its parents would be searched one by one, which for megabytes of text never ends.
  if (path.size() >= kPathLimit || path.find('\0') != std::string::npos) return 0;
  const std::string real = ResolvedNearestExisting(path);
  if (real.empty()) return errno != 0 ? errno : ENOENT;
  MountEntry mount;
  if (FindMount(sources.mountInfo, real, mount)) label = FindLabel(sources.labelFolder, mount);
  return 0;
}

bool IsMountPointPath(const VolumeSources& sources, const std::string& path) {
  if (path == "/") return true;
  struct stat self {};
  struct stat parent {};
  if (::stat(path.c_str(), &self) != 0 || ::stat((path + "/..").c_str(), &parent) != 0)
    return false;
  if (self.st_dev != parent.st_dev) return true;
  if (self.st_ino == parent.st_ino) return true;  // the top of the name space
  // A bind mount of a folder of the same file system keeps the device number.
  const std::string real = RealPath(path);
  MountEntry mount;
  return !real.empty() && FindMount(sources.mountInfo, real, mount) && mount.mountPoint == real;
}

}  // namespace tolvan::platform
