// The analysis of fetched pages: what is recorded with which depth and kind, what the saved page
// looks like, which temporary files stay, and how the walk ends.
#include <gtest/gtest.h>

#include <filesystem>

#include "analysis/ParseThread.h"
#include "platform/DateTime.h"
#include "platform/Files.h"
#include "platform/Pacing.h"
#include "support/RecordingWindow.h"
#include "support/TaskSettingsEdit.h"
#include "support/TempDir.h"
#include "task/Task.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

using namespace ::qm::test;

using test::ReadFileBytes;
using test::ScopedRecordingWindow;
using test::TempDir;
using test::WriteFileBytes;

class AnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPacingFactor(0);
    task_.Folder = dir_.TaskFolder();
    task_.Loaded = true;
  }
  void TearDown() override { SetPacingFactor(1); }

  // An entry as a worker leaves it: fetched, its body in the temporary file.
  std::int32_t AddFetched(const std::string& url, const std::string& body, std::int32_t layer = 0,
                          std::int32_t kind = 0, std::int32_t referId = 0) {
    TExtendUrlRec rec = EmptyUrlRec();
    rec.Url.Set(url);
    rec.Status = Downloaded;
    rec.Size = static_cast<std::int32_t>(body.size());
    rec.FileTime = UnixToLocalDateTime(1700000000);
    rec.Layer = layer;
    rec.ContentKind = kind;
    rec.ReferId = referId;
    rec.OwnBase = kind == 10 ? 0 : 1;
    const std::int32_t index = task_.AddUrl(rec);
    WriteFileBytes(Native(url) + ".tmp", body);
    return index;
  }
  std::int32_t AddWaiting(const std::string& url) {
    TExtendUrlRec rec = EmptyUrlRec();
    rec.Url.Set(url);
    rec.OwnBase = 1;
    return task_.AddUrl(rec);
  }
  std::string Native(const std::string& url) { return NativePath(LocalPathOf(task_.Folder, url)); }

  // Runs the analysis of one entry on this thread (the walk of a stopped task ends at once).
  void Analyse(std::int32_t index) {
    if (task_.StartUrl().empty()) task_.SetStartUrl(task_.GetUrl(0));
    ParseThread thread(task_);
    thread.WaitFor();
    thread.Analyse(index);
  }
  TExtendUrlRec Find(const std::string& url) {
    const std::int32_t i = task_.FindUrl(url);
    EXPECT_GE(i, 0) << url << " not recorded";
    return i >= 0 ? task_.CopyRecord(i) : EmptyUrlRec();
  }

  ScopedRecordingWindow window_;
  TempDir dir_;
  TTask task_;
};

const char* kStartPage =
    "<html><head><link rel=\"stylesheet\" href=\"s.css\"><script src=\"app.js\"></script></head>\n"
    "<body><img src=\"img/a.gif\"><frame src=\"f.html\">\n"
    "<a href=\"b.html\">b</a> <a href=\"doc.pdf\">d</a> <a href=\"setup.exe\">x</a>\n"
    "<a href=\"http://other.test/o.html\">o</a></body></html>";

TEST_F(AnalysisTest, PageRecordsLinksByGroupAndSavesTheRewrittenPage) {
  const std::int32_t page = AddFetched("http://h.test/index.html", kStartPage);
  WriteFileBytes(Native("http://h.test/app.js") + ".tmp", "var x = 1;");
  Analyse(page);

  EXPECT_EQ(task_.GetStatus(page), Saved);
  const TExtendUrlRec img = Find("http://h.test/img/a.gif");
  EXPECT_EQ(img.ContentKind, 1);
  EXPECT_EQ(img.Layer, 0);
  EXPECT_EQ(img.ReferId, page);
  const TExtendUrlRec js = Find("http://h.test/app.js");
  EXPECT_EQ(js.ContentKind, 10);
  EXPECT_EQ(js.OwnBase, 0);
  EXPECT_EQ(Find("http://h.test/s.css").ContentKind, 0);
  EXPECT_EQ(Find("http://h.test/f.html").Layer, 0);
  const TExtendUrlRec anchor = Find("http://h.test/b.html");
  EXPECT_EQ(anchor.Layer, 1);
  EXPECT_EQ(anchor.ContentKind, 0);
  EXPECT_EQ(Find("http://h.test/doc.pdf").ContentKind, 4);
  // Programs are not wanted with Content 1, and other hosts fail the scanner's host test.
  EXPECT_EQ(task_.FindUrl("http://h.test/setup.exe"), -1);
  EXPECT_EQ(task_.FindUrl("http://other.test/o.html"), -1);

  const std::string saved = ReadFileBytes(Native("http://h.test/index.html"));
  EXPECT_NE(saved.find("<a href=\"setup.exe\">"), std::string::npos);
  EXPECT_NE(saved.find("href=\"http://other.test/o.html\""), std::string::npos);
  EXPECT_NE(saved.find("<img src=\"img/a.gif\">"), std::string::npos);
  EXPECT_FALSE(FileExists(Native("http://h.test/index.html") + ".tmp"));
  TDateTime date = 0;
  ASSERT_TRUE(GetFileDate(Native("http://h.test/index.html"), date));
  EXPECT_EQ(LocalDateTimeToUnix(date), 1700000000);

  EXPECT_TRUE(window_.HasLineContaining("正在解析第0个,http://h.test/index.html"));
  bool resultLine = false;
  for (const auto& line : window_.Lines()) {
    if (line.Text.rfind("Url=http://h.test/index.html，源文件大小" +
                            std::to_string(strlen(kStartPage)) + "字节，解析成功,用时time=",
                        0) == 0) {
      resultLine = true;
      EXPECT_NE(line.Text.find("秒新增6个链接，保存为index.html"), std::string::npos) << line.Text;
    }
  }
  EXPECT_TRUE(resultLine);
}

