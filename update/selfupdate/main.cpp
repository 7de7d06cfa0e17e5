// quillmoss-selfupdate: carries out the program's self-replacement batch file after the program
// has ended. Started detached by the online update:
//   quillmoss-selfupdate [--wait-pid PID] [--wait-ms N] BATCHFILE
#include <cstdlib>
#include <iostream>
#include <string>

#include "update/BatchInterpreter.h"

int main(int argc, char** argv) {
  long waitPid = 0;
  int waitMs = 60000;  // the program writes its settings and ends within moments
  std::string batch;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--wait-pid" && i + 1 < argc) {
      waitPid = std::strtol(argv[++i], nullptr, 10);
    } else if (arg == "--wait-ms" && i + 1 < argc) {
      waitMs = std::atoi(argv[++i]);
    } else if (batch.empty() && !arg.starts_with("--")) {
      batch = arg;
    } else {
      batch.clear();
      break;
    }
  }
  if (batch.empty()) {
    std::cerr << "usage: quillmoss-selfupdate [--wait-pid PID] [--wait-ms N] BATCHFILE\n";
    return 2;
  }
  // Linux lets a running program's file be deleted, so the old program's end is awaited here,
  // before any file is touched, and the program is never started twice.
  if (waitPid > 0 && !qm::WaitForProcessEnd(static_cast<pid_t>(waitPid), waitMs)) {
    std::cerr << "process " << waitPid << " is still running; nothing replaced\n";
    return 4;
  }
  return qm::RunSelfReplaceBatch(batch, {}, std::cerr);
}
