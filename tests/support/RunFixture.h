#pragma once
// A task manager over a category tree in memory, a scripted site and a recording window, for
// tests that run tasks on the real engine at pacing 0.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "config/Setting.h"
#include "engine/RunSupervisor.h"
#include "manager/DirUnit.h"
#include "manager/TaskManager.h"
#include "platform/Pacing.h"
#include "support/RecordingWindow.h"
#include "support/TempDir.h"
#include "support/TestSite.h"
#include "task/Task.h"
#include "url/UrlLib.h"

namespace qm::test {

class RunFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPacingFactor(0);
    ThreadCount = 3;
  }
  void TearDown() override {
    StartAtOnce = false;
    ResetSettings();
    SetPacingFactor(1);
  }

  TTask& NewTask(const std::string& path, TaskSettings settings = DefaultTaskSettings(),
                 const std::string& fileName = "site.web") {
    StartAtOnce = true;
    return manager_.NewTaskWithSettings(AddTaskItem(tree_, dir_.TaskFolder(), fileName, path),
                                        settings);
  }
  // Starts the scheduler and waits until every thread of the run (and of runs it hands over to)
  // has ended.
  void RunToEnd() {
    window_.Synchronize([&] { manager_.StartNext(); });
    WaitForRuns();
  }
  void WaitForRuns() {
    for (int i = 0; i < 30000 && RunsActive(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(RunsActive()) << "the run did not end";
    JoinAllRuns();
  }
  // A task item of `tree` for the task file folder + fileName and the site's page `path`.
  std::int32_t AddTaskItem(TDir& tree, const std::string& folder, const std::string& fileName,
                           const std::string& path) {
    TDirItem item;
    item.Name = "site";
    item.Type = ItemTask;
    item.Path = folder;
    item.FileName = fileName;
    item.StartURL = site_.Url(path);
    return tree.AddItem(RootItem, item);
  }
  std::string LocalFile(TTask& task, const std::string& path) {
    return NativePath(LocalPathOf(task.Folder, site_.Url(path)));
  }

  ScopedRecordingWindow window_;
  TempDir dir_;
  TestSite site_;
  TDir tree_{""};
  TTaskManager manager_{tree_};
};

}  // namespace qm::test
