#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>

#include "platform/TempFolder.h"
#include "support/CannotRunHere.h"
#include "support/Messages.h"
#include "support/ReportLines.h"
#include "support/WaitFor.h"

namespace tolvan::testing {

using namespace platform::testing;
using platform::testing::TempFolder;  // not the engine's function of that name
using namespace std::chrono_literals;

inline constexpr long kTime = 1600000000;

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

inline bool AnyStartsWith(const Lines& lines, const std::string& part) {
  return std::ranges::any_of(lines, [&](auto& line) { return line.starts_with(part); });
}

// The entry itself, not what a link leads to; all zero when there is none.
inline struct stat StatOf(const std::string& path) {
  struct stat st {};
  (void)::lstat(path.c_str(), &st);
  return st;
}

// The lines of a text file, CR+LF removed.
inline Lines FileLines(const std::string& path) {
  return SplitLines(ReadText(path));
}

// What a tree holds, as "relative path -> description": kind, permission bits, and for files
// and links their content and modification time to the nanosecond.
inline std::map<std::string, std::string> Tree(const std::string& root,
                                               const std::string& relative = "") {
  std::map<std::string, std::string> out;
  for (const auto& name : NamesIn(root + relative)) {
    const std::string child = relative + "/" + name, path = root + child;
    const struct stat st = StatOf(path);
    const std::string bits = " mode " + std::to_string(st.st_mode & 07777),
                      time = " mtime " + std::to_string(st.st_mtim.tv_sec) + "." +
                             std::to_string(st.st_mtim.tv_nsec);
    const bool folder = S_ISDIR(st.st_mode);
    out[child] = (folder                ? "folder"
                  : S_ISLNK(st.st_mode) ? "link -> " + stdfs::read_symlink(path).string()
                  : S_ISREG(st.st_mode) ? "file '" + ReadText(path) + "'"
                                        : "special") +
                 bits + (folder ? "" : time);
    if (folder) out.merge(Tree(root, child));
  }
  return out;
}

// Makes the file and any folders above it that are missing.
inline void MakeFile(const std::string& path, const std::string& content, long mtime = kTime,
                     mode_t mode = 0644, long nanoseconds = 0) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  WriteText(path, content, mode);
  SetTimes(path, mtime, nanoseconds);
}

inline void MakeFolder(const std::string& path, mode_t mode = 0755) {
  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0) << path;
  ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

// Each folder made afresh, empty.
inline void EmptyFolders(std::initializer_list<std::string> folders) {
  for (const auto& folder : folders) {
    stdfs::remove_all(folder);
    MakeFolder(folder);
  }
}

// `root`/d<i>/f<k> for `folders` folders of `files` files holding `content`.
inline void MakeFolders(const std::string& root, int folders, int files,
                        const std::string& content) {
  for (int folder = 0; folder < folders; ++folder)
    for (int file = 0; file < files; ++file)
      MakeFile(root + "/d" + std::to_string(folder) + "/f" + std::to_string(file), content);
}

inline void MakeLink(const std::string& path, const std::string& target, long mtime = kTime) {
  ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path;
  SetTimes(path, mtime, 0);
}

