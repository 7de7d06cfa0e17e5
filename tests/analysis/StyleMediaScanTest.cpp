// Links in style sheets (url(), @import), <style> blocks, style attributes, srcset and media tags:
// which URL texts are taken, how they resolve, and that only those texts change.
#include <string>
#include <vector>

#include "ScanFixture.h"
#include "analysis/CssLinks.h"
#include "analysis/StyleMediaLinks.h"
#include "support/TaskSettingsEdit.h"
#include "url/Scope.h"

namespace qm::testing {
namespace {

using namespace ::qm::test;

constexpr const char* kSheet = "http://h/css/s.css";

class StyleMediaScanTest : public ScanFixture {
 protected:
  std::string Sheet(std::string css, const std::string& url = kSheet) {
    ScanStyleSheet(task, url, css, found);
    return css;
  }
  std::string Page(std::string page, const std::string& url = kPage) {
    ScanStyleAndMedia(task, url, page, found);
    return page;
  }
  TStyleMediaLinks found;
};

struct CssCase {
  const char* css;
  const char* rewritten;  // nullptr: unchanged
  Links links;
};

TEST_F(StyleMediaScanTest, UrlAndImportForms) {
  const CssCase cases[] = {
      {"a{background:url(img/a.png)}", nullptr, {"http://h/css/img/a.png"}},
      {"a{background:url( \"../i/b.png\" ) no-repeat}", nullptr, {"http://h/i/b.png"}},
      {"a{background:URL('/i/c.gif')}", "a{background:URL('../i/c.gif')}", {"http://h/i/c.gif"}},
      {"b{x:url(\t/i/d.gif\n)}", "b{x:url(\t../i/d.gif\n)}", {"http://h/i/d.gif"}},
      {"@import \"base.css\";", nullptr, {"http://h/css/base.css"}},
      {"@import '/x/y.css' screen;", "@import '../x/y.css' screen;", {"http://h/x/y.css"}},
      {"@IMPORT url(/x/z.css) print;", "@IMPORT url(../x/z.css) print;", {"http://h/x/z.css"}},
      {"@import url( 'http://h/w.css' );", "@import url( '../w.css' );", {"http://h/w.css"}},
      {"a{b:url(/s.svg#icon)}", "a{b:url(../s.svg#icon)}", {"http://h/s.svg"}},
      {"a{b:url(list.php?id=3)}", "a{b:url(list.php/id=3.html)}", {"http://h/css/list.php?id=3"}},
      // Climbing above the root stops there, as in a browser.
      {"a{b:url(../../../up.png)}", "a{b:url(../up.png)}", {"http://h/up.png"}},
      // Left alone: comments, strings, data: URLs, fragments, longer names, unclosed forms.
      {"/* url(/no.png) @import \"no.css\"; */ b{}", nullptr, {}},
      {"a{content:\"url(/str.png)\"}", nullptr, {}},
      {"a{b:url(data:image/png;base64,AAA=)}", nullptr, {}},
      {"a{fill:url(#grad)}", nullptr, {}},
      {"a{b:myurl(/z.png)}", nullptr, {}},
      {"a{b:url(/open.png", nullptr, {}},
      {"a{b:url(\"/open.png)}", nullptr, {}},
      {"/* never closed url(/c.png)", nullptr, {}},
      {"a{b:url(\"\")}", nullptr, {}},
  };
  for (const CssCase& c : cases) {
    found = {};
    EXPECT_EQ(Sheet(c.css), c.rewritten ? c.rewritten : c.css) << c.css;
    EXPECT_EQ(found.Styles, c.links) << c.css;
    EXPECT_TRUE(found.Media.empty());
  }
}

TEST_F(StyleMediaScanTest, SrcsetCandidatesKeepTheirDescriptors) {
  struct Case {
    const char* value;
    std::vector<std::string> urls;
  } const cases[] = {
      {"a.png 1x, b.png 2x", {"a.png", "b.png"}},
      {"a.png, b.png 2x,c.png", {"a.png", "b.png", "c.png"}},
      // As browsers read it: a comma inside a URL belongs to the URL.
      {"a.png,b.png 2x", {"a.png,b.png"}},
      {"  x.png 100w ,\n y.png  200w  ", {"x.png", "y.png"}},
      {"data:image/png;base64,AA= 1x, c.png 2x", {"data:image/png;base64,AA=", "c.png"}},
      {"", {}},
      {" , ,", {}},
  };
  for (const Case& c : cases) {
    std::vector<TTextSpan> spans;
    FindSrcsetUrls(c.value, spans);
    std::vector<std::string> urls;
    for (TTextSpan s : spans) urls.emplace_back(std::string_view(c.value).substr(s.Pos, s.Len));
    EXPECT_EQ(urls, c.urls) << c.value;
  }

  EXPECT_EQ(Page("<IMG src=\"a.png\" SRCSET=\"/i/a.png 1x, /i/a@2x.png 2x,http://h/i/a3.png 3x\">"
                 "<source type=\"image/webp\" srcset='w.webp 480w, /w2.webp 800w' src=/w.jpg>"),
            "<IMG src=\"a.png\" SRCSET=\"../i/a.png 1x, ../i/a@2x.png 2x,../i/a3.png 3x\">"
            "<source type=\"image/webp\" srcset='w.webp 480w, ../w2.webp 800w' src=../w.jpg>");
  EXPECT_EQ(found.Media, Links({"http://h/i/a.png", "http://h/i/a@2x.png", "http://h/i/a3.png",
                                "http://h/d/w.webp", "http://h/w2.webp", "http://h/w.jpg"}));
}

TEST_F(StyleMediaScanTest, ImgSrcHiddenBySrcsetIsTakenWithIt) {
  // The image scan passes over an img tag whose first "src" is a srcset written before src; the
  // src is then taken here. Where the image scan reads the src, it is left to that scan.
  const std::string page =
      "<img srcset=\"/i/a.png 1x, /i/a2.png 2x\" src=\"/i/a.png\">"
      "<img src=\"/i/b.png\" srcset=\"/i/b2.png 2x\">"
      "<img alt=\"x\" data-src=\"/i/c.png\" srcset=\"/i/c2.png 2x\" src=\"/i/c.png\">";
  EXPECT_EQ(Page(page),
            "<img srcset=\"../i/a.png 1x, ../i/a2.png 2x\" src=\"../i/a.png\">"
            "<img src=\"/i/b.png\" srcset=\"../i/b2.png 2x\">"
            "<img alt=\"x\" data-src=\"/i/c.png\" srcset=\"../i/c2.png 2x\" src=\"/i/c.png\">");
  EXPECT_EQ(found.Media, Links({"http://h/i/a.png", "http://h/i/a2.png", "http://h/i/b2.png",
                                "http://h/i/c2.png"}));

  // Together with the image scan every src and srcset ends up local, each once; a src the image
  // scan passes over for another reason (here the first "src" is inside "data-src") stays.
  std::string both = page;
  TLinkList images;
  task.Script->Prepare(&task, task.StartUrl(), kPage, both);
  ScanImages(task, kPage, both, images, scratch);
  found = {};
  EXPECT_EQ(Page(both),
            "<img srcset=\"../i/a.png 1x, ../i/a2.png 2x\" src=\"../i/a.png\">"
            "<img src=\"../i/b.png\" srcset=\"../i/b2.png 2x\">"
            "<img alt=\"x\" data-src=\"/i/c.png\" srcset=\"../i/c2.png 2x\" src=\"/i/c.png\">");
  EXPECT_EQ(images, Links({"http://h/i/b.png"}));
  EXPECT_EQ(found.Media, Links({"http://h/i/a.png", "http://h/i/a2.png", "http://h/i/b2.png",
                                "http://h/i/c2.png"}));
}

TEST_F(StyleMediaScanTest, MediaAndTrackSources) {
  EXPECT_EQ(Page("<video controls src=\"/v/m.mp4\" poster=p.jpg><source src=\"m.webm\">"
                 "<track kind=subtitles src='/t/sub.vtt'></video><AUDIO SRC=\"http://h/a.mp3\">"
                 "<img src=\"/not/mine.gif\"><embed src=\"/not/mine.swf\">"),
            "<video controls src=\"../v/m.mp4\" poster=p.jpg><source src=\"m.webm\">"
            "<track kind=subtitles src='../t/sub.vtt'></video><AUDIO SRC=\"../a.mp3\">"
            "<img src=\"/not/mine.gif\"><embed src=\"/not/mine.swf\">");
  EXPECT_EQ(found.Media, Links({"http://h/v/m.mp4", "http://h/d/p.jpg", "http://h/d/m.webm",
                                "http://h/t/sub.vtt", "http://h/a.mp3"}));
}

TEST_F(StyleMediaScanTest, StyleBlocksAndAttributesResolveAgainstThePage) {
  EXPECT_EQ(Page("<style type=\"text/css\">@import \"/s/x.css\"; /* url(/no.png) */\n"
                 "body{background:url(bg.png)}</STYLE>"
                 "<div style=\"background-image:url(&quot;/i/q.png&quot;)\">"
                 "<p STYLE='list-style:url(\"/i/dot.gif\")'>"
                 "<script>var s = \"<img srcset='/x.png 1x' style='a:url(/y.png)'>\";</script>"
                 "<!-- <video src=\"/c.mp4\"> --><p style=\"color:red\">"),
            "<style type=\"text/css\">@import \"../s/x.css\"; /* url(/no.png) */\n"
            "body{background:url(bg.png)}</STYLE>"
            "<div style=\"background-image:url(&quot;../i/q.png&quot;)\">"
            "<p STYLE='list-style:url(\"../i/dot.gif\")'>"
            "<script>var s = \"<img srcset='/x.png 1x' style='a:url(/y.png)'>\";</script>"
            "<!-- <video src=\"/c.mp4\"> --><p style=\"color:red\">");
  EXPECT_EQ(found.Styles, Links({"http://h/s/x.css", "http://h/d/bg.png", "http://h/i/q.png",
                                 "http://h/i/dot.gif"}));
  EXPECT_TRUE(found.Media.empty());
}

TEST_F(StyleMediaScanTest, SheetInAnotherFolderResolvesAgainstItself) {
  // The sheet lies three folders below the page that links it; its links follow the sheet.
  EXPECT_EQ(Sheet("@import \"sub/more.css\";\n.a{background:url(../img/x.png)}\n"
                  ".b{background:url(/top.png)} .c{background:url(http://h/d/p.gif)}",
                  "http://h/a/b/css/site.css"),
            "@import \"sub/more.css\";\n.a{background:url(../img/x.png)}\n"
            ".b{background:url(../../../top.png)} .c{background:url(../../../d/p.gif)}");
  EXPECT_EQ(found.Styles, Links({"http://h/a/b/css/sub/more.css", "http://h/a/b/img/x.png",
                                 "http://h/top.png", "http://h/d/p.gif"}));
}

TEST_F(StyleMediaScanTest, OtherHostFollowsForeignImages) {
  task.SetStartUrl("http://www.site.test/d/p.html");
  const std::string sheetUrl = "http://www.site.test/css/s.css";
  const std::string css =
      "@font-face{src:url(http://cdn.other.test/f.woff2)}"
      "a{background:url(http://img.site.test/b.png)}";
  // Without foreign images only the site's own hosts are taken.
  EXPECT_EQ(Sheet(css, sheetUrl),
            "@font-face{src:url(http://cdn.other.test/f.woff2)}"
            "a{background:url(../../img.site.test/b.png)}");
  EXPECT_EQ(found.Styles, Links({"http://img.site.test/b.png"}));

  found = {};
  SetForeignImages(task, true);
  EXPECT_EQ(Sheet(css, sheetUrl),
            "@font-face{src:url(../../cdn.other.test/f.woff2)}"
            "a{background:url(../../img.site.test/b.png)}");
  EXPECT_EQ(found.Styles, Links({"http://cdn.other.test/f.woff2", "http://img.site.test/b.png"}));

  // A path into another host's folder, written by an earlier scan of the same tag, stays.
  found = {};
  const std::string page =
      "<img src=\"../../img.site.test/b.png\" "
      "srcset=\"../../img.site.test/b.png 1x, http://img.site.test/c.png 2x\">";
  EXPECT_EQ(Page(page, task.StartUrl()),
            "<img src=\"../../img.site.test/b.png\" "
            "srcset=\"../../img.site.test/b.png 1x, ../../img.site.test/c.png 2x\">");
  EXPECT_EQ(found.Media, Links({"http://img.site.test/c.png"}));
}

TEST_F(StyleMediaScanTest, TableLookupRedirectsAndRefusedStrings) {
  AddEntry("http://h/i/known.png");
  const std::int32_t old = AddEntry("http://h/i/old.png");
  ASSERT_GE(task.RedirectRecord(old, "http://h/j/new.png"), 0);
  EXPECT_EQ(Sheet("a{b:url(/i/known.png)} c{d:url(/i/old.png#part)}"),
            "a{b:url(../i/known.png)} c{d:url(../j/new.png#part)}");
  EXPECT_TRUE(found.Styles.empty());

  RejectStringsOn = true;
  RejectStrings.Assign({"ad."});
  const std::string page =
      "<img srcset=\"http://h/ad.png 1x, b.png 2x\"><video src=\"v.mp4\" poster=\"ad.jpg\">";
  EXPECT_EQ(Page(page), page);  // both tags hold the refused string
  EXPECT_EQ(Sheet("a{b:url(/ad.gif)} c{d:url(/ok.gif)}"), "a{b:url(/ad.gif)} c{d:url(../ok.gif)}");
  EXPECT_EQ(found.Styles, Links({"http://h/ok.gif"}));
}

// A page repeats its media links: each value is resolved once, but every occurrence is still
// looked up, keeps its own fragment and is tested as written in a tag or in a style block.
TEST_F(StyleMediaScanTest, RepeatedLinksEachGetTheirOwnResult) {
  AddEntry("http://h/i/known.png");
  const std::int32_t old = AddEntry("http://h/i/old.png");
  ASSERT_GE(task.RedirectRecord(old, "http://h/j/new.png"), 0);
  const std::string page =
      "<style>a{b:url(../../x.png)}</style><audio src=\"../../x.png\">"
      "<audio src=\"/i/old.png#1\"><audio src=\"/i/old.png#2\"><audio src=\"/i/old.png\">"
      "<audio src=\"new.png\"><audio src=\"new.png\">"
      "<video poster=\"/i/known.png\" src=\"/i/known.png#t\"><audio src=\"/i/known.png#t\">";
  EXPECT_EQ(Page(page),
            "<style>a{b:url(../x.png)}</style><audio src=\"../../x.png\">"
            "<audio src=\"../j/new.png#1\"><audio src=\"../j/new.png#2\">"
            "<audio src=\"../j/new.png\"><audio src=\"new.png\"><audio src=\"new.png\">"
            "<video poster=\"../i/known.png\" src=\"../i/known.png#t\">"
            "<audio src=\"../i/known.png#t\">");
  EXPECT_EQ(found.Styles, Links({"http://h/x.png"}));
  EXPECT_EQ(found.Media, Links({"http://h/d/new.png"}));
}

// Where tags end and where the scan stops: quoted values hiding '>' and '<', tags with nothing
// to take among those that have, script and style blocks in any case, and text left open (a
// quote, a comment, a script block, a tag): the scan ends there, keeping what it took before.
TEST_F(StyleMediaScanTest, TagEndsAndEarlyStops) {
  const std::string filler(60, 'x');
  struct Case {
    std::string page;
    std::string rewritten;
    Links styles;
    Links media;
  } const cases[] = {
      {"<p title=\"a>b\" style=\"background:url(/i/a.png)\">",
       "<p title=\"a>b\" style=\"background:url(../i/a.png)\">",
       {"http://h/i/a.png"},
       {}},
      {"<a title=\"<video src='/no.mp4'>\"><video src=\"/m.mp4\">",
       "<a title=\"<video src='/no.mp4'>\"><video src=\"../m.mp4\">",
       {},
       {"http://h/m.mp4"}},
      {"<td><img src=\"/x.gif\" srcset=\"/s.png 2x\"><br/><code>x</code><source srcset=/t.png>",
       "<td><img src=\"/x.gif\" srcset=\"../s.png 2x\"><br/><code>x</code><source srcset=../t.png>",
       {},
       {"http://h/s.png", "http://h/t.png"}},
      {"<SCRIPT type=\"x\">w('<video src=\"/no.mp4\">')</ScRiPt><audio src=\"/yes.mp3\">",
       "<SCRIPT type=\"x\">w('<video src=\"/no.mp4\">')</ScRiPt><audio src=\"../yes.mp3\">",
       {},
       {"http://h/yes.mp3"}},
      {"<Style>a{b:url(/s.png)}</sTyLe><p style=x>",
       "<Style>a{b:url(../s.png)}</sTyLe><p style=x>",
       {"http://h/s.png"},
       {}},
      {"<!DOCTYPE html><!-- <audio src=\"/c.mp3\"> --></video src=\"/e.mp4\"><audio src=/d.mp3>",
       "<!DOCTYPE html><!-- <audio src=\"/c.mp3\"> --></video src=\"/e.mp4\"><audio src=../d.mp3>",
       {},
       {"http://h/d.mp3"}},
      // A tag across the edge of a 64-byte block.
      {filler + "<video src=\"/h.mp4\">",
       filler + "<video src=\"../h.mp4\">",
       {},
       {"http://h/h.mp4"}},
      // Left open: the scan stops there.
      {"<video src=\"/a.mp4\"><p title='open><video src=\"/b.mp4\">",
       "<video src=\"../a.mp4\"><p title='open><video src=\"/b.mp4\">",
       {},
       {"http://h/a.mp4"}},
      {"<audio src=\"/a.mp3\"><!-- <audio src=\"/b.mp3\">",
       "<audio src=\"../a.mp3\"><!-- <audio src=\"/b.mp3\">",
       {},
       {"http://h/a.mp3"}},
      {"<audio src=\"/a.mp3\"><script>x<audio src=\"/b.mp3\">",
       "<audio src=\"../a.mp3\"><script>x<audio src=\"/b.mp3\">",
       {},
       {"http://h/a.mp3"}},
      {"<style>a{b:url(/s.png)}", "<style>a{b:url(/s.png)}", {}, {}},
      {"<audio src=\"/a.mp3\"><audio src=\"/f.mp3\"",
       "<audio src=\"../a.mp3\"><audio src=\"/f.mp3\"",
       {},
       {"http://h/a.mp3"}},
  };
  for (const Case& c : cases) {
    found = {};
    EXPECT_EQ(Page(c.page), c.rewritten) << c.page;
    EXPECT_EQ(found.Styles, c.styles) << c.page;
    EXPECT_EQ(found.Media, c.media) << c.page;
  }
}

TEST_F(StyleMediaScanTest, PagesWithoutTheseConstructsStayByteForByte) {
  const std::string pages[] = {
      "<html><body><img src=\"/a.gif\"><a href=\"/b.html\" style=\"color:red\">b</a>"
      "<embed src=\"/m.swf\"><script src=\"/s.js\"></script></body></html>",
      "text < with a stray bracket and <unclosed attr=\"x>",
      "<p>url(/not/css.png) @import \"no.css\";</p><img srcset=\"\">",
      "",
  };
  for (const std::string& page : pages) {
    EXPECT_EQ(Page(page), page);
    EXPECT_TRUE(found.Styles.empty() && found.Media.empty()) << page;
  }
}

TEST_F(StyleMediaScanTest, RecordsTakeTheSheetsLayerAndKindByExtension) {
  TExtendUrlRec sheet = EmptyUrlRec();
  sheet.Layer = 2;
  sheet.ContentKind = KindPage;
  sheet.OwnBase = 1;
  std::string css = "@import 'more.css'; a{b:url(i.png)} @font-face{src:url(f.woff)}";
  auto records = ScanStyleAndMediaLinks(task, kSheet, kSheet, css, sheet, 7);
  ASSERT_EQ(records.size(), 3u);
  const std::int32_t kinds[] = {KindPage, KindImage, KindOther};
  // Records are packed: their fields are compared by value (unary +), not bound by reference.
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(+records[i].ContentKind, kinds[i]) << records[i].Url.Get();
    EXPECT_EQ(+records[i].Layer, 2);
    EXPECT_EQ(+records[i].ReferId, 7);
    EXPECT_EQ(+records[i].OwnBase, 1);
    EXPECT_EQ(+records[i].Status, NotDownloaded);
  }
  EXPECT_EQ(records[0].Url.Get(), "http://h/css/more.css");

  std::string page = "<video src=\"m.mp4\"></video><div style=\"a:url(x.css)\">";
  records = ScanStyleAndMediaLinks(task, kPage, kPage, page, sheet, 3);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(+records[0].ContentKind, KindPage);   // x.css, by extension
  EXPECT_EQ(+records[1].ContentKind, KindImage);  // media are recorded as images

  // Pages only: rewritten all the same, nothing recorded. Scripts are not scanned.
  SetContent(task, 0);
  page = "<video src=\"/m.mp4\">";
  EXPECT_TRUE(ScanStyleAndMediaLinks(task, kPage, kPage, page, sheet, 3).empty());
  EXPECT_EQ(page, "<video src=\"../m.mp4\">");
  SetContent(task, 1);
  std::string script = "var s='<video src=\"/m.mp4\">';";
  sheet.ContentKind = KindScript;
  EXPECT_TRUE(
      ScanStyleAndMediaLinks(task, "http://h/s.js", "http://h/p.html", script, sheet, 3).empty());
  EXPECT_EQ(script, "var s='<video src=\"/m.mp4\">';");
}

}  // namespace
}  // namespace qm::testing
