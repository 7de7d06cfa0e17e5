// File dates, the up-to-date test of non-page files, and update runs with their three switches.
#include <gtest/gtest.h>

#include "WorkerHarness.h"
#include "config/Setting.h"
#include "platform/Files.h"

namespace qm::test {
namespace {

TDateTime FileDateOf(const std::filesystem::path& p) {
  TDateTime date = 0;
  EXPECT_TRUE(GetFileDate(p.string(), date)) << p;
  return date;
}

TEST(WorkerFileDates, ASavedFileCarriesTheServersDateToTheSecond) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  const std::time_t modified = SomePastTime() + 37;  // an odd second: no 2-second rounding
  site.Put("/a.png", FileOf("PNG").Modified(modified));
  site.Put("/undated.png", FileOf("PNG2"));
  TaskUnderTest t(site.Url("/a.png"));
  t.Add(site.Url("/undated.png"));

  const TDateTime before = Now();
  RunTask(t.Task, {});

  EXPECT_EQ(LocalDateTimeToUnix(FileDateOf(t.File("127.0.0.1/a.png"))), modified);
  EXPECT_EQ(MillisecondsBetween(t.Task.GetFileTime(0), UnixToLocalDateTime(modified)), 0);
  // Without a server date the file gets the time of the download.
  const TDateTime undated = FileDateOf(t.File("127.0.0.1/undated.png"));
  EXPECT_GE(undated, before - 2.0 / kSecondsPerDay);
  EXPECT_LE(undated, Now() + 2.0 / kSecondsPerDay);
}

TEST(WorkerFileDates, AnUpToDateNonPageFileIsNotFetchedAgain) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  const std::time_t modified = SomePastTime() + 1;
  site.Put("/pic.gif", FileOf("GIF-one").Modified(modified));
  site.Put("/nodate.gif", FileOf("GIF-two"));

  {  // A first task fetches both.
    TaskUnderTest first(site.Url("/pic.gif"), 3);
    first.Add(site.Url("/nodate.gif"));
    RunTask(first.Task, {});
    ASSERT_EQ(site.Count("GET", "/pic.gif"), 1);
    ASSERT_EQ(site.Count("GET", "/nodate.gif"), 1);

    // A new task over the same folder: the dated file is current, the undated one is not known
    // to be.
    TTask& task = first.Task;
    TaskUnderTest second(site.Url("/pic.gif"), 4);
    second.Task.Folder = task.Folder;
    second.Add(site.Url("/nodate.gif"));
    RunTask(second.Task, {});

    EXPECT_EQ(site.Count("GET", "/pic.gif"), 1);
    EXPECT_EQ(site.Count("HEAD", "/pic.gif"), 2);
    EXPECT_EQ(site.Count("GET", "/nodate.gif"), 2);
    EXPECT_EQ(second.Task.GetStatus(0), Saved);
    EXPECT_TRUE(window.HasLineContaining(LinePrefix(second.Task, 0) + "," + site.Url("/pic.gif") +
                                         "已存在,且是最新的，不需下载," +
                                         FormatDateTimeIso(UnixToLocalDateTime(modified))));
  }
}

TEST(WorkerFileDates, WithTheSwitchOffAnExistingFileIsFetchedAnyway) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  AutoUpdateNonPages = false;
  TestSite site;
  const std::time_t modified = SomePastTime();
  site.Put("/pic.gif", FileOf("GIF-new").Modified(modified));
  TaskUnderTest t(site.Url("/pic.gif"));
  std::filesystem::create_directories(t.File("127.0.0.1"));
  WriteFileBytes(t.File("127.0.0.1/pic.gif"), "GIF-old");
  ASSERT_TRUE(SetFileDate(t.File("127.0.0.1/pic.gif").string(), UnixToLocalDateTime(modified)));

  RunTask(t.Task, {});

  EXPECT_EQ(site.Count("GET", "/pic.gif"), 1);
  EXPECT_EQ(ReadFileBytes(t.File("127.0.0.1/pic.gif")), "GIF-new");
}

