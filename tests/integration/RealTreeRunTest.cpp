// Whole runs of the engine on real temporary trees through the Linux platform.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "engine/DateTime.h"
#include "engine/Engine.h"
#include "engine/FileOps.h"
#include "engine/JobDriver.h"
#include "platform/HeadlessWindowSystem.h"
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxSystemInfo.h"
#include "platform/LinuxTrash.h"
#include "platform/TempFolder.h"

namespace tolvan::testing {
namespace {

using platform::testing::Exists;
using platform::testing::NamesIn;
using platform::testing::ReadText;
using platform::testing::SetTimes;
using platform::testing::TempFolder;
using platform::testing::WriteText;
using Lines = std::vector<std::string>;

void MakeFolder(const std::string& path, mode_t mode = 0755) {
  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0) << path;
  ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

void MakeFile(const std::string& path, const std::string& content, mode_t mode = 0644,
              long mtime = 1600000000, long nanoseconds = 0) {
  WriteText(path, content);
  ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
  SetTimes(path, mtime, nanoseconds);
}

void MakeLink(const std::string& path, const std::string& target, long mtime = 1600000000) {
  ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path;
  SetTimes(path, mtime, 250);
}

std::string LinkTarget(const std::string& path) {
  char text[4096];
  const ssize_t length = ::readlink(path.c_str(), text, sizeof text);
  return length < 0 ? std::string() : std::string(text, static_cast<std::size_t>(length));
}

// What a tree holds, as "relative path -> description": kind, permission bits, and for files
// and links their content and modification time to the nanosecond.
void Describe(const std::string& root, const std::string& relative,
              std::map<std::string, std::string>& out) {
  for (const auto& name : NamesIn(relative.empty() ? root : root + "/" + relative)) {
    const std::string child = relative.empty() ? name : relative + "/" + name;
    const std::string path = root + "/" + child;
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0) << path;
    std::string text = "mode " + std::to_string(st.st_mode & 07777);
    if (S_ISDIR(st.st_mode)) {
      out[child] = "folder " + text;
      Describe(root, child, out);
      continue;
    }
    text +=
        " mtime " + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    if (S_ISLNK(st.st_mode)) {
      out[child] = "link -> " + LinkTarget(path) + " " + text;
    } else if (S_ISREG(st.st_mode)) {
      out[child] = "file '" + ReadText(path) + "' " + text;
    } else {
      out[child] = "special " + text;
    }
  }
}

std::map<std::string, std::string> Tree(const std::string& root) {
  std::map<std::string, std::string> tree;
  Describe(root, "", tree);
  return tree;
}

Lines SplitLines(const std::string& content) {
  Lines lines;
  std::size_t start = 0;
  while (start < content.size()) {
    const std::size_t end = content.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(content.substr(start));
      break;
    }
    lines.push_back(content.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

class RealTreeRunTest : public ::testing::Test {
 protected:
  RealTreeRunTest() {
    MakeFolder(master);
    MakeFolder(backup);
    MakeFolder(app);
    engine.shared.AppPath = app;
    engine.shared.VersionText = "1.00";
    engine.shared.TvfFileName = "job.tvf";
    (void)GetOSVersion(engine, engine.os);
    engine.job.XOption = 1;
    engine.job.NomalMode = -1;
  }
  ~RealTreeRunTest() override {
    if (messages != nullptr) std::fclose(messages);
  }

  RunOutcome run() {
    std::int16_t timer = 0;
    return RunJob(engine, master, backup, timer);
  }
  [[nodiscard]] Lines recentLines() const { return SplitLines(ReadText(app + "/Recent.tvr")); }
  // The action lines of the latest run, sorted (listing order depends on the file system).
  [[nodiscard]] Lines actionLines() const {
    const Lines lines = recentLines();
    Lines actions;
    const std::string separator(63, '-');
    const auto first = std::find(lines.begin(), lines.end(), separator);
    if (first == lines.end()) return actions;
    const auto second = std::find(first + 1, lines.end(), separator);
    actions.assign(first + 1, second);
    std::sort(actions.begin(), actions.end());
    return actions;
  }
  [[nodiscard]] std::string label(const std::string& path) {
    std::string text;
    EXPECT_EQ(fs.volumeLabel(path, text), 0);
    return text.empty() ? text : "[" + text + "]";
  }

  TempFolder tmp;
  const std::string master = tmp / "m";
  const std::string backup = tmp / "b";
  const std::string app = tmp / "app";
  platform::LinuxFileSystem fs;
  platform::LinuxTrash trash;
  platform::LinuxSystemInfo sys;
  std::FILE* messages = std::tmpfile();
  platform::HeadlessWindowSystem ui{messages != nullptr ? messages : stderr};
  Engine engine{Services{fs, trash, ui, sys}};
};

TEST_F(RealTreeRunTest, AMirrorLeavesTheBackupEqualAndASecondRunHasNothingToDo) {
  MakeFile(master + "/a.txt", "alpha", 0644, 1600000000, 123456789);
  MakeFile(master + "/ro.txt", "read only", 0444);
  MakeFile(master + "/run.sh", "#!/bin/sh\n", 0755);
  MakeFile(master + "/.hidden", "h", 0600);
  MakeFile(master + "/what?.txt", "question mark", 0640);
  MakeFile(master + "/Ünïcødé ファイル.txt", "utf-8 name");
  MakeFolder(master + "/dir", 0750);
  MakeFolder(master + "/dir/sub");
  MakeFile(master + "/dir/sub/deep.bin", std::string(100000, '\x7f'), 0600, 1500000000, 999);
  MakeFolder(master + "/locked");
  MakeFile(master + "/locked/inside.txt", "in a read-only folder");
  ASSERT_EQ(::chmod((master + "/locked").c_str(), 0555), 0);
  MakeFolder(master + "/empty", 0700);
  MakeLink(master + "/link", "a.txt");

  MakeFile(backup + "/a.txt", "stale", 0644, 1500000000);
  MakeFolder(backup + "/only");
  MakeFile(backup + "/only/x", "x");
  MakeFile(backup + "/gone.txt", "gone");
  MakeFile(backup + "/dir", "a file where the master has a folder");
  MakeFolder(backup + "/empty", 0700);

  const RunOutcome first = run();
  EXPECT_EQ(first.end, RunEnd::Finished);
  EXPECT_EQ(first.errors, 0);
  EXPECT_EQ(Tree(master), Tree(backup));
  const Lines lines = actionLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("Error", 0) == 0; }),
            0);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Delete File : " + backup + "/dir"), lines.end());

