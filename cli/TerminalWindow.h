#pragma once
// The headless program's window: log lines on stdout (UTF-8), red lines marked, a one-line
// progress display on stderr when that is a terminal, the directory question on the terminal.
#include <cstdio>
#include <mutex>
#include <string>

#include "task/MainWindowPort.h"

namespace qm::cli {

class TerminalWindow : public MainWindowPort {
 public:
  TerminalWindow();

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

  // Writes out the log lines still buffered (stdout that is not a terminal is written in blocks).
  void FlushLog();
  // Replaces the progress line on stderr (nothing when stderr is not a terminal).
  void ShowProgressLine(const std::string& line);
  // Ends the progress line so that later output starts on a fresh line.
  void FinishProgressLine();
  bool ProgressShown() const { return progressOnTerminal_; }
  int LastProgress() const { return progress_; }

 private:
  void WriteLine(const std::string& line, bool red);
  void ClearProgressLocked();

  std::recursive_mutex mutex_;  // the "main thread": one call at a time
  bool progressOnTerminal_;
  bool stdoutIsTerminal_;
  bool stdinIsTerminal_;
  bool progressVisible_ = false;
  std::string progressLine_;
  int progress_ = 0;
  int nextRowId_ = 0;
};

}  // namespace qm::cli
