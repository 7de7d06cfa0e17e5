// The task manager without the network: creating and opening tasks from tree items, the task
// list, the commands' states, the per-task settings and lookups while the list grows.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "config/Setting.h"
#include "engine/TaskRegistry.h"
#include "manager/DirUnit.h"
#include "manager/TaskManager.h"
#include "platform/Files.h"
#include "support/RecordingWindow.h"
#include "support/TempDir.h"
#include "task/Task.h"
#include "task/TaskFile.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

using namespace test;

class TaskManagerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    StartAtOnce = false;
    ResetSettings();
  }
  std::int32_t AddTaskItem(const std::string& url, const std::string& fileName = "site.web") {
    TDirItem item;
    item.Name = "任务 " + fileName;
    item.Type = ItemTask;
    item.Path = dir_.TaskFolder();
    item.FileName = fileName;
    item.StartURL = url;
    return tree_.AddItem(RootItem, item);
  }
  std::string TaskFile(const std::string& fileName) const {
    return (dir_.Path() / fileName).string();
  }

  ScopedRecordingWindow window_;
  TempDir dir_;
  TDir tree_{""};
  TTaskManager manager_{tree_};
};

TEST_F(TaskManagerTest, NewTaskStartsFromTheItemsUrlWithoutFragmentAndSavesItsFile) {
  const std::int32_t item = AddTaskItem("http://example.test/docs/index.html#top");
  const TaskSettings settings{3, 2, -1, true};
  StartAtOnce = true;
  TTask& task = manager_.NewTaskWithSettings(item, settings);

  EXPECT_EQ(task.GetUrl(0), "http://example.test/docs/index.html");
  EXPECT_EQ(task.GetStatus(0), NotDownloaded);
  EXPECT_EQ(task.RunMode, RunNormal);
  EXPECT_TRUE(task.Loaded);
  EXPECT_EQ(task.Name, "任务 site.web");
  EXPECT_EQ(task.Folder, dir_.TaskFolder());
  EXPECT_EQ(task.ManagerIndex, 0);
  EXPECT_EQ(FindTask(0), &task);
  EXPECT_EQ(manager_.IndexOfItem(item), 0);
  EXPECT_EQ(manager_.IndexOfItem(RootItem), -1);
  EXPECT_EQ(window_.StatusTexts().back(),
            "开始下载以http://example.test/docs/index.html为首页的网站.");

  // The file holds the settings and the start entry.
  TTask read;
  ASSERT_TRUE(ReadTaskFile(read, task.Folder + task.FileName));
  EXPECT_EQ(read.GetUrl(0), "http://example.test/docs/index.html");
  EXPECT_EQ(read.Settings(), settings);
}

TEST_F(TaskManagerTest, NewTaskWaitsOnHoldAndCutsALongUrl) {
  const std::string longUrl = "http://example.test/" + std::string(200, 'a') + ".html";
  DefaultDepth = 4;
  StartAtOnce = false;
  TTask& task = manager_.NewTask(AddTaskItem(longUrl));
  EXPECT_EQ(task.RunMode, RunHold);
  EXPECT_EQ(task.GetUrl(0), longUrl.substr(0, 127));
  EXPECT_EQ(task.Settings().Depth, 4) << "NewTask takes the program settings";
}

