// The real tolvan32 with something planted in place of one of its own files in the program
// folder: it is refused at once, never waited on, read without end or written through.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "ProgramRunner.h"

namespace tolvan::testing {
namespace {

using namespace std::chrono_literals;
using platform::testing::NamesIn;

enum class Shape { Fifo, LinkToDevZero, LinkToFile, HardLink, Oversize };

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Ends a program that hangs (or reads without end) after 10 s; `hung` says it did.
Watcher KillAfterTenSeconds(bool& hung) {
  return [&hung](pid_t pid, const std::string&) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!HasEnded(pid) && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(5ms);
    hung = !HasEnded(pid);
    if (hung) kill(pid, SIGKILL);
  };
}

mode_t KindOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

class OwnFilesProgramTest : public ProgramTest {
 protected:
  OwnFilesProgramTest() { WriteText(master + "/top.txt", "top\n"); }

  // Puts `shape` at `path`; a link or second name leads to `victim`, which holds a job.
  void plant(const std::string& path, Shape shape) const {
    writeJob(backup);
    WriteText(victim, ReadText(home + "/job.tvf"));
    std::filesystem::remove(path);
    switch (shape) {
      case Shape::Fifo:
        ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
        break;
      case Shape::LinkToDevZero:
        ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0);
        break;
      case Shape::LinkToFile:
        ASSERT_EQ(::symlink(victim.c_str(), path.c_str()), 0);
        break;
      case Shape::HardLink:
        ASSERT_EQ(::link(victim.c_str(), path.c_str()), 0);
        break;
      case Shape::Oversize:  // a good job, made too long by comments
        WriteText(path, ReadText(victim) + std::string(1 << 20, '*') + "\r\n");
        break;
    }
  }

  const std::string victim = tmp / "victim.tvf";
};

// A conditions file that cannot be read ends the unattended run with its report block and
// status 2; an unreadable list of jobs is written afresh from the folder, and the job runs.
TEST_F(OwnFilesProgramTest, ConditionsAndListFilesAreReadOnlyAsSmallRegularFiles) {
  const struct {
    std::string file;
    Shape shape;
    int status;
  } cases[] = {{"job.tvf", Shape::Fifo, 2},       {"job.tvf", Shape::LinkToDevZero, 2},
               {"job.tvf", Shape::LinkToFile, 2}, {"job.tvf", Shape::Oversize, 2},
               {"TvfSet.txt", Shape::Fifo, 0},    {"TvfSet.txt", Shape::LinkToDevZero, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file + " shape " + std::to_string(static_cast<int>(c.shape)));
    std::filesystem::remove(backup + "/top.txt");
    std::filesystem::remove(home + "/job.tvf");
    plant(home + "/" + c.file, c.shape);
    bool hung = false;
    const ProgramResult result = run({"--no-gui", "/X", "job.tvf"}, KillAfterTenSeconds(hung));
    if (hung) {
      ADD_FAILURE() << "the program waited or read without end";
      continue;
    }
    EXPECT_EQ(result.exitStatus, c.status) << result.err;
    EXPECT_EQ(Exists(backup + "/top.txt"), c.status == 0);
    if (c.status == 2) {
      EXPECT_TRUE(Contains(result.err, "tvf File Read Error (Error Code=75) " + home + "/job.tvf"))
          << result.err;
      const auto lines = recentLines();
      EXPECT_TRUE(lines.size() > 6 &&
                  lines[6] ==
                      "Error : 指定したドライブまたはフォルダーにアクセスできませんでした。")
          << ReadText(home + "/Recent.tvr");
    } else {
      EXPECT_EQ(KindOf(home + "/TvfSet.txt"), S_IFREG);
      EXPECT_EQ(ReadText(home + "/TvfSet.txt"), "job.tvf\r\n\r\n");
    }
  }
}

