#include "ProgramRunner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace tolvan::testing {
namespace {

std::vector<char*> CStrings(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

[[noreturn]] void ExecChild(std::vector<std::string> argv, std::vector<std::string> envp,
                            const std::string& outPath, const std::string& errPath, bool asNobody,
                            const std::string& folder) {
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

using platform::testing::NamesIn;

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

ProgramTest::ProgramTest() {
  for (const auto& folder : {home, master, backup}) mkdir(folder.c_str(), 0755);
}

void ProgramTest::writeJob(const std::string& to, const std::vector<std::string>& extra) const {
  std::string text =
      "** File Mirroring Conditions **\r\nNomalMode=yes\r\nUpDate= 0 \r\n"
      "TrashBox=no\r\nSize=no\r\nMatchCase=no\r\nReport=yes\r\nChildDir=yes\r\n"
      "Timer=no\r\nDateMode=0\r\nOnce=no\r\nTime=00:00\r\nDriveA=" +
      master + "\r\nDriveB=" + to + "\r\n";
  for (const auto& line : extra) text += line + "\r\n";  // the last value of a key counts
  WriteText(home + "/job.tvf", text);
}

ProgramResult ProgramTest::run(const std::vector<std::string>& args, const Watcher& whileRunning,
                               bool asNobody) const {
  std::vector<std::string> argv{TOLVAN32_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> envp{"LC_ALL=C.UTF-8",
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

bool HasEnded(pid_t pid) {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == pid;
}

std::vector<std::string> ProgramTest::recentLines() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadText(home + "/Recent.tvr"));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> ProgramTest::actionLines() const {
  const auto lines = recentLines();
  const std::string separator(63, '-');
  auto first = std::find(lines.begin(), lines.end(), separator);
  if (first != lines.end()) ++first;
  std::vector<std::string> actions(first, std::find(first, lines.end(), separator));
  std::sort(actions.begin(), actions.end());
  return actions;
}

}  // namespace tolvan::testing
