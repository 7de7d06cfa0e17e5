#pragma once
// The tag reading of the style and media scan: where tags start and end, and which of their
// attributes have values. A quoted value may hold '>' and '<'; a tag whose '>' is not in the text
// (a quote that never closes included) has no end.
//
// Every page goes through here tag by tag, so everything is inline. The short runs inside a tag
// (names, blanks) are read byte by byte through a table: the processor guesses those loops well
// and runs ahead, where a search of sixteen bytes at a time would make each step wait for the
// one before. Only the search for the next tag, past end tags and text, works on whole blocks.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define QM_WIDE_TAG_OPENINGS 1
#endif

#include "platform/AsciiText.h"

namespace qm {

namespace tagbytes {

// What a byte means to the walk.
enum : std::uint8_t {
  kBlank = 1,             // space, tab, CR, LF, FF
  kBlankOrSlash = 2,      // passed over between attributes
  kTagNameEnd = 4,        // blank, '>', '/'
  kAttributeNameEnd = 8,  // blank, '>', '/', '='
  kUnquotedEnd = 16       // ends a value without quotes: blank, '>'
};

constexpr std::array<std::uint8_t, 256> MakeClasses() {
  std::array<std::uint8_t, 256> classes{};
  for (unsigned char c : {' ', '\t', '\r', '\n', '\f'})
    classes[c] = kBlank | kBlankOrSlash | kTagNameEnd | kAttributeNameEnd | kUnquotedEnd;
  classes['/'] = kBlankOrSlash | kTagNameEnd | kAttributeNameEnd;
  classes['>'] = kTagNameEnd | kAttributeNameEnd | kUnquotedEnd;
  classes['='] = kAttributeNameEnd;
  return classes;
}
inline constexpr std::array<std::uint8_t, 256> kClasses = MakeClasses();

inline bool Is(char c, std::uint8_t what) {
  return (kClasses[static_cast<unsigned char>(c)] & what) != 0;
}

// Index of the first byte of class `what` at or after `from`, or the text's size.
inline std::size_t Skip(std::string_view text, std::size_t from, std::uint8_t what) {
  while (from < text.size() && !Is(text[from], what)) ++from;
  return from;
}

}  // namespace tagbytes

// The places in a text where a tag or a comment may start: a '<' followed by an ASCII letter or
// '!'. End tags and stray brackets, about half of all '<' in a page, are never stopped at. The
// masks of all 64-byte blocks are worked out first, sixteen bytes at a time in one straight pass;
// a search is then a few bit operations that wait for no reading of the text.
class TTagOpenings {
 public:
  explicit TTagOpenings(std::string_view text) : text_(text), masks_((text.size() + 63) / 64) {
    std::size_t w = 0;
#if defined(QM_WIDE_TAG_OPENINGS)
    static const bool kWide = __builtin_cpu_supports("avx2");
    if (kWide) w = LoadWide();
#endif
    for (; w < masks_.size(); ++w) masks_[w] = Load(w * 64);
  }

  // Index of the first opening at or after `from`, or npos.
  std::size_t Next(std::size_t from) {
    std::size_t word = from / 64;
    if (word >= masks_.size()) return std::string_view::npos;
    std::uint64_t bits = masks_[word] & (~std::uint64_t{0} << (from % 64));
    while (bits == 0) {
      if (++word == masks_.size()) return std::string_view::npos;
      bits = masks_[word];
    }
    return word * 64 + static_cast<std::size_t>(__builtin_ctzll(bits));
  }

