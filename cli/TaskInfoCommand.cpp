// quillmoss-cli info TASKFILE: the settings of a task file and the progress of its table.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "task/Task.h"
#include "task/TaskFile.h"

namespace qm::cli {
namespace {

int RunInfo(const std::vector<std::string>& args) {
  const ArgList list(args, {});
  if (list.Positional().size() != 1) throw UsageError("info takes one task file");
  const std::string& path = list.Positional()[0];
  TTask task;
  const TTaskFileResult r = ReadTaskFile(task, path);
  if (!r) {
    std::fprintf(stderr, "quillmoss-cli info: %s\n", r.Message.c_str());
    return 1;
  }
  if (!r.Message.empty())
    std::fprintf(stderr, "quillmoss-cli info: warning: %s\n", r.Message.c_str());
  const int percent = task.Recount();
  const TaskSettings s = task.Settings();
  std::printf("Depth=%d\nScope=%d\nContent=%d\nForeignImages=%d\n", s.Depth, s.Scope, s.Content,
              s.ForeignImages ? 1 : 0);
  std::printf("Records=%d\nTotal=%d\n", task.Count, task.Total);
  std::printf("NotDownloaded=%d\nDownloaded=%d\nSaved=%d\nErrors=%d\nAnalysisErrors=%d\n",
              task.NotDownloadedCount, task.DownloadedCount, task.SavedCount, task.ErrorCount,
              task.AnalysisErrorCount);
  std::printf("SavedBytes=%lld\nProgress=%d%%\n", static_cast<long long>(task.SavedBytes), percent);
  return 0;
}

QM_CLI_COMMAND("info", "info TASKFILE", RunInfo);

}  // namespace
}  // namespace qm::cli
