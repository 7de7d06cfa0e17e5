#pragma once
#include <mutex>

namespace qm {

// The re-entrant lock of the task table and the speed meters: the same thread may take it again.
using TReentrantLock = std::recursive_mutex;
using TLockGuard = std::lock_guard<std::recursive_mutex>;

}  // namespace qm
