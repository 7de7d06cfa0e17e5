#pragma once
// The in-memory index a task keeps beside the stored tree links of its URL table.
#include "task/ChildIndex.h"
#include "task/Task.h"
#include "url/UrlLib.h"

namespace qm {

struct TTask::LookupIndex {
  TChildIndex DirChildren{TChildIndex::Kinds::DirNodes};
  // URL entries by their stored text alone. This answers FindUrl without building the key as
  // long as every entry hangs under the node its own URL names (always so for a table built by
  // AddUrl): then the first entry of that text in the table is the one the tree walk finds.
  TChildIndex UrlsByText{TChildIndex::Kinds::UrlEntries};
  // URL entries per node, used instead when a task file's links disagree with the mapping.
  TChildIndex UrlChildren{TChildIndex::Kinds::UrlEntries};
  bool Consistent = true;
  // The key built last (reused, so building one allocates nothing) and the last directory path
  // walked with the node it led to: URLs of one directory usually come in a row. Nodes are only
  // ever added, and a name's first node stays the one found, so a path once walked keeps its node
  // until Clear.
  std::string Key;
  std::string LastPath;
  std::int32_t LastPathNode = -1;

  static constexpr std::int32_t kAnyNode = 0;

  // The lookup key of a URL: host, then every directory component, each followed by "\" - the
  // local directory of the URL's file. Valid until the next call.
  std::string_view KeyOf(std::string_view url) {
    SplitUrlDirKey(url, Key);
    return Key;
  }

  void Clear() {
    DirChildren.Clear();
    UrlsByText.Clear();
    UrlChildren.Clear();
    Consistent = true;
    LastPath.clear();
    LastPathNode = -1;
  }
};

}  // namespace qm