// A link (or a second name, or a FIFO) planted in place of a file the program writes: the
// file it leads to keeps its content, the entry stays as planted, and the failure is said.
TEST_F(OwnFilesProgramTest, AnOwnFileIsNeverWrittenThroughALinkPlantedInItsPlace) {
  const std::vector<std::string> real = {"--no-gui", "/X", "job.tvf"};
  const std::string loop = "Too many levels of symbolic links";
  const struct {
    std::string file;
    Shape shape;
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {"Recent.tvr", Shape::LinkToFile, real, 2,
       "Cannot write the report file " + home + "/Recent.tvr: " + loop},
      {"report.tvr", Shape::LinkToFile, real, 2,
       "Cannot write the report file " + home + "/report.tvr: " + loop},
      {"simulate.csv", Shape::LinkToFile, {"--simulate", "job.tvf"}, 1, "Error Code : 40  " + loop},
      {"tlvdos.bat",
       Shape::LinkToFile,
       {"--make-bat", "job.tvf"},
       1,
       home + "/tlvdos.bat Error (Code : 40  " + loop},
      {"tlvdos.sh",
       Shape::LinkToFile,
       {"--make-bat", "job.tvf"},
       1,
       home + "/tlvdos.sh Error (Code : 40  " + loop},
      {"Recent.tvr", Shape::Fifo, real, 2,
       "Cannot write the report file " + home + "/Recent.tvr: No such device or address"},
      {"report.tvr", Shape::HardLink, real, 2,
       "Cannot write the report file " + home + "/report.tvr: Too many links"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file + " shape " + std::to_string(static_cast<int>(c.shape)));
    std::filesystem::remove(backup + "/top.txt");
    const std::string path = home + "/" + c.file;
    plant(path, c.shape);
    const std::string before = ReadText(victim);
    const mode_t kind = KindOf(path);
    bool hung = false;
    const ProgramResult result = run(c.args, KillAfterTenSeconds(hung));
    if (hung) {
      ADD_FAILURE() << "the program waited on the planted entry";
      continue;
    }
    EXPECT_EQ(result.exitStatus, c.status) << result.err;
    EXPECT_TRUE(Contains(result.err, c.err)) << result.err;
    EXPECT_EQ(ReadText(victim), before);
    EXPECT_EQ(KindOf(path), kind);
    EXPECT_FALSE(Exists(backup + "/top.txt")) << "no run without its report";
    std::filesystem::remove(path);
  }
}

// The files a run has copied, leaving out a copy under way.
std::size_t CopiesIn(const std::string& folder) {
  std::size_t count = 0;
  for (const auto& name : NamesIn(folder)) count += name.starts_with(".tolvan32-partial-") ? 0 : 1;
  return count;
}

std::size_t CountLinesStartingWith(const std::string& path, const std::string& prefix) {
  std::istringstream text(ReadText(path));
  std::size_t count = 0;
  for (std::string line; std::getline(text, line);) count += line.starts_with(prefix) ? 1 : 0;
  return count;
}

// A second stop signal ends the program at once; the report still has a line for every copy
// made, also for those whose lines were held back to be written together.
TEST_F(OwnFilesProgramTest, ASecondInterruptLeavesALineForEveryCopyInTheReport) {
  for (int file = 0; file < 20000; ++file) WriteText(master + "/f" + std::to_string(file), "x");
  writeJob(backup);
  std::size_t copies = 0;
  const ProgramResult result = run({"/X", "job.tvf"}, [&](pid_t pid, const std::string&) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (copies < 1000 && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(1ms);
      copies = CopiesIn(backup);
    }
    // Stopped, the program takes both signals together when it goes on: one stops the run,
    // the other ends the program before the run can write the lines it holds.
    kill(pid, SIGSTOP);
    siginfo_t info{};
    (void)waitid(P_PID, static_cast<id_t>(pid), &info, WSTOPPED);
    copies = CopiesIn(backup);
    kill(pid, SIGINT);
    kill(pid, SIGTERM);
    kill(pid, SIGCONT);
  });
  ASSERT_GE(copies, 1000u) << "the run was too slow to be interrupted while copying";
  if (copies == 20000) GTEST_SKIP() << "the run ended before it was interrupted";
  EXPECT_EQ(result.exitStatus, 3) << result.err;
  EXPECT_EQ(NamesIn(backup).size(), copies) << "no partial copy is left";
  // The copy just made when the program was stopped may not have its line yet.
  for (const char* report : {"/report.tvr", "/Recent.tvr"})
    EXPECT_GE(CountLinesStartingWith(home + report, "New File : ") + 1, copies) << report;
}

}  // namespace
}  // namespace tolvan::testing
