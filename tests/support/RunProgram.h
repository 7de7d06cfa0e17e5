#pragma once
// Runs a program (such as the built quillmoss-cli) and collects what it printed and how it ended.
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
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args);

}  // namespace qm::test
