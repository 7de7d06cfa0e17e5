#include <gtest/gtest.h>

#include <string>

#include "url/UrlLib.h"

namespace qm {
namespace {

// The obvious search, to check the fast one against.
std::size_t SlowPosText(std::string_view pattern, std::string_view text, std::size_t start) {
  if (start < 1) start = 1;
  if (pattern.empty()) return 0;
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  for (std::size_t i = start - 1; i + pattern.size() <= text.size(); ++i) {
    std::size_t k = 0;
    while (k < pattern.size() && lower(pattern[k]) == lower(text[i + k])) ++k;
    if (k == pattern.size()) return i + 1;
  }
  return 0;
}

TEST(PosText, FindsWithoutRegardToAsciiCase) {
  EXPECT_EQ(PosText("src=", "<IMG SRC=a.gif>"), 6u);
  EXPECT_EQ(PosText("SRC", "<img src=a.gif src=b.gif>"), 6u);
  EXPECT_EQ(PosText("src", "<img src=a.gif src=b.gif>", 7), 16u);
  EXPECT_EQ(PosText("src", "<img src=a.gif>", 6), 6u);  // start itself counts
  EXPECT_EQ(PosText("href", "<a HrEf=x>"), 4u);
  EXPECT_EQ(PosText("x", "abc"), 0u);
  EXPECT_EQ(PosText("abcd", "abc"), 0u);  // does not fit
  EXPECT_EQ(PosText("", "abc"), 0u);
  EXPECT_EQ(PosText("c", "abc", 4), 0u);  // start past the end
  EXPECT_EQ(PosText("bc", "abc", 3), 0u);
  EXPECT_EQ(PosText("a", "abc", 0), 1u);  // a start of 0 reads as 1
}

TEST(PosText, CaseFoldingIsAsciiOnly) {
  // GBK bytes are never folded: 0xC4 and 0xE4 are different bytes.
  EXPECT_EQ(PosText("\xC4", "a\xE4"), 0u);
  EXPECT_EQ(PosText("\xD6\xD0", "ab\xD6\xD0"), 3u);
  EXPECT_EQ(PosText("[", "{[}"), 2u);  // '[' is not 'A'+26
  EXPECT_EQ(PosText("@", "`@"), 2u);
}

TEST(PosText, AgreesWithPlainSearchOnGeneratedTexts) {
  const std::string alphabet = "aAbB<>=\"\xC4\xE4 ";
  unsigned seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string text, pattern;
    const std::size_t n = next() % 40, m = 1 + next() % 4;
    for (std::size_t i = 0; i < n; ++i) text += alphabet[next() % alphabet.size()];
    for (std::size_t i = 0; i < m; ++i) pattern += alphabet[next() % 5];
    const std::size_t start = next() % (n + 3);
    ASSERT_EQ(PosText(pattern, text, start), SlowPosText(pattern, text, start))
        << "pattern=" << pattern << " text=" << text << " start=" << start;
  }
}

TEST(PosText, AgreesWithPlainSearchOnLongTexts) {
  // Long enough for the block-wise search, with the bytes that differ from letters only in the
  // case bit ('@' and '`', '[' and '{') next to the letters.
  const std::string alphabet = "sSrRcC@`[{<> \xD3\xF3";
  unsigned seed = 777;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string text, pattern;
    const std::size_t n = next() % 200, m = 1 + next() % 8;
    for (std::size_t i = 0; i < n; ++i) text += alphabet[next() % alphabet.size()];
    for (std::size_t i = 0; i < m; ++i) pattern += alphabet[next() % alphabet.size()];
    if (n > m && next() % 2 == 0) text.replace(next() % (n - m), m, pattern);  // plant a hit
    const std::size_t start = next() % (n + 3);
    ASSERT_EQ(PosText(pattern, text, start), SlowPosText(pattern, text, start))
        << "pattern=" << pattern << " text=" << text << " start=" << start;
  }
}

TEST(LastPos, ExactLastOccurrence) {
  EXPECT_EQ(LastPos("/", "http://h/a/b"), 11u);
  EXPECT_EQ(LastPos("A", "aaa"), 0u);
  EXPECT_EQ(LastPos("ab", "abab"), 3u);
  EXPECT_EQ(LastPos("", "abc"), 0u);
}

TEST(TextBetween, FirstOpenAndFirstCloseMark) {
  EXPECT_EQ(TextBetween("<TITLE>Home</title>", "<title>", "</TITLE>"), "Home");
  EXPECT_EQ(TextBetween("x(a)y(b)", "(", ")"), "a");
  // The close mark is searched from the beginning too: before the open mark gives nothing.
  EXPECT_EQ(TextBetween(")x(a)", "(", ")"), "");
  EXPECT_EQ(TextBetween("()", "(", ")"), "");
  EXPECT_EQ(TextBetween("(abc", "(", ")"), "");
  EXPECT_EQ(TextBetween("abc)", "(", ")"), "");
  EXPECT_EQ(TextBetweenExact("<B>x</B><b>y</b>", "<b>", "</b>"), "y");
  EXPECT_EQ(TextBetweenExact("<b>x</B>", "<b>", "</b>"), "");
  EXPECT_EQ(TextBetweenExact("[k]", "[", "]"), "k");
}