// A task as it stands after an earlier run: every entry saved with the date the server gave then.
struct UpdateSite {
  TestSite site;
  std::time_t oldDate = SomePastTime(60);
  std::time_t newDate = SomePastTime(2);
  std::unique_ptr<TaskUnderTest> t;
  std::int32_t staticPage, indexHtm, picture, unchanged, changed, failed;

  UpdateSite() {
    const auto page = [](std::time_t date) { return PageOf("<html>page</html>").Modified(date); };
    site.Put("/index.html", page(newDate));
    site.Put("/about.html", page(newDate));
    site.Put("/sub/index.htm", page(newDate));
    site.Put("/pic.gif", FileOf("GIF").Modified(newDate));
    site.Put("/same.php", page(oldDate));
    site.Put("/news.php", page(newDate));
    site.Put("/err.gif", FileOf("GIF").Modified(newDate));

    t = std::make_unique<TaskUnderTest>(site.Url("/index.html"));
    staticPage = t->Add(site.Url("/about.html"), Saved, 0, 0);
    indexHtm = t->Add(site.Url("/sub/index.htm"), Saved, 0, 0);
    picture = t->Add(site.Url("/pic.gif"), Saved, 0, 1);
    unchanged = t->Add(site.Url("/same.php"), Saved, 0, 0);
    changed = t->Add(site.Url("/news.php"), Saved, 0, 0);
    failed = t->Add(site.Url("/err.gif"), DownloadError, 0, 1);
    t->Task.SetStatus(0, Saved);
    for (std::int32_t i = 0; i < t->Task.GetCount(); ++i)
      if (t->Task.GetKind(i) == 1) t->Task.SetFileTime(i, UnixToLocalDateTime(oldDate));
  }
  TTask& task() { return t->Task; }
  std::string Line(std::int32_t entry, const std::string& path, const std::string& text) {
    return LinePrefix(task(), entry) + "," + site.Url(path) + text;
  }
};

TEST(WorkerUpdate, WithAllThreeSwitchesOnOnlyPagesAreExamined) {
  WorkerTestEnvironment env;  // the three switches start on
  ScopedRecordingWindow window;
  UpdateSite u;

  RunTask(u.task(), AsUpdateRun());

  // The start page and "index.htm" pages are always examined.
  EXPECT_EQ(u.site.Count("HEAD", "/index.html"), 1);
  EXPECT_EQ(u.site.Count("HEAD", "/sub/index.htm"), 1);
  EXPECT_EQ(u.site.Count("GET", "/index.html"), 1);
  // A static page and a non-page file are skipped with their lines.
  EXPECT_EQ(u.site.Count("HEAD", "/about.html"), 0);
  EXPECT_TRUE(
      window.HasLineContaining(u.Line(u.staticPage, "/about.html", "是静态网页，不要求更新,")));
  EXPECT_EQ(u.site.Count("HEAD", "/pic.gif"), 0);
  EXPECT_TRUE(window.HasLineContaining(u.Line(u.picture, "/pic.gif", "不是网页文件，不要求更新,")));
  // An unchanged dynamic page is left alone, a changed one fetched again and re-analysed.
  EXPECT_EQ(u.site.Count("HEAD", "/same.php"), 1);
  EXPECT_EQ(u.site.Count("GET", "/same.php"), 0);
  EXPECT_TRUE(window.HasLineContaining(
      u.Line(u.unchanged, "/same.php",
             "是最新的，不需更新," + FormatDateTimeIso(UnixToLocalDateTime(u.oldDate)))));
  EXPECT_EQ(u.site.Count("GET", "/news.php"), 1);
  EXPECT_TRUE(window.HasLineContaining(LinePrefix(u.task(), u.changed) + "成功更新" +
                                       u.site.Url("/news.php")));
  // Handed to the analysis again (which may or may not have taken it before its walk ended).
  const std::int32_t changedStatus = u.task().GetStatus(u.changed);
  EXPECT_TRUE(changedStatus == Downloaded || changedStatus == Saved) << changedStatus;
  EXPECT_EQ(MillisecondsBetween(u.task().GetFileTime(u.changed), UnixToLocalDateTime(u.newDate)),
            0);
  // Failed entries are not retried.
  EXPECT_EQ(u.site.Count("HEAD", "/err.gif"), 0);
  EXPECT_EQ(u.task().GetStatus(u.failed), DownloadError);
}

