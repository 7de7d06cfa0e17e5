#pragma once
// Waiting for an event without spinning. The threads of a run wait for "something changed" (an
// entry's status, a new record, the end of the analysis, the task's state); whoever changes such a
// thing notifies the signal, and the waiters look again at what they wait for.
//
// Changes come in three weights. Notify wakes every waiter. NotifyDetail (an entry's status, a
// flag, the analysis queue) wakes only the WaitUntil waiters: the workers idle at the end of the
// table wait with WaitForGrowth, and a detail never moves their end, so waking them for each one
// would only cost a context switch each. NotifyGrowth (records appended) wakes the WaitUntil
// waiters and as many growth waiters as there are new records, since each of those can take up one
// record.
//
// Apart from these, WaitForLevel waits for a count to fall below the waiter's own level (workers
// holding back while the analysis is behind): NotifyLevel(count) wakes just the waiters whose
// level lies above it, and Notify wakes them all.
//
// Two kinds of wait, both paced (see platform/Pacing.h):
// - WaitUntil: a wait for an event, bounded by an interval (the program's "look again every N ms").
//   At pacing 0 it has no bound: the thread sleeps until it is woken.
// - PauseUnless: a fixed pause that an event may cut short (a stop request). At pacing 0 it does
//   not wait at all, like every fixed pause.
// The predicates run without the signal's own lock, so they may take other locks (the table lock);
// Notify may be called with any lock held.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/Pacing.h"

namespace qm {

class TChangeSignal {
 public:
  TChangeSignal() = default;
  TChangeSignal(const TChangeSignal&) = delete;
  TChangeSignal& operator=(const TChangeSignal&) = delete;

  void Notify() { Tell(kAllWaiters); }
  void NotifyDetail() { Tell(0); }
  void NotifyGrowth(int added) {
    if (added > 0) Tell(added);
  }

  // A counted quantity fell to `count`: the level waiters whose level is above it look again.
  void NotifyLevel(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (TLevelWaiter* waiter : levelWaiters_)
      if (waiter->level > count) waiter->Wake();
  }

  // Threads in WaitForLevel right now.
  int LevelWaiters() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(levelWaiters_.size());
  }

  // Threads blocked in WaitForGrowth right now.
  int GrowthWaiters() {
    std::lock_guard<std::mutex> lock(mutex_);
    return growthWaiters_;
  }

  // Returns once done() holds (true) or after ms x PacingFactor() (done() at that moment).
  template <class Pred>
  bool WaitUntil(int ms, Pred done) {
    const double factor = PacingFactor();
    return WaitLoop(factor > 0, Deadline(ms, factor), done, false);
  }

  // As WaitUntil, for a wait that only a Notify or a NotifyGrowth can end.
  template <class Pred>
  bool WaitForGrowth(int ms, Pred done) {
    const double factor = PacingFactor();
    return WaitLoop(factor > 0, Deadline(ms, factor), done, true);
  }

