// Local paths must stay inside the task folder whatever a URL holds, and the relative links
// written into saved pages must lead to where the files really are.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> HostileUrls() {
  std::vector<std::string> urls = {
      "http://h/../../etc/passwd",
      "http://h/a/%2e%2e/%2e%2e/%2e%2e/x",
      "http://h/%2e%2e%2f%2e%2e%2fx",
      "http://h/%2E%2E/%2E%2E/",
      "http://h/..%5c..%5c..%5cx",
      "http://h/a\\..\\..\\..\\x",
      "http://h/a/%2e%2e%5c%2e%2e%5c%2e%2e%5cx",
      "http://h/%252e%252e/%252e%252e/x",
      "http://h/a%2F..%2F..%2Fx",
      "http://h/x:../../y",
      "http://h/..:/..:/x",
      "http://h/x?/../../../y",
      "http://h/a.asp?p=..&q=../..",
      "http://h/q.php?..",
      "http://h/q.php?.",
      "http://h/%00../x",
      "http://h/..%00/x",
      "http://h/x%00",
      "http://h/./././x",
      "http://h//x",
      "http://h///x/y",
      "http://h/a\\\\\\b\\\\\\\\c",
      "http://h/a???b",
      "http://h/..",
      "http://h/.",
      "http://h/...",
      "http://h/a/..",
      "http://h/a/.%2e",
      "http://h/%2e",
      "http://../x",
      "http://..",
      "http://.:81/x",
      "http://..\\..\\x/y",
      "http://h\\..\\..\\..\\x/y",
      "http://%2e%2e/x",
      "http:///x",
      "http://:80/x",
      "http://",
      "HTTP://h/../x",
      "../../../etc/passwd",
      "x/../../../../etc",
      "..\\..\\..\\x",
      "",
      "/",
      "http:",
      "http://h/" + std::string(300, 'a') + ".html",
      "http://h/" + std::string(300, 'a') + "/" + std::string(300, 'b') + ".gif",
      "http://h/" + std::string(300, 'a') + "/" + std::string(300, 'b') + ".html",  // differs
      "http://" + std::string(300, 'h') + "/x.gif",
      "http://h/" + std::string(1000, '.') + "/x",
      "http://h/a?" + std::string(600, '%') + "2e",
      "http://h/" + std::string(260, '\xD6') + ".htm",
  };
  return urls;
}

// True when p names something strictly below folder, judged on the text alone.
bool StrictlyBelow(const fs::path& folder, const fs::path& p) {
  const fs::path rel = p.lexically_normal().lexically_relative(folder.lexically_normal());
  if (rel.empty() || rel == ".") return false;
  return *rel.begin() != "..";
}

TEST(Containment, LocalPathsStayBelowTheFolder) {
  const std::string folder = "/srv/task\\site\\";
  const fs::path nativeFolder = NativePath(folder);
  for (const std::string& url : HostileUrls()) {
    const std::string local = LocalPathOf(folder, url);
    const fs::path native = NativePath(local);
    EXPECT_TRUE(StrictlyBelow(nativeFolder, native)) << url << " -> " << local;
    // Below the folder no component is empty, "." or "..", holds NUL or is too long.
    const std::string below = local.substr(folder.size());
    std::size_t from = 0;
    for (;;) {
      const std::size_t bs = below.find('\\', from);
      const std::string part = below.substr(from, bs == std::string::npos ? bs : bs - from);
      EXPECT_FALSE(part.empty() || part == "." || part == "..") << url << " -> " << local;
      EXPECT_EQ(part.find('\0'), std::string::npos) << url;
      EXPECT_EQ(part.find('/'), std::string::npos) << url;
      EXPECT_LE(part.size() + 4, 255u) << url;  // room for ".tmp" while downloading
      if (bs == std::string::npos) break;
      from = bs + 1;
    }
  }
}

