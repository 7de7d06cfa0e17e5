#pragma once
// Who is writing which local file of a task. Two entries of the URL table may map to one local
// file (the http:// and https:// forms, or two ports, of one URL); whoever writes a file or its
// ".tmp" holds it first, so that two writers never meet and the copy left on disk is a whole one.
// A worker that hands a fetched page to the analysis thread hands its hold over with it; the
// analysis thread lets go once the page is saved (or failed).
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace qm {

class TLocalFileClaims {
 public:
  // Holds `path` for `owner` (an entry index) once nobody else holds it; at once when `owner`
  // holds it already. False, holding nothing, when `stop` turns true while waiting.
  bool Acquire(const std::string& path, std::int32_t owner, const std::function<bool()>& stop);
  // Holds `path` for `owner` only when nobody else holds it.
  bool TryAcquire(const std::string& path, std::int32_t owner);
  // Lets go of `path` when `owner` holds it.
  void Release(const std::string& path, std::int32_t owner);
  // The hold of `from` on `path` passes to `to`.
  void Transfer(const std::string& path, std::int32_t from, std::int32_t to);
  // Forgets every hold (a new run: the threads of the previous one have ended).
  void Clear();
  std::size_t HeldCount() const;
  // True when someone other than `owner` holds `path`.
  bool HeldByOther(const std::string& path, std::int32_t owner) const;
  // Called (without the claims' lock) after every release, so that waits elsewhere look again.
  void SetReleaseNotifier(std::function<void()> notify) { notify_ = std::move(notify); }

 private:
  mutable std::mutex lock_;
  std::condition_variable released_;
  std::map<std::string, std::int32_t> held_;
  std::function<void()> notify_;
};

// A worker's hold on one local file, let go at the end of the scope unless handed over.
class TLocalFileClaim {
 public:
  explicit TLocalFileClaim(TLocalFileClaims& claims) : claims_(claims) {}
  ~TLocalFileClaim() { Release(); }
  TLocalFileClaim(const TLocalFileClaim&) = delete;
  TLocalFileClaim& operator=(const TLocalFileClaim&) = delete;

  // Holds `path` for `owner`, letting go of a different path held before. False when stopped.
  bool Hold(const std::string& path, std::int32_t owner, const std::function<bool()>& stop);
  // Takes over a hold on `path` already acquired for `owner`, letting go of the one held before.
  void Adopt(const std::string& path, std::int32_t owner);
  // The hold now belongs to `owner` and is not let go here: the analysis thread lets go of it.
  void HandOver(std::int32_t owner);
  void Release();
  const std::string& Path() const { return path_; }

 private:
  TLocalFileClaims& claims_;
  std::string path_;
  std::int32_t owner_ = -1;
  bool held_ = false;
};

}  // namespace qm
