#include "engine/RunSupervisor.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "analysis/ParseThread.h"
#include "config/Setting.h"
#include "engine/HttpEvents.h"
#include "engine/TaskThread.h"
#include "platform/Pacing.h"
#include "task/MainWindowPort.h"
#include "task/Task.h"
#include "task/TaskFile.h"

namespace qm {
namespace {

std::atomic<TNextTaskStarter*> g_starter{nullptr};

// The threads of one run. They end by themselves; their objects are freed once all have ended
// (a thread cannot free itself while the next run may be started from it).
struct TRunThreads {
  TTask* Task = nullptr;
  std::vector<std::unique_ptr<TTaskThread>> Workers;
  std::unique_ptr<ParseThread> Analysis;

  bool Finished() const {
    for (const auto& w : Workers)
      if (!w->Finished()) return false;
    return !Analysis || Analysis->Finished();
  }
  // The task no longer points at threads that are about to be freed.
  void ForgetThreads() {
    if (Task->AnalysisThread == Analysis.get()) Task->AnalysisThread = nullptr;
    if (!Workers.empty() &&
        Task->MasterThread == static_cast<TMasterTaskThread*>(Workers.front().get()))
      Task->MasterThread = nullptr;
  }
};

std::mutex g_runsLock;
std::vector<std::unique_ptr<TRunThreads>> g_runs;

// Shutdown: set by the closing window; the pause before the next task ends on it.
std::mutex g_shutdownLock;
bool g_shutdown = false;

}  // namespace

void SetNextTaskStarter(TNextTaskStarter* starter) {
  g_starter.store(starter);
}

void StartTaskThreads(TTask& task, bool updateRun) {
  ReapFinishedRuns();
  auto run = std::make_unique<TRunThreads>();
  run->Task = &task;
  // Running before any thread starts: a thread that saw the task still stopped would end at once.
  task.RunFailed = false;
  task.MarkRunning();
  // Holds handed to an analysis thread that ended early died with that run.
  task.FileClaims.Clear();
  const int threads = std::clamp(ThreadCount.load(), 1, 10);
  auto master = std::make_unique<TMasterTaskThread>(task, updateRun, MakeHttpClient());
  task.MasterThread = master.get();
  run->Workers.push_back(std::move(master));
  for (int i = 1; i < threads; ++i)
    run->Workers.push_back(std::make_unique<TTaskThread>(task, updateRun, MakeHttpClient()));
  run->Analysis = std::make_unique<ParseThread>(task, updateRun);
  task.AnalysisThread = run->Analysis.get();
  std::lock_guard lock(g_runsLock);
  g_runs.push_back(std::move(run));
}

void PauseRun(TTask& task) {
  task.Pause();
}
void ResumeRun(TTask& task) {
  task.MarkRunning();
}
void StopRun(TTask& task) {
  task.MarkStopped();
}

void EndOfRun(TTask& task) {
  MainWindowPort& window = Window();
  window.SetProgress(task.Recount());
  std::int32_t total, notDownloaded, saved, errors, downloaded;
  std::int64_t savedBytes;
  {
    TLockGuard guard(task.TableLock);
    total = task.Total;
    notDownloaded = task.NotDownloadedCount;
    saved = task.SavedCount;
    errors = task.ErrorCount;
    downloaded = task.DownloadedCount;
    savedBytes = task.SavedBytes;
  }
  const TTaskFileResult written = WriteTaskFile(task, task.Folder + task.FileName);
  if (!written) window.AddRedLog(written.Message);
  task.RefreshListItem();

  char text[512];
  std::snprintf(text, sizeof text,
                "任务结束。总共%d个网页，其中成功下载%d个,共下载%" PRId64
                "字节,其中未解析的有%d个,错误文件%d个,还有%d个文件未下载。",
                total, saved + downloaded, savedBytes, downloaded, errors, notDownloaded);
  window.ShowMessage(text);
  std::snprintf(text, sizeof text, "任务结束。总共%d个网页，其中成功下载%d个,共下载%" PRId64 "字节",
                total, saved, savedBytes);
  window.AddLog(text);
}

void RunEpilogue(TTask& task, const std::function<bool()>& stopRequested) {
  Window().Synchronize([&] { EndOfRun(task); });
  if (task.State.load() != Stopped) task.MarkComplete();
  const auto stop = [&] { return ShuttingDown() || (stopRequested && stopRequested()); };
  if (task.Changes.PauseUnless(5000, stop)) return;
  if (TNextTaskStarter* starter = g_starter.load())
    Window().Synchronize([&] {
      if (!ShuttingDown()) starter->StartNext();
    });
}

void BeginShutdown() {
  {
    std::lock_guard lock(g_shutdownLock);
    g_shutdown = true;
  }
  std::vector<TTask*> running;
  {
    std::lock_guard lock(g_runsLock);
    for (const auto& run : g_runs)
      if (!run->Finished()) running.push_back(run->Task);
  }
  for (TTask* task : running) {
    const std::int32_t state = task->State.load();
    if (state == Running || state == Paused) StopRun(*task);
    task->Changes.Notify();  // a master in its pause before the next task wakes up
  }
}

void EndShutdown() {
  std::lock_guard lock(g_shutdownLock);
  g_shutdown = false;
}

bool ShuttingDown() {
  std::lock_guard lock(g_shutdownLock);
  return g_shutdown;
}

void ReapFinishedRuns() {
  std::vector<std::unique_ptr<TRunThreads>> finished;
  {
    std::lock_guard lock(g_runsLock);
    for (auto it = g_runs.begin(); it != g_runs.end();) {
      if ((*it)->Finished()) {
        finished.push_back(std::move(*it));
        it = g_runs.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& run : finished) run->ForgetThreads();
}

bool RunsActive() {
  std::lock_guard lock(g_runsLock);
  for (const auto& run : g_runs)
    if (!run->Finished()) return true;
  return false;
}

void JoinAllRuns() {
  std::vector<std::unique_ptr<TRunThreads>> all;
  {
    std::lock_guard lock(g_runsLock);
    all.swap(g_runs);
  }
  for (auto& run : all) {
    for (auto& w : run->Workers) w->WaitFor();
    if (run->Analysis) run->Analysis->WaitFor();
    run->ForgetThreads();
  }
}

}  // namespace qm