 private:
  // The mask of text[base, base + 64): bit k for text[base + k].
  std::uint64_t Load(std::size_t base) const {
    std::uint64_t bits = 0;
#if defined(__SSE2__)
    if (base + 65 <= text_.size()) {  // the byte after the block is read too
      for (std::size_t k = 0; k < 64; k += 16)
        bits |= std::uint64_t{Block16(text_.data() + base + k)} << k;
      return bits;
    }
#endif
    for (std::size_t i = base; i < base + 64 && i + 1 < text_.size(); ++i) {
      const char next = AsciiLower(text_[i + 1]);
      if (text_[i] == '<' && ((next >= 'a' && next <= 'z') || next == '!'))
        bits |= std::uint64_t{1} << (i - base);
    }
    return bits;
  }

#if defined(__SSE2__)
  static unsigned Block16(const char* at) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
    // With bit 5 set, exactly the ASCII letters lie 0..25 above 'a' (unsigned, wrapping).
    const __m128i offset =
        _mm_sub_epi8(_mm_or_si128(next, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
    const __m128i letter = _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8('z' - 'a')), offset);
    const __m128i opens =
        _mm_and_si128(_mm_cmpeq_epi8(here, _mm_set1_epi8('<')),
                      _mm_or_si128(letter, _mm_cmpeq_epi8(next, _mm_set1_epi8('!'))));
    return static_cast<unsigned>(_mm_movemask_epi8(opens));
  }
#endif

#if defined(QM_WIDE_TAG_OPENINGS)
  // The masks of the leading blocks whose next byte is in the text, thirty-two bytes at a time,
  // for processors that have the wider registers; gives the first block left to Load.
  __attribute__((target("avx2"))) std::size_t LoadWide() {
    std::size_t w = 0;
    for (; w < masks_.size() && w * 64 + 65 <= text_.size(); ++w) {
      const char* at = text_.data() + w * 64;
      masks_[w] = Block32(at) | (std::uint64_t{Block32(at + 32)} << 32);
    }
    return w;
  }
  __attribute__((target("avx2"))) static std::uint32_t Block32(const char* at) {
    const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i lt = _mm256_cmpeq_epi8(here, _mm256_set1_epi8('<'));
    if (_mm256_testz_si256(lt, lt)) return 0;
    const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 1));
    const __m256i offset =
        _mm256_sub_epi8(_mm256_or_si256(next, _mm256_set1_epi8(0x20)), _mm256_set1_epi8('a'));
    const __m256i letter =
        _mm256_cmpeq_epi8(_mm256_min_epu8(offset, _mm256_set1_epi8('z' - 'a')), offset);
    const __m256i opens = _mm256_and_si256(
        lt, _mm256_or_si256(letter, _mm256_cmpeq_epi8(next, _mm256_set1_epi8('!'))));
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(opens));
  }
#endif

  std::string_view text_;
  std::vector<std::uint64_t> masks_;
};

// Index of the first blank, '>' or '/' at or after `from` (the text's size when none).
inline std::size_t TagNameEnd(std::string_view text, std::size_t from) {
  return tagbytes::Skip(text, from, tagbytes::kTagNameEnd);
}

// Steps through the attributes with a value of the tag whose name ends at `at`, in text order.
// Blanks and '/' separate attributes; a name without '=' after it (blanks between allowed) is
// passed over, and so is a '=' with no name before it.
class TAttributeWalk {
 public:
  TAttributeWalk(std::string_view text, std::size_t at) : text_(text), at_(at) {}

  // Moves to the next attribute with a value; false once the tag's end (or the text's) is
  // reached, and from then on.
  bool Next();

  std::string_view Name() const { return text_.substr(nameStart_, nameEnd_ - nameStart_); }
  std::size_t ValuePos() const { return valuePos_; }  // without the quotes
  std::size_t ValueLen() const { return valueLen_; }
  // After Next() gave false: the index of the tag's '>', or npos when the tag is not closed.
  std::size_t End() const { return end_; }

 private:
  bool Finish(std::size_t end) {
    at_ = text_.size();
    end_ = end;
    return false;
  }

  std::string_view text_;
  std::size_t at_;  // where the walk goes on
  std::size_t nameStart_ = 0;
  std::size_t nameEnd_ = 0;
  std::size_t valuePos_ = 0;
  std::size_t valueLen_ = 0;
  std::size_t end_ = std::string_view::npos;
};

inline bool TAttributeWalk::Next() {
  using namespace tagbytes;
  const std::size_t size = text_.size();
  std::size_t p = at_;
  for (;;) {
    while (p < size && Is(text_[p], kBlankOrSlash)) ++p;
    if (p >= size) return Finish(end_);  // npos, or the end found before
    if (text_[p] == '>') return Finish(p);
    const std::size_t nameStart = p;
    while (p < size && !Is(text_[p], kAttributeNameEnd)) ++p;
    if (p == nameStart) {  // a stray '='
      ++p;
      continue;
    }
    std::size_t value = p;
    while (value < size && Is(text_[value], kBlank)) ++value;
    if (value >= size || text_[value] != '=') continue;  // a name without a value
    ++value;
    while (value < size && Is(text_[value], kBlank)) ++value;
    if (value >= size) return Finish(std::string_view::npos);
    nameStart_ = nameStart;
    nameEnd_ = p;
    const char quote = text_[value];
    if (quote == '"' || quote == '\'') {
      const std::size_t close = text_.find(quote, value + 1);
      if (close == std::string_view::npos) return Finish(std::string_view::npos);
      valuePos_ = value + 1;
      valueLen_ = close - value - 1;
      at_ = close + 1;
    } else {
      at_ = Skip(text_, value, kUnquotedEnd);
      valuePos_ = value;
      valueLen_ = at_ - value;
    }
    return true;
  }
}

}  // namespace qm
