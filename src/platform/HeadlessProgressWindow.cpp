#include "platform/HeadlessProgressWindow.h"

namespace tolvan::platform {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

void HeadlessProgressWindow::close() {
  if (style_ == Style::Terminal && drawnWidth_ > 0) {
    draw();
    std::fputc('\n', out_);
    std::fflush(out_);
    drawnWidth_ = 0;
  }
  shown_ = false;
}

void HeadlessProgressWindow::setStatus(const std::string& text, std::uint32_t) {
  if (text == status_) return;
  status_ = text;
  if (style_ == Style::Lines) {
    if (!text.empty()) std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
    return;
  }
  changed_ = true;
  refresh();
}

void HeadlessProgressWindow::setBarVisible(bool visible) {
  barVisible_ = visible;
  changed_ = true;
}

void HeadlessProgressWindow::setBarRange(std::int64_t minimum, std::int64_t maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
  changed_ = true;
}

void HeadlessProgressWindow::setBarValue(std::int64_t value) {
  value_ = value;
  changed_ = true;
}

void HeadlessProgressWindow::setEstimate(const std::string& text) {
  estimate_ = text;
  changed_ = true;
}

void HeadlessProgressWindow::refresh() {
  if (style_ != Style::Terminal || !changed_ || !shown_) return;
  const auto now = std::chrono::steady_clock::now();
  if (drawnWidth_ > 0 && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  draw();
}

std::string HeadlessProgressWindow::line() const {
  std::string text = status_;
  if (barVisible_) {
    text += ' ';
    text += std::to_string(value_ - minimum_) + "/" + std::to_string(maximum_ - minimum_);
  }
  if (!estimate_.empty()) text += ' ' + estimate_;
  return text;
}

void HeadlessProgressWindow::draw() {
  std::string text = line();
  if (text.size() < drawnWidth_) text.append(drawnWidth_ - text.size(), ' ');
  std::fprintf(out_, "\r%s", text.c_str());
  std::fflush(out_);
  drawnWidth_ = text.empty() ? 1 : text.size();
  changed_ = false;
}

}  // namespace tolvan::platform