  // Returns once done() holds, looking again when NotifyLevel tells a count below `level`, and at
  // each Notify. Unbounded: done() must also hold for whatever ends the wait (a stop,
  // termination).
  template <class Pred>
  void WaitForLevel(int level, Pred done) {
    FlushDeferral();
    for (;;) {
      TLevelWaiter me(level);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        levelWaiters_.push_back(&me);
      }
      // Looked at once registered: a notification from here on finds this waiter.
      const bool ended = done();
      std::unique_lock<std::mutex> lock(mutex_);
      if (!ended) me.cv.wait(lock, [&] { return me.woken; });
      std::erase(levelWaiters_, &me);
      if (ended) return;
    }
  }

  // As WaitUntil, but bounded by real time whatever the pacing (a display that must stay live).
  template <class Pred>
  bool WaitUntilReal(std::chrono::milliseconds bound, Pred done) {
    return WaitLoop(true, Clock::now() + bound, done, false);
  }

  // Returns true at once when interrupted() holds or becomes true within the paused time.
  template <class Pred>
  bool PauseUnless(int ms, Pred interrupted) {
    const double factor = PacingFactor();
    if (ms * factor <= 0) return interrupted();
    return WaitLoop(true, Deadline(ms, factor), interrupted, false);
  }

 private:
  using Clock = std::chrono::steady_clock;

  struct TLevelWaiter {
    explicit TLevelWaiter(int atLevel) : level(atLevel) {}
    int level;
    std::condition_variable cv;
    bool woken = false;
    void Wake() {  // under mutex_
      if (woken) return;
      woken = true;
      cv.notify_one();
    }
  };

  static Clock::time_point Deadline(int ms, double factor) {
    return Clock::now() + std::chrono::microseconds(static_cast<long long>(ms * factor * 1000.0));
  }

  // Tell's argument for a change every waiter looks at.
  static constexpr int kAllWaiters = -1;

  // This thread's deferred notifications (TChangeBatch), merged into one.
  struct TDeferral {
    TChangeSignal* Signal = nullptr;
    bool Pending = false;
    int Growth = 0;  // Tell's argument: kAllWaiters, 0 (a detail only) or the records added
  };

  static int Merge(int a, int b) {
    if (a == kAllWaiters || b == kAllWaiters) return kAllWaiters;
    return a + b;
  }

  // growth: kAllWaiters, or how many growth waiters to wake (0: none).
  void Tell(int growth) {
    TDeferral& deferral = Deferral();
    if (deferral.Signal == this) {
      deferral.Growth = deferral.Pending ? Merge(deferral.Growth, growth) : growth;
      deferral.Pending = true;
      return;
    }
    int wake = 0;  // growth waiters to wake, -1 all
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++generation_;
      if (growth != 0) {
        ++growthGeneration_;
        wake = growth == kAllWaiters || growth >= growthWaiters_ ? -1 : growth;
      }
      if (growth == kAllWaiters)
        for (TLevelWaiter* waiter : levelWaiters_) waiter->Wake();
    }
    changed_.notify_all();
    if (wake < 0) {
      grown_.notify_all();
    } else {
      for (int i = 0; i < wake; ++i) grown_.notify_one();
    }
  }
  static TDeferral& Deferral() {
    static thread_local TDeferral deferral;
    return deferral;
  }
  friend class TChangeBatch;

  // Tells this thread's deferred changes now.
  static void FlushDeferral() {
    TDeferral& deferral = Deferral();
    if (!deferral.Pending) return;
    TChangeSignal* deferred = deferral.Signal;
    const int growth = deferral.Growth;
    deferral = {};
    deferred->Tell(growth);
    deferral.Signal = deferred;
  }

  template <class Pred>
  bool WaitLoop(bool bounded, Clock::time_point deadline, Pred& done, bool growthOnly) {
    // What this thread has changed is told before it waits: others may wait for it.
    FlushDeferral();
    const std::uint64_t& generation = growthOnly ? growthGeneration_ : generation_;
    std::condition_variable& cv = growthOnly ? grown_ : changed_;
    for (;;) {
      std::uint64_t seen;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        seen = generation;
      }
      // Looked at after `seen` was taken: a change made meanwhile moves the generation on, so no
      // notification is lost between the look and the wait.
      if (done()) return true;
      std::unique_lock<std::mutex> lock(mutex_);
      auto moved = [&] { return generation != seen; };
      if (growthOnly) ++growthWaiters_;
      bool timedOut = false;
      if (!bounded) {
        cv.wait(lock, moved);
      } else {
        timedOut = !cv.wait_until(lock, deadline, moved);
      }
      if (growthOnly) --growthWaiters_;
      if (timedOut) {
        lock.unlock();
        return done();
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;     // the WaitUntil waiters
  std::condition_variable grown_;       // the WaitForGrowth waiters
  std::uint64_t generation_ = 0;        // moved by every change
  std::uint64_t growthGeneration_ = 0;  // moved by Notify and NotifyGrowth
  int growthWaiters_ = 0;
  std::vector<TLevelWaiter*> levelWaiters_;  // the WaitForLevel waiters, each woken alone
};

// Within its scope, the changes this thread makes notify the signal once, at the end (or before
// the thread waits), instead of once each: a page's analysis adds dozens of records, and every
// notification wakes every waiting worker.
class TChangeBatch {
 public:
  explicit TChangeBatch(TChangeSignal& signal) : signal_(signal) {
    outer_ = TChangeSignal::Deferral().Signal;
    if (!outer_) TChangeSignal::Deferral().Signal = &signal_;
  }
  ~TChangeBatch() {
    if (outer_) return;  // an enclosing batch tells
    TChangeSignal::TDeferral& deferral = TChangeSignal::Deferral();
    const bool pending = deferral.Pending;
    const int growth = deferral.Growth;
    deferral = {};
    if (pending) signal_.Tell(growth);
  }
  TChangeBatch(const TChangeBatch&) = delete;
  TChangeBatch& operator=(const TChangeBatch&) = delete;

 private:
  TChangeSignal& signal_;
  TChangeSignal* outer_ = nullptr;
};

// A value read without a lock by the threads of a run (the task's state, the end of the analysis)
// whose every change wakes the waiters of a signal.
template <class T>
class TSignalledValue {
 public:
  TSignalledValue(TChangeSignal& signal, T initial) : signal_(signal), value_(initial) {}
  TSignalledValue(const TSignalledValue&) = delete;
  TSignalledValue& operator=(const TSignalledValue&) = delete;

  T load() const { return value_.load(); }
  operator T() const { return value_.load(); }
  void store(T value) {
    if (value_.exchange(value) != value) signal_.Notify();
  }
  TSignalledValue& operator=(T value) {
    store(value);
    return *this;
  }

 private:
  TChangeSignal& signal_;
  std::atomic<T> value_;
};

}  // namespace qm