TEST(WorkerUpdate, WithTheSwitchesOffEveryEntryIsExaminedAndFailuresRetried) {
  WorkerTestEnvironment env;
  NoUpdateStatic = false;
  UpdatePagesOnly = false;
  NoUpdateErrors = false;
  ScopedRecordingWindow window;
  UpdateSite u;

  RunTask(u.task(), AsUpdateRun());

  for (const char* path : {"/index.html", "/about.html", "/sub/index.htm", "/pic.gif", "/same.php",
                           "/news.php", "/err.gif"})
    EXPECT_EQ(u.site.Count("HEAD", path), 1) << path;
  EXPECT_EQ(u.site.Count("GET", "/about.html"), 1);
  EXPECT_EQ(u.site.Count("GET", "/pic.gif"), 1);
  EXPECT_EQ(u.site.Count("GET", "/same.php"), 0);
  EXPECT_EQ(u.site.Count("GET", "/err.gif"), 1);
  EXPECT_EQ(u.task().GetStatus(u.failed), Saved);
  EXPECT_EQ(ReadFileBytes(u.t->File("127.0.0.1/err.gif")), "GIF");
  EXPECT_TRUE(window.HasLineContaining(LinePrefix(u.task(), u.picture) + "正在更新" +
                                       u.site.Url("/pic.gif") + "文件大小3字节," +
                                       FormatDateTimeIso(UnixToLocalDateTime(u.newDate))));
}

TEST(WorkerUpdate, OnlyTheStaticSwitchOnStillExaminesNonPageFiles) {
  WorkerTestEnvironment env;
  UpdatePagesOnly = false;
  ScopedRecordingWindow window;
  UpdateSite u;

  RunTask(u.task(), AsUpdateRun());

  EXPECT_EQ(u.site.Count("HEAD", "/about.html"), 0);
  EXPECT_EQ(u.site.Count("HEAD", "/sub/index.htm"), 1);
  EXPECT_EQ(u.site.Count("GET", "/pic.gif"), 1);
  EXPECT_EQ(u.site.Count("HEAD", "/err.gif"), 0);
}

TEST(WorkerUpdate, AnUpdatedFileOnDiskThatIsCurrentIsNotFetched) {
  WorkerTestEnvironment env;
  UpdatePagesOnly = false;
  ScopedRecordingWindow window;
  UpdateSite u;
  // The picture on disk already has the server's new date (the table still holds the old one).
  std::filesystem::create_directories(u.t->File("127.0.0.1"));
  WriteFileBytes(u.t->File("127.0.0.1/pic.gif"), "GIF");
  ASSERT_TRUE(SetFileDate(u.t->File("127.0.0.1/pic.gif").string(), UnixToLocalDateTime(u.newDate)));

  RunTask(u.task(), AsUpdateRun());

  EXPECT_EQ(u.site.Count("HEAD", "/pic.gif"), 1);
  EXPECT_EQ(u.site.Count("GET", "/pic.gif"), 0);
  EXPECT_TRUE(window.HasLineContaining(
      u.Line(u.picture, "/pic.gif",
             "已存在,且是最新的，不需更新," + FormatDateTimeIso(UnixToLocalDateTime(u.newDate)))));
  EXPECT_EQ(u.task().GetStatus(u.picture), Saved);
}

}  // namespace
}  // namespace qm::test
