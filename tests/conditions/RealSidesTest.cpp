// Both sides as the conditions reader and the job driver see them on real trees.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>

#include "conditions/Tvf.h"
#include "engine/JobDriver.h"
#include "platform/TempFolder.h"
#include "support/RealFolderSession.h"

namespace tolvan::testing {
namespace {

class RealSidesTest : public ::testing::Test, public RealFolderSession {
 protected:
  RealSidesTest() {
    for (const char* folder : {"master/inner", "backup/home", "x"})
      std::filesystem::create_directories(tmp / folder);
    engine.shared.AppPath = tmp / "backup/home";
    engine.shared.TvfFileName = "job.tvf";
    engine.job.NomalMode = -1, engine.job.XOption = 1, engine.job.Report = 0;
    engine.job.ChildDir = 0;  // a run into itself ends after one level
  }

  // The message of a refused run, empty text when the run went on.
  std::string refusal(const std::string& from, const std::string& to) {
    ui.boxes.clear();
    std::int16_t timer = 0;
    const RunEnd end = RunJob(engine, from, to, timer).end;
    return end == RunEnd::Refused && !ui.boxes.empty() ? ui.boxes[0].text : "";
  }
};

// A bind mount of the master is the master too; it needs mount permission, so it comes last.
TEST_F(RealSidesTest, SidesAreJudgedAsResolvedFoldersAndMissingPathComesFirst) {
  const std::string same =
      "指定したドライブまたはディレクトリが同じです。バックアップを中止します。";
  // From, to, whether the conditions file named a missing path, the words of the message.
  const std::tuple<std::string, std::string, bool, std::string> cases[] = {
      {tmp / "x/../master/inner", tmp / "master", false, "同じです"},
      {tmp / "master", tmp.path() + "//./master", false, "同じです"},
      {tmp / "master", tmp / "backup", false, "To側に指定したフォルダーの中にあります"},
      {tmp / "master/inner", tmp / "master", true, "存在しません"},
      {tmp / "master", tmp.path() + std::string(1, '\0') + "/backup", false, "存在しません"},
      {tmp / "master", "/" + std::string(4096, 'a'), false, "存在しません"}};
  for (const auto& [from, to, missingPath, message] : cases) {
    SCOPED_TRACE(from + " -> " + to);
    engine.run.MissingPath = missingPath ? -1 : 0;
    EXPECT_NE(refusal(from, to).find(message), std::string::npos);
  }
  engine.job.NomalMode = 0;
  EXPECT_EQ(refusal(tmp / "master", tmp / "backup"), "") << "a Backup run deletes nothing";
  const std::string bound = tmp / "x";
  if (::mount((tmp / "master").c_str(), bound.c_str(), nullptr, MS_BIND, nullptr) != 0)
    GTEST_SKIP() << "cannot bind-mount here (needs root and mount permission)";
  const std::string messages =
      refusal(tmp / "master", bound) + refusal(bound + "/inner", tmp / "master");
  ::umount2(bound.c_str(), MNT_DETACH);
  EXPECT_EQ(messages, same + same);
}

TEST_F(RealSidesTest, AnOverlongDriveAIsRefusedUnattendedWithinASecond) {
  std::string driveA = "DriveA=";
  for (int component = 0; component < 1500000; ++component) driveA += "/a";  // 3 MB
  platform::testing::WriteText(engine.shared.AppPath + "/job.tvf",
                               "DriveB=" + tmp / "backup\r\n" + driveA + "\r\n");
  const int status = platform::testing::RunInChild([this] {
    ::alarm(30);  // killed (-1) when it never ends
    // Processor time, so that other work on the machine does not count.
    const std::clock_t start = std::clock();
    tvfRead(session);
    const bool quick = std::clock() - start < CLOCKS_PER_SEC;
    return quick && session.endStatus == 2 ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace tolvan::testing
