#include "analysis/JsClassText.h"

#include <algorithm>
#include <cstring>

namespace qm::jstext {

std::size_t FindText(std::string_view text, std::string_view sub, std::size_t from) {
  if (sub.empty() || from > text.size() || sub.size() > text.size() - from) return npos;
  const auto lowerChar = static_cast<unsigned char>(AsciiLower(sub[0]));
  const bool letter = lowerChar >= 'a' && lowerChar <= 'z';
  const unsigned char upperChar = letter ? static_cast<unsigned char>(lowerChar - 32) : lowerChar;
  const std::size_t end = text.size() - sub.size() + 1;  // candidates lie before this
  const char* base = text.data();

  // The next place of each case of the first character. A search looks only a short way ahead,
  // so that a case that does not occur costs little when a match is near; a place that is not a
  // hit is the point up to which that case is known to be absent.
  struct Next {
    std::size_t Pos;
    bool Hit;
  };
  constexpr std::size_t kWindow = 256;
  auto scan = [&](unsigned char c, std::size_t at) -> Next {
    const std::size_t limit = std::min(end, at + kWindow);
    const void* hit = at < limit ? std::memchr(base + at, c, limit - at) : nullptr;
    if (hit) return {static_cast<std::size_t>(static_cast<const char*>(hit) - base), true};
    return {limit, false};
  };
  Next lower = scan(lowerChar, from);
  Next upper = letter ? scan(upperChar, from) : Next{end, false};
  while (true) {
    const bool takeLower = lower.Pos <= upper.Pos;
    Next& next = takeLower ? lower : upper;
    const unsigned char c = takeLower ? lowerChar : upperChar;
    if (next.Pos >= end) return npos;
    if (!next.Hit) {
      next = scan(c, next.Pos);
      continue;
    }
    const std::size_t at = next.Pos;
    std::size_t k = 1;
    while (k < sub.size() && AsciiLower(base[at + k]) == AsciiLower(sub[k])) ++k;
    if (k == sub.size()) return at;
    next = scan(c, at + 1);
  }
}

std::string_view CutBefore(std::string_view text, std::string_view sub) {
  const std::size_t p = text.find(sub);
  return p == npos ? text : text.substr(0, p);
}

std::string_view CutAtStopChars(std::string_view text) {
  // Cutting before each stop character in turn leaves the text before the earliest of them.
  const std::size_t p = text.find_first_of(";),>");
  return p == npos ? text : text.substr(0, p);
}

std::size_t FindTerminator(std::string_view text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ';' || c == '>' || c == ',' || c == '\n') return i;
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') return i;
  }
  return npos;
}

std::string_view StripQuotes(std::string_view text) {
  if (text.empty() || (text[0] != '\'' && text[0] != '"')) return text;
  const char q = text[0];
  text.remove_prefix(1);
  const std::size_t last = text.rfind(q);
  return last == npos ? std::string_view() : text.substr(0, last);
}

std::string_view ReduceName(std::string_view text) {
  // Cutting after the last CR LF, then the last blank, the last "=" and the last tab leaves what
  // follows the rightmost of them all.
  for (std::size_t i = text.size(); i > 0; --i) {
    const char c = text[i - 1];
    if (c == ' ' || c == '=' || c == '\t' || (c == '\n' && i >= 2 && text[i - 2] == '\r'))
      return text.substr(i);
  }
  return text;
}

namespace {

std::string_view Between(std::string_view text, std::size_t open, std::size_t openLen,
                         std::size_t close) {
  if (open == npos || close == npos || close < open + openLen) return {};
  return text.substr(open + openLen, close - open - openLen);
}

}  // namespace

std::string_view BetweenExact(std::string_view text, std::string_view open,
                              std::string_view close) {
  return Between(text, text.find(open), open.size(), text.find(close));
}

std::string_view BetweenText(std::string_view text, std::string_view open, std::string_view close) {
  return Between(text, FindText(text, open), open.size(), FindText(text, close));
}

std::string_view DynamicPageSuffix(std::string_view expr) {
  const std::size_t plus = expr.rfind('+');
  const std::string_view last = TrimBlanks(plus == npos ? expr : expr.substr(plus + 1));
  if (!last.empty() && (last[0] == '\'' || last[0] == '"') && last.find(last[0], 1) == npos)
    return ".html";
  return "+\".html\"";
}

}  // namespace qm::jstext
