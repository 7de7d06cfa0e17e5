#pragma once
// Finds a child of a lookup-tree node by its stored name in constant time. The tree links in the
// table stay the stored truth (they are written to the task file); this index only spares the
// walk along a node's child list, which would make a directory of 100,000 entries quadratic.
#include <cstdint>
#include <string_view>
#include <vector>

#include "task/UrlRecord.h"

namespace qm {

class TChildIndex {
 public:
  // Which children a node's list walk considers: directory nodes (Kind other than 1) or URL
  // entries (Kind 1).
  enum class Kinds { DirNodes, UrlEntries };

  explicit TChildIndex(Kinds kinds) : kinds_(kinds) {}

  void Clear();
  // The first child of `node` (in list order) whose stored name equals `name` byte for byte,
  // -1 when there is none.
  std::int32_t Find(const TUrlTable& urls, std::int32_t node, std::string_view name) const;
  // Records `child` as a child of `node`. Children must be added in list order: when the node
  // already has a child of that name, the earlier one stays the one found. A child of the other
  // kind is not recorded; a recorded child must keep its Kind while it is held.
  void Insert(const TUrlTable& urls, std::int32_t node, std::int32_t child);
  // Starts loading the slot where (node, name) will be looked for or added: the caller does other
  // work meanwhile, and a table of a million entries is far larger than the caches.
  void Prefetch(std::int32_t node, std::string_view name) const;
  std::size_t Size() const { return used_; }
  // Makes room for `count` children in all without growing on the way.
  void Reserve(std::size_t count);

 private:
  struct Slot {
    std::uint32_t Hash;
    std::int32_t Node;
    std::int32_t Child;  // -1: free slot
  };

  bool OfMyKind(const TExtendUrlRec& rec) const;
  bool Matches(const TUrlTable& urls, const Slot& slot, std::uint32_t hash, std::int32_t node,
               std::string_view name) const;
  void Grow();
  void Rehash(std::size_t size);

  Kinds kinds_;
  std::vector<Slot> slots_;  // open addressing, linear probing, power-of-two size
  std::size_t used_ = 0;
};

}  // namespace qm
