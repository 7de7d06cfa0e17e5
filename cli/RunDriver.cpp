#include "cli/RunDriver.h"

#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "cli/TerminalWindow.h"
#include "engine/RunSupervisor.h"
#include "manager/TaskManager.h"
#include "platform/Thread.h"
#include "task/HttpWork.h"
#include "task/Task.h"

namespace qm::cli {
namespace {

volatile std::sig_atomic_t g_interrupts = 0;

void OnInterrupt(int) {
  // The first Ctrl-C stops the run cleanly; a second one leaves at once.
  g_interrupts = g_interrupts + 1;
  if (g_interrupts > 1) _exit(130);
}

std::string ElapsedText(std::chrono::steady_clock::duration d) {
  const long secs = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(d).count());
  char buf[32];
  std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", secs / 3600, (secs / 60) % 60, secs % 60);
  return buf;
}

std::string ProgressLine(TTaskManager& manager, TTask& task,
                         std::chrono::steady_clock::duration elapsed) {
  task.Recount();
  std::int32_t done, queued, total, errors;
  {
    TLockGuard guard(task.TableLock);
    done = task.SavedCount + task.DownloadedCount;
    queued = task.NotDownloadedCount;
    total = task.Total;
    errors = task.ErrorCount;
  }
  const std::int64_t speed = manager.TotalSpeed();
  char buf[256];
  std::snprintf(buf, sizeof buf, "%d/%d files, %d queued, %d errors, %s/s, %s", done, total, queued,
                errors, FormatSize(static_cast<std::int32_t>(speed)).c_str(),
                ElapsedText(elapsed).c_str());
  return buf;
}

}  // namespace

std::string ProgramFolder(const std::string& dir) {
  std::string abs = std::filesystem::absolute(dir).lexically_normal().string();
  for (char& c : abs)
    if (c == '/') c = '\\';
  if (abs.empty() || abs.back() != '\\') abs += '\\';
  return abs;
}

int DriveRun(TTaskManager& manager, TerminalWindow& window) {
  g_interrupts = 0;
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  struct sigaction oldInt {
  }, oldTerm{};
  sigaction(SIGINT, &sa, &oldInt);
  sigaction(SIGTERM, &sa, &oldTerm);

  window.Synchronize([&] { manager.StartNext(); });
  auto started = std::chrono::steady_clock::now();
  TTask* shown = manager.CurrentTask();
  bool stopped = false;
  auto lastShown = std::chrono::steady_clock::now();
  while (RunsActive()) {
    if (g_interrupts > 0 && !stopped) {
      stopped = true;
      // Nothing queued may start once the user has stopped: every task goes on Hold first.
      window.Synchronize([&] {
        for (std::int32_t i = 0; i < manager.TaskCount(); ++i) manager.Task(i).RunMode = RunHold;
        TTask* current = manager.CurrentTask();
        if (current && (current->State == Running || current->State == Paused)) StopRun(*current);
      });
      std::fputs("\nquillmoss-cli: stopping; the task file is saved and the run can be resumed\n",
                 stderr);
    }
    TTask* task = manager.CurrentTask();
    if (task != shown) {  // the next task of a queue has started
      shown = task;
      started = std::chrono::steady_clock::now();
    }
    const auto now = std::chrono::steady_clock::now();
    if (task && window.ProgressShown() && now - lastShown >= std::chrono::milliseconds(500)) {
      lastShown = now;
      window.ShowProgressLine(ProgressLine(manager, *task, now - started));
    }
    window.FlushLog();  // a reader of the log sees it at most one pass late
    // Woken when a thread ends; every 100 ms anyway for Ctrl-C and the progress line.
    TThread::EndedSignal().WaitUntilReal(std::chrono::milliseconds(100),
                                         [] { return !RunsActive(); });
  }
  JoinAllRuns();
  window.FlushLog();
  window.FinishProgressLine();
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  if (stopped) return 130;
  for (std::int32_t i = 0; i < manager.TaskCount(); ++i) {
    if (manager.Task(i).RunFailed) {
      std::fputs("quillmoss-cli: a thread of the run failed (see the log)\n", stderr);
      return 1;
    }
  }
  return 0;
}

}  // namespace qm::cli
