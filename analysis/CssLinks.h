#pragma once
// Where the links stand in style sheet text and in srcset values. Pure text functions: they give
// the byte ranges of the URL texts, so that a rewrite replaces exactly those bytes and keeps
// quotes, blanks, descriptors and everything else as written.
#include <cstddef>
#include <string_view>
#include <vector>

namespace qm {

// A URL text inside a larger text: `Pos` and `Len` in bytes, without quotes or blanks.
struct TTextSpan {
  std::size_t Pos = 0;
  std::size_t Len = 0;
};

// Every url(...) (unquoted, single- or double-quoted, blanks allowed inside the parentheses) and
// every @import "..." / @import '...' of style sheet text, in text order. Comments and quoted
// strings other than an @import target are passed over. Spans are appended to `out`.
void FindCssUrls(std::string_view css, std::vector<TTextSpan>& out);

// The candidate URLs of a srcset value ("a.png 1x, b.png 2x"), in order; the width or density
// descriptors are not part of the spans. Spans are appended to `out`.
void FindSrcsetUrls(std::string_view srcset, std::vector<TTextSpan>& out);

}  // namespace qm
