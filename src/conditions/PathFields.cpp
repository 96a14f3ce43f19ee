#include "conditions/PathFields.h"

#include <cerrno>
#include <cmath>
#include <vector>

#include "conditions/Tvf.h"
#include "engine/FileOps.h"
#include "engine/SideIdentity.h"

namespace tolvan {
namespace {

std::string ParentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

bool Exists(platform::FileSystem& fs, const std::string& path) {
  platform::FileStat st;
  return fs.statEntry(path, st) == 0;
}

// Where removable volumes are mounted: /media and /mnt, and the per-user folders
// /media/<user> and /run/media/<user>.
bool IsMediaParent(const std::string& path) {
  if (path == "/media" || path == "/mnt" || path == "/run/media") return true;
  const std::string parent = ParentOf(path);
  return parent == "/media" || parent == "/run/media";
}

// A folder that is missing is a volume that is not mounted (68) when the missing part starts
// right below a removable-media folder, or right below an empty mount folder there that
// holds no volume; anything else is a folder that does not exist (76). Both are cured the
// same way; the number only names the failure.
int MissingFolderError(platform::FileSystem& fs, const std::string& path) {
  std::string existing = ParentOf(path);
  while (existing != "/" && !Exists(fs, existing)) existing = ParentOf(existing);
  if (IsMediaParent(existing)) return kErrDeviceUnavailable;
  if (IsMediaParent(ParentOf(existing)) && !fs.isMountPoint(existing)) {
    return kErrDeviceUnavailable;
  }
  return kErrPathNotFound;
}

int ErrorNumberOf(platform::FileSystem& fs, const std::string& path, int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
      return MissingFolderError(fs, path);
    case ENOMEDIUM:
    case EIO:
      return kErrDiskNotReady;
    default:
      return kErrPathFileAccess;
  }
}

// 0 when `path` is a folder that can be listed.
int CheckFolder(platform::FileSystem& fs, const std::string& path) {
  platform::FileStat st;
  if (int error = fs.statEntry(path, st); error != 0) return ErrorNumberOf(fs, path, error);
  if (st.kind != platform::EntryKind::Directory && st.kind != platform::EntryKind::Symlink) {
    return kErrPathNotFound;
  }
  int error = 0;
  auto listing = fs.openListing(path, error);
  if (listing == nullptr) return ErrorNumberOf(fs, path, error == 0 ? EIO : error);
  return 0;
}

// Megabytes cut (not rounded) to one decimal, without a trailing ".0".
std::string MegabytesText(double bytes) {
  const auto tenths = static_cast<long long>(std::trunc(bytes / 1024 / 1024 * 10));
  const long long magnitude = tenths < 0 ? -tenths : tenths;
  std::string text = tenths < 0 ? "-" : "";
  text += std::to_string(magnitude / 10);
  if (magnitude % 10 != 0) text += "." + std::to_string(magnitude % 10);
  return text;
}

}  // namespace

PathSide& SideOf(Session& session, Side side) {
  return side == Side::From ? session.window.from : session.window.to;
}

void SetPathText(Session& session, Side side, const std::string& text) {
  std::string& last = side == Side::From ? session.window.lastTextFrom : session.window.lastTextTo;
  PathSide& field = SideOf(session, side);
  field.text = text;
  if (text != last && session.engine.run.ConditionsLoaded != 0) {
    field.missing = false;
    // Only a change of the missing side's own field makes runs possible again.
    const Side other = side == Side::From ? Side::To : Side::From;
    if (!SideOf(session, other).missing) session.engine.run.MissingPath = 0;
  }
  last = text;
}

void MarkPathMissing(Session& session, Side side) {
  SideOf(session, side).missing = true;
  session.engine.run.MissingPath = -1;
}

int SelectFolder(Session& session, Side side, const std::string& path) {
  // Checked before any path arithmetic: a huge value is refused at once.
  if (path.empty() || !IsUsablePathText(path)) return kErrPathNotFound;
  const std::string full = AbsolutePath(session.workingFolder, path);
  if (!IsUsablePathText(full)) return kErrPathNotFound;
  if (int error = CheckFolder(session.engine.fs(), full); error != 0) return error;
  SideOf(session, side).folder = full;
  SetPathText(session, side, full);
  return 0;
}

std::string Disk_use_total(Session& session, std::int16_t DNo) {
  if (DNo != 0 && DNo != 1) return {};
  const PathSide& side = SideOf(session, DNo == 0 ? Side::From : Side::To);
  const std::string& path = side.folder.empty() ? side.text : side.folder;
  if (path.empty()) return {};
  const double total = DriveTotalSpace(session.engine, path);
  if (total == 0) return {};
  const double used = total - DriveFreeSpace(session.engine, path);
  return MegabytesText(used) + "/" + MegabytesText(total) + "MB used";
}

std::string AbsolutePath(const std::string& base, const std::string& path) {
  const std::string whole = !path.empty() && path.front() == '/' ? path : base + "/" + path;
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= whole.size()) {
    std::size_t end = whole.find('/', start);
    if (end == std::string::npos) end = whole.size();
    const std::string part = whole.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const auto& part : parts) result += "/" + part;
  return result.empty() ? "/" : result;
}

}  // namespace tolvan
