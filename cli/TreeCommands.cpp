// quillmoss-cli tasks, add and queue: the category tree of a program folder ("Dir.ini") and its
// task manager, for scripted runs of several tasks (a nightly update of every task, say).
#include <filesystem>
#include <iostream>

#include "cli/Commands.h"
#include "cli/RunDriver.h"
#include "cli/RunOptions.h"
#include "manager/DirUnit.h"
#include "manager/TaskManager.h"
#include "platform/Files.h"
#include "task/Task.h"
#include "url/UrlLib.h"

namespace qm::cli {
namespace {

// The "Dir.ini" of --home DIR, else the one the window uses.
std::string DirFileFromArgs(const ArgList& args) {
  if (auto home = args.Get("home")) {
    std::filesystem::create_directories(*home);
    return (std::filesystem::absolute(*home) / "Dir.ini").lexically_normal().string();
  }
  return DefaultDirFile();
}

std::string TaskFileOf(const TDirItem& item) {
  return NativePath(item.Path + item.FileName);
}

// Visits the items below `top` in tree order (depth first), with their depth below it. The walk
// keeps its own stack, so however deep a tree is, it cannot exhaust the program's.
template <typename Visit>
void ForEachBelow(const TDir& dir, std::int32_t top, Visit visit) {
  const auto item = [&dir](std::int32_t i) -> const TDirItem& {
    return dir.Items[static_cast<std::size_t>(i)];
  };
  std::vector<std::int32_t> next{item(top).SonFirst};  // per level: the next child to visit
  while (!next.empty()) {
    const std::int32_t c = next.back();
    if (c < 0) {
      next.pop_back();
      continue;
    }
    next.back() = item(c).Next;
    visit(c, static_cast<int>(next.size()));
    if (item(c).Type != ItemTask) next.push_back(item(c).SonFirst);
  }
}

// The tasks below `parent` in tree order, or `parent` itself when it is a task.
void CollectTasks(const TDir& dir, std::int32_t parent, std::vector<std::int32_t>& out) {
  if (dir.Items[static_cast<std::size_t>(parent)].Type == ItemTask) {
    out.push_back(parent);
    return;
  }
  ForEachBelow(dir, parent, [&](std::int32_t c, int) {
    if (dir.Items[static_cast<std::size_t>(c)].Type == ItemTask) out.push_back(c);
  });
}

void PrintBelow(const TDir& dir, std::int32_t top) {
  ForEachBelow(dir, top, [&](std::int32_t c, int depth) {
    const TDirItem& item = dir.Items[static_cast<std::size_t>(c)];
    std::cout << std::string(static_cast<std::size_t>(depth) * 2, ' ') << "#" << c << " "
              << item.Name;
    if (item.Type == ItemTask) {
      std::cout << "  " << item.StartURL << "  " << TaskFileOf(item);
      if (!FileExists(TaskFileOf(item))) std::cout << "  (task file missing)";
    }
    std::cout << "\n";
  });
}

int TasksCommand(const std::vector<std::string>& raw) {
  ArgList args(raw, {"home"});
  if (!args.Positional().empty()) throw UsageError("tasks takes no arguments");
  TDir dir(DirFileFromArgs(args));
  dir.LoadDir();
  std::cout << "Category tree " << dir.FileName() << "\n";
  for (std::int32_t top : {RootItem, RecycleBinItem}) {
    std::cout << "#" << top << " " << dir.Items[static_cast<std::size_t>(top)].Name << "\n";
    PrintBelow(dir, top);
  }
  return 0;
}

// The category named by --category (the root when absent).
std::int32_t CategoryFromArgs(const TDir& dir, const ArgList& args) {
  const std::int32_t item =
      args.GetInt("category", RootItem, 0, static_cast<int>(dir.Items.size()) - 1);
  const TDirItem& category = dir.Items[static_cast<std::size_t>(item)];
  if (item == RecycleBinItem || category.Type != ItemCategory || category.Deleted)
    throw UsageError("#" + std::to_string(item) + " is not a category");
  return item;
}

int AddCommand(const std::vector<std::string>& raw) {
  ArgList args(raw, {"home", "category", "name", "folder", "file", "depth", "scope", "content",
                     "foreign-images"});
  if (args.Positional().size() != 1) throw UsageError("add takes one URL");
  const std::string url = args.Positional()[0];
  if (SchemeLength(url) == 0)
    throw UsageError("only http:// and https:// URLs can be copied: " + url);
  const std::string host = SplitUrl(url).Host;
  if (HostOf(url).empty()) throw UsageError("the URL names no host: " + url);

  TDir dir(DirFileFromArgs(args));
  dir.LoadDir();
  const std::int32_t category = CategoryFromArgs(dir, args);
  TDirItem item;
  item.Type = ItemTask;
  item.Name = args.Get("name").value_or(host);
  const std::string folder = args.Get("folder").value_or(
      (std::filesystem::path(dir.FileName()).parent_path() / "Websites").string());
  item.Path = ProgramFolder(folder);
  item.FileName = args.Get("file").value_or(host + ".web");
  item.StartURL = url;
  // A task file holds the user's work: a new task never replaces one.
  if (FileExists(TaskFileOf(item)))
    throw std::runtime_error("a task file already exists at " + TaskFileOf(item) +
                             "; choose another --file or --folder");

  WindowScope scope;
  TTaskManager manager(dir);
  StartAtOnce = false;
  const std::int32_t added = dir.AddItem(category, item);
  // The name is trimmed as the tree's rename trims it; the tree is saved only below.
  std::string name = item.Name;
  if (!dir.RenameItem(added, name)) throw UsageError("the task name is empty");
  manager.NewTaskWithSettings(added, SettingsFromArgs(args));
  dir.SaveDir();
  std::cout << "Added task #" << added << " " << name << ": " << TaskFileOf(item) << "\n";
  return 0;
}

// The task items the arguments name ("3" or "#3"; a category stands for every task below it),
// else every task below the root.
std::vector<std::int32_t> QueuedItems(const TDir& dir, const ArgList& args) {
  std::vector<std::int32_t> items;
  if (args.Positional().empty()) {
    CollectTasks(dir, RootItem, items);
    return items;
  }
  for (std::string text : args.Positional()) {
    if (!text.empty() && text[0] == '#') text.erase(0, 1);
    std::size_t used = 0;
    int index = -1;
    try {
      index = std::stoi(text, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used == 0 || used != text.size() || !dir.Valid(index) ||
        dir.Items[static_cast<std::size_t>(index)].Deleted)
      throw UsageError("no item " + text + " in the category tree");
    CollectTasks(dir, index, items);
  }
  return items;
}

int QueueCommand(const std::vector<std::string>& raw) {
  ArgList args(raw, {"home", "mode", "threads", "pace"});
  const std::int32_t runMode = RunModeFromArgs(args);
  ApplyRunOptions(args);
  TDir dir(DirFileFromArgs(args));
  dir.LoadDir();
  const std::vector<std::int32_t> items = QueuedItems(dir, args);

  WindowScope scope;
  TTaskManager manager(dir);
  StartAtOnce = true;  // a task rebuilt because its file was lost joins the queue
  int failures = 0;
  for (std::int32_t item : items) {
    if (manager.IndexOfItem(item) >= 0) continue;  // named twice
    if (!manager.OpenTask(item, runMode)) {
      const TDirItem& missing = dir.Items[static_cast<std::size_t>(item)];
      scope.window.AddRedLog("task #" + std::to_string(item) + " " + missing.Name +
                             " skipped: no task file at " + TaskFileOf(missing));
      ++failures;
    }
  }
  int code = 0;
  if (manager.TaskCount() > 0) code = DriveRun(manager, scope.window);
  for (std::int32_t i = 0; i < manager.TaskCount(); ++i)
    if (!manager.Task(i).Loaded) ++failures;  // its file could not be read (said in the log)
  dir.SaveDir();                              // start URLs learned from the task files
  if (code != 0) return code;
  if (failures > 0) {
    std::cerr << "quillmoss-cli queue: " << failures << " task(s) could not be run\n";
    return 1;
  }
  return 0;
}

QM_CLI_COMMAND("tasks", "tasks [--home DIR]: the category tree and its tasks", TasksCommand);
QM_CLI_COMMAND("add",
               "add URL [--home DIR] [--category ITEM] [--name NAME] [--folder DIR] [--file NAME] "
               "[--depth N] [--scope 0|1|2] [--content 1|0|-1] [--foreign-images 0|1]: a new task "
               "on hold",
               AddCommand);
QM_CLI_COMMAND("queue",
               "queue [ITEM...] [--home DIR] [--mode normal|update|repair|restart] [--threads N] "
               "[--pace F]: run the tasks (all below the root when none is named) one after "
               "the other",
               QueueCommand);

}  // namespace
}  // namespace qm::cli
