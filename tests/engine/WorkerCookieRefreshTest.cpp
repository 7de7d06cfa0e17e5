// Cookies a HEAD brings back, how they reach the requests for linked entries, and pages that do
// nothing but refresh.
#include <gtest/gtest.h>

#include <algorithm>

#include "WorkerHarness.h"
#include "config/Setting.h"

namespace qm::test {
namespace {

TEST(WorkerCookies, CookiesFromTheStartPagesHeadReachEveryLinkedRequest) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  site.Put("/index.html", PageOf("<html>start</html>").Cookie("sid=xyz; path=/").Cookie("lang=en"));
  std::vector<std::string> links;
  for (int i = 0; i < 8; ++i) {
    const std::string path = "/f" + std::to_string(i) + ".gif";
    site.Put(path, FileOf("GIF"));
    links.push_back(site.Url(path));
  }
  TaskUnderTest t(site.Url("/index.html"));

  RunTask(t.Task, WithWorkers(3, [&](const std::string& page) {
            return page == site.Url("/index.html") ? links : std::vector<std::string>{};
          }));

  // The start page's own GET already carries them.
  const auto startGets = site.Requests("GET", "/index.html");
  ASSERT_EQ(startGets.size(), 1u);
  EXPECT_EQ(startGets[0].Cookie, "sid=xyz; lang=en");
  EXPECT_EQ(t.Task.UrlFlags[0].HasCookies, 1);
  EXPECT_EQ(t.Task.UrlFlags[0].Cookies, "sid=xyz; lang=en");
  // Whichever worker fetched a linked file, it sent the cookies with HEAD and GET.
  for (int i = 0; i < 8; ++i) {
    const std::string path = "/f" + std::to_string(i) + ".gif";
    const auto heads = site.Requests("HEAD", path);
    const auto gets = site.Requests("GET", path);
    ASSERT_EQ(heads.size(), 1u) << path;
    ASSERT_EQ(gets.size(), 1u) << path;
    EXPECT_EQ(heads[0].Cookie, "sid=xyz; lang=en") << path;
    EXPECT_EQ(gets[0].Cookie, "sid=xyz; lang=en") << path;
    EXPECT_EQ(gets[0].Referer, site.Url("/index.html")) << path;
  }
}

// A cookie set for a path is not limited to it: the worker keeps names and values only, and the
// cookie reaches linked files inside and outside that path alike.
TEST(WorkerCookies, ACookiePathSetByTheServerDoesNotLimitWhereItGoes) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  site.Put("/members/index.html", PageOf("<html>in</html>").Cookie("sid=m1; Path=/members/"));
  site.Put("/members/a.gif", FileOf("A"));
  site.Put("/public/b.gif", FileOf("B"));
  site.Put("/c.gif", FileOf("C"));
  TaskUnderTest t(site.Url("/members/index.html"));
  const std::vector<std::string> links = {site.Url("/members/a.gif"), site.Url("/public/b.gif"),
                                          site.Url("/c.gif")};

  RunTask(t.Task, WithWorkers(1, [&](const std::string& page) {
            return page == site.Url("/members/index.html") ? links : std::vector<std::string>{};
          }));

  for (const char* path : {"/members/a.gif", "/public/b.gif", "/c.gif"}) {
    const auto gets = site.Requests("GET", path);
    ASSERT_EQ(gets.size(), 1u) << path;
    EXPECT_EQ(gets[0].Cookie, "sid=m1") << path;
  }
}

TEST(WorkerCookies, AFailedHeadThatSetsACookieStillCounts) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  // The HEAD is refused but hands out the cookie; the GET works.
  site.Put("/gate.gif", FileOf("GATE").Cookie("pass=1").Answer(403).AnswerGet(200));
  TaskUnderTest t(site.Url("/gate.gif"));

  RunTask(t.Task, {});

  EXPECT_TRUE(window.HasLineContaining("Head错误信息=HTTP/1.1 403 Forbidden"));
  EXPECT_FALSE(window.HasLineContaining("Head失败"));
  const auto gets = site.Requests("GET", "/gate.gif");
  ASSERT_EQ(gets.size(), 1u);
  EXPECT_EQ(gets[0].Cookie, "pass=1");
  EXPECT_EQ(t.Task.GetStatus(0), Saved);
  EXPECT_EQ(ReadFileBytes(t.File("127.0.0.1/gate.gif")), "GATE");
}

