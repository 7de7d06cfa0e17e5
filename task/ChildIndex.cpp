#include "task/ChildIndex.h"

#include <functional>

namespace qm {
namespace {

std::uint64_t Mix(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ULL;
  h ^= h >> 33;
  return h;
}

// 32 bits are plenty: the table never holds more than 2^31 records. The slot position is taken
// from the same bits, so growing needs no access to the names.
std::uint32_t HashOf(std::int32_t node, std::string_view name) {
  const std::uint64_t h = std::hash<std::string_view>{}(name);
  const std::uint64_t n = static_cast<std::uint32_t>(node);
  return static_cast<std::uint32_t>(Mix(h ^ (n * 0x9E3779B97F4A7C15ULL)));
}

constexpr std::size_t kFirstSize = 1024;

}  // namespace

void TChildIndex::Clear() {
  slots_.clear();
  slots_.shrink_to_fit();
  used_ = 0;
}

bool TChildIndex::Matches(const TUrlTable& urls, const Slot& slot, std::uint32_t hash,
                          std::int32_t node, std::string_view name) const {
  if (slot.Hash != hash || slot.Node != node) return false;
  if (slot.Child < 0 || static_cast<std::size_t>(slot.Child) >= urls.size()) return false;
  // Only children of the index's kind are held (Insert), and a record keeps its kind: the name
  // alone decides, so a look-up reads one place of the record, not also its Kind further on.
  return urls[static_cast<std::size_t>(slot.Child)].Url.View() == name;
}

bool TChildIndex::OfMyKind(const TExtendUrlRec& rec) const {
  return (rec.Kind == 1) == (kinds_ == Kinds::UrlEntries);
}

std::int32_t TChildIndex::Find(const TUrlTable& urls, std::int32_t node,
                               std::string_view name) const {
  // A stored name holds at most 127 bytes, so a longer one never matches.
  if (slots_.empty() || name.size() > 127) return -1;
  const std::uint32_t tag = HashOf(node, name);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = tag & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.Child < 0) return -1;
    if (Matches(urls, slot, tag, node, name)) return slot.Child;
  }
}

void TChildIndex::Prefetch(std::int32_t node, std::string_view name) const {
  if (slots_.empty()) return;
  __builtin_prefetch(&slots_[HashOf(node, name) & (slots_.size() - 1)], 1);
}

void TChildIndex::Insert(const TUrlTable& urls, std::int32_t node, std::int32_t child) {
  if (child < 0 || static_cast<std::size_t>(child) >= urls.size()) return;
  const TExtendUrlRec& rec = urls[static_cast<std::size_t>(child)];
  if (!OfMyKind(rec)) return;  // never found, so never held
  if ((used_ + 1) * 10 > slots_.size() * 7) Grow();
  const std::string_view name = rec.Url.View();
  const std::uint32_t tag = HashOf(node, name);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = tag & mask;; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.Child < 0) {
      slot = Slot{tag, node, child};
      ++used_;
      return;
    }
    if (Matches(urls, slot, tag, node, name)) return;  // the earlier child stays found
  }
}

void TChildIndex::Grow() {
  Rehash(slots_.empty() ? kFirstSize : slots_.size() * 2);
}

void TChildIndex::Reserve(std::size_t count) {
  std::size_t size = slots_.empty() ? kFirstSize : slots_.size();
  while (count * 10 > size * 7) size *= 2;
  if (size > slots_.size()) Rehash(size);
}

void TChildIndex::Rehash(std::size_t size) {
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(size, Slot{0, 0, -1});
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& s : old) {
    if (s.Child < 0) continue;
    std::size_t i = s.Hash & mask;
    while (slots_[i].Child >= 0) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

}  // namespace qm
