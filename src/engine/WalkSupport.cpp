#include "engine/WalkSupport.h"

#include <cerrno>

#include "engine/Paths.h"
#include "engine/Report.h"

namespace tolvan {

bool IsRecycleName(std::string_view name) {
  if (name.size() != 8) return false;
  const std::string upper = ToUpperAscii(name);
  return upper == "RECYCLED" || upper == "RECYCLER";
}

bool IsTrashFolderName(std::string_view name) {
  constexpr std::string_view kTrash = ".Trash";
  if (name.substr(0, kTrash.size()) != kTrash) return false;
  if (name.size() == kTrash.size()) return true;
  const std::string_view rest = name.substr(kTrash.size());
  if (rest.size() < 2 || rest[0] != '-') return false;
  for (char c : rest.substr(1)) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool SameEntriesAsDigested(const Engine& engine, const std::string& master,
                           const std::string& backup) {
  if (engine.run.DryRunMode != 0) return false;
  const TreeListings::Digest* masterDigest = engine.masterListings.digestOf(master);
  const TreeListings::Digest* backupDigest = engine.backupListings.digestOf(backup);
  return masterDigest != nullptr && backupDigest != nullptr &&
         masterDigest->sameEntriesAs(*backupDigest);
}

bool IsSwapFileName(std::string_view name) {
  const std::string upper = ToUpperAscii(name);
  return upper == "WIN386.SWP" || upper == "PAGEFILE.SYS";
}

bool IsNeverWalked(std::string_view name, platform::EntryKind kind) {
  if (name == "." || name == ".." || IsRecycleName(name)) return true;
  return kind == platform::EntryKind::Directory && IsTrashFolderName(name);
}

bool KindsDiffer(platform::EntryKind a, platform::EntryKind b) {
  return (a == platform::EntryKind::Directory) != (b == platform::EntryKind::Directory);
}

bool EntryFromStat(platform::SystemInfo& sys, const platform::FileStat& stat, EntryInfo& out,
                   int& code) {
  out.Attributes = stat.attributes;
  out.FileSize = stat.size;
  out.Kind = stat.kind;
  out.Modified = 0;
  out.ModifiedSeconds = stat.mtimeSeconds;
  platform::LocalTime local;
  errno = 0;
  if (!sys.toLocalTime(stat.mtimeSeconds, local)) {
    // localtime_r reports an out-of-range time as EOVERFLOW; keep that when nothing is set.
    code = errno != 0 ? errno : EOVERFLOW;
    return false;
  }
  out.Modified = MakeDateTime(local);
  return true;
}

std::string TimeFailureText(const std::string& path, int code) {
  return path + "(Code:" + std::to_string(code) + " File Time Culc Error)";
}

std::string FailureText(const std::string& path, int code) {
  return path + "(Code:" + std::to_string(code) + " " + ErrorDescription(code) + ")";
}

std::int32_t ReportLoopFolder(Engine& engine, const std::string& path) {
  WriteReport(engine, ReportLineKind::Error, FailureText(path, ELOOP), engine.job.Report);
  return 1;
}

}  // namespace tolvan
