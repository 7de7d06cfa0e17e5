#pragma once
// Changes one of a task's four settings, as the settings dialog does: the whole record is read
// and written back under the task's lock.
#include <cstdint>

#include "task/Task.h"

namespace qm::test {

template <class Change>
void EditSettings(TTask& task, Change change) {
  TaskSettings settings = task.Settings();
  change(settings);
  task.SetSettings(settings);
}
inline void SetDepth(TTask& task, std::int32_t v) {
  EditSettings(task, [v](TaskSettings& s) { s.Depth = v; });
}
inline void SetScope(TTask& task, std::int32_t v) {
  EditSettings(task, [v](TaskSettings& s) { s.Scope = v; });
}
inline void SetContent(TTask& task, std::int32_t v) {
  EditSettings(task, [v](TaskSettings& s) { s.Content = v; });
}
inline void SetForeignImages(TTask& task, bool v) {
  EditSettings(task, [v](TaskSettings& s) { s.ForeignImages = v; });
}

}  // namespace qm::test
