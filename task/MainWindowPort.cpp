#include "task/MainWindowPort.h"

#include <atomic>

#include "task/Task.h"

namespace qm {
namespace {

// Used before a window is set: output goes nowhere, questions are declined.
class SilentWindow final : public MainWindowPort {
 public:
  void AddLog(const std::string&) override {}
  void AddRedLog(const std::string&) override {}
  void SetStatusText(const std::string&) override {}
  void SetProgress(int) override {}
  void SetListRow(int, const TListRowTexts&) override {}
  void ShowMessage(const std::string&) override {}
  void AskExtraDirs(TTask&) override {}
  void Synchronize(const std::function<void()>& fn) override { fn(); }
  void ClearTaskList() override {}
  int AddTaskListRow() override { return -1; }
  void ShowTaskCommands(const std::string&, const TTaskCommandStates&) override {}
  void ShowStatistics() override {}
  void ProcessMessages() override {}
  bool AskOkCancel(const std::string&, const std::string&) override { return false; }
  bool EditMainSettings() override { return false; }
};

SilentWindow g_silent;
std::atomic<MainWindowPort*> g_window{&g_silent};

}  // namespace

void MainWindowPort::RefreshTaskRow(TTask& task) {
  Synchronize([&] { task.RefreshListItem(); });
}

MainWindowPort& Window() {
  return *g_window.load();
}
void SetWindow(MainWindowPort* window) {
  g_window.store(window ? window : &g_silent);
}

}  // namespace qm
