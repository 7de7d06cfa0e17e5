#include "analysis/TagIndex.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define QM_WIDE_TAG_INDEX 1
#endif

#include "platform/AsciiText.h"

namespace qm {
namespace {

constexpr std::size_t kKinds = TTagIndex::kOpenings.size();

// The named openings by the byte after their "<", either case (-1 ends a list): most bytes
// start none, "i" starts four. With each opening, its bytes as eight bytes read at once (little
// end first): which bytes count, which are letters whose case is ignored, and what they must be.
struct TOpeningTable {
  static constexpr std::size_t kMax = 4;
  std::array<std::array<signed char, kMax + 1>, 256> kinds{};
  std::array<std::uint64_t, kKinds> keep{}, fold{}, want{};
  constexpr TOpeningTable() {
    for (auto& list : kinds)
      for (auto& k : list) k = -1;
    for (std::size_t k = 1; k < kKinds; ++k) {
      const std::string_view opening = TTagIndex::kOpenings[k];
      if (opening.size() > 8) throw "an opening longer than eight bytes";
      for (std::size_t i = 0; i < opening.size(); ++i) {
        const char c = AsciiLower(opening[i]);
        keep[k] |= std::uint64_t{0xFF} << (8 * i);
        if (c >= 'a' && c <= 'z') fold[k] |= std::uint64_t{0x20} << (8 * i);
        want[k] |= std::uint64_t{static_cast<unsigned char>(c)} << (8 * i);
      }
      for (const char second : {AsciiLower(opening[1]), AsciiUpper(opening[1])}) {
        auto& list = kinds[static_cast<unsigned char>(second)];
        std::size_t free = 0;
        while (list[free] >= 0) ++free;
        if (free == kMax) throw "more openings share a second byte than a list holds";
        list[free] = static_cast<signed char>(k);
      }
    }
  }
};
constexpr TOpeningTable kOpeningTable;

// How far before a change a "<" may stand whose kind the change can alter.
constexpr std::size_t kReach = [] {
  std::size_t longest = 0;
  for (std::string_view opening : TTagIndex::kOpenings) longest = std::max(longest, opening.size());
  return longest - 1;
}();

// Calls visit(position) for every "<" of the text, in order.
template <class Visit>
void ForEachLt(std::string_view text, Visit visit) {
  const char* t = text.data();
  const std::size_t n = text.size();
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i lt = _mm_set1_epi8('<');
  for (; i + 16 <= n; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lt)));
    while (mask != 0) {
      visit(i + static_cast<std::size_t>(__builtin_ctz(mask)));
      mask &= mask - 1;
    }
  }
#endif
  for (; i < n; ++i)
    if (t[i] == '<') visit(i);
}

// The bytes after "<" that start a named opening, lower case, each once.
constexpr auto kSecondBytes = [] {
  std::array<char, kKinds> bytes{};
  std::size_t count = 0;
  for (std::size_t k = 1; k < kKinds; ++k) {
    const char c = AsciiLower(TTagIndex::kOpenings[k][1]);
    bool known = false;
    for (std::size_t i = 0; i < count; ++i) known = known || bytes[i] == c;
    if (!known) bytes[count++] = c;
  }
  for (std::size_t i = count; i < bytes.size(); ++i) bytes[i] = bytes[0];  // repeats change nothing
  return bytes;
}();

// Whether the "<" at `lt` may start a named opening, by its next byte alone.
bool MayStartOpening(std::string_view text, std::size_t lt) {
  return lt + 1 < text.size() &&
         kOpeningTable.kinds[static_cast<unsigned char>(text[lt + 1])][0] >= 0;
}

#if defined(QM_WIDE_TAG_INDEX)
// Calls visit(position) for every "<" whose next byte may start a named opening, thirty-two
// places at a time, for processors that have the wider registers. Returns where it stopped: the
// caller goes on from there byte by byte.
template <class Visit>
__attribute__((target("avx2"))) std::size_t ForEachCandidateWide(std::string_view text,
                                                                 Visit& visit) {
  const char* t = text.data();
  const std::size_t n = text.size();
  const __m256i lt = _mm256_set1_epi8('<');
  // Bit 5 set on a letter's byte maps exactly its two cases onto the lower one; the second
  // bytes are all letters.
  const __m256i fold = _mm256_set1_epi8(0x20);
  std::size_t i = 0;
  for (; i + 33 <= n; i += 32) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + i));
    const __m256i isLt = _mm256_cmpeq_epi8(bytes, lt);
    if (_mm256_movemask_epi8(isLt) == 0) continue;
    const __m256i next =
        _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + i + 1)), fold);
    __m256i second = _mm256_setzero_si256();
    for (const char c : kSecondBytes)
      second = _mm256_or_si256(second, _mm256_cmpeq_epi8(next, _mm256_set1_epi8(c)));
    auto mask = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(isLt, second)));
    while (mask != 0) {
      visit(i + static_cast<std::size_t>(__builtin_ctz(mask)));
      mask &= mask - 1;
    }
  }
  return i;
}
#endif

bool OpeningAt(std::string_view text, std::size_t at, std::string_view opening) {
  if (text.size() - at < opening.size()) return false;
  for (std::size_t i = 1; i < opening.size(); ++i)
    if (AsciiLower(text[at + i]) != AsciiLower(opening[i])) return false;
  return true;
}

}  // namespace

int TTagIndex::KindOf(std::string_view opening) {
  for (std::size_t k = 0; k < kKinds; ++k)
    if (EqualsIgnoringAsciiCase(opening, kOpenings[k])) return static_cast<int>(k);
  return -1;
}

