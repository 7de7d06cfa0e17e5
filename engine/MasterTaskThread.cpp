#include "engine/TaskThread.h"

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

void TMasterTaskThread::OnLoopEnded() {
  // The end-of-run report and the hand-over to the next task belong to the run supervision.
}

}  // namespace qm
