#pragma once
// The task manager: every task the program has in memory, task creation and opening, and the
// scheduler that runs one task at a time and starts the next one when a run ends.
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "engine/RunSupervisor.h"

namespace qm {

class TTask;

// The four settings of a task.
struct TaskSettings {
  std::int32_t Depth = -1;
  std::int32_t Scope = 1;
  std::int32_t Content = 1;
  bool ForeignImages = false;
};
// The program settings "下载层数", "下载范围", "下载内容" and "图片位置" as task settings.
TaskSettings DefaultTaskSettings();

// What the task manager keeps of a task's category-tree item: its name, the folder (ending in
// "\"), the task file name and the start URL.
struct TTaskItem {
  std::string Name;
  std::string Path;
  std::string FileName;
  std::string StartUrl;
};

class TTaskManager : public TNextTaskStarter {
 public:
  TTaskManager();
  ~TTaskManager() override;

  // Appends the task with its item; copies Name, Folder and FileName; sets ManagerIndex.
  std::int32_t RegisterTask(std::unique_ptr<TTask> task, const TTaskItem& item);
  // A new task for the item's start URL (fragment dropped, cut to 127 bytes) with `settings`; its
  // task file is written. Runs at the next StartNext when startAtOnce, else it is on Hold.
  // Throws when the task file cannot be written.
  TTask& NewTaskWithSettings(const TTaskItem& item, const TaskSettings& settings, bool startAtOnce);
  // A task for an existing task file, read when it is started.
  TTask& OpenTask(const TTaskItem& item, std::int32_t runMode);

  // The scheduler: starts the first task that is not on Hold, paused or complete, unless a task
  // is running. Throws when the chosen task's file cannot be read.
  void StartNext() override;
  // Bytes per second of every worker of every task.
  std::int64_t TotalSpeed();

  std::int32_t TaskCount() const { return static_cast<std::int32_t>(tasks_.size()); }
  TTask& Task(std::int32_t index) { return *tasks_[static_cast<std::size_t>(index)]; }
  TTaskItem& Item(std::int32_t index) { return items_[static_cast<std::size_t>(index)]; }
  TTask* CurrentTask() const { return currentTask_.load(); }

 private:
  std::deque<std::unique_ptr<TTask>> tasks_;  // entries never move or go away
  std::deque<TTaskItem> items_;
  // Written by the scheduler on the main thread, read by whoever watches the run.
  std::atomic<TTask*> currentTask_{nullptr};
};

}  // namespace qm
