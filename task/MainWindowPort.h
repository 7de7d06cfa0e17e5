#pragma once
#include <functional>
#include <string>
#include <vector>

namespace qm {

class TTask;

// The texts of one task row of the window's task list: caption, image and sub-items in order.
struct TListRowTexts {
  std::string Caption;
  int ImageIndex = 0;
  std::vector<std::string> SubItems;
};

// Which task commands are enabled: the tool buttons and the task list's pop-up menu entries.
struct TTaskCommandStates {
  bool Run = false, Pause = false, Stop = false, Repair = false, Update = false, Restart = false;
  bool NTaskRun = false, NTaskPause = false, NTaskStop = false, NTaskRepair = false,
       NTaskUpdate = false;
  bool operator==(const TTaskCommandStates&) const = default;
};

// The only way the engine reaches the window. The Qt window implements it with queued or blocking
// calls to the GUI thread, the command-line program on the terminal, the tests with recorders.
// Every method may be called from any thread, and its effect happens on the window's thread in
// the order the calls were made; "blocking" ones return only when done. No caller may hold a
// task's TableLock across a call.
class MainWindowPort {
 public:
  virtual ~MainWindowPort() = default;

  // One line in the log pane (plain, or shown in red for errors).
  virtual void AddLog(const std::string& line) = 0;
  virtual void AddRedLog(const std::string& line) = 0;
  // The status bar's message panel.
  virtual void SetStatusText(const std::string& text) = 0;
  // The progress bar position, 0..100.
  virtual void SetProgress(int percent) = 0;
  // Fills the task-list row `row` (a row id the window handed out) with the given texts.
  virtual void SetListRow(int row, const TListRowTexts& texts) = 0;
  // A blocking message box with an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // The directory question of a Directory-scope start page: let the user tick entries of the
  // task's ExtraDirs (setting Selected). Blocks until answered.
  virtual void AskExtraDirs(TTask& task) = 0;
  // Runs fn on the main thread while the caller waits (the synchronous call of worker threads).
  virtual void Synchronize(const std::function<void()>& fn) = 0;
  // Refreshes the task's row of the task list on the main thread (RefreshListItem); a window may
  // do it later without making the caller wait. The task outlives every window call.
  virtual void RefreshTaskRow(TTask& task);

  // The task list: empties it, and adds an empty row whose id is returned (-1: no list).
  virtual void ClearTaskList() = 0;
  virtual int AddTaskListRow() = 0;
  // Puts the task's start URL into the URL box and sets the task commands' enabled states.
  virtual void ShowTaskCommands(const std::string& startUrl, const TTaskCommandStates& enabled) = 0;
  // Refreshes the statistics panel from the current task.
  virtual void ShowStatistics() = 0;
  // Lets pending window messages be processed (before a long call on the main thread).
  virtual void ProcessMessages() = 0;
  // A blocking message box with OK and Cancel: true for OK.
  virtual bool AskOkCancel(const std::string& text, const std::string& caption) = 0;
  // Shows the main settings dialog: true when the user confirmed it (the new settings are then
  // in the program settings).
  virtual bool EditMainSettings() = 0;
};

// The window the engine talks to. Until one is set, output is dropped and questions admit nothing.
MainWindowPort& Window();
void SetWindow(MainWindowPort* window);

}  // namespace qm
