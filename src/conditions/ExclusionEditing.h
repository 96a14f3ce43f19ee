#pragma once

#include <optional>
#include <string>
#include <vector>

#include "conditions/Session.h"
#include "engine/ExclusionRules.h"

namespace tolvan {

// The exclusion dialog's logic, without widgets: the patterns as one text (one a line) and
// the answer of its "try" field.

// The job's patterns as the dialog shows them.
[[nodiscard]] std::string PatternsText(const std::vector<std::string>& patterns);

// The dialog's text as patterns, or the first line that cannot be used.
struct PatternsFromText {
  std::vector<std::string> patterns;
  std::optional<ExclusionProblem> problem;
};
[[nodiscard]] PatternsFromText ReadPatternsText(const std::string& text);

// What the patterns do with one path: left out by line `line` (from 1), taken back in by it,
// or matched by none (line 0).
struct TriedPath {
  bool excluded = false;
  std::size_t line = 0;
};

// Tries `path` (below the master folder, or a full path inside it; a trailing "/" or a folder
// found there makes it a folder) against `text`'s patterns, with the master folder's letter
// case rule. Nothing when the patterns cannot be used.
[[nodiscard]] std::optional<TriedPath> TryPath(Session& session, const std::string& text,
                                               const std::string& path);

}  // namespace tolvan