TEST(Containment, KeyPathAndLinksComeFromOneSplit) {
  for (const std::string& url : HostileUrls()) {
    if (!StartsWithText(TrimBlanks(url), "http://")) continue;
    const TSplitUrl s = SplitUrl(url);
    EXPECT_FALSE(s.Host.empty()) << url;
    EXPECT_EQ(LocalPathOf("F\\", url), "F\\" + s.Host + "\\" + s.Dir + s.File) << url;
  }
  // The literal decoding rules still apply where they are harmless.
  EXPECT_EQ(LocalPathOf("F\\", "http://h/a/%2e%2e/x"), "F\\h\\a\\_..\\x");
  EXPECT_EQ(LocalPathOf("F\\", "http://h/./a/.//b"), "F\\h\\a\\b");
  EXPECT_EQ(LocalPathOf("F\\", "http://h/./a/.//"), "F\\h\\a\\index.html");
  EXPECT_EQ(LocalPathOf("F\\", "http://h/a/.."), "F\\h\\a\\index.html");
  EXPECT_EQ(LocalPathOf("F\\", "http://../x"), "F\\_..\\x");
  EXPECT_EQ(LocalPathOf("F\\", "http:///x"), "F\\_\\x");
  EXPECT_EQ(LocalPathOf("F\\", "http://h\\..\\y/x"), "F\\h_.._y\\x");
  EXPECT_EQ(LocalPathOf("F\\", "http://h/a\\\\\\b"), "F\\h\\a\\b");
  EXPECT_EQ(LocalPathOf("F", "http://h/x"), "F\\h\\x");  // the folder's own name is not extended
  // Over-long names are cut, keep their extension, and stay apart.
  const TSplitUrl a = SplitUrl("http://h/" + std::string(300, 'a') + "1.html");
  const TSplitUrl b = SplitUrl("http://h/" + std::string(300, 'a') + "2.html");
  EXPECT_NE(a.File, b.File);
  EXPECT_TRUE(a.File.ends_with(".html"));
  EXPECT_LE(a.File.size(), 251u);
  EXPECT_EQ(a.File.substr(0, 200), std::string(200, 'a'));
}

// The URL table's key is built without the full split; it must name the same directory for every
// hostile URL, or a URL could be filed under one directory and written into another.
TEST(Containment, TableKeyIsTheSplitDirectory) {
  std::string key = "stale";
  for (const std::string& url : HostileUrls()) {
    const TSplitUrl s = SplitUrl(url);
    SplitUrlDirKey(url, key);
    EXPECT_EQ(key, s.Host + "\\" + s.Dir) << url;
  }
}

TEST(Containment, RelativeLinksLeadToTheTargetFiles) {
  const std::string folder = "/srv/task\\";
  const std::vector<std::string> urls = HostileUrls();
  std::vector<std::string> pages = {"http://h/p.html", "http://h/a/b/c/p.html", "http://other/q"};
  for (const std::string& u : urls)
    if (StartsWithText(u, "http://")) pages.push_back(u);
  for (const std::string& page : pages) {
    const fs::path pageFile = NativePath(LocalPathOf(folder, page));
    for (const std::string& target : urls) {
      if (!StartsWithText(target, "http://")) continue;
      const std::string link = RelativeLocalPath(target, page);
      const fs::path reached = (pageFile.parent_path() / link).lexically_normal();
      const fs::path expected =
          fs::path(NativePath(LocalPathOf(folder, target))).lexically_normal();
      ASSERT_EQ(reached, expected) << "page " << page << " target " << target << " link " << link;
    }
  }
}

TEST(Containment, WritingEveryHostileUrlTouchesOnlyTheFolder) {
  // The folder lies deeper than any URL here climbs, so an escape stays inside the temp dir.
  test::TempDir tmp;
  const fs::path taskDir = tmp.Path() / "1" / "2" / "3" / "4" / "5" / "6" / "task";
  fs::create_directories(taskDir);
  const std::string folder = NativePath(taskDir.string()) + "\\";
  int written = 0;
  for (const std::string& url : HostileUrls()) {
    const std::string local = LocalPathOf(folder, url);
    ForceDirs(local.substr(0, local.rfind('\\') + 1));
    if (std::filesystem::is_directory(NativePath(local))) continue;  // a name taken by a dir
    test::WriteFileBytes(NativePath(local + ".tmp"), url);
    std::error_code ec;
    fs::rename(NativePath(local + ".tmp"), NativePath(local), ec);
    if (!ec) ++written;
  }
  EXPECT_GT(written, 30);
  // Nothing appeared outside the task folder.
  for (const auto& entry : fs::recursive_directory_iterator(tmp.Path())) {
    const fs::path rel = entry.path().lexically_relative(taskDir);
    if (!rel.empty() && *rel.begin() != "..") continue;  // inside the folder
    EXPECT_TRUE(entry.is_directory() && taskDir.string().starts_with(entry.path().string()))
        << "written outside the folder: " << entry.path();
  }
}

}  // namespace
}  // namespace qm
