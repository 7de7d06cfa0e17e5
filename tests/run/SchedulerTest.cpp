// The scheduler on real runs: one task at a time, queued tasks in list order, Hold, pause, the
// run modes, and a queued task whose file cannot be read.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Files.h"
#include "support/RunFixture.h"
#include "task/TaskFile.h"

namespace qm {
namespace {

using namespace test;

class SchedulerTest : public RunFixture {
 protected:
  // The paths of the site's GETs, in the order they came.
  std::vector<std::string> GetOrder() {
    std::vector<std::string> paths;
    for (const auto& r : site_.Requests())
      if (r.Method == "GET") paths.push_back(r.Path);
    return paths;
  }
  // The entries of files (not of hosts or directories) in the task's table.
  static int FileEntries(TTask& task) {
    int files = 0;
    for (std::int32_t i = 0; i < task.GetCount(); ++i)
      if (task.GetKind(i) == 1) ++files;
    return files;
  }
  static std::ptrdiff_t PositionOf(const std::vector<std::string>& paths, const std::string& p) {
    return std::find(paths.begin(), paths.end(), p) - paths.begin();
  }
};

TEST_F(SchedulerTest, TasksQueuedDuringARunFollowInListOrderAndNeverRestartByThemselves) {
  site_.Put("/one.html", PageOf("<a href=\"big.pdf\">m</a>"));
  site_.Put("/big.pdf", FileOf(PatternBody(60000)).Slowly(1));
  site_.Put("/two.html", PageOf("<p>2</p>"));
  site_.Put("/three.html", PageOf("<p>3</p>"));
  TTask& one = NewTask("/one.html", DefaultTaskSettings(), "one.web");
  window_.Synchronize([&] { manager_.StartNext(); });
  ASSERT_EQ(one.State.load(), Running);

  // Two more tasks are set to run while the first one runs (on the main thread, as the window's
  // commands do); the commands call the scheduler.
  TTask* two = nullptr;
  TTask* three = nullptr;
  window_.Synchronize([&] {
    two = &NewTask("/two.html", DefaultTaskSettings(), "two.web");
    three = &NewTask("/three.html", DefaultTaskSettings(), "three.web");
    manager_.StartNext();
  });
  EXPECT_EQ(manager_.CurrentTask(), &one) << "a running task is never interrupted";
  EXPECT_EQ(two->State.load(), Stopped);
  WaitForRuns();

  for (TTask* t : {&one, two, three}) {
    EXPECT_EQ(t->State.load(), Complete);
    EXPECT_EQ(t->RunMode, RunHold);
  }
  const auto order = GetOrder();
  EXPECT_LT(PositionOf(order, "/big.pdf"), PositionOf(order, "/two.html"));
  EXPECT_LT(PositionOf(order, "/two.html"), PositionOf(order, "/three.html"));
  // With nothing left to run the scheduler falls back on task 0.
  EXPECT_EQ(manager_.CurrentTask(), &one);

  // Every task ran once: asking the scheduler again starts nothing.
  const std::size_t gets = order.size();
  window_.Synchronize([&] { manager_.StartNext(); });
  EXPECT_FALSE(RunsActive());
  EXPECT_EQ(GetOrder().size(), gets);
  EXPECT_EQ(window_.Messages().size(), 3u);
}

TEST_F(SchedulerTest, ATaskCreatedOnHoldWaitsAndAllOnHoldStartsNothing) {
  site_.Put("/index.html", PageOf("<p>x</p>"));
  StartAtOnce = false;
  TTask& held = manager_.NewTaskWithSettings(
      AddTaskItem(tree_, dir_.TaskFolder(), "held.web", "/index.html"), DefaultTaskSettings());
  EXPECT_EQ(held.RunMode, RunHold);
  window_.Synchronize([&] { manager_.StartNext(); });

  // Task 0 is chosen for want of another, and being on Hold it is not started.
  EXPECT_EQ(manager_.CurrentTask(), &held);
  EXPECT_FALSE(RunsActive());
  EXPECT_EQ(site_.Count("GET", "/index.html"), 0);
  EXPECT_EQ(held.State.load(), Stopped);
  std::string url;
  TTaskCommandStates enabled;
  ASSERT_TRUE(window_.LastCommands(url, enabled));
  EXPECT_EQ(url, site_.Url("/index.html"));
  EXPECT_TRUE(enabled.Run && enabled.Update && enabled.Repair && enabled.Restart);
  EXPECT_GE(window_.StatisticsShown(), 1);

  // The Run command sets it to Normal and asks the scheduler: now it runs.
  held.RunMode = RunNormal;
  RunToEnd();
  EXPECT_EQ(held.State.load(), Complete);
  EXPECT_EQ(site_.Count("GET", "/index.html"), 1);
}

TEST_F(SchedulerTest, APausedTaskIsNotStartedAgainAndResumesWithoutANewRun) {
  ThreadCount = 2;
  site_.Put("/index.html", PageOf("<a href=\"big.pdf\">m</a>"));
  site_.Put("/big.pdf", FileOf(PatternBody(100000)).Slowly(1));
  TTask& task = NewTask("/index.html");
  window_.Synchronize([&] { manager_.StartNext(); });
  window_.Synchronize([&] { PauseRun(task); });
  ASSERT_EQ(task.State.load(), Paused);

  // Even set to run, a paused task is not started a second time beside its paused run.
  window_.Synchronize([&] {
    task.RunMode = RunNormal;
    manager_.StartNext();
  });
  EXPECT_EQ(task.State.load(), Paused);
  // Run on a paused task: the command marks it running and asks the scheduler, which finds a
  // running task and starts nothing new.
  window_.Synchronize([&] {
    ResumeRun(task);
    manager_.StartNext();
    task.RunMode = RunHold;
  });
  WaitForRuns();
  EXPECT_EQ(task.State.load(), Complete);
  EXPECT_EQ(site_.Count("GET", "/index.html"), 1);
  EXPECT_EQ(window_.Messages().size(), 1u) << "one run, one report";
}

TEST_F(SchedulerTest, RepairRetriesFailedFilesAndRestartBeginsAgain) {
  site_.Put("/index.html", PageOf("<a href=\"gone.html\">g</a><img src=\"p.gif\">"));
  site_.Put("/gone.html", PageOf("missing").Answer(404));
  site_.Put("/p.gif", FileOf("GIF89a"));
  TTask& task = NewTask("/index.html");
  RunToEnd();
  const std::int32_t gone = task.FindUrl(site_.Url("/gone.html"));
  ASSERT_GE(gone, 0);
  ASSERT_EQ(task.GetStatus(gone), DownloadError);
  // A page whose analysis failed (its fetched copy kept) is analysed again by a repair run.
  const std::int32_t start = 0;
  task.SetStatus(start, AnalysisError);
  WriteFileBytes(LocalFile(task, "/index.html") + ".tmp", "<p>analysed again</p>");

  site_.Put("/gone.html", PageOf("<p>back</p>"));
  task.RunMode = RunRepair;
  RunToEnd();
  EXPECT_EQ(task.GetStatus(gone), Saved);
  EXPECT_EQ(task.GetStatus(start), Saved);
  EXPECT_EQ(ReadFileBytes(LocalFile(task, "/index.html")), "<p>analysed again</p>");
  EXPECT_EQ(ReadFileBytes(LocalFile(task, "/gone.html")), "<p>back</p>");
  EXPECT_EQ(site_.Count("GET", "/index.html"), 1) << "repair does not fetch saved files";

  // Restart empties the table to its start URL and fetches everything again.
  site_.Put("/index.html", PageOf("<p>new start</p>"));
  task.RunMode = RunRestart;
  RunToEnd();
  EXPECT_EQ(FileEntries(task), 1);
  EXPECT_EQ(site_.Count("GET", "/index.html"), 2);
  EXPECT_EQ(task.State.load(), Complete);
}

TEST_F(SchedulerTest, AQueuedTaskWhoseFileCannotBeReadIsHeldAndTheNextOneRuns) {
  site_.Put("/index.html", PageOf("<p>fine</p>"));
  // Two task files on disk: one damaged, one sound.
  StartAtOnce = false;
  manager_.NewTaskWithSettings(AddTaskItem(tree_, dir_.TaskFolder(), "good.web", "/index.html"),
                               DefaultTaskSettings());
  WriteFileBytes(dir_.Path() / "bad.web", "not a task");
  TDir tree("");
  TTaskManager manager(tree);
  TTask* bad =
      manager.OpenTask(AddTaskItem(tree, dir_.TaskFolder(), "bad.web", "/other.html"), RunNormal);
  TTask* good =
      manager.OpenTask(AddTaskItem(tree, dir_.TaskFolder(), "good.web", "/index.html"), RunUpdate);
  ASSERT_TRUE(bad && good);

  window_.Synchronize([&] { manager.StartNext(); });
  WaitForRuns();
  EXPECT_FALSE(bad->Loaded);
  EXPECT_EQ(bad->RunMode, RunHold) << "not tried again at every end of a run";
  EXPECT_EQ(good->State.load(), Complete);
  EXPECT_EQ(manager.CurrentTask(), good);
  bool reported = false;
  for (const auto& line : window_.Lines())
    if (line.Red && line.Text.find("bad.web") != std::string::npos) reported = true;
  EXPECT_TRUE(reported);
  // The loaded task's item learnt its start URL from the file.
  EXPECT_EQ(tree.Items[static_cast<std::size_t>(manager.TaskItem(1))].StartURL,
            site_.Url("/index.html"));
}

TEST_F(SchedulerTest, TheRepairNotesOfADamagedFileAreLoggedOnce) {
  site_.Put("/index.html", PageOf("<p>fine</p>"));
  StartAtOnce = false;
  manager_.NewTaskWithSettings(AddTaskItem(tree_, dir_.TaskFolder(), "cut.web", "/index.html"),
                               DefaultTaskSettings());
  // The last record loses its end: the file is read as far as it goes, with a note.
  const auto path = dir_.Path() / "cut.web";
  std::filesystem::resize_file(path, std::filesystem::file_size(path) - 20);
  TDir tree("");
  TTaskManager manager(tree);
  TTask* cut =
      manager.OpenTask(AddTaskItem(tree, dir_.TaskFolder(), "cut.web", "/index.html"), RunNormal);
  ASSERT_NE(cut, nullptr);

  window_.Synchronize([&] { manager.StartNext(); });
  WaitForRuns();
  EXPECT_TRUE(cut->Loaded);
  int notes = 0;
  for (const auto& line : window_.Lines())
    if (line.Red && line.Text.find("records; the rest of the table is lost") != std::string::npos)
      ++notes;
  EXPECT_EQ(notes, 1);
}

}  // namespace
}  // namespace qm
