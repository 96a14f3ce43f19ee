#include "engine/CopyPass.h"

#include "engine/CopyAhead.h"

#include <cerrno>
#include <string_view>
#include <unordered_map>

#include "engine/Engine.h"
#include "engine/FileOps.h"
#include "engine/HeldSides.h"
#include "engine/Paths.h"
#include "engine/Report.h"
#include "engine/SteadyCopy.h"
#include "engine/WalkPath.h"
#include "engine/WalkSupport.h"
#include "platform/PartialCopy.h"
#include "platform/ThreadSignals.h"

namespace tolvan {
namespace {

using platform::EntryKind;

// Wide enough for the 2-second times of FAT volumes and for clocks that drift between the two
// machines.
constexpr std::int64_t kSameTimeToleranceSeconds = 48;

// The owner may always enter and fill a folder the walk has just made; the master's exact
// bits follow once its content is copied.
constexpr std::uint32_t kOwnerAll = 0700;

// A copy of this many bytes or more may take long enough for held report lines to wait.
constexpr std::int64_t kLongCopySize = std::int64_t{1} << 20;

constexpr int kNewFile = 8;
constexpr int kMasterNewer = 1;
constexpr int kMasterOlder = 2;
constexpr int kSizeDiffers = 4;
constexpr int kSame = 16;

struct EntryOutcome {
  int errors = 0;
  bool descend = true;
  bool madeFolder = false;     // or one a killed run left unfinished: gets the master's bits
  bool createdFolder = false;  // by this run, just now: it holds only what the run puts there
};

void WriteLine(Engine& engine, ReportLineKind kind, const std::string& text) {
  WriteReport(engine, kind, text, engine.job.Report);
}

// A folder named after a swap file is no swap file.
bool IsSwapFile(const std::string& source) {
  return IsSwapFileName(std::string_view(source).substr(source.rfind('/') + 1));
}

std::string DateChangeText(Engine& engine, const std::string& target, const EntryInfo& backup,
                           const EntryInfo& master) {
  return target + "  " + FormatDateTime(engine.sys(), backup.Modified) + " -> " +
         FormatDateTime(engine.sys(), master.Modified);
}

std::string SizeChangeText(const std::string& target, const EntryInfo& backup,
                           const EntryInfo& master) {
  return target + "  " + std::to_string(backup.FileSize) + "byte -> " +
         std::to_string(master.FileSize) + "byte";
}

// On a share whose server follows links by path a copied link keeps the time of its making,
// which says nothing of the master link's: there a link is compared by its text alone.
bool ComparedByLinkText(Engine& engine, const std::string& target, const EntryInfo& backup,
                        const EntryInfo& master) {
  return master.Kind == EntryKind::Symlink && backup.Kind == EntryKind::Symlink &&
         engine.fs().followsLinksByPath(target.substr(0, target.rfind('/')));
}

// A link that cannot be read is copied again: the copy then says what went wrong.
bool SameLinkText(Engine& engine, const std::string& source, const std::string& target) {
  std::string masterText;
  std::string backupText;
  return engine.fs().readLink(source, masterText) == 0 &&
         engine.fs().readLink(target, backupText) == 0 && masterText == backupText;
}

// The line of a link compared by its text, with the time its new copy has.
std::string LinkChangeText(Engine& engine, const std::string& target, const EntryInfo& backup,
                           const EntryInfo& master) {
  EntryInfo copy;
  if (GetEntryInfo(engine, target, copy) != 0 || copy.missing()) copy = master;
  return DateChangeText(engine, target, backup, copy);
}

// Which line a non-folder master entry earns against an existing backup copy of the same
// kind; false when the backup copy is to be left alone.
bool ChooseReplacement(Engine& engine, const std::string& source, const std::string& target,
                       const EntryInfo& backup, const EntryInfo& master, ReportLineKind& kind,
                       std::string& text) {
  if (ComparedByLinkText(engine, target, backup, master)) {
    kind = ReportLineKind::UpDateFile;
    return !SameLinkText(engine, source, target);  // the text follows the copy (LinkChangeText)
  }
  const int relation = CompareModified(master.ModifiedSeconds, backup.ModifiedSeconds);
  if (relation > 0 || (relation < 0 && engine.job.UpDate == 1)) {
    kind = relation > 0 ? ReportLineKind::UpDateFile : ReportLineKind::AllFiles;
    text = DateChangeText(engine, target, backup, master);
    return true;
  }
  if (relation == 0 && engine.job.Size != 0 && backup.FileSize != master.FileSize) {
    kind = ReportLineKind::SizeChange;
    text = SizeChangeText(target, backup, master);
    return true;
  }
  return false;
}

// What a lookup of the backup copy found: the entry, and the errno when there was none.
struct BackupLookup {
  EntryInfo info;
  int error = 0;

