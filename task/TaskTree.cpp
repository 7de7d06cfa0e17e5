// The lookup tree of the URL table: directory nodes for host and path components, URL entries as
// their children. The links are stored in the records; the index beside them finds a child in
// constant time. Every function here runs with TableLock held by its caller.
#include <utility>

#include "task/Task.h"
#include "task/TaskIndex.h"
#include "url/UrlLib.h"

namespace qm {

namespace {

// Calls fn(component) for every component of a key; text after the last "\" is no component.
template <typename Fn>
bool ForEachComponent(std::string_view key, Fn&& fn) {
  std::size_t start = 0;
  for (std::size_t end = key.find('\\'); end != std::string_view::npos;
       end = key.find('\\', start)) {
    if (!fn(key.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

std::int32_t TTask::FindDirChild(std::int32_t node, std::string_view name) {
  return index_->DirChildren.Find(Urls, node, name);
}

std::int32_t TTask::FindUrlChild(std::int32_t node, std::string_view url) {
  return index_->UrlChildren.Find(Urls, node, url);
}

std::int32_t TTask::FindDirPath(std::string_view key) {
  if (Count <= 1) return -1;
  if (index_->LastPathNode >= 0 && key == index_->LastPath) return index_->LastPathNode;
  std::int32_t node = 1;
  const bool found = ForEachComponent(key, [&](std::string_view component) {
    node = FindDirChild(node, component);
    return node >= 0;
  });
  if (!found) return -1;
  index_->LastPath.assign(key);
  index_->LastPathNode = node;
  return node;
}

std::int32_t TTask::ForceDirPath(std::string_view key) {
  if (Count <= 1 && AddDirNode(-1, {}) < 0) return -1;
  if (index_->LastPathNode >= 0 && key == index_->LastPath) return index_->LastPathNode;
  std::int32_t node = 1;
  const bool found = ForEachComponent(key, [&](std::string_view component) {
    std::int32_t child = FindDirChild(node, component);
    if (child < 0) child = AddDirNode(node, component);
    node = child;
    return node >= 0;
  });
  if (!found) return -1;
  index_->LastPath.assign(key);
  index_->LastPathNode = node;
  return node;
}

namespace {

// Appends `child` as the last child of `parent` in the stored links.
void AppendChild(TUrlTable& urls, std::int32_t parent, std::int32_t child) {
  TExtendUrlRec& p = urls[static_cast<std::size_t>(parent)];
  TExtendUrlRec& c = urls[static_cast<std::size_t>(child)];
  const auto size = static_cast<std::int32_t>(urls.size());
  if (p.FirstChildId < 0) {
    p.FirstChildId = child;
  } else if (p.LastChildId >= 0 && p.LastChildId < size) {
    urls[static_cast<std::size_t>(p.LastChildId)].NextId = child;
    c.PrevId = p.LastChildId;
  }
  p.LastChildId = child;
}

}  // namespace

bool TTask::TakeMemoryShortNote() {
  TLockGuard guard(TableLock);
  return std::exchange(memoryShort_, false);
}

std::int32_t TTask::AddDirNode(std::int32_t parent, std::string_view name) {
  ++Count;
  if (!GrowTable(Count)) {
    --Count;
    memoryShort_ = true;
    return -1;
  }
  const std::int32_t n = Count - 1;
  TExtendUrlRec& rec = Urls[static_cast<std::size_t>(n)];
  // A node carries only its name and links; stale bytes of an earlier table are not kept.
  rec = EmptyUrlRec();
  rec.Kind = 0;
  rec.ParentId = parent;
  rec.RedirectId = -1;
  rec.NextId = rec.PrevId = rec.FirstChildId = rec.LastChildId = -1;
  UrlFlags[static_cast<std::size_t>(n)] = UrlFlagRec{};
  if (parent > 0) {
    rec.Url.Set(name);
    AppendChild(Urls, parent, n);
    index_->DirChildren.Insert(Urls, parent, n);
  }
  return n;
}

void TTask::LinkUrlNode(std::int32_t node, std::int32_t index) {
  TExtendUrlRec& rec = Urls[static_cast<std::size_t>(index)];
  rec.Kind = 1;
  rec.ParentId = node;
  rec.NextId = rec.PrevId = rec.FirstChildId = rec.LastChildId = -1;
  AppendChild(Urls, node, index);
  if (index_->Consistent) {
    index_->UrlsByText.Insert(Urls, LookupIndex::kAnyNode, index);
  } else {
    index_->UrlChildren.Insert(Urls, node, index);
  }
}

void TTask::RebuildIndex() {
  TLockGuard guard(TableLock);
  index_->Clear();
  const std::int32_t end = std::min<std::int32_t>(Count, static_cast<std::int32_t>(Urls.size()));
  if (end <= 1) return;
  // Walk the tree from the root in list order, each record once: a damaged file whose links
  // loop or share a list cannot make the walk endless.
  struct Placed {
    std::int32_t Node;
    std::int32_t Entry;
  };
  std::vector<Placed> entries;
  entries.reserve(static_cast<std::size_t>(end));
  index_->DirChildren.Reserve(static_cast<std::size_t>(end));
  std::vector<bool> seen(static_cast<std::size_t>(end), false);
  std::vector<std::int32_t> pending{1};
  seen[1] = true;
  while (!pending.empty()) {
    const std::int32_t node = pending.back();
    pending.pop_back();
    for (std::int32_t child = Urls[static_cast<std::size_t>(node)].FirstChildId;
         child >= 0 && child < end && !seen[static_cast<std::size_t>(child)];
         child = Urls[static_cast<std::size_t>(child)].NextId) {
      seen[static_cast<std::size_t>(child)] = true;
      if (Urls[static_cast<std::size_t>(child)].Kind == 1) {
        entries.push_back({node, child});
      } else {
        index_->DirChildren.Insert(Urls, node, child);
        pending.push_back(child);
      }
    }
  }
  // A file written with other mapping rules (or damaged) may hold entries under nodes their URL
  // does not name; such a table is searched node by node, as the links say.
  for (const Placed& p : entries) {
    const std::string_view url = Urls[static_cast<std::size_t>(p.Entry)].Url.View();
    if (FindDirPath(index_->KeyOf(url)) != p.Node) {
      index_->Consistent = false;
      break;
    }
  }
  (index_->Consistent ? index_->UrlsByText : index_->UrlChildren).Reserve(entries.size());
  for (const Placed& p : entries) {
    if (index_->Consistent) {
      index_->UrlsByText.Insert(Urls, LookupIndex::kAnyNode, p.Entry);
    } else {
      index_->UrlChildren.Insert(Urls, p.Node, p.Entry);
    }
  }
}

}  // namespace qm
