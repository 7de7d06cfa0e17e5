// The tag reading of the style and media scan: tag openings found through block masks, and the
// attribute walk that finds each tag's end. Both are checked on chosen cases and against plain
// byte-by-byte readings of the same rules on random markup.
#include "analysis/TagWalk.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace qm::testing {
namespace {

constexpr std::size_t npos = std::string_view::npos;

struct TValueSeen {
  std::string Name;
  std::string Value;
  bool operator==(const TValueSeen&) const = default;
};

struct TTagRead {
  std::vector<TValueSeen> Values;
  std::size_t End = npos;
  bool operator==(const TTagRead&) const = default;
};

TTagRead Walk(std::string_view text, std::size_t at) {
  TTagRead read;
  TAttributeWalk walk(text, at);
  while (walk.Next())
    read.Values.push_back(
        {std::string(walk.Name()), std::string(text.substr(walk.ValuePos(), walk.ValueLen()))});
  read.End = walk.End();
  EXPECT_FALSE(walk.Next());  // stays at the end
  EXPECT_EQ(walk.End(), read.End);
  return read;
}

// The attribute reading written out byte by byte, as plainly as it can be.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

TTagRead ReferenceWalk(std::string_view text, std::size_t at) {
  TTagRead read;
  std::size_t p = at;
  for (;;) {
    while (p < text.size() && (IsBlank(text[p]) || text[p] == '/')) ++p;
    if (p >= text.size()) return read;
    if (text[p] == '>') {
      read.End = p;
      return read;
    }
    const std::size_t nameStart = p;
    while (p < text.size() && !IsBlank(text[p]) && text[p] != '=' && text[p] != '>' &&
           text[p] != '/')
      ++p;
    if (p == nameStart) {
      ++p;
      continue;
    }
    const std::string name(text.substr(nameStart, p - nameStart));
    std::size_t q = p;
    while (q < text.size() && IsBlank(text[q])) ++q;
    if (q >= text.size() || text[q] != '=') continue;
    ++q;
    while (q < text.size() && IsBlank(text[q])) ++q;
    if (q >= text.size()) return read;
    if (text[q] == '"' || text[q] == '\'') {
      const std::size_t close = text.find(text[q], q + 1);
      if (close == npos) return read;
      read.Values.push_back({name, std::string(text.substr(q + 1, close - q - 1))});
      p = close + 1;
    } else {
      const std::size_t start = q;
      while (q < text.size() && !IsBlank(text[q]) && text[q] != '>') ++q;
      read.Values.push_back({name, std::string(text.substr(start, q - start))});
      p = q;
    }
  }
}

std::vector<std::size_t> Openings(std::string_view text) {
  std::vector<std::size_t> found;
  TTagOpenings openings(text);
  for (std::size_t i = 0; (i = openings.Next(i)) != npos; ++i) found.push_back(i);
  return found;
}

std::vector<std::size_t> ReferenceOpenings(std::string_view text) {
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    const char c = text[i + 1];
    if (text[i] == '<' && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '!'))
      found.push_back(i);
  }
  return found;
}