  // The entry or its absence is known; after any other failure it is not.
  [[nodiscard]] bool known() const { return error == 0 || error == ENOENT || error == ENOTDIR; }
};

int CopyOntoBackup(Engine& engine, const std::string& source, const std::string& target,
                   const BackupLookup& backup) {
  const std::int16_t oldNT = engine.job.OldNT;
  // What the walk has just found saves the copy a second look at the target.
  return backup.known() ? CopyFileWithAttributes(engine, source, target, oldNT, backup.info)
                        : CopyFileWithAttributes(engine, source, target, oldNT);
}

// A failure that may mean the backup volume itself went away (a share whose server is gone, a
// volume pulled out): the copies on their way all fail alike, so the sides are looked at now.
bool MayMeanTheSideIsGone(int code) {
  return code == ENOTCONN || code == ECONNABORTED || code == ECONNRESET || code == ENODEV ||
         code == ESTALE || code == EIO;
}

// Whether the old copy goes to the trash before it is replaced.
bool TrashesOldCopy(const Engine& engine) {
  return engine.job.TrashBox != 0 && engine.job.OldNT == 0 && engine.job.ErrorFreeOption == 0;
}

// A copy a worker may make: a small regular file, while there are workers.
bool WorkerMayCopy(const Engine& engine, const EntryInfo& master) {
  return engine.copiesAhead != nullptr && master.Kind == EntryKind::File &&
         master.FileSize < kLongCopySize;
}

// A small regular file whose copy the walk has decided on goes to a worker, unless its old
// copy needs more than a rename over it: a read-only one is made writable first, one in the
// trash's care is moved there, and an entry of another kind stays the walk's.
bool HandedOverAsDecided(Engine& engine, const std::string& source, const std::string& target,
                         const EntryInfo& master, const BackupLookup& lookup, CopyAhead::Job job) {
  if (!WorkerMayCopy(engine, master) || !lookup.known()) return false;
  const EntryInfo& backup = lookup.info;
  if (!backup.missing() && (backup.Kind != EntryKind::File || TrashesOldCopy(engine) ||
                            (backup.Attributes & platform::kAttrReadOnly) != 0))
    return false;
  engine.copiesAhead->handOver(source, target, std::move(job));
  return true;
}

// The Error line's text of a failed copy: the master's path when the master would not hold
// still (the next run tries again), else the backup's with the code.
std::string CopyFailureText(const std::string& source, const std::string& target, int code) {
  if (code != platform::kChangedWhileCopied) return FailureText(target, code);
  return source + "(Code:" + std::to_string(code) + " Tried " + std::to_string(kSteadyCopyTries) +
         " Times) changed while it was being copied";
}

int CopyFileEntry(Engine& engine, const std::string& source, const std::string& target,
                  const EntryInfo& master, const BackupLookup& lookup) {
  const EntryInfo& backup = lookup.info;
  if (backup.isFolder()) {
    WriteLine(engine, ReportLineKind::Error, FailureText(target, EISDIR));
    return 1;
  }
  ReportLineKind kind = ReportLineKind::NewFile;
  std::string text = target;
  if (!backup.missing() && !ChooseReplacement(engine, source, target, backup, master, kind, text))
    return 0;
  // FIFOs, sockets and devices are never opened.
  if (master.Kind == EntryKind::Special) {
    WriteLine(engine, ReportLineKind::Skipped, source);
    return 0;
  }
  if (IsSwapFile(source)) {
    WriteLine(engine, ReportLineKind::Skipped, text);
    return 0;
  }
  // The lines so far are written before a copy that may take a while.
  if (master.FileSize >= kLongCopySize) {
    TakeBackCopies(engine, true);
    FlushReport(engine);
  }
  if (HandedOverAsDecided(engine, source, target, master, lookup, {!backup.missing(), kind, text}))
    return 0;
  const int code = CopyOntoBackup(engine, source, target, lookup);
  if (code != 0) {
    WriteLine(engine, ReportLineKind::Error, CopyFailureText(source, target, code));
    return 1;
  }
  if (!backup.missing() && ComparedByLinkText(engine, target, backup, master))
    text = LinkChangeText(engine, target, backup, master);
  WriteLine(engine, kind, text);
  return 0;
}

// A run killed between making a folder with the owner's bits added and giving it the
// master's bits leaves exactly the master's bits plus the owner's; an existing backup folder
// is otherwise never changed.
bool LeftUnfinishedByAKilledRun(Engine& engine, const std::string& target,
                                std::uint32_t masterMode) {
  const std::uint32_t widened = masterMode | kOwnerAll;
  if (widened == masterMode) return false;
  platform::FileStat stat;
  return engine.fs().statEntry(target, stat) == 0 && stat.kind == EntryKind::Directory &&
         stat.mode == widened;
}

EntryOutcome CopyFolderEntry(Engine& engine, const std::string& target, std::uint32_t masterMode,
                             const EntryInfo& backup) {
  EntryOutcome outcome;
  if (!backup.missing()) {
    if (!backup.isFolder()) {
      // Nothing is removed in Backup mode, so a file in the folder's place stays; one line
      // per run, and nothing below it can be copied.
      WriteLine(engine, ReportLineKind::Error, FailureText(target, ENOTDIR));
      outcome.errors = 1;
      outcome.descend = false;
    } else {
      outcome.madeFolder = LeftUnfinishedByAKilledRun(engine, target, masterMode);
    }
    return outcome;
  }
  const int code = engine.fs().makeDirectory(target);
  if (code != 0) {
    WriteLine(engine, ReportLineKind::Error,
              target + "(Code:" + std::to_string(code) + " Couldn't Create Directory )");
    outcome.errors = 1;
    return outcome;
  }
  (void)engine.fs().setPermissions(target, masterMode | kOwnerAll);
  WriteLine(engine, ReportLineKind::MakeDirectory, target);
  outcome.madeFolder = true;
  outcome.createdFolder = true;
  return outcome;
}

// A case-blind backup volume may answer the lookup of `target` with an entry it stores under
// another spelling. When the master holds an entry under exactly that spelling as well, the
// two master names cannot live side by side on the backup: that entry's copy is the one
// found, and `source` must neither be taken for it nor overwrite it. In a case-sensitive
// backup folder the stored name is the name itself, and the master is never asked.
// A backup entry the folder stores in no spelling is gone, whatever the lookup said.
enum class BackupSpelling : std::uint8_t { Own, Collides, Gone };
BackupSpelling SpellingOnBackup(Engine& engine, const std::string& source,
                                const std::string& target) {
  std::string stored;
  const int code = engine.fs().storedName(target, stored);
  if (code == ENOENT || code == ENOTDIR) return BackupSpelling::Gone;
  if (code != 0 || std::string_view(target).substr(target.rfind('/') + 1) == stored)
    return BackupSpelling::Own;
  const std::string sibling = source.substr(0, source.rfind('/') + 1) + stored;
  std::string masterStored;
  return engine.fs().storedName(sibling, masterStored) == 0 && masterStored == stored
             ? BackupSpelling::Collides
             : BackupSpelling::Own;
}

// Whether the backup entry as the room check listed it already matches the master entry, so
// that nothing is written; `outcome` is then the entry's. Anything that would be written is
// decided on a fresh look instead. Listed under exactly the master's name, the entry is stored
// under that spelling, so it is no other master entry's copy (SpellingOnBackup).
bool UpToDateAsListed(Engine& engine, const std::string& source, const std::string& target,
                      const EntryInfo& master, std::uint32_t masterMode,
                      const platform::FileStat& listed, EntryOutcome& outcome) {
  EntryInfo backup;
  int code = 0;
  if (!EntryFromStat(engine.sys(), listed, backup, code) || backup.missing()) return false;
  if (master.Kind == EntryKind::Directory) {
    if (!backup.isFolder()) return false;
    outcome = CopyFolderEntry(engine, target, masterMode, backup);
    return true;
  }
  ReportLineKind kind = ReportLineKind::NewFile;
  std::string text;
  return !backup.isFolder() &&
         !ChooseReplacement(engine, source, target, backup, master, kind, text);
}

// Where the backup entry of a master entry is known before it is looked up.
struct BackupKnown {
  // The backup entry under exactly this name in the room check's listing, if held.
  const platform::FileStat* listed = nullptr;
  // The backup folder was created by this run just now: none of its files exist yet.
  bool inNewFolder = false;
};

// A small new file of a folder just made is copied by another thread, if there is one.
bool HandedOver(Engine& engine, const std::string& source, const std::string& target,
                const EntryInfo& entry, BackupKnown known) {
  if (!known.inNewFolder || !WorkerMayCopy(engine, entry) || IsSwapFile(source)) return false;
  engine.copiesAhead->handOver(source, target, {});  // the walk takes back finished ones first
  return true;
}

// Where the rename cannot refuse to replace (exFAT through FUSE, sshfs), its check before is all
// that keeps a new copy from replacing the copy of another master name that a case-blind folder
// takes for the same: a copy of such a name still on its way is taken back first, so that the
// lookup and that check see it.
void TakeBackCopiesNamedLike(Engine& engine, const std::string& target) {
  if (engine.copiesAhead != nullptr && engine.copiesAhead->holdsNewCopyNamedLike(target))
    TakeBackCopies(engine, true);
}

EntryOutcome CopyOne(Engine& engine, const std::string& source, const std::string& target,
                     const EntryInfo& entry, std::uint32_t masterMode, BackupKnown known = {}) {
  TakeBackCopiesNamedLike(engine, target);
  if (HandedOver(engine, source, target, entry, known)) return {};
  const platform::FileStat* listed = known.listed;
  EntryOutcome listedOutcome;
  if (listed != nullptr &&
      UpToDateAsListed(engine, source, target, entry, masterMode, *listed, listedOutcome)) {
    return listedOutcome;
  }
  BackupLookup backup;
  int lookupErrors = 0;
  if (known.inNewFolder && entry.Kind != EntryKind::Directory) {
    backup.error = ENOENT;  // its copy never replaces what may have come in meanwhile
  } else {
    lookupErrors = GetEntryInfo(engine, target, backup.info, backup.error);
  }
  const BackupSpelling spelling =
      backup.info.missing() ? BackupSpelling::Own : SpellingOnBackup(engine, source, target);
  if (spelling == BackupSpelling::Gone) backup = BackupLookup{EntryInfo{}, ENOENT};
  EntryOutcome outcome;
  if (spelling == BackupSpelling::Collides) {
    WriteLine(engine, ReportLineKind::Error, FailureText(target, EEXIST));
    outcome.errors = 1;
    outcome.descend = false;
  } else if (entry.Kind == EntryKind::Directory) {
    outcome = CopyFolderEntry(engine, target, masterMode, backup.info);
  } else {
    outcome.errors = CopyFileEntry(engine, source, target, entry, backup);
  }
  outcome.errors += lookupErrors;
  return outcome;
}

void FinishNewFolder(Engine& engine, const std::string& target, std::uint32_t masterMode) {
  if ((masterMode & kOwnerAll) == kOwnerAll) return;
  TakeBackCopies(engine, true);  // copies on their way may still need to write in it
  (void)engine.fs().setPermissions(target, masterMode);
}

// The difference kind of a non-folder master entry, or 0 when the dry runs leave it out.
// `collides`: the backup cannot hold it beside another master name (SpellingOnBackup).
int Classify(Engine& engine, const std::string& from, const std::string& to,
             const std::string& name, const EntryInfo& entry, DryRunSink::Sides& sides,
             bool& collides) {
  if (entry.Kind == EntryKind::Directory || entry.Kind == EntryKind::Special) return 0;
  EntryInfo backup;
  const std::string target = ChildPath(to, name);
  (void)GetEntryInfo(engine, target, backup);
  const BackupSpelling spelling = backup.missing()
                                      ? BackupSpelling::Gone
                                      : SpellingOnBackup(engine, ChildPath(from, name), target);
  collides = spelling == BackupSpelling::Collides;
  if (spelling != BackupSpelling::Own) {
    backup = EntryInfo{};  // the other master entry's copy is no copy of this one
  } else if (backup.isFolder()) {
    // Only a Mirroring run makes room for the file; a Backup run reports the folder.
    if (engine.job.NomalMode == 0) return 0;
    backup = EntryInfo{};
  }
  sides.AttrFrom = entry.Attributes;
  sides.SizeFrom = entry.FileSize;
  sides.TimeFrom = entry.Modified;
  sides.AttrTo = backup.Attributes;
  sides.SizeTo = backup.FileSize;
  sides.TimeTo = backup.Modified;
  if (backup.missing()) return kNewFile;
  const int relation = CompareModified(entry.ModifiedSeconds, backup.ModifiedSeconds);
  if (relation > 0) return kMasterNewer;
  if (relation < 0) return kMasterOlder;
  return entry.FileSize != backup.FileSize ? kSizeDiffers : kSame;
}

// A dry run walks into a master folder unless a Backup run would meet a file in its place.
bool DryRunDescends(Engine& engine, const std::string& target) {
  if (engine.job.NomalMode != 0) return true;
  platform::FileStat stat;
  return engine.fs().statEntry(target, stat) != 0 || stat.kind == EntryKind::Directory;
}

// Where one master entry sits: its folder on both sides, its name and its two full paths.
struct EntryPlace {
  const std::string& from;
  const std::string& to;
  const std::string& name;
  const std::string& source;
  const std::string& target;
};

EntryOutcome VisitForRun(Engine& engine, const EntryPlace& at, const EntryInfo& entry,
                         std::uint32_t mode, BackupKnown known) {
  const std::int16_t dryRun = engine.run.DryRunMode;
  if (dryRun == 0) return CopyOne(engine, at.source, at.target, entry, mode, known);
  EntryOutcome outcome;
  outcome.errors = dryRun == -1 ? ClassifyForBatch(engine, at.from, at.to, at.name, entry)
                                : ClassifyForSimulation(engine, at.from, at.to, at.name, entry);
  outcome.descend = entry.Kind != EntryKind::Directory ||
                    (DryRunDescends(engine, at.target) &&
                     SpellingOnBackup(engine, at.source, at.target) != BackupSpelling::Collides);
  return outcome;
}

std::int32_t CopyFolder(Engine& engine, const std::string& from, const std::string& to,
                        WalkPath& path, bool newBackupFolder);

// A backup folder's entries by exact name, as the room check listed them; empty when the
// folder is not held. A name it lacks is looked up as usual (a case-blind volume may hold it
// under another spelling).
class ListedBackupFolder {
 public:
  ListedBackupFolder(Engine& engine, const std::string& to) {
    if (engine.run.DryRunMode != 0 || !engine.backupListings.take(to, folder_)) return;
    byName_.reserve(folder_.entries.size());
    for (const TreeListings::Entry& entry : folder_.entries) {
      byName_.emplace(folder_.nameOf(entry), &entry.stat);
    }
  }
  [[nodiscard]] const platform::FileStat* find(std::string_view name) const {
    const auto found = byName_.find(name);
    return found == byName_.end() ? nullptr : found->second;
  }