TEST_F(TaskManagerTest, OpenTaskRegistersAnExistingFileAndAsksBeforeRebuildingAMissingOne) {
  StartAtOnce = false;
  const std::int32_t saved = AddTaskItem("http://example.test/", "saved.web");
  manager_.NewTask(saved);
  TTask* opened = manager_.OpenTask(saved, RunUpdate);
  ASSERT_NE(opened, nullptr);
  EXPECT_FALSE(opened->Loaded) << "the table is read when the task starts";
  EXPECT_EQ(opened->RunMode, RunUpdate);
  EXPECT_EQ(manager_.TaskCount(), 2) << "a second object for the same item";
  EXPECT_TRUE(window_.Questions().empty());
  EXPECT_EQ(manager_.OpenTask(RootItem, RunNormal), nullptr) << "a category is no task";

  const std::int32_t lost = AddTaskItem("http://lost.test/start.html", "lost.web");
  window_.OkCancelAnswer = false;
  EXPECT_EQ(manager_.OpenTask(lost, RunNormal), nullptr);
  ASSERT_EQ(window_.Questions().size(), 1u);
  EXPECT_EQ(window_.Questions()[0].Text,
            "任务文件丢失,要重建以http://lost.test/start.html为起始网址的任务吗?");
  EXPECT_EQ(window_.Questions()[0].Caption, "重建任务");
  EXPECT_EQ(window_.SettingsDialogsShown(), 0);

  // OK, then the settings dialog cancelled: still nothing.
  window_.OkCancelAnswer = true;
  EXPECT_EQ(manager_.OpenTask(lost, RunNormal), nullptr);
  EXPECT_EQ(manager_.TaskCount(), 2);

  // OK and the settings confirmed: the task is rebuilt with the settings the dialog set.
  window_.OnEditMainSettings = [] {
    DefaultScope = 0;
    return true;
  };
  TTask* rebuilt = manager_.OpenTask(lost, RunNormal);
  ASSERT_NE(rebuilt, nullptr);
  EXPECT_EQ(rebuilt->Settings().Scope, 0);
  EXPECT_TRUE(FileExists(TaskFile("lost.web")));
  EXPECT_EQ(manager_.IndexOfItem(lost), 2);
}

TEST_F(TaskManagerTest, TaskCommandsFollowTheTaskState) {
  TTask& task = manager_.NewTask(AddTaskItem("http://example.test/"));
  std::string url;
  TTaskCommandStates enabled;

  manager_.ShowTaskCommands(nullptr);
  EXPECT_FALSE(window_.LastCommands(url, enabled)) << "no task: nothing is done";

  task.State = Running;
  manager_.ShowTaskCommands(&task);
  ASSERT_TRUE(window_.LastCommands(url, enabled));
  EXPECT_EQ(url, "http://example.test/");
  TTaskCommandStates running;
  running.Pause = running.Stop = running.NTaskPause = running.NTaskStop = true;
  EXPECT_EQ(enabled, running);

  task.State = Paused;
  manager_.ShowTaskCommands(&task);
  window_.LastCommands(url, enabled);
  TTaskCommandStates paused;
  paused.Run = paused.Stop = paused.NTaskRun = paused.NTaskStop = true;
  EXPECT_EQ(enabled, paused);

  TTaskCommandStates ended;
  ended.Run = ended.Repair = ended.Update = ended.Restart = true;
  ended.NTaskRun = ended.NTaskRepair = ended.NTaskUpdate = true;
  for (std::int32_t state : {Stopped, Complete}) {
    task.State = state;
    manager_.ShowTaskCommands(&task);
    window_.LastCommands(url, enabled);
    EXPECT_EQ(enabled, ended) << "state " << state;
  }
  task.State = 77;
  manager_.ShowTaskCommands(&task);
  window_.LastCommands(url, enabled);
  EXPECT_EQ(enabled, TTaskCommandStates{});
}

TEST_F(TaskManagerTest, RefreshListShowsOneRowPerTaskInListOrder) {
  manager_.NewTask(AddTaskItem("http://a.test/", "a.web"));
  manager_.NewTask(AddTaskItem("http://b.test/", "b.web"));
  manager_.RefreshList();
  manager_.RefreshList();  // a second refresh replaces the rows
  const std::vector<int> rows = window_.ListRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(manager_.Task(0).ListItem, rows[0]);
  EXPECT_EQ(manager_.Task(1).ListItem, rows[1]);
  EXPECT_EQ(window_.LastRow(rows[1]).Caption, "任务 b.web");
  EXPECT_EQ(window_.LastRow(rows[1]).SubItems.at(1), "http://b.test/");
}

