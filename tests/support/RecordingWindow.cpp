#include "support/RecordingWindow.h"

namespace qm::test {

void RecordingWindow::AddLog(const std::string& line) {
  std::lock_guard lock(mutex_);
  lines_.push_back({line, false});
}
void RecordingWindow::AddRedLog(const std::string& line) {
  std::lock_guard lock(mutex_);
  lines_.push_back({line, true});
}
void RecordingWindow::SetStatusText(const std::string& text) {
  std::lock_guard lock(mutex_);
  statusTexts_.push_back(text);
}
void RecordingWindow::SetProgress(int percent) {
  std::lock_guard lock(mutex_);
  progress_.push_back(percent);
}
void RecordingWindow::SetListRow(int row, const TListRowTexts& texts) {
  std::lock_guard lock(mutex_);
  rows_.emplace_back(row, texts);
}
void RecordingWindow::ShowMessage(const std::string& text) {
  std::lock_guard lock(mutex_);
  messages_.push_back(text);
}
void RecordingWindow::AskExtraDirs(TTask& task) {
  if (OnAskExtraDirs) OnAskExtraDirs(task);
}
void RecordingWindow::Synchronize(const std::function<void()>& fn) {
  // One "main thread" at a time, as the window's blocking calls give.
  std::lock_guard lock(mutex_);
  fn();
}

std::vector<RecordingWindow::Line> RecordingWindow::Lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}
std::vector<std::string> RecordingWindow::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}
std::vector<std::string> RecordingWindow::StatusTexts() const {
  std::lock_guard lock(mutex_);
  return statusTexts_;
}
std::vector<int> RecordingWindow::ProgressValues() const {
  std::lock_guard lock(mutex_);
  return progress_;
}
TListRowTexts RecordingWindow::LastRow(int row) const {
  std::lock_guard lock(mutex_);
  for (auto it = rows_.rbegin(); it != rows_.rend(); ++it)
    if (it->first == row) return it->second;
  return {};
}
bool RecordingWindow::HasLineContaining(const std::string& part) const {
  std::lock_guard lock(mutex_);
  for (const auto& l : lines_)
    if (l.Text.find(part) != std::string::npos) return true;
  return false;
}

}  // namespace qm::test
