#include "platform/Thread.h"

#include <pthread.h>
#include <sched.h>

#include <exception>

#include "platform/ChangeSignal.h"

namespace qm {

TThread::~TThread() {
  // A derived class must have waited for its thread already (its Execute uses its members);
  // this only keeps a forgotten thread from aborting the process.
  Terminate();
  WaitFor();
}

void TThread::Start() {
  // Held while thread_ is stored, so that a WaitFor on the new thread sees it complete.
  std::lock_guard<std::mutex> lock(joinMutex_);
  thread_ = std::thread([this] { Run(); });
}

void TThread::Run() {
  ownId_.store(std::this_thread::get_id());
  if (const char* name = ThreadName()) pthread_setname_np(pthread_self(), name);
  if (BatchWork()) {
    // Only the policy changes, never the priority: a system that refuses it runs the thread as
    // before.
    sched_param param{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &param);
  }
  // A thread that dies must say so: its owner is told what ended it.
  std::string error;
  bool failed = false;
  try {
    Execute();
  } catch (const std::exception& e) {
    failed = true;
    error = e.what();
  } catch (...) {
    failed = true;
    error = "unknown exception";
  }
  if (failed) {
    try {
      OnUncaughtError(error);
    } catch (...) {
      // Nothing is left to tell: the handler could not report the failure either.
    }
  }
  finished_.store(true);
  EndedSignal().Notify();
}

TChangeSignal& TThread::EndedSignal() {
  static TChangeSignal signal;
  return signal;
}

void TThread::Terminate() {
  terminated_.store(true);
  Resume();
  if (TChangeSignal* signal = wakeSignal_.load()) signal->Notify();
}

void TThread::Suspend() {
  suspended_.store(true);
  if (std::this_thread::get_id() == ownId_.load()) CheckSuspended();
}

void TThread::Resume() {
  {
    std::lock_guard<std::mutex> lock(suspendMutex_);
    suspended_.store(false);
  }
  suspendCv_.notify_all();
}

void TThread::CheckSuspended() {
  std::unique_lock<std::mutex> lock(suspendMutex_);
  suspendCv_.wait(lock, [this] { return !suspended_.load() || terminated_.load(); });
}

void TThread::WaitFor() {
  std::lock_guard<std::mutex> lock(joinMutex_);
  if (thread_.joinable()) {
    if (std::this_thread::get_id() == ownId_.load()) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
}

}  // namespace qm
