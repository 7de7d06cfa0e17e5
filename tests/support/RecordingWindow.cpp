#include "support/RecordingWindow.h"

namespace qm::test {

void RecordingWindow::AddLog(const std::string& line) {
  std::lock_guard lock(mutex_);
  if (OnAddLog) OnAddLog(line);
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

void RecordingWindow::ClearTaskList() {
  std::lock_guard lock(mutex_);
  listRows_.clear();
}
int RecordingWindow::AddTaskListRow() {
  std::lock_guard lock(mutex_);
  listRows_.push_back(nextRowId_);
  return nextRowId_++;
}
void RecordingWindow::ShowTaskCommands(const std::string& startUrl,
                                       const TTaskCommandStates& enabled) {
  std::lock_guard lock(mutex_);
  commandsShown_ = true;
  commandUrl_ = startUrl;
  commands_ = enabled;
}
void RecordingWindow::ShowStatistics() {
  std::lock_guard lock(mutex_);
  ++statistics_;
}
void RecordingWindow::ProcessMessages() {
  std::lock_guard lock(mutex_);
  ++processed_;
}
bool RecordingWindow::AskOkCancel(const std::string& text, const std::string& caption) {
  std::lock_guard lock(mutex_);
  questions_.push_back({text, caption});
  return OkCancelAnswer;
}
bool RecordingWindow::EditMainSettings() {
  {
    std::lock_guard lock(mutex_);
    ++settingsDialogs_;
  }
  return OnEditMainSettings ? OnEditMainSettings() : false;
}

std::vector<RecordingWindow::Question> RecordingWindow::Questions() const {
  std::lock_guard lock(mutex_);
  return questions_;
}
std::vector<int> RecordingWindow::ListRows() const {
  std::lock_guard lock(mutex_);
  return listRows_;
}
bool RecordingWindow::LastCommands(std::string& startUrl, TTaskCommandStates& enabled) const {
  std::lock_guard lock(mutex_);
  startUrl = commandUrl_;
  enabled = commands_;
  return commandsShown_;
}
int RecordingWindow::StatisticsShown() const {
  std::lock_guard lock(mutex_);
  return statistics_;
}
int RecordingWindow::MessagesProcessed() const {
  std::lock_guard lock(mutex_);
  return processed_;
}
int RecordingWindow::SettingsDialogsShown() const {
  std::lock_guard lock(mutex_);
  return settingsDialogs_;
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
