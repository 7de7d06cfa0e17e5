// The child index of the lookup tree: what it finds by node and name, which kind of child each
// index holds, and that growing keeps every child found.
#include <gtest/gtest.h>

#include <string>

#include "task/ChildIndex.h"

namespace qm {
namespace {

// A table whose records are named and kinded as the test says; links are not needed.
struct Table {
  TUrlTable urls;
  std::int32_t Add(const std::string& name, std::int32_t kind) {
    TExtendUrlRec rec = EmptyUrlRec();
    rec.Url.Set(name);
    rec.Kind = kind;
    urls.push_back(rec);
    return static_cast<std::int32_t>(urls.size() - 1);
  }
};

constexpr std::int32_t kDir = 0;
constexpr std::int32_t kEntry = 1;

TEST(ChildIndex, FindsByNodeAndNameAndKeepsTheFirstOfAName) {
  Table t;
  TChildIndex dirs(TChildIndex::Kinds::DirNodes);
  const std::int32_t a1 = t.Add("a", kDir);
  const std::int32_t a2 = t.Add("a", kDir);
  const std::int32_t b = t.Add("b", kDir);
  dirs.Insert(t.urls, 1, a1);
  dirs.Insert(t.urls, 2, a2);
  dirs.Insert(t.urls, 1, b);
  const std::int32_t again = t.Add("a", kDir);
  dirs.Insert(t.urls, 1, again);  // a later child of the same name stays hidden
  EXPECT_EQ(dirs.Find(t.urls, 1, "a"), a1);
  EXPECT_EQ(dirs.Find(t.urls, 2, "a"), a2);
  EXPECT_EQ(dirs.Find(t.urls, 1, "b"), b);
  EXPECT_EQ(dirs.Find(t.urls, 2, "b"), -1);
  EXPECT_EQ(dirs.Find(t.urls, 1, "A"), -1);
  EXPECT_EQ(dirs.Find(t.urls, 1, std::string(128, 'a')), -1);
  EXPECT_EQ(dirs.Size(), 3u);
}

// A directory and a URL entry may carry one name under one node: each index finds only its own
// kind, also when the other kind was offered to it first.
TEST(ChildIndex, HoldsOnlyItsOwnKind) {
  Table t;
  TChildIndex dirs(TChildIndex::Kinds::DirNodes);
  TChildIndex entries(TChildIndex::Kinds::UrlEntries);
  const std::int32_t entry = t.Add("http://h/x", kEntry);
  const std::int32_t dir = t.Add("http://h/x", kDir);
  for (TChildIndex* index : {&dirs, &entries}) {
    index->Insert(t.urls, 5, entry);
    index->Insert(t.urls, 5, dir);
    index->Insert(t.urls, 5, 99);  // no such record
  }
  EXPECT_EQ(dirs.Find(t.urls, 5, "http://h/x"), dir);
  EXPECT_EQ(entries.Find(t.urls, 5, "http://h/x"), entry);
  EXPECT_EQ(dirs.Size(), 1u);
  EXPECT_EQ(entries.Size(), 1u);
}

TEST(ChildIndex, EveryChildStaysFoundAsTheIndexGrows) {
  Table t;
  TChildIndex entries(TChildIndex::Kinds::UrlEntries);
  constexpr int kChildren = 20000;
  t.urls.reserve(kChildren);
  for (int i = 0; i < kChildren; ++i) {
    const std::int32_t child = t.Add("http://h/page" + std::to_string(i) + ".html", kEntry);
    entries.Insert(t.urls, 1 + i % 7, child);
  }
  int wrong = 0;
  for (int i = 0; i < kChildren; ++i) {
    const std::string name = "http://h/page" + std::to_string(i) + ".html";
    if (entries.Find(t.urls, 1 + i % 7, name) != i) ++wrong;
    if (entries.Find(t.urls, 1 + (i + 1) % 7, name) != -1) ++wrong;
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(entries.Size(), static_cast<std::size_t>(kChildren));
}

}  // namespace
}  // namespace qm
