// How workers walk the URL table: claims, the wait at the end of the table, failures of the start
// page, and what a pause shows.
#include <gtest/gtest.h>

#include "WorkerHarness.h"
#include "engine/HttpEvents.h"
#include "platform/Files.h"
#include "platform/Pacing.h"

namespace qm::test {
namespace {

TEST(WorkerWalk, TwoWorkersFetchEveryEntryExactlyOnce) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  site.Put("/index.html", PageOf("<html>start</html>"));
  TaskUnderTest t(site.Url("/index.html"));
  constexpr int kFiles = 40;
  for (int i = 0; i < kFiles; ++i) {
    const std::string path = "/img/p" + std::to_string(i) + ".gif";
    site.Put(path, FileOf("GIF89a" + std::to_string(i)));
    t.Add(site.Url(path));
  }

  RunTask(t.Task, WithWorkers(2));

  for (int i = 0; i < kFiles; ++i) {
    const std::string path = "/img/p" + std::to_string(i) + ".gif";
    EXPECT_EQ(site.Count("HEAD", path), 1) << path;
    EXPECT_EQ(site.Count("GET", path), 1) << path;
    EXPECT_EQ(ReadFileBytes(t.File("127.0.0.1/img/p" + std::to_string(i) + ".gif")),
              "GIF89a" + std::to_string(i));
  }
  EXPECT_EQ(site.Count("GET", "/index.html"), 1);
  t.Task.Recount();
  EXPECT_EQ(t.Task.SavedCount, kFiles + 1);
  EXPECT_EQ(t.Task.ErrorCount, 0);
  // Both workers report under their own tag.
  EXPECT_EQ(LinesWith(window, ",成功下载").size(), static_cast<std::size_t>(kFiles + 1));
  const std::string tag0 = "-Thread=" + std::to_string(MakeClientTag(7, 0)) + ",成功下载";
  const std::string tag1 = "-Thread=" + std::to_string(MakeClientTag(7, 1)) + ",成功下载";
  EXPECT_FALSE(LinesWith(window, tag0).empty());
  EXPECT_FALSE(LinesWith(window, tag1).empty());
}

TEST(WorkerWalk, TenWorkersOnAGrowingTableFetchEveryEntryOnceAndAllEnd) {
  // The table grows while the workers wait at its end, page by page and link by link, with links
  // that several pages share: every entry is claimed by one worker, the workers that no new
  // record woke still end with the analysis, and none is left waiting.
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  constexpr int kPages = 12;
  constexpr int kImagesPerPage = 6;
  auto page = [](int p) { return "/p" + std::to_string(p) + ".html"; };
  auto image = [](int p, int i) {
    return "/img/" + std::to_string(p) + "_" + std::to_string(i) + ".gif";
  };
  site.Put("/index.html", PageOf("<html>start</html>"));
  site.Put("/shared.gif", FileOf("GIF89a-shared"));
  for (int p = 0; p < kPages; ++p) {
    site.Put(page(p), PageOf("<html>" + std::to_string(p) + "</html>"));
    for (int i = 0; i < kImagesPerPage; ++i) site.Put(image(p, i), FileOf("GIF89a" + image(p, i)));
  }
  TaskUnderTest t(site.Url("/index.html"));

  RunTask(t.Task, WithWorkers(10, [&](const std::string& url) {
            std::vector<std::string> links;
            if (url == site.Url("/index.html")) {
              for (int p = 0; p < kPages; ++p) links.push_back(site.Url(page(p)));
              return links;
            }
            for (int p = 0; p < kPages; ++p) {
              if (url != site.Url(page(p))) continue;
              links.push_back(site.Url("/shared.gif"));
              for (int i = 0; i < kImagesPerPage; ++i) links.push_back(site.Url(image(p, i)));
            }
            return links;
          }));

  std::vector<std::string> paths = {"/index.html", "/shared.gif"};
  for (int p = 0; p < kPages; ++p) {
    paths.push_back(page(p));
    for (int i = 0; i < kImagesPerPage; ++i) paths.push_back(image(p, i));
  }
  for (const std::string& path : paths) {
    EXPECT_EQ(site.Count("HEAD", path), 1) << path;
    EXPECT_EQ(site.Count("GET", path), 1) << path;
  }
  t.Task.Recount();
  EXPECT_EQ(t.Task.SavedCount, static_cast<std::int32_t>(paths.size()));
  EXPECT_EQ(t.Task.ErrorCount, 0);
  EXPECT_EQ(t.Task.NotDownloadedCount, 0);
  EXPECT_EQ(LinesWith(window, ",成功下载").size(), paths.size());
}

TEST(WorkerWalk, SuccessLinesCarryEntrySizeAndStatusLine) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  site.Put("/a.gif", FileOf(std::string(1234, 'x')));
  TaskUnderTest t(site.Url("/a.gif"));

