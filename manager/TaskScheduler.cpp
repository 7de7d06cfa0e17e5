// The scheduler: one task runs at a time; when a run ends the next task waiting to run starts.
#include "manager/DirUnit.h"
#include "manager/TaskManager.h"
#include "task/MainWindowPort.h"
#include "task/Task.h"
#include "task/TaskFile.h"

namespace qm {

std::int32_t TTaskManager::ChooseTask() const {
  std::lock_guard lock(listLock_);
  if (tasks_.empty()) return -1;
  for (std::size_t i = 0; i < tasks_.size(); ++i) {
    const TTask& t = *tasks_[i];
    const std::int32_t state = t.State.load();
    if (t.RunMode != RunHold && state != Paused && state != Complete)
      return static_cast<std::int32_t>(i);
  }
  return 0;
}

bool TTaskManager::LoadChosenTask(std::int32_t index) {
  TTask& task = Task(index);
  const std::int32_t item = TaskItem(index);
  const std::string name = dir_.Valid(item) ? dir_.Items[static_cast<std::size_t>(item)].Name : "";
  Window().SetStatusText("正在载入任务 " + name);
  Window().ProcessMessages();
  const TTaskFileResult loaded = LoadTaskFile(task);
  if (!loaded) {
    Window().AddRedLog("任务 " + name + " 载入失败: " + loaded.Message);
    return false;
  }
  // What a damaged file lost or had repaired the reader has logged already.
  if (dir_.Valid(item)) dir_.Items[static_cast<std::size_t>(item)].StartURL = task.GetUrl(0);
  Window().SetStatusText("任务 " + name + "载入完毕");
  return true;
}

void TTaskManager::ApplyRunMode(TTask& task) {
  if (task.RunMode == RunRepair) {
    TLockGuard guard(task.TableLock);
    const std::int32_t count = task.GetCount();
    for (std::int32_t i = 0; i < count; ++i) {
      if (task.GetKind(i) != 1) continue;
      const std::int32_t status = task.GetStatus(i);
      if (status == DownloadError) {
        task.SetStatus(i, NotDownloaded);
      } else if (status == AnalysisError) {
        task.SetStatus(i, Downloaded);
      }
    }
  } else if (task.RunMode == RunRestart) {
    task.Restart();
  }
}

void TTaskManager::StartNext() {
  std::int32_t chosen = ChooseTask();
  // A running task is never interrupted by another.
  if (TTask* current = currentTask_.load(); chosen < 0 || (current && current->State == Running)) {
    RefreshAfterStart();
    return;
  }
  // A task whose file cannot be read is put on Hold and the next waiting one is taken, so that
  // one damaged file neither stops a queue nor is tried again at every end of a run.
  for (;;) {
    TTask& candidate = Task(chosen);
    if (candidate.Loaded || LoadChosenTask(chosen)) break;
    const bool waiting = candidate.RunMode != RunHold;
    candidate.RunMode = RunHold;
    candidate.RefreshListItem();
    if (!waiting) {  // the fall-back choice, on Hold anyway: nothing would have started
      RefreshAfterStart();
      return;
    }
    chosen = ChooseTask();
  }
  TTask& task = Task(chosen);
  currentTask_ = &task;

  // A task on Hold waits; one whose run is still alive (paused, say) is never started twice.
  const std::int32_t state = task.State.load();
  if (task.RunMode == RunHold || state == Running || state == Paused) {
    RefreshAfterStart();
    return;
  }
  ApplyRunMode(task);
  const std::int32_t item = TaskItem(chosen);
  const std::string startUrl =
      dir_.Valid(item) ? dir_.Items[static_cast<std::size_t>(item)].StartURL : task.StartUrl();
  Window().SetStatusText("开始下载以 " + startUrl + "为首页的网站");
  const bool updateRun = task.RunMode == RunUpdate;
  // Hold before the threads start: the run may end (and ask for the next task) at once.
  task.RunMode = RunHold;
  StartTaskThreads(task, updateRun);
  RefreshAfterStart();
}

void TTaskManager::RefreshAfterStart() {
  Window().ShowStatistics();
  ShowTaskCommands(currentTask_.load());
}

void TTaskManager::ShowTaskCommands(TTask* task) {
  if (!task) return;
  TTaskCommandStates enabled;
  switch (task->State.load()) {
    case Running:
      enabled.Pause = enabled.Stop = true;
      enabled.NTaskPause = enabled.NTaskStop = true;
      break;
    case Paused:
      enabled.Run = enabled.Stop = true;
      enabled.NTaskRun = enabled.NTaskStop = true;
      break;
    case Stopped:
    case Complete:
      enabled.Run = enabled.Repair = enabled.Update = enabled.Restart = true;
      enabled.NTaskRun = enabled.NTaskRepair = enabled.NTaskUpdate = true;
      break;
    default:
      break;
  }
  Window().ShowTaskCommands(task->StartUrl(), enabled);
}

}  // namespace qm
