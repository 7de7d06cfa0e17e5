#include "cli/RunOptions.h"

#include "config/Setting.h"
#include "platform/Pacing.h"
#include "task/Task.h"

namespace qm::cli {

void ApplyRunOptions(const ArgList& args) {
  if (args.Get("threads")) ThreadCount = args.GetInt("threads", ThreadCount.load(), 1, 10);
  SetPacingFactor(args.GetDouble("pace", PacingFactor(), 0, 100));
}

TaskSettings SettingsFromArgs(const ArgList& args) {
  TaskSettings s = DefaultTaskSettings();
  s.Depth = args.GetInt("depth", s.Depth, -1, 1 << 30);
  s.Scope = args.GetInt("scope", s.Scope, 0, 2);
  s.Content = args.GetInt("content", s.Content, -1, 1);
  s.ForeignImages = args.GetInt("foreign-images", s.ForeignImages ? 1 : 0, 0, 1) != 0;
  return s;
}

std::int32_t RunModeFromArgs(const ArgList& args) {
  const std::string mode = args.Get("mode").value_or("normal");
  if (mode == "normal") return RunNormal;
  if (mode == "update") return RunUpdate;
  if (mode == "repair") return RunRepair;
  if (mode == "restart") return RunRestart;
  throw UsageError("--mode takes normal, update, repair or restart");
}

}  // namespace qm::cli
