#include "engine/RemovalPass.h"

#include <cerrno>
#include <string_view>

#include "engine/Engine.h"
#include "engine/FileOps.h"
#include "engine/HeldSides.h"
#include "engine/ListedNames.h"
#include "engine/Paths.h"
#include "engine/Report.h"
#include "engine/WalkPath.h"
#include "engine/WalkSupport.h"
#include "platform/PartialCopy.h"

namespace tolvan {
namespace {

using platform::EntryKind;

constexpr std::uint32_t kOwnerWrite = 0200;

// A removal that reported success but left the entry in place.
constexpr int kRemovalSilentlyFailed = EIO;

// The names of the master folders on the walk's path, read once per folder, take at most
// this much memory together (twice that with the slack of growing containers); a folder
// beyond it is looked up entry by entry.
constexpr std::size_t kMasterNamesBudget = std::size_t{4} << 20;

// A counterpart found by its exact name in the master folder's listing.
constexpr int kListedCounterpart = 0;
// The master folder could not be listed, or went away: nothing there can be told missing.
constexpr int kMasterFolderUnreadable = -3;

// The walk's state: the backup folders it came through and what the master folders' names
// may take.
struct RemovalWalk {
  WalkPath path;
  ListedNames::Budget budget{kMasterNamesBudget};
};

// Whether the master has the folder facing the backup folder walked: the oldest NT systems
// empty a backup folder without counterpart entry by entry.
enum class MasterHas : std::uint8_t { Folder, Nothing };

// The master folder that faces the backup folder being walked.
struct MasterFolder {
  const std::string& path;
  MasterHas has;
  ListedNames names;
  // Its scan error is written: nothing in the backup folder or below it is removed.
  bool unreadable = false;
};

void WriteLine(Engine& engine, ReportLineKind kind, const std::string& text) {
  WriteReport(engine, kind, text, engine.job.Report);
}

bool IsMissingCode(int code) {
  return code == ENOENT || code == ENOTDIR;
}

bool StillThere(Engine& engine, const std::string& path) {
  platform::FileStat stat;
  return !IsMissingCode(engine.fs().statEntry(path, stat));
}

// Clears the read-only bit (the owner's write permission) of one entry; 0 or an errno.
int MakeWritable(Engine& engine, const std::string& path, const platform::FileStat& stat) {
  if ((stat.attributes & platform::kAttrReadOnly) == 0 || stat.kind == EntryKind::Symlink) return 0;
  return engine.fs().setPermissions(path, stat.mode | kOwnerWrite);
}

// Removes `dir` entry by entry. Listing failures are counted and reported; the first entry
// that cannot be removed ends the whole removal with its code in `failure`. A folder on
// `path` is another way into a tree above: emptying it would empty that tree, so it ends
// the removal with ELOOP.
int RemoveTreeCounting(Engine& engine, const std::string& dir, WalkPath& path, int& failure) {
  int error = 0;
  const auto listing = engine.fs().openListing(dir, error);
  int count = 0;
  auto scanError = [&](int code) {
    WriteLine(engine, ReportLineKind::ScanError,
              dir + "(Removing Error on Backup Disk Code : " + std::to_string(code) + ")");
    return count + 1;
  };
  if (listing == nullptr) return scanError(error);
  std::string_view name;
  platform::FileStat stat;
  for (;;) {
    const int read = listing->next(name, stat);
    if (read > 0) return scanError(read);
    if (read < 0) break;
    const std::string child = ChildPath(dir, name);
    if (stat.kind == EntryKind::Directory && path.holds(stat)) {
      failure = ELOOP;
    } else if (stat.kind == EntryKind::Directory) {
      const WalkPath::Step step(path, stat);
      count += RemoveTreeCounting(engine, child, path, failure);
    } else {
      failure = engine.fs().removeEntry(child);
    }
    if (failure != 0) return count;
  }
  failure = engine.fs().removeEntry(dir);
  return count;
}

// The removal used on the oldest NT systems: attributes first, then entry by entry. `above`
// holds the folders the walk came through to reach `path`.
int DeleteEntryOldNT(Engine& engine, const std::string& path, WalkPath& above) {
  platform::FileStat stat;
  if (const int code = engine.fs().statEntry(path, stat); code != 0) return code;
  if (stat.kind == EntryKind::Directory && above.holds(stat)) return ELOOP;
  if (const int code = MakeWritable(engine, path, stat); code != 0) return code;
  if (stat.kind != EntryKind::Directory) return engine.fs().removeEntry(path);
  ClearReadOnly(engine, path, false);
  int failure = 0;
  const WalkPath::Step step(above, stat);
  const int count = RemoveTreeCounting(engine, path, above, failure);
  return failure != 0 ? failure : count;
}

int DeleteEntryNow(Engine& engine, const std::string& path, std::int16_t trashBox) {
  // A failed move to the trash leaves the entry where it was: never delete instead.
  if (trashBox != 0) return engine.fs().moveToTrash(path, engine.services.trash);
  return engine.fs().removeTree(path);
}

int DeleteEntryBelow(Engine& engine, const std::string& path, std::int16_t trashBox,
                     std::int16_t oldNT, WalkPath& above) {
  const int code =
      oldNT != 0 ? DeleteEntryOldNT(engine, path, above) : DeleteEntryNow(engine, path, trashBox);
  if (code != 0) return code;
  return StillThere(engine, path) ? kRemovalSilentlyFailed : 0;
}

void WriteScanError(Engine& engine, const std::string& backup, int code) {
  WriteLine(engine, ReportLineKind::ScanError,
            backup + "(Scanning Error on ckup Disk Code : " + std::to_string(code) + ")");
}

void RemoveWithoutCounterpart(Engine& engine, const std::string& backupPath, bool folder,
                              WalkPath& path, std::int32_t& errors) {
  const int code =
      DeleteEntryBelow(engine, backupPath, engine.job.TrashBox, engine.job.OldNT, path);
  if (code == 0) {
    WriteLine(engine, folder ? ReportLineKind::RemoveDirectory : ReportLineKind::DeleteFile,
              backupPath);
    return;
  }
  WriteLine(engine, ReportLineKind::Error, FailureText(backupPath, code));
  ++errors;
}

void ListWithoutCounterpart(Engine& engine, const std::string& master, const std::string& backup,
                            const std::string& name) {
  EntryInfo info;
  (void)GetEntryInfo(engine, ChildPath(backup, name), info);
  if (engine.dryRun == nullptr) return;
  DryRunSink::Sides sides;
  sides.AttrTo = info.Attributes;
  sides.SizeTo = info.FileSize;
  sides.TimeTo = info.Modified;
  engine.dryRun->SimulateWrite(32, master, backup, name, sides);
}

// Whether the backup folder answers a lookup of `name` in another letter case with this very
// entry.
bool OnCaseBlindBackup(Engine& engine, const std::string& backupPath, const std::string& name) {
  std::string otherCase = ToUpperAscii(name);
  if (otherCase == name) {
    for (char& c : otherCase) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  if (otherCase == name) return false;  // no letters
  std::string stored;
  const std::string otherPath = backupPath.substr(0, backupPath.size() - name.size()) + otherCase;
  return engine.fs().storedName(otherPath, stored) == 0 && stored == name;
}

// The master's own lookup is case-sensitive on most Linux file systems. On a case-blind backup
// a master entry spelled otherwise lands on this backup entry all the same, so without
// MatchCase it is the counterpart, and the copy pass compares the two. The master folder is
// read only for a backup entry that its lookup missed. `masterPath` becomes the master's
// spelling, for the walk below a folder.
int CaseBlindCounterpart(Engine& engine, std::string& masterPath, const std::string& backupPath,
                         const std::string& name, EntryInfo& record) {
  if (engine.job.MatchCase != 0 || !OnCaseBlindBackup(engine, backupPath, name))
    return kNoCounterpart;
  int error = 0;
  const std::size_t folderLength = masterPath.size() - name.size() - 1;
  const auto listing = engine.fs().openListing(
      folderLength == 0 ? std::string("/") : masterPath.substr(0, folderLength), error);
  if (listing == nullptr) return kNoCounterpart;
  const std::string upper = ToUpperAscii(name);
  std::string_view masterName;
  platform::FileStat stat;
  while (listing->next(masterName, stat) == 0) {
    if (ToUpperAscii(masterName) != upper) continue;
    masterPath.replace(folderLength + 1, std::string::npos, masterName);
    int timeCode = 0;
    (void)EntryFromStat(engine.sys(), stat, record, timeCode);
    return static_cast<int>(stat.attributes);
  }
  return kNoCounterpart;
}

// Whether the master folder is still a folder where the walk found it; `error` says why not.
bool MasterFolderStillThere(Engine& engine, const std::string& master, int& error) {
  platform::FileStat stat;
  error = engine.fs().statEntry(master, stat);
  if (error == 0 && stat.kind != EntryKind::Directory) error = ENOTDIR;
  return error == 0;
}

// One scan error for the master folder; the walk of its backup folder removes nothing more.
std::int32_t GiveUpOnMasterFolder(Engine& engine, MasterFolder& master, int code) {
  master.unreadable = true;
  WriteLine(engine, ReportLineKind::ScanError,
            master.path + "(Scanning Error on Master Disk Code : " + std::to_string(code) + ")");
  (void)SidesStillThere(engine);  // a master that went away as a whole stops the run here
  return 1;
}

// FindCounterpart, where in a mirror an entry of the other kind counts as none: the copy pass
// can only put the right kind in place once this one is gone. A name the master folder lists
// exactly is the counterpart on every file system (a case-blind folder stores that very
// spelling); only the others need lookups of their own.
int MirrorCounterpart(Engine& engine, std::string& masterPath, const std::string& backupPath,
                      const std::string& name, EntryKind kind, int& lookupError,
                      MasterFolder& master) {
  if (master.has == MasterHas::Nothing) return kNoCounterpart;
  const ListedNames::Found listed = master.names.find(name);
  if (listed == ListedNames::Found::Unreadable) {
    lookupError = master.names.listingError();
    return kMasterFolderUnreadable;
  }
  if (listed == ListedNames::Found::AsAsked) return kListedCounterpart;
  if (listed == ListedNames::Found::Folder || listed == ListedNames::Found::Other) {
    const bool masterFolder = listed == ListedNames::Found::Folder;
    const bool kindsDiffer = masterFolder != (kind == EntryKind::Directory);
    return engine.job.NomalMode != 0 && kindsDiffer ? kNoCounterpart : kListedCounterpart;
  }
  EntryInfo counterpart;
  int found = FindCounterpart(engine, masterPath, name, counterpart, lookupError);
  if (found == kNoCounterpart)
    found = CaseBlindCounterpart(engine, masterPath, backupPath, name, counterpart);
  // Without a whole listing of the folder, a lookup that found nothing is evidence only while
  // the folder is still the master's.
  if (found == kNoCounterpart && listed == ListedNames::Found::NotHeld &&
      !MasterFolderStillThere(engine, master.path, lookupError))
    return kMasterFolderUnreadable;
  if (found >= 0 && engine.job.NomalMode != 0 && KindsDiffer(kind, counterpart.Kind)) {
    return kNoCounterpart;
  }
  return found;
}

std::int32_t RemoveMissing(Engine& engine, const std::string& master, const std::string& backup,
                           MasterHas has, RemovalWalk& walk);

// The pass one folder deeper.
std::int32_t RemoveBelow(Engine& engine, const std::string& masterPath,
                         const std::string& backupPath, const platform::FileStat& stat,
                         MasterHas has, RemovalWalk& walk) {
  const WalkPath::Step step(walk.path, stat);
  return RemoveMissing(engine, masterPath, backupPath, has, walk);
}

// The room check's listing of `backup` no longer tells what is there once `backupPath` goes
// (nor do those below it): the copy pass looks those folders' entries up again.
void ForgetListedBackup(Engine& engine, const std::string& backup, const std::string& backupPath,
                        EntryKind kind) {
  engine.backupListings.drop(backup);
  if (kind == EntryKind::Directory) engine.backupListings.dropFrom(backupPath);
}

// Whether anything below the backup folder is left out by the exclusion rules (a folder on
// `path` holds nothing): the folder then loses only the rest, and stays with what is left out.
bool HoldsExcluded(Engine& engine, const std::string& folder, WalkPath& path) {
  int error = 0;
  const auto listing = engine.fs().openKindListing(folder, error);
  if (listing == nullptr) return false;  // its removal tells what is wrong with it
  ExcludedHere excluded(&engine.exclusions, folder);
  std::string_view name;
  platform::FileStat stat;
  while (listing->next(name, stat) == 0) {
    if (IsNeverWalked(name, stat.kind)) continue;
    if (excluded(name, stat.kind)) return true;
    if (stat.kind != EntryKind::Directory || path.holds(stat)) continue;
    const WalkPath::Step step(path, stat);
    if (HoldsExcluded(engine, ChildPath(folder, name), path)) return true;
  }
  return false;
}

bool KeepsExcluded(Engine& engine, const std::string& backupPath, const platform::FileStat& stat,
                   WalkPath& path) {
  if (engine.exclusions.rules.empty() || stat.kind != EntryKind::Directory) return false;
  const WalkPath::Step step(path, stat);
  return HoldsExcluded(engine, backupPath, path);
}

// Whether the entry at a path is no longer the one listed there: another kind, or another
// folder.
bool ChangedSince(const platform::FileStat& listed, const platform::FileStat& now) {
  if (KindsDiffer(listed.kind, now.kind)) return true;
  return listed.kind == EntryKind::Directory &&
         (listed.device != now.device || listed.inode != now.inode);
}

// On a share whose server follows links by path no folder can be held open: a folder swapped
// there for a link to another would have its entries' removals made in that other one. So the
// folder is looked up again through the mount right before each removal (and a folder to be
// removed whole as well), and one that is not what the walk listed stops the run as a lost
// backup does.
bool StillAsListedOnAShare(Engine& engine, const std::string& backup, const WalkPath& path,
                           const std::string& backupPath, const platform::FileStat& listed) {
  if (!engine.fs().followsLinksByPath(backup)) return true;
  platform::FileStat now;
  int code = engine.fs().statEntry(backup, now);
  if (code == 0 && (now.kind != EntryKind::Directory || !path.endsAt(now))) code = ENODEV;
  if (code == 0 && listed.kind == EntryKind::Directory) {
    code = engine.fs().statEntry(backupPath, now);
    if (code == 0 && ChangedSince(listed, now)) code = ENODEV;
  }
  if (code == 0) return true;
  engine.run.LostSide = kBackupLost;
  engine.run.LostSideCode = code;
  return false;
}

// Where the backup folder was listed for this entry: just now, or by the room check a while
// before, so that an entry to be removed is looked at again first.
enum class ListedWhen : std::uint8_t { Now, Earlier };

// `listed` tells only the kind of an entry that is not a folder: nothing else of it is needed
// before its removal, which looks at it again.
std::int32_t VisitBackupEntry(Engine& engine, MasterFolder& masterFolder, const std::string& backup,
                              const std::string& name, const platform::FileStat& listed,
                              ListedWhen when, RemovalWalk& walk) {
  if (masterFolder.unreadable) return 0;
  const std::string& master = masterFolder.path;
  platform::FileStat stat = listed;
  WalkPath& path = walk.path;
  const std::string backupPath = ChildPath(backup, name);
  std::string masterPath = ChildPath(master, name);
  if (platform::IsPartialCopyLeftover(name, stat.kind)) {
    // Left behind by a run that was killed while copying; not part of either tree.
    if (engine.run.DryRunMode == 0 && !path.holds(stat)) {
      ForgetListedBackup(engine, backup, backupPath, stat.kind);
      if (engine.fs().removeTree(backupPath) == 0)
        WriteLine(engine, ReportLineKind::DeleteFile, backupPath);
    }
    return 0;
  }
  int lookupError = 0;
  int found =
      MirrorCounterpart(engine, masterPath, backupPath, name, stat.kind, lookupError, masterFolder);
  if (found == kNoCounterpart && when == ListedWhen::Earlier && engine.run.DryRunMode == 0) {
    // Never remove on an old listing what is not there now, or is not what was listed.
    platform::FileStat now;
    const int code = engine.fs().statEntry(backupPath, now);
    if (IsMissingCode(code)) return 0;
    if (code == 0 && ChangedSince(stat, now)) {
      stat = now;
      masterPath = ChildPath(master, name);
      found = MirrorCounterpart(engine, masterPath, backupPath, name, stat.kind, lookupError,
                                masterFolder);
    }
  }
  if (found == kMasterFolderUnreadable)
    return GiveUpOnMasterFolder(engine, masterFolder, lookupError);
  engine.progress.ProcessWrite(backupPath, stat.attributes);
  const bool folder = stat.kind == EntryKind::Directory;
  if (folder && engine.job.ChildDir == 0) return 0;
  // Whether or not the master has it, removing its content would empty a folder above it.
  if (folder && path.holds(stat)) return ReportLoopFolder(engine, backupPath);
  if (found == kCounterpartLookupFailed) {
    // A master entry that cannot be looked up may well exist: keep its backup.
    WriteLine(engine, ReportLineKind::Error, FailureText(backupPath, lookupError));
    (void)SidesStillThere(engine);
    return 1;
  }
  std::int32_t errors = 0;
  if (found != kNoCounterpart) {
    if (folder)
      errors += RemoveBelow(engine, masterPath, backupPath, stat, MasterHas::Folder, walk);
    return errors;
  }
  const bool keepsExcluded = KeepsExcluded(engine, backupPath, stat, path);
  if (folder && (engine.job.OldNT != 0 || keepsExcluded)) {
    errors += RemoveBelow(engine, masterPath, backupPath, stat, MasterHas::Nothing, walk);
  }
  if (keepsExcluded) return errors;
  if (engine.run.DryRunMode == 0) {
    // The last look before anything goes: both sides still where the run found them.
    if (!SidesStillThere(engine) || !StillAsListedOnAShare(engine, backup, path, backupPath, stat))
      return errors;
    ForgetListedBackup(engine, backup, backupPath, stat.kind);
    RemoveWithoutCounterpart(engine, backupPath, folder, path, errors);
  } else {
    ListWithoutCounterpart(engine, master, backup, name);
  }
  return errors;
}

// Both folders come from the room check's listings where it kept them, and from the disk
// otherwise. The backup folder's listing is copied: removals in it drop the kept one.
// A volume the room check found mounted on the master folder that is not there now: listed,
// the folder would show the bare folder below the mount.
bool MountedVolumeGone(Engine& engine, const std::string& master) {
  const std::uint64_t device = engine.masterMounts.deviceOf(master);
  if (device == 0) return false;
  platform::FileStat stat;
  return engine.fs().statEntry(master, stat) != 0 || stat.device != device;
}

std::int32_t RemoveMissing(Engine& engine, const std::string& master, const std::string& backup,
                           MasterHas has, RemovalWalk& walk) {
  CheckSidesNowAndThen(engine);
  MasterFolder masterFolder{
      master, has,
      ListedNames(engine.fs(), master, walk.budget, engine.masterListings.find(master))};
  if (has == MasterHas::Folder && MountedVolumeGone(engine, master))
    return GiveUpOnMasterFolder(engine, masterFolder, ENODEV);
  if (SameEntriesAsDigested(engine, master, backup)) masterFolder.names.sameNamesAsBackup();
  auto visitListed = [&](ListedWhen when) {
    return [&, when](std::string_view name, const platform::FileStat& stat) {
      return VisitBackupEntry(engine, masterFolder, backup, std::string(name), stat, when, walk);
    };
  };
  if (const TreeListings::Folder* listed = engine.backupListings.find(backup)) {
    const TreeListings::Folder copy = *listed;
    return ForEachHeldEntry(engine, copy, visitListed(ListedWhen::Earlier));
  }
  return ForEachListedEntry(
      engine, backup, [&](int code) { WriteScanError(engine, backup, code); },
      visitListed(ListedWhen::Now), ListingNeed::KindOnly);
}

}  // namespace

std::int32_t RemovalPass(Engine& engine, const std::string& master, const std::string& backup) {
  RemovalWalk walk{WalkPath(engine.fs(), backup)};
  return RemoveMissing(engine, master, backup, MasterHas::Folder, walk);
}

int FindCounterpart(Engine& engine, const std::string& masterPath, const std::string& name,
                    EntryInfo& record, int& error) {
  platform::FileStat stat;
  const int code = engine.fs().statEntry(masterPath, stat);
  if (IsMissingCode(code)) return kNoCounterpart;
  if (code != 0) {
    error = code;
    return kCounterpartLookupFailed;
  }
  // The lookup is the file system's own: on a case-blind volume it finds other spellings.
  std::string stored;
  if (engine.fs().storedName(masterPath, stored) != 0) stored = name;
  const bool same =
      engine.job.MatchCase != 0 ? stored == name : ToUpperAscii(stored) == ToUpperAscii(name);
  if (!same) return kNoCounterpart;
  int timeCode = 0;
  (void)EntryFromStat(engine.sys(), stat, record, timeCode);
  return static_cast<int>(stat.attributes);
}

int DeleteEntry(Engine& engine, const std::string& path, std::int16_t trashBox,
                std::int16_t oldNT) {
  WalkPath above;
  return DeleteEntryBelow(engine, path, trashBox, oldNT, above);
}

void ClearReadOnly(Engine& engine, const std::string& dir, bool recurse) {
  int error = 0;
  const auto listing = engine.fs().openListing(dir, error);
  if (listing == nullptr) return;
  std::string_view name;
  platform::FileStat stat;
  while (listing->next(name, stat) == 0) {
    if (name.substr(0, 1) == ".") continue;
    const std::string child = ChildPath(dir, name);
    if (recurse && stat.kind == EntryKind::Directory) ClearReadOnly(engine, child, true);
    (void)MakeWritable(engine, child, stat);
  }
}

}  // namespace tolvan