TEST_F(AnalysisTest, DepthAndContentLimitWhatIsRecorded) {
  SetDepth(task_, 0);
  SetContent(task_, 0);  // pages only
  const std::int32_t page = AddFetched("http://h.test/index.html", kStartPage);
  WriteFileBytes(Native("http://h.test/app.js") + ".tmp", "");
  Analyse(page);
  // Depth 0: no anchor of the start page; pages only: no image; frames, styles, scripts still.
  EXPECT_EQ(task_.FindUrl("http://h.test/b.html"), -1);
  EXPECT_EQ(task_.FindUrl("http://h.test/img/a.gif"), -1);
  EXPECT_GE(task_.FindUrl("http://h.test/f.html"), 0);
  EXPECT_GE(task_.FindUrl("http://h.test/s.css"), 0);
  EXPECT_GE(task_.FindUrl("http://h.test/app.js"), 0);
  // The links are rewritten all the same.
  EXPECT_NE(ReadFileBytes(Native("http://h.test/index.html")).find("<a href=\"b.html\">"),
            std::string::npos);
}

TEST_F(AnalysisTest, MissingTemporaryFileIsADownloadError) {
  const std::int32_t page = AddFetched("http://h.test/index.html", "<html></html>");
  std::filesystem::remove(Native("http://h.test/index.html") + ".tmp");
  Analyse(page);
  EXPECT_EQ(task_.GetStatus(page), DownloadError);
  const auto lines = window_.Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_TRUE(lines[lines.size() - 2].Red);
  EXPECT_EQ(lines[lines.size() - 2].Text.rfind("解析载入错误信息=", 0), 0u);
  EXPECT_TRUE(lines.back().Red);
  EXPECT_EQ(lines.back().Text, "解析失败,Position=0,Url=http://h.test/index.html");
}

TEST_F(AnalysisTest, PageWaitsForItsScriptFileAndScriptKeepsItsTemporaryFile) {
  const std::int32_t page = AddFetched("http://h.test/index.html",
                                       "<script src=\"app.js\"></script><a href=\"b.html\">b</a>");
  const std::int32_t script = AddWaiting("http://h.test/app.js");
  Analyse(page);
  // The script is still on its way: the page stays fetched, its temporary file stays.
  EXPECT_EQ(task_.GetStatus(page), Downloaded);
  EXPECT_TRUE(FileExists(Native("http://h.test/index.html") + ".tmp"));
  EXPECT_FALSE(window_.HasLineContaining("解析成功"));

  // The script arrives and is analysed: it keeps its temporary file for the pages that use it.
  task_.SetStatus(script, Downloaded);
  WriteFileBytes(Native("http://h.test/app.js") + ".tmp",
                 "function go(){ window.open('c.html'); }");
  Analyse(script);
  EXPECT_EQ(task_.GetStatus(script), Saved);
  EXPECT_TRUE(FileExists(Native("http://h.test/app.js") + ".tmp"));

  Analyse(page);
  EXPECT_EQ(task_.GetStatus(page), Saved);
  EXPECT_FALSE(FileExists(Native("http://h.test/index.html") + ".tmp"));
}

TEST_F(AnalysisTest, SavedPageReplacesAnOlderCopyWithExactlyTheRewrittenBytes) {
  // An update run: the saved file of the last run is there, longer than the new page. The
  // absolute link becomes a shorter relative one, so the saved page is shorter than the fetched.
  WriteFileBytes(Native("http://h.test/docs/index.html"), std::string(50000, 'o'));
  const std::int32_t page = AddFetched("http://h.test/docs/index.html",
                                       "<a href=\"http://h.test/docs/sub/b.html\">b</a>");
  Analyse(page);
  EXPECT_EQ(task_.GetStatus(page), Saved);
  EXPECT_EQ(ReadFileBytes(Native("http://h.test/docs/index.html")), "<a href=\"sub/b.html\">b</a>");
  EXPECT_FALSE(FileExists(Native("http://h.test/docs/index.html") + ".tmp"));
}

