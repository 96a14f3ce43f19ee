// What the program learns of the session it runs in (locale, system, display, saved settings),
// and how it speaks without a display.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <string>

#include "TempFolder.h"
#include "platform/DisplayProbe.h"
#include "platform/HeadlessWindowSystem.h"
#include "platform/LinuxSystemInfo.h"
#include "platform/QtSettingsStore.h"
#include "platform/UniqueFd.h"

namespace tolvan::platform::testing {
namespace {

TEST(LinuxSystemInfoTest, DatesInTheCLocaleAndPaddedInOthersKernelReleaseDistributionTempPath) {
  ::setenv("LC_ALL", "C.UTF-8", 1);
  EXPECT_EQ(LinuxSystemInfo().formatShortDate(2024, 3, 5), "2024/03/05");
  const char* const cases[][3] = {
      {"POSIX", "%m/%d/%y", "%Y/%m/%d"},         {"ja_JP.UTF-8", "%Y年%m月%d日", "%Y/%m/%d"},
      {"en_US.UTF-8", "%m/%d/%Y", "%m/%d/%Y"},   {"en_GB.UTF-8", "%d/%m/%y", "%d/%m/%Y"},
      {"de_DE.UTF-8", "%-d.%-m.%y", "%d.%m.%Y"}, {"xx_XX", "%e %D", "%d %m/%d/%Y"}};
  for (const auto& c : cases) EXPECT_EQ(ShortDateFormat(c[0], c[1]), c[2]) << c[0];
  // The time locale: LC_ALL, then LC_TIME, then LANG, then C.
  ::setenv("LC_TIME", "ja_JP.UTF-8", 1);
  ::setenv("LANG", "de_DE.UTF-8", 1);
  for (const auto& [name, variable] :
       {std::pair{"C.UTF-8", "LC_ALL"}, {"ja_JP.UTF-8", "LC_TIME"}, {"de_DE.UTF-8", "LANG"}}) {
    EXPECT_EQ(TimeLocaleName(), name);
    ::unsetenv(variable);
  }
  EXPECT_EQ(TimeLocaleName(), "C");
  ::setenv("LC_ALL", "C.UTF-8", 1);

  KernelVersion v, w, u;
  ASSERT_TRUE(ParseKernelRelease("6.1.0-18-amd64", v) && ParseKernelRelease("5.15", w));
  EXPECT_FALSE(ParseKernelRelease("unknown", u));
  EXPECT_EQ((std::vector{v.major, v.minor, v.patch, w.major, w.minor, w.patch}),
            (std::vector{6, 1, 0, 5, 15, 0}));
  EXPECT_EQ(OsReleaseName("PRETTY_NAME=\"Debian GNU/Linux 12\"\nNAME=\"Debian GNU/Linux\"\n"),
            "Debian GNU/Linux");
  EXPECT_EQ(OsReleaseName("NAME=Fedora\n") + OsReleaseName("ID=x\n"), "Fedora");
  LinuxSystemInfo sys;
  ::setenv("TMPDIR", "/var/tmp/", 1);
  EXPECT_EQ(sys.tempPath(), "/var/tmp");
  EXPECT_EQ(sys.environment("TMPDIR") + sys.environment("TOLVAN32_TEST_UNSET"), "/var/tmp/");
  ::unsetenv("TMPDIR");
  EXPECT_EQ(sys.tempPath(), "/tmp");
}

// A Unix socket at `path`, listening while its descriptor is held.
UniqueFd Listening(const std::string& path) {
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_un address{AF_UNIX, {}};
  std::memcpy(address.sun_path, path.data(), path.size());
  EXPECT_EQ(::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  EXPECT_EQ(::listen(fd.get(), 4), 0);
  return fd;
}

TEST(DisplayProbeTest, OnlyAServerThatListensCountsAndARemoteDisplayIsTrusted) {
  TempFolder tmp;
  const DisplaySockets sockets{tmp.path(), tmp.path()};
  {
    const UniqueFd x7 = Listening(tmp / "X7"), wayland = Listening(tmp / "wayland-3");
    for (const char* display : {":7", ":7.0", "unix:7"})
      EXPECT_TRUE(DisplayAnswers(display, "", sockets)) << display;
    EXPECT_TRUE(DisplayAnswers("", "wayland-3", sockets));
    EXPECT_TRUE(DisplayAnswers("", tmp / "wayland-3", DisplaySockets{tmp.path(), ""}));
    EXPECT_FALSE(DisplayAnswers("", "wayland-3", DisplaySockets{tmp.path(), ""}));
  }
  // The servers have gone; their socket files stay behind, as after a crash.
  for (const char* display : {":7", ":8", "", ":x", "7"})
    EXPECT_FALSE(DisplayAnswers(display, "wayland-3", sockets)) << display;
  EXPECT_TRUE(DisplayAnswers("remote.example:10.0", "", sockets));
}

// The first store of the process fixes its file under $XDG_CONFIG_HOME: set it before any.
TEST(QtSettingsStoreTest, ValuesSurviveANewStore) {
  TempFolder tmp;
  ::setenv("XDG_CONFIG_HOME", tmp.path().c_str(), 1);
  {
    QtSettingsStore store;
    store.set("MainForm", "Left", "250");
    store.set("Editor", "Path", "/usr/bin/gedit, --new-window");
    store.set("Simulation", "File", "一覧.csv");
    EXPECT_EQ(store.flush(), 0);
  }
  EXPECT_TRUE(Exists(tmp / "Tolvan32/Tolvan32.conf"));
  QtSettingsStore again;
  EXPECT_EQ(again.get("MainForm", "Left", "100") + again.get("Editor", "Path", "") +
                again.get("Simulation", "File", "") + again.get("ProcessForm", "Top", "7"),
            "250/usr/bin/gedit, --new-window一覧.csv7");
  ::unsetenv("XDG_CONFIG_HOME");
}

TEST(HeadlessWindowSystemTest, MessageBoxesAreOneLineOnStandardErrorWithTheAnswerWaitsPoll) {
  HeadlessWindowSystem ui;
  ::testing::internal::CaptureStderr();
  const std::vector answers{
      ui.messageBox("エラーが発生しました。\r\n3 件", "Tolvan32", MessageIcon::Critical,
                    MessageButtons::Ok),
      ui.messageBox("続けますか？", "Tolvan32", MessageIcon::Exclamation, MessageButtons::OkCancel),
      ui.messageBox("line one\nline two", "Title", MessageIcon::Question, MessageButtons::YesNo)};
  EXPECT_EQ(answers, (std::vector{MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::Yes}));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Tolvan32: エラーが発生しました。 3 件\n"
            "Tolvan32: 続けますか？ [answered OK]\n"
            "Title: line one line two [answered Yes]\n");

  // The wait polls until free or stopped.
  ::testing::internal::CaptureStderr();
  ui.setWaitInterval(std::chrono::milliseconds(1));
  int polls = 0;
  EXPECT_FALSE(
      ui.runWaitDialog("job.tvf  Waiting", "first", "second", [&] { return ++polls == 3; }));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "job.tvf  Waiting: first second\n");
  std::atomic<std::int16_t> stopFlag{0};
  ui.watchStopFlag(&stopFlag);
  EXPECT_TRUE(ui.runWaitDialog("c", "a", "b", [&] { return stopFlag.exchange(1) == 2; }));
  stopFlag.store(0);
  ui.requestStop();
  EXPECT_TRUE(ui.runWaitDialog("c", "a", "b", [] { return false; }));
  // A run clears the flag as it begins; the request made before it stops it at its first entry.
  stopFlag.store(0);
  ui.letEventsRun();
  EXPECT_EQ(stopFlag.load(), 1);
}

// Lines for a log: one for each new status. On a terminal: one line, redrawn at most every
// 100 ms, its last state always drawn.
TEST(HeadlessWindowSystemTest, ProgressIsALineForEachNewStatusOrOneRedrawnLine) {
  const auto shown = [](HeadlessProgressWindow::Style style) {
    ::testing::internal::CaptureStderr();
    HeadlessProgressWindow progress(stderr, style);
    progress.show();
    progress.setBarVisible(true);
    progress.setBarRange(0, 40);
    progress.setBarValue(10);
    progress.setEstimate("00:01:00");
    progress.setStatus("Copying", kColourBlue);  // drawn at once
    progress.setBarValue(20);
    progress.setStatus("Copying", kColourBlue);
    progress.setStatus("Go", kColourBlue);  // on a terminal, not drawn within 100 ms
    progress.close();
    return ::testing::internal::GetCapturedStderr();
  };
  EXPECT_EQ(shown(HeadlessProgressWindow::Style::Lines), "Copying\nGo\n");
  const std::string text = shown(HeadlessProgressWindow::Style::Terminal);
  EXPECT_EQ(text.rfind("\rCopying 10/40 00:01:00", 0), 0u) << text;
  EXPECT_NE(text.find("\rGo 20/40 00:01:00     \n"), std::string::npos) << text;
  EXPECT_EQ(text.find('\n'), text.size() - 1);
}

}  // namespace
}  // namespace tolvan::platform::testing
