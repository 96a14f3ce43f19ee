#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/ChangeLimit.h"
#include "engine/JobDriver.h"
#include "support/EngineFixture.h"

namespace tolvan::testing {
namespace {

TEST(ChangeLimitRule, AppliesAboveThePercentAndFromFiftyChanges) {
  // Backup entries, removals, replacements, the limit, whether the run stops.
  const std::tuple<std::int64_t, std::int64_t, std::int64_t, std::int16_t, bool> cases[] = {
      {1000, 100, 0, 10, false},  // exactly 10 %: not more
      {1000, 100, 1, 10, true},    {1000, 60, 41, 10, true}, {1000, 0, 101, 10, true},
      {1000, 99, 0, 10, false},    {100, 49, 0, 10, false},  // the floor: a tiny backup
      {100, 50, 0, 10, true},      {60, 0, 50, 50, true},    {100, 50, 0, 50, false},
      {1000, 1000, 0, 100, false}, {1000, 999, 0, 0, false},  // 100 % never, 0 is off
      {10, 60, 0, 100, true},      {0, 50, 0, 1, true},
  };
  for (const auto& [entries, removals, replacements, limit, stops] : cases) {
    EXPECT_EQ(ExceedsChangeLimit({removals, replacements, entries}, limit), stops)
        << entries << " " << removals << "+" << replacements << " " << limit;
  }
  EXPECT_EQ(GroupedNumber(12345) + " " + GroupedNumber(999) + " " + GroupedNumber(1000000),
            "12,345 999 1,000,000");
}

// The status file's keys and values ("key": value), the quotes of a text value taken off.
std::map<std::string, std::string> Fields(const std::string& json) {
  std::map<std::string, std::string> fields;
  for (std::size_t colon = json.find("\": "); colon != std::string::npos;
       colon = json.find("\": ", colon + 1)) {
    const std::size_t key = json.rfind('"', colon - 1) + 1;
    const std::size_t value = colon + (json.compare(colon + 3, 1, "\"") == 0 ? 4 : 3);
    fields[json.substr(key, colon - key)] =
        json.substr(value, json.find_first_of("\",\n", value) - value);
  }
  return fields;
}

class ChangeLimitTest : public PassFixture {
 protected:
  ChangeLimitTest() {
    engine.job.NomalMode = -1, engine.job.ChangeLimit = 10;
    // 100 backup files in two folders, a master that lost 55 of them and rewrote 3 more.
    for (int i = 0; i < 50; ++i)
      for (const std::string stem : {"d1/f", "d2/f"})
        addPair(stem + std::to_string(i), kT, kT, "same", "same");
    addFiles({"/b/gone/a", "/b/gone/sub/b"});
    for (int i = 0; i < 51; ++i) (void)fs.removeEntry("/m/d1/f" + std::to_string(i % 50));
    for (int i = 0; i < 3; ++i) fs.addFile("/m/d2/f" + std::to_string(i), "new", kT + 3600);
  }
  RunOutcome run(std::int16_t timer = 0) { return RunJob(engine, "/m", "/b", timer); }
  std::map<std::string, std::string> lastRun() { return Fields(fs.contentOf("/app/LastRun.json")); }
};

TEST_F(ChangeLimitTest, CountsWhatThePassesWouldDoFolderContentsIncluded) {
  const ChangeCounts counts = CountChanges(engine, "/m", "/b");
  // The folder "gone" counts with its three entries.
  EXPECT_EQ(std::tuple(counts.removals, counts.replacements), std::tuple(50 + 4, 3));
  engine.job.NomalMode = 0;
  EXPECT_EQ(CountChanges(engine, "/m", "/b").removals, 0) << "a Backup run removes nothing";
}

// The status file after a run with errors, a clean run, a stopped run and a refused one. The
// first, over the limit, may go ahead once.
TEST_F(ChangeLimitTest, LastRunTellsEachWayARunEnds) {
  engine.job.XOption = 1;
  engine.run.AllowBigChange = true;
  fs.failOn(platform::FakeFileSystem::Op::Copy, "/b/d2/f1", EACCES, 1);
  sys.utcOffsetSeconds = 9 * 3600;
  using Expected = std::map<std::string, std::string>;
  const auto expected = [](const char* result, const char* made, const char* copied,
                           const char* removed, const char* failures, const char* status) {
    const std::string when = "2023-11-15T07:13:20+09:00";
    return Expected{{"version", "1"},         {"job", "job.tvf"},   {"started", when},
                    {"ended", when},          {"result", result},   {"folders_made", made},
                    {"files_copied", copied}, {"removed", removed}, {"errors", failures},
                    {"exit_status", status}};
  };
  EXPECT_EQ(run().errors, 1);  // a removed folder is one entry, as its report line
  EXPECT_EQ(lastRun(), expected("errors", "0", "2", "51", "1", "1"));
  EXPECT_FALSE(engine.run.AllowBigChange) << "one run only";
  EXPECT_EQ(run().end, RunEnd::Finished);
  EXPECT_EQ(lastRun(), expected("finished", "0", "1", "0", "0", "0"));
  EXPECT_EQ(tree("/b"), tree("/m"));
  fs.addFile("/m/n", "n", kT);
  ui.onEvents = [&](long) { engine.run.StopFlag = -1; };
  EXPECT_EQ(run().end, RunEnd::Stopped);
  EXPECT_EQ(lastRun(), expected("stopped", "0", "0", "0", "0", "3"));
  ui.onEvents = nullptr;
  for (int i = 0; i < 50; ++i) (void)fs.removeEntry("/m/d2/f" + std::to_string(i));
  EXPECT_EQ(run().end, RunEnd::Refused);
  EXPECT_EQ(lastRun(), expected("refused", "0", "0", "0", "0", "2"));
}

// A status file that cannot be written is one report line; the run is not failed by it.
TEST_F(ChangeLimitTest, ALinkInTheStatusFilesPlaceIsALineOfTheReport) {
  engine.job.XOption = 1, engine.job.ChangeLimit = 0;
  fs.addLink("/app/LastRun.json", "/elsewhere");
  const RunOutcome outcome = run();  // 55 removals of 100 entries, the limit off
  EXPECT_EQ(std::pair(outcome.end, outcome.errors), std::pair(RunEnd::Finished, 0));
  EXPECT_EQ(actionLines().back(), "Error : " + FailureText("/app/LastRun.json", ELOOP) +
                                      " The last-run status could not be written");
  EXPECT_FALSE(fs.exists("/elsewhere"));
}

}  // namespace
}  // namespace tolvan::testing
