// Whole runs on the real engine against a scripted site: the end-of-run report, stop, resume,
// update runs and the scheduler's hand-over to the next task.
#include <gtest/gtest.h>

#include <time.h>

#include <filesystem>

#include "engine/RunSupervisor.h"
#include "platform/Files.h"
#include "support/RunFixture.h"
#include "task/Task.h"
#include "task/TaskFile.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

using namespace test;

class RunTest : public RunFixture {};

std::chrono::nanoseconds ProcessCpuTime() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

// At pacing 0 the workers at the end of the table and the analysis thread waiting for an entry
// sleep until something changes: while one slow transfer runs, the process is nearly idle.
TEST_F(RunTest, ThreadsWaitingForAnEventUseNoCpu) {
  ThreadCount = 10;
  site_.Put("/index.html", PageOf("<a href=\"slow.pdf\">slow</a>"));
  site_.Put("/slow.pdf", FileOf(PatternBody(60000)).Slowly(10));  // about 600 ms
  TTask& task = NewTask("/index.html");
  window_.Synchronize([&] { manager_.StartNext(); });
  const std::string url = site_.Url("/slow.pdf");
  for (int i = 0; i < 5000; ++i) {
    const std::int32_t entry = task.FindUrl(url);
    if (entry >= 0 && task.GetStatus(entry) == InProgress) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const auto cpu0 = ProcessCpuTime();
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  const auto used = ProcessCpuTime() - cpu0;
  // Eleven spinning threads would take both cores the whole time.
  EXPECT_LT(used, std::chrono::milliseconds(80));
  WaitForRuns();
  EXPECT_EQ(task.GetStatus(task.FindUrl(url)), Saved);
  EXPECT_EQ(task.State.load(), Complete);
}

TEST_F(RunTest, FullRunReportsAndSavesTheTaskFile) {
  const std::string index = "<img src=\"a.gif\"><a href=\"b.html\">b</a>";
  const std::string gif = "GIF89a-bytes";
  const std::string b = "<p>b</p><a href=\"index.html\">home</a>";
  site_.Put("/index.html", PageOf(index).Modified(1700000000));
  site_.Put("/a.gif", FileOf(gif).Type("image/gif").Modified(1700000000));
  site_.Put("/b.html", PageOf(b).Modified(1700000000));
  TTask& task = NewTask("/index.html");
  RunToEnd();

  const auto bytes = index.size() + gif.size() + b.size();
  const auto messages = window_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "任务结束。总共3个网页，其中成功下载3个,共下载" + std::to_string(bytes) +
                             "字节,其中未解析的有0个,错误文件0个,还有0个文件未下载。");
  EXPECT_TRUE(window_.HasLineContaining("任务结束。总共3个网页，其中成功下载3个,共下载" +
                                        std::to_string(bytes) + "字节"));
  EXPECT_EQ(task.State.load(), Complete);
  EXPECT_EQ(window_.ProgressValues().back(), 100);

  EXPECT_NE(ReadFileBytes(LocalFile(task, "/index.html")).find("<a href=\"b.html\">"),
            std::string::npos);
  EXPECT_EQ(ReadFileBytes(LocalFile(task, "/a.gif")), gif);
  EXPECT_FALSE(FileExists(LocalFile(task, "/b.html") + ".tmp"));

  TTask reread;
  ASSERT_TRUE(ReadTaskFile(reread, NativePath(task.Folder + task.FileName)).Ok);
  EXPECT_EQ(reread.Recount(), 100);
  EXPECT_EQ(reread.GetStatus(reread.FindUrl(site_.Url("/b.html"))), Saved);
}

TEST_F(RunTest, FailedStartPageEndsWithOneError) {
  TTask& task = NewTask("/missing.html");
  RunToEnd();
  EXPECT_TRUE(window_.HasLineContaining("任务结束。总共1个网页，其中成功下载0个,共下载0字节"));
  EXPECT_EQ(task.GetStatus(0), DownloadError);
  EXPECT_EQ(task.State.load(), Complete);
}

