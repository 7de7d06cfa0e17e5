#include <gtest/gtest.h>

#include <string>

#include "url/UrlLib.h"

namespace qm {
namespace {

std::string Abs(std::string_view link, std::string_view base) {
  std::string out = "unchanged";
  if (!MakeAbsoluteUrl(link, base, out)) {
    EXPECT_EQ(out, "") << "a failed resolution leaves the result empty";
    return "<false>";
  }
  return out;
}

TEST(MakeAbsoluteUrl, RelativeLinks) {
  EXPECT_EQ(Abs("img/a.gif", "http://h/d/p.html"), "http://h/d/img/a.gif");
  EXPECT_EQ(Abs("../../x.html", "http://h/a/b/c.html"), "http://h/x.html");
  EXPECT_EQ(Abs("../../../x.html", "http://h/a/b/c.html"), "http://h/x.html");
  EXPECT_EQ(Abs("./x.html", "http://h/a/p.html"), "http://h/a/x.html");
  EXPECT_EQ(Abs("x.html", "http://h"), "http://h/x.html");
  EXPECT_EQ(Abs("x.html", "http://h/d/"), "http://h/d/x.html");
  EXPECT_EQ(Abs("sub\\pic.gif", "http://h/d/p.html"), "http://h/d/sub/pic.gif");
  EXPECT_EQ(Abs("..\\x.gif", "http://h/a/b/p.html"), "http://h/a/x.gif");
  // Links in an https page resolve to https URLs the same way.
  EXPECT_EQ(Abs("img/a.gif", "https://h/d/p.html"), "https://h/d/img/a.gif");
  EXPECT_EQ(Abs("../../x.html", "HTTPS://h/a/b/c.html"), "https://h/x.html");
  EXPECT_EQ(Abs("x.html", "https://h"), "https://h/x.html");
  EXPECT_EQ(Abs("sub\\pic.gif", "https://h/d/"), "https://h/d/sub/pic.gif");
  // Only leading dot segments are interpreted.
  EXPECT_EQ(Abs("a/../b.html", "http://h/d/p.html"), "http://h/d/a/../b.html");
  EXPECT_EQ(Abs("a/./b.html", "http://h/p.html"), "http://h/a/./b.html");
  // "../" prefixes are all taken before any "..\" prefix.
  EXPECT_EQ(Abs("../..\\x", "http://h/a/b/c/p.html"), "http://h/a/x");
  // Backslash levels after a climb go below the climbed directory.
  EXPECT_EQ(Abs("..\\sub\\x.gif", "http://h/a/b/p.html"), "http://h/a/sub/x.gif");
  EXPECT_EQ(Abs("../../../s\\x.gif", "http://h:81/a/p.html"), "http://h:81/s/x.gif");
}

TEST(MakeAbsoluteUrl, ServerAbsoluteAndAbsoluteLinks) {
  EXPECT_EQ(Abs("/x.html", "http://h:8080/a/b.html"), "http://h:8080/x.html");
  EXPECT_EQ(Abs("/x.html", "http://h"), "http://h/x.html");
  EXPECT_EQ(Abs("HTTP://Other/Y.html", "http://h/"), "HTTP://Other/Y.html");
  EXPECT_EQ(Abs("/x.html", "ftp://h/"), "<false>");  // no site root to build on
  EXPECT_EQ(Abs("/x.html", "https://h:8443/a/b.html"), "https://h:8443/x.html");
  EXPECT_EQ(Abs("https://Other/Y.html", "http://h/"), "https://Other/Y.html");
  EXPECT_EQ(Abs("HTTPS://o/a b.html", "https://h/"), "HTTPS://o/a%20b.html");
  EXPECT_EQ(Abs("http://h/p.html", "https://h/"), "http://h/p.html");
}

TEST(MakeAbsoluteUrl, CleansTheResult) {
  EXPECT_EQ(Abs("a.asp?x=1&amp;y=2", "http://h/"), "http://h/a.asp?x=1&y=2");
  EXPECT_EQ(Abs("my page.html", "http://h/"), "http://h/my%20page.html");
  EXPECT_EQ(Abs("http://h/a\r\nb.html  ", "http://x/"), "http://h/ab.html");
  EXPECT_EQ(Abs("/a&AMP;b", "http://h/"), "http://h/a&AMP;b");  // first must match exactly
  // Blanks at the ends go before spaces are escaped; a tab inside stays.
  EXPECT_EQ(Abs("\t b.html\r\n", "http://h/d/"), "http://h/d/\t%20b.html");
  EXPECT_EQ(Abs("http://h/x y.html \r\n", "http://x/"), "http://h/x%20y.html");
  EXPECT_EQ(Abs(" \r\n", "http://h/d/"), "http://h/d/");
}

TEST(MakeAbsoluteUrl, RefusesOtherSchemesAndFragments) {
  for (const char* link : {"#top", "javascript:go()", "JavaScript:void(0)", "mailto:x", "ftp://h/f",
                           "https:/h/", "httpsx://h/", "a.asp?t=10:30", ""}) {
    EXPECT_EQ(Abs(link, "http://h/d/p.html"), "<false>") << link;
  }
}

TEST(MakeAbsoluteUrl, NonHttpBaseLeavesRelativeLinks) {
  EXPECT_EQ(Abs("x.html", "file:///tmp/p.html"), "x.html");
  EXPECT_EQ(ResolveRelative("x.html", "ftps://h/p.html"), "x.html");
  EXPECT_EQ(SiteRootUrl("/x", "ftps://h/"), "");
  EXPECT_EQ(SiteRootUrl("/x", "HTTPS://h/a"), "https://h/x");
  EXPECT_EQ(SiteRootUrl("x", "http://h/"), "");
  EXPECT_EQ(SiteRootUrl("/x", "  http://h:81/a/b"), "http://h:81/x");
}

}  // namespace
}  // namespace qm
