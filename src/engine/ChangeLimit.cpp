#include "engine/ChangeLimit.h"

#include <functional>
#include <map>
#include <set>
#include <utility>

#include "engine/CopyPass.h"
#include "engine/Engine.h"
#include "engine/Paths.h"
#include "engine/WalkSupport.h"
#include "platform/PartialCopy.h"

namespace tolvan {
namespace {

using platform::EntryKind;
using platform::FileStat;
using Entries = std::map<std::string, FileStat, std::less<>>;

// The copy pass's rule for an existing backup copy of a master file.
bool Replaces(const JobConditions& job, const FileStat& master, const FileStat& backup) {
  const int relation = CompareModified(master.mtimeSeconds, backup.mtimeSeconds);
  if (relation > 0 || (relation < 0 && job.UpDate == 1)) return true;
  return relation == 0 && job.Size != 0 && master.size != backup.size;
}

// Walks both trees side by side as the passes would, counting instead of acting. Names are
// matched exactly: a backup entry spelt otherwise has no counterpart in the passes either on
// a volume that tells letter cases apart.
class ChangeCounter {
 public:
  ChangeCounter(Engine& engine, ChangeCounts& counts) : engine_(engine), counts_(counts) {}

  void compare(const std::string& master, const std::string& backup) {
    Entries backupEntries;
    Entries masterEntries;
    // A master folder that cannot be listed keeps its backup: the removal pass gives up there.
    if (!list(engine_.backupListings, backup, backupEntries) ||
        !list(engine_.masterListings, master, masterEntries))
      return;
    for (const auto& [name, stat] : backupEntries) {
      if (engine_.run.stopRequested()) return;
      visit(master, backup, name, stat, masterEntries);
    }
  }

 private:
  void visit(const std::string& master, const std::string& backup, const std::string& name,
             const FileStat& stat, const Entries& masterEntries) {
    if (IsNeverWalked(name, stat.kind) || platform::IsPartialCopyLeftover(name, stat.kind)) return;
    const bool folder = stat.kind == EntryKind::Directory;
    if (folder && engine_.job.ChildDir == 0) return;
    const bool mirror = engine_.job.NomalMode != 0;
    const auto found = masterEntries.find(name);
    if (found == masterEntries.end() || (mirror && KindsDiffer(stat.kind, found->second.kind))) {
      if (mirror)
        counts_.removals += 1 + (folder ? entriesBelow(ChildPath(backup, name), stat) : 0);
      return;
    }
    if (found->second.kind == EntryKind::Directory) {
      if (folder && firstVisit(stat)) compare(ChildPath(master, name), ChildPath(backup, name));
    } else if (!folder && Replaces(engine_.job, found->second, stat)) {
      ++counts_.replacements;
    }
  }

  // Everything a removal of the folder takes with it.
  std::int64_t entriesBelow(const std::string& folder, const FileStat& stat) {
    Entries entries;
    if (!firstVisit(stat) || !list(engine_.backupListings, folder, entries)) return 0;
    std::int64_t count = 0;
    for (const auto& [name, entry] : entries) {
      if (engine_.run.stopRequested()) break;
      ++count;
      if (entry.kind == EntryKind::Directory) count += entriesBelow(ChildPath(folder, name), entry);
    }
    return count;
  }

  // A folder met again (a bind mount, a loop) is counted once.
  bool firstVisit(const FileStat& folder) {
    return visited_.insert({folder.device, folder.inode}).second;
  }

  // The folder as the room check listed it, or as it lists now; false when it cannot be read.
  bool list(const TreeListings& held, const std::string& path, Entries& out) {
    engine_.ui().letEventsRun();
    if (const TreeListings::Folder* folder = held.find(path)) {
      for (const TreeListings::Entry& entry : folder->entries)
        out.emplace(std::string(folder->nameOf(entry)), entry.stat);
      return true;
    }
    int error = 0;
    const auto listing = engine_.fs().openListing(path, error);
    if (listing == nullptr) return false;
    std::string_view name;
    FileStat stat;
    int code = 0;
    while ((code = listing->next(name, stat)) == 0) out.emplace(std::string(name), stat);
    return code == -1;
  }

  Engine& engine_;
  ChangeCounts& counts_;
  std::set<std::pair<std::uint64_t, std::uint64_t>> visited_;
};

}  // namespace

bool ExceedsChangeLimit(const ChangeCounts& counts, std::int16_t limitPercent) {
  if (limitPercent <= 0 || counts.changes() < kChangeLimitFloor) return false;
  // Whole numbers only: changes / entries > limit / 100.
  return counts.changes() * 100 > counts.backupEntries * limitPercent;
}

ChangeCounts CountChanges(Engine& engine, const std::string& from, const std::string& to) {
  ChangeCounts counts;
  ChangeCounter(engine, counts).compare(from, to);
  return counts;
}

std::string GroupedNumber(std::int64_t value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(static_cast<std::size_t>(at), ",");
  return value < 0 ? "-" + digits : digits;
}

std::string ChangeLimitQuestion(const ChangeCounts& counts) {
  return "この実行でバックアップの " + GroupedNumber(counts.backupEntries) + " 件中 " +
         GroupedNumber(counts.changes()) + " 件を削除または置き換えます。続けますか？";
}

std::string ChangeCountsSummary(const ChangeCounts& counts, std::int16_t limitPercent) {
  return "変更の上限 " + std::to_string(limitPercent) + " %: 削除 " +
         GroupedNumber(counts.removals) + " 件、置き換え " + GroupedNumber(counts.replacements) +
         " 件（バックアップ " + GroupedNumber(counts.backupEntries) + " 件中）。" +
         (ExceedsChangeLimit(counts, limitPercent)
              ? "上限を超えるため、実際の実行は止まります。"
              : "上限を超えないため、実際の実行は止まりません。");
}

std::string ChangeLimitRefusal(const ChangeCounts& counts, std::int16_t limitPercent) {
  return "Change Limit : " + std::to_string(counts.removals) + " removals and " +
         std::to_string(counts.replacements) + " replacements of " +
         std::to_string(counts.backupEntries) + " backup entries are more than " +
         std::to_string(limitPercent) +
         " %: the run was refused, nothing was removed or copied (--allow-big-change lets one "
         "run go ahead)";
}

}  // namespace tolvan
