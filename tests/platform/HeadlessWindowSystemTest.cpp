#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "platform/HeadlessWindowSystem.h"

namespace tolvan::platform {
namespace {

// A temporary file to write to; declared before its writer, it outlives it.
using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
File NewFile() {
  return File(std::tmpfile(), &std::fclose);
}

// What was written to the file, read back.
std::string TextOf(const File& file) {
  std::string out;
  std::rewind(file.get());
  for (int c = std::fgetc(file.get()); c != EOF; c = std::fgetc(file.get()))
    out.push_back(static_cast<char>(c));
  return out;
}

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
  const File out = NewFile();
  HeadlessWindowSystem ui(out.get(), HeadlessProgressWindow::Style::Lines);
  ui.setWaitInterval(std::chrono::milliseconds(1));
  int polls = 0;
  EXPECT_FALSE(
      ui.runWaitDialog("job.tvf  Waiting", "first", "second", [&] { return ++polls == 3; }));
  EXPECT_EQ(TextOf(out), "job.tvf  Waiting: first second\n");
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
  const File lines = NewFile();
  const File terminal = NewFile();
  HeadlessProgressWindow logged(lines.get(), HeadlessProgressWindow::Style::Lines);
  HeadlessProgressWindow redrawn(terminal.get(), HeadlessProgressWindow::Style::Terminal);
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
  EXPECT_EQ(TextOf(lines), "Copying\nGo\n");
  const std::string text = TextOf(terminal);
  EXPECT_EQ(text.rfind("\rCopying 10/40 00:01:00", 0), 0u) << text;
  EXPECT_NE(text.find("\rGo 20/40 00:01:00     \n"), std::string::npos) << text;
  EXPECT_EQ(text.find('\n'), text.size() - 1);
}

}  // namespace
}  // namespace tolvan::platform
