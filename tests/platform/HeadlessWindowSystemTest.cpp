#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "platform/HeadlessWindowSystem.h"

namespace tolvan::platform::testing {
namespace {

// A stream into memory; declared before its writer, it outlives it.
struct Written {
  char* bytes = nullptr;
  std::size_t size = 0;
  std::FILE* file = ::open_memstream(&bytes, &size);
  ~Written() {
    std::fclose(file);
    std::free(bytes);
  }
  std::string text() { return std::fflush(file) == 0 ? std::string(bytes, size) : ""; }
};

TEST(HeadlessWindowSystemTest, MessageBoxesAreOneLineOnStandardErrorWithTheAnswer) {
  HeadlessWindowSystem ui;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ui.messageBox("エラーが発生しました。\r\n3 件", "Tolvan32", MessageIcon::Critical,
                          MessageButtons::Ok),
            MessageAnswer::Ok);
  EXPECT_EQ(
      ui.messageBox("続けますか？", "Tolvan32", MessageIcon::Exclamation, MessageButtons::OkCancel),
      MessageAnswer::Ok);
  EXPECT_EQ(
      ui.messageBox("line one\nline two", "Title", MessageIcon::Question, MessageButtons::YesNo),
      MessageAnswer::Yes);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Tolvan32: エラーが発生しました。 3 件\n"
            "Tolvan32: 続けますか？ [answered OK]\n"
            "Title: line one line two [answered Yes]\n");
}

TEST(HeadlessWindowSystemTest, WaitDialogPollsUntilFreeOrStopped) {
  Written out;
  HeadlessWindowSystem ui(out.file, HeadlessProgressWindow::Style::Lines);
  ui.setWaitInterval(std::chrono::milliseconds(1));
  int polls = 0;
  EXPECT_FALSE(
      ui.runWaitDialog("job.tvf  Waiting", "first", "second", [&] { return ++polls == 3; }));
  EXPECT_EQ(out.text(), "job.tvf  Waiting: first second\n");
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
  Written lines;
  Written terminal;
  HeadlessProgressWindow logged(lines.file, HeadlessProgressWindow::Style::Lines);
  HeadlessProgressWindow redrawn(terminal.file, HeadlessProgressWindow::Style::Terminal);
  for (ProgressWindow* progress :
       {static_cast<ProgressWindow*>(&logged), static_cast<ProgressWindow*>(&redrawn)}) {
    progress->show();
    progress->setBarVisible(true);
    progress->setBarRange(0, 40);
    progress->setBarValue(10);
    progress->setEstimate("00:01:00");
    progress->setStatus("Copying", kColourBlue);  // drawn at once
    progress->setBarValue(20);
    progress->setStatus("Copying", kColourBlue);
    progress->setStatus("Go", kColourBlue);  // on a terminal, not drawn within 100 ms
    progress->close();
  }
  EXPECT_EQ(lines.text(), "Copying\nGo\n");
  const std::string text = terminal.text();
  EXPECT_EQ(text.rfind("\rCopying 10/40 00:01:00", 0), 0u) << text;
  EXPECT_NE(text.find("\rGo 20/40 00:01:00     \n"), std::string::npos) << text;
  EXPECT_EQ(text.find('\n'), text.size() - 1);
}

}  // namespace
}  // namespace tolvan::platform::testing
