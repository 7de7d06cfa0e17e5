#pragma once
// Waiting for an event without spinning. The threads of a run wait for "something changed" (an
// entry's status, a new record, the end of the analysis, the task's state); whoever changes such a
// thing notifies the signal, and the waiters look again at what they wait for.
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

#include "platform/Pacing.h"

namespace qm {

class TChangeSignal {
 public:
  TChangeSignal() = default;
  TChangeSignal(const TChangeSignal&) = delete;
  TChangeSignal& operator=(const TChangeSignal&) = delete;

  void Notify() {
    if (Deferral().Signal == this) {
      Deferral().Pending = true;
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++generation_;
    }
    changed_.notify_all();
  }

  // Returns once done() holds (true) or after ms x PacingFactor() (done() at that moment).
  template <class Pred>
  bool WaitUntil(int ms, Pred done) {
    const double factor = PacingFactor();
    return WaitLoop(factor > 0, Deadline(ms, factor), done);
  }

  // As WaitUntil, but bounded by real time whatever the pacing (a display that must stay live).
  template <class Pred>
  bool WaitUntilReal(std::chrono::milliseconds bound, Pred done) {
    return WaitLoop(true, Clock::now() + bound, done);
  }

  // Returns true at once when interrupted() holds or becomes true within the paused time.
  template <class Pred>
  bool PauseUnless(int ms, Pred interrupted) {
    const double factor = PacingFactor();
    if (ms * factor <= 0) return interrupted();
    return WaitLoop(true, Deadline(ms, factor), interrupted);
  }

 private:
  using Clock = std::chrono::steady_clock;

  static Clock::time_point Deadline(int ms, double factor) {
    return Clock::now() + std::chrono::microseconds(static_cast<long long>(ms * factor * 1000.0));
  }

  // This thread's deferred notifications (TChangeBatch).
  struct TDeferral {
    TChangeSignal* Signal = nullptr;
    bool Pending = false;
  };
  static TDeferral& Deferral() {
    static thread_local TDeferral deferral;
    return deferral;
  }
  friend class TChangeBatch;

  template <class Pred>
  bool WaitLoop(bool bounded, Clock::time_point deadline, Pred& done) {
    // What this thread has changed is told before it waits: others may wait for it.
    if (Deferral().Pending) {
      TChangeSignal* deferred = Deferral().Signal;
      Deferral().Signal = nullptr;
      Deferral().Pending = false;
      deferred->Notify();
      Deferral().Signal = deferred;
    }
    for (;;) {
      std::uint64_t seen;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        seen = generation_;
      }
      // Looked at after `seen` was taken: a change made meanwhile moves the generation on, so no
      // notification is lost between the look and the wait.
      if (done()) return true;
      std::unique_lock<std::mutex> lock(mutex_);
      auto moved = [&] { return generation_ != seen; };
      if (!bounded) {
        changed_.wait(lock, moved);
      } else if (!changed_.wait_until(lock, deadline, moved)) {
        lock.unlock();
        return done();
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t generation_ = 0;
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
    deferral = {};
    if (pending) signal_.Notify();
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
