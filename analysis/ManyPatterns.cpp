#include "analysis/ManyPatterns.h"

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "url/UrlLib.h"

namespace qm::jstext {
namespace {

// More distinct lengths than this and the one-by-one search is as good.
constexpr std::size_t kMaxLengths = 16;
// Fewer replacements than this are made in turn straight away.
constexpr std::size_t kBatchFrom = 8;

inline std::uint8_t Lower(char c) {
  const auto u = static_cast<std::uint8_t>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<std::uint8_t>(u + 32) : u;
}

constexpr std::uint64_t kBase = 0x100000001B3ull;

std::uint64_t HashNoCase(std::string_view s) {
  std::uint64_t h = 0;
  for (char c : s) h = h * kBase + Lower(c);
  return h;
}

bool EqualNoCase(const char* a, std::string_view b) {
  for (std::size_t i = 0; i < b.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// The patterns of one length: a rolling hash over the text finds candidates, a filter on the
// hash's low bits keeps the table look-ups to the few places that may match. The table is one
// flat array, so that a look-up reads one or two cache lines and building it allocates once,
// however many patterns share the length. (Patterns that differ in their last bytes have hashes
// that differ in their low bits only: the slot is taken from a multiplicative mix of the hash.)
struct TLengthGroup {
  struct TSlot {
    std::uint64_t Hash = 0;
    std::size_t Pattern = kEmpty;  // index in the pattern list
  };
  static constexpr std::size_t kEmpty = static_cast<std::size_t>(-1);

  std::size_t Length = 0;
  std::vector<std::pair<std::uint64_t, std::size_t>> Pending;  // filled first, then placed
  std::vector<TSlot> Slots;
  std::size_t Mask = 0;
  unsigned Shift = 0;
  std::unique_ptr<std::bitset<1 << 16>> Filter = std::make_unique<std::bitset<1 << 16>>();

  std::size_t SlotOf(std::uint64_t hash) const {
    return static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ull) >> Shift);
  }

  void Place() {
    std::size_t size = 16;
    unsigned bits = 4;
    while (size < 2 * Pending.size()) {
      size *= 2;
      ++bits;
    }
    Slots.assign(size, TSlot{});
    Mask = size - 1;
    Shift = 64 - bits;
    // In pattern order, so that the probe of one hash meets its patterns in that order.
    for (const auto& [hash, pattern] : Pending) {
      std::size_t slot = SlotOf(hash);
      while (Slots[slot].Pattern != kEmpty) slot = (slot + 1) & Mask;
      Slots[slot] = {hash, pattern};
    }
    Pending = {};
  }

  // visit(pattern index) for each pattern with this hash, in pattern order.
  template <class Visit>
  void ForHash(std::uint64_t hash, Visit visit) const {
    for (std::size_t slot = SlotOf(hash); Slots[slot].Pattern != kEmpty; slot = (slot + 1) & Mask)
      if (Slots[slot].Hash == hash) visit(Slots[slot].Pattern);
  }
};

// Patterns grouped by length, built once and searched for in any number of texts.
class TPatternSet {
 public:
  // False when there are too many distinct lengths.
  bool Build(const std::vector<std::string_view>& patterns) {
    patterns_ = &patterns;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
      const std::size_t length = patterns[i].size();
      if (length == 0) continue;
      auto group = std::find_if(groups_.begin(), groups_.end(),
                                [&](const TLengthGroup& g) { return g.Length == length; });
      if (group == groups_.end()) {
        if (groups_.size() == kMaxLengths) return false;
        groups_.emplace_back();
        group = groups_.end() - 1;
        group->Length = length;
      }
      const std::uint64_t h = HashNoCase(patterns[i]);
      group->Pending.emplace_back(h, i);
      group->Filter->set(h & 0xFFFF);
    }
    for (TLengthGroup& group : groups_) group.Place();
    return true;
  }

  void Find(std::string_view text, std::vector<std::vector<std::size_t>>& hits) const {
    hits.assign(patterns_->size(), {});
    // Each pattern's hits come from its own length group, in ascending order.
    ForEach(text, [&](std::size_t pattern, std::size_t at) { hits[pattern].push_back(at); });
  }

