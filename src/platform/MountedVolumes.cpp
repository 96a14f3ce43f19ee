#include "platform/MountedVolumes.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tolvan::platform {
namespace {

constexpr std::array<std::string_view, 22> kPseudoFileSystems = {
    "proc",     "sysfs",      "devtmpfs",        "devpts",     "mqueue",     "debugfs",
    "tracefs",  "securityfs", "pstore",          "bpf",        "autofs",     "fusectl",
    "configfs", "hugetlbfs",  "binfmt_misc",     "efivarfs",   "rpc_pipefs", "nsfs",
    "ramfs",    "squashfs",   "fuse.gvfsd-fuse", "fuse.portal"};

// Where the system keeps its own mounts; removable media below /run/media stay.
constexpr std::array<std::string_view, 8> kSystemFolders = {
    "/proc",    "/sys", "/dev", "/run", "/snap", "/var/lib/docker", "/var/lib/containers",
    "/boot/efi"};

bool IsBelow(std::string_view path, std::string_view folder) {
  return path == folder || (path.size() > folder.size() &&
                            path.substr(0, folder.size()) == folder && path[folder.size()] == '/');
}

bool IsUserVolume(std::string_view fsType, std::string_view mountPoint) {
  if (fsType.substr(0, 6) == "cgroup") return false;
  if (std::find(kPseudoFileSystems.begin(), kPseudoFileSystems.end(), fsType) !=
      kPseudoFileSystems.end()) {
    return false;
  }
  if (IsBelow(mountPoint, "/run/media")) return true;
  return std::none_of(kSystemFolders.begin(), kSystemFolders.end(),
                      [&](std::string_view folder) { return IsBelow(mountPoint, folder); });
}

bool IsOctalDigit(char c) {
  return c >= '0' && c <= '7';
}

// The mount table writes blanks, tabs, line breaks and backslashes as "\" and three octal
// digits.
std::string UnescapeOctal(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && IsOctalDigit(text[i + 1]) &&
        IsOctalDigit(text[i + 2]) && IsOctalDigit(text[i + 3])) {
      out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                               (text[i + 3] - '0'));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// /dev/disk/by-label names write unusual bytes as "\x" and two hex digits.
std::string UnescapeHex(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
        HexValue(text[i + 2]) >= 0 && HexValue(text[i + 3]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 2]) * 16 + HexValue(text[i + 3]));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (start < line.size()) {
    const std::size_t end = std::min(line.find(' ', start), line.size());
    if (end > start) fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

// One line: "id parent major:minor root mountpoint options [optional...] - type source ...".
bool ParseLine(std::string_view line, MountedVolume& volume, std::string_view& fsType) {
  const auto fields = Fields(line);
  const auto dash = std::find(fields.begin(), fields.end(), "-");
  if (fields.size() < 5 || dash == fields.end() || fields.end() - dash < 3) return false;
  volume.mountPoint = UnescapeOctal(fields[4]);
  fsType = *(dash + 1);
  volume.source = UnescapeOctal(*(dash + 2));
  return true;
}

std::string ReadFile(const char* path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::map<std::string, std::string> VolumeLabels() {
  std::map<std::string, std::string> labels;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/disk/by-label", error)) {
    const auto device = std::filesystem::canonical(entry.path(), error);
    if (!error) labels[device.string()] = UnescapeHex(entry.path().filename().string());
  }
  return labels;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string VolumeDisplayName(const MountedVolume& volume) {
  return volume.label.empty() ? volume.mountPoint : volume.mountPoint + " [" + volume.label + "]";
}

std::vector<MountedVolume> ParseMountedVolumes(std::string_view mountinfo,
                                               const std::map<std::string, std::string>& labels,
                                               const std::string& homeFolder) {
  std::vector<MountedVolume> volumes;
  std::size_t start = 0;
  while (start < mountinfo.size()) {
    const std::size_t end = std::min(mountinfo.find('\n', start), mountinfo.size());
    MountedVolume volume;
    std::string_view fsType;
    if (ParseLine(mountinfo.substr(start, end - start), volume, fsType) &&
        IsUserVolume(fsType, volume.mountPoint)) {
      std::erase_if(volumes,
                    [&](const MountedVolume& v) { return v.mountPoint == volume.mountPoint; });
      if (const auto label = labels.find(volume.source); label != labels.end()) {
        volume.label = label->second;
      }
      volumes.push_back(std::move(volume));
    }
    start = end + 1;
  }
  std::sort(volumes.begin(), volumes.end(), [](const MountedVolume& a, const MountedVolume& b) {
    return a.mountPoint < b.mountPoint;
  });
  if (const int home = VolumeIndexOf(volumes, homeFolder); home > 0) {
    std::rotate(volumes.begin(), volumes.begin() + home, volumes.begin() + home + 1);
  }
  return volumes;
}

std::vector<MountedVolume> MountedVolumes() {
  const char* home = std::getenv("HOME");
  auto volumes = ParseMountedVolumes(ReadFile("/proc/self/mountinfo"), VolumeLabels(),
                                     home != nullptr ? home : "");
  // Containers bind single files such as /etc/hosts.
  std::erase_if(volumes, [](const MountedVolume& v) { return !IsFolder(v.mountPoint); });
  return volumes;
}

int VolumeIndexOf(const std::vector<MountedVolume>& volumes, const std::string& path) {
  int best = -1;
  std::size_t bestLength = 0;
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    const std::string& mount = volumes[i].mountPoint;
    const bool holds = mount == "/" ? !path.empty() && path.front() == '/' : IsBelow(path, mount);
    if (holds && (best < 0 || mount.size() > bestLength)) {
      best = static_cast<int>(i);
      bestLength = mount.size();
    }
  }
  return best;
}

}  // namespace tolvan::platform
