// The analysis of style sheets and of pages with style, srcset and media links: what is recorded,
// what the saved file holds, and the settings switch that turns all of it off.
#include <gtest/gtest.h>

#include "analysis/ParseThread.h"
#include "config/Setting.h"
#include "platform/DateTime.h"
#include "platform/Files.h"
#include "platform/Pacing.h"
#include "support/RecordingWindow.h"
#include "support/TempDir.h"
#include "task/Task.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

using test::ReadFileBytes;
using test::ScopedRecordingWindow;
using test::TempDir;
using test::WriteFileBytes;

class StyleAnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPacingFactor(0);
    task_.Folder = dir_.TaskFolder();
    task_.Loaded = true;
  }
  void TearDown() override {
    SetPacingFactor(1);
    StyleAndMediaLinks = true;
  }

  std::int32_t AddFetched(const std::string& url, const std::string& body, std::int32_t layer = 0,
                          std::int32_t referId = 0) {
    TExtendUrlRec rec = EmptyUrlRec();
    rec.Url.Set(url);
    rec.Status = Downloaded;
    rec.Size = static_cast<std::int32_t>(body.size());
    rec.FileTime = UnixToLocalDateTime(1700000000);
    rec.Layer = layer;
    rec.ReferId = referId;
    rec.OwnBase = 1;
    const std::int32_t index = task_.AddUrl(rec);
    WriteFileBytes(Native(url) + ".tmp", body);
    return index;
  }
  std::string Native(const std::string& url) { return NativePath(LocalPathOf(task_.Folder, url)); }
  std::string SavedText(const std::string& url) { return ReadFileBytes(Native(url)); }

  void Analyse(std::int32_t index) {
    if (task_.StartUrl().empty()) task_.SetStartUrl(task_.GetUrl(0));
    ParseThread thread(task_);
    thread.WaitFor();
    thread.Analyse(index);
  }

  ScopedRecordingWindow window_;
  TempDir dir_;
  TTask task_;
};

const char* kPage =
    "<html><head><link rel=stylesheet href=\"css/site.css\">"
    "<style>body{background:url(/img/bg.png)}</style></head><body>"
    "<img src=\"img/a.png\" srcset=\"img/a.png 1x, /img/a@2x.png 2x\">"
    "<video src=\"/media/m.mp4\" poster=\"/media/p.jpg\"></video>"
    "<a href=\"/img/a@2x.png\">large</a><div style=\"background:url(img/tile.gif)\">"
    "</body></html>";

TEST_F(StyleAnalysisTest, SheetLinksAreRecordedAsItsEmbeddedFilesAndRewritten) {
  AddFetched("http://h.test/d/index.html", "<html></html>");
  const std::int32_t sheet =
      AddFetched("http://h.test/d/css/site.css",
                 "@import url(\"parts/more.css\");\n.a{background:url(/img/x.png)}\n"
                 "/* url(old.png) */ .b{background:url(data:image/gif;base64,R0lGOD==)}\n"
                 "@font-face{src:url(../fonts/f.woff)}",
                 1, 0);
  Analyse(sheet);

  EXPECT_EQ(task_.GetStatus(sheet), Saved);
  EXPECT_EQ(SavedText("http://h.test/d/css/site.css"),
            "@import url(\"parts/more.css\");\n.a{background:url(../../img/x.png)}\n"
            "/* url(old.png) */ .b{background:url(data:image/gif;base64,R0lGOD==)}\n"
            "@font-face{src:url(../fonts/f.woff)}");
  struct Expected {
    const char* url;
    std::int32_t kind;
  } const expected[] = {{"http://h.test/d/css/parts/more.css", 0},
                        {"http://h.test/img/x.png", 1},
                        {"http://h.test/d/fonts/f.woff", -1}};
  for (const Expected& e : expected) {
    const std::int32_t i = task_.FindUrl(e.url);
    ASSERT_GE(i, 0) << e.url;
    const TExtendUrlRec rec = task_.CopyRecord(i);
    EXPECT_EQ(rec.ContentKind, e.kind) << e.url;
    EXPECT_EQ(rec.Layer, 1);
    EXPECT_EQ(rec.ReferId, sheet);
    EXPECT_EQ(rec.OwnBase, 1);
  }
  EXPECT_TRUE(window_.HasLineContaining("新增3个链接"));
}

