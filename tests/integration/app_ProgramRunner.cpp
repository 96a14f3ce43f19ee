#include "app_ProgramRunner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tolvan::testing {
namespace {

namespace fs = std::filesystem;

std::string TemporaryBase() {
  const char* base = std::getenv("TMPDIR");
  return base != nullptr && *base != '\0' ? base : "/tmp";
}

std::vector<char*> CStrings(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

[[noreturn]] void ExecChild(std::vector<std::string> argv, std::vector<std::string> envp,
                            const std::string& outPath, const std::string& errPath) {
  const int in = open("/dev/null", O_RDONLY);
  const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in < 0 || out < 0 || err < 0) _exit(127);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  auto args = CStrings(argv);
  auto environment = CStrings(envp);
  execve(args[0], args.data(), environment.data());
  _exit(127);
}

}  // namespace

ScratchFolder::ScratchFolder() {
  std::string pattern = TemporaryBase() + "/tolvan32-app-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  // Restore permissions that tests took away, so everything can be removed.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_symlink())
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

ProgramResult RunTolvan(const std::vector<std::string>& args,
                        const std::map<std::string, std::string>& env,
                        const Watcher& whileRunning) {
  ScratchFolder capture;
  std::vector<std::string> argv{TOLVAN32_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
  std::map<std::string, std::string> fullEnv{
      {"LC_ALL", "C.UTF-8"}, {"TZ", "UTC"}, {"PATH", "/usr/bin:/bin"}};
  for (const auto& [key, value] : env) fullEnv[key] = value;
  std::vector<std::string> envp;
  for (const auto& [key, value] : fullEnv) envp.push_back(key + "=" + value);

  const pid_t pid = fork();
  if (pid == 0) ExecChild(argv, envp, capture / "out", capture / "err");
  ProgramResult result;
  if (pid < 0) return result;
  if (whileRunning) whileRunning(pid, capture / "err");
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  result.out = ReadText(capture / "out");
  result.err = ReadText(capture / "err");
  return result;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool Exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(path, ignored));
}

void MakeFolders(const std::string& path) {
  fs::create_directories(path);
}

std::vector<std::string> TreeListing(const std::string& root) {
  std::vector<std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string relative = fs::relative(entry.path(), root).string();
    if (entry.is_directory() && !entry.is_symlink()) relative += "/";
    entries.push_back(relative);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::string JobText(const std::string& from, const std::string& to,
                    const std::vector<std::string>& extra) {
  std::vector<std::string> lines{"** File Mirroring Conditions **",
                                 "NomalMode=yes",
                                 "UpDate= 0 ",
                                 "TrashBox=no",
                                 "Size=no",
                                 "MatchCase=no",
                                 "Report=yes",
                                 "ChildDir=yes",
                                 "DriveA=" + from,
                                 "DriveB=" + to,
                                 "Timer=no",
                                 "DateMode=0",
                                 "Once=no",
                                 "Time=00:00"};
  for (const auto& replacement : extra) {
    const std::string key = replacement.substr(0, replacement.find('=') + 1);
    auto same = std::find_if(lines.begin(), lines.end(),
                             [&](const std::string& line) { return line.rfind(key, 0) == 0; });
    if (same != lines.end()) {
      *same = replacement;
    } else {
      lines.push_back(replacement);
    }
  }
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

std::vector<std::string> ReportLines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(ReadText(path));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> ActionLines(const std::vector<std::string>& lines) {
  const std::string separator(63, '-');
  std::vector<std::string> actions;
  bool inside = false;
  for (const auto& line : lines) {
    if (line == separator) {
      if (inside) break;
      inside = true;
    } else if (inside) {
      actions.push_back(line);
    }
  }
  return actions;
}

}  // namespace tolvan::testing
