#include "platform/HeadlessWindowSystem.h"

#include <unistd.h>

#include <thread>

namespace tolvan::platform {
namespace {

constexpr std::uint32_t kCallsBetweenClockChecks = 256;
constexpr auto kPumpInterval = std::chrono::milliseconds(50);

HeadlessProgressWindow::Style StyleFor(std::FILE* out) {
  return ::isatty(::fileno(out)) != 0 ? HeadlessProgressWindow::Style::Terminal
                                      : HeadlessProgressWindow::Style::Lines;
}

}  // namespace

std::string MessageLine(const std::string& title, const std::string& text) {
  std::string line = title + ": ";
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    line.push_back(text[i] == '\n' || text[i] == '\r' ? ' ' : text[i]);
  }
  return line;
}

HeadlessWindowSystem::HeadlessWindowSystem(std::FILE* out)
    : HeadlessWindowSystem(out, StyleFor(out)) {}

HeadlessWindowSystem::HeadlessWindowSystem(std::FILE* out, HeadlessProgressWindow::Style style)
    : out_(out), progress_(out, style) {}

bool HeadlessWindowSystem::stopRequested() const {
  return stopRequested_.load() || (stopFlag_ != nullptr && stopFlag_->load() != 0);
}

void HeadlessWindowSystem::writeLine(const std::string& text) {
  std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
}

// Nobody can answer: OK and Yes are the answers that let the run go on, but a run beyond the
// change limit is one nobody agreed to.
MessageAnswer HeadlessWindowSystem::messageBox(const std::string& text, const std::string& title,
                                               MessageIcon, MessageButtons buttons) {
  std::string line = MessageLine(title, text);
  MessageAnswer answer = MessageAnswer::Ok;
  if (buttons == MessageButtons::OkCancel) line += " [answered OK]";
  if (buttons == MessageButtons::YesNo) {
    answer = MessageAnswer::Yes;
    line += " [answered Yes]";
  }
  if (buttons == MessageButtons::ContinueStop) {
    answer = MessageAnswer::No;
    line += " [answered 中止]";
  }
  writeLine(line);
  return answer;
}

bool HeadlessWindowSystem::openDocument(const std::string& path) {
  std::fprintf(stdout, "%s\n", path.c_str());
  std::fflush(stdout);
  return true;
}

void HeadlessWindowSystem::letEventsRun() {
  if (stopFlag_ != nullptr && stopRequested_.load() && stopFlag_->load() == 0) stopFlag_->store(1);
  if (++eventCalls_ % kCallsBetweenClockChecks != 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastPump_ < kPumpInterval) return;
  lastPump_ = now;
  progress_.refresh();
}

bool HeadlessWindowSystem::runWaitDialog(const std::string& caption, const std::string& label1,
                                         const std::string& label2,
                                         const std::function<bool()>& poll) {
  writeLine(MessageLine(caption, label1 + " " + label2));
  for (;;) {
    if (stopRequested()) return true;
    if (poll()) return false;
    std::this_thread::sleep_for(waitInterval_);
  }
}

}  // namespace tolvan::platform
