#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/TempFolder.h"

namespace tolvan::testing {

using platform::testing::Exists;
using platform::testing::ReadText;
using platform::testing::TempFolder;
using platform::testing::WriteText;

// What a tree holds, as "relative path -> description": kind, permission bits, and for files
// and links their content and modification time to the nanosecond.
[[nodiscard]] std::map<std::string, std::string> Tree(const std::string& root);
[[nodiscard]] std::string LinkTarget(const std::string& path);

struct ProgramResult {
  int exitStatus = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Whether the child has ended, without reaping it (the runner does that).
[[nodiscard]] bool HasEnded(pid_t pid);

// Called with the child's pid and the file its standard error goes to, while it runs.
using Watcher = std::function<void(pid_t pid, const std::string& errPath)>;

// The built tolvan32 run in a temporary program folder (TOLVAN32_HOME) on a master and a
// backup folder beside it, with only a fixed environment and standard input from /dev/null.
class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest();

  // Writes home/job.tvf: a Mirroring job from the master to `to`, then the `extra` lines
  // (e.g. "Timer=yes", which replaces the default of its key).
  void writeJob(const std::string& to, const std::vector<std::string>& extra = {}) const;
  // `asNobody`: as the user "nobody" when root (exit status 126 when that is not possible).
  ProgramResult run(const std::vector<std::string>& args, const Watcher& whileRunning = {},
                    bool asNobody = false) const;
  // The lines of Recent.tvr (CR+LF removed) and, sorted, the action lines of its first block.
  [[nodiscard]] std::vector<std::string> recentLines() const;
  [[nodiscard]] std::vector<std::string> actionLines() const;

  TempFolder tmp;
  std::string workingFolder;             // the program's current folder; empty: the test's own
  std::vector<std::string> environment;  // more NAME=value for the program, e.g. DISPLAY
  const std::string home = tmp / "home";
  const std::string master = tmp / "master";
  const std::string backup = tmp / "backup";
};

}  // namespace tolvan::testing
