#pragma once
// Runs a program (such as the built quillmoss-cli) and collects what it printed and how it ended.
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace qm::test {

struct ProgramResult {
  int ExitCode = -1;  // the exit status; -1 when the program did not exit normally
  int Signal = 0;     // the signal that ended it (a crash), 0 when it exited
  std::string Out;    // standard output
  std::string Err;    // standard error
};

// Runs `program` with `args` (no shell), standard input empty.
// `whileRunning`, when given, is called with the child's pid once it has started (for example to
// send it a signal at the right moment); the call returns after the child has ended.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::function<void(pid_t)>& whileRunning = {});

#ifdef QM_CLI_PATH
// Runs the built quillmoss-cli (test programs know its path).
inline ProgramResult RunCli(const std::vector<std::string>& args,
                            const std::function<void(pid_t)>& whileRunning = {}) {
  return RunProgram(QM_CLI_PATH, args, whileRunning);
}
#endif

}  // namespace qm::test
