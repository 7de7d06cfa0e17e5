#include "manager/TaskManager.h"

#include <cmath>
#include <stdexcept>

#include "config/Setting.h"
#include "engine/TaskRegistry.h"
#include "task/HttpWork.h"
#include "task/MainWindowPort.h"
#include "task/Task.h"
#include "task/TaskFile.h"

namespace qm {

TaskSettings DefaultTaskSettings() {
  TaskSettings s;
  s.Depth = DefaultDepth.load();
  s.Scope = DefaultScope.load();
  s.Content = DefaultContent.load();
  s.ForeignImages = DefaultForeignImages.load();
  return s;
}

TTaskManager::TTaskManager() {
  SetNextTaskStarter(this);
}

TTaskManager::~TTaskManager() {
  SetNextTaskStarter(nullptr);
  JoinAllRuns();
  for (std::size_t i = 0; i < tasks_.size(); ++i)
    ::qm::RegisterTask(static_cast<std::int32_t>(i), nullptr);
}

std::int32_t TTaskManager::RegisterTask(std::unique_ptr<TTask> task, const TTaskItem& item) {
  const auto index = static_cast<std::int32_t>(tasks_.size());
  task->Name = item.Name;
  task->Folder = item.Path;
  task->FileName = item.FileName;
  task->ManagerIndex = index;
  tasks_.push_back(std::move(task));
  items_.push_back(item);
  ::qm::RegisterTask(index, tasks_.back().get());
  return index;
}

TTask& TTaskManager::NewTaskWithSettings(const TTaskItem& item, const TaskSettings& settings,
                                         bool startAtOnce) {
  auto task = std::make_unique<TTask>();
  task->RunMode = startAtOnce ? RunNormal : RunHold;
  std::string url = item.StartUrl;
  if (auto hash = url.find('#'); hash != std::string::npos) url.resize(hash);
  if (url.size() > 127) url.resize(127);

  TExtendUrlRec rec = EmptyUrlRec();
  rec.Url.Set(url);
  rec.Status = NotDownloaded;
  rec.Layer = 0;
  rec.ReferId = 0;
  rec.OwnBase = 1;
  task->AddUrl(rec);
  task->StartUrl = url;
  Window().SetStatusText("开始下载以" + url + "为首页的网站.");

  task->Depth = settings.Depth;
  task->Scope = settings.Scope;
  task->Content = settings.Content;
  task->ForeignImages = settings.ForeignImages;
  task->Loaded = true;

  TTaskItem stored = item;
  stored.StartUrl = url;
  TTask& ref = *task;
  RegisterTask(std::move(task), stored);
  const TTaskFileResult saved = SaveTaskFile(ref);
  if (!saved) throw std::runtime_error(saved.Message);
  return ref;
}

TTask& TTaskManager::OpenTask(const TTaskItem& item, std::int32_t runMode) {
  auto task = std::make_unique<TTask>();
  task->RunMode = runMode;
  TTask& ref = *task;
  RegisterTask(std::move(task), item);
  return ref;
}

void TTaskManager::StartNext() {
  if (tasks_.empty()) return;
  std::int32_t chosen = 0;
  for (std::size_t i = 0; i < tasks_.size(); ++i) {
    const TTask& t = *tasks_[i];
    const std::int32_t state = t.State.load();
    if (t.RunMode != RunHold && state != Paused && state != Complete) {
      chosen = static_cast<std::int32_t>(i);
      break;
    }
  }
  // A running task is never interrupted by another.
  if (TTask* current = currentTask_.load(); current && current->State.load() == Running) return;

  TTask& task = Task(chosen);
  TTaskItem& item = Item(chosen);
  if (!task.Loaded) {
    Window().SetStatusText("正在载入任务 " + item.Name);
    const TTaskFileResult loaded = LoadTaskFile(task);
    if (!loaded) throw std::runtime_error(loaded.Message);
    if (!loaded.Message.empty()) Window().AddRedLog(loaded.Message);
    item.StartUrl = task.GetUrl(0);
    Window().SetStatusText("任务 " + item.Name + "载入完毕");
  }
  currentTask_ = &task;

  const std::int32_t mode = task.RunMode;
  if (mode == RunHold) return;
  if (mode == RunRepair) {
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
  } else if (mode == RunRestart) {
    task.Restart();
  }
  Window().SetStatusText("开始下载以 " + item.StartUrl + "为首页的网站");
  StartTaskThreads(task, mode == RunUpdate);
  task.RunMode = RunHold;
}

std::int64_t TTaskManager::TotalSpeed() {
  double sum = 0;
  const TDateTime now = Now();
  for (auto& task : tasks_) {
    std::lock_guard lock(task->WorkersLock);
    for (auto& meter : task->Meters)
      if (meter) sum += meter->BytesPerSecond(now);
  }
  return std::llround(sum);
}

}  // namespace qm