TEST(TagWalkTest, ValuesAndTagEnds) {
  using V = std::vector<TValueSeen>;
  struct Case {
    std::string_view tag;  // the text after the tag's name
    V values;
    std::size_t end;  // npos: not closed
  } const cases[] = {
      {">", {}, 0},
      {" a=\"x\" b='y' c=z>", {{"a", "x"}, {"b", "y"}, {"c", "z"}}, 16},
      // A quoted value hides '>' and '<'; a quote of the other kind is a plain byte in it.
      {" title=\"a>b<c\" style='x\"y'>", {{"title", "a>b<c"}, {"style", "x\"y"}}, 26},
      {" a = \"x\" \t\r\n\fb\n=\ny/>", {{"a", "x"}, {"b", "y/"}}, 19},
      // Names without values, slashes between attributes, names running into quotes.
      {" checked/ b/c=d x\"y=\"z\">", {{"c", "d"}, {"x\"y", "z"}}, 23},
      // Stray '=': alone, after a slash, after a quoted value. What follows is no value, so its
      // quotes hide nothing.
      {" = \"q>\" a=1>", {}, 5},
      {" a/=b>", {}, 5},
      {" a=\"x\"=\"y>\" c=d>", {{"a", "x"}}, 9},
      // Unquoted values end at a blank or '>' and may hold '=' and quotes.
      {" a=b=\"c>\" d=e>", {{"a", "b=\"c"}}, 7},
      {" a= >", {{"a", ""}}, 4},
      // A vertical tab is no blank.
      {" a\v=x>", {{"a\v", "x"}}, 5},
      // Not closed: a quote that never closes, the text ending in a name, after '=' or in blanks.
      {" a=\"x>", {}, npos},
      {" a=\"x\" b", {{"a", "x"}}, npos},
      {" a=", {}, npos},
      {" a=  ", {}, npos},
      {" a=x", {{"a", "x"}}, npos},
      {"", {}, npos},
  };
  for (const Case& c : cases) {
    const std::string text = "<p" + std::string(c.tag) + " tail>";
    const std::size_t end = c.end == npos ? npos : c.end + 2;
    const TTagRead read = Walk(c.tag, 0);
    EXPECT_EQ(read.Values, c.values) << c.tag;
    EXPECT_EQ(read.End, c.end) << c.tag;
    // Followed by more text, a closed tag reads the same; an open one may close later.
    if (c.end != npos) {
      EXPECT_EQ(Walk(text, 2), (TTagRead{c.values, end})) << c.tag;
    }
    EXPECT_EQ(Walk(text, 2), ReferenceWalk(text, 2)) << c.tag;
  }
}

TEST(TagWalkTest, OpeningsSkipEndTagsAndStrayBrackets) {
  // Long enough for whole blocks, with openings on both sides of block edges (64, 128).
  std::string text(200, '.');
  const std::vector<std::size_t> places = {0, 5, 63, 66, 127, 150, 196};
  const char nexts[] = {'a', 'Z', 'q', '!', 'z', 'A', 'b'};
  for (std::size_t k = 0; k < places.size(); ++k) {
    text[places[k]] = '<';
    text[places[k] + 1] = nexts[k];
  }
  // Not openings: end tags, brackets before a digit, a blank, '@', '[', '`', '{', or a byte above
  // 127, and a '<' as the last byte.
  const std::string_view others[] = {"</", "<1", "< ", "<@", "<[", "<`", "<{", "<\xc1"};
  std::size_t at = 10;
  for (std::string_view o : others) {
    text.replace(at, 2, o);
    at += 6;
  }
  text.back() = '<';
  EXPECT_EQ(Openings(text), places);
  EXPECT_EQ(Openings(text), ReferenceOpenings(text));
  // A search may start anywhere: inside a block, on an opening, past the last one.
  TTagOpenings openings(text);
  EXPECT_EQ(openings.Next(63), 63u);
  EXPECT_EQ(openings.Next(65), 66u);
  EXPECT_EQ(openings.Next(67), 127u);
  EXPECT_EQ(openings.Next(197), npos);
  EXPECT_EQ(Openings(""), std::vector<std::size_t>{});
  EXPECT_EQ(Openings("<a"), std::vector<std::size_t>{0});
}

// Random markup from the bytes that steer the reading, of every length around the block size.
TEST(TagWalkTest, AgreesWithByteByByteReadingOnRandomMarkup) {
  const std::string_view pieces[] = {"<",  ">",  "=", "\"",   "'",      " ",      "\t", "\n", "/",
                                     "a",  "B",  "!", "<a ",  "style=", "src=\"", "\v", "\f", "-",
                                     "<!", "</", "z", "\x80", "x",      "=\"",    "'>"};
  std::mt19937 random(20261209);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const std::size_t size = random() % 300;
    while (text.size() < size) text += pieces[random() % std::size(pieces)];
    ASSERT_EQ(Openings(text), ReferenceOpenings(text)) << text;
    for (std::size_t at = 0; at <= text.size(); at += 1 + random() % 7)
      ASSERT_EQ(Walk(text, at), ReferenceWalk(text, at)) << at << " in " << text;
  }
}

}  // namespace
}  // namespace qm::testing
