// Listings read ahead on other threads: a walk through them sees exactly what the folders'
// own listings give, within the memory budget, and the size walk reads ahead where lookups
// are slow.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/FileOps.h"
#include "engine/ListingPrefetch.h"
#include "engine/TreeListings.h"
#include "platform/fake/FakeFileSystem.h"
#include "support/WaitFor.h"

namespace tolvan {
namespace {

using platform::EntryKind;
using platform::FakeFileSystem;
using namespace std::chrono_literals;
using testing::WaitFor;

// A tree of `folders` nested folders (each below the one a third of the way back) with
// `files` files each, beside an empty folder, one that cannot be listed, one whose listing
// fails after two entries, folders the walk skips (with folders below them), and last a
// folder the walk enters.
void MakeTree(FakeFileSystem& tree, int folders, int files) {
  std::vector<std::string> paths{"/m"};
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
}

// Depth-first in listing order, as the walks go; every open, entry and end becomes a line.
template <typename Opener>
void Walk(const Opener& open, const std::string& folder, std::vector<std::string>& lines) {
  int error = 0;
  const auto listing = open(folder, error);
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

// Each case would show entries lost, reordered or described wrongly, a failure swallowed or
// moved, memory held beyond the budget, listings the walk passed kept, or none served at all.
TEST(ListingPrefetchTest, AWalkSeesWhatTheFoldersOwnListingsGiveWithinTheBudget) {
  struct Case {
    const char* what;
    unsigned threads;
    ListingPrefetch::Budget budget;
    int folders, files;
    bool servesSome;  // the read-ahead has room for the root's listing
  };
  for (const Case& c :
       {Case{"room for the whole tree", 4, {}, 40, 3, true},
        Case{"a budget far below the tree", 4, {40, 6}, 120, 8, true},
        Case{"one reader with room for one folder at a time", 1, {60, 1}, 30, 5, true},
        Case{"room for no listing", 3, {1, 4}, 20, 2, false}}) {
    SCOPED_TRACE(c.what);
    FakeFileSystem fs;
    MakeTree(fs, c.folders, c.files);
    std::vector<std::string> direct, ahead;
    Walk([&](const std::string& dir, int& e) { return fs.openListing(dir, e); }, "/m", direct);
    const std::size_t opened = std::exchange(fs.listingsOpened, 0);
    fs.roundTrip = 50us;
    {
      ListingPrefetch prefetch(fs, c.threads, false, c.budget);
      prefetch.expect("/m");
      ASSERT_TRUE(!c.servesSome || WaitFor([&] { return prefetch.mostEntriesHeld() > 0; }));
      Walk([&](const std::string& d, int& e) { return prefetch.open(d, false, e); }, "/m", ahead);
      EXPECT_LE(prefetch.mostEntriesHeld(), c.budget.entries);
      // The walk went past every folder but the last, which holds none.
      EXPECT_TRUE(WaitFor([&] { return prefetch.heldEntries() == 0; }))
          << prefetch.heldEntries() << " entries of passed folders still held";
    }
    EXPECT_EQ(ahead, direct);
    EXPECT_TRUE(!c.servesSome || fs.listingsOpened < opened)
        << fs.listingsOpened << " of " << opened << " opened: nothing read ahead was served";
  }
}

// A walk waiting for a long listing still being read lets events run, and once stopped it
// reads the folder for itself rather than wait for the whole listing. A walk that ends does
// not wait either: the reading thread stops at its next entry.
TEST(ListingPrefetchTest, NeitherAWaitingWalkNorItsEndWaitsForAWholeListing) {
  FakeFileSystem fs;
  for (int i = 0; i < 4000; ++i) fs.addFile("/m/zz/f" + std::to_string(i));
  fs.roundTrip = 5ms;
  auto prefetch = std::make_unique<ListingPrefetch>(fs, 2);
  prefetch->expect("/m/zz");
  ASSERT_TRUE(WaitFor([&] { return prefetch->heldEntries() > 1; }));
  int calls = 0, error = 0;
  const auto start = std::chrono::steady_clock::now();
  auto listing = prefetch->open("/m/zz", false, error, [&] { return ++calls < 3; });
  EXPECT_EQ(calls, 3);
  ASSERT_NE(listing, nullptr);
  std::string_view name;
  platform::FileStat stat;
  EXPECT_EQ(listing->next(name, stat), 0);
  EXPECT_EQ(name, "f0");
  listing.reset();
  prefetch.reset();
  // Neither waited for the rest of the listing, which takes twenty seconds to read here.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

// The size walk reads ahead only where a lookup is a round trip to another machine, and its
// figures and kept listings are the same either way.
TEST(ListingPrefetchTest, TheSizeWalkReadsAheadOnlyWhereLookupsAreSlowWithTheSameResults) {
  std::vector<std::tuple<double, std::int64_t, std::int64_t>> figures;
  for (const auto& [lookupNs, readsAhead] :
       {std::pair{0, false}, {20'000, false}, {2'000'000, true}}) {
    SCOPED_TRACE(lookupNs);
    FakeFileSystem fs;
    MakeTree(fs, 40, 4);
    fs.lookupNs = lookupNs;
    fs.roundTrip = 50us;
    TreeListings listings(1 << 20, 1 << 20);
    std::int64_t folders = 0, files = 0;
    const SizeWalkHooks hooks{[] { return false; }, [] {}, {}};
    const double bytes = TreeSizeWith(fs, "/m", 1, folders, files, hooks, false, {&listings});
    figures.emplace_back(bytes, folders, files);
    EXPECT_EQ(fs.listingsOpened < 40, readsAhead) << fs.listingsOpened << " opened by the walk";
    // Every folder read to its end is kept, with its listing's entries.
    std::vector<std::string> kept{"/m"};
    for (std::size_t i = 0; i < kept.size(); ++i) {
      const TreeListings::Folder* held = listings.find(kept[i]);
      const bool whole = kept[i] != "/m/broken" && kept[i] != "/m/locked";
      ASSERT_EQ(held != nullptr, whole) << kept[i];
      if (!whole) continue;
      EXPECT_EQ(held->entries.size(), fs.childrenOf(kept[i]).size()) << kept[i];
      for (const TreeListings::Entry& entry : held->entries)
        if (entry.stat.kind == EntryKind::Directory)
          kept.push_back(kept[i] + "/" + std::string(held->nameOf(entry)));
    }
  }
  EXPECT_EQ(figures, decltype(figures)(3, figures.front()));
}

}  // namespace
}  // namespace tolvan
