// The real program on jobs whose sides are one tree, or no tree, however they are spelled.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <map>

#include "ProgramRunner.h"

namespace tolvan::testing {
namespace {

namespace stdfs = std::filesystem;

// Every entry below `root` (links not followed) with a file's content.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> tree;
  std::error_code error;
  for (stdfs::recursive_directory_iterator it(root, error), end; !error && it != end;
       it.increment(error))
    tree[it->path()] = it->is_regular_file() ? ReadText(it->path()) : "";
  return tree;
}

// A job that walks into itself never ends: killed after 10 s.
void KillWhenStillRunning(pid_t pid, const std::string&) {
  siginfo_t info{};
  for (int waited = 0; waited < 1000 && info.si_pid != pid; ++waited) {
    ::usleep(10000);
    (void)::waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT);
  }
  if (info.si_pid != pid) ::kill(pid, SIGKILL);
}

class SameTreeProgramTest : public ProgramTest {};

TEST_F(SameTreeProgramTest, ALinkOrANulByteThatMakesOneSideTheOtherDeletesNothing) {
  stdfs::create_directories(backup + "/photos");
  stdfs::create_directories(master + "/inner");
  WriteText(backup + "/photos/p.jpg", "precious");
  WriteText(master + "/inner/m.txt", "master");
  stdfs::create_directory_symlink(backup, tmp / "alias");
  stdfs::create_directory_symlink(master + "/inner", tmp / "into");
  const std::string beside = tmp.path() + std::string(1, '\0');  // every call stops at the NUL
  const std::string same =
      "指定したドライブまたはディレクトリが同じです。バックアップを中止します。";
  const std::string missing = "指定したドライブまたはフォルダーにアクセスできませんでした。";
  const struct {
    std::string from, to, message;
  } cases[] = {{tmp / "alias/photos", backup, same},  // the master inside the backup
               {master, tmp / "into", same},          // the backup inside the master
               {master, beside + "/backup", missing},
               {beside + "/master", backup, missing}};
  const auto before = std::make_pair(Snapshot(master), Snapshot(backup));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from + " -> " + c.to);
    writeJob(c.to, {"DriveA=" + c.from});
    const ProgramResult result = run({"--no-gui", "/X", "job.tvf"}, KillWhenStillRunning);
    EXPECT_EQ(result.exitStatus, 2) << result.err;
    EXPECT_NE((result.err + ReadText(home + "/Recent.tvr")).find(c.message), std::string::npos);
    EXPECT_EQ(std::make_pair(Snapshot(master), Snapshot(backup)), before);
  }
}

}  // namespace
}  // namespace tolvan::testing
