// The one-pass searches for many patterns give what the one-by-one searches give: every
// occurrence FindText finds, and the text of ReplaceAll applied pair by pair.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "analysis/JsClassText.h"
#include "analysis/ManyPatterns.h"
#include "url/UrlLib.h"

namespace qm::jstext {
namespace {

std::string RandomText(std::mt19937& rng, std::string_view alphabet, std::size_t length) {
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string text;
  for (std::size_t i = 0; i < length; ++i) text += alphabet[pick(rng)];
  return text;
}

std::vector<std::size_t> OneByOne(std::string_view text, std::string_view pattern) {
  std::vector<std::size_t> hits;
  for (std::size_t at = FindText(text, pattern); at != npos; at = FindText(text, pattern, at + 1))
    hits.push_back(at);
  return hits;
}

std::string InTurn(std::string text,
                   const std::vector<std::pair<std::string, std::string>>& pairs) {
  for (const auto& [from, to] : pairs) text = ReplaceAll(text, from, to);
  return text;
}

TEST(ManyPatterns, FindsEveryOccurrenceWithoutRegardToCase) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    // Small alphabets make overlapping and repeated occurrences common.
    const std::string text = RandomText(rng, "abAB+'", 300);
    std::vector<std::string> owned;
    for (int i = 0; i < 12; ++i) owned.push_back(RandomText(rng, "abAB+'", 1 + rng() % 4));
    owned.push_back("");  // never occurs
    const std::vector<std::string_view> patterns(owned.begin(), owned.end());
    std::vector<std::vector<std::size_t>> hits;
    ASSERT_TRUE(FindAllNoCase(text, patterns, hits));
    for (std::size_t i = 0; i < patterns.size(); ++i)
      EXPECT_EQ(hits[i], OneByOne(text, patterns[i])) << "pattern " << owned[i];
  }
}

// Thousands of names of one length that differ only in their last bytes (their hashes differ in
// the low bits only), some twice and some in other letter case: each is found where it occurs.
TEST(ManyPatterns, ManyNamesOfOneLengthAreAllFound) {
  std::mt19937 rng(13);
  std::vector<std::string> owned;
  for (int i = 0; i < 2000; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "fn%04d", i);
    owned.emplace_back(name);
  }
  owned.push_back("fn0007");  // a duplicate
  owned.push_back("FN0042");  // the same name in capitals
  std::string text;
  for (int i = 0; i < 3000; ++i) {
    std::string call = owned[rng() % owned.size()];
    if (rng() % 4 == 0) call[0] = 'F';
    text += call + (rng() % 3 == 0 ? "" : "(x); ");
  }
  const std::vector<std::string_view> patterns(owned.begin(), owned.end());
  std::vector<std::vector<std::size_t>> hits;
  ASSERT_TRUE(FindAllNoCase(text, patterns, hits));
  std::size_t found = 0;
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    ASSERT_EQ(hits[i], OneByOne(text, patterns[i])) << "pattern " << owned[i];
    found += hits[i].size();
  }
  EXPECT_GE(found, 3000u);
}

TEST(ManyPatterns, TooManyLengthsAreLeftToTheCaller) {
  std::vector<std::string> owned;
  for (int n = 1; n <= 40; ++n) owned.push_back(std::string(static_cast<std::size_t>(n), 'x'));
  const std::vector<std::string_view> patterns(owned.begin(), owned.end());
  std::vector<std::vector<std::size_t>> hits;
  EXPECT_FALSE(FindAllNoCase("xxxx", patterns, hits));
}

TEST(ManyPatterns, ReplacesAsReplaceAllInTurn) {
  std::mt19937 rng(11);
  // Random pairs over a small alphabet: overlaps, replacements that make or break later
  // occurrences, case differences, pairs that change nothing.
  // A larger alphabet leaves most occurrences apart, so that the one pass is taken.
  for (int round = 0; round < 600; ++round) {
    const std::string_view alphabet = round % 2 ? "abcAB'" : "abcdefghijklmnopABCD'";
    const std::string text = RandomText(rng, alphabet, 200 + rng() % 200);
    std::vector<std::pair<std::string, std::string>> pairs;
    const int count = 4 + static_cast<int>(rng() % 20);
    for (int i = 0; i < count; ++i) {
      std::string from = RandomText(rng, alphabet, 2 + rng() % 4);
      std::string to = (rng() % 5 == 0) ? from : RandomText(rng, "abcxyz", rng() % 6);
      pairs.emplace_back(std::move(from), std::move(to));
    }
    EXPECT_EQ(ReplaceAllInTurn(text, pairs), InTurn(text, pairs)) << "round " << round;
  }
}

TEST(ManyPatterns, ReplacesTheExpressionsOfManyFunctions) {
  // The script of a page with many functions: every expression occurs once, first exact, then
  // in another case; the results of the one pass and of the replacements in turn agree.
  std::string script;
  std::vector<std::pair<std::string, std::string>> pairs;
  for (int i = 0; i < 300; ++i) {
    const std::string n = std::to_string(i);
    script += "function open" + n + "(id){ window.open('item" + n + ".asp?id='+id); }\r\n";
    script += "// ITEM" + n + ".ASP?ID='+ID and 'item" + n + ".asp?id='+id again\r\n";
    pairs.emplace_back("'item" + n + ".asp?id='+id", "'item" + n + ".asp/id='+id+\".html\"");
  }
  const std::string expected = InTurn(script, pairs);
  EXPECT_NE(expected, script);
  EXPECT_EQ(ReplaceAllInTurn(script, pairs), expected);
}

}  // namespace
}  // namespace qm::jstext