  RunTask(t.Task, {});

  const std::string url = site.Url("/a.gif");
  const std::string prefix = LinePrefix(t.Task, 0);
  EXPECT_TRUE(window.HasLineContaining(prefix + ",正在下载" + url + "文件大小1234字节"));
  EXPECT_TRUE(
      window.HasLineContaining(prefix + ",成功下载" + url + "文件大小1234字节HTTP/1.1 200 OK"));
  EXPECT_EQ(t.Task.GetStatus(0), Saved);
  EXPECT_EQ(t.Task.GetSize(0), 1234);
  EXPECT_FALSE(std::filesystem::exists(t.File("127.0.0.1/a.gif.tmp")));
}

TEST(WorkerWalk, WorkersWaitAtTheTailUntilTheAnalysisDeclaresTheTableFinished) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  site.Put("/only.gif", FileOf("x"));
  TaskUnderTest t(site.Url("/only.gif"));
  t.Task.MarkRunning();
  TTaskThread worker(t.Task, false, MakeHttpClient());
  FakeAnalysis analysis(t.Task);
  analysis.HoldEnd();

  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (t.Task.GetStatus(0) != Saved && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(t.Task.GetStatus(0), Saved);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(worker.Finished()) << "a worker ended before the table was declared finished";
  // It stands at the last record of the table (the lookup tree's nodes follow the start URL).
  EXPECT_EQ(worker.Position(), t.Task.GetCount() - 1);

  analysis.Release();
  worker.WaitFor();
  EXPECT_TRUE(worker.Finished());
  EXPECT_TRUE(t.Task.AnalysisDone.load());
  t.Task.MarkComplete();
}

TEST(WorkerWalk, AStoppedTaskEndsWorkersThatWaitAtTheTail) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  site.Put("/only.gif", FileOf("x"));
  TaskUnderTest t(site.Url("/only.gif"));
  t.Task.MarkRunning();
  TTaskThread worker(t.Task, false, MakeHttpClient());
  // No analysis thread at all: nobody will ever set AnalysisDone.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (t.Task.GetStatus(0) != Saved && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(t.Task.GetStatus(0), Saved);
  t.Task.MarkStopped();
  worker.WaitFor();
  EXPECT_TRUE(worker.Finished());
  // The worker let go of its client when it ended.
  std::lock_guard<std::mutex> guard(t.Task.WorkersLock);
  ASSERT_EQ(t.Task.HttpClients.size(), 1u);
  EXPECT_EQ(t.Task.HttpClients[0], nullptr);
}

TEST(WorkerWalk, PausingShowsEachWorkersTagAndPosition) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  site.Put("/only.gif", FileOf("x"));
  TaskUnderTest t(site.Url("/only.gif"));
  t.Task.MarkRunning();
  TTaskThread worker(t.Task, false, MakeHttpClient());
  FakeAnalysis analysis(t.Task);
  analysis.HoldEnd();
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (t.Task.GetStatus(0) != Saved && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));

  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  t.Task.Pause();
  const std::int32_t at = t.Task.GetCount() - 1;
  ASSERT_EQ(worker.Position(), at);
  const std::string expected = "tag=" + std::to_string(MakeClientTag(7, 0)) +
                               ",Position=" + std::to_string(at) +
                               ",Status=0,Url=" + t.Task.GetRawUrl(at);
  EXPECT_TRUE(window.HasLineContaining(expected));
  t.Task.MarkRunning();
  analysis.Release();
  worker.WaitFor();
  t.Task.MarkComplete();
}

