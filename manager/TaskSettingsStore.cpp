// The four settings of a task: in memory when the task is, else in the header of its task file.
#include "manager/DirUnit.h"
#include "manager/TaskManager.h"
#include "platform/Files.h"
#include "task/Task.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

// The item's task file in the program's form, or empty when there is no such file.
std::string ExistingTaskFile(const TDir& dir, std::int32_t item) {
  if (!dir.Valid(item)) return {};
  const TDirItem& source = dir.Items[static_cast<std::size_t>(item)];
  const std::string path = source.Path + source.FileName;
  return FileExists(NativePath(path)) ? path : std::string();
}

// The task tied to the item when its table (and so its settings) is in memory. A task that was
// opened but not started yet still has its settings only in the file, which its load will read.
TTask* LoadedTaskOf(const TTaskManager& manager, std::int32_t item) {
  const std::int32_t index = manager.IndexOfItem(item);
  if (index < 0) return nullptr;
  TTask& task = manager.Task(index);
  return task.Loaded ? &task : nullptr;
}

}  // namespace

bool TTaskManager::WriteTaskSettings(std::int32_t item, const TaskSettings& settings) {
  if (TTask* task = LoadedTaskOf(*this, item)) {
    task->SetSettings(settings);
    return true;
  }
  const std::string path = ExistingTaskFile(dir_, item);
  if (path.empty()) return false;
  WriteTaskFileSettings(path, settings);
  return true;
}

bool TTaskManager::ReadTaskSettings(std::int32_t item, TaskSettings& settings) {
  if (TTask* task = LoadedTaskOf(*this, item)) {
    settings = task->Settings();
    return true;
  }
  const std::string path = ExistingTaskFile(dir_, item);
  if (path.empty()) return false;
  settings = ReadTaskFileSettings(path);
  return true;
}

}  // namespace qm