TEST(ReplaceAll, FirstExactThenAnyCase) {
  EXPECT_EQ(ReplaceAll("a&amp;b&AMP;c", "&amp;", "&"), "a&b&c");
  // The first occurrence must match exactly; later ones need not.
  EXPECT_EQ(ReplaceAll("A&AMP;b&amp;c&Amp;d", "&amp;", "&"), "A&AMP;b&c&d");
  EXPECT_EQ(ReplaceAll("xyz", "q", "r"), "xyz");
  EXPECT_EQ(ReplaceAll("abc", "b", "b"), "abc");
  // Inserted text is not searched again.
  EXPECT_EQ(ReplaceAll("aa", "a", "aa"), "aaaa");
  EXPECT_EQ(ReplaceAll("a\r\nb\r\n", "\r\n", ""), "ab");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
}

// The appending form gives ReplaceAll's result after what the buffer held.
TEST(ReplaceAll, AppendedAfterTheBuffer) {
  const struct {
    const char* text;
    const char* oldText;
    const char* newText;
  } cases[] = {{"A&AMP;b&amp;c&Amp;d", "&amp;", "&"},
               {"xyz", "q", "r"},
               {"abc", "b", "b"},
               {"aa", "a", "aa"},
               {"abc", "", "x"},
               {"", "a", "b"}};
  for (const auto& c : cases) {
    std::string out = "head:";
    AppendReplaced(out, c.text, c.oldText, c.newText);
    EXPECT_EQ(out, "head:" + ReplaceAll(c.text, c.oldText, c.newText)) << c.text;
  }
}

TEST(EscapeSpaces, OnlySpaces) {
  EXPECT_EQ(EscapeSpaces("my page .html"), "my%20page%20.html");
  EXPECT_EQ(EscapeSpaces("a\tb%c"), "a\tb%c");
}

TEST(PercentDecode, TwoDigitsGiveOneByte) {
  EXPECT_EQ(PercentDecode("a%20b"), "a b");
  EXPECT_EQ(PercentDecode("%2541"), "A");  // a decoded "%" is decoded again
  EXPECT_EQ(PercentDecode("%252541"), "A");
  EXPECT_EQ(PercentDecode("%d6%D0"), "\xD6\xD0");
  EXPECT_EQ(PercentDecode("%2e%2E"), "..");
  EXPECT_EQ(PercentDecode("%00"), std::string(1, '\0'));
  // Other digits count their code minus 48: "G" is 23, so %1G is 16 + 23 = 39 = "'".
  EXPECT_EQ(PercentDecode("%1G"), "'");
  // Wraps modulo 256: "z" is 74, 74 * 16 + 74 = 1258 = 0xEA mod 256.
  EXPECT_EQ(PercentDecode("%zz"), "\xEA");
  // A "%" without two bytes after it stays.
  EXPECT_EQ(PercentDecode("a%"), "a%");
  EXPECT_EQ(PercentDecode("a%4"), "a%4");
  EXPECT_EQ(PercentDecode("%25"), "%");
  EXPECT_EQ(PercentDecode("%254"), "%4");
  EXPECT_EQ(PercentDecode("plain"), "plain");
}

TEST(TrimBlanks, BlanksAndControlCharacters) {
  EXPECT_EQ(TrimBlanks(" \t\r\nhttp://h/ \x01"), "http://h/");
  EXPECT_EQ(TrimBlanks("\xA1\xA1"), "\xA1\xA1");  // GBK bytes are not blanks
  EXPECT_EQ(TrimBlanks("   "), "");
}

TEST(Hosts, HostOfDomainOfSameHost) {
  EXPECT_EQ(HostOf("http://h:8080/a/b.html"), "h");
  EXPECT_EQ(HostOf("  HTTP://Www.Site.Test"), "Www.Site.Test");
  EXPECT_EQ(HostOf("https://h:8443/a"), "h");
  EXPECT_EQ(HostOf(" HTTPS://Www.Site.Test"), "Www.Site.Test");
  EXPECT_EQ(HostOf("httpx://h/"), "");
  EXPECT_EQ(HostOf("https:/h/"), "");
  EXPECT_EQ(HostOf("h/a.html"), "");
  EXPECT_EQ(DomainOf("w1.site.test"), "site.test");
  EXPECT_EQ(DomainOf("site.test"), "site.test");
  EXPECT_EQ(DomainOf("a.b.site.test.cn"), "b.site.test.cn");
  EXPECT_EQ(DomainOf("localhost"), "localhost");
  EXPECT_TRUE(SameHost("http://h/a", "http://h:81/b"));
  EXPECT_FALSE(SameHost("http://h/a", "http://H/a"));  // case matters
  EXPECT_TRUE(SameHost("ftp://x/", "mailto:y"));       // both empty
  EXPECT_FALSE(SameHost("http://h/", "ftp://h/"));
  // The two schemes of one host are one host.
  EXPECT_TRUE(SameHost("https://h/a", "http://h/b"));
  EXPECT_TRUE(SameHost("HTTPS://h:443/", "http://h:80/"));
  EXPECT_FALSE(SameHost("https://h/", "https://g/"));
  EXPECT_EQ(SchemeLength("http://h"), 7u);
  EXPECT_EQ(SchemeLength("HTTPS://h"), 8u);
  EXPECT_EQ(SchemeLength("ftp://h"), 0u);
  EXPECT_TRUE(IsHttpsUrl("hTTps://h/"));
  EXPECT_FALSE(IsHttpsUrl("http://h/"));
}

}  // namespace
}  // namespace qm
