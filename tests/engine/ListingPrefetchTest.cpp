// Listings read ahead on other threads: a walk through them sees exactly what the folders'
// own listings give, within the memory budget, and the size walk reads ahead where lookups
// are slow.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/FileOps.h"
#include "engine/ListingPrefetch.h"
#include "engine/TreeListings.h"
#include "platform/fake/SharedFakeFileSystem.h"

namespace tolvan {
namespace {

using platform::DirectoryListing;
using platform::EntryKind;
using platform::FakeFileSystem;
using platform::SharedFakeFileSystem;
using Opener = std::function<std::unique_ptr<DirectoryListing>(const std::string&, int&)>;

// A tree of `folders` nested folders (each below the one a third of the way back) with
// `files` files each, beside an empty folder, one that cannot be listed, one whose listing
// fails after two entries, folders the walk skips (with folders below them), and last a
// folder the walk enters.
std::shared_ptr<SharedFakeFileSystem::Shared> MakeTree(int folders, int files) {
  auto shared = std::make_shared<SharedFakeFileSystem::Shared>();
  FakeFileSystem& tree = shared->tree;
  std::vector<std::string> paths{"/m"};
  tree.addDirectory("/m");
  for (int i = 1; i <= folders; ++i) {
    paths.push_back(paths[static_cast<std::size_t>((i - 1) / 3)] + "/d" + std::to_string(i));
    tree.addDirectory(paths.back(), i);
    for (int j = 0; j < files; ++j)
      tree.addFile(paths.back() + "/f" + std::to_string(j), std::string(j, 'x'), i * 100 + j);
  }
  tree.addDirectory("/m/empty");
  tree.addFile("/m/locked/hidden");
  tree.failOn(FakeFileSystem::Op::List, "/m/locked", EACCES);
  for (const char* name : {"a", "b", "c", "d", "e"}) tree.addFile(std::string("/m/broken/") + name);
  tree.failListingAfter("/m/broken", 2, EIO);
  for (const char* name : {"/m/skip1/x/y", "/m/skip2/z"}) tree.addFile(name, "zz");
  tree.addFile("/m/zz/last");
  return shared;
}

// Depth-first in listing order, as the walks go; every open, entry and end becomes a line.
void Walk(const Opener& open, const std::string& folder, std::vector<std::string>& lines) {
  int error = 0;
  const std::unique_ptr<DirectoryListing> listing = open(folder, error);
  if (listing == nullptr) {
    lines.push_back(folder + " open " + std::to_string(error));
    return;
  }
  std::string_view name;
  platform::FileStat stat;
  int read = 0;
  while ((read = listing->next(name, stat)) == 0) {
    const std::string child = folder + "/" + std::string(name);
    lines.push_back(child + " " + std::to_string(static_cast<int>(stat.kind)) + " " +
                    std::to_string(stat.size) + " " + std::to_string(stat.mtimeSeconds) + " " +
                    std::to_string(stat.inode));
    if (stat.kind == EntryKind::Directory && name.substr(0, 4) != "skip") Walk(open, child, lines);
  }
  lines.push_back(folder + " end " + std::to_string(read));
}

bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 400 && !done(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return done();
}

// Each case would show entries lost, reordered or described wrongly, a failure swallowed or
// moved, memory held beyond the budget, listings the walk passed kept, or none served at all.
TEST(ListingPrefetchTest, AWalkSeesWhatTheFoldersOwnListingsGiveWithinTheBudget) {
  struct Case {
    const char* what;
    unsigned threads;
    ListingPrefetch::Budget budget;
    int folders;
    int files;
    bool servesSome;  // the read-ahead has room for the root's listing
  };
  const Case cases[] = {
      {"room for the whole tree", 4, {}, 40, 3, true},
      {"a budget far below the tree", 4, {40, 6}, 120, 8, true},
      {"one reader with room for one folder at a time", 1, {60, 1}, 30, 5, true},
      {"room for no listing", 3, {1, 4}, 20, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto shared = MakeTree(c.folders, c.files);
    std::vector<std::string> direct;
    Walk([&](const std::string& dir, int& error) { return shared->tree.openListing(dir, error); },
         "/m", direct);
    shared->roundTrip = std::chrono::microseconds(50);
    SharedFakeFileSystem fs(shared);
    std::vector<std::string> ahead;
    {
      ListingPrefetch prefetch(fs, c.threads, false, c.budget);
      ASSERT_EQ(prefetch.threads(), c.threads);
      prefetch.expect("/m");
      if (c.servesSome) {
        ASSERT_TRUE(WaitFor([&] { return prefetch.mostEntriesHeld() > 0; }));
      }
      Walk([&](const std::string& dir, int& error) { return prefetch.open(dir, false, error); },
           "/m", ahead);
      EXPECT_LE(prefetch.mostEntriesHeld(), c.budget.entries);
      // The walk went past every folder but the last, which holds none.
      EXPECT_TRUE(WaitFor([&] { return prefetch.heldEntries() == 0; }))
          << prefetch.heldEntries() << " entries of passed folders still held";
    }
    EXPECT_EQ(ahead, direct);
    const std::size_t opened = direct.size() - static_cast<std::size_t>(c.folders) * c.files;
    if (c.servesSome) {
      EXPECT_LT(fs.listingsOpened, opened) << "nothing read ahead was served";
    }
  }
}

// A walk that ends (or is stopped) does not wait for the reading threads to finish the
// listings they are in: each stops at its next entry.
TEST(ListingPrefetchTest, TheReadingThreadsEndAtTheirNextEntry) {
  auto shared = MakeTree(9, 200);
  shared->roundTrip = std::chrono::milliseconds(5);
  SharedFakeFileSystem fs(shared);
  auto prefetch = std::make_unique<ListingPrefetch>(fs, 3);
  prefetch->expect("/m");
  ASSERT_TRUE(WaitFor([&] { return prefetch->heldEntries() > 20; }));
  const auto start = std::chrono::steady_clock::now();
  prefetch.reset();
  const auto ending = std::chrono::steady_clock::now() - start;
  // A listing of 200 entries takes a second to read here.
  EXPECT_LT(ending, std::chrono::milliseconds(250));
}

// A walk waiting for a long listing that is still being read lets events run, and once
// stopped it reads the folder for itself rather than wait for the whole listing.
TEST(ListingPrefetchTest, AWalkWaitingForAListingLetsEventsRunAndMayStopWaiting) {
  auto shared = MakeTree(0, 0);
  for (int i = 0; i < 400; ++i) shared->tree.addFile("/m/zz/f" + std::to_string(i));
  shared->roundTrip = std::chrono::milliseconds(5);
  SharedFakeFileSystem fs(shared);
  ListingPrefetch prefetch(fs, 2);
  prefetch.expect("/m/zz");
  ASSERT_TRUE(WaitFor([&] { return prefetch.heldEntries() > 1; }));
  int calls = 0;
  int error = 0;
  const auto start = std::chrono::steady_clock::now();
  const auto listing = prefetch.open("/m/zz", false, error, [&] { return ++calls < 3; });
  // The whole listing takes two seconds to read here.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(calls, 3);
  ASSERT_NE(listing, nullptr);
  std::string_view name;
  platform::FileStat stat;
  EXPECT_EQ(listing->next(name, stat), 0);
  EXPECT_EQ(name, "f0");
}

// The size walk reads ahead only where a lookup is a round trip to another machine, and its
// figures and kept listings are the same either way.
TEST(ListingPrefetchTest, TheSizeWalkReadsAheadOnlyWhereLookupsAreSlowWithTheSameResults) {
  struct Case {
    std::int64_t lookupNs;
    bool readsAhead;
  };
  const Case cases[] = {{0, false}, {20'000, false}, {2'000'000, true}};
  struct Figures {
    double bytes;
    std::int64_t folders;
    std::int64_t files;
    bool operator==(const Figures&) const = default;
  };
  std::vector<Figures> figures;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lookupNs);
    EXPECT_EQ(ReadAheadThreads(c.lookupNs) > 0, c.readsAhead);
    auto shared = MakeTree(40, 4);
    shared->lookupNs = c.lookupNs;
    shared->roundTrip = std::chrono::microseconds(50);
    SharedFakeFileSystem fs(shared);
    TreeListings listings(1 << 20, 1 << 20);
    Figures walked{0, 0, 0};
    const SizeWalkHooks hooks{[] { return false; }, [] {}};
    walked.bytes =
        TreeSizeWith(fs, "/m", 1, walked.folders, walked.files, hooks, false, {&listings});
    figures.push_back(walked);
    // Every folder read to its end is kept, with its listing's entries.
    std::vector<std::string> folders{"/m"};
    for (std::size_t i = 0; i < folders.size(); ++i) {
      const std::string& path = folders[i];
      const TreeListings::Folder* held = listings.find(path);
      const std::vector<std::string> children = shared->tree.childrenOf(path);
      if (path == "/m/broken" || path == "/m/locked") {
        EXPECT_EQ(held, nullptr) << path;
        continue;
      }
      ASSERT_NE(held, nullptr) << path;
      EXPECT_EQ(held->entries.size(), children.size()) << path;
      for (const std::string& child : children) {
        const FakeFileSystem::Node* node = shared->tree.find(child);
        if (node != nullptr && node->kind == EntryKind::Directory) folders.push_back(child);
      }
    }
    EXPECT_EQ(fs.listingsOpened < 40, c.readsAhead) << fs.listingsOpened << " opened by the walk";
  }
  EXPECT_EQ(figures[1], figures[0]);
  EXPECT_EQ(figures[2], figures[0]);
}

}  // namespace
}  // namespace tolvan
