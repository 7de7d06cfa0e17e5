#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TempDir.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

struct SplitCase {
  const char* url;
  const char* dir;
  const char* file;
  const char* local;
};

TEST(SplitUrl, MapsUrlsToLocalFiles) {
  const SplitCase cases[] = {
      {"http://h", "", "index.html", "F\\h\\index.html"},
      {"http://h/", "", "index.html", "F\\h\\index.html"},
      {"http://h/a/b/", "a\\b\\", "index.html", "F\\h\\a\\b\\index.html"},
      {"http://h:8080/a/p.htm", "a\\", "p.htm", "F\\h\\a\\p.htm"},
      {"http://h/a/b", "a\\", "b", "F\\h\\a\\b"},
      {"http://h/list.php", "", "list.php.html", "F\\h\\list.php.html"},
      {"http://h/a.asp?x=1&y=2", "a.asp\\x=1\\", "y=2.html", "F\\h\\a.asp\\x=1\\y=2.html"},
      {"http://h/my%20doc.txt", "", "my doc.txt", "F\\h\\my doc.txt"},
      {"http://h/x.html#top", "", "x.html#top", "F\\h\\x.html#top"},
      {"http://h/a/t.gif.", "a\\", "t.gif", "F\\h\\a\\t.gif"},
      // A site's files do not depend on the scheme: one copy per host.
      {"https://h", "", "index.html", "F\\h\\index.html"},
      {"HTTPS://h/a/b/", "a\\b\\", "index.html", "F\\h\\a\\b\\index.html"},
      {"https://h:8443/a/p.htm", "a\\", "p.htm", "F\\h\\a\\p.htm"},
      {"https://h/a.asp?x=1&y=2", "a.asp\\x=1\\", "y=2.html", "F\\h\\a.asp\\x=1\\y=2.html"},
  };
  for (const auto& c : cases) {
    const TSplitUrl s = SplitUrl(c.url);
    EXPECT_EQ(s.Host, "h") << c.url;
    EXPECT_EQ(s.Dir, c.dir) << c.url;
    EXPECT_EQ(s.File, c.file) << c.url;
    EXPECT_EQ(LocalPathOf("F\\", c.url), c.local) << c.url;
  }
}

TEST(SplitUrl, HostAndPort) {
  TSplitUrl s = SplitUrl("  HTTP://Site.Test:8080/A/B.HTML\r\n");
  EXPECT_EQ(s.Host, "Site.Test");
  EXPECT_EQ(s.Port, "8080");
  EXPECT_EQ(s.Dir, "A\\");
  EXPECT_EQ(s.File, "B.HTML");
  EXPECT_EQ(SplitUrl("http://h/").Port, "80");
  EXPECT_EQ(SplitUrl("https://h/").Port, "443");
  EXPECT_EQ(SplitUrl("https://h:8443/").Port, "8443");
  EXPECT_EQ(LocalPathOf("F\\", "https://h:8443/a.gif"), LocalPathOf("F\\", "http://h/a.gif"));
  // The port plays no part in the local file.
  EXPECT_EQ(LocalPathOf("F\\", "http://h:81/a.gif"), LocalPathOf("F\\", "http://h/a.gif"));
  // Case is kept.
  EXPECT_EQ(LocalPathOf("F\\", "http://h/A.html"), "F\\h\\A.html");
  EXPECT_EQ(LocalPathOf("F\\", "http://h/a.html"), "F\\h\\a.html");
  // An empty folder stands for the current one.
  EXPECT_EQ(LocalPathOf("", "http://h/a.html"), ".\\h\\a.html");
}