TEST(WorkerWalk, StopEndsATransferUnderWayAndTheEntryWaitsForTheNextRun) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  // 60 chunks of 1000 bytes, 100 ms apart: six seconds if nobody stops it.
  site.Put("/slow.gif", FileOf(PatternBody(60000)).Slowly(100));
  TaskUnderTest t(site.Url("/slow.gif"));
  t.Task.MarkRunning();
  TTaskThread worker(t.Task, false, MakeHttpClient());
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (site.Count("GET", "/slow.gif") == 0 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  const auto stopped = std::chrono::steady_clock::now();
  t.Task.MarkStopped();
  worker.WaitFor();
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(3));
  EXPECT_EQ(t.Task.GetStatus(0), NotDownloaded);
  EXPECT_FALSE(std::filesystem::exists(t.File("127.0.0.1/slow.gif")));
  EXPECT_FALSE(window.HasLineContaining(LinePrefix(t.Task, 0) + "," + site.Url("/slow.gif") +
                                        ",下载失败。"));
}

TEST(WorkerWalk, AStartPageThatFailsLeavesOneErrorEntryAndTheRunEnds) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;  // serves nothing: every request is a 404
  TaskUnderTest t(site.Url("/index.html"));

  RunTask(t.Task, WithWorkers(2));

  EXPECT_EQ(t.Task.GetStatus(0), DownloadError);
  EXPECT_EQ(site.Count("HEAD", "/index.html"), 1);
  EXPECT_EQ(site.Count("GET", "/index.html"), 0);
  EXPECT_TRUE(window.HasLineContaining("Head错误信息=HTTP/1.1 404 Not Found"));
  // Either of the two workers may be the one that claimed the start page.
  const bool byFirst = window.HasLineContaining(LinePrefix(t.Task, 0, 0) + "," +
                                                site.Url("/index.html") + ",Head失败。");
  const bool bySecond = window.HasLineContaining(LinePrefix(t.Task, 0, 1) + "," +
                                                 site.Url("/index.html") + ",Head失败。");
  EXPECT_TRUE(byFirst != bySecond);
  t.Task.Recount();
  EXPECT_EQ(t.Task.Total, 1);
  EXPECT_EQ(t.Task.ErrorCount, 1);
  EXPECT_EQ(t.Task.SavedCount, 0);
  EXPECT_EQ(t.Task.SavedBytes, 0);
}

TEST(WorkerWalk, AGetThatFailsAfterAGoodHeadIsReportedInRedAndMarksTheEntry) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  site.Put("/broken.gif", FileOf("oops").AnswerGet(500));
  TaskUnderTest t(site.Url("/broken.gif"));

  RunTask(t.Task, {});

  EXPECT_EQ(t.Task.GetStatus(0), DownloadError);
  bool red = false;
  for (const auto& line : window.Lines())
    if (line.Red && line.Text == "下载错误信息=HTTP/1.1 500 Internal Server Error") red = true;
  EXPECT_TRUE(red);
  EXPECT_TRUE(window.HasLineContaining(LinePrefix(t.Task, 0) + "," + site.Url("/broken.gif") +
                                       ",下载失败。"));
  EXPECT_FALSE(std::filesystem::exists(t.File("127.0.0.1/broken.gif")));
  EXPECT_FALSE(std::filesystem::exists(t.File("127.0.0.1/broken.gif.tmp")));
}

