#include "engine/RunExclusions.h"

#include "engine/Engine.h"
#include "engine/Paths.h"

namespace tolvan {
namespace {

// The folder's path below `root`, or false when it is not at or below it.
bool PathBelow(std::string_view root, std::string_view folder, std::string_view& below) {
  if (!IsSameOrBelow(folder, root)) return false;
  below = folder.substr(std::min(folder.size(), root.size()));
  if (!below.empty() && below.front() == '/') below.remove_prefix(1);
  return true;
}

bool SwapCase(std::string_view name, std::string& swapped) {
  swapped.assign(name);
  bool letters = false;
  for (char& c : swapped) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
      letters = true;
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
      letters = true;
    }
  }
  return letters;
}

}  // namespace

bool FolderIsCaseBlind(platform::FileSystem& fs, const std::string& folder) {
  int error = 0;
  const auto listing = fs.openListing(folder, error);
  if (listing == nullptr) return false;
  std::string_view name;
  platform::FileStat listed;
  std::string swapped;
  while (listing->next(name, listed) == 0) {
    if (!SwapCase(name, swapped)) continue;
    platform::FileStat found;
    // The other spelling is another entry, or none: the folder tells letter cases apart.
    return fs.statEntry(ChildPath(folder, swapped), found) == 0 && found.device == listed.device &&
           found.inode == listed.inode;
  }
  return false;
}

std::string ExclusionProblemText(const ExclusionProblem& problem) {
  return "line " + std::to_string(problem.line) + ": " + problem.reason + ": " + problem.pattern;
}

std::string PrepareExclusions(Engine& engine, const std::string& from, const std::string& to) {
  RunExclusions& exclusions = engine.exclusions;
  exclusions.masterRoot = from;
  exclusions.backupRoot = to;
  std::vector<std::string> patterns = engine.job.Exclude;
  patterns.insert(patterns.end(), engine.job.CommandLineExclude.begin(),
                  engine.job.CommandLineExclude.end());
  ExclusionProblem problem;
  if (!exclusions.rules.compile(patterns, problem)) {
    return "Exclude=" + DisplayText(problem.pattern) + "(Bad Exclusion Pattern : line " +
           std::to_string(problem.line) + " " + problem.reason + ")";
  }
  exclusions.rules.setCaseBlind(!exclusions.rules.empty() && FolderIsCaseBlind(engine.fs(), from));
  return {};
}

ExcludedHere::ExcludedHere(const RunExclusions* exclusions, std::string_view folder) {
  if (exclusions == nullptr || exclusions->rules.empty()) return;
  std::string_view below;
  if (!PathBelow(exclusions->backupRoot, folder, below) &&
      !PathBelow(exclusions->masterRoot, folder, below))
    return;
  rules_ = &exclusions->rules;
  if (!rules_->needsPath()) return;
  path_.reserve(below.size() + 64);
  path_.assign(below);
  if (!path_.empty()) path_ += '/';
  prefix_ = path_.size();
}

bool ExcludedHere::operator()(std::string_view name, platform::EntryKind kind) {
  if (rules_ == nullptr) return false;
  const bool folder = kind == platform::EntryKind::Directory;
  if (!rules_->needsPath()) return rules_->excludes(name, folder);
  path_.resize(prefix_);
  path_.append(name);
  return rules_->excludes(path_, folder);
}

}  // namespace tolvan
