#pragma once
// Text helpers of the script evaluator. They work on views with 0-based offsets (npos when not
// found); the evaluator's own algorithms are phrased on top of them.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/AsciiText.h"  // TrimBlanks, AsciiLowerCase, EqualsIgnoringAsciiCase
#include "url/UrlLib.h"          // FindTextFrom

namespace qm::jstext {

inline constexpr std::size_t npos = std::string_view::npos;

// First exact occurrence of `sub` at or after `from`.
inline std::size_t FindExact(std::string_view text, std::string_view sub, std::size_t from = 0) {
  return text.find(sub, from);
}
// First occurrence of `sub` at or after `from`, ASCII letters compared without regard to case.
inline std::size_t FindText(std::string_view text, std::string_view sub, std::size_t from = 0) {
  return FindTextFrom(text, sub, from);
}
inline bool ContainsExact(std::string_view text, std::string_view sub) {
  return text.find(sub) != npos;
}
// The text cut before its first occurrence of `sub`, when there is one.
std::string_view CutBefore(std::string_view text, std::string_view sub);
// Cut before each expression stop character (";", ")", ",", ">").
std::string_view CutAtStopChars(std::string_view text);
// Offset of the first statement terminator (";", CR LF, ">", ",", LF) at or after `from`.
std::size_t FindTerminator(std::string_view text, std::size_t from = 0);
// Cut before the first statement terminator.
inline std::string_view CutAtTerminators(std::string_view text) {
  const std::size_t t = FindTerminator(text);
  return t == npos ? text : text.substr(0, t);
}
// A quoted text without its opening quote, cut before the last remaining quote of the same kind
// (empty when none remains). Texts that do not begin with a quote come back unchanged.
std::string_view StripQuotes(std::string_view text);
// The name in front of a call or header: what follows the last CR LF, then the last blank, then
// the last "=", then the last tab.
std::string_view ReduceName(std::string_view text);
// The text between the first `open` and the first `close` (both searched from the start), empty
// unless `close` begins after the end of `open`.
std::string_view BetweenExact(std::string_view text, std::string_view open, std::string_view close);
std::string_view BetweenText(std::string_view text, std::string_view open, std::string_view close);

// The text appended to a rewritten "+" expression so that the saved script adds the extension the
// local copy of a dynamic page carries: ".html" when the expression ends inside an open string
// (its last "+" piece is an opening quote without a closing one, as in markup written from a
// script string), else +".html".
std::string_view DynamicPageSuffix(std::string_view expr);

// The next occurrence of something at or after a position, for a walk whose positions only grow:
// a search is repeated only when the walk has passed the last hit, so the walk stays linear.
class NextHit {
 public:
  using Finder = std::function<std::size_t(std::string_view, std::size_t)>;
  NextHit(std::string_view text, Finder find) : text_(text), find_(std::move(find)) {}
  std::size_t At(std::size_t from) {
    if (!valid_ || from < from_ || (hit_ != npos && hit_ < from)) {
      hit_ = from > text_.size() ? npos : find_(text_, from);
      from_ = from;
      valid_ = true;
    }
    return hit_;
  }

 private:
  std::string_view text_;
  Finder find_;
  std::size_t hit_ = npos;
  std::size_t from_ = 0;
  bool valid_ = false;
};

NextHit NextChar(std::string_view text, char c);

// The searches of ParseCall over one text, shared by the calls of a walk through it.
struct CallSearch {
  explicit CallSearch(std::string_view text);
  std::string_view Text;
  NextHit Open, Close, Assign, Terminator;
};
// ParseCall on the text from `start`, without the callee (only its presence is checked).
bool ParseCallValue(CallSearch& search, std::size_t start, std::string_view& value);
// InnerParens of the text from `start`, the first "(" being at `open` (npos: none).
std::string InnerParensFrom(std::string_view text, std::size_t start, std::size_t open);
}  // namespace qm::jstext

namespace qm {
struct TFunctionRecord;
}

namespace qm::jstext {
// ParseFunctionHeader at positions of one text that only grow, as in a walk through a script:
// the first "(" and the parenthesis group after it are read once for all positions before it.
class HeaderReader {
 public:
  explicit HeaderReader(std::string_view text);
  bool Read(std::size_t start, TFunctionRecord& record);

 private:
  std::string_view text_;
  NextHit open_;
  std::size_t innerOpen_ = npos;  // the "(" whose group `inner_` holds
  std::string inner_;
};

}  // namespace qm::jstext
