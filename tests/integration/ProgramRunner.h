#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/TempFolder.h"

namespace tolvan::testing {

using platform::testing::Exists;
using platform::testing::NamesIn;
using platform::testing::ReadText;
using platform::testing::TempFolder;
using platform::testing::WriteText;
using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

inline constexpr long kTime = 1600000000;

// What a tree holds, as "relative path -> description": kind, permission bits, and for files
// and links their content and modification time to the nanosecond.
[[nodiscard]] std::map<std::string, std::string> Tree(const std::string& root);
[[nodiscard]] std::string LinkTarget(const std::string& path);
[[nodiscard]] bool Contains(const std::string& text, const std::string& part);
// The lines of a text file, CR+LF removed.
[[nodiscard]] Lines FileLines(const std::string& path);
void MakeFile(const std::string& path, const std::string& content, long mtime = kTime,
              mode_t mode = 0644, long nanoseconds = 0);
void MakeFolder(const std::string& path, mode_t mode = 0755);
void MakeLink(const std::string& path, const std::string& target, long mtime = kTime);
// Runs a shell command with the system folders on its path; its exit status, and what it
// wrote (both streams) in `output` when given.
int Shell(const std::string& command, std::string* output = nullptr);
// Calls `ready` every 2 ms until it gives true (then true) or `limit` has passed (false).
[[nodiscard]] bool WaitFor(const std::function<bool()>& ready, std::chrono::milliseconds limit);

struct ProgramResult {
  int exitStatus = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Whether the child has ended, without reaping it (the runner does that).
[[nodiscard]] bool HasEnded(pid_t pid);

// Called with the child's pid and the file its standard error goes to, while it runs.
using Watcher = std::function<void(pid_t pid, const std::string& errPath)>;
// Kills a run that has not ended after `limit`, so that a hang fails instead of stalling the
// suite; `hung`, when given, says it did.
[[nodiscard]] Watcher KillAfter(std::chrono::seconds limit, bool* hung = nullptr);

// The built tolvan32 run in a temporary program folder (TOLVAN32_HOME) on a master and a
// backup folder beside it, with only a fixed environment and standard input from /dev/null.
class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest();

  // Writes home/job.tvf: a Mirroring job from the master to `to`, then the `extra` lines
  // (e.g. "Timer=yes", which replaces the default of its key).
  void writeJob(const std::string& to, const Lines& extra = {}) const;
  // `asNobody`: as the user "nobody" when root (exit status 126 when that is not possible).
  ProgramResult run(const Lines& args, const Watcher& whileRunning = {},
                    bool asNobody = false) const;
  // An unattended run of the job to the backup with `extra` lines; as "nobody" on request,
  // the whole temporary folder handed to it first.
  ProgramResult mirror(const Lines& extra = {}, bool asNobody = false) const;
  // The lines of Recent.tvr and, sorted, the action lines of its first block.
  [[nodiscard]] Lines recentLines() const { return FileLines(home + "/Recent.tvr"); }
  [[nodiscard]] Lines actionLines() const;

  TempFolder tmp;
  std::string workingFolder;  // the program's current folder; empty: the test's own
  Lines environment;          // more NAME=value for the program, e.g. DISPLAY
  const std::string home = tmp / "home";
  const std::string master = tmp / "master";
  const std::string backup = tmp / "backup";
};

}  // namespace tolvan::testing
