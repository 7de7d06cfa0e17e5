#include "task/LocalFileClaims.h"

#include <chrono>

namespace qm {

bool TLocalFileClaims::Acquire(const std::string& path, std::int32_t owner,
                               const std::function<bool()>& stop) {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    const auto it = held_.find(path);
    if (it == held_.end()) {
      held_.emplace(path, owner);
      return true;
    }
    if (it->second == owner) return true;
    if (stop && stop()) return false;
    // Releases wake the waiters; the time limit only lets a stop be noticed.
    released_.wait_for(guard, std::chrono::milliseconds(50));
  }
}

bool TLocalFileClaims::TryAcquire(const std::string& path, std::int32_t owner) {
  std::lock_guard<std::mutex> guard(lock_);
  const auto [it, added] = held_.emplace(path, owner);
  return added || it->second == owner;
}

void TLocalFileClaims::Release(const std::string& path, std::int32_t owner) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    const auto it = held_.find(path);
    if (it == held_.end() || it->second != owner) return;
    held_.erase(it);
  }
  released_.notify_all();
  if (notify_) notify_();
}

void TLocalFileClaims::Transfer(const std::string& path, std::int32_t from, std::int32_t to) {
  std::lock_guard<std::mutex> guard(lock_);
  const auto it = held_.find(path);
  if (it != held_.end() && it->second == from) it->second = to;
}

void TLocalFileClaims::Clear() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    held_.clear();
  }
  released_.notify_all();
  if (notify_) notify_();
}

bool TLocalFileClaims::HeldByOther(const std::string& path, std::int32_t owner) const {
  std::lock_guard<std::mutex> guard(lock_);
  const auto it = held_.find(path);
  return it != held_.end() && it->second != owner;
}

std::size_t TLocalFileClaims::HeldCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return held_.size();
}

bool TLocalFileClaim::Hold(const std::string& path, std::int32_t owner,
                           const std::function<bool()>& stop) {
  if (held_ && path == path_) {
    claims_.Transfer(path_, owner_, owner);
    owner_ = owner;
    return true;
  }
  // One hold at a time: a worker waiting for a second file while holding a first could wait for
  // a worker that waits for the first.
  Release();
  if (!claims_.Acquire(path, owner, stop)) return false;
  path_ = path;
  owner_ = owner;
  held_ = true;
  return true;
}

void TLocalFileClaim::Adopt(const std::string& path, std::int32_t owner) {
  Release();
  path_ = path;
  owner_ = owner;
  held_ = true;
}

void TLocalFileClaim::HandOver(std::int32_t owner) {
  if (held_) claims_.Transfer(path_, owner_, owner);
  held_ = false;
}

void TLocalFileClaim::Release() {
  if (held_) claims_.Release(path_, owner_);
  held_ = false;
}

}  // namespace qm
