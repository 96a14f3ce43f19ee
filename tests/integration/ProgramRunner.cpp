#include "ProgramRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace tolvan::testing {
namespace {

std::vector<char*> CStrings(Lines& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

[[noreturn]] void ExecChild(Lines argv, Lines envp, const std::string& outPath,
                            const std::string& errPath, bool asNobody, const std::string& folder) {
  const int in = open("/dev/null", O_RDONLY);
  const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in < 0 || out < 0 || err < 0) _exit(127);
  if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  if (asNobody && !platform::testing::BecomeNobody()) _exit(126);
  execve(argv[0].c_str(), CStrings(argv).data(), CStrings(envp).data());
  _exit(127);
}

void Describe(const std::string& root, const std::string& relative,
              std::map<std::string, std::string>& out) {
  for (const auto& name : NamesIn(root + relative)) {
    const std::string child = relative + "/" + name;
    const std::string path = root + child;
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0) << path;
    const std::string bits = " mode " + std::to_string(st.st_mode & 07777);
    const std::string time =
        " mtime " + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    if (S_ISDIR(st.st_mode)) {
      out[child] = "folder" + bits;
      Describe(root, child, out);
    } else if (S_ISLNK(st.st_mode)) {
      out[child] = "link -> " + LinkTarget(path) + bits + time;
    } else {
      out[child] =
          (S_ISREG(st.st_mode) ? "file '" + ReadText(path) + "'" : "special") + bits + time;
    }
  }
}

}  // namespace

std::string LinkTarget(const std::string& path) {
  char text[4096];
  const ssize_t length = ::readlink(path.c_str(), text, sizeof text);
  return length < 0 ? std::string() : std::string(text, static_cast<std::size_t>(length));
}

std::map<std::string, std::string> Tree(const std::string& root) {
  std::map<std::string, std::string> tree;
  Describe(root, "", tree);
  return tree;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

Lines FileLines(const std::string& path) {
  Lines lines;
  std::istringstream in(ReadText(path));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

void MakeFile(const std::string& path, const std::string& content, long mtime, mode_t mode,
              long nanoseconds) {
  WriteText(path, content, mode);
  platform::testing::SetTimes(path, mtime, nanoseconds);
}

void MakeFolder(const std::string& path, mode_t mode) {
  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0) << path;
  ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

void MakeLink(const std::string& path, const std::string& target, long mtime) {
  ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path;
  platform::testing::SetTimes(path, mtime, 0);
}

// The output goes through a file: a daemon the command starts may keep a pipe open for ever.
int Shell(const std::string& command, std::string* output) {
  char file[] = "/tmp/tolvan-shell-XXXXXX";
  const int fd = ::mkstemp(file);
  if (fd < 0) return -1;
  ::close(fd);
  const std::string line =
      "PATH=/usr/sbin:/usr/bin:/sbin:/bin; (" + command + ") >'" + file + "' 2>&1 </dev/null";
  const int status = std::system(line.c_str());
  if (output != nullptr) {
    *output = ReadText(file);
    while (!output->empty() && output->back() == '\n') output->pop_back();
  }
  ::unlink(file);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool WaitFor(const std::function<bool()>& ready, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!ready()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

bool HasEnded(pid_t pid) {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == pid;
}

Watcher KillAfter(std::chrono::seconds limit, bool* hung) {
  return [limit, hung](pid_t pid, const std::string&) {
    const bool ended = WaitFor([pid] { return HasEnded(pid); }, limit);
    if (hung != nullptr) *hung = !ended;
    if (!ended) ::kill(pid, SIGKILL);
  };
}

ProgramTest::ProgramTest() {
  for (const auto& folder : {home, master, backup}) mkdir(folder.c_str(), 0755);
}

void ProgramTest::writeJob(const std::string& to, const Lines& extra) const {
  std::string text =
      "** File Mirroring Conditions **\r\nNomalMode=yes\r\nUpDate= 0 \r\n"
      "TrashBox=no\r\nSize=no\r\nMatchCase=no\r\nReport=yes\r\nChildDir=yes\r\n"
      "Timer=no\r\nDateMode=0\r\nOnce=no\r\nTime=00:00\r\nDriveA=" +
      master + "\r\nDriveB=" + to + "\r\n";
  for (const auto& line : extra) text += line + "\r\n";  // the last value of a key counts
  WriteText(home + "/job.tvf", text);
}

ProgramResult ProgramTest::run(const Lines& args, const Watcher& whileRunning,
                               bool asNobody) const {
  Lines argv{TOLVAN32_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
  Lines envp{"LC_ALL=C.UTF-8",
             "TZ=UTC",
             "PATH=/usr/bin:/bin",
             "TOLVAN32_HOME=" + home,
             "XDG_CONFIG_HOME=" + tmp.path(),
             "XDG_DATA_HOME=" + tmp.path(),
             "HOME=" + tmp.path()};
  // A sanitizer build's program reads the same options (suppressions) as its tests.
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) envp.push_back(std::string(name) + "=" + value);
  }
  envp.insert(envp.end(), environment.begin(), environment.end());
  const std::string out = tmp / "out";
  const std::string err = tmp / "err";
  const pid_t pid = fork();
  if (pid == 0) ExecChild(argv, envp, out, err, asNobody, workingFolder);
  ProgramResult result;
  if (pid < 0) return result;
  if (whileRunning) whileRunning(pid, err);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  result.out = ReadText(out);
  result.err = ReadText(err);
  return result;
}

ProgramResult ProgramTest::mirror(const Lines& extra, bool asNobody) const {
  writeJob(backup, extra);
  if (asNobody) platform::testing::GiveToNobody(tmp.path());
  return run({"/X", "job.tvf"}, {}, asNobody);
}

Lines ProgramTest::actionLines() const {
  const auto lines = recentLines();
  const std::string separator(63, '-');
  auto first = std::find(lines.begin(), lines.end(), separator);
  if (first != lines.end()) ++first;
  Lines actions(first, std::find(first, lines.end(), separator));
  std::sort(actions.begin(), actions.end());
  return actions;
}

}  // namespace tolvan::testing
