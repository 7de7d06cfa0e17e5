#include "analysis/JsClassText.h"

#include <cstring>

namespace qm::jstext {

namespace {

inline unsigned char Lower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

}  // namespace

std::size_t FindText(std::string_view text, std::string_view sub, std::size_t from) {
  if (sub.empty() || from > text.size() || sub.size() > text.size() - from) return npos;
  const unsigned char first = Lower(static_cast<unsigned char>(sub[0]));
  const bool letter = first >= 'a' && first <= 'z';
  const std::size_t end = text.size() - sub.size() + 1;  // candidates lie before this
  const char* base = text.data();
  // Next candidate positions for the two cases of the first character; each is searched again
  // only when the scan has passed it, so a long search stays linear.
  auto next = [&](unsigned char c, std::size_t at) -> std::size_t {
    const void* hit = std::memchr(base + at, c, end - at);
    return hit ? static_cast<const char*>(hit) - base : npos;
  };
  std::size_t lower = next(first, from);
  std::size_t upper = letter ? next(static_cast<unsigned char>(first - 32), from) : npos;
  while (lower != npos || upper != npos) {
    const std::size_t at = lower < upper ? lower : upper;
    std::size_t k = 1;
    while (k < sub.size() && Lower(static_cast<unsigned char>(base[at + k])) ==
                                 Lower(static_cast<unsigned char>(sub[k])))
      ++k;
    if (k == sub.size()) return at;
    if (at + 1 >= end) return npos;
    if (lower == at) lower = next(first, at + 1);
    if (upper == at) upper = next(static_cast<unsigned char>(first - 32), at + 1);
  }
  return npos;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(static_cast<unsigned char>(a[i])) != Lower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string_view Trim(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  return text.substr(b, e - b);
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
  for (std::string_view sep : {std::string_view("\r\n"), std::string_view(" "),
                               std::string_view("="), std::string_view("\t")}) {
    const std::size_t p = text.rfind(sep);
    if (p != npos) text.remove_prefix(p + sep.size());
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
  const std::string_view last = Trim(plus == npos ? expr : expr.substr(plus + 1));
  if (!last.empty() && (last[0] == '\'' || last[0] == '"') && last.find(last[0], 1) == npos)
    return ".html";
  return "+\".html\"";
}

}  // namespace qm::jstext
