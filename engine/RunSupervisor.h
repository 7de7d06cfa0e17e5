#pragma once
// One run of a task from start to end: its threads (the master worker, the other workers and the
// analysis thread), pause, resume and stop, and the end-of-run report the master makes before it
// asks for the next task.
#include <functional>

namespace qm {

class TTask;

// Whoever schedules runs (the task manager) is asked for the next task through this interface,
// on the main thread, 5000 ms after a run has ended.
class TNextTaskStarter {
 public:
  virtual ~TNextTaskStarter() = default;
  virtual void StartNext() = 0;
};
void SetNextTaskStarter(TNextTaskStarter* starter);

// Starts the threads of a run: the master and ThreadCount - 1 further workers, each with a new
// client from the template, and the analysis thread; then marks the task Running. Called on the
// main thread with the task chosen and its run mode applied.
void StartTaskThreads(TTask& task, bool updateRun);
// Commands of the window, on the main thread.
void PauseRun(TTask& task);
void ResumeRun(TTask& task);
void StopRun(TTask& task);

// The master's epilogue, on the master's own thread once its walk has ended: the end-of-run
// report on the main thread, Complete unless stopped, a 5000 ms pause, the next task. A stop
// request (stopRequested() turning true; the task's change signal is notified) cuts the pause
// short and no next task is started.
void RunEpilogue(TTask& task, const std::function<bool()>& stopRequested = {});
// The report itself (runs on the main thread): recount, task file, message box and log line.
void EndOfRun(TTask& task);

// Waits until every thread of every run has ended and frees them (program end, tests).
void JoinAllRuns();

// The stop-and-drain path of a window that closes while a task runs. BeginShutdown stops every
// run that is still going, cuts short the pause before the next task and keeps any next task from
// starting; the window then serves the calls the threads still make until RunsActive() is false,
// joins them (JoinAllRuns) and calls EndShutdown, after which runs may start again (tests).
void BeginShutdown();
void EndShutdown();
bool ShuttingDown();
// Frees the threads of runs that have ended.
void ReapFinishedRuns();
// True while some thread of some run has not ended yet.
bool RunsActive();

}  // namespace qm
