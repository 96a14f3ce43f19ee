// What the program takes from its start: the command line, the environment, stored settings.
#include "ConditionsFixture.h"
#include "conditions/CommandLine.h"
#include "conditions/Startup.h"
#include "engine/Report.h"

namespace tolvan::testing {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLineTest, SubStringTakesOutTheFirstOccurrenceIgnoringCaseAndTrims) {
  EXPECT_EQ(SubString("/X MyJob.tvf", "/x"), "MyJob.tvf");
  EXPECT_EQ(SubString("a/e b/E", "/E"), "a b/E");
  EXPECT_EQ(SubString("  abc ", "z"), "  abc ");  // not found: not trimmed either
  EXPECT_EQ(SubString("  abc ", ""), "abc");
}

// The name and the switches as "name x at e file", each switch its field's value.
std::string Get(const Args& args) {
  JobConditions job;
  job.XOption = 1;  // every field must be set, not only turned on
  job.ATOption = job.ErrorFreeOption = job.CommandLineFile = -1;
  const std::string name = tvfGet(job, args, nullptr);
  return name + " " + std::to_string(job.XOption) + " " + std::to_string(job.ATOption) + " " +
         std::to_string(job.ErrorFreeOption) + " " + std::to_string(job.CommandLineFile);
}

TEST(CommandLineTest, SwitchesNamesAndQuotes) {
  const std::pair<Args, std::string> cases[] = {
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

TEST(CommandLineTest, LongAndDryRunOptions) {
  const std::pair<Args, std::string> cases[] = {
      // "noGui help version simulate kinds output makeBat", or the usage problem
      {{"--no-gui", "--help", "--version", "job"}, "111 0 0  0"},
      {{"--simulate", "job"}, "000 1 63  0"},
      {{"--simulate=1,6", "--output", "l.csv", "job"}, "000 1 33 l.csv 0"},
      {{"--simulate=all", "--output=x.csv", "job"}, "000 1 63 x.csv 0"},
      {{"--make-bat", "job"}, "000 0 0  1"},
      {{"--simulate=7", "job"}, "invalid kinds in --simulate=7 (kind numbers 1 to 6, or all)"},
      {{"--simulate=1,,2"}, "invalid kinds in --simulate=1,,2 (kind numbers 1 to 6, or all)"},
      {{"--output", "x.csv", "job"}, "--output goes with --simulate"},
      {{"--simulate", "--output"}, "--output needs a file name"},
      {{"--simulate", "--make-bat", "job"}, "--simulate and --make-bat exclude each other"}};
  for (const auto& [args, expected] : cases) {
    const CommandLine l = ParseCommandLine(args);
    const std::string flags = std::to_string(l.noGui) + std::to_string(l.help) +
                              std::to_string(l.version) + " " + std::to_string(l.simulate);
    EXPECT_EQ(l.usageError() ? l.usageProblem
                             : flags + " " + std::to_string(l.simulateKinds) + " " + l.output +
                                   " " + std::to_string(l.makeBat),
              expected)
        << args[0];
  }
  const CommandLine bad = ParseCommandLine({"--bogus", "job"});
  EXPECT_TRUE(bad.usageError());
  EXPECT_EQ(bad.unknownOption, "--bogus");
}

using StartupTest = ConditionsFixture;

TEST_F(StartupTest, ProgramFolderComesFromTheEnvironment) {
  sys.env["HOME"] = "/home/u";
  EXPECT_EQ(ResolveAppPath(sys, "/work"), "/home/u/.local/share/Tolvan32");
  sys.env["XDG_DATA_HOME"] = "relative";  // ignored
  EXPECT_EQ(ResolveAppPath(sys, "/work"), "/home/u/.local/share/Tolvan32");
  sys.env["XDG_DATA_HOME"] = "/data/";
  EXPECT_EQ(ResolveAppPath(sys, "/work"), "/data/Tolvan32");
  sys.env["TOLVAN32_HOME"] = "jobs/../tv";
  engine.shared.AppPath.clear();
  (void)FormLoad(session, {});
  EXPECT_EQ(engine.shared.AppPath, "/work/tv");
  EXPECT_TRUE(fs.exists("/work/tv"));
}

// A run killed while saving TvfSet.txt leaves its temporary file; only such files go.
TEST_F(StartupTest, StoredSettingsAreCheckedAndOnlyLeftoversOfOwnSavesRemoved) {
  const std::pair<std::string, float> cases[] = {
      {"0", 512.0F}, {"abc", 512.0F}, {"12.5", 12.0F}, {"13.5", 14.0F}};
  for (const auto& [text, size] : cases) EXPECT_EQ(ReportSizeFromText(text), size) << text;
  settings.set("Editor", "ReportSize", "12.5");
  settings.set("MainForm", "Top", "-4800");
  const std::string leftover = "/app/.tolvan32-partial-0123456789abcdef";
  fs.addFile(leftover, "half a list");
  fs.addFile("/app/.tolvan32-partial-notes", "mine");
  fs.addFile("/app/.tolvan32-partial-0123456789ABCDEF", "mine too");
  fs.addDirectory("/app/.tolvan32-partial-fedcba9876543210");
  (void)FormLoad(session, {});
  EXPECT_EQ(engine.shared.ReportSize, 12.0F);
  EXPECT_EQ(session.window.top, 300) << "a position off the screen is not used";
  EXPECT_EQ(fs.removed, std::vector<std::string>{leftover});
}

}  // namespace
}  // namespace tolvan::testing
