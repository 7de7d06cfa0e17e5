#pragma once
// Putting the downloaded files in place after the program has ended: the batch file
// ".\Self_del.bat" written in the program's folder, and the start of our interpreter of it,
// quillmoss-selfupdate, which waits for the program to end, carries the batch out and starts the
// program again.
#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace qm {

inline constexpr std::string_view kSelfReplaceBatch = ".\\Self_del.bat";
inline constexpr std::string_view kSelfReplaceBatchFile = "Self_del.bat";
inline constexpr std::string_view kSelfUpdateProgram = "quillmoss-selfupdate";

// The batch text for the fetched entries of UpdateItems (CR LF line ends).
std::string SelfReplaceBatchText();
// Writes SelfReplaceBatchText() as Self_del.bat into `folder` (native, ending in "/", or empty for
// the working directory) and returns ".\Self_del.bat". Raises std::runtime_error when the file
// cannot be written.
std::string WriteSelfReplaceBatch(const std::string& folder = "");

// Starts `program` with `args` in its own session with `directory` as working directory, its
// standard input and output on /dev/null (standard output and error appended to `logFile` when
// one is given), without waiting for it. False when it could not be started.
bool StartDetached(const std::string& program, const std::vector<std::string>& args,
                   const std::string& directory, const std::string& logFile = "");

// Starts quillmoss-selfupdate from `folder` (where it is installed beside the program) on the
// batch file there, telling it to wait until process `waitFor` has ended.
bool StartSelfReplace(const std::string& folder, pid_t waitFor, const std::string& logFile = "");

}  // namespace qm
