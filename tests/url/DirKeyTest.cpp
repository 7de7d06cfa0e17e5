// The URL table's key, built on its own, against the full split it stands for.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "url/UrlLib.h"

namespace qm {
namespace {

std::string SplitKey(std::string_view url) {
  const TSplitUrl s = SplitUrl(url);
  return s.Host + "\\" + s.Dir;
}

TEST(SplitUrlDirKey, MatchesTheSplitOnTypicalUrls) {
  const char* const urls[] = {
      "http://www.example.com/section1/part2/page3.html",
      "http://www.example.com/list.php?id=17",
      "http://www.example.com/list.php?id=17&x=a/b:c",
      "http://www.example.com:8080/a/b/",
      "HTTP://Host/A/./B//c.asp?q",
      "  http://h/a\tb/c\td?e\tf/g  ",
      "http://h?x/y",
      "http://h",
      "http://h:81",
      "relative/dir/file.gif",
      "no-slash",
      "http://h/a/b/x.php?",
      "http://h/a.php?..",
      "http://h/a/b.jsp?x=1.",
  };
  std::string key;
  for (const char* url : urls) {
    SplitUrlDirKey(url, key);
    EXPECT_EQ(key, SplitKey(url)) << url;
  }
  SplitUrlDirKey("http://www.example.com/list.php?id=17", key);
  EXPECT_EQ(key, "www.example.com\\list.php\\");
}

// Random URLs made of the bytes the mapping treats specially: separators, dots, escapes, blanks,
// NUL, double-byte text, and runs long enough to be shortened.
std::string RandomUrl(std::mt19937& rng) {
  static const std::string kPieces[] = {"/",
                                        "\\",
                                        ".",
                                        "..",
                                        "%",
                                        "%2e",
                                        "%2E",
                                        "%2f",
                                        "%5c",
                                        "%25",
                                        "%00",
                                        "%3f",
                                        "?",
                                        ":",
                                        "*",
                                        "\"",
                                        "<",
                                        ">",
                                        "|",
                                        "&",
                                        "\t",
                                        " ",
                                        std::string(1, '\0'),
                                        "\xD6\xD0",
                                        "a",
                                        "b",
                                        "x",
                                        "=",
                                        "1",
                                        ".php",
                                        ".asp",
                                        ".html",
                                        ".gif",
                                        "index",
                                        "~",
                                        "#"};
  static const std::string kStarts[] = {"http://",  "HTTP://", "http://h", "http://h/",
                                        " http://", "http:",   "",         "/"};
  std::string url = kStarts[rng() % std::size(kStarts)];
  const int pieces = static_cast<int>(rng() % 24);
  for (int i = 0; i < pieces; ++i) {
    if (rng() % 40 == 0) {
      url.append(200 + rng() % 120, "a.\xD6"[rng() % 3]);
    } else {
      url += kPieces[rng() % std::size(kPieces)];
    }
  }
  return url;
}

TEST(SplitUrlDirKey, MatchesTheSplitOnRandomUrls) {
  std::mt19937 rng(20261208);
  std::string key;
  for (int i = 0; i < 200000; ++i) {
    const std::string url = RandomUrl(rng);
    SplitUrlDirKey(url, key);
    ASSERT_EQ(key, SplitKey(url)) << "case " << i << ": " << url;
  }
}

}  // namespace
}  // namespace qm