TEST(WorkerCookies, SystemCookiesOfTheStartPageAreSentFromTheFirstRequest) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  site.Put("/a.gif", FileOf("A"));
  TaskUnderTest t(site.Url("/a.gif"));
  const auto store = t.Dir.Path() / "cookies.txt";
  WriteFileBytes(store, "127.0.0.1\tFALSE\t/\tFALSE\t0\tuser\tbob\n");
  const char* old = std::getenv("QUILLMOSS_COOKIES");
  const std::string saved = old ? old : "";
  setenv("QUILLMOSS_COOKIES", store.c_str(), 1);
  UseSystemCookies = true;

  RunTask(t.Task, {});

  if (old)
    setenv("QUILLMOSS_COOKIES", saved.c_str(), 1);
  else
    unsetenv("QUILLMOSS_COOKIES");
  const auto heads = site.Requests("HEAD", "/a.gif");
  ASSERT_EQ(heads.size(), 1u);
  EXPECT_EQ(heads[0].Cookie, "user=bob");
}

// ---------------------------------------------------------------------------------------------

TEST(WorkerRefresh, ARefreshOnlyPageIsFetchedTwiceThreeSecondsApartAndNotAnalysed) {
  WorkerTestEnvironment env(1.0);  // real pauses: the retry waits three seconds
  ScopedRecordingWindow window;
  TestSite site;
  std::string refresh =
      "<html><head><META HTTP-EQUIV=REFRESH CONTENT=\"0; URL=/index.html\"></head></html>";
  refresh.resize(400, ' ');
  site.Put("/refresh.html", PageOf(refresh).Cookie("visited=1"));
  TaskUnderTest t(site.Url("/refresh.html"));

  const auto analysed = RunTask(t.Task, {});

  EXPECT_TRUE(analysed.empty());
  const auto gets = site.Requests("GET", "/refresh.html");
  ASSERT_EQ(gets.size(), 2u);
  EXPECT_GE(gets[1].At - gets[0].At, std::chrono::milliseconds(3000));
  EXPECT_EQ(site.Count("HEAD", "/refresh.html"), 1);
  EXPECT_EQ(gets[1].Cookie, "visited=1");
  EXPECT_EQ(t.Task.GetStatus(0), Saved);
  EXPECT_EQ(LinesWith(window, ",成功下载").size(), 2u);
  // Kept as fetched, under its final name.
  EXPECT_EQ(ReadFileBytes(t.File("127.0.0.1/refresh.html")), refresh);
  EXPECT_FALSE(std::filesystem::exists(t.File("127.0.0.1/refresh.html.tmp")));
}

TEST(WorkerRefresh, AQuotedRefreshOrALongPageIsAnalysedAsUsual) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  const std::string quoted =
      "<html><head><meta http-equiv=\"refresh\" content=\"0; url=/x.html\"></head></html>";
  std::string longPage =
      "<html><head><META HTTP-EQUIV=REFRESH CONTENT=\"0; URL=/x.html\"></head></html>";
  longPage.resize(513, ' ');
  std::string noContent = "<html><head><META HTTP-EQUIV=REFRESH></head></html>";
  site.Put("/quoted.html", PageOf(quoted));
  site.Put("/long.html", PageOf(longPage));
  site.Put("/nocontent.html", PageOf(noContent));
  TaskUnderTest t(site.Url("/quoted.html"));
  const std::int32_t longIndex = t.Add(site.Url("/long.html"), NotDownloaded, 0, 1);
  const std::int32_t noContentIndex = t.Add(site.Url("/nocontent.html"), NotDownloaded, 0, 0);

  auto analysed = RunTask(t.Task, {});

  std::sort(analysed.begin(), analysed.end());
  EXPECT_EQ(analysed, (std::vector<std::int32_t>{0, longIndex, noContentIndex}));
  for (const char* path : {"/quoted.html", "/long.html", "/nocontent.html"})
    EXPECT_EQ(site.Count("GET", path), 1) << path;
  // A fetched page counts as a page, whatever the link that found it said.
  EXPECT_EQ(t.Task.GetContentKind(longIndex), 0);
}

}  // namespace
}  // namespace qm::test