TEST(WorkerWalk, ARedirectFoundByTheHeadIsReportedAndTheFetchLandsOnTheTarget) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  site.Put("/old.gif", RedirectOf("/new/pic.gif"));
  site.Put("/new/pic.gif", FileOf("PIC"));
  TaskUnderTest t(site.Url("/old.gif"));

  RunTask(t.Task, {});

  const std::int32_t target = t.Task.FindUrl(site.Url("/new/pic.gif"));
  ASSERT_GT(target, 0);
  EXPECT_EQ(t.Task.GetStatus(0), Redirected);
  EXPECT_EQ(t.Task.ResolveIndex(0), target);
  EXPECT_EQ(t.Task.GetStatus(target), Saved);
  EXPECT_TRUE(window.HasLineContaining(LinePrefix(t.Task, 0) + ",重定向" + site.Url("/old.gif") +
                                       "到" + site.Url("/new/pic.gif")));
  EXPECT_EQ(ReadFileBytes(t.File("127.0.0.1/new/pic.gif")), "PIC");
  EXPECT_EQ(site.Count("GET", "/new/pic.gif"), 1);
  EXPECT_EQ(site.Count("GET", "/old.gif"), 0);
}

TEST(WorkerWalk, ARedirectMetDuringTheGetMovesTheBodyToTheTargetsName) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  site.Put("/dyn.gif", FileOf("HEAD only").RedirectGets("/real/pic.gif"));
  site.Put("/real/pic.gif", FileOf("REAL"));
  TaskUnderTest t(site.Url("/dyn.gif"));

  RunTask(t.Task, {});

  const std::int32_t target = t.Task.FindUrl(site.Url("/real/pic.gif"));
  ASSERT_GT(target, 0);
  EXPECT_EQ(t.Task.GetStatus(0), Redirected);
  EXPECT_EQ(t.Task.GetStatus(target), Saved);
  EXPECT_EQ(t.Task.GetSize(target), 4);
  EXPECT_EQ(ReadFileBytes(t.File("127.0.0.1/real/pic.gif")), "REAL");
  EXPECT_FALSE(std::filesystem::exists(t.File("127.0.0.1/dyn.gif.tmp")));
  EXPECT_FALSE(std::filesystem::exists(t.File("127.0.0.1/real/pic.gif.tmp")));
  EXPECT_TRUE(window.HasLineContaining(LinePrefix(t.Task, 0) + ",成功下载" + site.Url("/dyn.gif")));
}

TEST(WorkerWalk, ARelativeContentLocationRedirectsToTheResolvedUrl) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  site.Put("/doc/", PageOf("<html>x</html>").Location("index.html.en"));
  site.Put("/doc/index.html.en", PageOf("<html>x</html>"));
  TaskUnderTest t(site.Url("/doc/"));

  RunTask(t.Task, {});

  const std::int32_t target = t.Task.FindUrl(site.Url("/doc/index.html.en"));
  ASSERT_GT(target, 0);
  EXPECT_EQ(t.Task.GetStatus(0), Redirected);
  EXPECT_EQ(t.Task.GetStatus(target), Saved);
  EXPECT_EQ(site.Count("GET", "/doc/index.html.en"), 1);
  EXPECT_TRUE(std::filesystem::exists(t.File("127.0.0.1/doc/index.html.en")));
}

TEST(WorkerWalk, AUrlThatClimbsOutOfTheSiteIsStillSavedInsideTheTaskFolder) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  // The server library decodes the path before routing.
  site.Put("/a/../../../escape.gif", FileOf("ESCAPE"));
  TaskUnderTest t(site.Url("/a/%2e%2e/%2e%2e/%2e%2e/escape.gif"));

  RunTask(t.Task, {});

  ASSERT_EQ(site.Count("GET", "/a/../../../escape.gif"), 1);
  EXPECT_EQ(t.Task.GetStatus(0), Saved);
  const auto outside = t.Dir.Path().parent_path();
  EXPECT_FALSE(std::filesystem::exists(outside / "escape.gif"));
  EXPECT_FALSE(std::filesystem::exists(outside.parent_path() / "escape.gif"));
  int inside = 0;
  for (const auto& f : std::filesystem::recursive_directory_iterator(t.Dir.Path()))
    if (f.is_regular_file() && ReadFileBytes(f.path()) == "ESCAPE") ++inside;
  EXPECT_EQ(inside, 1);
}

}  // namespace
}  // namespace qm::test