TEST(SplitUrl, QueriesBecomeDirectoryChains) {
  TSplitUrl s = SplitUrl("http://h/cgi/q.jsp?a=1&b=x:y/z");
  EXPECT_EQ(s.Dir, "cgi\\q.jsp\\a=1\\b=x\\y\\");
  EXPECT_EQ(s.File, "z.html");
  // Every URL with "?" ends in ".html", whatever its name.
  EXPECT_EQ(SplitUrl("http://h/pic.gif?v=2").File, "v=2.html");
  EXPECT_EQ(SplitUrl("http://h/a/").File, "index.html");
  EXPECT_EQ(SplitUrl("http://h/d/A.ASPX").File, "A.ASPX.html");
  // An escaped slash separates directories once decoded.
  s = SplitUrl("http://h/a%2Fb/c%2fd.htm");
  EXPECT_EQ(s.Dir, "a\\b\\c\\");
  EXPECT_EQ(s.File, "d.htm");
  // Tabs in the file name become spaces; the other forbidden characters separate.
  s = SplitUrl("http://h/x%09y*z\"w<v>u|t.txt");
  EXPECT_EQ(s.Dir, "x y\\z\\w\\v\\u\\");
  EXPECT_EQ(s.File, "t.txt");
  // GBK names pass through as bytes.
  EXPECT_EQ(SplitUrl("http://h/\xD6\xD0/%CE%C4.htm").Dir, "\xD6\xD0\\");
  EXPECT_EQ(SplitUrl("http://h/\xD6\xD0/%CE%C4.htm").File, "\xCE\xC4.htm");
}

TEST(SplitUrl, TextsThatAreNoHttpUrls) {
  TSplitUrl s = SplitUrl("first/second/x.gif");
  EXPECT_EQ(s.Host, "");
  EXPECT_EQ(s.Port, "80");
  EXPECT_EQ(s.Dir, "second\\");  // the first component is dropped
  EXPECT_EQ(s.File, "x.gif");
  EXPECT_EQ(SplitUrl("x.gif").File, "index.html");
}

TEST(HasExtIn, ExtensionOfTheNameBeforeTheQuery) {
  EXPECT_TRUE(HasExtIn("http://h/a/P.HTM", PageExts));
  EXPECT_TRUE(HasExtIn("http://h/a.gif?x=1", PageExts));  // any query makes a page
  EXPECT_TRUE(HasExtIn("http://h/a.gif?x=1", DynamicExts));
  EXPECT_FALSE(HasExtIn("http://h/a.htm?x=1", ImageExts));
  EXPECT_TRUE(HasExtIn("http://h/a.gif?x=1", ImageExts));
  EXPECT_TRUE(HasExtIn("x.Jpeg", ImageExts));
  EXPECT_FALSE(HasExtIn("x.jp", ImageExts));  // whole entries only
  EXPECT_FALSE(HasExtIn("x.gi", ".gif;"));
  EXPECT_TRUE(HasExtIn("http://h.x", ".x;"));  // the extension of a bare host
  EXPECT_FALSE(HasExtIn("http://h/a/b", PageExts));
  EXPECT_FALSE(HasExtIn("a.htm\\b", PageExts));  // "\" after the dot
  EXPECT_FALSE(HasExtIn("http://h.htm:80", PageExts));
  EXPECT_FALSE(HasExtIn("noext", PageExts));
  EXPECT_FALSE(HasExtIn("a.z", ".zip;.z"));      // text after the last ";" is no entry
  EXPECT_TRUE(HasExtIn("a.gif", ";.x;;.GIF;"));  // empty entries are passed over
  EXPECT_FALSE(HasExtIn("a.g:f", ".g:f;"));
  EXPECT_FALSE(HasExtIn("a.gif", ""));
  EXPECT_TRUE(HasExtIn("a.z", ArchiveExts));
  EXPECT_TRUE(HasExtIn("p.php3", DynamicExts));
  EXPECT_FALSE(HasExtIn("p.html", DynamicExts));
  EXPECT_TRUE(HasExtIn("movie.swf", NoQueryExts));
  EXPECT_TRUE(HasExtIn("s.JS", ScriptExts));
  EXPECT_TRUE(HasExtIn("d.pdf", DocumentExts));
  EXPECT_TRUE(HasExtIn("setup.exe", ProgramExts));
  EXPECT_TRUE(HasExtIn("a.shtml", StaticPageExts));
  EXPECT_FALSE(HasExtIn("a.asp", StaticPageExts));
}

