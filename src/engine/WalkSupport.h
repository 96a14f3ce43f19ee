#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/Engine.h"
#include "engine/EntryInfo.h"
#include "engine/Report.h"
#include "engine/RunExclusions.h"
#include "platform/FileSystem.h"
#include "platform/SystemInfo.h"

namespace tolvan {

// Names shared by the copy and removal walks.

// The recycle folders of the old systems ("RECYCLED", "RECYCLER" in any letter case).
[[nodiscard]] bool IsRecycleName(std::string_view name);
// A desktop trash folder: ".Trash" or ".Trash-<digits>".
[[nodiscard]] bool IsTrashFolderName(std::string_view name);
// The system's swap files, by the file's own name (any letter case).
[[nodiscard]] bool IsSwapFileName(std::string_view name);
// Entries neither walk ever enters, copies or removes.
[[nodiscard]] bool IsNeverWalked(std::string_view name, platform::EntryKind kind);

// Master and backup entries of different kinds: a folder on one side, anything else on the
// other. A link facing a file is the same kind (a copy replaces the link itself).
[[nodiscard]] bool KindsDiffer(platform::EntryKind a, platform::EntryKind b);

// Fills `out` from a listing's lstat data. On a time that cannot be converted, returns
// false with `code` set; the other fields are filled all the same.
[[nodiscard]] bool EntryFromStat(platform::SystemInfo& sys, const platform::FileStat& stat,
                                 EntryInfo& out, int& code);

// The failure line's text for a modification time that cannot be converted.
[[nodiscard]] std::string TimeFailureText(const std::string& path, int code);

// path + "(Code:" + code + " " + description + ")", the form of every failure line.
[[nodiscard]] std::string FailureText(const std::string& path, int code);

// A folder that is its own ancestor is never entered: one Error line for it, one error.
[[nodiscard]] std::int32_t ReportLoopFolder(Engine& engine, const std::string& path);

// Whether the room check's digests show that the master folder and the backup folder list
// the same entries (TreeListings::Digest) in a real run; the passes may then skip reading the
// one or the other.
[[nodiscard]] bool SameEntriesAsDigested(const Engine& engine, const std::string& master,
                                         const std::string& backup);

// What a walk needs to know of an entry that is not a folder.
enum class ListingNeed : std::uint8_t {
  Everything,  // size, time and permissions
  KindOnly,    // what the folder's own listing tells (FileSystem::openKindListing)
};

// Lists `folder` and hands each walked entry to visit(name, stat), which returns its error
// count; lets events run before each entry and ends early on a stop request. A folder that
// cannot be opened or read to its end goes to onListingError(code) and counts one error.
// Entries the run's exclusion rules leave out are not handed on: an excluded folder is never
// walked, and an excluded backup entry is never removed.
template <typename OnListingError, typename Visit>
std::int32_t ForEachListedEntry(Engine& engine, const std::string& folder,
                                OnListingError onListingError, Visit visit,
                                ListingNeed need = ListingNeed::Everything) {
  int error = 0;
  const auto listing = need == ListingNeed::KindOnly ? engine.fs().openKindListing(folder, error)
                                                     : engine.fs().openListing(folder, error);
  if (listing == nullptr) {
    onListingError(error);
    return 1;
  }
  std::int32_t errors = 0;
  std::string_view name;
  platform::FileStat stat;
  ExcludedHere excluded(&engine.exclusions, folder);
  for (;;) {
    engine.ui().letEventsRun();
    FlushReportIfDue(engine);
    if (engine.run.stopRequested()) break;
    const int read = listing->next(name, stat);
    if (read < 0) break;
    if (read > 0) {
      onListingError(read);
      return errors + 1;
    }
    if (IsNeverWalked(name, stat.kind) || excluded(name, stat.kind)) continue;
    errors += visit(name, stat);
  }
  return errors;
}

// ForEachListedEntry over a folder listed before (TreeListings), in the order it was listed.
// The size walk kept no entry the exclusion rules leave out.
template <typename Visit>
std::int32_t ForEachHeldEntry(Engine& engine, const TreeListings::Folder& folder, Visit visit) {
  std::int32_t errors = 0;
  for (const TreeListings::Entry& entry : folder.entries) {
    engine.ui().letEventsRun();
    FlushReportIfDue(engine);
    if (engine.run.stopRequested()) break;
    const std::string_view name = folder.nameOf(entry);
    if (IsNeverWalked(name, entry.stat.kind)) continue;
    errors += visit(name, entry.stat);
  }
  return errors;
}

}  // namespace tolvan
