#include "update/SelfReplace.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <stdexcept>
#include <vector>

#include "platform/Files.h"
#include "update/UpdateList.h"

extern char** environ;

namespace qm {
namespace {

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::string FileNamePart(const std::string& backslashed) {
  const std::size_t slash = backslashed.rfind('\\');
  return slash == std::string::npos ? backslashed : backslashed.substr(slash + 1);
}

}  // namespace

std::string SelfReplaceBatchText() {
  std::string text;
  const auto line = [&](const std::string& s) { text += s + "\r\n"; };
  for (std::size_t i = 0; i < UpdateItems.size(); ++i) {
    const TUpdateList& item = UpdateItems[i];
    if (!item.IsFetched) continue;
    const std::string index = std::to_string(i);
    const std::string itemName = ToBackslashes(item.ItemName);
    const std::string targetName = ToBackslashes(item.TargetName);
    line(":try" + index);
    line("del " + Quoted(itemName));
    line("if exist " + Quoted(itemName) + " goto try" + index);
    line("rename " + Quoted(targetName) + " " + Quoted(FileNamePart(itemName)));
  }
  // Entry 0's name was turned to backslashes only when it was fetched.
  if (!UpdateItems.empty()) {
    const TUpdateList& first = UpdateItems[0];
    line(".\\" + (first.IsFetched ? ToBackslashes(first.ItemName) : first.ItemName));
  }
  line("del %0");
  return text;
}

std::string WriteSelfReplaceBatch(const std::string& folder) {
  const std::string path = folder + std::string(kSelfReplaceBatchFile);
  if (!WriteWholeFile(path, SelfReplaceBatchText()))
    throw std::runtime_error("Cannot create file \"" + path + "\"");
  return std::string(kSelfReplaceBatch);
}

bool StartDetached(const std::string& program, const std::vector<std::string>& args,
                   const std::string& directory, const std::string& logFile) {
  std::vector<std::string> argvStrings{program};
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : argvStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  const char* out = logFile.empty() ? "/dev/null" : logFile.c_str();
  posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0;
}

bool StartSelfReplace(const std::string& folder, pid_t waitFor, const std::string& logFile) {
  const std::string dir = folder.empty() ? std::string(".") : folder;
  const std::string base = folder.empty() ? std::string("./") : folder;
  return StartDetached(base + std::string(kSelfUpdateProgram),
                       {"--wait-pid", std::to_string(waitFor), std::string(kSelfReplaceBatchFile)},
                       dir, logFile);
}

}  // namespace qm
