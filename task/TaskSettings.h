#pragma once
#include <cstdint>

#include "task/UrlRecord.h"

namespace qm {

// The four download settings of a task, as the header of its task file holds them. The task
// keeps them in one record, read and written under its TableLock (TTask::Settings).
struct TaskSettings {
  std::int32_t Depth = -1;  // -1 unlimited
  std::int32_t Scope = ScopeHost;
  std::int32_t Content = ContentPagesAndImages;
  bool ForeignImages = false;
  bool operator==(const TaskSettings&) const = default;
};

}  // namespace qm
