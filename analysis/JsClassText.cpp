#include "analysis/JsClassText.h"

#include <algorithm>
#include <cstring>

#include "url/UrlLib.h"

namespace qm::jstext {

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