TEST_F(AnalysisTest, PageThatCannotBeSavedKeepsItsFetchedBytesForARepair) {
  // A folder holds the page's final name: the save fails, and the fetched bytes stay as they came
  // so that a repair analyses the page again.
  const std::string body = "<a href=\"http://h.test/b.html\">b</a>";
  const std::int32_t page = AddFetched("http://h.test/index.html", body);
  std::filesystem::create_directories(Native("http://h.test/index.html") + "/inside");
  Analyse(page);
  EXPECT_EQ(task_.GetStatus(page), AnalysisError);
  EXPECT_EQ(ReadFileBytes(Native("http://h.test/index.html") + ".tmp"), body);
  EXPECT_TRUE(window_.HasLineContaining("解析错误信息=无法保存文件"));
}

TEST_F(AnalysisTest, PageWhoseScriptFailedIsSaved) {
  const std::int32_t page =
      AddFetched("http://h.test/index.html", "<script src=\"app.js\"></script>");
  const std::int32_t script = AddWaiting("http://h.test/app.js");
  task_.SetStatus(script, DownloadError);
  Analyse(page);
  EXPECT_EQ(task_.GetStatus(page), Saved);
}

TEST_F(AnalysisTest, NonPageFetchedAsPageKeepsItsBytes) {
  // A frame without a page extension is fetched as a page; its bytes must not be thrown away.
  const std::int32_t page = AddFetched("http://h.test/index.html", "x");
  const std::int32_t other = AddFetched("http://h.test/data/blob", "binary\x01\x02", 0, 0, page);
  Analyse(other);
  EXPECT_EQ(task_.GetStatus(other), Saved);
  EXPECT_EQ(ReadFileBytes(Native("http://h.test/data/blob")), "binary\x01\x02");
  EXPECT_FALSE(FileExists(Native("http://h.test/data/blob") + ".tmp"));
}

TEST_F(AnalysisTest, DirectoryScopeAsksOnTheStartPage) {
  SetScope(task_, 2);
  const std::string page =
      "<a href=\"c/d.html\">in</a><a href=\"../x/y.html\">out</a>"
      "<a href=\"../z/w.html\">other</a>";
  window_.OnAskExtraDirs = [](TTask& task) {
    for (auto& dir : task.ExtraDirs)
      if (dir.Dir.Get() == "a\\x\\") dir.Selected = 1;
  };
  const std::int32_t start = AddFetched("http://h.test/a/b/index.html", page);
  Analyse(start);
  ASSERT_EQ(task_.ExtraDirs.size(), 2u);
  EXPECT_GE(task_.FindUrl("http://h.test/a/b/c/d.html"), 0);
  EXPECT_GE(task_.FindUrl("http://h.test/a/x/y.html"), 0);
  EXPECT_EQ(task_.FindUrl("http://h.test/a/z/w.html"), -1);
}

TEST_F(AnalysisTest, WalkAnalysesEverythingAndDeclaresTheTableDone) {
  const std::int32_t start = AddFetched("http://h.test/index.html", "<a href=\"b.html\">b</a>");
  task_.State = Running;
  {
    ParseThread thread(task_);
    // The walk waits at the new anchor until a worker has fetched it.
    for (int i = 0; i < 2000 && task_.FindUrl("http://h.test/b.html") < 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::int32_t b = task_.FindUrl("http://h.test/b.html");
    ASSERT_GE(b, 0);
    EXPECT_FALSE(task_.AnalysisDone.load());
    WriteFileBytes(Native("http://h.test/b.html") + ".tmp", "<p>b</p>");
    task_.SetStatus(b, Downloaded);
    task_.PushAnalysis(b);
    for (int i = 0; i < 5000 && !task_.AnalysisDone.load(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(task_.AnalysisDone.load());
    EXPECT_EQ(task_.GetStatus(b), Saved);
  }
  EXPECT_EQ(task_.GetStatus(start), Saved);
}

TEST_F(AnalysisTest, StoppedTaskEndsTheWalkWithoutDeclaringItDone) {
  AddWaiting("http://h.test/index.html");
  task_.State = Running;
  ParseThread thread(task_);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  task_.MarkStopped();
  thread.WaitFor();
  EXPECT_TRUE(thread.Finished());
  EXPECT_FALSE(task_.AnalysisDone.load());
}

}  // namespace
}  // namespace qm
