#include "engine/TaskThread.h"

#include "engine/RunSupervisor.h"

namespace qm {

TMasterTaskThread::TMasterTaskThread(TTask& task, bool updateRun,
                                     std::unique_ptr<THttpClient> client)
    : TTaskThread(task, updateRun, std::move(client), TDeferStart{}) {
  Start();
}

TMasterTaskThread::~TMasterTaskThread() {
  Terminate();
  WaitFor();
}

// The end-of-run report, Complete unless stopped, and the hand-over to the next task.
void TMasterTaskThread::OnLoopEnded() {
  RunEpilogue(task(), [this] { return Terminated(); });
}

}  // namespace qm
