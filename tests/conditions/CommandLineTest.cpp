#include <gtest/gtest.h>

#include "conditions/CommandLine.h"

namespace tolvan {
namespace {

TEST(SubStringTest, TakesOutTheFirstOccurrenceIgnoringCaseAndTrims) {
  EXPECT_EQ(SubString("/X MyJob.tvf", "/x"), "MyJob.tvf");
  EXPECT_EQ(SubString("a/e b/E", "/E"), "a b/E");
  EXPECT_EQ(SubString("  abc ", "z"), "  abc ");  // not found: not trimmed either
  EXPECT_EQ(SubString("  abc ", ""), "abc");
}

// The name and the switches as "name x at e file", each switch its field's value.
std::string Get(const std::vector<std::string>& args) {
  JobConditions job;
  job.XOption = 1;  // every field must be set, not only turned on
  job.ATOption = job.ErrorFreeOption = job.CommandLineFile = -1;
  const std::string name = tvfGet(job, args, nullptr);
  return name + " " + std::to_string(job.XOption) + " " + std::to_string(job.ATOption) + " " +
         std::to_string(job.ErrorFreeOption) + " " + std::to_string(job.CommandLineFile);
}

TEST(TvfGetTest, SwitchesNamesAndQuotes) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      // Switch letters inside a path are not switches; only the file name counts.
      {{"/home/xavier/jobs/night.tvf"}, "night.tvf 0 0 0 -1"},
      {{"/srv/at/x.tvf"}, "x.tvf 0 0 0 -1"},
      {{"/X/AT/E/job"}, "job.tvf 0 0 0 -1"},
      // Switches in any case, glued, in any place.
      {{"/x/E", "/home/xavier/night"}, "night.tvf 1 0 -1 -1"},
      {{"night", "/At"}, "night.tvf 1 -1 0 -1"},
      {{"/E"}, " 0 0 -1 0"},
      {{"/x /e"}, " 1 0 -1 0"},
      {{"/T"}, "T.tvf 0 0 0 -1"},  // not a switch: a name
      // A "." anywhere keeps the name as it is; quotes go; pieces of a path with blanks join.
      {{"/home/me/night.old"}, "night.old 0 0 0 -1"},
      {{"/home/me/my.jobs/night"}, "night 0 0 0 -1"},
      {{"\"/home/me/My Jobs/a b.tvf\""}, "a b.tvf 0 0 0 -1"},
      {{"/x", "/home/me/My", "Jobs/a", "b.tvf"}, "a b.tvf 1 0 0 -1"},
      {{"--", "/x"}, "x.tvf 0 0 0 -1"}};
  for (const auto& [args, expected] : cases) EXPECT_EQ(Get(args), expected) << args[0];
}

TEST(TvfGetTest, LongOptions) {
  CommandLine line;
  JobConditions job;
  EXPECT_EQ(tvfGet(job, {"--no-gui", "--help", "--version", "job"}, &line), "job.tvf");
  EXPECT_TRUE(line.noGui && line.help && line.version);
  EXPECT_FALSE(line.usageError());
  const CommandLine bad = ParseCommandLine({"--bogus", "job"});
  EXPECT_TRUE(bad.usageError());
  EXPECT_EQ(bad.unknownOption, "--bogus");
}

TEST(TvfGetTest, DryRunOptions) {
  struct Case {
    std::vector<std::string> args;
    std::string expected;  // simulate kinds output makeBat, or the usage problem
  };
  const Case cases[] = {
      {{"--simulate", "job"}, "1 63  0"},
      {{"--simulate=1,6", "--output", "l.csv", "job"}, "1 33 l.csv 0"},
      {{"--simulate=all", "--output=x.csv", "job"}, "1 63 x.csv 0"},
      {{"--make-bat", "job"}, "0 0  1"},
      {{"--simulate=7", "job"}, "invalid kinds in --simulate=7 (kind numbers 1 to 6, or all)"},
      {{"--simulate=1,,2", "job"},
       "invalid kinds in --simulate=1,,2 (kind numbers 1 to 6, or all)"},
      {{"--output", "x.csv", "job"}, "--output goes with --simulate"},
      {{"--simulate", "--output"}, "--output needs a file name"},
      {{"--simulate", "--make-bat", "job"}, "--simulate and --make-bat exclude each other"},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.args);
    const std::string seen = line.usageError()
                                 ? line.usageProblem
                                 : std::to_string(line.simulate) + " " +
                                       std::to_string(line.simulateKinds) + " " + line.output +
                                       " " + std::to_string(line.makeBat);
    EXPECT_EQ(seen, c.expected) << c.args[0];
  }
}

}  // namespace
}  // namespace tolvan
