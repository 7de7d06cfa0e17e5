// quillmoss-cli mirror, run and demo: tasks created and run exactly as the window's task manager
// does, with the terminal as the window.
#include <filesystem>
#include <iostream>

#include "cli/Commands.h"
#include "cli/DemoServer.h"
#include "cli/RunDriver.h"
#include "cli/RunOptions.h"
#include "cli/TerminalWindow.h"
#include "config/Setting.h"
#include "manager/DirUnit.h"
#include "manager/TaskManager.h"
#include "platform/Pacing.h"
#include "task/Task.h"
#include "url/UrlLib.h"

namespace qm::cli {
namespace {

// Creates the task for `url` below `folder` (task file folder/host.web, site in folder/host/) and
// runs it to its end.
int Mirror(const std::string& url, const std::string& folder, const TaskSettings& settings) {
  if (SchemeLength(url) == 0)
    throw UsageError("only http:// and https:// URLs can be copied: " + url);
  const std::string host = HostOf(url);
  if (host.empty()) throw UsageError("the URL names no host: " + url);
  std::filesystem::create_directories(folder);
  WindowScope scope;
  TDir dir("");  // a tree in memory only: the task is not filed in any "Dir.ini"
  TTaskManager manager(dir);
  TDirItem item;
  item.Name = host;
  item.Type = ItemTask;
  item.Path = ProgramFolder(folder);
  item.FileName = SplitUrl(url).Host + ".web";
  item.StartURL = url;
  StartAtOnce = true;
  manager.NewTaskWithSettings(dir.AddItem(RootItem, item), settings);
  return DriveRun(manager, scope.window);
}

int MirrorCommand(const std::vector<std::string>& raw) {
  ArgList args(raw, {"folder", "depth", "scope", "content", "foreign-images", "threads", "pace"});
  if (args.Positional().size() != 1) throw UsageError("mirror takes one URL");
  ApplyRunOptions(args);
  return Mirror(args.Positional()[0], args.Get("folder").value_or("Websites"),
                SettingsFromArgs(args));
}

int RunCommand(const std::vector<std::string>& raw) {
  ArgList args(raw, {"mode", "threads", "pace"});
  if (args.Positional().size() != 1) throw UsageError("run takes one task file");
  const std::int32_t runMode = RunModeFromArgs(args);
  ApplyRunOptions(args);

  const std::filesystem::path file = std::filesystem::absolute(args.Positional()[0]);
  if (!std::filesystem::is_regular_file(file))
    throw std::runtime_error("no task file at " + file.string());
  WindowScope scope;
  TDir dir("");
  TTaskManager manager(dir);
  TDirItem item;
  item.Name = file.stem().string();
  item.Type = ItemTask;
  item.Path = ProgramFolder(file.parent_path().string());
  item.FileName = file.filename().string();
  TTask* task = manager.OpenTask(dir.AddItem(RootItem, item), runMode);
  if (!task) throw std::runtime_error("no task file at " + file.string());
  const int code = DriveRun(manager, scope.window);
  // The scheduler said why in the log; the exit code must say it too.
  if (!task->Loaded) throw std::runtime_error("cannot read the task file " + file.string());
  return code;
}

int DemoCommand(const std::vector<std::string>& raw) {
  ArgList args(raw, {"threads", "pace"});
  if (args.Positional().size() > 1) throw UsageError("demo takes at most one folder");
  ApplyRunOptions(args);
  const std::string folder = args.Positional().empty() ? "quillmoss-demo" : args.Positional()[0];
  DemoServer server(FindDemoSite());
  std::cout << "Serving the demo site at " << server.BaseUrl() << std::endl;
  const int code = Mirror(server.BaseUrl() + "index.html", folder, DefaultTaskSettings());
  const auto start = std::filesystem::absolute(folder) / "127.0.0.1" / "index.html";
  std::cout << "The copy is in " << std::filesystem::absolute(folder).lexically_normal().string()
            << "; open " << start.lexically_normal().string() << " in a web browser." << std::endl;
  return code;
}

QM_CLI_COMMAND("mirror",
               "mirror URL [--folder DIR] [--depth N] [--scope 0|1|2] [--content 1|0|-1] "
               "[--foreign-images 0|1] [--threads N] [--pace F] [--settings FILE]",
               MirrorCommand);
QM_CLI_COMMAND("run",
               "run TASKFILE [--mode normal|update|repair|restart] [--threads N] [--pace F] "
               "[--settings FILE]",
               RunCommand);
QM_CLI_COMMAND("demo", "demo [DIR] [--threads N] [--pace F]: serve the bundled site and copy it",
               DemoCommand);

}  // namespace
}  // namespace qm::cli
