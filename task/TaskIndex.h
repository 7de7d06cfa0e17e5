#pragma once
// The in-memory index a task keeps beside the stored tree links of its URL table.
#include "task/ChildIndex.h"
#include "task/Task.h"

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

  static constexpr std::int32_t kAnyNode = 0;

  void Clear() {
    DirChildren.Clear();
    UrlsByText.Clear();
    UrlChildren.Clear();
    Consistent = true;
  }
};

// The lookup key of a URL: host, then every directory component, each followed by "\" - the local
// directory of the URL's file.
std::string LookupKeyOf(std::string_view url);

}  // namespace qm
