#pragma once

#include <string>
#include <string_view>

#include "engine/ExclusionRules.h"
#include "platform/FileSystem.h"

namespace tolvan {

struct Engine;

// The exclusion rules of the run under way and the two root folders their paths start from.
struct RunExclusions {
  ExclusionRules rules;
  std::string masterRoot;
  std::string backupRoot;
};

// Compiles the job's patterns, then the command line's, for a run from `from` to `to`, letter
// case ignored where the master folder's volume ignores it. Empty text, or the report's Error
// text naming the pattern that cannot be used (the rules are then empty).
[[nodiscard]] std::string PrepareExclusions(Engine& engine, const std::string& from,
                                            const std::string& to);

// "line N: REASON: PATTERN", the form every refusal of a pattern takes.
[[nodiscard]] std::string ExclusionProblemText(const ExclusionProblem& problem);

// Whether the folder (listed at its path) ignores letter case: a name it holds is found again
// with its case swapped as the same entry. False when it cannot tell (no name with letters).
[[nodiscard]] bool FolderIsCaseBlind(platform::FileSystem& fs, const std::string& folder);

// The entries of one folder of either tree that the rules leave out. Builds the entry's path
// in a buffer of its own, so asking costs no allocation once the buffer has grown.
class ExcludedHere {
 public:
  // `exclusions` may be null, and `folder` any folder of either tree (by its full path).
  ExcludedHere(const RunExclusions* exclusions, std::string_view folder);
  [[nodiscard]] bool any() const { return rules_ != nullptr; }
  [[nodiscard]] bool operator()(std::string_view name, platform::EntryKind kind);

 private:
  const ExclusionRules* rules_ = nullptr;  // null: nothing here is left out
  std::string path_;                       // the folder's path below its root, and "/"
  std::size_t prefix_ = 0;
};

}  // namespace tolvan
