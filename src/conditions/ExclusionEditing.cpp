#include "conditions/ExclusionEditing.h"

#include "engine/Paths.h"
#include "engine/RunExclusions.h"

namespace tolvan {

std::string PatternsText(const std::vector<std::string>& patterns) {
  std::string text;
  for (const std::string& pattern : patterns) text += pattern + "\n";
  return text;
}

PatternsFromText ReadPatternsText(const std::string& text) {
  PatternsFromText read;
  read.patterns = PatternLines(text, false);
  ExclusionRules rules;
  ExclusionProblem problem;
  if (!rules.compile(read.patterns, problem)) read.problem = problem;
  return read;
}

std::optional<TriedPath> TryPath(Session& session, const std::string& text,
                                 const std::string& path) {
  ExclusionRules rules;
  ExclusionProblem problem;
  if (!rules.compile(PatternLines(text, false), problem)) return std::nullopt;
  const std::string master = StripOneTrailingSeparator(TrimBlanks(session.window.from.text));
  std::string relative = path;
  bool folder = !relative.empty() && relative.back() == '/';
  while (!relative.empty() && relative.back() == '/') relative.pop_back();
  if (!relative.empty() && relative.front() == '/' && IsSameOrBelow(relative, master))
    relative = relative.substr(std::min(relative.size(), master.size()));
  while (!relative.empty() && relative.front() == '/') relative.erase(0, 1);
  platform::FileSystem& fs = session.engine.fs();
  platform::FileStat stat;
  if (!folder && fs.statEntry(ChildPath(master, relative), stat) == 0)
    folder = stat.kind == platform::EntryKind::Directory;
  rules.setCaseBlind(FolderIsCaseBlind(fs, master));
  const int rule = rules.decidingRule(relative, folder);
  if (rule < 0) return TriedPath{};
  return TriedPath{!rules.takesBack(rule), static_cast<std::size_t>(rule) + 1};
}

}  // namespace tolvan