TEST(RelativeLocalPath, FromAPageToItsTargets) {
  const char* page = "http://h/a/b/p.html";
  EXPECT_EQ(RelativeLocalPath("http://h/a/b/x.gif", page), "x.gif");
  EXPECT_EQ(RelativeLocalPath("http://h/a/b/img/x.gif", page), "img/x.gif");
  EXPECT_EQ(RelativeLocalPath("http://h/a/c/x.gif", page), "../c/x.gif");
  EXPECT_EQ(RelativeLocalPath("http://h/x.gif", page), "../../x.gif");
  EXPECT_EQ(RelativeLocalPath("http://other/y/z.css", page), "../../../other/y/z.css");
  EXPECT_EQ(RelativeLocalPath("http://h/a/b/list.php?id=3", page), "list.php/id=3.html");
  EXPECT_EQ(RelativeLocalPath("http://other/y/z.css", "http://h/p.html"), "../other/y/z.css");
  EXPECT_EQ(RelativeLocalPath("http://h/a/", page), "../index.html");
  EXPECT_EQ(RelativeLocalPath("http://h:8080/a/b/x.gif", page), "x.gif");
  // Links to either scheme of the page's host lead to the one local copy.
  EXPECT_EQ(RelativeLocalPath("https://h/a/b/x.gif", page), "x.gif");
  EXPECT_EQ(RelativeLocalPath("HTTPS://h/x.gif", page), "../../x.gif");
  EXPECT_EQ(RelativeLocalPath("http://h/a/c/x.gif", "https://h/a/b/p.html"), "../c/x.gif");
  EXPECT_EQ(RelativeLocalPath("https://other/y/z.css", page), "../../../other/y/z.css");
  // Links the program did not resolve stay as written.
  EXPECT_EQ(RelativeLocalPath("mailto:x@h", page), "mailto:x@h");
  EXPECT_EQ(RelativeLocalPath("x.gif", page), "x.gif");
  // Components compare exactly: A and a are different directories.
  EXPECT_EQ(RelativeLocalPath("http://h/A/b/x.gif", page), "../../A/b/x.gif");
}

TEST(ForceDirs, CreatesEveryMissingLevel) {
  test::TempDir tmp;
  const std::string folder = tmp.TaskFolder();
  ForceDirs(folder + "h\\a\\b\\");
  EXPECT_TRUE(std::filesystem::is_directory(tmp.Path() / "h" / "a" / "b"));
  ForceDirs(folder + "h\\c\\d");
  EXPECT_TRUE(std::filesystem::is_directory(tmp.Path() / "h" / "c" / "d"));
  ForceDirs(tmp.Path().string() + "/m/n\\o");  // a native folder with local levels below it
  EXPECT_TRUE(std::filesystem::is_directory(tmp.Path() / "m" / "n" / "o"));
  ForceDirs(folder + "h\\a\\b\\");  // existing levels are fine
  EXPECT_TRUE(std::filesystem::is_directory(tmp.Path() / "h" / "a" / "b"));
  // A file in the way: the call gives up quietly.
  test::WriteFileBytes(tmp.Path() / "f", "x");
  ForceDirs(folder + "f\\g\\");
  EXPECT_FALSE(std::filesystem::exists(tmp.Path() / "f" / "g"));
}

// Many targets from one page, met again in other orders: each gives its own path.
TEST(RelativeLocalPath, ManyTargetsMetAgain) {
  const TSplitUrl page = SplitUrl("http://h/a/b/p.html");
  const auto expected = [](int n) {
    const std::string id = std::to_string(n);
    return n % 2 == 0 ? "f" + id + ".html" : "../c/" + id + "/x.gif";
  };
  const auto target = [](int n) {
    const std::string id = std::to_string(n);
    return n % 2 == 0 ? "http://h/a/b/f" + id + ".html" : "http://h/a/c/" + id + "/x.gif";
  };
  constexpr int kTargets = 5000;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < kTargets; ++i) {
      const int n = round == 1 ? kTargets - 1 - i : (i * 7919) % kTargets;
      ASSERT_EQ(RelativeLocalPath(target(n), page), expected(n)) << target(n);
    }
  }
}

TEST(NativePath, BackslashesBecomeSlashes) {
  EXPECT_EQ(NativePath(".\\h\\a\\x.gif"), "./h/a/x.gif");
  EXPECT_EQ(NativePath("/tmp/t\\h\\"), "/tmp/t/h/");
}

}  // namespace
}  // namespace qm
