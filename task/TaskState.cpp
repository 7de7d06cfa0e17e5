// State changes of a task and the per-worker arrays of a run.
#include <cinttypes>
#include <cstdio>

#include "task/HttpWork.h"
#include "task/MainWindowPort.h"
#include "task/Task.h"
#include "task/WorkerInfo.h"

namespace qm {

// The running time is read by the window's list row while a run's master ends the run on its own
// thread: RunTime and RunStart change with the state under TableLock.
void TTask::EnterState(std::int32_t state) {
  TLockGuard guard(TableLock);
  if (state == Running) {
    RunStart = Now();
  } else if (State == Running) {
    RunTime += Now() - RunStart;
  }
  State = state;
}

void TTask::MarkRunning() {
  EnterState(Running);
}

void TTask::Pause() {
  EnterState(Paused);
  // Where each worker stands is read under WorkersLock; the table is asked afterwards, so that no
  // thread ever holds both locks.
  struct Where {
    std::uint32_t Tag;
    std::int64_t Position;
  };
  std::vector<Where> workers;
  {
    std::lock_guard<std::mutex> guard(WorkersLock);
    for (const TWorkerInfo* worker : Workers) {
      if (worker) workers.push_back({worker->Tag(), worker->Position()});
    }
  }
  for (const Where& w : workers) {
    const bool inTable = w.Position >= 0 && w.Position <= INT32_MAX;
    const auto index = inTable ? static_cast<std::int32_t>(w.Position) : -1;
    const std::int32_t status = inTable ? GetStatus(index) : -1;
    const std::string url = inTable ? GetRawUrl(index) : std::string();
    char head[96];
    std::snprintf(head, sizeof head, "tag=%" PRId32 ",Position=%" PRId64 ",Status=%" PRId32 ",Url=",
                  static_cast<std::int32_t>(w.Tag), w.Position, status);
    Window().AddLog(head + url);
  }
}

void TTask::MarkStopped() {
  EnterState(Stopped);
  std::lock_guard<std::mutex> guard(WorkersLock);
  Workers.clear();
}

void TTask::MarkComplete() {
  EnterState(Complete);
  std::lock_guard<std::mutex> guard(WorkersLock);
  Workers.clear();
}

void TTask::FailRun(const std::string& message) {
  RunFailed = true;
  Window().Synchronize([&] {
    const std::string line = "线程错误信息=" + message;
    Window().AddRedLog(line);
    Window().SetStatusText(line);
    if (State == Running || State == Paused) MarkStopped();
  });
}

std::int32_t TTask::RegisterWorker(TWorkerInfo* thread, THttpClient* client) {
  std::lock_guard<std::mutex> guard(WorkersLock);
  const std::size_t n = Workers.size();
  Workers.resize(n + 1);
  Meters.resize(n + 1);
  HttpClients.resize(n + 1);
  WorkerUrls.resize(n + 1);
  Workers[n] = thread;
  Meters[n] = std::make_shared<THttpWork>();
  HttpClients[n] = client;
  WorkerUrls[n].clear();
  return static_cast<std::int32_t>(n);
}

}  // namespace qm
