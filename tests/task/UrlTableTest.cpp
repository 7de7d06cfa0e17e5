#include <gtest/gtest.h>

#include <string>

#include "TaskTestUtil.h"
#include "task/Task.h"

namespace qm {
namespace {

using test::UrlRec;

TEST(TaskCreate, StartsStoppedAndEmpty) {
  const TDateTime before = Now();
  TTask task;
  EXPECT_EQ(task.State, Stopped);
  EXPECT_EQ(task.Count, 0);
  EXPECT_EQ(task.GetCount(), 0);
  EXPECT_EQ(task.RunTime, 0);
  EXPECT_GE(task.RunStart, before);
  EXPECT_LE(task.RunStart, Now());
  EXPECT_FALSE(task.Loaded);
  EXPECT_EQ(task.ManagerIndex, 0);
  EXPECT_EQ(task.FindUrl("http://h/"), -1);
  EXPECT_EQ(task.GetUrl(0), "");
  EXPECT_EQ(task.PopAnalysis(), -1);
}

TEST(TaskLookupTree, FirstUrlIsZeroRootIsOneHostIsTwo) {
  TTask task;
  ASSERT_EQ(task.AddUrl(UrlRec("http://h/a.html")), 0);
  ASSERT_EQ(task.Count, 3);
  EXPECT_EQ(task.Total, 1);
  const TExtendUrlRec& url = task.Urls[0];
  const TExtendUrlRec& root = task.Urls[1];
  const TExtendUrlRec& host = task.Urls[2];
  EXPECT_EQ(+url.Kind, 1);
  EXPECT_EQ(+url.ParentId, 2);
  EXPECT_EQ(+url.RedirectId, -1);
  EXPECT_EQ(+url.NextId, -1);
  EXPECT_EQ(+url.PrevId, -1);
  EXPECT_EQ(+url.FirstChildId, -1);
  EXPECT_EQ(+url.LastChildId, -1);
  EXPECT_EQ(+root.Kind, 0);
  EXPECT_EQ(+root.FirstChildId, 2);
  EXPECT_EQ(+root.LastChildId, 2);
  EXPECT_EQ(+host.Kind, 0);
  EXPECT_EQ(host.Url.Get(), "h");
  EXPECT_EQ(+host.ParentId, 1);
  EXPECT_EQ(+host.FirstChildId, 0);
  EXPECT_EQ(+host.LastChildId, 0);
  EXPECT_EQ(task.FindUrl("http://h/a.html"), 0);
}

TEST(TaskLookupTree, ChildrenAreLinkedInOrderAndKeyFollowsLocalDirectory) {
  TTask task;
  ASSERT_EQ(task.AddUrl(UrlRec("http://h/d/x.html")), 0);  // root 1, h 2, d 3
  ASSERT_EQ(task.AddUrl(UrlRec("http://h/d/y.html")), 4);
  ASSERT_EQ(task.AddUrl(UrlRec("http://h/d/")), 5);
  EXPECT_EQ(task.Count, 6);
  const TExtendUrlRec& dir = task.Urls[3];
  EXPECT_EQ(dir.Url.Get(), "d");
  EXPECT_EQ(+dir.ParentId, 2);
  EXPECT_EQ(+dir.FirstChildId, 0);
  EXPECT_EQ(+dir.LastChildId, 5);
  EXPECT_EQ(+task.Urls[0].NextId, 4);
  EXPECT_EQ(+task.Urls[4].PrevId, 0);
  EXPECT_EQ(+task.Urls[4].NextId, 5);
  EXPECT_EQ(+task.Urls[5].PrevId, 4);
  EXPECT_EQ(+task.Urls[5].NextId, -1);

  // A query turns into directory levels: a.asp\x=1\ under the host.
  const std::int32_t q = task.AddUrl(UrlRec("http://h/a.asp?x=1&y=2"));
  ASSERT_GE(q, 0);
  const std::int32_t x1 = task.Urls[q].ParentId;
  EXPECT_EQ(task.Urls[x1].Url.Get(), "x=1");
  const std::int32_t asp = task.Urls[x1].ParentId;
  EXPECT_EQ(task.Urls[asp].Url.Get(), "a.asp");
  EXPECT_EQ(+task.Urls[asp].ParentId, 2);
  EXPECT_EQ(task.FindUrl("http://h/a.asp?x=1&y=2"), q);
  EXPECT_EQ(task.FindUrl("http://h/a.asp?x=1&y=3"), -1);
  EXPECT_EQ(task.FindUrl("http://other/d/x.html"), -1);
  EXPECT_EQ(task.FindUrl("http://h/e/x.html"), -1);

  // Texts that are no http:// URL hang below an empty host name.
  const std::int32_t odd = task.AddUrl(UrlRec("ftp://x/y.txt"));
  ASSERT_GE(odd, 0);
  EXPECT_EQ(task.FindUrl("ftp://x/y.txt"), odd);
  EXPECT_EQ(task.Total, 5);
}

TEST(TaskLookupTree, PortVariantsShareOneNodeButAreDifferentEntries) {
  TTask task;
  const std::int32_t withPort = task.AddUrl(UrlRec("http://h:8080/a/b.html"));
  ASSERT_EQ(withPort, 0);
  EXPECT_EQ(task.FindUrl("http://h/a/b.html"), -1);
  const std::int32_t plain = task.AddUrl(UrlRec("http://h/a/b.html"));
  ASSERT_GE(plain, 0);
  EXPECT_EQ(+task.Urls[plain].ParentId, +task.Urls[withPort].ParentId);
  EXPECT_EQ(task.Count, 5);  // two entries, root, h, a
  EXPECT_EQ(task.FindUrl("http://h/a/b.html"), plain);
  EXPECT_EQ(task.FindUrl("http://h:8080/a/b.html"), withPort);
  // The https form of the URL hangs under the same node and is an entry of its own.
  EXPECT_EQ(task.FindUrl("https://h/a/b.html"), -1);
  const std::int32_t secure = task.AddUrl(UrlRec("https://h/a/b.html"));
  ASSERT_GE(secure, 0);
  EXPECT_EQ(+task.Urls[secure].ParentId, +task.Urls[plain].ParentId);
  EXPECT_EQ(task.FindUrl("https://h/a/b.html"), secure);
  EXPECT_EQ(task.FindUrl("http://h/a/b.html"), plain);
}

TEST(TaskLookupTree, CaseIsDistinguished) {
  TTask task;
  const std::int32_t upper = task.AddUrl(UrlRec("http://h/A.html"));
  EXPECT_EQ(task.FindUrl("http://h/a.html"), -1);
  const std::int32_t lower = task.AddUrl(UrlRec("http://h/a.html"));
  EXPECT_NE(upper, lower);
  EXPECT_EQ(task.FindUrl("http://h/A.html"), upper);
  EXPECT_EQ(task.FindUrl("http://h/a.html"), lower);
  EXPECT_EQ(task.FindUrl("HTTP://h/a.html"), -1);
  // Host names are not folded either: another node.
  const std::int32_t otherHost = task.AddUrl(UrlRec("http://H/a.html"));
  EXPECT_NE(+task.Urls[otherHost].ParentId, +task.Urls[lower].ParentId);
}

TEST(TaskLookupTree, LongUrlsAreCutAndNeverFoundAgain) {
  TTask task;
  const std::string dir = "http://h/d/";
  const std::string exact = dir + std::string(127 - dir.size(), 'e');
  const std::string longer = dir + std::string(140, 'x');
  ASSERT_EQ(exact.size(), 127u);
  const std::int32_t e = task.AddUrl(UrlRec(exact));
  EXPECT_EQ(task.FindUrl(exact), e);

  const std::int32_t first = task.AddUrl(UrlRec(longer));
  ASSERT_GE(first, 0);
  EXPECT_EQ(task.GetRawUrl(first), longer.substr(0, 127));
  EXPECT_EQ(task.FindUrl(longer), -1);
  // Every page that links to it records it once more.
  const std::int32_t second = task.AddUrl(UrlRec(longer));
  EXPECT_NE(second, first);
  EXPECT_EQ(task.FindUrl(longer), -1);
  // The stored prefix is itself a URL that can be found, as the first entry holding it.
  EXPECT_EQ(task.FindUrl(longer.substr(0, 127)), first);
}

TEST(TaskLookupTree, DuplicatesAreAddedAndTheFirstIsFound) {
  TTask task;
  const std::int32_t a = task.AddUrl(UrlRec("http://h/p.html"));
  const std::int32_t b = task.AddUrl(UrlRec("http://h/p.html"));
  EXPECT_NE(a, b);
  EXPECT_EQ(task.FindUrl("http://h/p.html"), a);
  EXPECT_EQ(task.Total, 2);
}

TEST(TaskLookupTree, AddNewUrlSkipsAKnownUrlButNotOneThatMayHaveBeenCut) {
  TTask task;
  const std::int32_t first = task.AddNewUrl(UrlRec("http://h/a.html"));
  ASSERT_GE(first, 0);
  EXPECT_EQ(task.AddNewUrl(UrlRec("http://h/a.html")), TTask::kKnownUrl);
  const std::int32_t other = task.AddNewUrl(UrlRec("http://h/A.html"));
  EXPECT_GT(other, first);
  EXPECT_EQ(task.FindUrl("http://h/A.html"), other);
  // Stored cut to 127 bytes: whether it is known cannot be told, so it is recorded again.
  const std::string longUrl = "http://h/" + std::string(200, 'x') + ".html";
  const std::int32_t cut = task.AddNewUrl(UrlRec(longUrl));
  ASSERT_GE(cut, 0);
  EXPECT_GT(task.AddNewUrl(UrlRec(longUrl)), cut);
}

TEST(TaskLookupTree, OneDirectoryWithManyEntries) {
  TTask task;
  for (int i = 1; i <= 3000; ++i) {
    ASSERT_GE(task.AddUrl(UrlRec("http://h/list.php?id=" + std::to_string(i))), 0);
  }
  const std::int32_t first = task.FindUrl("http://h/list.php?id=1");
  const std::int32_t last = task.FindUrl("http://h/list.php?id=3000");
  ASSERT_GE(first, 0);
  ASSERT_GE(last, 0);
  const std::int32_t node = task.Urls[first].ParentId;
  EXPECT_EQ(task.Urls[node].Url.Get(), "list.php");
  EXPECT_EQ(+task.Urls[last].ParentId, node);
  EXPECT_EQ(+task.Urls[node].FirstChildId, first);
  EXPECT_EQ(+task.Urls[node].LastChildId, last);
  EXPECT_EQ(task.FindUrl("http://h/list.php?id=3001"), -1);
  EXPECT_EQ(task.Count, 3000 + 3);
}

TEST(TaskTable, GrowsInStepsAndKeepsFlagsAsLongAsTheTable) {
  TTask task;
  task.AddUrl(UrlRec("http://h/0.html"));
  EXPECT_EQ(task.Urls.size(), 10001u);  // Count 1 at the first growth
  for (int i = 1; i < 25000; ++i) {
    ASSERT_GE(task.AddUrl(UrlRec("http://h/" + std::to_string(i) + ".html")), 0);
    ASSERT_EQ(task.UrlFlags.size(), task.Urls.size());
    ASSERT_GE(task.Urls.size(), static_cast<std::size_t>(task.Count));
  }
  EXPECT_EQ(task.Count, 25002);
  EXPECT_EQ(task.Urls.size(), 30003u);  // grown again at Count 10002 (to 20002) and 20003
  EXPECT_EQ(task.FindUrl("http://h/12345.html"), 12345 + 2);
}

TEST(TaskTable, RedirectChainsStopAfterTenHops) {
  TTask task;
  for (int i = 0; i < 14; ++i) task.AddUrl(UrlRec("http://h/" + std::to_string(i)));
  // Entries 0 and 3..15: chain 0 -> 3 -> 4 -> ... -> 15.
  std::vector<std::int32_t> ids{0};
  for (int i = 3; i <= 15; ++i) ids.push_back(i);
  for (std::size_t k = 0; k + 1 < ids.size(); ++k) task.Urls[ids[k]].RedirectId = ids[k + 1];
  EXPECT_EQ(task.ResolveIndex(0), ids[10]);
  EXPECT_EQ(task.GetUrl(0), task.GetRawUrl(ids[10]));
  EXPECT_EQ(task.ResolveIndex(ids[5]), 15);
  EXPECT_EQ(task.GetRawUrl(0), "http://h/0");

  // A loop of two ends after ten hops where it started.
  task.Urls[4].RedirectId = 5;
  task.Urls[5].RedirectId = 4;
  EXPECT_EQ(task.ResolveIndex(4), 4);
  task.Urls[6].RedirectId = 6;
  EXPECT_EQ(task.GetUrl(6), task.GetRawUrl(6));
  // A target beyond the capacity ends the walk.
  task.Urls[7].RedirectId = static_cast<std::int32_t>(task.Urls.size());
  EXPECT_EQ(task.ResolveIndex(7), 7);
  EXPECT_EQ(task.GetUrl(-1), "");
}

TEST(TaskTable, FieldAccessors) {
  TTask task;
  TExtendUrlRec rec = UrlRec("http://h/f.gif");
  rec.ContentKind = 1;
  rec.Layer = 4;
  rec.ReferId = 0;
  const std::int32_t i = task.AddUrl(rec);
  EXPECT_EQ(task.GetKind(i), 1);
  EXPECT_EQ(task.GetKind(1), 0);
  EXPECT_EQ(task.GetLayer(i), 4);
  EXPECT_EQ(task.GetContentKind(i), 1);
  EXPECT_FALSE(task.SetContentKind(i, 1));
  EXPECT_TRUE(task.SetContentKind(i, 0));
  EXPECT_EQ(task.GetContentKind(i), 0);
  task.SetSize(i, 1234);
  EXPECT_EQ(task.GetSize(i), 1234);
  task.SetFileTime(i, 45000.25);
  EXPECT_EQ(task.GetFileTime(i), 45000.25);
  const TExtendUrlRec copy = task.CopyRecord(i);
  EXPECT_EQ(copy.Url.Get(), "http://h/f.gif");
  EXPECT_EQ(+copy.Size, 1234);
  EXPECT_EQ(+copy.ParentId, 2);
  // Indexes outside the table change nothing and read as nothing.
  EXPECT_FALSE(task.SetContentKind(-1, 3));
  EXPECT_EQ(task.GetStatus(static_cast<std::int32_t>(task.Urls.size())), -1);
  EXPECT_EQ(task.CopyRecord(-5).RedirectId, -1);
}

TEST(TaskTable, AnalysisQueueIsLastInFirstOut) {
  TTask task;
  EXPECT_EQ(task.PushAnalysis(5), 0);
  EXPECT_EQ(task.PushAnalysis(9), 1);
  EXPECT_EQ(task.PushAnalysis(7), 2);
  EXPECT_EQ(task.PopAnalysis(), 7);
  EXPECT_EQ(task.PopAnalysis(), 9);
  EXPECT_EQ(task.PushAnalysis(3), 1);
  EXPECT_EQ(task.PopAnalysis(), 3);
  EXPECT_EQ(task.PopAnalysis(), 5);
  EXPECT_EQ(task.PopAnalysis(), -1);
}

TEST(TaskTable, CheckedFlagReportsChanges) {
  TTask task;
  const std::int32_t i = task.AddUrl(UrlRec("http://h/"));
  EXPECT_FALSE(task.IsChecked(i));
  EXPECT_FALSE(task.SetChecked(i, false));
  EXPECT_TRUE(task.SetChecked(i, true));
  EXPECT_TRUE(task.IsChecked(i));
  EXPECT_FALSE(task.SetChecked(i, true));
  EXPECT_TRUE(task.SetChecked(i, false));
  EXPECT_FALSE(task.IsChecked(-1));
  EXPECT_FALSE(task.SetChecked(1 << 30, true));
}

TEST(TaskTable, StatusWords) {
  EXPECT_EQ(StatusWord(NotDownloaded), "未下载");
  EXPECT_EQ(StatusWord(Downloaded), "已下载");
  EXPECT_EQ(StatusWord(Saved), "已保存");
  EXPECT_EQ(StatusWord(DownloadError), "错误");
  EXPECT_EQ(StatusWord(ErrorButOk), "错误但下载200 OK");
  for (std::int32_t s : {2, 6, 8, 9, 10, -1, 11}) EXPECT_EQ(StatusWord(s), "未知状态") << s;
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

// The table's storage hands out zeroed slots whatever the slot held before, and keeps what a
// growth copies.
TEST(UrlTableStorage, NewSlotsAreZeroAndGrowthKeepsTheRecords) {
  auto allZero = [](const TExtendUrlRec& rec) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&rec);
    for (std::size_t i = 0; i < sizeof rec; ++i)
      if (bytes[i] != 0) return false;
    return true;
  };
  TUrlTable table(8);
  for (const TExtendUrlRec& rec : table) EXPECT_TRUE(allZero(rec));

  table[7].Url.Set("http://h/a.html");
  table[7].Status = Saved;
  table[7].RedirectId = -1;
  // A slot given up and made again holds no trace of its earlier record.
  table.resize(4);
  table.resize(8);
  EXPECT_TRUE(allZero(table[7]));

  table[3].Url.Set("http://h/b.gif");
  table[3].Size = 1234;
  table.resize(20000);  // a new block: the records move, the new slots are zero
  EXPECT_EQ(table[3].Url.Get(), "http://h/b.gif");
  EXPECT_EQ(+table[3].Size, 1234);
  EXPECT_TRUE(allZero(table[4]));
  EXPECT_TRUE(allZero(table[19999]));

  // A slot made from a value takes the value.
  table.push_back(table[3]);
  EXPECT_EQ(table.back().Url.Get(), "http://h/b.gif");
  const TUrlTable copy = table;
  EXPECT_EQ(copy.size(), table.size());
  EXPECT_EQ(+copy[3].Size, 1234);
}

}  // namespace
}  // namespace qm
