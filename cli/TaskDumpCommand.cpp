// quillmoss-cli dump TASKFILE: every record of a task file's table, one line each.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "platform/DateTime.h"
#include "task/Task.h"
#include "task/TaskFile.h"

namespace qm::cli {
namespace {

// The date of a record; a value no calendar date has (a damaged record) is shown as a number.
std::string DateText(TDateTime t) {
  constexpr TDateTime kFirstDay = -693593;  // 0001-01-01
  constexpr TDateTime kLastDay = 2958466;   // 10000-01-01
  if (std::isfinite(t) && t >= kFirstDay && t < kLastDay) return FormatDateTimeIso(t);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%g", t);
  return buf;
}

int RunDump(const std::vector<std::string>& args) {
  const ArgList list(args, {});
  if (list.Positional().size() != 1) throw UsageError("dump takes one task file");
  const std::string& path = list.Positional()[0];
  TTask task;
  const TTaskFileResult r = ReadTaskFile(task, path);
  if (!r) {
    std::fprintf(stderr, "quillmoss-cli dump: %s\n", r.Message.c_str());
    return 1;
  }
  if (!r.Message.empty())
    std::fprintf(stderr, "quillmoss-cli dump: warning: %s\n", r.Message.c_str());
  std::string line;
  for (std::int32_t i = 0; i < task.Count; ++i) {
    const TExtendUrlRec rec = task.CopyRecord(i);
    // "%d,%s,%s,%d,%s,ReferId=%d": index, Url, status word, status, FileTime, ReferId.
    line = std::to_string(i);
    line += ',';
    line += rec.Url.View();
    line += ',';
    line += StatusWord(rec.Status);
    line += ',';
    line += std::to_string(rec.Status);
    line += ',';
    line += DateText(rec.FileTime);
    line += ",ReferId=";
    line += std::to_string(rec.ReferId);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

QM_CLI_COMMAND("dump", "dump TASKFILE", RunDump);

}  // namespace
}  // namespace qm::cli
