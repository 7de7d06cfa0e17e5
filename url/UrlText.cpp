// Text helpers of the URL functions: searching, replacing, trimming, percent decoding, hosts.
#include <array>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "url/UrlLib.h"

namespace qm {
namespace {

constexpr std::array<unsigned char, 256> MakeCaseTable(bool upper) {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) {
    const char folded = upper ? AsciiUpper(static_cast<char>(c)) : AsciiLower(static_cast<char>(c));
    table[c] = static_cast<unsigned char>(folded);
  }
  return table;
}
constexpr auto kLower = MakeCaseTable(false);
constexpr auto kUpper = MakeCaseTable(true);

inline bool RestMatches(const unsigned char* pattern, const unsigned char* at, std::size_t size) {
  for (std::size_t k = 1; k < size; ++k)
    if (kLower[pattern[k]] != kLower[at[k]]) return false;
  return true;
}

// Next 0-based index >= from (and <= last) holding byte c; last + 1 when there is none.
inline std::size_t NextByte(const unsigned char* text, unsigned char c, std::size_t from,
                            std::size_t last) {
  if (from > last) return last + 1;
  const void* hit = std::memchr(text + from, c, last - from + 1);
  return hit ? static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - text) : last + 1;
}

// One byte of a pattern, matched without regard to ASCII case.
class CaseFreeByte {
 public:
  explicit CaseFreeByte(unsigned char c)
      : letter_(kLower[c] != kUpper[c]), folded_(letter_ ? kLower[c] : c) {
#if defined(__SSE2__)
    foldMask_ = _mm_set1_epi8(static_cast<char>(letter_ ? 0x20 : 0));
    wanted_ = _mm_set1_epi8(static_cast<char>(folded_));
#endif
  }
  bool Is(unsigned char c) const {
    return (letter_ ? (c | 0x20) : c) == folded_;
  }
#if defined(__SSE2__)
  // For a letter, setting bit 5 maps exactly its two cases onto the lower one.
  __m128i Match(__m128i bytes) const {
    return _mm_cmpeq_epi8(_mm_or_si128(bytes, foldMask_), wanted_);
  }
#endif

 private:
  bool letter_;
  unsigned char folded_;
#if defined(__SSE2__)
  __m128i foldMask_;
  __m128i wanted_;
#endif
};

#if defined(__x86_64__) && defined(__GNUC__)
#define QM_WIDE_SEARCH 1
// The candidate test of PosText on thirty-two places at a time, for processors that have the
// wider registers (looked up once). Advances `i` past the places it has ruled out; true with
// `found` set at the first match.
__attribute__((target("avx2"))) bool FindWide(const unsigned char* t, const unsigned char* p,
                                              std::size_t m, std::size_t& i, std::size_t last,
                                              std::size_t& found) {
  // For a letter, setting bit 5 maps exactly its two cases onto the lower one.
  const bool firstLetter = kLower[p[0]] != kUpper[p[0]];
  const bool finalLetter = kLower[p[m - 1]] != kUpper[p[m - 1]];
  const __m256i firstFold = _mm256_set1_epi8(static_cast<char>(firstLetter ? 0x20 : 0));
  const __m256i firstWant = _mm256_set1_epi8(static_cast<char>(kLower[p[0]]));
  const __m256i finalFold = _mm256_set1_epi8(static_cast<char>(finalLetter ? 0x20 : 0));
  const __m256i finalWant = _mm256_set1_epi8(static_cast<char>(kLower[p[m - 1]]));
  for (; i + 32 <= last + 1; i += 32) {
    const __m256i head = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + i));
    const __m256i tail = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + i + m - 1));
    const __m256i both =
        _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(head, firstFold), firstWant),
                         _mm256_cmpeq_epi8(_mm256_or_si256(tail, finalFold), finalWant));
    auto mask = static_cast<unsigned>(_mm256_movemask_epi8(both));
    while (mask != 0) {
      const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
      if (RestMatches(p, t + at, m)) {
        found = at;
        return true;
      }
      mask &= mask - 1;
    }
  }
  return false;
}
#endif

int HexDigitValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return static_cast<int>(c) - 48;  // odd digits still give a byte, as old links expect
}

}  // namespace

