// The exclusion patterns' syntax: which entries a list of patterns leaves out, and which
// patterns cannot be used.
#include <gtest/gtest.h>

#include "engine/ExclusionRules.h"

namespace tolvan {
namespace {

// Each row is a mistake a user would meet if the matcher got it wrong.
TEST(ExclusionRulesTest, PatternsLeaveOutTheEntriesTheirUsersMean) {
  // Patterns, a path below the master folder, whether it is a folder, whether the master is
  // case-blind, whether the entry is left out.
  const std::tuple<std::vector<std::string>, const char*, bool, bool, bool> rows[] = {
      {{"*.tmp"}, "a/b/x.tmp", false, false, true},        // a name at any depth
      {{"*.tmp"}, "a/x.tmp.txt", false, false, false},     // a suffix, not a part
      {{"Thumbs.db"}, "p/Thumbs.db", false, false, true},  // a literal name
      {{"Thumbs.db"}, "p/Thumbs.dbx", false, false, false},
      {{"build/"}, "src/build", true, false, true},  // folders only
      {{"build/"}, "src/build", false, false, false},
      {{"/photos/raw"}, "photos/raw", true, false, true},  // anchored at the master folder
      {{"/photos/raw"}, "old/photos/raw", true, false, false},
      {{"photos/raw"}, "old/photos/raw", true, false, false},   // a "/" anchors too
      {{"docs/**/draft*"}, "docs/draft1", false, false, true},  // "**" for no folder
      {{"docs/**/draft*"}, "docs/a/b/draft.txt", false, false, true},
      {{"docs/**/draft*"}, "other/docs/a/draft", false, false, false},
      {{"**/cache"}, "a/b/cache", true, false, true},
      {{"logs/**"}, "logs", true, false, false},  // what is inside, not the folder
      {{"logs/**"}, "logs/x/y", false, false, true},
      {{"a*/b"}, "ax/y/b", false, false, false},  // "*" never crosses "/"
      {{"?.c"}, "日.c", false, false, true},      // "?" is one character, not one byte
      {{"??.c"}, "日.c", false, false, false},
      {{"[ab]*.o"}, "b1.o", false, false, true},
      {{"[!ab]*.o"}, "b1.o", false, false, false},
      {{"x[0-9]"}, "x7", false, false, true},
      {{"\\*.txt"}, "*.txt", false, false, true},  // an escaped wildcard is itself
      {{"\\*.txt"}, "a.txt", false, false, false},
      {{"*.tmp", "!keep.tmp"}, "d/keep.tmp", false, false, false},  // taken back
      {{"!keep.tmp", "*.tmp"}, "d/keep.tmp", false, false, true},   // the last match decides
      {{"*.tmp", "!keep*"}, "keep.tmp", false, false, false},       // whatever each ends with
      {{"!keep*", "*.tmp", "x*"}, "keep.tmp", false, false, true},
      {{"*.TMP"}, "x.tmp", false, false, false},  // case counts on a case-sensitive master
      {{"*.TMP"}, "x.tmp", false, true, true},    // and not on a case-blind one
      {{"/Photos/RAW"}, "photos/raw", true, true, true},
      {{"[A-C]x"}, "bx", false, true, true},
      {{"node_modules/"}, "web/node_modules", true, false, true},
  };
  for (const auto& [patterns, path, folder, caseBlind, excluded] : rows) {
    ExclusionRules rules;
    ExclusionProblem problem;
    ASSERT_TRUE(rules.compile(patterns, problem)) << problem.reason;
    rules.setCaseBlind(caseBlind);
    EXPECT_EQ(rules.excludes(path, folder), excluded) << patterns.front() << " against " << path;
  }
}

// A pattern that cannot be used is named by its line; nothing of the list is kept.
TEST(ExclusionRulesTest, PatternsThatCannotBeUsedAreNamedByTheirLine) {
  const std::pair<std::vector<std::string>, const char*> rows[] = {
      {{"*.o", "[abc"}, "unclosed ["},
      {{"ok", "x", "!"}, "empty pattern"},
      {{"/"}, "empty pattern"},
      {{"a\\"}, "ends with \\"},
      {{std::string(kMaxExclusionPatternBytes + 1, 'a')}, "longer than 4096 bytes"},
      {std::vector<std::string>(kMaxExclusionPatterns + 1, "x"), "more than 10000 patterns"},
  };
  for (const auto& [patterns, reason] : rows) {
    ExclusionRules rules;
    ExclusionProblem problem;
    const bool compiled = rules.compile(patterns, problem);
    EXPECT_EQ(std::tuple(compiled, problem.reason, problem.line, rules.empty()),
              std::tuple(false, reason, patterns.size(), true));
  }
  EXPECT_EQ(PatternLines("# note\r\n*.o\r\n\r\n  \n b\n", true),
            (std::vector<std::string>{"*.o", " b"}));
  EXPECT_EQ(PatternLines("a\n\nb\n\n", false), (std::vector<std::string>{"a", "", "b"}));
}

}  // namespace
}  // namespace tolvan
