#pragma once
// A window that records what the engine tells it, for tests. Thread-safe.
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "task/MainWindowPort.h"

namespace qm::test {

class RecordingWindow : public MainWindowPort {
 public:
  struct Line {
    std::string Text;
    bool Red = false;
  };

  void AddLog(const std::string& line) override;
  void AddRedLog(const std::string& line) override;
  void SetStatusText(const std::string& text) override;
  void SetProgress(int percent) override;
  void SetListRow(int row, const TListRowTexts& texts) override;
  void ShowMessage(const std::string& text) override;
  void AskExtraDirs(TTask& task) override;
  void Synchronize(const std::function<void()>& fn) override;
  void ClearTaskList() override;
  int AddTaskListRow() override;
  void ShowTaskCommands(const std::string& startUrl, const TTaskCommandStates& enabled) override;
  void ShowStatistics() override;
  void ProcessMessages() override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  bool EditMainSettings() override;

  // Called with every plain log line before it is recorded; may throw, as a failing window would,
  // into the thread that logs.
  std::function<void(const std::string&)> OnAddLog;

  // The answer to OK/Cancel questions (false: Cancel).
  bool OkCancelAnswer = false;
  // The main settings dialog: may change settings; its result is the dialog's (none: cancelled).
  std::function<bool()> OnEditMainSettings;

  struct Question {
    std::string Text;
    std::string Caption;
  };
  std::vector<Question> Questions() const;
  // The rows of the task list since it was last cleared, in the order they were added.
  std::vector<int> ListRows() const;
  // The last ShowTaskCommands call (false when there was none).
  bool LastCommands(std::string& startUrl, TTaskCommandStates& enabled) const;
  int StatisticsShown() const;
  int MessagesProcessed() const;
  int SettingsDialogsShown() const;

  // Answer to the directory question: called with the task, may tick ExtraDirs entries.
  std::function<void(TTask&)> OnAskExtraDirs;

  std::vector<Line> Lines() const;
  std::vector<std::string> Messages() const;
  std::vector<std::string> StatusTexts() const;
  std::vector<int> ProgressValues() const;
  TListRowTexts LastRow(int row) const;
  // True when some log line contains `part`.
  bool HasLineContaining(const std::string& part) const;

 private:
  mutable std::recursive_mutex mutex_;
  std::vector<Line> lines_;
  std::vector<std::string> messages_;
  std::vector<std::string> statusTexts_;
  std::vector<int> progress_;
  std::vector<std::pair<int, TListRowTexts>> rows_;
  std::vector<int> listRows_;
  int nextRowId_ = 0;
  bool commandsShown_ = false;
  std::string commandUrl_;
  TTaskCommandStates commands_;
  std::vector<Question> questions_;
  int statistics_ = 0;
  int processed_ = 0;
  int settingsDialogs_ = 0;
};

// Installs a RecordingWindow as the engine's window for the lifetime of the object.
class ScopedRecordingWindow : public RecordingWindow {
 public:
  ScopedRecordingWindow() { SetWindow(this); }
  ~ScopedRecordingWindow() override { SetWindow(nullptr); }
};

}  // namespace qm::test
