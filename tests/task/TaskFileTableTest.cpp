// Task files of tables built by the table's own operations.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/RecordingWindow.h"
#include "support/TempDir.h"
#include "task/Task.h"
#include "task/TaskFile.h"

namespace qm {
namespace {

TExtendUrlRec Link(const std::string& url, std::int32_t refer, std::int32_t layer) {
  TExtendUrlRec r = EmptyUrlRec();
  r.Url.Set(url);
  r.ReferId = refer;
  r.Layer = layer;
  r.OwnBase = 1;
  return r;
}

class TaskFileTableTest : public ::testing::Test {
 protected:
  std::string PathOf(const std::string& name) const { return dir_.TaskFolder() + name; }
  test::TempDir dir_;
  test::ScopedRecordingWindow window_;
};

TEST_F(TaskFileTableTest, NewTaskFileHoldsStartUrlRootAndDirectoryNodes) {
  TTask task;
  ASSERT_EQ(task.AddUrl(Link("http://www.h.test/a/b/start.html", 0, 0)), 0);
  task.Folder = dir_.TaskFolder();
  task.FileName = "www.h.test.web";
  ASSERT_TRUE(SaveTaskFile(task).Ok);

  TTask loaded;
  loaded.Folder = task.Folder;
  loaded.FileName = task.FileName;
  const TTaskFileResult r = LoadTaskFile(loaded);
  ASSERT_TRUE(r.Ok) << r.Message;
  EXPECT_EQ(r.Message, "");
  ASSERT_EQ(loaded.Count, 5);  // start URL, root, host, "a", "b"
  EXPECT_EQ(loaded.GetKind(0), 1);
  EXPECT_EQ(loaded.GetKind(1), 0);
  EXPECT_EQ(loaded.GetRawUrl(2), "www.h.test");
  EXPECT_EQ(loaded.GetKind(4), 0);
  EXPECT_EQ(loaded.StartUrl(), "http://www.h.test/a/b/start.html");
}

// A table grown by links, redirects and status changes is found again after loading, and keeps
// growing from where it was.
TEST_F(TaskFileTableTest, LoadedTableWorksLikeTheSavedOne) {
  TTask task;
  task.AddUrl(Link("http://h.test/", 0, 0));
  for (int i = 0; i < 300; ++i)
    task.AddUrl(Link("http://h.test/d" + std::to_string(i % 7) + "/p" + std::to_string(i) + ".html",
                     i % 5, 1));
  const std::int32_t moved = task.FindUrl("http://h.test/d3/p10.html");
  ASSERT_GE(moved, 0);
  const std::int32_t target = task.RedirectRecord(moved, "http://other.test/x/p10.html");
  task.SetStatus(task.FindUrl("http://h.test/d1/p1.html"), Saved);
  task.SetStatus(task.FindUrl("http://h.test/d2/p2.html"), InProgress);
  const std::int32_t percent = task.Recount();
  ASSERT_TRUE(WriteTaskFile(task, PathOf("t.web")).Ok);

  TTask loaded;
  const TTaskFileResult r = ReadTaskFile(loaded, PathOf("t.web"));
  ASSERT_TRUE(r.Ok) << r.Message;
  EXPECT_EQ(r.Message, "") << "a file the table wrote needed repairs";
  EXPECT_EQ(loaded.Count, task.Count);
  for (int i = 0; i < 300; ++i) {
    const std::string url =
        "http://h.test/d" + std::to_string(i % 7) + "/p" + std::to_string(i) + ".html";
    EXPECT_EQ(loaded.FindUrl(url), task.FindUrl(url)) << url;
  }
  EXPECT_EQ(loaded.FindUrl("http://other.test/x/p10.html"), target);
  EXPECT_EQ(loaded.GetUrl(moved), "http://other.test/x/p10.html");
  EXPECT_EQ(loaded.GetStatus(task.FindUrl("http://h.test/d2/p2.html")), NotDownloaded);
  EXPECT_EQ(loaded.Recount(), percent);
  EXPECT_EQ(loaded.SavedCount, 1);

  const std::int32_t added = loaded.AddUrl(Link("http://h.test/d3/new.html", 0, 1));
  EXPECT_EQ(added, task.Count);
  EXPECT_EQ(loaded.FindUrl("http://h.test/d3/new.html"), added);
  EXPECT_EQ(loaded.FindUrl("http://h.test/d3/p3.html"), task.FindUrl("http://h.test/d3/p3.html"));
}

// A restarted table reuses its slots; what the old records left behind is not a broken link.
TEST_F(TaskFileTableTest, RestartedTableLoadsCleanly) {
  TTask task;
  task.AddUrl(Link("http://h.test/a/b/c/index.html", 0, 0));
  for (int i = 0; i < 50; ++i)
    task.AddUrl(Link("http://h.test/a/x" + std::to_string(i) + "/p.html", 0, 1));
  task.RedirectRecord(7, "http://h.test/z/moved.html");
  task.Restart();
  task.AddUrl(Link("http://h.test/q.html", 0, 1));
  ASSERT_TRUE(WriteTaskFile(task, PathOf("t.web")).Ok);
  TTask loaded;
  const TTaskFileResult r = ReadTaskFile(loaded, PathOf("t.web"));
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Message, "");
  EXPECT_EQ(loaded.FindUrl("http://h.test/q.html"), task.FindUrl("http://h.test/q.html"));
  EXPECT_EQ(loaded.FindUrl("http://h.test/a/x3/p.html"), -1);
}

// Saving while the analysis thread adds links and workers change statuses: every file written is
// a consistent table of its moment.
TEST_F(TaskFileTableTest, SaveDuringChangesWritesConsistentTables) {
  TTask task;
  task.AddUrl(Link("http://h.test/", 0, 0));
  task.Folder = dir_.TaskFolder();
  task.FileName = "busy.web";
  std::atomic<bool> done{false};
  std::thread adder([&] {
    for (int i = 0; i < 3000; ++i) {
      const std::int32_t n = task.AddUrl(
          Link("http://h.test/d" + std::to_string(i % 13) + "/" + std::to_string(i), 0, 1));
      if (i % 3 == 0) task.SetStatus(n, InProgress);
    }
    done = true;
  });
  int saves = 0;
  while (!done || saves < 3) {
    const TTaskFileResult w =
        saves % 2 ? SaveTaskFile(task) : WriteTaskFile(task, PathOf("busy.web"));
    ++saves;
    TTask loaded;
    loaded.Folder = task.Folder;
    loaded.FileName = task.FileName;
    const TTaskFileResult r = LoadTaskFile(loaded);
    EXPECT_TRUE(w.Ok) << w.Message;
    EXPECT_TRUE(r.Ok) << r.Message;
    EXPECT_EQ(r.Message, "");
    if (!w.Ok || !r.Ok || !r.Message.empty()) break;
    const std::int32_t last = loaded.Count - 1;
    if (loaded.GetKind(last) == 1) {
      EXPECT_EQ(loaded.FindUrl(loaded.GetRawUrl(last)), last);
    }
  }
  adder.join();
}

}  // namespace
}  // namespace qm
