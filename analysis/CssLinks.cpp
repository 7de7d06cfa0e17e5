#include "analysis/CssLinks.h"

#include "platform/AsciiText.h"

namespace qm {
namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// Letters, digits, "-" and "_": a "url(" right after one of them is part of a longer name.
bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

bool StartsWithFolded(std::string_view text, std::size_t at, std::string_view lowerWord) {
  if (text.size() - at < lowerWord.size()) return false;
  for (std::size_t i = 0; i < lowerWord.size(); ++i) {
    if (AsciiLower(text[at + i]) != lowerWord[i]) return false;
  }
  return true;
}

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at;
}

// End of the quoted string that opens at `at` (the index after its closing quote). A string ends
// at its closing quote or, unclosed, at the end of its line. `closed` tells which.
std::size_t StringEnd(std::string_view text, std::size_t at, bool& closed) {
  const char quote = text[at];
  std::size_t i = at + 1;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      i += 2;
      continue;
    }
    if (c == quote) {
      closed = true;
      return i + 1;
    }
    if (c == '\n') break;
    ++i;
  }
  closed = false;
  return i;
}

// Reads the url( ... ) whose parenthesis content starts at `at`. Gives the index after ")", or
// npos when the construct is not closed; `span` is the URL text.
std::size_t ReadUrlFunction(std::string_view css, std::size_t at, TTextSpan& span) {
  std::size_t i = SkipBlanks(css, at);
  if (i >= css.size()) return npos;
  if (css[i] == '"' || css[i] == '\'') {
    bool closed = false;
    const std::size_t end = StringEnd(css, i, closed);
    if (!closed) return npos;
    span = {i + 1, end - i - 2};
    const std::size_t close = SkipBlanks(css, end);
    return close < css.size() && css[close] == ')' ? close + 1 : npos;
  }
  const std::size_t start = i;
  while (i < css.size() && css[i] != ')' && !IsBlank(css[i]) && css[i] != '"' && css[i] != '\'' &&
         css[i] != '(')
    ++i;
  const std::size_t stop = i;
  i = SkipBlanks(css, i);
  if (i >= css.size() || css[i] != ')') return npos;
  span = {start, stop - start};
  return i + 1;
}

}  // namespace

void FindCssUrls(std::string_view css, std::vector<TTextSpan>& out) {
  std::size_t i = 0;
  while (i < css.size()) {
    const char c = css[i];
    if (c == '/' && i + 1 < css.size() && css[i + 1] == '*') {
      const std::size_t end = css.find("*/", i + 2);
      if (end == npos) return;  // an unclosed comment runs to the end
      i = end + 2;
    } else if (c == '"' || c == '\'') {
      bool closed = false;
      i = StringEnd(css, i, closed);
    } else if (c == '\\') {
      i += 2;  // an escaped character starts nothing
    } else if ((c == 'u' || c == 'U') && StartsWithFolded(css, i, "url(") &&
               (i == 0 || !IsNameChar(css[i - 1]))) {
      TTextSpan span;
      const std::size_t next = ReadUrlFunction(css, i + 4, span);
      if (next == npos) {
        i += 4;
      } else {
        out.push_back(span);
        i = next;
      }
    } else if (c == '@' && StartsWithFolded(css, i + 1, "import") &&
               (i + 7 >= css.size() || !IsNameChar(css[i + 7]))) {
      i = SkipBlanks(css, i + 7);
      if (i < css.size() && (css[i] == '"' || css[i] == '\'')) {
        bool closed = false;
        const std::size_t end = StringEnd(css, i, closed);
        if (closed) out.push_back({i + 1, end - i - 2});
        i = end;
      }
      // @import url(...) is found as a url( on the next turn.
    } else {
      ++i;
    }
  }
}

void FindSrcsetUrls(std::string_view srcset, std::vector<TTextSpan>& out) {
  std::size_t i = 0;
  while (i < srcset.size()) {
    while (i < srcset.size() && (IsBlank(srcset[i]) || srcset[i] == ',')) ++i;
    if (i >= srcset.size()) return;
    const std::size_t start = i;
    while (i < srcset.size() && !IsBlank(srcset[i])) ++i;
    std::size_t end = i;
    // Commas that end the URL separate candidates; a URL followed by blanks has descriptors,
    // which run to the next comma.
    const bool endsInComma = srcset[end - 1] == ',';
    while (end > start && srcset[end - 1] == ',') --end;
    if (end > start) out.push_back({start, end - start});
    if (!endsInComma) {
      const std::size_t comma = srcset.find(',', i);
      i = comma == npos ? srcset.size() : comma + 1;
    }
  }
}

}  // namespace qm