std::size_t PosText(std::string_view pattern, std::string_view text, std::size_t start) {
  if (start < 1) start = 1;
  const std::size_t m = pattern.size();
  const std::size_t n = text.size();
  if (m == 0 || start > n || m > n - (start - 1)) return 0;
  const auto* t = reinterpret_cast<const unsigned char*>(text.data());
  const auto* p = reinterpret_cast<const unsigned char*>(pattern.data());
  const std::size_t last = n - m;  // last index where the pattern still fits
  std::size_t i = start - 1;
  if (m == 1 && kLower[p[0]] == kUpper[p[0]]) {
    const std::size_t at = NextByte(t, p[0], i, last);
    return at > last ? 0 : at + 1;
  }
#if defined(QM_WIDE_SEARCH)
  static const bool kWide = __builtin_cpu_supports("avx2");
  if (kWide && i + 64 <= last + 1) {
    std::size_t found = 0;
    if (FindWide(t, p, m, i, last, found)) return found + 1;
  }
#endif
  const CaseFreeByte first(p[0]);
  const CaseFreeByte final(p[m - 1]);
#if defined(__SSE2__)
  // Sixteen candidate positions at a time: the first and the last byte of the pattern must both
  // match before the bytes between are compared.
  for (; i + 16 <= last + 1; i += 16) {
    const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
    const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + m - 1));
    unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(first.Match(head), final.Match(tail))));
    while (mask != 0) {
      const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
      if (RestMatches(p, t + at, m)) return at + 1;
      mask &= mask - 1;
    }
  }
#endif
  for (; i <= last; ++i)
    if (first.Is(t[i]) && RestMatches(p, t + i, m)) return i + 1;
  return 0;
}

std::size_t LastPos(std::string_view pattern, std::string_view text) {
  if (pattern.empty()) return 0;
  const std::size_t at = text.rfind(pattern);
  return at == std::string_view::npos ? 0 : at + 1;
}

std::string TextBetween(std::string_view text, std::string_view open, std::string_view close) {
  const std::size_t p = PosText(open, text);
  const std::size_t q = PosText(close, text);
  if (p == 0 || p + open.size() >= q) return {};
  return std::string(text.substr(p + open.size() - 1, q - p - open.size()));
}

std::string TextBetweenExact(std::string_view text, std::string_view open, std::string_view close) {
  const std::size_t p = open.empty() ? 0 : text.find(open) + 1;
  const std::size_t q = close.empty() ? 0 : text.find(close) + 1;  // npos + 1 wraps to 0
  if (p == 0 || p + open.size() >= q) return {};
  return std::string(text.substr(p + open.size() - 1, q - p - open.size()));
}

std::string ReplaceAll(std::string_view text, std::string_view oldText, std::string_view newText) {
  std::string out;
  AppendReplaced(out, text, oldText, newText);
  return out;
}

void AppendReplaced(std::string& out, std::string_view text, std::string_view oldText,
                    std::string_view newText) {
  std::size_t at =
      oldText == newText || oldText.empty() ? std::string_view::npos : text.find(oldText);
  if (at == std::string_view::npos) {
    out.append(text);
    return;
  }
  out.reserve(out.size() + text.size());
  std::size_t from = 0;
  while (at != std::string_view::npos) {
    out.append(text.substr(from, at - from));
    out.append(newText);
    from = at + oldText.size();
    // Later occurrences are matched without regard to case.
    const std::size_t next = PosText(oldText, text, from + 1);
    at = next == 0 ? std::string_view::npos : next - 1;
  }
  out.append(text.substr(from));
}

std::string EscapeSpaces(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == ' ')
      out += "%20";
    else
      out += c;
  }
  return out;
}

std::string PercentDecode(std::string_view text) {
  // Decoding restarts at the byte just produced, so a decoded "%" takes the next two bytes as
  // its digits (%2541 gives A). A "%" without two bytes after it stays as it is.
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    while (c == '%' && i + 2 < text.size()) {
      const int value = HexDigitValue(static_cast<unsigned char>(text[i + 1])) * 16 +
                        HexDigitValue(static_cast<unsigned char>(text[i + 2]));
      c = static_cast<unsigned char>(value & 0xFF);
      i += 2;
    }
    out += static_cast<char>(c);
    ++i;
  }
  return out;
}

bool StartsWithText(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t k = 0; k < prefix.size(); ++k)
    if (kLower[static_cast<unsigned char>(text[k])] !=
        kLower[static_cast<unsigned char>(prefix[k])])
      return false;
  return true;
}

std::size_t SchemeLength(std::string_view text) {
  if (StartsWithText(text, "http://")) return 7;
  if (StartsWithText(text, "https://")) return 8;
  return 0;
}

bool IsHttpsUrl(std::string_view text) {
  return SchemeLength(text) == 8;
}

std::string HostOf(std::string_view url) {
  std::string_view t = TrimBlanks(url);
  const std::size_t scheme = SchemeLength(t);
  if (scheme == 0) return {};
  t.remove_prefix(scheme);
  t = t.substr(0, t.find('/'));
  return std::string(t.substr(0, t.find(':')));
}

std::string DomainOf(std::string_view host) {
  const std::size_t first = host.find('.');
  if (first == std::string_view::npos || first == host.rfind('.')) return std::string(host);
  return std::string(host.substr(first + 1));
}

bool SameHost(std::string_view a, std::string_view b) {
  return HostOf(a) == HostOf(b);
}

}  // namespace qm
