#pragma once
// The in-memory index a task keeps beside the stored tree links of its URL table.
#include "task/ChildIndex.h"
#include "task/Task.h"

namespace qm {

struct TTask::LookupIndex {
  TChildIndex DirChildren{TChildIndex::Kinds::DirNodes};
  TChildIndex UrlChildren{TChildIndex::Kinds::UrlEntries};

  void Clear() {
    DirChildren.Clear();
    UrlChildren.Clear();
  }
};

// The lookup key of a URL: host, then every directory component, each followed by "\" - the local
// directory of the URL's file.
std::string LookupKeyOf(std::string_view url);

}  // namespace qm
