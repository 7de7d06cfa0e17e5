#pragma once
// What the window port drives: the main window's controls and questions, on the GUI thread only.
#include <string>
#include <utility>
#include <vector>

#include "task/MainWindowPort.h"

namespace qm::ui {

// One log line and whether it is an error line (shown in red).
using TLogLine = std::pair<std::string, bool>;

class TWindowSide {
 public:
  virtual ~TWindowSide() = default;
  virtual void AppendLog(const std::vector<TLogLine>& lines) = 0;
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void SetProgress(int percent) = 0;
  virtual void SetListRow(int row, const TListRowTexts& texts) = 0;
  virtual void ClearTaskList() = 0;
  virtual int AddTaskListRow() = 0;
  virtual void ShowTaskCommands(const std::string& startUrl, const TTaskCommandStates& enabled) = 0;
  virtual void ShowStatistics() = 0;
  virtual void ShowMessage(const std::string& text) = 0;
  virtual bool AskOkCancel(const std::string& text, const std::string& caption) = 0;
  virtual bool EditMainSettings() = 0;
  // The analysis thread's directory question (window message 3345).
  virtual void ConfirmDirectories(TTask& task) = 0;
};

}  // namespace qm::ui