  // visit(pattern index, offset) for every occurrence.
  template <class Visit>
  void ForEach(std::string_view text, Visit visit) const {
    const std::vector<std::string_view>& patterns = *patterns_;
    for (const TLengthGroup& group : groups_) {
      const std::size_t length = group.Length;
      if (length > text.size()) continue;
      std::uint64_t power = 1;  // kBase^(length - 1)
      for (std::size_t i = 1; i < length; ++i) power *= kBase;
      std::uint64_t h = HashNoCase(text.substr(0, length));
      for (std::size_t at = 0;; ++at) {
        if (group.Filter->test(h & 0xFFFF)) {
          group.ForHash(h, [&](std::size_t pattern) {
            if (EqualNoCase(text.data() + at, patterns[pattern])) visit(pattern, at);
          });
        }
        if (at + length >= text.size()) break;
        h = (h - Lower(text[at]) * power) * kBase + Lower(text[at + length]);
      }
    }
  }

 private:
  const std::vector<std::string_view>* patterns_ = nullptr;
  std::vector<TLengthGroup> groups_;
};

}  // namespace

bool FindAllNoCase(std::string_view text, const std::vector<std::string_view>& patterns,
                   std::vector<std::vector<std::size_t>>& hits) {
  TPatternSet set;
  if (!set.Build(patterns)) return false;
  set.Find(text, hits);
  return true;
}

namespace {

struct TPlace {
  std::size_t At;
  std::size_t Pair;
};

// The places where each pair's old text is replaced, when the replacements cannot meet one
// another; false otherwise.
bool PlanReplacements(std::string_view text,
                      const std::vector<std::pair<std::string, std::string>>& pairs,
                      std::vector<TPlace>& places) {
  std::vector<std::string_view> olds;
  std::size_t longest = 0;
  for (const auto& pair : pairs) {
    olds.emplace_back(pair.first);
    longest = std::max(longest, pair.first.size());
  }
  TPatternSet set;
  if (!set.Build(olds)) return false;
  std::vector<std::vector<std::size_t>> hits;
  set.Find(text, hits);

  // No two occurrences (in any letter case, replaced or not) may overlap.
  std::vector<TPlace> all;
  for (std::size_t i = 0; i < hits.size(); ++i)
    for (std::size_t at : hits[i]) all.push_back({at, i});
  std::sort(all.begin(), all.end(), [](const TPlace& a, const TPlace& b) { return a.At < b.At; });
  for (std::size_t k = 1; k < all.size(); ++k)
    if (all[k - 1].At + olds[all[k - 1].Pair].size() > all[k].At) return false;

  // Each pair replaces its first exact occurrence and every occurrence after it.
  for (std::size_t i = 0; i < hits.size(); ++i) {
    if (pairs[i].first == pairs[i].second) continue;  // ReplaceAll leaves the text alone
    auto exact = std::find_if(hits[i].begin(), hits[i].end(), [&](std::size_t at) {
      return text.compare(at, olds[i].size(), olds[i]) == 0;
    });
    for (; exact != hits[i].end(); ++exact) places.push_back({*exact, i});
  }
  std::sort(places.begin(), places.end(),
            [](const TPlace& a, const TPlace& b) { return a.At < b.At; });

  // A new text must not make an occurrence of any pattern with its surroundings, and two new
  // texts must stand far enough apart that no occurrence can reach from one to the other.
  for (std::size_t k = 0; k < places.size(); ++k) {
    const TPlace& p = places[k];
    const std::size_t end = p.At + olds[p.Pair].size();
    if (k + 1 < places.size() && end + longest > places[k + 1].At) return false;
    const std::size_t before = std::min(p.At, longest - 1);
    std::string window(text.substr(p.At - before, before));
    window += pairs[p.Pair].second;
    window.append(text.substr(end, std::min(text.size() - end, longest - 1)));
    bool met = false;
    set.ForEach(window, [&](std::size_t i, std::size_t at) {
      if (at < before + pairs[p.Pair].second.size() && at + olds[i].size() > before) met = true;
    });
    if (met) return false;
  }
  return true;
}

}  // namespace

std::string ReplaceAllInTurn(std::string_view text,
                             const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::vector<TPlace> places;
  if (pairs.size() < kBatchFrom || !PlanReplacements(text, pairs, places)) {
    std::string result(text);
    for (const auto& [from, to] : pairs) result = ReplaceAll(result, from, to);
    return result;
  }
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  for (const TPlace& p : places) {
    out.append(text.substr(from, p.At - from));
    out += pairs[p.Pair].second;
    from = p.At + pairs[p.Pair].first.size();
  }
  out.append(text.substr(from));
  return out;
}

}  // namespace qm::jstext
