#include "engine/FileOps.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "engine/Engine.h"
#include "engine/ListingPrefetch.h"
#include "engine/NumberText.h"
#include "engine/Paths.h"
#include "engine/Report.h"
#include "engine/SteadyCopy.h"
#include "engine/WalkPath.h"
#include "engine/WalkSupport.h"
#include "platform/PartialCopy.h"

namespace tolvan {
namespace {

using platform::EntryKind;
using platform::FileStat;

// ENOENT and ENOTDIR mean "no such entry"; every other lookup failure is a real error.
bool IsNoSuchEntry(int error) {
  return error == ENOENT || error == ENOTDIR;
}

// A read-only backup copy is made writable first; hidden follows from the name and cannot be
// cleared. A failure here shows up in the copy itself.
int MakeOldCopyWritable(Engine& engine, const std::string& target) {
  FileStat old;
  const int lookup = engine.fs().statEntry(target, old);
  if (lookup != 0) return IsNoSuchEntry(lookup) ? 0 : lookup;
  if ((old.attributes & platform::kAttrReadOnly) != 0 && old.kind != EntryKind::Symlink) {
    (void)engine.fs().setPermissions(target, old.mode | 0200);
  }
  return 0;
}

// Only a read-only old copy needs a look of its own (for its permission bits).
bool MayBeReadOnly(const EntryInfo* backup) {
  return backup == nullptr || (!backup->missing() && backup->Kind != EntryKind::Symlink &&
                               (backup->Attributes & platform::kAttrReadOnly) != 0);
}

// A target just found missing is never replaced: whatever has taken its name since stays.
bool FoundMissing(const EntryInfo* backup) {
  return backup != nullptr && backup->missing();
}

int PlainCopy(Engine& engine, const std::string& source, const std::string& target,
              const EntryInfo* backup) {
  if (FoundMissing(backup)) return engine.fs().copyNewFile(source, target);
  if (MayBeReadOnly(backup)) {
    if (const int code = MakeOldCopyWritable(engine, target); code != 0) return code;
  }
  return engine.fs().copyFile(source, target, nullptr);
}

// The file system looks the source up itself and moves the old copy to the trash only once
// the new content is complete.
int ShellCopy(Engine& engine, const std::string& source, const std::string& target,
              const EntryInfo* backup) {
  if (FoundMissing(backup)) return engine.fs().copyNewFile(source, target);
  if (engine.job.TrashBox == 0) return engine.fs().copyFile(source, target, nullptr);
  FileStat st;
  const bool targetExists =
      backup != nullptr ? !backup->missing() : engine.fs().statEntry(target, st) == 0;
  return engine.fs().copyFile(source, target, targetExists ? &engine.services.trash : nullptr);
}

int CopyWithAttributes(Engine& engine, const std::string& source, const std::string& target,
                       std::int16_t oldNT, const EntryInfo* backup) {
  const bool plain = oldNT != 0 || engine.job.ErrorFreeOption != 0;
  return CopyWhileSteady([&] {
    return plain ? PlainCopy(engine, source, target, backup)
                 : ShellCopy(engine, source, target, backup);
  });
}

// One size walk's state; `fs` may be another thread's own file system object.
struct SizeWalk {
  platform::FileSystem& fs;
  const SizeWalkHooks& hooks;
  std::int16_t childDir;
  bool removeLeftovers;
  std::int64_t& folders;
  std::int64_t& files;
  WalkPath path;
  SizeWalkRecords records;
  ListingPrefetch& listings;
};

double FolderSize(SizeWalk& walk, const std::string& folder, const FileStat& self);

// One listed entry of a size walk; leftovers of a killed copy are never counted, and removed
// only from the backup tree in a real run (the master is never changed, a dry run changes
// nothing). A folder already on the walk's path counts as nothing.
double EntrySize(SizeWalk& walk, const std::string& folder, std::string_view name,
                 const FileStat& st) {
  if (platform::IsPartialCopyLeftover(name, st.kind)) {
    if (!walk.removeLeftovers) return 0;
    const std::string path = ChildPath(folder, name);
    if (walk.fs.removeEntry(path) == 0 && walk.hooks.removedLeftover)
      walk.hooks.removedLeftover(path);
    return 0;
  }
  if (st.kind == EntryKind::Directory) {
    if (walk.path.holds(st)) return 0;
    ++walk.folders;
    if (walk.childDir == 0) return 0;
    const WalkPath::Step step(walk.path, st);
    return FolderSize(walk, ChildPath(folder, name), st);
  }
  ++walk.files;
  return static_cast<double>(st.size);
}

// Entries a pass skips, reports or cannot take as they are on every run, whatever the other
// tree holds: a folder listing one cannot be taken as up to date by its digest alone.
bool ActsWhateverTheOtherSide(std::string_view name, const FileStat& st) {
  // Times a report line could not show (the years 1970 to 2099 always can).
  constexpr std::int64_t kLastPlainTime = 4102444800;
  return st.kind == EntryKind::Special || platform::IsPartialCopyLeftover(name, st.kind) ||
         IsNeverWalked(name, st.kind) || IsSwapFileName(name) || st.mtimeSeconds < 0 ||
         st.mtimeSeconds >= kLastPlainTime;
}

// A stop request ends the walk at its next entry; the caller ends the run.
// Only a listing read to its end is kept for the passes.
double FolderSize(SizeWalk& walk, const std::string& folder, const FileStat& self) {
  if (walk.records.folders != nullptr) walk.records.folders->add(self);
  int error = 0;
  const std::unique_ptr<platform::DirectoryListing> listing =
      walk.listings.open(folder, false, error, [&walk] {
        walk.hooks.letEventsRun();
        return !walk.hooks.stopRequested();
      });
  if (listing == nullptr) return 0;
  TreeListings::Recorder recorder(walk.records.listings, folder, self.device, self.inode);
  ExcludedHere excluded(walk.records.exclusions, folder);
  double total = 0;
  std::string_view name;
  FileStat st;
  for (;;) {
    const int rc = listing->next(name, st);
    if (rc == -1) {
      recorder.finish();
      return total;
    }
    if (rc != 0) return 0;  // a folder that cannot be read counts no bytes
    walk.hooks.letEventsRun();
    if (walk.hooks.stopRequested()) return total;
    if (excluded(name, st.kind)) continue;
    recorder.add(name, st);
    if (ActsWhateverTheOtherSide(name, st)) recorder.markUnusable();
    if (walk.records.mounts != nullptr && st.kind == EntryKind::Directory &&
        st.device != self.device)
      walk.records.mounts->note(ChildPath(folder, name), st.device);
    total += EntrySize(walk, folder, name, st);
  }
}

}  // namespace

int CopyFileWithAttributes(Engine& engine, const std::string& source, const std::string& target,
                           std::int16_t oldNT) {
  return CopyWithAttributes(engine, source, target, oldNT, nullptr);
}

int CopyFileWithAttributes(Engine& engine, const std::string& source, const std::string& target,
                           std::int16_t oldNT, const EntryInfo& backup) {
  return CopyWithAttributes(engine, source, target, oldNT, &backup);
}

int GetEntryInfo(Engine& engine, const std::string& path, EntryInfo& out, int& lookupError) {
  out = EntryInfo{};
  FileStat st;
  lookupError = engine.fs().statEntry(path, st);
  if (lookupError != 0) return 0;  // missing (or unreadable) is described, not reported
  int code = 0;
  if (EntryFromStat(engine.sys(), st, out, code)) return 0;
  (void)WriteReport(engine, ReportLineKind::Error, TimeFailureText(path, code), engine.job.Report);
  return 1;
}

int GetEntryInfo(Engine& engine, const std::string& path, EntryInfo& out) {
  int lookupError = 0;
  return GetEntryInfo(engine, path, out, lookupError);
}

std::int16_t GetOSVersion(Engine& engine, OsVersionInfo& info) {
  const platform::KernelVersion kernel = engine.sys().kernelVersion();
  const int hundredths = kernel.major * 100 + kernel.minor;
  char version[32];
  std::snprintf(version, sizeof version, "%d.%02d", hundredths / 100, hundredths % 100);
  info.PlatformId = 3;
  info.OsVersionText = version;
  info.OsExtraText = TrimBlanks(kernel.distribution);
  info.BuildHigh = kernel.patch;
  info.BuildLow = 0;
  info.SystemName = "Linux";
  return 0;
}

double TreeSize(Engine& engine, const std::string& folder, std::int16_t childDir,
                std::int64_t& folders, std::int64_t& files, LeftoverCopies leftovers,
                SizeWalkRecords records) {
  // Even a Backup run removes them, and the report says so.
  const SizeWalkHooks hooks{
      [&] { return engine.run.stopRequested(); }, [&] { engine.ui().letEventsRun(); },
      [&](const std::string& path) {
        WriteReport(engine, ReportLineKind::DeleteFile, path, engine.job.Report);
      }};
  const bool remove = leftovers == LeftoverCopies::Remove && engine.run.DryRunMode == 0;
  return TreeSizeWith(engine.fs(), folder, childDir, folders, files, hooks, remove, records);
}

double TreeSizeWith(platform::FileSystem& fs, const std::string& folder, std::int16_t childDir,
                    std::int64_t& folders, std::int64_t& files, const SizeWalkHooks& hooks,
                    bool removeLeftovers, SizeWalkRecords records) {
  // Where every listing is a round trip, many are read ahead at once; only the root is read
  // when the walk stays in it.
  const unsigned readers = childDir != 0 ? ReadAheadThreads(fs.lookupNanoseconds(folder)) : 0;
  ListingPrefetch listings(fs, readers);
  listings.expect(folder);
  SizeWalk walk{fs,      hooks,   childDir, removeLeftovers, folders, files, WalkPath(fs, folder),
                records, listings};
  FileStat root;
  if (fs.statEntry(folder, root) != 0) walk.records = {};  // nothing to tell the folders by
  return FolderSize(walk, folder, root);
}

bool GetDiskSpace(Engine& engine, const std::string& path, double& freeBytes, double& totalBytes) {
  std::uint64_t freeSpace = 0;
  std::uint64_t totalSpace = 0;
  if (engine.fs().diskSpace(path, freeSpace, totalSpace) != 0) return false;
  freeBytes = static_cast<double>(freeSpace);
  totalBytes = static_cast<double>(totalSpace);
  return true;
}

double DriveTotalSpace(Engine& engine, const std::string& path) {
  double freeBytes = 0;
  double totalBytes = 0;
  return GetDiskSpace(engine, path, freeBytes, totalBytes) ? totalBytes : 0;
}

double DriveFreeSpace(Engine& engine, const std::string& path) {
  double freeBytes = 0;
  double totalBytes = 0;
  return GetDiskSpace(engine, path, freeBytes, totalBytes) ? freeBytes : 0;
}

std::string TextBeforeNul(const std::string& text) {
  return text.substr(0, text.find('\0'));
}

std::string SplitPath(const std::string& path, std::string& folder) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    folder.clear();
    return path;
  }
  folder = slash == 0 ? std::string("/") : path.substr(0, slash);
  return path.substr(slash + 1);
}

std::string ShortPathName(Engine& engine, const std::string& path) {
  std::string shortPath;
  return engine.fs().shortPath(path, shortPath) == 0 ? shortPath : std::string();
}

std::int16_t TextToInteger(const std::string& text) {
  const std::optional<double> number = ReadNumber(TrimBlanks(text), NumberStyle::Decimal);
  return number ? RoundedToInt16(*number).value_or(0) : 0;
}

std::string TempFolder(Engine& engine) {
  return StripOneTrailingSeparator(TextBeforeNul(engine.sys().tempPath()));
}

}  // namespace tolvan