  const RunOutcome second = run();
  EXPECT_EQ(second.end, RunEnd::Finished);
  EXPECT_EQ(actionLines(), Lines{});
  EXPECT_EQ(Tree(master), Tree(backup));
}

TEST_F(RealTreeRunTest, LinksAreCopiedAsLinksAndFifosAreSkipped) {
  const std::string outside = tmp / "outside";
  MakeFolder(outside);
  MakeFile(outside + "/keep.txt", "keep");
  MakeLink(master + "/abs-link", outside + "/keep.txt");
  MakeLink(master + "/dangling", "no/such/target");
  ASSERT_EQ(::mkfifo((master + "/pipe").c_str(), 0644), 0);

  ASSERT_EQ(run().errors, 0);
  EXPECT_EQ(actionLines(),
            (Lines{"New File : " + backup + "/abs-link", "New File : " + backup + "/dangling",
                   "Skipped : " + master + "/pipe"}));
  EXPECT_EQ(LinkTarget(backup + "/abs-link"), outside + "/keep.txt");
  EXPECT_EQ(LinkTarget(backup + "/dangling"), "no/such/target");
  EXPECT_FALSE(Exists(backup + "/pipe"));
  EXPECT_EQ(ReadText(outside + "/keep.txt"), "keep");

  ASSERT_EQ(run().errors, 0);
  EXPECT_EQ(actionLines(), Lines{"Skipped : " + master + "/pipe"});
}

