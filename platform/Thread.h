#pragma once
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace qm {

class TChangeSignal;

// A thread with a terminate request, suspend and resume, in the manner the engine's workers and
// analysis thread expect. Suspension is cooperative: Suspend() called on the thread itself blocks
// it until Resume(); called from another thread it takes effect at the thread's next
// CheckSuspended() (the loops call it at every pass).
class TThread {
 public:
  TThread() = default;
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts Execute() on a new thread. Call once, after the derived object is fully built.
  void Start();
  // Also wakes the thread from a wait on the signal named by WakeOnTerminate.
  void Terminate();
  bool Terminated() const { return terminated_.load(); }
  void Suspend();
  void Resume();
  bool Suspended() const { return suspended_.load(); }
  // Waits until Execute() has returned; safe to call more than once.
  void WaitFor();
  bool Finished() const { return finished_.load(); }
  // Notified whenever a thread's Execute() has returned (whoever waits for threads to end).
  static TChangeSignal& EndedSignal();

 protected:
  virtual void Execute() = 0;
  // Called on the thread when an exception escapes Execute(), with the exception's message; the
  // thread ends after it. An exception escaping this handler is dropped.
  virtual void OnUncaughtError(const std::string& message) { (void)message; }
  // The thread's name as system tools show it (at most 15 bytes), set when it starts.
  virtual const char* ThreadName() const { return nullptr; }
  // True for a thread of throughput work that wakes often (a download worker): it runs under the
  // system's batch policy, at the same share of the processor, but its wake-ups do not preempt a
  // thread that is running, such as the one analysing what it fetched.
  virtual bool BatchWork() const { return false; }
  // Blocks while the thread is suspended (and not terminated).
  void CheckSuspended();
  // The signal the thread's waits use, so that a terminate request ends them at once.
  void WakeOnTerminate(TChangeSignal* signal) { wakeSignal_.store(signal); }

 private:
  void Run();

  std::thread thread_;
  // The running thread's id, set by the thread itself: Start() may still be storing thread_
  // while the new thread already asks whether it is itself.
  std::atomic<std::thread::id> ownId_{};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> suspended_{false};
  std::atomic<bool> finished_{false};
  std::atomic<TChangeSignal*> wakeSignal_{nullptr};
  std::mutex suspendMutex_;
  std::condition_variable suspendCv_;
  std::mutex joinMutex_;
};

}  // namespace qm
