#include "engine/SidesCheck.h"

#include <cerrno>

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

// A side whose path leads elsewhere than the folder held for the run was exchanged since it
// was held: it is noted as lost, so the run stops before anything is removed or written.
void NoteSidesLeftHeldRoots(Engine& engine, const platform::ResolvedPath& from,
                            const platform::ResolvedPath& to) {
  if (engine.run.LostSide != kNoSideLost) return;
  const bool masterHeld = IsHeldRoot(engine.fs(), platform::Side::Master, from);
  if (masterHeld && IsHeldRoot(engine.fs(), platform::Side::Backup, to)) return;
  engine.run.LostSide = masterHeld ? kBackupLost : kMasterLost;
  engine.run.LostSideCode = ENODEV;
}

}  // namespace

const char* SidesRefusal(Engine& engine, const std::string& from, const std::string& to,
                         bool mirroring) {
  if (from == to) return kSameSides;
  if (engine.run.MissingPath != 0) return kMissingPath;
  // Every system call would stop at a NUL byte, or refuse an overlong path, and so work on
  // some other folder: such a side does not exist.
  if (!IsUsablePathText(from) || !IsUsablePathText(to)) return kMissingPath;
  platform::FileSystem& fs = engine.fs();
  // Each side resolved once, and judged only as the folder the run holds: a side exchanged
  // between this check and the run's use of it would escape the check.
  platform::ResolvedPath master;
  platform::ResolvedPath backup;
  const bool masterFound = ResolveSide(fs, from, master);
  const bool backupFound = ResolveSide(fs, to, backup);
  // One tree inside the other is refused like equal sides: a Mirroring run would delete the
  // master from inside the backup, and a copy into the master would copy itself without end.
  if (masterFound && backupFound && SidesOverlap(master, backup)) return kSameSides;
  // The removal pass would delete the reports and the saved jobs.
  platform::ResolvedPath program;
  if (mirroring && backupFound && ResolveSide(fs, engine.shared.AppPath, program) &&
      LiesWithin(program, backup)) {
    return kProgramInsideBackup;
  }
  if (masterFound && backupFound) NoteSidesLeftHeldRoots(engine, master, backup);
  return nullptr;
}

const char* UnusableSide(Engine& engine, const std::string& from, const std::string& to) {
  if (!MasterUsable(engine, from)) return kFromUnreadable;
  if (!BackupUsable(engine, to)) return kToUnreadable;
  return nullptr;
}

}  // namespace tolvan