TEST_F(RealTreeRunTest, ALinkInTheBackupPointingOutsideIsRemovedAsALink) {
  const std::string outside = tmp / "outside";
  MakeFolder(outside);
  MakeFile(outside + "/keep.txt", "keep");
  MakeLink(backup + "/escape", outside);
  MakeFolder(master + "/d");
  MakeFile(master + "/d/f.txt", "f");
  MakeLink(backup + "/d", outside);  // a link where the master has a folder

  const RunOutcome outcome = run();
  EXPECT_EQ(outcome.errors, 0);
  EXPECT_EQ(actionLines(),
            (Lines{"Delete File : " + backup + "/d", "Delete File : " + backup + "/escape",
                   "Make Directory : " + backup + "/d", "New File : " + backup + "/d/f.txt"}));
  EXPECT_EQ(NamesIn(outside), Lines{"keep.txt"});
  EXPECT_EQ(ReadText(outside + "/keep.txt"), "keep");
  struct stat st {};
  ASSERT_EQ(::lstat((backup + "/d").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(RealTreeRunTest, AnUnreadableFileIsOneErrorAndTheRunGoesOn) {
  MakeFile(master + "/a.txt", "a");
  MakeFile(master + "/secret.txt", "secret", 0000);
  MakeFile(master + "/z.txt", "z");
  MakeFolder(master + "/locked");
  MakeFile(master + "/locked/inside.txt", "in a folder its owner cannot write to");
  ASSERT_EQ(::chmod((master + "/locked").c_str(), 0555), 0);
  platform::testing::GiveToNobody(tmp.path());
  const int errors = platform::testing::RunUnprivileged([&] {
    if (::geteuid() == 0) return 254;  // could not give up root's privileges
    platform::LinuxFileSystem userFs;
    platform::LinuxTrash userTrash;
    platform::LinuxSystemInfo userSys;
    platform::HeadlessWindowSystem userUi{messages};
    Engine user{Services{userFs, userTrash, userUi, userSys}};
    user.shared = engine.shared;
    user.job = engine.job;
    std::int16_t timer = 0;
    const RunOutcome outcome = RunJob(user, master, backup, timer);
    return outcome.end == RunEnd::Finished ? outcome.errors : 253;
  });
  if (errors == 254 || errors < 0) GTEST_SKIP() << "cannot run as an unprivileged user here";
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(
      actionLines(),
      (Lines{"Error : " + backup + "/secret.txt(Code:13 Permission denied)",
             "Make Directory : " + backup + "/locked", "New File : " + backup + "/a.txt",
             "New File : " + backup + "/locked/inside.txt", "New File : " + backup + "/z.txt"}));
  EXPECT_FALSE(Exists(backup + "/secret.txt"));
  struct stat st {};
  ASSERT_EQ(::stat((backup + "/locked").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0555u) << "the master's bits once the content is in";
}

TEST_F(RealTreeRunTest, AFullDiskKeepsTheOldCopyAndReportsTheError) {
  if (::geteuid() != 0 || !tmp.mountTmpfs("b", "1m")) {
    GTEST_SKIP() << "needs root and permission to mount a 1 MiB tmpfs as the backup";
  }
  MakeFile(backup + "/big.bin", "old copy", 0644, 1500000000);
  MakeFile(master + "/big.bin", std::string(2 * 1024 * 1024, 'x'));
  MakeFile(master + "/small.txt", "small");

  const RunOutcome outcome = run();
  EXPECT_EQ(outcome.end, RunEnd::Finished);
  EXPECT_EQ(outcome.errors, 1);
  EXPECT_EQ(actionLines(), (Lines{"Error : " + backup + "/big.bin(Code:28 No space left on device)",
                                  "New File : " + backup + "/small.txt"}));
  EXPECT_EQ(ReadText(backup + "/big.bin"), "old copy");
  Lines names = NamesIn(backup);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Lines{"big.bin", "small.txt"})) << "no temporary file is left behind";
}

TEST_F(RealTreeRunTest, AMissingBackupFolderIsReportedAndNeverCreated) {
  MakeFile(master + "/a.txt", "a");
  const std::string missing = tmp / "no-such-backup";
  std::int16_t timer = 0;
  EXPECT_EQ(RunJob(engine, master, missing, timer).end, RunEnd::Refused);
  EXPECT_EQ(actionLines(),
            Lines{"Error : To側に指定したドライブまたはフォルダーにアクセスできません。"});
  EXPECT_FALSE(Exists(missing));
}

TEST_F(RealTreeRunTest, TheReportFilesAreWrittenLineForLine) {
  engine.job.NomalMode = 0;
  MakeFile(master + "/a.txt", "a");
  ASSERT_EQ(run().end, RunEnd::Finished);
  const std::string content = ReadText(app + "/Recent.tvr");
  EXPECT_EQ(ReadText(app + "/report.tvr"), content);
  for (std::size_t at = content.find('\n'); at != std::string::npos;
       at = content.find('\n', at + 1))
    ASSERT_TRUE(at > 0 && content[at - 1] == '\r') << "every line ends in CR+LF";

  const Lines lines = SplitLines(content);
  ASSERT_EQ(lines.size(), 11u);
  const OsVersionInfo& os = engine.os;
  EXPECT_EQ(lines[0], "** File Mirroring Report **   Ver.1.00    job.tvf   Linux Ver." +
                          os.OsVersionText + " " + os.OsExtraText + " " +
                          std::to_string(os.BuildHigh) + " 0");
  EXPECT_EQ(lines[1], "Mirroring from " + label(master) + master + " to " + label(backup) + backup +
                          " on " + FormatDate(sys, std::floor(Now(sys))));
  EXPECT_EQ(lines[2], "  Conditions  *Mode=BackUp *UpDate=UpDate *Size=NotCheck *Report=Write");
  EXPECT_EQ(lines[3], "              *ChildDir=Include *TrashBox=NotUse *XOption=Yes *ATOption=No");
  EXPECT_EQ(lines[4],
            "              *Timer=No *OnceForAll=No *MatchCase=NotCheck *ErrorFreeOption=No");
  EXPECT_EQ(lines[5], std::string(63, '-'));
  EXPECT_EQ(lines[6], "New File : " + backup + "/a.txt");
  EXPECT_EQ(lines[7], std::string(63, '-'));
  EXPECT_EQ(lines[8].rfind("Finished Time : ", 0), 0u) << lines[8];
  EXPECT_NE(lines[8].find("   所要時間 : 0:00:0"), std::string::npos) << lines[8];
  EXPECT_EQ(lines[9], "");
  EXPECT_EQ(lines[10], "");

  MakeFile(master + "/b.txt", "b");
  ASSERT_EQ(run().end, RunEnd::Finished);
  EXPECT_EQ(actionLines(), Lines{"New File : " + backup + "/b.txt"});
  EXPECT_EQ(ReadText(app + "/report.tvr"), content + ReadText(app + "/Recent.tvr"));
}

}  // namespace
}  // namespace tolvan::testing
