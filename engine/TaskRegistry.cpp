#include "engine/TaskRegistry.h"

#include <mutex>
#include <vector>

namespace qm {
namespace {

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

std::vector<TTask*>& Registry() {
  static std::vector<TTask*> tasks;
  return tasks;
}

}  // namespace

void RegisterTask(std::int32_t index, TTask* task) {
  if (index < 0) return;
  std::lock_guard<std::mutex> guard(RegistryLock());
  auto& tasks = Registry();
  if (static_cast<std::size_t>(index) >= tasks.size()) tasks.resize(index + 1, nullptr);
  tasks[index] = task;
}

TTask* FindTask(std::int32_t index) {
  if (index < 0) return nullptr;
  std::lock_guard<std::mutex> guard(RegistryLock());
  const auto& tasks = Registry();
  return static_cast<std::size_t>(index) < tasks.size() ? tasks[index] : nullptr;
}

void ClearTaskRegistry() {
  std::lock_guard<std::mutex> guard(RegistryLock());
  Registry().clear();
}

}  // namespace qm