TEST_F(RunTest, StopKeepsTheTemporaryFileAndTheNextRunResumes) {
  const std::string big = PatternBody(300000);
  site_.Put("/index.html", PageOf("<a href=\"big.pdf\">manual</a>"));
  site_.Put("/big.pdf", FileOf(big).Slowly(2).Modified(1700000000));
  TTask& task = NewTask("/index.html");
  window_.Synchronize([&] { manager_.StartNext(); });
  const std::string tmp = LocalFile(task, "/big.pdf") + ".tmp";
  for (int i = 0; i < 20000 && FileSizeOf(tmp) < 30000; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_GE(FileSizeOf(tmp), 30000);
  window_.Synchronize([&] { StopRun(task); });
  WaitForRuns();

  EXPECT_EQ(task.State.load(), Stopped);
  EXPECT_EQ(window_.Messages().size(), 1u);  // a stopped run reports too
  const std::int64_t kept = FileSizeOf(tmp);
  EXPECT_GT(kept, 0);
  EXPECT_LT(kept, static_cast<std::int64_t>(big.size()));
  const std::int32_t entry = task.FindUrl(site_.Url("/big.pdf"));
  EXPECT_EQ(task.GetStatus(entry), NotDownloaded);

  // A second run of the saved task file fetches only what is missing.
  site_.Put("/big.pdf", FileOf(big).Modified(1700000000));
  TDir secondTree("");
  TTaskManager second(secondTree);
  TTask& again = *second.OpenTask(
      AddTaskItem(secondTree, task.Folder, task.FileName, "/index.html"), RunNormal);
  window_.Synchronize([&] { second.StartNext(); });
  WaitForRuns();
  EXPECT_EQ(again.State.load(), Complete);
  EXPECT_EQ(ReadFileBytes(LocalFile(again, "/big.pdf")), big);
  bool resumed = false;
  for (const auto& r : site_.Requests("GET", "/big.pdf"))
    if (r.Range == "bytes=" + std::to_string(kept) + "-" + std::to_string(kept + 10240))
      resumed = true;
  EXPECT_TRUE(resumed) << "no ranged request started at the kept length " << kept;
}

TEST_F(RunTest, UpdateRunAnalysesPagesThatChanged) {
  NoUpdateStatic = false;
  site_.Put("/index.html", PageOf("<a href=\"news.html\">news</a>").Modified(1700000000));
  site_.Put("/news.html", PageOf("<p>old news</p>").Modified(1700000000));
  TTask& task = NewTask("/index.html");
  RunToEnd();
  ASSERT_EQ(task.State.load(), Complete);

  site_.Put("/news.html", PageOf("<p>new news</p><img src=\"pic.gif\">").Modified(1700086400));
  site_.Put("/pic.gif", FileOf("GIF89a").Modified(1700086400));
  TDir secondTree("");
  TTaskManager second(secondTree);
  TTask& again = *second.OpenTask(
      AddTaskItem(secondTree, task.Folder, task.FileName, "/index.html"), RunUpdate);
  window_.Synchronize([&] { second.StartNext(); });
  WaitForRuns();

  const std::string news = ReadFileBytes(LocalFile(again, "/news.html"));
  EXPECT_NE(news.find("new news"), std::string::npos);
  EXPECT_FALSE(FileExists(LocalFile(again, "/news.html") + ".tmp"));
  EXPECT_EQ(again.GetStatus(again.FindUrl(site_.Url("/news.html"))), Saved);
  // The changed page was analysed: its new image was recorded and fetched.
  EXPECT_EQ(ReadFileBytes(LocalFile(again, "/pic.gif")), "GIF89a");
}

TEST_F(RunTest, QueuedTaskStartsWhenTheRunningOneEnds) {
  site_.Put("/one.html", PageOf("<p>1</p>"));
  site_.Put("/two.html", PageOf("<p>2</p>"));
  TTask& one = NewTask("/one.html", DefaultTaskSettings(), "one.web");
  TTask& two = NewTask("/two.html", DefaultTaskSettings(), "two.web");
  window_.Synchronize([&] { manager_.StartNext(); });
  // Only one task runs at a time: the second waits for the first.
  EXPECT_EQ(manager_.CurrentTask(), &one);
  EXPECT_NE(two.State.load(), Running);
  for (int i = 0; i < 30000 && two.State.load() != Complete; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  WaitForRuns();
  EXPECT_EQ(one.State.load(), Complete);
  EXPECT_EQ(two.State.load(), Complete);
  EXPECT_EQ(one.RunMode, RunHold);
  EXPECT_EQ(two.RunMode, RunHold);
  EXPECT_EQ(window_.Messages().size(), 2u);
}

TEST_F(RunTest, PauseListsTheWorkersAndResumeContinues) {
  ThreadCount = 2;
  site_.Put("/index.html", PageOf("<a href=\"big.pdf\">m</a>"));
  site_.Put("/big.pdf", FileOf(PatternBody(200000)).Slowly(1));
  TTask& task = NewTask("/index.html");
  window_.Synchronize([&] { manager_.StartNext(); });
  window_.Synchronize([&] { PauseRun(task); });
  EXPECT_EQ(task.State.load(), Paused);
  int tagLines = 0;
  for (const auto& line : window_.Lines())
    if (line.Text.rfind("tag=", 0) == 0) ++tagLines;
  EXPECT_EQ(tagLines, 2);
  window_.Synchronize([&] { ResumeRun(task); });
  WaitForRuns();
  EXPECT_EQ(task.State.load(), Complete);
  EXPECT_EQ(site_.Count("GET", "/index.html"), 1);
}

}  // namespace
}  // namespace qm
