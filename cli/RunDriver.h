#pragma once
// Runs tasks of the headless program to their end: starts the scheduler, shows a progress line on
// a terminal, turns Ctrl-C into a clean stop (task file saved, temporary files kept for resume).
#include <string>

namespace qm {
class TTaskManager;
}

namespace qm::cli {

class TerminalWindow;

// Starts the scheduler and waits until every thread of the run has ended. Returns the exit code:
// 0 when the run ended, 130 when it was stopped by Ctrl-C, 1 when a thread of a run died of an
// uncaught error (that run was stopped and its task file saved).
int DriveRun(TTaskManager& manager, TerminalWindow& window);

// "/abs/dir" -> "\abs\dir\": a folder in the program's own form, made absolute.
std::string ProgramFolder(const std::string& dir);

}  // namespace qm::cli
