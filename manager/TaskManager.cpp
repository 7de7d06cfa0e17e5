#include "manager/TaskManager.h"

#include <cmath>
#include <stdexcept>

#include "config/Setting.h"
#include "engine/HttpClient.h"
#include "engine/HttpEvents.h"
#include "engine/TaskRegistry.h"
#include "manager/DirUnit.h"
#include "platform/Files.h"
#include "task/HttpWork.h"
#include "task/MainWindowPort.h"
#include "task/Task.h"
#include "task/TaskFile.h"
#include "url/UrlLib.h"

namespace qm {

TaskSettings DefaultTaskSettings() {
  TaskSettings s;
  s.Depth = DefaultDepth.load();
  s.Scope = DefaultScope.load();
  s.Content = DefaultContent.load();
  s.ForeignImages = DefaultForeignImages.load();
  return s;
}

TTaskManager::TTaskManager(TDir& dir) : dir_(dir) {
  SetNextTaskStarter(this);
}

TTaskManager::~TTaskManager() {
  SetNextTaskStarter(nullptr);
  JoinAllRuns();
  std::lock_guard lock(listLock_);
  for (std::size_t i = 0; i < tasks_.size(); ++i)
    ::qm::RegisterTask(static_cast<std::int32_t>(i), nullptr);
}

std::int32_t TTaskManager::RegisterTask(std::int32_t item, std::unique_ptr<TTask> task) {
  if (dir_.Valid(item)) {
    const TDirItem& source = dir_.Items[static_cast<std::size_t>(item)];
    task->Name = source.Name;
    task->Folder = source.Path;
    task->FileName = source.FileName;
  }
  TTask* added = task.get();
  std::int32_t index;
  {
    std::lock_guard lock(listLock_);
    index = static_cast<std::int32_t>(tasks_.size());
    added->ManagerIndex = index;
    tasks_.push_back(std::move(task));
    taskItems_.push_back(item);
  }
  ::qm::RegisterTask(index, added);
  return index;
}

TTask& TTaskManager::NewTask(std::int32_t item) {
  return NewTaskWithSettings(item, DefaultTaskSettings());
}

TTask& TTaskManager::NewTaskWithSettings(std::int32_t item, const TaskSettings& settings) {
  if (!dir_.Valid(item)) throw std::out_of_range("no category tree item " + std::to_string(item));
  auto task = std::make_unique<TTask>();
  task->RunMode = StartAtOnce.load() ? RunNormal : RunHold;
  std::string url = dir_.Items[static_cast<std::size_t>(item)].StartURL;
  if (auto hash = url.find('#'); hash != std::string::npos) url.resize(hash);
  if (url.size() > 127) url.resize(127);

  TExtendUrlRec rec = EmptyUrlRec();
  rec.Url.Set(url);
  rec.Status = NotDownloaded;
  rec.Layer = 0;
  rec.ReferId = 0;
  rec.OwnBase = 1;
  task->AddUrl(rec);
  task->SetStartUrl(url);
  Window().SetStatusText("开始下载以" + url + "为首页的网站.");

  task->SetSettings(settings);
  task->Loaded = true;

  TTask& ref = *task;
  RegisterTask(item, std::move(task));
  const TTaskFileResult saved = SaveTaskFile(ref);
  if (!saved) throw std::runtime_error(saved.Message);
  return ref;
}

TTask* TTaskManager::OpenTask(std::int32_t item, std::int32_t runMode) {
  if (!dir_.Valid(item) || dir_.Items[static_cast<std::size_t>(item)].Type != ItemTask)
    return nullptr;
  const TDirItem& source = dir_.Items[static_cast<std::size_t>(item)];
  if (FileExists(NativePath(source.Path + source.FileName))) {
    auto task = std::make_unique<TTask>();
    task->RunMode = runMode;
    TTask& ref = *task;
    RegisterTask(item, std::move(task));
    return &ref;
  }
  const std::string question = "任务文件丢失,要重建以" + source.StartURL + "为起始网址的任务吗?";
  if (!Window().AskOkCancel(question, "重建任务")) return nullptr;
  if (!Window().EditMainSettings()) return nullptr;
  return &NewTask(item);
}

std::int32_t TTaskManager::IndexOfItem(std::int32_t item) const {
  std::lock_guard lock(listLock_);
  for (std::size_t i = 0; i < taskItems_.size(); ++i)
    if (taskItems_[i] == item) return static_cast<std::int32_t>(i);
  return -1;
}

void TTaskManager::RefreshList() {
  Window().ClearTaskList();
  const std::int32_t count = TaskCount();
  for (std::int32_t i = 0; i < count; ++i) Task(i).ShowInListItem(Window().AddTaskListRow());
}

std::int32_t TTaskManager::TaskCount() const {
  std::lock_guard lock(listLock_);
  return static_cast<std::int32_t>(tasks_.size());
}

TTask& TTaskManager::Task(std::int32_t index) const {
  std::lock_guard lock(listLock_);
  return *tasks_.at(static_cast<std::size_t>(index));
}

std::int32_t TTaskManager::TaskItem(std::int32_t index) const {
  std::lock_guard lock(listLock_);
  return taskItems_.at(static_cast<std::size_t>(index));
}

std::int64_t TTaskManager::TotalSpeed() {
  double sum = 0;
  const TDateTime now = Now();
  const std::int32_t count = TaskCount();
  for (std::int32_t i = 0; i < count; ++i) {
    TTask& task = Task(i);
    std::lock_guard lock(task.WorkersLock);
    for (auto& meter : task.Meters)
      if (meter) sum += meter->BytesPerSecond(now);
  }
  return std::llround(sum);
}

std::unique_ptr<THttpClient> TTaskManager::MakeHttpClient() {
  return ::qm::MakeHttpClient();
}

}  // namespace qm
