#pragma once
// The interpreter of the self-replacement batch file on Linux. It knows exactly the line forms
// WriteSelfReplaceBatch writes and refuses a file holding anything else:
//   :label                        a jump target
//   del "name"                    delete the file
//   if exist "name" goto label    jump back while the file is still there
//   rename "from" "name"          rename within from's folder; fails when the name exists
//   .\name                        start the program (detached, in the batch file's folder)
//   del %0                        delete the batch file itself
// Names use "\" or "/" and are relative to the batch file's folder; a name that leaves that
// folder is refused. Jumps back are bounded: a file that stays undeletable ends the run.
#include <sys/types.h>

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct TBatchLine {
  enum class Kind { Label, Del, IfExistGoto, Rename, Start, DelSelf };
  Kind kind;
  std::string First;   // label, or the (first) name
  std::string Second;  // goto label, or the new name of a rename
};

// False with a message naming the line when the text holds a line of another form.
bool ParseSelfReplaceBatch(std::string_view text, std::vector<TBatchLine>& lines,
                           std::string& error);

struct TBatchOptions {
  int MaxRetries = 100;    // jumps back per label before giving up
  int RetryPauseMs = 100;  // pause before each jump back (paced)
  // Deletes a file (true when it is gone); DeleteFileAt by default.
  std::function<bool(const std::string& path)> Delete;
  // Starts the program of a restart line; StartDetached by default.
  std::function<bool(const std::string& program, const std::string& folder)> Start;
};

// Exit codes of the interpreter.
inline constexpr int kBatchDone = 0;
inline constexpr int kBatchUnreadable = 2;  // missing file or a line of an unknown form
inline constexpr int kBatchGaveUp = 3;      // a file stayed in place after MaxRetries

// Carries out the batch file, writing one line per step or failure to `log`.
int RunSelfReplaceBatch(const std::string& batchPath, const TBatchOptions& options,
                        std::ostream& log);

// Waits until process `pid` has ended; false when it still runs after timeoutMs.
bool WaitForProcessEnd(pid_t pid, int timeoutMs);

}  // namespace qm