 private:
  TreeListings::Folder folder_;
  std::unordered_map<std::string_view, const platform::FileStat*> byName_;
};

std::int32_t VisitEntry(Engine& engine, const std::string& from, const std::string& to,
                        const std::string& name, const platform::FileStat& stat, WalkPath& path,
                        const ListedBackupFolder& backupFolder, bool newBackupFolder) {
  const std::string source = ChildPath(from, name);
  EntryInfo entry;
  int code = 0;
  if (!EntryFromStat(engine.sys(), stat, entry, code)) {
    WriteLine(engine, ReportLineKind::Error, TimeFailureText(source, code));
    return 1;
  }
  const bool folder = entry.Kind == EntryKind::Directory;
  if (folder && engine.job.ChildDir == 0) return 0;
  if (folder && path.holds(stat)) return ReportLoopFolder(engine, source);
  engine.progress.ProcessWrite(source, entry.Attributes, 0, entry.Modified);
  const std::string target = ChildPath(to, name);
  const EntryOutcome outcome =
      VisitForRun(engine, EntryPlace{from, to, name, source, target}, entry, stat.mode,
                  BackupKnown{backupFolder.find(name), newBackupFolder});
  std::int32_t errors = outcome.errors;
  if (!folder || !outcome.descend) return errors;
  {
    const WalkPath::Step step(path, stat);
    errors += CopyFolder(engine, source, target, path, outcome.createdFolder);
  }
  if (outcome.madeFolder) FinishNewFolder(engine, target, stat.mode);
  return errors;
}

void WriteScanError(Engine& engine, const std::string& from, int code) {
  WriteLine(engine, ReportLineKind::ScanError,
            from + "(Scanning Error on Master Disk Code : " + std::to_string(code) + ")");
  (void)SidesStillThere(engine);  // a master that went away as a whole stops the run here
}

// A master folder the room check listed is walked from that listing (the entries acted on
// are examined again by the copy itself); any other is listed now.
std::int32_t CopyFolder(Engine& engine, const std::string& from, const std::string& to,
                        WalkPath& path, bool newBackupFolder) {
  CheckSidesNowAndThen(engine);
  if (engine.run.stopRequested()) return 0;
  const ListedBackupFolder backupFolder(engine, to);
  const auto visit = [&](std::string_view name, const platform::FileStat& stat) -> std::int32_t {
    TakeBackCopies(engine, false);
    if (platform::IsPartialCopyLeftover(name, stat.kind)) return 0;
    return VisitEntry(engine, from, to, std::string(name), stat, path, backupFolder,
                      newBackupFolder);
  };
  TreeListings::Folder listed;
  if (engine.masterListings.take(from, listed)) return ForEachHeldEntry(engine, listed, visit);
  // Where the digests agree every file is up to date: only the folders need looking at.
  const bool filesUpToDate = SameEntriesAsDigested(engine, from, to);
  const auto visitListed = [&](std::string_view name,
                               const platform::FileStat& stat) -> std::int32_t {
    if (!filesUpToDate || stat.kind == EntryKind::Directory) return visit(name, stat);
    engine.progress.ProcessWrite(from, 0);  // counts the entry; the path is not shown
    return 0;
  };
  return ForEachListedEntry(
      engine, from, [&](int code) { WriteScanError(engine, from, code); }, visitListed,
      filesUpToDate ? ListingNeed::KindOnly : ListingNeed::Everything);
}

}  // namespace

int CompareModified(std::int64_t masterSeconds, std::int64_t backupSeconds) {
  const std::int64_t difference = masterSeconds - backupSeconds;
  if (difference > kSameTimeToleranceSeconds) return 1;
  if (difference < -kSameTimeToleranceSeconds) return -1;
  return 0;
}

void TakeBackCopies(Engine& engine, bool all) {
  CopyAhead* const ahead = engine.copiesAhead;
  if (ahead == nullptr) return;
  LineHold* const hold = engine.report.HeldBehind;
  engine.report.HeldBehind = nullptr;  // the lines written here are the copies' own
  for (const CopyAhead::Finished& copy : ahead->takeFinished(all)) {
    if (copy.line >= 0) {
      WriteLine(engine, static_cast<ReportLineKind>(copy.line), copy.target);
      continue;
    }
    int code = copy.code;
    if (code == CopyAhead::kNotMade || (code == CopyAhead::kNotTaken && engine.run.writesEnded()))
      continue;
    if (code == CopyAhead::kNotTaken) {
      const std::int16_t oldNT = engine.job.OldNT;
      // A new file's copy never replaces what has taken its name since.
      code = copy.job.replace
                 ? CopyFileWithAttributes(engine, copy.source, copy.target, oldNT)
                 : CopyFileWithAttributes(engine, copy.source, copy.target, oldNT, EntryInfo{});
    }
    if (code == 0) {
      WriteLine(engine, copy.job.kind, copy.job.text.empty() ? copy.target : copy.job.text);
    } else if (MayMeanTheSideIsGone(code) && !SidesStillThere(engine)) {
      continue;  // the run's line for the lost side says it, once for all of them
    } else {
      WriteLine(engine, ReportLineKind::Error, CopyFailureText(copy.source, copy.target, code));
      ++engine.copiesAheadErrors;
    }
  }
  engine.report.HeldBehind = hold;
  ahead->countOnTheirWay();
  // A second stop signal waited for the lines of the copies made: they are held now.
  if (engine.run.StopFlag.load() == kStopAtOnce && !ahead->busy()) platform::RepeatStopSignal();
}

std::int32_t CopyTree(Engine& engine, const std::string& from, const std::string& to) {
  WalkPath path(engine.fs(), from);
  // A dry run copies nothing: no workers, and no lookups to count them by.
  const bool copies = engine.run.DryRunMode == 0;
  CopyAhead ahead(engine.fs(),
                  copies ? CopyWorkersFor(engine.fs().lookupNanoseconds(to)) : CopyWorkers{},
                  &engine.run);
  if (ahead.working()) {
    engine.copiesAhead = &ahead;
    engine.report.HeldBehind = &ahead;
  }
  engine.copiesAheadErrors = 0;
  std::int32_t errors = CopyFolder(engine, from, to, path, false);
  TakeBackCopies(engine, true);
  engine.copiesAhead = nullptr;
  engine.report.HeldBehind = nullptr;
  errors += engine.copiesAheadErrors;
  engine.clearListings();  // a stop leaves folders unwalked
  return errors;
}

int CopyEntry(Engine& engine, const std::string& source, const std::string& target,
              const EntryInfo& entry) {
  platform::FileStat stat;
  if (entry.Kind == EntryKind::Directory) (void)engine.fs().statEntry(source, stat);
  const EntryOutcome outcome = CopyOne(engine, source, target, entry, stat.mode);
  if (outcome.madeFolder) FinishNewFolder(engine, target, stat.mode);
  return outcome.errors;
}

int ClassifyForSimulation(Engine& engine, const std::string& from, const std::string& to,
                          const std::string& name, const EntryInfo& entry) {
  if (engine.dryRun == nullptr) return 0;
  DryRunSink::Sides sides;
  bool collides = false;
  const int kind = Classify(engine, from, to, name, entry, sides, collides);
  if (kind != 0 && (engine.run.DryRunMode & kind) != 0) {
    engine.dryRun->SimulateWrite(kind, from, to, name, sides);
  }
  return 0;
}

int ClassifyForBatch(Engine& engine, const std::string& from, const std::string& to,
                     const std::string& name, const EntryInfo& entry) {
  if (engine.dryRun == nullptr) return 0;
  DryRunSink::Sides sides;
  bool collides = false;
  const int kind = Classify(engine, from, to, name, entry, sides, collides);
  // Its copy line would overwrite the other master entry's copy.
  if (kind != 0 && kind != kSame && !collides) {
    engine.dryRun->WriteRestoreLines(ChildPath(from, name), ChildPath(to, name));
  }
  return 0;
}

}  // namespace tolvan
