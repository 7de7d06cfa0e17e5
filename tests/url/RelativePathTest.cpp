// The short way of RelativeLocalPath against the full split, on URLs that are mostly plain (where
// the short way answers) with now and then a byte the mapping treats specially.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "url/UrlLib.h"

namespace qm {
namespace {

std::string MostlyPlainUrl(std::mt19937& rng) {
  static const std::string kHosts[] = {"h", "h:8080", "other", "H", ".", "..", "", "h?x"};
  static const std::string kPlain[] = {"a",  "b",  "doc", "x.html", "y.php", "z.gif",  "p.asp",
                                       "e.", "..", ".",   "",       "#frag", "#f.php", "q.JSP"};
  static const std::string kSpecial[] = {
      "%41", "%2e", "?id=1", "&", ":", "\\", " ", "\t", std::string(1, '\0'), "*", "\xD6\xD0", "|"};
  std::string url = rng() % 9 == 0 ? "HTTPS://" : "http://";
  url += kHosts[rng() % std::size(kHosts)];
  if (rng() % 20 != 0) url += '/';
  const int parts = static_cast<int>(rng() % 6);
  for (int i = 0; i < parts; ++i) {
    if (i > 0) url += '/';
    url += kPlain[rng() % std::size(kPlain)];
    if (rng() % 8 == 0) url += kSpecial[rng() % std::size(kSpecial)];
    if (rng() % 60 == 0) url.append(230 + rng() % 20, 'n');
  }
  return url;
}

TEST(RelativeLocalPath, ShortWayMatchesTheFullSplit) {
  const TSplitUrl pages[] = {SplitUrl("http://h/"), SplitUrl("http://h/a/b/p.html"),
                             SplitUrl("http://h/doc/x.html"), SplitUrl("http://other/a/"),
                             SplitUrl("http://h/a/doc/b/")};
  std::mt19937 rng(20261209);
  for (int i = 0; i < 200000; ++i) {
    const std::string url = MostlyPlainUrl(rng);
    const TSplitUrl& page = pages[rng() % std::size(pages)];
    ASSERT_EQ(RelativeLocalPath(url, page), RelativeLocalPathBySplit(url, page))
        << "case " << i << ": " << url << " from " << page.Host << "\\" << page.Dir;
  }
}

TEST(RelativeLocalPath, CommonLinks) {
  const TSplitUrl page = SplitUrl("http://h/a/b/p.html");
  const struct {
    const char* url;
    const char* local;
  } cases[] = {
      {"http://h/a/b/x.html", "x.html"},
      {"http://h/a/c/d/x.html#top", "../c/d/x.html#top"},
      {"http://h/", "../../index.html"},
      {"http://h/a/b/", "index.html"},
      {"http://h:81/a/list.php", "../list.php.html"},
      {"http://other/a/b/x.gif", "../../../other/a/b/x.gif"},
      {"http://h/a/b/name.", "name"},     // the full split drops the dot
      {"http://h/a/./b/x.gif", "x.gif"},  // and the "." directory
      {"http://h/a/%62/x.gif", "x.gif"},  // and decodes the escape
  };
  for (const auto& c : cases) EXPECT_EQ(RelativeLocalPath(c.url, page), c.local) << c.url;
}

}  // namespace
}  // namespace qm
