#pragma once
// Hand-built URL tables for the task file tests: the records are laid out exactly as the table
// keeps them, so the file's bytes can be checked without going through AddUrl.
#include <cstdint>
#include <cstring>
#include <string>

#include "task/Task.h"

namespace qm::test {

// Record 0 http://h/a/x.html, 1 root, 2 node "h", 3 node "a", then `extra` entries
// http://h/a/<i>.html under node 3.
inline void BuildSmallTable(TTask& task, int extra = 1) {
  const int count = 4 + extra;
  task.Urls.assign(static_cast<std::size_t>(count) + 6, EmptyUrlRec());
  task.UrlFlags.assign(task.Urls.size(), UrlFlagRec{});
  auto node = [&](int i, const char* name, int parent) {
    TExtendUrlRec& r = task.Urls[i];
    r.Url.Set(name);
    r.Kind = 0;
    r.ParentId = parent;
    r.NextId = r.PrevId = r.FirstChildId = r.LastChildId = -1;
    r.RedirectId = -1;
  };
  auto entry = [&](int i, const std::string& url, int status) {
    TExtendUrlRec& r = task.Urls[i];
    r.Url.Set(url);
    r.Kind = 1;
    r.Status = status;
    r.Size = 1000 + i;
    r.FileTime = 45000.5 + i;  // 2023-03-15 12:00:00 plus i days
    r.Layer = i == 0 ? 0 : 1;
    r.ReferId = 0;
    r.RedirectId = -1;
    r.OwnBase = 1;
    r.ParentId = 3;
    r.NextId = r.PrevId = r.FirstChildId = r.LastChildId = -1;
  };
  entry(0, "http://h/a/x.html", Saved);
  node(1, "", -1);
  node(2, "h", 1);
  node(3, "a", 2);
  task.Urls[1].FirstChildId = task.Urls[1].LastChildId = 2;
  task.Urls[2].FirstChildId = task.Urls[2].LastChildId = 3;
  // The children of node 3 in the order they were added: 0, then 4, 5, ...
  int prev = 0;
  task.Urls[3].FirstChildId = 0;
  for (int i = 4; i < count; ++i) {
    entry(i, "http://h/a/" + std::to_string(i) + ".html", NotDownloaded);
    task.Urls[i].PrevId = prev;
    task.Urls[prev].NextId = i;
    prev = i;
  }
  task.Urls[3].LastChildId = prev;
  task.Count = count;
}

inline std::int32_t HeaderInt(const std::string& bytes, std::size_t offset) {
  std::int32_t v = 0;
  std::memcpy(&v, bytes.data() + offset, sizeof v);
  return v;
}

inline void SetHeaderInt(std::string& bytes, std::size_t offset, std::int32_t v) {
  std::memcpy(bytes.data() + offset, &v, sizeof v);
}

}  // namespace qm::test
