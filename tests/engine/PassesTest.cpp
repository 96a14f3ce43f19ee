// The copy pass (and its copy workers) and the removal pass on their own, each between an
// opened and a closed report.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <latch>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <tuple>

#include "engine/CopyAhead.h"
#include "engine/Paths.h"
#include "engine/SteadyCopy.h"
#include "support/EngineFixture.h"

namespace tolvan::testing {
namespace {

using Op = platform::FakeFileSystem::Op;
using CopyPassTest = PassFixture;
class RemovalPassTest : public PassFixture {
 protected:
  RemovalPassTest() { engine.job.NomalMode = -1; }
};

// The time zone of TZ for the life of the object.
struct TimeZone {
  explicit TimeZone(const char* tz) { Set(tz); }
  ~TimeZone() { Set(old ? old->c_str() : nullptr); }
  TimeZone(const TimeZone&) = delete;
  static void Set(const char* tz) {
    (void)(tz != nullptr ? ::setenv("TZ", tz, 1) : ::unsetenv("TZ"));
    ::tzset();
  }
  const std::optional<std::string> old =
      std::getenv("TZ") != nullptr ? std::optional<std::string>(std::getenv("TZ")) : std::nullopt;
};

// Times of the two sides are compared as they truly are, not as the local clock showed them
// on either side of a clock change; the report still shows local times. Central European
// time: summer time from 2026-03-29 01:00 UTC to 2026-10-25 01:00 UTC.
TEST_F(CopyPassTest, TimesOnEitherSideOfAClockChangeCompareAsTheyTrulyAre) {
  const TimeZone centralEurope("CET-1CEST,M3.5.0,M10.5.0/3");
  sys.zoneOfTz = true;
  constexpr std::int64_t kAutumn = 1792890000;  // 2026-10-25 01:00 UTC, 03:00 CEST -> 02:00 CET
  constexpr std::int64_t kSpring = 1774746000;  // 2026-03-29 01:00 UTC, 02:00 CET -> 03:00 CEST
  // Backed up at 02:20 CEST, edited 50 minutes later at 02:10 CET.
  addPair("autumn-later", kAutumn + 600, kAutumn - 2400);
  // Edited at 02:50 CEST, ten minutes before its backup copy was written at 02:00 CET.
  addPair("autumn-older", kAutumn - 600, kAutumn);
  // 01:59:50 CET and 03:00:10 CEST: 20 seconds apart.
  addPair("spring-same", kSpring + 10, kSpring - 10);
  EXPECT_EQ(runCopy(),
            Lines{"UpDate File : /b/autumn-later  2026/10/25 02:20:00 -> 2026/10/25 02:10:00"});
  EXPECT_EQ(fs.contentOf("/b/autumn-later") + fs.contentOf("/b/autumn-older") +
                fs.contentOf("/b/spring-same"),
            "newoldold");
}

// Which existing backup files each UpDate/Size choice replaces; 48 seconds either way is the
// same time.
TEST_F(CopyPassTest, CopyRuleForFilesOnBothSides) {
  for (const auto& [upDate, size, allFiles, sizeLine] :
       {std::tuple{0, 0, false, false}, std::tuple{2, 0, false, false},
        std::tuple{-1, 0, false, false}, std::tuple{1, 0, true, false},
        std::tuple{0, 1, false, true}, std::tuple{0, -1, false, true}}) {
    SCOPED_TRACE("UpDate " + std::to_string(upDate) + " Size " + std::to_string(size));
    addPair("close", kT + 48, kT);
    addPair("closeOlder", kT, kT + 48);
    addPair("far", kT + 49, kT);
    addPair("older", kT, kT + 49);
    addPair("size", kT + 30, kT, "12345", "123");
    fs.addLink("/m/l", "/etc/passwd", kT + 100);
    fs.addFile("/b/l", "old", kT);
    engine.job.UpDate = static_cast<std::int16_t>(upDate);
    engine.job.Size = static_cast<std::int16_t>(size);
    Lines expected{"UpDate File : /b/far  2023/11/14 22:13:20 -> 2023/11/14 22:14:09",
                   "UpDate File : /b/l  " + when(kT) + " -> " + when(kT + 100)};
    if (allFiles) expected.push_back("All Files : /b/older  " + when(kT + 49) + " -> " + when(kT));
    if (sizeLine) expected.push_back("Size : /b/size  3byte -> 5byte");
    EXPECT_EQ(runCopy(), expected);
    EXPECT_EQ(
        std::tuple(errors, fs.contentOf("/b/close") + fs.contentOf("/b/closeOlder"),
                   fs.find("/b/l")->kind, fs.find("/b/older")->mtime, fs.contentOf("/b/size")),
        std::tuple(0, "oldold", platform::EntryKind::Symlink, allFiles ? kT : kT + 49,
                   sizeLine ? "12345" : "123"));
  }
}

// On a share whose server follows links a copied link keeps the time of its making: links are
// compared by their text alone, and the line shows the time the copy has.
TEST_F(CopyPassTest, LinksOnAShareFollowingThemAreComparedByTheirText) {
  engine.job.UpDate = 1;
  fs.linksMadeAt = kT + 500;
  fs.addLink("/m/same", "a", kT);
  fs.addLink("/b/same", "a", kT + 400);
  fs.addLink("/m/changed", "new", kT + 900);
  fs.addLink("/b/changed", "old", kT + 400);
  EXPECT_EQ(runCopy(),
            Lines{"UpDate File : /b/changed  " + when(kT + 400) + " -> " + when(kT + 500)});
  EXPECT_EQ(fs.contentOf("/b/changed"), "new");
  EXPECT_EQ(runCopy(), Lines{});
}

// Missing entries are made with the master's permissions. The copy workers take the small
// copies that a rename finishes; an old copy that goes to the trash, is read-only or is no
// plain file stays the walk's, and so does a long copy. The tree is the same either way, the
// trash holds the old copies, and a second run has nothing to do.
TEST_F(CopyPassTest, MissingEntriesAreMadeAndWorkersTakeOnlyTheCopiesARenameFinishes) {
  std::mutex mutex;
  std::multiset<std::string> handed;
  fs.workerCopy = [&](const std::string&, const std::string& target, bool replace) {
    const std::lock_guard lock(mutex);
    handed.insert(target + (replace ? " replaced" : " new"));
    return ENOTSUP;  // the walk makes it, as it would without workers
  };
  for (const std::int16_t trashBox : {-1, 0}) {
    SCOPED_TRACE(trashBox);
    engine.job.TrashBox = trashBox;
    handed.clear();
    trash.trashed.clear();
    ASSERT_EQ(fs.removeTree("/b"), 0);
    addPair("changed", kT + 100, kT);
    addPair("readonly", kT + 100, kT);
    ASSERT_EQ(fs.setPermissions("/b/readonly", 0444), 0);
    fs.addFile("/m/waslink", "new", kT + 100);
    fs.addLink("/b/waslink", "elsewhere", kT);
    addPair("long", kT + 100, kT, std::string(std::size_t{1} << 20, 'x'));
    addFiles({"/m/added", "/m/sub/fresh", "/m/same", "/b/same"});
    fs.addDirectory("/m/empty", kT, 0750);
    fs.addDirectory("/m/locked", kT, 0555);
    fs.addFile("/m/locked/inner", "x", kT, 0400);
    (void)runCopy();
    EXPECT_EQ(tree("/b"), tree("/m"));
    std::multiset<std::string> expected{"/b/added new", "/b/locked/inner new", "/b/sub/fresh new"};
    if (trashBox == 0) expected.insert("/b/changed replaced");
    EXPECT_EQ(handed, expected);
    const Lines oldCopies{"/b/changed", "/b/long", "/b/readonly", "/b/waslink"};
    EXPECT_EQ(trash.trashed, trashBox != 0 ? oldCopies : Lines{});
    EXPECT_EQ(trash.contents.empty() ? "" : trash.contents.front().content, "old");
    EXPECT_EQ(runCopy(), Lines{});
  }
}

// Where the rename cannot refuse to replace, two new files that a case-blind backup folder
// takes for one must not both pass the check before it: the second is not handed over while
// the first is on its way, and gets its error line.
TEST_F(CopyPassTest, NamesACaseBlindBackupTakesForOneAreNeverOnTheirWayTogether) {
  fs.setCaseBlindBelow("/b");
  fs.addDirectory("/b");
  fs.lookupNs = 2'000'000;  // a share's: several workers, a few copies each
  std::mutex mutex;
  std::condition_variable checked;
  std::set<std::string> made;  // by ToUpperAscii, as the case-blind folder tells them
  bool lowerChecked = false;
  fs.workerCopy = [&](const std::string&, const std::string& target, bool) {
    std::unique_lock lock(mutex);
    if (made.contains(ToUpperAscii(target))) return EEXIST;
    lowerChecked = lowerChecked || target == "/b/a.txt";
    checked.notify_all();
    // Between its check and its rename until the other name has passed its check (bounded: a
    // sound walk never hands that one over meanwhile).
    if (target == "/b/A.txt")
      checked.wait_for(lock, std::chrono::seconds(1), [&] { return lowerChecked; });
    made.insert(ToUpperAscii(target));
    return 0;
  };
  for (const char* name : {"A.txt", "B.txt", "C.txt", "D.txt", "a.txt", "b.txt", "c.txt", "d.txt"})
    fs.addFile(std::string("/m/") + name, name);
  EXPECT_EQ(runCopy(),
            (Lines{"New File : /b/A.txt", "New File : /b/B.txt", "New File : /b/C.txt",
                   "New File : /b/D.txt", error("/b/a.txt", EEXIST), error("/b/b.txt", EEXIST),
                   error("/b/c.txt", EEXIST), error("/b/d.txt", EEXIST)}));
  EXPECT_EQ(made.size(), 4u);
}

// Keys of names a case-blind folder may take for one are equal (fullwidth letters, a long s and
// the Kelvin sign among them); others differ, in another folder too.
TEST(CaseBlindKeyTest, EqualForNamesThatMayBeOneWhereCaseIsBlind) {
  for (const auto& [a, b, same] :
       {std::tuple{"/b/G1.txt", "/b/g1.txt", true}, std::tuple{"/b/Äpfel", "/b/äpfel", true},
        std::tuple{"/b/ＡＢ", "/b/ａｂ", true}, std::tuple{"/b/Straße", "/b/ſtraße", true},
        std::tuple{"/b/Kelvin", "/b/\u212Aelvin", true},
        std::tuple{"/b/写真1.jpg", "/b/写真2.jpg", false},
        std::tuple{"/b/日記.txt", "/b/メモ.txt", false},
        std::tuple{"/B/g1.txt", "/b/g1.txt", false},
        std::tuple{"/b/g1.txt", "/b/g1.txt.bak", false}})
    EXPECT_EQ(CaseBlindKey(a) == CaseBlindKey(b), same) << a << " " << b;
}

// Once a side is gone nothing more is written: the copy a worker is making ends (made, handed
// back for the walk's thread to make, or failed as the backup went away: the run's line for
// the lost side tells that once), those it has not begun stay undone, by the workers and by
// the walk alike. The lines the walk writes while a copy is on its way wait behind its line.
TEST_F(CopyPassTest, CopiesNotBegunWhenASideIsLostAreNeverMade) {
  addFiles({"/m/a/f0", "/m/a/f1", "/m/a/f2", "/m/b/x"});
  fs.addDirectory("/m/c");
  for (const int code : {0, EACCES, ENOTCONN}) {
    SCOPED_TRACE(code);
    ASSERT_EQ(fs.removeTree("/b"), 0);
    fs.addDirectory("/b");
    engine.run.LostSide = kNoSideLost;
    std::latch begun(1), lost(1);
    std::multiset<std::string> tried;
    fs.workerCopy = [&](const std::string&, const std::string& target, bool) {
      if (tried.empty()) begun.count_down();
      lost.wait();
      tried.insert(target);  // one worker: the copies of a folder go to one together
      return code;
    };
    fs.beforeOp = [&](Op op, const std::string& path) {
      if (op != Op::MakeDir || path != "/b/c") return;
      begun.wait();  // the first batch is on its way once the walk has handed over the next
      engine.run.LostSide = kBackupLost;
      lost.count_down();
    };
    Lines expected{"Make Directory : /b/a", "Make Directory : /b/b", "Make Directory : /b/c"};
    if (code == 0) expected.insert(expected.begin() + 1, "New File : /b/a/f0");
    EXPECT_EQ(runCopy(), expected);
    // Nothing is made by the walk either.
    EXPECT_EQ(std::tuple(tried, fs.copied.size()),
              std::tuple(std::multiset<std::string>{"/b/a/f0"}, 0U));
  }
}

// The line for a master that never held still while it was copied.
std::string ChangedLine(const std::string& master) {
  return "Error : " + master + "(Code:" + std::to_string(platform::kChangedWhileCopied) +
         " Tried 3 Times) changed while it was being copied";
}

// A master rewritten in place while it is read is copied again; a copy is put in place only
// when the master held still, and after three tries in vain the old copy stays, one line
// names the master and the next run copies it.
TEST_F(CopyPassTest, AMasterRewrittenWhileItIsCopiedIsNeverPutInPlaceTorn) {
  for (const auto& [rewrites, oldCopy, trashBox] :
       {std::tuple{2, false, 0}, std::tuple{2, true, -1}, std::tuple{3, false, 0},
        std::tuple{3, true, 0}, std::tuple{3, true, -1}}) {
    SCOPED_TRACE(std::to_string(rewrites) + " rewrites, old copy " + std::to_string(oldCopy) +
                 ", TrashBox " + std::to_string(trashBox));
    ASSERT_EQ(fs.removeTree("/b"), 0);
    fs.addDirectory("/b");
    trash.trashed.clear();
    engine.job.TrashBox = static_cast<std::int16_t>(trashBox);
    fs.addFile("/m/db", "old content, version 1", kT + 100);
    if (oldCopy) fs.addFile("/b/db", "old", kT);
    const std::string rewritten = "NEW CONTENT, VERSION 2!";
    fs.rewriteDuringCopy("/m/db", rewritten, rewrites);
    const std::string made =
        oldCopy ? "UpDate File : /b/db  " + when(kT) + " -> " + when(kT + 100) : "New File : /b/db";
    const bool held = rewrites < kSteadyCopyTries;
    EXPECT_EQ(runCopy(), Lines{held ? made : ChangedLine("/m/db")});
    EXPECT_EQ(std::tuple(errors, fs.contentOf("/b/db"), fs.exists("/b/db"), trash.trashed.size()),
              std::tuple(held ? 0 : 1, held ? rewritten : std::string(oldCopy ? "old" : ""),
                         held || oldCopy, held && oldCopy && trashBox != 0 ? 1U : 0U));
    if (held) continue;
    // The writer has stopped: the next run copies the whole file.
    (void)runCopy();
    EXPECT_EQ(std::pair(errors, fs.contentOf("/b/db")), std::pair(0, rewritten));
  }
}

// The copy workers copy a changing master again as the walk does, and report it alike.
TEST_F(CopyPassTest, WorkersCopyAChangingMasterAgainAndReportOneThatNeverHoldsStill) {
  std::atomic<int> refusals{0}, tries{0};
  fs.workerCopy = [&](const std::string&, const std::string&, bool) {
    ++tries;
    return refusals-- > 0 ? platform::kChangedWhileCopied : 0;
  };
  for (const int changes : {2, 3}) {
    SCOPED_TRACE(changes);
    ASSERT_EQ(fs.removeTree("/b"), 0);
    fs.addDirectory("/b");
    addFiles({"/m/sub/db"});
    refusals = changes;
    tries = 0;
    const bool held = changes < kSteadyCopyTries;
    EXPECT_EQ(runCopy(), (Lines{"Make Directory : /b/sub",
                                held ? "New File : /b/sub/db" : ChangedLine("/m/sub/db")}));
    EXPECT_EQ(std::pair(errors, tries.load()),
              std::pair(held ? 0 : 1, std::min(changes + 1, kSteadyCopyTries)));
  }
}

TEST_F(CopyPassTest, ChildDirOffNeitherCopiesNorRemovesInFolders) {
  engine.job.ChildDir = 0;
  addFiles({"/m/top", "/m/sub/deep", "/m/both/x", "/b/both/y", "/b/dir/x", "/b/file"});
  EXPECT_EQ(runCopy(), (Lines{"New File : /b/top"}));
  EXPECT_EQ(runRemoval(), (Lines{"Delete File : /b/file"}));
  EXPECT_EQ(namesBelow("/b"), (Lines{"/both", "/both/y", "/dir", "/dir/x", "/top"}));
}

// Recycle and trash folders at any depth, swap files (by their own name, in any letter case)
// and special files.
TEST_F(CopyPassTest, EntriesThatAreNeverCopied) {
  addFiles({"/m/RECYCLED/a", "/m/x/Recycler/b", "/m/x/recycled", "/m/x/.Trash/c",
            "/m/x/y/.Trash-1000/d", "/m/.Trash-x/kept", "/m/.Trash",
            "/m/x/.tolvan32-partial-00000000000000a1", "/m/WIN386.SWP", "/b/sys/pagefile.sys",
            "/m/x/Win386.Swp", "/m/Pagefile.Sys.bak", "/m/p-pagefile.sys/t", "/m/w/WIN386.SWP/i"});
  fs.addFile("/m/sys/pagefile.sys", "page", kT + 100);
  for (const char* path : {"/m/fifo", "/m/same", "/b/same"}) fs.addSpecial(path, kT);
  EXPECT_EQ(
      runCopy(),
      (Lines{"New File : /b/.Trash", "Make Directory : /b/.Trash-x", "New File : /b/.Trash-x/kept",
             "New File : /b/Pagefile.Sys.bak", "Skipped : /b/WIN386.SWP", "Skipped : /m/fifo",
             "Make Directory : /b/p-pagefile.sys", "New File : /b/p-pagefile.sys/t",
             "Skipped : /b/sys/pagefile.sys  " + when(kT) + " -> " + when(kT + 100),
             "Make Directory : /b/w", "Make Directory : /b/w/WIN386.SWP",
             "New File : /b/w/WIN386.SWP/i", "Make Directory : /b/x", "Skipped : /b/x/Win386.Swp",
             "Make Directory : /b/x/y"}));
  EXPECT_EQ(errors, 0);
  EXPECT_FALSE(fs.exists("/b/WIN386.SWP") || fs.exists("/b/fifo") || fs.exists("/b/RECYCLED"));
  EXPECT_EQ(fs.contentOf("/b/sys/pagefile.sys"), "pagefile.sys");
}

// Folders facing files are errors on every run, like the other failures (a time no date can
// show skips its entry); the walk goes on.
TEST_F(CopyPassTest, FailuresAreReportedAndTheWalkGoesOn) {
  addFiles({"/m/a", "/m/full", "/m/nodir/x", "/m/unreadable/y", "/m/z", "/m/d/inner", "/b/d",
            "/m/f", "/b/f/inner"});
  fs.addDirectory("/m/secret");
  fs.failOn(Op::Copy, "/b/full", ENOSPC);
  fs.failOn(Op::List, "/m/secret", EACCES);
  fs.failOn(Op::MakeDir, "/b/nodir", EACCES);
  fs.failListingAfter("/m/unreadable", 0, EIO);
  fs.addFile("/m/when", "w", std::int64_t{1} << 60);
  const Lines first({"New File : /b/a", "Error : /b/d(Code:20 " + ErrorDescription(ENOTDIR) + ")",
                     error("/b/f", EISDIR), error("/b/full", ENOSPC),
                     "Error : /b/nodir(Code:13 Couldn't Create Directory )",
                     error("/b/nodir/x", ENOENT), "Make Directory : /b/secret",
                     "Scan Error : /m/secret(Scanning Error on Master Disk Code : 13)",
                     "Make Directory : /b/unreadable",
                     "Scan Error : /m/unreadable(Scanning Error on Master Disk Code : 5)",
                     "Error : /m/when(Code:75 File Time Culc Error)", "New File : /b/z"});
  EXPECT_EQ(runCopy(), first);
  EXPECT_EQ(errors, 8);
  Lines again = first;
  std::erase_if(again, [](const auto& line) { return line[0] == 'N' || line[0] == 'M'; });
  EXPECT_EQ(runCopy(), again);
  EXPECT_EQ(fs.copied.size(), 2u);
}

// A master holding two names that differ in letter case only, backed up onto a case-blind
// volume: whichever name the backup holds keeps its copy, the other is an error on every
// run, the simulation lists it as missing from the backup, and the batch file leaves it out.
TEST_F(CopyPassTest, NamesACaseBlindBackupCannotHoldSideBySideAreErrorsEveryRun) {
  fs.setCaseBlindBelow("/b");
  fs.addDirectory("/b");
  addFiles({"/m/Docs/x", "/m/DOCS/x", "/b/DOCS/x"});
  for (const char* path : {"/m/a.txt", "/m/A.txt", "/b/A.txt", "/m/Only.txt"})
    fs.addFile(path, path, kT + 100);
  fs.addFile("/b/ONLY.TXT", "old", kT);
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    EXPECT_EQ(runCopy(), (Lines{error("/b/Docs", EEXIST),
                                "UpDate File : /b/Only.txt  " + when(kT) + " -> " + when(kT + 100),
                                error("/b/a.txt", EEXIST)}));
    EXPECT_EQ(std::pair(errors, fs.contentOf("/b/A.txt")), std::pair(2, std::string("/b/A.txt")));
    fs.setMtime("/b/Only.txt", kT);
  }
  RecordingSink sink;
  engine.dryRun = &sink;
  engine.run.DryRunMode = 63;
  EXPECT_EQ(CopyTree(engine, "/m", "/b"), 0);
  std::sort(sink.simulated.begin(), sink.simulated.end());
  EXPECT_EQ(sink.simulated, (Lines{"/b/A.txt 16", "/b/DOCS/x 16", "/b/Only.txt 1", "/b/a.txt 8"}));
  engine.run.DryRunMode = -1;
  EXPECT_EQ(CopyTree(engine, "/m", "/b"), 0);
  EXPECT_EQ(sink.restores, Lines{"/m/Only.txt>/b/Only.txt"}) << "never a copy onto A.txt's";
}

// Entries without a counterpart go (a folder facing a file has none), and so do leftovers of
// killed copies; older copies, links facing files and recycle and trash folders at
// any depth stay.
TEST_F(RemovalPassTest, RemovesWhatTheMasterLacks) {
  for (const char* dir : {"/m/a", "/m/emptyKept", "/b/emptyKept", "/b/emptyGone", "/m/x", "/m/sub"})
    fs.addDirectory(dir);
  fs.addLink("/m/z", "target", kT);
  fs.addSpecial("/b/fifo");
  fs.addFile("/b/kept", "older copy", kT - 1000);
  addFiles({"/m/kept", "/b/gone", "/b/x", "/m/y", "/b/y/inner", "/b/z", "/b/RECYCLER",
            "/b/.tolvan32-partial-0123456789abcdef", "/b/a/Recycled/x", "/b/a/.Trash-1000/files/y",
            "/b/.Trash/z", "/b/a/.Trash-me/w", "/b/sub/x", "/b/stuck"});
  fs.failOn(Op::List, "/b/sub", EACCES);
  fs.failOn(Op::Remove, "/b/stuck", EPERM);
  EXPECT_EQ(runRemoval(),
            (Lines{"Delete File : /b/.tolvan32-partial-0123456789abcdef",
                   "Remove Directory: /b/a/.Trash-me", "Remove Directory: /b/emptyGone",
                   "Delete File : /b/fifo", "Delete File : /b/gone", error("/b/stuck", EPERM),
                   "Scan Error : /b/sub(Scanning Error on ckup Disk Code : 13)",
                   "Delete File : /b/x", "Remove Directory: /b/y"}));
  EXPECT_EQ(errors, 2);
  EXPECT_EQ(namesBelow("/b"),
            (Lines{"/.Trash", "/.Trash/z", "/RECYCLER", "/a", "/a/.Trash-1000",
                   "/a/.Trash-1000/files", "/a/.Trash-1000/files/y", "/a/Recycled", "/a/Recycled/x",
                   "/emptyKept", "/kept", "/stuck", "/sub", "/sub/x", "/z"}));
}

// Letter case counts on a case-sensitive volume, and on a case-blind one (whole, or the backup
// only, where the master's lookup misses a copy spelled otherwise) only with MatchCase.
TEST_F(RemovalPassTest, LetterCaseCountsOnlyWithMatchCaseOnACaseBlindVolume) {
  addFiles({"/m/README.TXT", "/b/Readme.TXT"});
  EXPECT_EQ(runRemoval(), (Lines{"Delete File : /b/Readme.TXT"})) << "case-sensitive volume";
  fs.setCaseBlindBelow("/b");
  fs.addDirectory("/b");
  for (const std::int16_t matchCase : {0, 1}) {
    SCOPED_TRACE("MatchCase " + std::to_string(matchCase));
    addFiles({"/m/readme.txt", "/m/Docs/x", "/b/Readme.TXT", "/b/DOCS/x", "/b/gone.txt"});
    engine.job.MatchCase = matchCase;
    const Lines spelledOtherwise{"Remove Directory: /b/DOCS", "Delete File : /b/gone.txt",
                                 "Delete File : /b/Readme.TXT"};
    EXPECT_EQ(runRemoval(), matchCase != 0 ? spelledOtherwise : Lines{"Delete File : /b/gone.txt"});
    EXPECT_EQ(fs.exists("/b/DOCS/x"), matchCase == 0);
  }
  fs.setCaseBlindBelow("/");
  for (const char* dir : {"/app", "/m", "/b"}) fs.addDirectory(dir);  // under case-blind keys
  addFiles({"/m/README.TXT", "/b/Readme.TXT"});
  engine.job.MatchCase = 0;
  EXPECT_EQ(runRemoval(), Lines{});
  engine.job.MatchCase = 1;
  EXPECT_EQ(runRemoval(), (Lines{"Delete File : /b/Readme.TXT"}));
}

// Only a complete listing of a master folder that can be looked up tells what it lacks: a
// lookup that fails, a listing that fails at its start or halfway, or a folder whose volume
// mounted there at the room check is gone, removes nothing in the backup folder or below it.
TEST_F(RemovalPassTest, AMasterFolderThatCannotBeListedToItsEndRemovesNothingThere) {
  const std::string kScanError = "Scan Error : /m/sub(Scanning Error on Master Disk Code : ";
  for (int fault = 0; fault < 4; ++fault) {
    SCOPED_TRACE("fault " + std::to_string(fault));
    addFiles(
        {"/m/sub/a", "/m/sub/b", "/b/sub/a", "/b/sub/onlyHere", "/b/sub/deeper/x", "/b/other"});
    Lines expected{"Delete File : /b/other", kScanError + "5)"};
    if (fault == 0) fs.failOn(Op::List, "/m/sub", EIO, 1);
    if (fault == 1) fs.failListingAfter("/m/sub", 1, EIO);
    if (fault == 2) {
      engine.masterMounts.note("/m/sub", 77);  // the fake's folders all lie on volume 1
      expected[1] = kScanError + "19)";
    }
    if (fault == 3) {
      fs.failOn(Op::Stat, "/m/sub", EACCES);
      expected[1] = error("/b/sub", EACCES);
    }
    EXPECT_EQ(runRemoval(), expected);
    engine.masterMounts.clear();
    EXPECT_EQ(errors, 1);
    EXPECT_TRUE(fs.exists("/b/sub/onlyHere") && fs.exists("/b/sub/deeper/x"));
  }
}

// A trash that says it has moved an entry but has left it in place.
class ClaimingTrash : public platform::Trash {
 public:
  int moveToTrash(const std::string&) override { return 0; }
};

// The trash takes a whole folder or, when the move fails or only claims success, leaves it.
TEST_F(RemovalPassTest, TrashBoxMovesAWholeFolderOrKeepsItWhenTheMoveFails) {
  engine.job.TrashBox = -1;
  addFiles({"/b/old/a", "/b/old/sub/c"});
  trash.failWith = EXDEV;
  EXPECT_EQ(runRemoval(), (Lines{error("/b/old", EXDEV)}));
  EXPECT_EQ(std::tuple(errors, fs.exists("/b/old/a")), std::tuple(1, true));
  ClaimingTrash claiming;
  Engine other{Services{fs, claiming, ui, sys}};
  other.job = engine.job;
  other.shared = engine.shared;
  WriteReport(other, ReportLineKind::OpenReport, {}, -1, "/m", "/b");
  EXPECT_EQ(RemovalPass(other, "/m", "/b"), 1);
  WriteReport(other, ReportLineKind::CloseReport, {}, -1);
  EXPECT_EQ(actionLines(), (Lines{error("/b/old", EIO)}));
  trash.failWith = 0;
  EXPECT_EQ(runRemoval(), (Lines{"Remove Directory: /b/old"}));
  Lines inTrash;
  for (const auto& node : trash.contents) inTrash.push_back(node.path);
  // Nothing is deleted outright.
  EXPECT_EQ(std::tuple(inTrash, fs.removed.size()),
            std::tuple(Lines{"/b/old", "/b/old/a", "/b/old/sub", "/b/old/sub/c"}, 0U));
}

// The backup folder turns into a link to an outside folder between its listing and the
// removals in it: nothing outside is removed or moved. The trash refuses and the walk goes on;
// on a share whose server follows links, the run stops as on a lost backup.
TEST_F(RemovalPassTest, NothingOutsideMovesThroughAFolderSwappedForALink) {
  for (const bool share : {false, true}) {
    SCOPED_TRACE(share ? "share" : "trash");
    for (const char* dir : {"/b/sub", "/b/z", "/outside", "/parked"}) (void)fs.removeTree(dir);
    engine.run.LostSide = kNoSideLost;
    trash.trashed.clear();
    engine.job.TrashBox = share ? 0 : -1;
    if (share) fs.linksMadeAt = kT;
    fs.setWriteRoot(share ? "" : "/b");
    addFiles({"/m/sub/keep", "/b/sub/keep", "/b/sub/x", "/b/sub/zdir/x", "/b/z", "/outside/x",
              "/outside/zdir/x", "/outside/keep"});
    fs.beforeOp = [&](Op op, const std::string& path) {
      if (op != Op::Stat || path != "/m/sub/x" || fs.exists("/parked")) return;
      ASSERT_EQ(fs.renameEntry("/b/sub", "/parked"), 0);
      fs.addLink("/b/sub", "/outside");
    };
    EXPECT_EQ(runRemoval(),
              (share ? Lines{} : Lines{error("/b/sub/x", ELOOP), "Delete File : /b/z"}));
    EXPECT_EQ(engine.run.LostSide, share ? kBackupLost : kNoSideLost);
    EXPECT_EQ(trash.trashed, share ? Lines{} : Lines{"/b/z"});
    EXPECT_EQ(namesBelow("/outside"), (Lines{"/keep", "/x", "/zdir", "/zdir/x"}));
    EXPECT_EQ(namesBelow("/parked"), (Lines{"/keep", "/x", "/zdir", "/zdir/x"}));
  }
}

// OldNT removes entry by entry, inside out, clearing read-only first; a folder that leads
// back up (a bind mount) is neither entered nor removed, nor is the folder holding it.
TEST_F(RemovalPassTest, OldNTRemovesEntryByEntryInsideOutButNeverBackUp) {
  engine.job.OldNT = -1;
  addFiles({"/b/old/sub/c", "/b/up/f", "/b/up/up/g"});
  fs.addFile("/b/old/a", "a", kT, 0444);
  fs.addDirectory("/b/old/sub/empty");
  fs.shareIdentity("/b/up/up", "/b");
  EXPECT_EQ(runRemoval(),
            (Lines{"Delete File : /b/old/a", "Delete File : /b/old/sub/c",
                   "Remove Directory: /b/old/sub/empty", "Remove Directory: /b/old/sub",
                   "Remove Directory: /b/old", "Delete File : /b/up/f", error("/b/up/up", ELOOP),
                   error("/b/up", ELOOP)}));
  EXPECT_EQ(std::tuple(errors, fs.exists("/b/old"), fs.exists("/b/up/up/g")),
            std::tuple(2, false, true));
  fs.addFile("/b/ro", "r", kT, 0444);
  fs.failOn(Op::SetPermissions, "/b/ro", EPERM);
  EXPECT_EQ(DeleteEntry(engine, "/b/ro", 0, -1), EPERM);  // no deleting without clearing
  EXPECT_TRUE(fs.exists("/b/ro"));
  fs.addDirectory("/b/t");
  fs.failOn(Op::List, "/b/t", EACCES);
  EXPECT_EQ(DeleteEntry(engine, "/b/t", 0, -1), 1);  // a folder it cannot list counts once
}

// A whole-tree removal keeps what it cannot list, says so, and never enters a loop.
TEST_F(RemovalPassTest, RemoveTreeKeepsFoldersItCannotListOrThatLeadBackUp) {
  addFiles({"/b/t/a", "/b/t/sub/x", "/b/t/z", "/b/u/a", "/b/u/self/x"});
  fs.failListingAfter("/b/t/sub", 0, EIO);
  fs.shareIdentity("/b/u/self", "/b/u");
  openReport();
  EXPECT_EQ(DeleteEntry(engine, "/b/t", 0, -1), ENOTEMPTY);
  EXPECT_EQ(DeleteEntry(engine, "/b/u", 0, -1), ELOOP);
  closeReport();
  EXPECT_EQ(actionLines(),
            (Lines{"Scan Error : /b/t/sub(Removing Error on Backup Disk Code : 5)"}));
  EXPECT_TRUE(fs.exists("/b/t/sub/x") && fs.exists("/b/u/self/x") && !fs.exists("/b/t/a"));
}

// Copies that take longer the lower their number's last digit, so that they finish out of
// order; "f13" fails, and "f21" cannot be made on a worker.
int UnevenCopy(const std::string&, const std::string& target, bool) {
  const std::string name = target.substr(target.rfind('/') + 1);
  std::this_thread::sleep_for(std::chrono::microseconds((9 - (name.back() - '0')) * 40));
  if (name == "f13") return EIO;
  return name == "f21" ? ENOTSUP : 0;
}

// More copies than may be on their way at once, in folders of forty, with lines among them.
TEST(CopyAheadTest, ResultsAndLinesComeBackInTheOrderHandedOver) {
  platform::FakeFileSystem fs;
  fs.workerCopy = UnevenCopy;
  CopyAhead ahead(fs, {4, 64});
  ASSERT_TRUE(ahead.working());
  std::vector<std::string> expected, taken;
  const auto take = [&](bool all) {
    for (const auto& done : ahead.takeFinished(all))
      taken.push_back(done.line >= 0 ? done.target : done.target + " " + std::to_string(done.code));
  };
  for (int i = 0; i < 600; ++i) {
    const std::string target = "/b/d" + std::to_string(i / 40) + "/f" + std::to_string(i);
    ahead.handOver("/m/f", target, {});
    const int code = i == 13 ? EIO : i == 21 ? CopyAhead::kNotTaken : 0;
    expected.push_back(target + " " + std::to_string(code));
    if (i % 50 == 7) {
      ahead.addLine(2, "line after " + std::to_string(i));
      expected.push_back("line after " + std::to_string(i));
    }
    take(false);
  }
  take(true);
  EXPECT_EQ(taken, expected);
  EXPECT_FALSE(ahead.busy());
}

}  // namespace
}  // namespace tolvan::testing