TEST_F(StyleAnalysisTest, PageStyleSrcsetAndMediaLinksAreRecordedOnce) {
  const std::int32_t page = AddFetched("http://h.test/d/index.html", kPage);
  Analyse(page);

  EXPECT_EQ(SavedText("http://h.test/d/index.html"),
            "<html><head><link rel=stylesheet href=\"css/site.css\">"
            "<style>body{background:url(../img/bg.png)}</style></head><body>"
            "<img src=\"img/a.png\" srcset=\"img/a.png 1x, ../img/a@2x.png 2x\">"
            "<video src=\"../media/m.mp4\" poster=\"../media/p.jpg\"></video>"
            "<a href=\"../img/a@2x.png\">large</a><div style=\"background:url(img/tile.gif)\">"
            "</body></html>");
  for (const char* url :
       {"http://h.test/img/bg.png", "http://h.test/d/img/tile.gif", "http://h.test/img/a@2x.png",
        "http://h.test/media/m.mp4", "http://h.test/media/p.jpg"}) {
    const std::int32_t i = task_.FindUrl(url);
    ASSERT_GE(i, 0) << url;
    EXPECT_EQ(task_.CopyRecord(i).Layer, 0) << url;  // embedded: the page's own layer
  }
  // The image named by both srcset and an anchor is one entry.
  std::int32_t large = 0;
  for (std::int32_t i = 0; i < task_.GetCount(); ++i)
    if (task_.GetUrl(i) == "http://h.test/img/a@2x.png") ++large;
  EXPECT_EQ(large, 1);
}

TEST_F(StyleAnalysisTest, SwitchOffGivesTheClassicScansOnly) {
  StyleAndMediaLinks = false;
  const std::int32_t page = AddFetched("http://h.test/d/index.html", kPage);
  const std::int32_t sheet =
      AddFetched("http://h.test/d/css/site.css", ".a{background:url(/img/x.png)}");
  Analyse(page);
  Analyse(sheet);

  const std::string saved = SavedText("http://h.test/d/index.html");
  EXPECT_NE(saved.find("url(/img/bg.png)"), std::string::npos);
  EXPECT_NE(saved.find("srcset=\"img/a.png 1x, /img/a@2x.png 2x\""), std::string::npos);
  EXPECT_NE(saved.find("<video src=\"/media/m.mp4\" poster=\"/media/p.jpg\">"), std::string::npos);
  EXPECT_EQ(SavedText("http://h.test/d/css/site.css"), ".a{background:url(/img/x.png)}");
  for (const char* url : {"http://h.test/img/bg.png", "http://h.test/media/m.mp4",
                          "http://h.test/img/x.png", "http://h.test/d/img/tile.gif"})
    EXPECT_EQ(task_.FindUrl(url), -1) << url;
  // What the classic scans take is still there: the anchor and the style sheet link.
  EXPECT_GE(task_.FindUrl("http://h.test/img/a@2x.png"), 0);
  EXPECT_GE(task_.FindUrl("http://h.test/d/css/site.css"), 0);
}

TEST_F(StyleAnalysisTest, PageWithoutTheseLinksIsSavedAsWithTheSwitchOff) {
  const std::string page =
      "<html><body STYLE=\"color:red\"><img src=\"/a.gif\" alt=\"url(x)\">"
      "<p>srcset and @import \"x.css\" are only words here</p>"
      "<a href=\"/b.html\">b</a></body></html>";
  const std::int32_t on = AddFetched("http://h.test/on/index.html", page);
  Analyse(on);
  StyleAndMediaLinks = false;
  const std::int32_t off = AddFetched("http://h.test/off/index.html", page);
  Analyse(off);
  EXPECT_EQ(SavedText("http://h.test/on/index.html"), SavedText("http://h.test/off/index.html"));
}

}  // namespace
}  // namespace qm
