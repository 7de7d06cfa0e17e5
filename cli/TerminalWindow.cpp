#include "cli/TerminalWindow.h"

#include <unistd.h>

#include <iostream>

#include "task/Task.h"

namespace qm::cli {

TerminalWindow::TerminalWindow()
    : progressOnTerminal_(isatty(STDERR_FILENO) != 0),
      stdoutIsTerminal_(isatty(STDOUT_FILENO) != 0),
      stdinIsTerminal_(isatty(STDIN_FILENO) != 0) {}

void TerminalWindow::ClearProgressLocked() {
  if (progressVisible_) {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    progressVisible_ = false;
  }
}

void TerminalWindow::WriteLine(const std::string& line, bool red) {
  std::lock_guard lock(mutex_);
  ClearProgressLocked();
  if (red && stdoutIsTerminal_) {
    std::fprintf(stdout, "\033[31m%s\033[0m\n", line.c_str());
  } else {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }
  // A reader at a terminal sees each line at once; into a file or a pipe the lines go in blocks
  // (FlushLog): one write per line costs a run of thousands of files a system call per line, with
  // every worker and the analysis thread queueing on this lock meanwhile.
  if (stdoutIsTerminal_) std::fflush(stdout);
  if (progressOnTerminal_ && !progressLine_.empty()) {
    std::fputs(progressLine_.c_str(), stderr);
    std::fflush(stderr);
    progressVisible_ = true;
  }
}

void TerminalWindow::FlushLog() {
  std::lock_guard lock(mutex_);
  std::fflush(stdout);
}

void TerminalWindow::AddLog(const std::string& line) {
  WriteLine(line, false);
}
void TerminalWindow::AddRedLog(const std::string& line) {
  WriteLine(line, true);
}
// The status bar has no place of its own here: the log lines say the same.
void TerminalWindow::SetStatusText(const std::string&) {}
void TerminalWindow::SetProgress(int percent) {
  std::lock_guard lock(mutex_);
  progress_ = percent;
}
void TerminalWindow::SetListRow(int, const TListRowTexts&) {}
void TerminalWindow::ShowMessage(const std::string& text) {
  WriteLine(text, false);
}

void TerminalWindow::AskExtraDirs(TTask& task) {
  std::lock_guard lock(mutex_);
  if (!stdinIsTerminal_) return;  // nobody to ask: nothing is admitted
  ClearProgressLocked();
  std::fprintf(stderr, "The start page links to other directories. Admit them too?\n");
  for (auto& rec : task.ExtraDirs) {
    std::string dir = rec.Dir.Get();
    std::fprintf(stderr, "  %s [y/N] ", dir.c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) break;
    rec.Selected = (!answer.empty() && (answer[0] == 'y' || answer[0] == 'Y')) ? 1 : 0;
  }
}

void TerminalWindow::Synchronize(const std::function<void()>& fn) {
  std::lock_guard lock(mutex_);
  fn();
}

// There is no task list, command bar or statistics panel: the log and the progress line say it.
void TerminalWindow::ClearTaskList() {}
int TerminalWindow::AddTaskListRow() {
  std::lock_guard lock(mutex_);
  return nextRowId_++;
}
void TerminalWindow::ShowTaskCommands(const std::string&, const TTaskCommandStates&) {}
void TerminalWindow::ShowStatistics() {}
void TerminalWindow::ProcessMessages() {}

bool TerminalWindow::AskOkCancel(const std::string& text, const std::string& caption) {
  std::lock_guard lock(mutex_);
  if (!stdinIsTerminal_) return false;  // nobody to ask: the question is declined
  ClearProgressLocked();
  std::fprintf(stderr, "%s: %s [y/N] ", caption.c_str(), text.c_str());
  std::fflush(stderr);
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

// No settings dialog here: on a terminal the settings as loaded count as confirmed (the user
// has just said yes), otherwise nobody can confirm them.
bool TerminalWindow::EditMainSettings() {
  return stdinIsTerminal_;
}

void TerminalWindow::ShowProgressLine(const std::string& line) {
  std::lock_guard lock(mutex_);
  progressLine_ = line;
  if (!progressOnTerminal_) return;
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
  progressVisible_ = true;
}

void TerminalWindow::FinishProgressLine() {
  std::lock_guard lock(mutex_);
  ClearProgressLocked();
  progressLine_.clear();
}

}  // namespace qm::cli
