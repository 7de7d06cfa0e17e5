#include "support/RunProgram.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "support/TempDir.h"

namespace qm::test {

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::function<void(pid_t)>& whileRunning) {
  TempDir scratch;
  const std::string out = (scratch.Path() / "out").string();
  const std::string err = (scratch.Path() / "err").string();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || o < 0 || e < 0) _exit(127);
    dup2(in, 0);
    dup2(o, 1);
    dup2(e, 2);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  if (whileRunning) whileRunning(child);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  ProgramResult r;
  if (WIFEXITED(status)) r.ExitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.Signal = WTERMSIG(status);
  r.Out = ReadFileBytes(out);
  r.Err = ReadFileBytes(err);
  return r;
}

}  // namespace qm::test
