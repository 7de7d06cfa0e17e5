// One scratch kept from scan to scan and page to page, as the analysis thread keeps it: what a link
// value resolved to is reused only where it cannot differ, and the table is asked again each scan.
#include <random>
#include <string>
#include <vector>

#include "ScanFixture.h"

namespace qm::testing {
namespace {

using ScanMemoTest = ScanFixture;

TEST_F(ScanMemoTest, EveryScanAsksTheTableAgain) {
  // First page: x.html is new, so it is collected.
  EXPECT_EQ(Run(kAnchors, "<a href=\"x.html\">", "http://h/d/one.html"), "<a href=\"x.html\">");
  EXPECT_EQ(links, Links({"http://h/d/x.html"}));
  // Meanwhile x.html was fetched and redirected: the next page of the folder points to the
  // target and collects nothing.
  const std::int32_t x = AddEntry("http://h/d/x.html");
  ASSERT_GE(task.RedirectRecord(x, "http://h/e/new.html"), 0);
  links.clear();
  EXPECT_EQ(Run(kAnchors, "<a href=\"x.html\"><a href=\"x.html\">", "http://h/d/two.html"),
            "<a href=\"../e/new.html\"><a href=\"../e/new.html\">");
  EXPECT_TRUE(links.empty());
}

TEST_F(ScanMemoTest, PagesOfOtherFoldersAndHostRulesResolveForThemselves) {
  // The same values from pages of one folder, from a generated page of that folder (whose local
  // file lies a level deeper) and from other folders.
  const std::string page = "<a href=\"a.html\"><a href=\"../b.html#s\"><a href=\"/c.html\">";
  EXPECT_EQ(Run(kAnchors, page, "http://h/d/p.html"),
            "<a href=\"a.html\"><a href=\"../b.html#s\"><a href=\"../c.html\">");
  EXPECT_EQ(Run(kAnchors, page, "http://h/d/q.php?x=1"),
            "<a href=\"../a.html\"><a href=\"../../b.html#s\"><a href=\"../../c.html\">");
  EXPECT_EQ(Run(kAnchors, page, "http://h/d/r.html"),
            "<a href=\"a.html\"><a href=\"../b.html#s\"><a href=\"../c.html\">");
  EXPECT_EQ(Run(kAnchors, page, "http://h/p.html"),
            "<a href=\"a.html\"><a href=\"b.html#s\"><a href=\"c.html\">");
  // The image rule admits other hosts or not; a remembered refusal must not carry over.
  const std::string image = "<img src=\"http://other/i.gif\">";
  EXPECT_EQ(RunTag(image, "src", ">", "<img ", false, 1), image);
  EXPECT_EQ(RunTag(image, "src", ">", "<img ", true, 1), "<img src=\"../../other/i.gif\">");
  EXPECT_EQ(RunTag(image, "src", ">", "<img ", false, 1), image);
}

// Pages from many folders, bases and host rules, scanned in turn with one scratch and each with a
// fresh one: the same pages and links come out. More contexts than the scratch keeps at once, so
// that some are dropped and made again.
TEST_F(ScanMemoTest, OneScratchForAllPagesGivesWhatAFreshOneGives) {
  const std::vector<std::string> bases = {"http://h/d/p.html",
                                          "http://h/d/q.html",
                                          "http://h/d/e/p.html",
                                          "http://h/p.html",
                                          "http://h",
                                          "http://h/d/a.php?x=/y/",
                                          "http://h:81/d/p.html",
                                          "https://h/d/p.html",
                                          "http://other/d/p.html",
                                          "http://h/D/p.html",
                                          "http://h/d/..%2f/p.htm",
                                          "http://h/d/ p.html"};
  const std::vector<std::string> values = {"a.html",
                                           "a.html#s",
                                           "../a.html",
                                           "/r/a.html",
                                           "#top",
                                           "?q=1",
                                           "",
                                           " a.html ",
                                           "http://h/d/a.html",
                                           "http://other/o.gif",
                                           "b.php?i=1&amp;j=2",
                                           "x.exe?v=2",
                                           "./c/d.html",
                                           "..\\w.html",
                                           "s p.html",
                                           "javascript:go()",
                                           "mailto:a@h",
                                           "../../../../up.html"};
  const std::vector<std::string> starts = {"http://h/d/p.html", "http://www.h/index.html"};
  std::mt19937 random(2026);
  for (int step = 0; step < 600; ++step) {
    if (step % 150 == 0) task.SetStartUrl(starts[static_cast<std::size_t>(step / 150) % 2]);
    if (random() % 7 == 0) AddEntry("http://h/d/" + values[random() % values.size()]);
    std::string page;
    for (int tag = 0; tag < 6; ++tag) {
      const std::string& value = values[random() % values.size()];
      page += random() % 2 ? "<a href=\"" + value + "\">" : "<img src=\"" + value + "\">";
    }
    const std::string& base = bases[random() % bases.size()];
    const bool anyHost = random() % 2 == 0;
    const int hostOnly = static_cast<int>(random() % 3);
    const auto scan = [&](TScanScratch& s, TLinkList& l) {
      std::string text = page;
      ScanTag(task, base, text, "href", ">", "<a ", false, hostOnly, l, s);
      ScanTag(task, base, text, "src", ">", "<img ", anyHost, hostOnly, l, s);
      return text;
    };
    TScanScratch fresh;
    TLinkList freshLinks;
    const std::string expected = scan(fresh, freshLinks);
    TLinkList keptLinks;
    EXPECT_EQ(scan(scratch, keptLinks), expected) << base << " " << page;
    EXPECT_EQ(keptLinks, freshLinks) << base << " " << page;
    if (HasFailure()) return;
  }
}

TEST_F(ScanMemoTest, AFolderWithMoreLinksThanKeptStartsAgainWithTheSameResults) {
  std::string page;
  for (int i = 0; i < 5000; ++i) page += "<a href=\"l" + std::to_string(i) + ".html\">";
  const std::string first = Run(kAnchors, page);
  const std::size_t collected = links.size();
  links.clear();
  EXPECT_EQ(Run(kAnchors, page), first);
  EXPECT_EQ(links.size(), collected);
  EXPECT_EQ(collected, 5000u);
}

}  // namespace
}  // namespace qm::testing
