#include "platform/ConfiguredMounts.h"

#include <dirent.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "platform/PathText.h"

namespace tolvan::platform {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// Splits off the next field separated by blanks or tabs.
std::string_view NextField(std::string_view& rest) {
  while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
  std::size_t end = 0;
  while (end < rest.size() && !IsBlank(rest[end])) ++end;
  const std::string_view field = rest.substr(0, end);
  rest.remove_prefix(end);
  return field;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// "/mnt/backup/" and "/mnt/backup" name the same folder.
std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string TextOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void AddFstabPoints(const std::string& fstab, std::vector<std::string>& points) {
  std::ifstream in(fstab);
  for (std::string line; std::getline(in, line);) {
    if (std::string point = FstabMountPoint(line); !point.empty()) points.push_back(point);
  }
}

void AddUnitPoints(const std::string& folder, std::vector<std::string>& points) {
  struct CloseDir {
    void operator()(DIR* d) const { ::closedir(d); }
  };
  std::unique_ptr<DIR, CloseDir> dir(::opendir(folder.c_str()));
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name(entry->d_name);
    if (name.size() <= 6 || name.substr(name.size() - 6) != ".mount") continue;
    std::string where = MountUnitWhere(TextOf(JoinPath(folder, name)));
    if (!where.empty()) points.push_back(std::move(where));
  }
}

// A configured folder as the kernel would name it: links resolved where it exists.
std::string Resolved(const std::string& point) {
  std::string real = RealPath(point);
  return real.empty() ? point : real;
}

}  // namespace

std::string FstabMountPoint(std::string_view line) {
  std::string_view rest = line;
  const std::string_view source = NextField(rest);
  if (source.empty() || source.front() == '#') return {};
  const std::string point = DecodeEscapes(NextField(rest));
  const std::string_view type = NextField(rest);
  if (point.empty() || point.front() != '/' || type == "swap") return {};
  return WithoutTrailingSlash(point);
}

std::string MountUnitWhere(std::string_view unit) {
  std::string where;
  while (!unit.empty()) {
    const auto end = unit.find('\n');
    const std::string_view line = Trimmed(unit.substr(0, end));
    unit = end == std::string_view::npos ? std::string_view() : unit.substr(end + 1);
    if (line.substr(0, 6) == "Where=") where = std::string(Trimmed(line.substr(6)));
  }
  return where.empty() || where.front() != '/' ? std::string() : WithoutTrailingSlash(where);
}

std::vector<std::string> ConfiguredMountPoints(const VolumeSources& sources) {
  std::vector<std::string> points;
  AddFstabPoints(sources.fstab, points);
  AddUnitPoints(sources.mountUnitFolder, points);
  return points;
}

bool IsOnUnmountedVolume(const VolumeSources& sources, const std::string& path) {
  const std::string real = RealPath(path);
  if (real.empty()) return false;  // what cannot be found fails its own checks
  std::string nearest;
  for (const auto& point : ConfiguredMountPoints(sources)) {
    const std::string resolved = Resolved(point);
    if (IsAtOrBelow(real, resolved) && resolved.size() > nearest.size()) nearest = resolved;
  }
  return !nearest.empty() && !IsMountPointPath(sources, nearest);
}

}  // namespace tolvan::platform
