#pragma once
// What the task needs to know of a download worker while it runs: the entry it stands at and its
// client tag, for the lines a pause writes to the log. The download worker (TTaskThread,
// engine/TaskThread.h) derives from this class and supplies both; the task knows no more of the
// engine than this.
#include <cstdint>

#include "platform/Thread.h"

namespace qm {

class TWorkerInfo : public TThread {
 public:
  // Index of the entry this worker looks at (its walk position in the URL table).
  virtual std::int64_t Position() const = 0;
  // The 32-bit tag of this worker's HTTP client: task index high, worker index low.
  virtual std::uint32_t Tag() const = 0;
};

}  // namespace qm
