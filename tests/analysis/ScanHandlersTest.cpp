// The tag kinds with their fixed openings, attributes, end marks and host rules, and the page
// start fix-up.
#include <string>

#include "ScanFixture.h"
#include "support/TaskSettingsEdit.h"

namespace qm::testing {
namespace {

using namespace ::qm::test;

using ScanHandlersTest = ScanFixture;

constexpr auto kAreas = [](TTask& t, std::string_view b, std::string& p, TLinkList& l,
                           TScanScratch& s) { ScanAreas(t, b, p, l, t.Settings().Scope, s); };
TEST_F(ScanHandlersTest, ImagesRunThreePasses) {
  const std::string page =
      "<IMG lowsrc=\"http://h/d/l.gif\" src=\"http://h/d/s.gif\">"
      "<IMG SRC=\"http://h/d/a.gif\" LOWSRC=\"http://h/d/la.gif\">"
      "<IMAGE src=\"http://h/d/i.gif\"><img\tsrc=\"t.gif\">";
  EXPECT_EQ(Run(ScanImages, page),
            "<img lowsrc=\"l.gif\" src=\"http://h/d/s.gif\">"
            "<img SRC=\"a.gif\" LOWSRC=\"la.gif\">"
            "<image src=\"i.gif\"><img\tsrc=\"t.gif\">");
  EXPECT_EQ(links, Links({"http://h/d/a.gif", "http://h/d/l.gif", "http://h/d/la.gif",
                          "http://h/d/i.gif"}));
}

TEST_F(ScanHandlersTest, ImageLikeTagsFollowForeignImages) {
  const std::string page =
      "<IMG src=\"http://other.test/a.gif\"><INPUT type=image src=\"http://other.test/b.gif\">"
      "<TD background=\"http://other.test/c.gif\"><EMBED src=\"http://other.test/d.swf\">"
      "<SCRIPT src=\"http://other.test/e.js\"></SCRIPT>";
  auto all = [](TTask& t, std::string_view b, std::string& p, TLinkList& l, TScanScratch& s) {
    ScanImages(t, b, p, l, s);
    ScanInputs(t, b, p, l, s);
    ScanBackgrounds(t, b, p, l, s);
    ScanEmbeds(t, b, p, l, s);
    ScanScripts(t, b, p, l, s);
  };
  // Host names of one letter would count as part of every site; use a real-looking one.
  task.SetStartUrl("http://www.site.test/d/p.html");
  EXPECT_EQ(Run(all, page, task.StartUrl()), page);
  EXPECT_TRUE(links.empty());

  SetForeignImages(task, true);
  EXPECT_EQ(Run(all, page, task.StartUrl()),
            "<img src=\"../../other.test/a.gif\"><input type=image src=\"../../other.test/b.gif\">"
            "<TD background=\"../../other.test/c.gif\"><embed src=\"../../other.test/d.swf\">"
            "<script src=\"../../other.test/e.js\"></script>");
  EXPECT_EQ(links,
            Links({"http://other.test/a.gif", "http://other.test/b.gif", "http://other.test/c.gif",
                   "http://other.test/d.swf", "http://other.test/e.js"}));
}

TEST_F(ScanHandlersTest, BackgroundsOnAnyTag) {
  // The opening is a bare "<", written back as it was.
  EXPECT_EQ(
      Run(ScanBackgrounds, "<BODY BACKGROUND=\"http://h/d/bg.gif\"><td background=t.gif><p>x</p>"),
      "<BODY BACKGROUND=\"bg.gif\"><td background=t.gif><p>x</p>");
  EXPECT_EQ(links, Links({"http://h/d/bg.gif", "http://h/d/t.gif"}));
}

TEST_F(ScanHandlersTest, EmbedDropsTheQueryOfFlashAndPrograms) {
  EXPECT_EQ(Run(ScanEmbeds, "<embed src=\"m.swf?v=2\"><embed src=\"p.exe?x\"><embed src=q.mid?a>"),
            "<embed src=\"m.swf\"><embed src=\"p.exe\"><embed src=q.mid/a.html>");
  EXPECT_EQ(links, Links({"http://h/d/m.swf", "http://h/d/p.exe", "http://h/d/q.mid?a"}));
}

TEST_F(ScanHandlersTest, ScriptElementRunsToItsClosingTagAndSkipsTheTable) {
  AddEntry("http://h/d/known.js");
  const std::string page =
      "<SCRIPT language=\"javascript\" SRC=\"http://h/d/js/a.js\"></SCRIPT>"
      "<script src=\"known.js\"></script>"
      "<script type=\"text/javascript\">img.src = \"x.gif\";</script>"
      "<script>var s=1;</script>";
  EXPECT_EQ(Run(ScanScripts, page),
            "<script language=\"javascript\" SRC=\"js/a.js\"></script>"
            "<script src=\"known.js\"></script>"
            "<script type=\"text/javascript\">img.src = \"x.gif\";</script>"
            "<script>var s=1;</script>");
  // A known script is collected again: the analysis records script sources only when new.
  EXPECT_EQ(links, Links({"http://h/d/js/a.js", "http://h/d/known.js"}));
}

TEST_F(ScanHandlersTest, ScriptValueEndsAtTheFirstGreaterThanSign) {
  const std::string page = "<script src=\"a>b.js\"></script>";
  EXPECT_EQ(Run(ScanScripts, page), page);
  EXPECT_TRUE(links.empty());
}

TEST_F(ScanHandlersTest, StyleLinksFramesAndIFramesFollowTheirHostRules) {
  task.SetStartUrl("http://w1.site.test/p.html");
  SetForeignImages(task, true);  // does not widen these kinds
  const std::string page =
      "<LINK rel=stylesheet href=\"http://img.site.test/s.css\">"
      "<link href=\"http://other.test/o.css\">"
      "<FRAME src=\"http://img.site.test/f.html\">"
      "<frame src=\"http://other.test/g.html\">"
      "<IFRAME src=\"http://img.site.test/i.html\"></IFRAME>"
      "<IFRAME src=\"http://w1.site.test/j.html\"></IFRAME>";
  auto parts = [](TTask& t, std::string_view b, std::string& p, TLinkList& l, TScanScratch& s) {
    ScanLinks(t, b, p, l, s);
    ScanFrames(t, b, p, l, s);
    ScanIFrames(t, b, p, l, s);
  };
  EXPECT_EQ(Run(parts, page, "http://w1.site.test/p.html"),
            "<link rel=stylesheet href=\"../img.site.test/s.css\">"
            "<link href=\"http://other.test/o.css\">"
            "<frame src=\"../img.site.test/f.html\">"
            "<frame src=\"http://other.test/g.html\">"
            "<IFRAME src=\"http://img.site.test/i.html\"></IFRAME>"
            "<iframe src=\"j.html\"></iframe>");
  EXPECT_EQ(links, Links({"http://img.site.test/s.css", "http://img.site.test/f.html",
                          "http://w1.site.test/j.html"}));
}

TEST_F(ScanHandlersTest, MetaRefreshTarget) {
  const std::string page =
      "<meta http-equiv=\"refresh\" content=\"0; URL=next.html\">"
      "<meta http-equiv=\"Refresh\" content=\"5;url=http://h/d/n2.html\">"
      "<META http-equiv=\"refresh\" content=\"0; URL=http://other.test/x.html\">"
      "<meta name=\"keywords\" content=\"URL\">";
  EXPECT_EQ(Run(ScanMetaRefresh, page),
            "<META http-equiv=\"refresh\" content=\"0; URL=next.html\">"
            "<META http-equiv=\"Refresh\" content=\"5;url=n2.html\">"
            "<META http-equiv=\"refresh\" content=\"0; URL=http://other.test/x.html\">"
            "<meta name=\"keywords\" content=\"URL\">");
  EXPECT_EQ(links, Links({"http://h/d/next.html", "http://h/d/n2.html"}));
}

TEST_F(ScanHandlersTest, AnchorRelativeLinkKeepsItsFragment) {
  task.SetStartUrl("http://h/a/b/p.html");
  EXPECT_EQ(Run(kAnchors, "<A HREF=\"../x.html#part\">x</A><a href=\"http://h/a/b/y.html#s\">",
                "http://h/a/b/p.html"),
            "<a HREF=\"../x.html#part\">x</A><a href=\"y.html#s\">");
  EXPECT_EQ(links, Links({"http://h/a/x.html", "http://h/a/b/y.html"}));
}

TEST_F(ScanHandlersTest, AnchorsAndAreasFollowTheScope) {
  task.SetStartUrl("http://w1.site.test/");
  const std::string page =
      "<A href=\"http://other/y.html\">o</A>"
      "<A href=\"http://img.site.test/x.html\">s</A>"
      "<AREA href=\"http://img.site.test/m.html\">";
  SetScope(task, ScopeHost);
  EXPECT_EQ(Run(kAnchors, page, "http://w1.site.test/"), page);
  EXPECT_EQ(Run(kAreas, page, "http://w1.site.test/"), page);
  EXPECT_TRUE(links.empty());

  SetScope(task, ScopeSite);
  const std::string site =
      Run(kAreas, Run(kAnchors, page, "http://w1.site.test/"), "http://w1.site.test/");
  EXPECT_EQ(site,
            "<A href=\"http://other/y.html\">o</A>"
            "<a href=\"../img.site.test/x.html\">s</A>"
            "<area href=\"../img.site.test/m.html\">");
  EXPECT_EQ(links, Links({"http://img.site.test/x.html", "http://img.site.test/m.html"}));
}

TEST_F(ScanHandlersTest, AnchorToADynamicPage) {
  EXPECT_EQ(Run(kAnchors, "<a href=\"list.php?id=3\">l</a>"),
            "<a href=\"list.php/id=3.html\">l</a>");
  EXPECT_EQ(links, Links({"http://h/d/list.php?id=3"}));
}

TEST_F(ScanHandlersTest, AnchorsThatAreNoLinksStayAsWritten) {
  const std::string page =
      "<A href=\"javascript:history.back()\">b</A><A HREF=\"mailto:me@h\">m</A>"
      "<A href=\"#top\">t</A><A name=\"top\">";
  EXPECT_EQ(Run(kAnchors, page), page);
  EXPECT_TRUE(links.empty());
}

TEST_F(ScanHandlersTest, FixHtmlStart) {
  std::string page = "garbage\r\n<HTML><body></body></HTML>";
  FixHtmlStart(page);
  EXPECT_EQ(page, "<html>garbage\r\n<HTML><body></body></HTML>");
  for (std::string unchanged : {"<!DOCTYPE html><html></html>", "text only", "", "x <htm>"}) {
    std::string copy = unchanged;
    FixHtmlStart(copy);
    EXPECT_EQ(copy, unchanged);
  }
}

}  // namespace
}  // namespace qm::testing
