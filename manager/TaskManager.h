#pragma once
// The task manager: every task the program has in memory, each tied to its item of the category
// tree; task creation and opening; the scheduler that runs one task at a time and starts the next
// one when a run ends; the task list, the task commands' states and the per-task settings.
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "engine/RunSupervisor.h"
#include "task/TaskFile.h"

namespace qm {

class TTask;
class TDir;
class THttpClient;

// The program settings "下载层数", "下载范围", "下载内容" and "图片位置" as task settings.
TaskSettings DefaultTaskSettings();

// Whether a task created next starts at once (set by the new-task and import dialogs).
inline std::atomic<bool> StartAtOnce{false};

class TTaskManager : public TNextTaskStarter {
 public:
  // The manager serves the tasks of `dir`, which must outlive it.
  explicit TTaskManager(TDir& dir);
  ~TTaskManager() override;
  TTaskManager(const TTaskManager&) = delete;
  TTaskManager& operator=(const TTaskManager&) = delete;

  // Appends the task tied to tree item `item`; copies the item's Name, Path and FileName into the
  // task and sets its ManagerIndex. Returns the task's index.
  std::int32_t RegisterTask(std::int32_t item, std::unique_ptr<TTask> task);
  // NewTaskWithSettings with the program settings.
  TTask& NewTask(std::int32_t item);
  // A new task for the item's StartURL (fragment dropped, cut to 127 bytes) with `settings`,
  // Normal when StartAtOnce is set, else on Hold; its task file is written. Throws when the
  // task file cannot be written (the task stays registered).
  TTask& NewTaskWithSettings(std::int32_t item, const TaskSettings& settings);
  // A task for the item's task file, read when it is started. When the file is missing the user
  // is asked whether to rebuild the task from its start URL; null when nothing was registered
  // (also for an item that is no task).
  TTask* OpenTask(std::int32_t item, std::int32_t runMode);
  // The task tied to tree item `item`, -1 when none is.
  std::int32_t IndexOfItem(std::int32_t item) const;
  // Fills the window's task list with one row per task, in list order.
  void RefreshList();

  // The scheduler: starts the first task that is not on Hold, paused or complete, unless a task
  // is running; then refreshes the statistics and the task commands.
  void StartNext() override;
  // Puts the task's start URL into the URL box and enables the commands its state allows.
  void ShowTaskCommands(TTask* task);

  // The four settings of the item's task: in memory when it is loaded there, else in the header
  // of its task file. False when there is neither; file errors raise std::runtime_error.
  bool WriteTaskSettings(std::int32_t item, const TaskSettings& settings);
  bool ReadTaskSettings(std::int32_t item, TaskSettings& settings);

  // Bytes per second of every worker of every task.
  std::int64_t TotalSpeed();
  // A worker client copied from the template client.
  std::unique_ptr<THttpClient> MakeHttpClient();

  // The list. Safe from any thread: entries are only appended and never move.
  std::int32_t TaskCount() const;
  TTask& Task(std::int32_t index) const;
  std::int32_t TaskItem(std::int32_t index) const;
  TTask* CurrentTask() const { return currentTask_.load(); }

 private:
  // The task the scheduler starts: the first one waiting to run, else 0; -1 when the list is
  // empty.
  std::int32_t ChooseTask() const;
  // Reads the chosen task's file; false (with the reason in the log) when it cannot be read.
  bool LoadChosenTask(std::int32_t index);
  void ApplyRunMode(TTask& task);
  void RefreshAfterStart();

  TDir& dir_;
  mutable std::mutex listLock_;  // guards the shape of tasks_ and taskItems_
  std::deque<std::unique_ptr<TTask>> tasks_;
  std::deque<std::int32_t> taskItems_;
  // Written by the scheduler on the main thread, read by whoever watches the run.
  std::atomic<TTask*> currentTask_{nullptr};
};

}  // namespace qm
