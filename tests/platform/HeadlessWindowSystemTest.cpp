#include <gtest/gtest.h>

#include <cstdio>

#include "platform/HeadlessWindowSystem.h"

namespace tolvan::platform {
namespace {

// What was written to a FILE*, read back.
class CapturedFile {
 public:
  CapturedFile() : file_(std::tmpfile()) {}
  ~CapturedFile() {
    if (file_ != nullptr) std::fclose(file_);
  }
  CapturedFile(const CapturedFile&) = delete;
  CapturedFile& operator=(const CapturedFile&) = delete;

  [[nodiscard]] std::FILE* get() const { return file_; }
  [[nodiscard]] std::string text() const {
    std::fflush(file_);
    std::rewind(file_);
    std::string out;
    for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_))
      out.push_back(static_cast<char>(c));
    return out;
  }

 private:
  std::FILE* file_;
};

TEST(HeadlessWindowSystemTest, MessageBoxesAreOneLineOnStandardError) {
  HeadlessWindowSystem ui;
  ::testing::internal::CaptureStderr();
  const MessageAnswer ok = ui.messageBox("エラーが発生しました。\r\n3 件", "Tolvan32",
                                         MessageIcon::Critical, MessageButtons::Ok);
  const MessageAnswer question =
      ui.messageBox("続けますか？", "Tolvan32", MessageIcon::Exclamation, MessageButtons::OkCancel);
  const MessageAnswer yes =
      ui.messageBox("line one\nline two", "Title", MessageIcon::Question, MessageButtons::YesNo);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(ok, MessageAnswer::Ok);
  EXPECT_EQ(question, MessageAnswer::Ok);
  EXPECT_EQ(yes, MessageAnswer::Yes);
  EXPECT_EQ(err,
            "Tolvan32: エラーが発生しました。 3 件\n"
            "Tolvan32: 続けますか？ [answered OK]\n"
            "Title: line one line two [answered Yes]\n");
}

TEST(HeadlessWindowSystemTest, WaitDialogPollsUntilFreeOrStopped) {
  CapturedFile out;
  HeadlessWindowSystem ui(out.get(), HeadlessProgressWindow::Style::Lines);
  ui.setWaitInterval(std::chrono::milliseconds(1));
  int polls = 0;
  EXPECT_FALSE(
      ui.runWaitDialog("job.tvf  Waiting", "first", "second", [&] { return ++polls == 3; }));
  EXPECT_EQ(polls, 3);
  EXPECT_EQ(out.text(), "job.tvf  Waiting: first second\n");

  std::atomic<std::int16_t> stopFlag{0};
  ui.watchStopFlag(&stopFlag);
  polls = 0;
  EXPECT_TRUE(ui.runWaitDialog("c", "a", "b", [&] {
    if (++polls == 2) stopFlag.store(1);
    return false;
  }));
  EXPECT_EQ(polls, 2);

  stopFlag.store(0);
  ui.requestStop();
  EXPECT_TRUE(ui.runWaitDialog("c", "a", "b", [] { return false; }));
}

TEST(HeadlessWindowSystemTest, ProgressLinesOnlyWhenTheStatusChanges) {
  CapturedFile out;
  HeadlessWindowSystem ui(out.get(), HeadlessProgressWindow::Style::Lines);
  ProgressWindow& progress = ui.progress();
  progress.show();
  progress.setStatus("Checking", kColourBlue);
  progress.setBarRange(0, 100);
  for (int i = 0; i < 2000; ++i) {
    progress.setBarValue(i % 100);
    progress.setStatus("Copying", kColourBlue);
    ui.letEventsRun();
  }
  progress.setStatus("Finished!!", kColourRed);
  progress.close();
  EXPECT_EQ(out.text(), "Checking\nCopying\nFinished!!\n");
}

TEST(HeadlessWindowSystemTest, TerminalProgressRedrawsOneLine) {
  CapturedFile out;
  HeadlessProgressWindow progress(out.get(), HeadlessProgressWindow::Style::Terminal);
  progress.show();
  progress.setBarVisible(true);
  progress.setBarRange(0, 40);
  progress.setBarValue(10);
  progress.setEstimate("00:01:00");
  progress.setStatus("Copying", kColourBlue);  // first drawing is immediate
  progress.setStatus("Go", kColourBlue);       // within 100 ms: not drawn yet
  progress.close();                            // the last state is always drawn
  const std::string text = out.text();
  EXPECT_EQ(text.rfind("\rCopying 10/40 00:01:00", 0), 0u) << text;
  EXPECT_NE(text.find("\rGo 10/40 00:01:00     \n"), std::string::npos) << text;
  EXPECT_EQ(text.find('\n'), text.size() - 1);
}

}  // namespace
}  // namespace tolvan::platform
