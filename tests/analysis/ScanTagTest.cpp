// The rules of one tag scan: where the attribute counts, how its value is read, which values are
// dropped, how the next tag is found, and what the rewritten page looks like byte for byte.
#include <string>

#include "ScanFixture.h"
#include "url/UrlLib.h"

namespace qm::testing {
namespace {

using ScanTagTest = ScanFixture;

TEST_F(ScanTagTest, SameImageTwiceIsCollectedOnceAndThePageStaysTheSame) {
  const std::string page = "<p><img src=\"a.gif\"> and <img src=\"a.gif\"></p>";
  EXPECT_EQ(RunImgSrc(page), page);
  EXPECT_EQ(links, Links({"http://h/d/a.gif"}));
}

TEST_F(ScanTagTest, LinksAlreadyInTheListAreNotAddedAgain) {
  links = {"http://h/d/a.gif", "http://x/y"};
  RunImgSrc("<img src=a.gif><img src=b.gif><img src=\"b.gif\">");
  EXPECT_EQ(links, Links({"http://h/d/a.gif", "http://x/y", "http://h/d/b.gif"}));
}

TEST_F(ScanTagTest, UpperCaseTagIsWrittenBackWithTheLowerCaseOpening) {
  EXPECT_EQ(RunImgSrc("x<IMG SRC=pics/b.gif BORDER=0>y"), "x<img SRC=pics/b.gif BORDER=0>y");
  EXPECT_EQ(links, Links({"http://h/d/pics/b.gif"}));
}

TEST_F(ScanTagTest, AttributeCountsOnlyAtTheStartOrAfterSpaceSemicolonOrCrLf) {
  const std::string page =
      "<img src=\"http://h/d/x/1.gif\">"
      "<img alt=1 src=\"http://h/d/x/2.gif\">"
      "<img alt=1;src=\"http://h/d/x/3.gif\">"
      "<img alt=1\r\nsrc=\"http://h/d/x/4.gif\">"
      "<img alt=1\nsrc=\"http://h/d/x/5.gif\">"
      "<img alt=1\tsrc=\"http://h/d/x/6.gif\">"
      "<img datasrc=\"http://h/d/x/7.gif\">";
  const std::string want =
      "<img src=\"x/1.gif\">"
      "<img alt=1 src=\"x/2.gif\">"
      "<img alt=1;src=\"x/3.gif\">"
      "<img alt=1\r\nsrc=\"x/4.gif\">"
      "<img alt=1\nsrc=\"http://h/d/x/5.gif\">"
      "<img alt=1\tsrc=\"http://h/d/x/6.gif\">"
      "<img datasrc=\"http://h/d/x/7.gif\">";
  EXPECT_EQ(RunImgSrc(page), want);
  EXPECT_EQ(links, Links({"http://h/d/x/1.gif", "http://h/d/x/2.gif", "http://h/d/x/3.gif",
                          "http://h/d/x/4.gif"}));
}

TEST_F(ScanTagTest, FirstAttributeHitDecidesSoLowsrcHidesSrc) {
  const std::string page = "<img alt=\"x\" lowsrc=\"l.gif\" src=\"s.gif\">";
  EXPECT_EQ(RunImgSrc(page), page);
  EXPECT_TRUE(links.empty());
  EXPECT_EQ(RunTag(page, "lowsrc", ">", "<img "), page);
  EXPECT_EQ(links, Links({"http://h/d/l.gif"}));
}

TEST_F(ScanTagTest, AttributeWithoutEqualsSignIsSkipped) {
  const std::string page = "<IMG src alt=\"http://h/d/a.gif\"><IMG src; x=\"1\">";
  EXPECT_EQ(RunImgSrc(page), page);
  EXPECT_TRUE(links.empty());
}

TEST_F(ScanTagTest, QuotedEscapedAndUnquotedValues) {
  const std::string page =
      "<img src=\"http://h/d/q/1.gif\">"
      "<img src='http://h/d/q/2.gif'>"
      "<img src=\\\"http://h/d/q/3.gif\\\">"
      "<img src=\\'http://h/d/q/4.gif\\'>"
      "<img src=http://h/d/q/5.gif alt=x>"
      "<img src=http://h/d/q/6.gif\r\nalt=x>"
      "<img src=  \"http://h/d/q/7.gif\" >";
  const std::string want =
      "<img src=\"q/1.gif\">"
      "<img src='q/2.gif'>"
      "<img src=\\\"q/3.gif\\\">"
      "<img src=\\'q/4.gif\\'>"
      "<img src=q/5.gif alt=x>"
      "<img src=q/6.gif\r\nalt=x>"
      "<img src=  \"q/7.gif\" >";
  EXPECT_EQ(RunImgSrc(page), want);
  EXPECT_EQ(links, Links({"http://h/d/q/1.gif", "http://h/d/q/2.gif", "http://h/d/q/3.gif",
                          "http://h/d/q/4.gif", "http://h/d/q/5.gif", "http://h/d/q/6.gif",
                          "http://h/d/q/7.gif"}));
}

TEST_F(ScanTagTest, ImageWrittenFromAScriptStringKeepsItsEscapedQuotes) {
  const std::string page =
      "<script>document.write(\"<img src=\\\"http://h/d/pics/a.gif\\\">\");</script>";
  EXPECT_EQ(RunImgSrc(page), "<script>document.write(\"<img src=\\\"pics/a.gif\\\">\");</script>");
  EXPECT_EQ(links, Links({"http://h/d/pics/a.gif"}));
}

TEST_F(ScanTagTest, SpaceBeforeTheEqualsSignCollectsButLeavesTheValueAsWritten) {
  // The value is read, but the text is only edited where the name is directly followed by "=".
  EXPECT_EQ(RunImgSrc("<IMG src = \"http://h/d/a.gif\">"), "<img src = \"http://h/d/a.gif\">");
  EXPECT_EQ(links, Links({"http://h/d/a.gif"}));
}

TEST_F(ScanTagTest, MissingClosingQuoteGivesNoValue) {
  const std::string page =
      "<IMG src=\"http://h/d/1.gif>"
      "<IMG src='http://h/d/2.gif>"
      "<IMG src=\\\"http://h/d/3.gif>"
      "<IMG src=\\'http://h/d/4.gif\\>";
  EXPECT_EQ(RunImgSrc(page), page);
  EXPECT_TRUE(links.empty());
}

TEST_F(ScanTagTest, JavascriptValuesAreDropped) {
  // Even a value that would make a script expression of a function on the page.
  const std::string page =
      "<script>function go(n){ window.open('a.html'+n); }</script>"
      "<IMG src=\"JavaScript:void(0)\"><A href=\"javascript:'a.html'+n\">x</A>";
  EXPECT_EQ(RunImgSrc(page), page);
  EXPECT_EQ(RunTag(page, "href", ">", "<a "), page);
  EXPECT_TRUE(links.empty());
  EXPECT_TRUE(task.Script->Functions.empty());
}

TEST_F(ScanTagTest, RejectStringAnywhereInTheTagLeavesItUntouched) {
  RejectStringsOn = true;
  RejectStrings.Assign({"ad."});
  const std::string page =
      "<IMG src=\"http://ad.h/x.gif\">"
      "<IMG SRC=\"http://AD.h/y.gif\">"
      "<IMG alt=\"Ad.\" src=\"http://h/d/z.gif\">"
      "<IMG src=\"http://h/d/ok.gif\">";
  const std::string want =
      "<IMG src=\"http://ad.h/x.gif\">"
      "<IMG SRC=\"http://AD.h/y.gif\">"
      "<IMG alt=\"Ad.\" src=\"http://h/d/z.gif\">"
      "<img src=\"ok.gif\">";
  EXPECT_EQ(RunTag(page, "src", ">", "<img ", /*anyHost=*/true), want);
  EXPECT_EQ(links, Links({"http://h/d/ok.gif"}));

  RejectStringsOn = false;
  links.clear();
  RunTag(page, "src", ">", "<img ", true);
  EXPECT_EQ(links, Links({"http://ad.h/x.gif", "http://AD.h/y.gif", "http://h/d/z.gif",
                          "http://h/d/ok.gif"}));
}

TEST_F(ScanTagTest, EmptyRejectEntriesRefuseNothingAndLetterOnlyOnesStillRefuse) {
  RejectStringsOn = true;
  RejectStrings.Assign({"", "zzz", "Banner"});
  EXPECT_EQ(RunImgSrc("<IMG src=\"http://h/d/a.gif\"><IMG src=\"http://h/d/BANNER.gif\">"),
            "<img src=\"a.gif\"><IMG src=\"http://h/d/BANNER.gif\">");
  EXPECT_EQ(links, Links({"http://h/d/a.gif"}));
}

TEST_F(ScanTagTest, DefaultRejectStringsRefuseCookiePages) {
  RejectStringsOn = true;
  RejectStrings.Assign({"cookies.asp?", "&action="});
  const std::string page =
      "<A href=\"http://h/d/Cookies.ASP?x=1\">c</A><A href=\"l.php?a=1&action=del\">d</A>";
  EXPECT_EQ(RunTag(page, "href", ">", "<a "), page);
  EXPECT_TRUE(links.empty());
}

TEST_F(ScanTagTest, EmptyTagEndsTheScanOfThatKind) {
  const std::string page = "<img ><IMG src=\"http://h/d/b.gif\"><IMG src=\"http://h/d/c.gif\">";
  EXPECT_EQ(RunImgSrc(page), page);
  EXPECT_TRUE(links.empty());
}

TEST_F(ScanTagTest, EmptyTagIsJumpedOverWhenALaterOpeningIsNearerTheAttribute) {
  EXPECT_EQ(RunImgSrc("<img src=\"a.gif\"><img ><IMG src=\"http://h/d/b.gif\">"),
            "<img src=\"a.gif\"><img ><img src=\"b.gif\">");
  EXPECT_EQ(links, Links({"http://h/d/a.gif", "http://h/d/b.gif"}));
  links.clear();
  // Here the empty tag is the nearest opening before the next attribute.
  const std::string page = "<img src=\"a.gif\"><img >src=\"b.gif\"<IMG src=\"http://h/d/c.gif\">";
  EXPECT_EQ(RunImgSrc(page), page);
  EXPECT_EQ(links, Links({"http://h/d/a.gif"}));
}

TEST_F(ScanTagTest, UnterminatedTagEndsTheScanAndKeepsTheRest) {
  const std::string page = "<IMG src=\"http://h/d/a.gif\"> <IMG src=\"http://h/d/b.gif\"";
  EXPECT_EQ(RunImgSrc(page), "<img src=\"a.gif\"> <IMG src=\"http://h/d/b.gif\"");
  EXPECT_EQ(links, Links({"http://h/d/a.gif"}));
}

TEST_F(ScanTagTest, TagsSplitAcrossLines) {
  const std::string page =
      "<img\r\nsrc=\"http://h/d/1.gif\">\r\n"
      "<img border=\"0\"\r\n     src=\"http://h/d/2.gif\"\r\n     alt=\"two\">\r\n"
      "<img border=0\r\nsrc=http://h/d/3.gif\r\nalt=three>";
  const std::string want =
      "<img\r\nsrc=\"http://h/d/1.gif\">\r\n"
      "<img border=\"0\"\r\n     src=\"2.gif\"\r\n     alt=\"two\">\r\n"
      "<img border=0\r\nsrc=3.gif\r\nalt=three>";
  EXPECT_EQ(RunImgSrc(page), want);
  EXPECT_EQ(links, Links({"http://h/d/2.gif", "http://h/d/3.gif"}));
}

TEST_F(ScanTagTest, VeryLongValues) {
  // Long names are written as the local path mapping gives them (it may shorten them).
  const std::string name(200000, 'x');
  const std::string gif = "http://h/d/" + name + ".gif";
  const std::string jpg = "http://h/d/" + name + ".jpg";
  const std::string page = "<p>" + std::string(100000, ' ') + "<IMG SRC=\"" + gif +
                           "\"><img src=" + name + ".jpg alt=1>";
  const std::string want = "<p>" + std::string(100000, ' ') + "<img SRC=\"" +
                           RelativeLocalPath(gif, kPage) +
                           "\"><img src=" + RelativeLocalPath(jpg, kPage) + " alt=1>";
  const std::string got = RunImgSrc(page);
  EXPECT_EQ(got.size(), want.size());
  EXPECT_TRUE(got == want);  // not EXPECT_EQ: a failure would print 600 kB
  EXPECT_TRUE(links == Links({gif, jpg}));
}

TEST_F(ScanTagTest, AttributeOutsideAnyTagOfTheKindIsJumpedOver) {
  const std::string page =
      "<img src=\"a.gif\"><img alt=x> src=\"n.gif\" <IMG src=\"http://h/d/b.gif\">";
  EXPECT_EQ(RunImgSrc(page), "<img src=\"a.gif\"><img alt=x> src=\"n.gif\" <img src=\"b.gif\">");
  EXPECT_EQ(links, Links({"http://h/d/a.gif", "http://h/d/b.gif"}));
}

TEST_F(ScanTagTest, NearestOpeningBeforeTheAttributeStartsTheTag) {
  const std::string page = "<img src=\"a.gif\"> <IMG alt=1 <IMG src=\"http://h/d/b.gif\">";
  EXPECT_EQ(RunImgSrc(page), "<img src=\"a.gif\"> <IMG alt=1 <img src=\"b.gif\">");
  EXPECT_EQ(links, Links({"http://h/d/a.gif", "http://h/d/b.gif"}));
}

TEST_F(ScanTagTest, PageWithoutTheAttributeOrTheOpeningIsLeftAlone) {
  EXPECT_EQ(RunImgSrc("<IMG alt=x><p>plain</p>"), "<IMG alt=x><p>plain</p>");
  EXPECT_EQ(RunImgSrc("<p src=\"http://h/d/a.gif\">"), "<p src=\"http://h/d/a.gif\">");
  EXPECT_EQ(RunImgSrc(""), "");
  EXPECT_TRUE(links.empty());
}

TEST_F(ScanTagTest, BytesOutsideRewrittenValuesPassThroughUntouched) {
  static const char kIn[] =
      "\0\xff\xfe\xd6\xd0\xce\xc4<IMG src=\"http://h/d/a.gif\" alt=\"\xb1\xea\">\0z";
  static const char kOut[] = "\0\xff\xfe\xd6\xd0\xce\xc4<img src=\"a.gif\" alt=\"\xb1\xea\">\0z";
  EXPECT_EQ(RunImgSrc(std::string(kIn, sizeof kIn - 1)), std::string(kOut, sizeof kOut - 1));
  EXPECT_EQ(links, Links({"http://h/d/a.gif"}));
}

TEST_F(ScanTagTest, ManyTagsAreAllRewrittenInOrder) {
  std::string page;
  std::string want;
  Links expected;
  for (int i = 0; i < 3000; ++i) {
    const std::string n = std::to_string(i);
    page += "<p>t" + n + "</p><IMG SRC=\"http://h/d/i/" + n + ".gif\"><a href=x>";
    want += "<p>t" + n + "</p><img SRC=\"i/" + n + ".gif\"><a href=x>";
    expected.push_back("http://h/d/i/" + n + ".gif");
  }
  EXPECT_EQ(RunImgSrc(page), want);
  EXPECT_EQ(links, expected);
}

TEST_F(ScanTagTest, UnusableLinksAreNeitherCollectedNorRewritten) {
  const std::string page =
      "<A href=\"mailto:x@h\">m</A><A HREF=\"#top\">t</A><A href=\"ftp://h/f\">f</A>"
      "<A href=\"a.asp?t=10:30\">c</A><A href=\"\">e</A><A href=\"  \">s</A>";
  EXPECT_EQ(RunTag(page, "href", ">", "<a "), page);
  EXPECT_TRUE(links.empty());
}

}  // namespace
}  // namespace qm::testing
