#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tolvan::testing {

// A folder under the temporary folder, removed with everything below it at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  [[nodiscard]] const std::string& path() const { return path_; }
  [[nodiscard]] std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

struct ProgramResult {
  int exitStatus = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Called with the child's pid and the file its standard error goes to, while it runs.
using Watcher = std::function<void(pid_t pid, const std::string& errPath)>;

// Runs the built tolvan32 with `args` and only the given environment (plus a fixed locale and
// time zone), standard input from /dev/null; the result is collected when the child ends.
ProgramResult RunTolvan(const std::vector<std::string>& args,
                        const std::map<std::string, std::string>& env,
                        const Watcher& whileRunning = {});

void WriteText(const std::string& path, const std::string& text);
[[nodiscard]] std::string ReadText(const std::string& path);
[[nodiscard]] bool Exists(const std::string& path);
void MakeFolders(const std::string& path);

// Every path below `root` (relative, sorted), folders ending in "/".
[[nodiscard]] std::vector<std::string> TreeListing(const std::string& root);

// A conditions file for a Mirroring job from `from` to `to`; `extra` lines replace the
// defaults of the same key (e.g. "Timer=yes").
[[nodiscard]] std::string JobText(const std::string& from, const std::string& to,
                                  const std::vector<std::string>& extra = {});

// The lines of a report (CR+LF removed).
[[nodiscard]] std::vector<std::string> ReportLines(const std::string& path);
// The action lines between the two separators of the first block of `lines`.
[[nodiscard]] std::vector<std::string> ActionLines(const std::vector<std::string>& lines);

}  // namespace tolvan::testing