int TTagIndex::NamedKindAt(std::string_view text, std::size_t lt) {
  if (lt + 1 >= text.size()) return -1;
  const auto& kinds = kOpeningTable.kinds[static_cast<unsigned char>(text[lt + 1])];
  if (kinds[0] < 0) return -1;
  // No opening is a prefix of another, so one at most matches.
  if (text.size() - lt >= 8) {
    // Bit 5 set on a letter's byte maps exactly its two cases onto the lower one.
    std::uint64_t bytes = 0;
    std::memcpy(&bytes, text.data() + lt, 8);
    if constexpr (std::endian::native == std::endian::big) bytes = __builtin_bswap64(bytes);
    for (const signed char k : kinds) {
      if (k < 0) break;
      const auto i = static_cast<std::size_t>(k);
      if (((bytes | kOpeningTable.fold[i]) & kOpeningTable.keep[i]) == kOpeningTable.want[i])
        return k;
    }
    return -1;
  }
  for (const signed char k : kinds) {
    if (k < 0) break;
    if (OpeningAt(text, lt, kOpenings[static_cast<std::size_t>(k)])) return k;
  }
  return -1;
}

const std::vector<std::size_t>& TTagIndex::Of(int kind, std::string_view text) {
  const auto k = static_cast<std::size_t>(kind);
  if (kind == kAnyTag && !anyFound_) {
    std::vector<std::size_t>& any = at_[kAnyTag];
    any.clear();
    ForEachLt(text, [&](std::size_t lt) { any.push_back(lt); });
    anyFound_ = true;
    applied_[kAnyTag] = batchCount_;
  }
  for (; applied_[k] < batchCount_; ++applied_[k]) Apply(k, batches_[applied_[k]]);
  return at_[k];
}

namespace {

// Where the stretch read again for edit i begins in the old text: a few bytes before the change,
// for a "<" whose kind the change may alter, but not before the end of the previous change.
std::size_t WindowStart(const std::vector<TTagIndex::TEdit>& edits, std::size_t i) {
  const std::size_t floor = i == 0 ? 0 : edits[i - 1].OldTo;
  const std::size_t from = edits[i].OldFrom;
  return std::max(floor, from - std::min(from, kReach));
}

}  // namespace

void TTagIndex::Update(std::string_view text, const std::vector<TEdit>& edits) {
  if (edits.empty()) return;
  if (batchCount_ == batches_.size()) batches_.emplace_back();
  TBatch& batch = batches_[batchCount_++];
  batch.Edits = edits;
  // Every "<" of a changed stretch, and of the few bytes before it, is read again from the new
  // text; the others keep their kind and move.
  batch.Found.clear();
  for (std::size_t i = 0; i < edits.size(); ++i) {
    const TEdit& e = edits[i];
    const char* const begin = text.data() + WindowStart(edits, i) + e.NewFrom - e.OldFrom;
    const char* const end = text.data() + e.NewTo;
    for (const char* p = begin; p < end; ++p) {
      p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)));
      if (p == nullptr) break;
      const auto at = static_cast<std::size_t>(p - text.data());
      batch.Found.push_back({at, NamedKindAt(text, at), i});
    }
  }
}

void TTagIndex::Apply(std::size_t k, const TBatch& batch) {
  const std::vector<TEdit>& edits = batch.Edits;
  const std::vector<TFound>& found = batch.Found;
  const std::vector<std::size_t>& old = at_[k];
  const bool anyFound = std::any_of(found.begin(), found.end(), [&](const TFound& f) {
    return k == kAnyTag || f.Kind == static_cast<int>(k);
  });
  if (old.empty() && !anyFound) return;  // none before, none now
  std::vector<std::size_t>& now = spare_;
  now.clear();
  now.reserve(old.size() + 16);
  std::size_t j = 0;  // next old position
  std::size_t f = 0;  // next found opening
  for (std::size_t i = 0; i < edits.size(); ++i) {
    const TEdit& e = edits[i];
    const std::size_t start = WindowStart(edits, i);
    for (; j < old.size() && old[j] < start; ++j) now.push_back(old[j] + e.NewFrom - e.OldFrom);
    while (j < old.size() && old[j] < e.OldTo) ++j;
    for (; f < found.size() && found[f].Edit == i; ++f)
      if (k == kAnyTag || found[f].Kind == static_cast<int>(k)) now.push_back(found[f].Pos);
  }
  const TEdit& last = edits.back();
  for (; j < old.size(); ++j) now.push_back(old[j] + last.NewTo - last.OldTo);
  at_[k].swap(now);
}

void TTagIndex::Build(std::string_view text) {
  for (auto& positions : at_) positions.clear();
  anyFound_ = false;
  batchCount_ = 0;
  applied_.fill(0);
  // Most "<" start no named opening ("</", "<p", "<td"...): told by the next byte alone.
  auto visit = [&](std::size_t lt) {
    const int k = NamedKindAt(text, lt);
    if (k > 0) at_[static_cast<std::size_t>(k)].push_back(lt);
  };
  std::size_t from = 0;
#if defined(QM_WIDE_TAG_INDEX)
  static const bool kWide = __builtin_cpu_supports("avx2");
  if (kWide) from = ForEachCandidateWide(text, visit);
#endif
  ForEachLt(text.substr(from), [&](std::size_t lt) {
    if (MayStartOpening(text, from + lt)) visit(from + lt);
  });
}

}  // namespace qm
