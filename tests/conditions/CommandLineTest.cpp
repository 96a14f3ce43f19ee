#include <gtest/gtest.h>

#include "conditions/CommandLine.h"

namespace tolvan {
namespace {

TEST(SubStringTest, TakesOutTheFirstOccurrenceIgnoringCase) {
  EXPECT_EQ(SubString("/X MyJob.tvf", "/x"), "MyJob.tvf");
  EXPECT_EQ(SubString("a/e b/E", "/E"), "a b/E");
  EXPECT_EQ(SubString("abc", "z"), "abc");
  EXPECT_EQ(SubString("  abc ", "z"), "  abc ");  // not found: not trimmed either
  EXPECT_EQ(SubString("  abc ", ""), "abc");
}

struct Parsed {
  JobConditions job;
  std::string name;
  CommandLine line;
};

Parsed Get(const std::vector<std::string>& args) {
  Parsed parsed;
  parsed.job.XOption = 1;  // every field must be set, not only turned on
  parsed.job.ATOption = -1;
  parsed.job.ErrorFreeOption = -1;
  parsed.job.CommandLineFile = -1;
  parsed.name = tvfGet(parsed.job, args, &parsed.line);
  return parsed;
}

TEST(TvfGetTest, SwitchLettersInsidePathsAreNotSwitches) {
  for (const auto& [path, name] : std::vector<std::pair<std::string, std::string>>{
           {"/home/xavier/jobs/night.tvf", "night.tvf"},
           {"/srv/at/x.tvf", "x.tvf"},
           {"/etc/e.tvf", "e.tvf"},
           {"/X/AT/E/job", "job.tvf"}}) {
    const Parsed p = Get({path});
    EXPECT_EQ(p.name, name) << path;
    EXPECT_EQ(p.job.XOption, 0) << path;
    EXPECT_EQ(p.job.ATOption, 0) << path;
    EXPECT_EQ(p.job.ErrorFreeOption, 0) << path;
    EXPECT_EQ(p.job.CommandLineFile, -1) << path;
  }
}

TEST(TvfGetTest, SwitchArgumentsInAnyCaseAndGlued) {
  Parsed p = Get({"/x/E", "/home/xavier/night"});
  EXPECT_EQ(p.job.XOption, 1);
  EXPECT_EQ(p.job.ErrorFreeOption, -1);
  EXPECT_EQ(p.job.ATOption, 0);
  EXPECT_EQ(p.name, "night.tvf");
  p = Get({"night", "/At"});
  EXPECT_EQ(p.job.XOption, 1);
  EXPECT_EQ(p.job.ATOption, -1);
  p = Get({"/E"});
  EXPECT_EQ(p.job.ErrorFreeOption, -1);
  EXPECT_EQ(p.job.XOption, 0);
  EXPECT_EQ(p.job.CommandLineFile, 0);
  EXPECT_EQ(p.name, "");
  p = Get({"/T"});  // not a switch: a name
  EXPECT_EQ(p.name, "T.tvf");
  EXPECT_EQ(p.job.CommandLineFile, -1);
  EXPECT_EQ(Get({"/x /e"}).job.ErrorFreeOption, -1);
}

TEST(TvfGetTest, NameRules) {
  EXPECT_EQ(Get({"/home/me/night.old"}).name, "night.old");
  EXPECT_EQ(Get({"/home/me/my.jobs/night"}).name, "night");  // a "." anywhere: no extension
  EXPECT_EQ(Get({"\"/home/me/My Jobs/a b.tvf\""}).name, "a b.tvf");
  // An unquoted path with blanks arrives in pieces; the pieces are one name.
  EXPECT_EQ(Get({"/x", "/home/me/My", "Jobs/a", "b.tvf"}).name, "a b.tvf");
  EXPECT_EQ(Get({"--", "/x"}).name, "x.tvf");
}

TEST(TvfGetTest, LongOptions) {
  const Parsed p = Get({"--no-gui", "--help", "--version", "job"});
  EXPECT_TRUE(p.line.noGui && p.line.help && p.line.version);
  EXPECT_FALSE(p.line.usageError());
  EXPECT_EQ(p.name, "job.tvf");
  const CommandLine bad = ParseCommandLine({"--bogus", "job"});
  EXPECT_TRUE(bad.usageError());
  EXPECT_EQ(bad.unknownOption, "--bogus");
}

}  // namespace
}  // namespace tolvan
