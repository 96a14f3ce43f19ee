#include "engine/SidesCheck.h"

#include "engine/Engine.h"
#include "engine/SideIdentity.h"

namespace tolvan {
namespace {

constexpr const char* kSameSides =
    "指定したドライブまたはディレクトリが同じです。バックアップを中止します。";
constexpr const char* kMissingPath =
    "ｔｖｆファイルで指定したドライブまたはディレクトリが存在しません。バックアップを中止します。";
constexpr const char* kProgramInsideBackup =
    "プログラムのフォルダーがTo側に指定したフォルダーの中にあります。ミラーリングを中止します。";
constexpr const char* kFromUnreadable =
    "From側に指定したドライブまたはフォルダーにアクセスできないか、ファイルが存在しません。";
constexpr const char* kToUnreadable =
    "To側に指定したドライブまたはフォルダーにアクセスできません。";

bool Listable(Engine& engine, const std::string& path) {
  int error = 0;
  return engine.fs().openListing(path, error) != nullptr;
}

// A master that cannot be listed, an empty volume root, or a folder standing in for a volume
// that is not mounted: mirroring any of them would empty the backup.
bool MasterUsable(Engine& engine, const std::string& from) {
  int error = 0;
  const auto listing = engine.fs().openListing(from, error);
  if (listing == nullptr || engine.fs().isOnUnmountedVolume(from)) return false;
  std::string_view name;
  platform::FileStat stat;
  return listing->next(name, stat) != -1 || !engine.fs().isMountPoint(from);
}

// An empty volume's root may have nothing to list and is still a valid backup place; a folder
// standing in for a volume that is not mounted is not: the copies would fill another disk.
bool BackupUsable(Engine& engine, const std::string& to) {
  if (engine.fs().isOnUnmountedVolume(to)) return false;
  return Listable(engine, to) || engine.fs().isMountPoint(to);
}

}  // namespace

const char* SidesRefusal(Engine& engine, const std::string& from, const std::string& to,
                         bool mirroring) {
  if (from == to) return kSameSides;
  if (engine.run.MissingPath != 0) return kMissingPath;
  // Every system call would stop at a NUL byte, or refuse an overlong path, and so work on
  // some other folder: such a side does not exist.
  if (!IsUsablePathText(from) || !IsUsablePathText(to)) return kMissingPath;
  // One tree inside the other is refused like equal sides: a Mirroring run would delete the
  // master from inside the backup, and a copy into the master would copy itself without end.
  if (SidesOverlap(engine.fs(), from, to)) return kSameSides;
  // The removal pass would delete the reports and the saved jobs.
  if (mirroring && LiesWithin(engine.fs(), engine.shared.AppPath, to)) {
    return kProgramInsideBackup;
  }
  return nullptr;
}

const char* UnusableSide(Engine& engine, const std::string& from, const std::string& to) {
  if (!MasterUsable(engine, from)) return kFromUnreadable;
  if (!BackupUsable(engine, to)) return kToUnreadable;
  return nullptr;
}

}  // namespace tolvan