TEST_F(TaskManagerTest, TaskSettingsGoToTheTaskInMemoryOrToTheFileHeaderInPlace) {
  const std::int32_t loaded = AddTaskItem("http://a.test/", "a.web");
  manager_.NewTask(loaded);
  const TaskSettings changed{7, 0, 0, true};
  ASSERT_TRUE(manager_.WriteTaskSettings(loaded, changed));
  TaskSettings got;
  ASSERT_TRUE(manager_.ReadTaskSettings(loaded, got));
  EXPECT_EQ(got, changed);
  EXPECT_EQ(manager_.Task(0).Settings().Depth, 7);

  // A task filed in the tree but not in memory: its file's header changes, nothing else does.
  TDir otherTree("");
  TTaskManager other(otherTree);
  TDirItem onDisk = tree_.Items[static_cast<std::size_t>(loaded)];
  const std::int32_t item = otherTree.AddItem(RootItem, onDisk);
  const std::string before = ReadFileBytes(TaskFile("a.web"));
  const TaskSettings fileSettings{-1, 2, -1, false};
  ASSERT_TRUE(other.WriteTaskSettings(item, fileSettings));
  const std::string after = ReadFileBytes(TaskFile("a.web"));
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after.substr(12, 24), before.substr(12, 24));
  EXPECT_EQ(after.substr(37), before.substr(37));
  ASSERT_TRUE(other.ReadTaskSettings(item, got));
  EXPECT_EQ(got, fileSettings);

  // Opened but not started yet: the settings live in the file, which the start will read.
  TTask* opened = other.OpenTask(item, RunHold);
  ASSERT_NE(opened, nullptr);
  ASSERT_TRUE(other.ReadTaskSettings(item, got));
  EXPECT_EQ(got, fileSettings);
  ASSERT_TRUE(other.WriteTaskSettings(item, changed));
  ASSERT_TRUE(LoadTaskFile(*opened));
  EXPECT_EQ(opened->Settings(), changed);

  // Neither in memory nor on disk.
  const std::int32_t missing = AddTaskItem("http://c.test/", "c.web");
  EXPECT_FALSE(manager_.WriteTaskSettings(missing, changed));
  EXPECT_FALSE(manager_.ReadTaskSettings(missing, got));
  EXPECT_FALSE(manager_.ReadTaskSettings(-5, got));

  // A file shorter than a header is not a task file and is left alone.
  const std::int32_t shortItem = AddTaskItem("http://d.test/", "d.web");
  WriteFileBytes(TaskFile("d.web"), "tiny");
  EXPECT_THROW(manager_.WriteTaskSettings(shortItem, changed), std::runtime_error);
  EXPECT_EQ(ReadFileBytes(TaskFile("d.web")), "tiny");
}

TEST_F(TaskManagerTest, WorkerLookupsStaySafeWhileTheListGrows) {
  constexpr int kTasks = 400;
  std::atomic<bool> started{false}, done{false};
  int seenInLastPass = 0;
  std::thread reader([&] {
    started = true;
    for (;;) {
      const bool last = done;
      int seen = 0;
      const std::int32_t count = manager_.TaskCount();
      for (std::int32_t i = 0; i < count; ++i) {
        TTask* byTag = FindTask(i);
        if (byTag && byTag->ManagerIndex == i && &manager_.Task(i) == byTag) ++seen;
      }
      if (last) {
        seenInLastPass = seen;
        break;
      }
    }
  });
  while (!started) std::this_thread::yield();
  for (int i = 0; i < kTasks; ++i)
    manager_.RegisterTask(AddTaskItem("http://x.test/"), std::make_unique<TTask>());
  done = true;
  reader.join();
  EXPECT_EQ(manager_.TaskCount(), kTasks);
  EXPECT_EQ(seenInLastPass, kTasks);
  for (int i = 0; i < kTasks; ++i) EXPECT_EQ(FindTask(i)->ManagerIndex, i);
}

}  // namespace
}  // namespace qm
