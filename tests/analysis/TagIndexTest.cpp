// The tag index against a plain search for each opening, on tricky texts and generated ones, and
// after changes brought in by Update; the tag scans with and without the index on generated pages.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ScanFixture.h"
#include "analysis/TagIndex.h"
#include "url/UrlLib.h"

namespace qm::testing {
namespace {

// Every occurrence of `opening` (ASCII case ignored), by the URL functions' search.
std::vector<std::size_t> Searched(std::string_view text, std::string_view opening) {
  std::vector<std::size_t> at;
  for (std::size_t p = PosText(opening, text, 1); p != 0; p = PosText(opening, text, p + 1))
    at.push_back(p - 1);
  return at;
}

// `kinds`: a bit per kind to check, all of them by default.
void ExpectIndexOf(TTagIndex& index, std::string_view text, unsigned kinds = ~0u) {
  for (std::size_t k = 0; k < TTagIndex::kOpenings.size(); ++k)
    if (kinds & (1u << k)) {
      EXPECT_EQ(index.Of(static_cast<int>(k), text), Searched(text, TTagIndex::kOpenings[k]))
          << "opening \"" << TTagIndex::kOpenings[k] << "\" in \"" << text << "\"";
    }
}

TEST(TagIndex, KindsOfOpenings) {
  EXPECT_EQ(TTagIndex::KindOf("<"), TTagIndex::kAnyTag);
  EXPECT_EQ(TTagIndex::KindOf("<META "), TTagIndex::KindOf("<meta "));
  EXPECT_GT(TTagIndex::KindOf("<IFrame "), 0);
  EXPECT_EQ(TTagIndex::KindOf("<img"), -1);  // the blank belongs to the opening
  EXPECT_EQ(TTagIndex::KindOf("<td "), -1);
  EXPECT_EQ(TTagIndex::KindOf(""), -1);
}

TEST(TagIndex, AgreesWithSearchOnTrickyTexts) {
  const std::vector<std::string> texts = {
      "",
      "<",
      "no tags at all",
      "<a",                                  // cut short at the end
      "<a ",                                 // just fits
      "<A HREF=x><a\r\nhref=y><a\thref=z>",  // only a blank ends an opening
      "<img <image <IMAGE <imgx <img",       // openings that share their start
      "<<a <<<img >>",                       // openings straight after other "<"
      "<iframe <frame <FRAME <iFrAmE <fram",
      "<area <a <ar <AREA <a\n",
      "<script <SCRIPT\r\n<script></script>",
      "<meta <Meta <metal <link <LINK <linkx <input <INPUT <embed <EMBED ",
      "text < a < img <\xe4\xb8\xad <\x80img ",  // a blank or a high byte after "<"
      std::string("<a \0<img ", 9),
  };
  TTagIndex index;
  for (const std::string& text : texts) {
    index.Build(text);
    ExpectIndexOf(index, text);
  }
}

// Texts made of pieces of openings, so that openings, near misses and cut openings abound.
std::string GeneratedText(std::mt19937& random, std::size_t pieces) {
  static const std::vector<std::string> kPieces = {
      "<",       "<a ",     "<A", "<img ", "<IMG",   "<image ", "<i",  "frame ",   "<ifr",
      "ame ",    "<meta ",  "<M", "eta",   "<area ", "<li",     "nk ", "<script ", "<SCRIPT",
      "<embed ", "<input ", " ",  "a",     "x",      "\r\n",    ">",   "src=",     "href="};
  std::string text;
  for (std::size_t i = 0; i < pieces; ++i) text += kPieces[random() % kPieces.size()];
  return text;
}

TEST(TagIndex, AgreesWithSearchOnGeneratedTexts) {
  std::mt19937 random(18);
  TTagIndex index;
  for (int round = 0; round < 300; ++round) {
    const std::string text = GeneratedText(random, 1 + random() % 60);
    index.Build(text);
    ExpectIndexOf(index, text);
    if (HasFailure()) return;
  }
}

// Random changes, in text order, each replacing a stretch by generated text; Update must give
// what indexing the new text gives. Each step asks for some kinds only, so that a kind is often
// asked for after several Updates it has not been brought through yet.
TEST(TagIndex, UpdateAgreesWithNewIndex) {
  std::mt19937 random(1818);
  TTagIndex updated;
  for (int round = 0; round < 300; ++round) {
    std::string text = GeneratedText(random, 1 + random() % 60);
    updated.Build(text);
    for (int step = 0; step < 4; ++step) {
      std::vector<TTagIndex::TEdit> edits;
      std::string changed;
      std::size_t copied = 0;
      std::size_t at = 0;
      while (true) {
        at += random() % 12;
        const std::size_t len = random() % 6;
        if (at + len > text.size()) break;
        changed.append(text, copied, at - copied);
        const std::size_t newFrom = changed.size();
        changed += random() % 3 == 0 ? std::string() : GeneratedText(random, random() % 3);
        edits.push_back({at, at + len, newFrom, changed.size()});
        copied = at + len;
        at = copied;
      }
      changed.append(text, copied);
      updated.Update(changed, edits);
      text = changed;
      ExpectIndexOf(updated, text, step == 3 ? ~0u : static_cast<unsigned>(random()));
      if (HasFailure()) return;
    }
  }
}

// Generated pages through every tag scan, as the analysis runs them (one tracked page, scans in
// turn), with the index and with the plain search: the same pages and links come out.
std::string GeneratedPage(std::mt19937& random) {
  static const std::vector<std::string> kPieces = {
      "<img src=\"a.gif\">",
      "<IMG SRC=b.gif>",
      "<img lowsrc=\"l.gif\" src=\"s.gif\">",
      "<image src=i.gif>",
      "<input type=image src=\"in.gif\">",
      "<td background=\"bg.gif\">",
      "<embed src=\"e.swf\">",
      "<script src=\"s.js\"></script>",
      "<script >var a=1;</script>",
      "<link href=\"c.css\">",
      "<frame src=\"f.html\">",
      "<iframe src=\"if.html\"></iframe>",
      "<META http-equiv=refresh content=\"0; URL=m.html\">",
      "<area href=\"ar.html\">",
      "<a href=\"x.html\">x</a>",
      "<A HREF='y.html#f'>",
      "<a name=n>",
      "<a >",
      "<a\r\nhref=z>",
      "<a title=\"src\" href=q.html>",
      "<img alt=\"<a href=w.html>\" src=w.gif>",
      "text ",
      "<",
      ">",
      "\r\n",
      "href=\"loose.html\" ",
      "src=",
      "<p>",
      "</a>",
      "<img",
      "<a href=\"http://h/d/"};
  std::string page;
  const std::size_t pieces = 1 + random() % 40;
  for (std::size_t i = 0; i < pieces; ++i) page += kPieces[random() % kPieces.size()];
  return page;
}

void AllScans(TTask& t, std::string_view b, std::string& p, TLinkList& l, TScanScratch& s) {
  s.TrackPage(p);
  ScanImages(t, b, p, l, s);
  ScanBackgrounds(t, b, p, l, s);
  ScanInputs(t, b, p, l, s);
  ScanEmbeds(t, b, p, l, s);
  ScanScripts(t, b, p, l, s);
  ScanLinks(t, b, p, l, s);
  ScanFrames(t, b, p, l, s);
  ScanIFrames(t, b, p, l, s);
  ScanMetaRefresh(t, b, p, l, s);
  ScanAnchors(t, b, p, l, 0, s);
  ScanAreas(t, b, p, l, 0, s);
  // An opening the index does not hold is searched for.
  ScanTag(t, b, p, "src", ">", "<video ", true, 0, l, s);
}

class TagIndexScanTest : public ScanFixture {
 protected:
  // Runs every scan over `page` with the plain search and with the index: both must save the
  // same text and list the same links. Gives the links found.
  TLinkList ExpectSameWithAndWithoutIndex(const std::string& page) {
    scratch.UseTagIndex = false;
    links.clear();
    const std::string searched = Run(AllScans, page);
    const TLinkList searchedLinks = links;
    scratch.UseTagIndex = true;
    links.clear();
    EXPECT_EQ(Run(AllScans, page), searched) << page;
    EXPECT_EQ(links, searchedLinks) << page;
    return searchedLinks;
  }
};

TEST_F(TagIndexScanTest, ScansAgreeWithAndWithoutIndex) {
  std::mt19937 random(300);
  for (int round = 0; round < 400; ++round) {
    ExpectSameWithAndWithoutIndex(GeneratedPage(random));
    if (HasFailure()) return;
  }
}

// Long runs of openings without the attribute between those that carry it, an attribute far
// behind its opening, and openings inside other tags: the scan steps through the openings in
// order and must find what the plain search finds.
TEST_F(TagIndexScanTest, ScansAgreeAcrossLongRunsOfOtherOpenings) {
  std::string page;
  for (int i = 0; i < 300; ++i) {
    page += "<a name=\"n" + std::to_string(i) + "\">";
    if (i % 37 == 0) page += "<a href=\"p" + std::to_string(i) + ".html\">";
    if (i % 53 == 0) page += "<a title=\"<a \" \n\n href=\"far" + std::to_string(i) + ".html\">";
    if (i % 71 == 0) page += "<img src=\"i.gif\" alt=\"<a href=x.html>\">";
  }
  EXPECT_GT(ExpectSameWithAndWithoutIndex(page).size(), 10u);
}

}  // namespace
}  // namespace qm::testing