// Runs a shell command with the system folders on its path; its exit status, and what it
// wrote (both streams) in `output` when given. The output goes through a file: a daemon the
// command starts may keep a pipe open for ever.
inline int Shell(const std::string& command, std::string* output = nullptr) {
  char file[] = "/tmp/tolvan-shell-XXXXXX";
  const int fd = ::mkstemp(file);
  if (fd < 0) return -1;
  ::close(fd);
  const int status = std::system(
      ("PATH=/usr/sbin:/usr/bin:/sbin:/bin; (" + command + ") >'" + file + "' 2>&1 </dev/null")
          .c_str());
  if (output != nullptr) {
    *output = ReadText(file);
    while (!output->empty() && output->back() == '\n') output->pop_back();
  }
  ::unlink(file);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Whether the child has ended, without reaping it (the runner does that).
inline bool HasEnded(pid_t pid) {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == pid;
}

// Called with the child's pid and the file its standard error goes to, while it runs.
using Watcher = std::function<void(pid_t pid, const std::string& errPath)>;

// Kills a run that has not ended after `limit`, so that a hang fails instead of stalling the
// suite; `hung`, when given, says it did.
inline Watcher KillAfter(std::chrono::seconds limit, bool* hung = nullptr) {
  return [limit, hung](pid_t pid, const std::string&) {
    const bool ended = WaitFor([pid] { return HasEnded(pid); }, limit);
    if (hung != nullptr) *hung = !ended;
    if (!ended) ::kill(pid, SIGKILL);
  };
}

struct ProgramResult {
  int exitStatus = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

inline std::vector<char*> CStrings(Lines& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// The built tolvan32 run in a temporary program folder (TOLVAN32_HOME) on a master and a
// backup folder beside it, with only a fixed environment and standard input from /dev/null.
class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest() {
    for (const auto& folder : {home, master, backup}) mkdir(folder.c_str(), 0755);
  }

  // Writes home/job.tvf: a Mirroring job from the master to `to`, then the `extra` lines.
  void writeJob(const std::string& to, const Lines& extra = {}) const {
    WriteText(home + "/job.tvf", JobFile(master, to, extra));
  }

  // `asNobody`: as the user "nobody" when root (exit status 126 when that is not possible).
  ProgramResult run(const Lines& args, const Watcher& whileRunning = {},
                    bool asNobody = false) const {
    Lines argv{TOLVAN32_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    Lines envp{"LC_ALL=C.UTF-8", "TZ=UTC", "PATH=/usr/bin:/bin", "TOLVAN32_HOME=" + home};
    for (const char* name : {"XDG_CONFIG_HOME=", "XDG_DATA_HOME=", "HOME="})
      envp.push_back(name + tmp.path());
    // A sanitizer build's program reads the same options (suppressions) as its tests.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"})
      if (const char* value = std::getenv(name)) envp.push_back(std::string(name) + "=" + value);
    envp.insert(envp.end(), environment.begin(), environment.end());
    const std::string out = tmp / "out", err = tmp / "err";
    const pid_t pid = fork();
    if (pid == 0) execChild(argv, envp, out, err, asNobody);
    if (pid < 0) return {};
    if (whileRunning) whileRunning(pid, err);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) continue;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
  }

  // An unattended run of the job to the backup with `extra` lines.
  ProgramResult mirror(const Lines& extra = {}, const Watcher& whileRunning = {}) const {
    writeJob(backup, extra);
    return run({"/X", "job.tvf"}, whileRunning);
  }
  // The same as "nobody", the whole temporary folder handed to it first; its exit status.
  int mirrorAsNobody(const Lines& extra = {}) const {
    writeJob(backup, extra);
    GiveToNobody(tmp.path());
    return run({"/X", "job.tvf"}, {}, true).exitStatus;
  }

  // The lines of Recent.tvr and the action lines of its first block, sorted unless asked not to.
  [[nodiscard]] Lines recentLines() const { return FileLines(home + "/Recent.tvr"); }
  [[nodiscard]] Lines actionLines(bool sorted = true) const {
    Lines actions = ActionLinesOf(recentLines());
    if (sorted) std::sort(actions.begin(), actions.end());
    return actions;
  }

  TempFolder tmp;
  std::string workingFolder;  // the program's current folder; empty: the test's own
  Lines environment;          // more NAME=value for the program, e.g. DISPLAY
  const std::string home = tmp / "home", master = tmp / "master", backup = tmp / "backup";

 private:
  [[noreturn]] void execChild(Lines argv, Lines envp, const std::string& outPath,
                              const std::string& errPath, bool asNobody) const {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // A descriptor that failed to open fails its dup2.
    if (dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
    if (!workingFolder.empty() && chdir(workingFolder.c_str()) != 0) _exit(127);
    if (asNobody && !BecomeNobody()) _exit(126);
    execve(argv[0].c_str(), CStrings(argv).data(), CStrings(envp).data());
    _exit(127);
  }
};

}  // namespace tolvan::testing
