#include <gtest/gtest.h>

#include <string>

#include "TaskTestUtil.h"
#include "task/Task.h"

namespace qm {
namespace {

using test::UrlRec;

TEST(TaskStatus, CountersFollowStatusChanges) {
  TTask task;
  const std::int32_t a = task.AddUrl(UrlRec("http://h/a.html", NotDownloaded, 100));
  const std::int32_t b = task.AddUrl(UrlRec("http://h/b.gif", NotDownloaded, 40));
  EXPECT_EQ(task.Recount(), 0);
  EXPECT_EQ(task.NotDownloadedCount, 2);

  EXPECT_TRUE(task.SetStatus(a, InProgress));
  EXPECT_FALSE(task.SetStatus(a, InProgress));  // a second claim fails
  EXPECT_EQ(task.NotDownloadedCount, 1);
  EXPECT_TRUE(task.SetStatus(a, Downloaded));
  EXPECT_EQ(task.DownloadedCount, 1);
  EXPECT_EQ(task.SavedBytes, 0);
  EXPECT_TRUE(task.SetStatus(a, Saved));
  EXPECT_EQ(task.DownloadedCount, 0);
  EXPECT_EQ(task.SavedCount, 1);
  EXPECT_EQ(task.SavedBytes, 100);
  // Saving again is no change and adds nothing.
  EXPECT_FALSE(task.SetStatus(a, Saved));
  EXPECT_EQ(task.SavedBytes, 100);
  // Leaving Saved keeps the bytes until the next recount.
  EXPECT_TRUE(task.SetStatus(a, NotDownloaded));
  EXPECT_EQ(task.SavedCount, 0);
  EXPECT_EQ(task.NotDownloadedCount, 2);
  EXPECT_EQ(task.SavedBytes, 100);

  EXPECT_TRUE(task.SetStatus(b, DownloadError));
  EXPECT_EQ(task.ErrorCount, 1);
  EXPECT_TRUE(task.SetStatus(b, AnalysisError));
  EXPECT_EQ(task.ErrorCount, 0);
  EXPECT_EQ(task.AnalysisErrorCount, 1);

  // Beyond the capacity nothing changes.
  EXPECT_FALSE(task.SetStatus(static_cast<std::int32_t>(task.Urls.size()), Saved));
  EXPECT_FALSE(task.SetStatus(-1, Saved));
  EXPECT_EQ(task.SavedCount, 0);
}

TEST(TaskStatus, RecountRebuildsCountersFromUrlEntriesOnly) {
  TTask task;
  const std::int32_t a = task.AddUrl(UrlRec("http://h/a.html", Saved, 100));
  task.AddUrl(UrlRec("http://h/b.html", Downloaded, 30));
  task.AddUrl(UrlRec("http://h/c.html", DownloadError, 5));
  task.AddUrl(UrlRec("http://h/d.html", NotDownloaded, 7));
  task.AddUrl(UrlRec("http://h/e.html", AnalysisError, 9));
  task.AddUrl(UrlRec("http://h/f.html", InProgress, 11));
  const std::int32_t r = task.AddUrl(UrlRec("http://h/g.html", Saved, 1000));
  task.Urls[r].Status = Redirected;  // redirected entries are not counted
  task.SavedBytes = 123456;
  // 7 entries minus the redirected one; (saved 1 + errors 1) * 100 / 6.
  EXPECT_EQ(task.Recount(), 33);
  EXPECT_EQ(task.Total, 6);
  EXPECT_EQ(task.SavedCount, 1);
  EXPECT_EQ(task.DownloadedCount, 1);
  EXPECT_EQ(task.ErrorCount, 1);
  EXPECT_EQ(task.NotDownloadedCount, 1);
  EXPECT_EQ(task.AnalysisErrorCount, 1);
  EXPECT_EQ(task.SavedBytes, 130);  // statuses 1 and 3
  task.SetStatus(a, NotDownloaded);
  EXPECT_EQ(task.SavedBytes, 130);
  task.Recount();
  EXPECT_EQ(task.SavedBytes, 30);
}

TEST(TaskStatus, RecountOfNodesAndRedirectsOnlyIsZero) {
  TTask task;
  EXPECT_EQ(task.Recount(), 0);
  const std::int32_t a = task.AddUrl(UrlRec("http://h/x/a.html", Saved, 10));
  task.Urls[a].Status = Redirected;
  EXPECT_EQ(task.Total, 1);
  EXPECT_EQ(task.Recount(), 0);
  EXPECT_EQ(task.Total, 0);
  EXPECT_EQ(task.SavedCount, 0);
  EXPECT_EQ(task.SavedBytes, 0);
}

TEST(TaskRedirect, NewTargetIsAddedAndInheritsTheEntry) {
  TTask task;
  task.AddUrl(UrlRec("http://h/"));
  TExtendUrlRec rec = UrlRec("http://h/old.html");
  rec.Layer = 3;
  rec.ReferId = 0;
  rec.ContentKind = 4;
  rec.OwnBase = 0;
  const std::int32_t i = task.AddUrl(rec);
  task.SetStatus(i, InProgress);
  const std::int32_t totalBefore = task.Total;

  const std::int32_t j = task.RedirectRecord(i, "http://h/new/place.html");
  ASSERT_GE(j, 0);
  EXPECT_NE(j, i);
  EXPECT_EQ(task.FindUrl("http://h/new/place.html"), j);
  EXPECT_EQ(task.GetStatus(j), InProgress);
  EXPECT_EQ(task.GetLayer(j), 3);
  EXPECT_EQ(+task.Urls[j].ReferId, 0);
  EXPECT_EQ(task.GetContentKind(j), 4);
  EXPECT_EQ(+task.Urls[j].OwnBase, 1);
  EXPECT_EQ(+task.Urls[j].RedirectId, -1);
  EXPECT_EQ(task.GetStatus(i), Redirected);
  EXPECT_EQ(+task.Urls[i].RedirectId, j);
  EXPECT_EQ(task.ResolveIndex(i), j);
  EXPECT_EQ(task.GetUrl(i), "http://h/new/place.html");
  EXPECT_EQ(task.Total, totalBefore + 1);

  bool changed = false;
  EXPECT_EQ(task.ResolveBase("http://h/old.html", changed), "http://h/new/place.html");
  EXPECT_TRUE(changed);
  EXPECT_EQ(task.ResolveBase("http://h/", changed), "http://h/");
  EXPECT_FALSE(changed);
  EXPECT_EQ(task.ResolveBase("http://unknown/", changed), "http://unknown/");
  EXPECT_FALSE(changed);
}

// A redirect to a URL the table knows already leaves that entry as it stands: a saved page stays
// counted, a waiting one is still fetched, one in a worker's hands is finished by that worker.
// Only the entry that redirects becomes Redirected.
TEST(TaskRedirect, KnownTargetKeepsItsOwnStatus) {
  for (const std::int32_t status : {Saved, NotDownloaded, InProgress}) {
    SCOPED_TRACE(status);
    TTask task;
    const std::int32_t target = task.AddUrl(UrlRec("http://h/final/end.html", status, 50));
    const std::int32_t i = task.AddUrl(UrlRec("http://h/chain2.html"));
    task.SetStatus(i, InProgress);
    const std::int32_t percentBefore = task.Recount();
    const std::int32_t countBefore = task.Count;
    const std::int32_t totalBefore = task.Total;

    bool created = true;
    EXPECT_EQ(task.RedirectRecord(i, "http://h/final/end.html", &created), target);
    EXPECT_FALSE(created);
    EXPECT_EQ(task.Count, countBefore);
    EXPECT_EQ(task.GetStatus(target), status);
    EXPECT_EQ(+task.Urls[target].RedirectId, -1);
    EXPECT_EQ(task.GetStatus(i), Redirected);
    EXPECT_EQ(+task.Urls[i].RedirectId, target);
    EXPECT_EQ(task.GetUrl(i), "http://h/final/end.html");

    // The end-of-run count still holds the target; only the redirecting entry drops out.
    const std::int32_t percentAfter = task.Recount();
    EXPECT_EQ(task.Total, totalBefore - 1);
    EXPECT_EQ(task.SavedCount, status == Saved ? 1 : 0);
    EXPECT_EQ(task.NotDownloadedCount, status == NotDownloaded ? 1 : 0);
    EXPECT_EQ(task.SavedBytes, status == Saved ? 50 : 0);
    EXPECT_GE(percentAfter, percentBefore);
  }
}

TEST(TaskRedirect, NewTargetIsReportedAsCreated) {
  TTask task;
  task.AddUrl(UrlRec("http://h/"));
  const std::int32_t i = task.AddUrl(UrlRec("http://h/from.html"));
  bool created = false;
  const std::int32_t j = task.RedirectUrl("http://h/from.html", "http://h/to.html", &created);
  EXPECT_TRUE(created);
  EXPECT_EQ(task.GetStatus(j), InProgress);
  EXPECT_EQ(task.ResolveIndex(i), j);

  created = true;
  EXPECT_EQ(task.RedirectUrl("http://h/nowhere.html", "http://h/to.html", &created), -1);
  EXPECT_FALSE(created);
}

// The analysis asks for a link's entry and its redirect target's text in one step; the answer
// must be what FindUrl and GetUrl give one after the other, whatever the buffer held before.
TEST(TaskFindUrlTarget, GivesTheEntryAndTheTextItsRedirectsLeadTo) {
  TTask task;
  task.AddUrl(UrlRec("http://h/"));
  const std::int32_t plain = task.AddUrl(UrlRec("http://h/plain.html"));
  const std::int32_t first = task.AddUrl(UrlRec("http://h/one.html"));
  const std::int32_t second = task.AddUrl(UrlRec("http://h/two.html"));
  ASSERT_GE(task.RedirectRecord(second, "http://h/far/end.html"), 0);
  ASSERT_EQ(task.RedirectRecord(first, "http://h/two.html"), second);  // one -> two -> end
  const std::string longUrl = "http://h/" + std::string(118, 'x');     // 127 bytes, stored whole
  const std::int32_t kept = task.AddUrl(UrlRec(longUrl));

  struct Case {
    std::string url;
    std::int32_t index;
    std::string target;
  };
  const Case cases[] = {
      {"http://h/plain.html", plain, "http://h/plain.html"},
      {"http://h/one.html", first, "http://h/far/end.html"},
      {"http://h/two.html", second, "http://h/far/end.html"},
      {longUrl, kept, longUrl},
      {"http://h/unknown.html", -1, ""},
      {longUrl + "y", -1, ""},  // longer than any stored URL
      {"", -1, ""},
  };
  std::string target = "left over from an earlier, much longer look-up of another link";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(task.FindUrlTarget(c.url, target), c.index);
    EXPECT_EQ(target, c.target);
    EXPECT_EQ(task.FindUrl(c.url), c.index);
    if (c.index >= 0) {
      EXPECT_EQ(task.GetUrl(c.index), c.target);
    }
  }
}

TEST(TaskFindUrlTarget, RedirectLoopEndsAfterTheHopLimit) {
  TTask task;
  task.AddUrl(UrlRec("http://h/"));
  const std::int32_t a = task.AddUrl(UrlRec("http://h/a.html"));
  const std::int32_t b = task.AddUrl(UrlRec("http://h/b.html"));
  task.Urls[static_cast<std::size_t>(a)].RedirectId = b;
  task.Urls[static_cast<std::size_t>(b)].RedirectId = a;
  std::string target;
  EXPECT_EQ(task.FindUrlTarget("http://h/a.html", target), a);
  EXPECT_EQ(target, task.GetUrl(a));
  EXPECT_FALSE(target.empty());
}

TEST(TaskCookies, InheritedFromTheNearestReferrerWithCookies) {
  TTask task;
  TExtendUrlRec rec = UrlRec("http://h/");
  rec.ReferId = 0;
  const std::int32_t start = task.AddUrl(rec);  // 0
  rec = UrlRec("http://h/a.html");
  rec.ReferId = start;
  const std::int32_t a = task.AddUrl(rec);
  rec = UrlRec("http://h/b.html");
  rec.ReferId = a;
  const std::int32_t b = task.AddUrl(rec);
  rec = UrlRec("http://h/c.html");
  rec.ReferId = b;
  const std::int32_t c = task.AddUrl(rec);

  std::string cookies = "unchanged";
  EXPECT_FALSE(task.FindInheritedCookies(c, cookies));  // nobody has cookies
  EXPECT_TRUE(task.SetCookies(start, "sid=1"));
  // Unchecked entries look only at their direct referrer.
  EXPECT_FALSE(task.FindInheritedCookies(c, cookies));
  EXPECT_EQ(cookies, "unchanged");
  EXPECT_TRUE(task.FindInheritedCookies(a, cookies));
  EXPECT_EQ(cookies, "sid=1");
  // A checked entry climbs the referrers up to the start record.
  task.SetChecked(c, true);
  EXPECT_TRUE(task.FindInheritedCookies(c, cookies));
  EXPECT_EQ(cookies, "sid=1");
  task.SetCookies(b, "b=2");
  EXPECT_TRUE(task.FindInheritedCookies(c, cookies));
  EXPECT_EQ(cookies, "b=2");
  // The start record refers to itself: without cookies there the search stops.
  TTask bare;
  bare.AddUrl(UrlRec("http://h/"));
  bare.Urls[0].ReferId = 0;
  bare.SetChecked(0, true);
  EXPECT_FALSE(bare.FindInheritedCookies(0, cookies));
}

TEST(TaskCookies, ReferrerLoopsEnd) {
  TTask task;
  const std::int32_t a = task.AddUrl(UrlRec("http://h/a"));
  const std::int32_t b = task.AddUrl(UrlRec("http://h/b"));
  task.Urls[a].ReferId = b;
  task.Urls[b].ReferId = a;
  task.SetChecked(a, true);
  std::string cookies;
  EXPECT_FALSE(task.FindInheritedCookies(a, cookies));
  task.Urls[b].ReferId = 1 << 30;
  EXPECT_FALSE(task.FindInheritedCookies(a, cookies));
}

TEST(TaskRestart, EmptiesTheTableAndKeepsTheStartUrl) {
  TTask task;
  TExtendUrlRec rec = UrlRec("http://h/start.html", Saved, 99);
  rec.Layer = 2;
  rec.ContentKind = 4;
  rec.FileTime = 40000;
  task.AddUrl(rec);
  for (int i = 0; i < 50; ++i) task.AddUrl(UrlRec("http://h/d" + std::to_string(i) + "/x.html"));
  task.SetChecked(0, true);
  task.SetCookies(0, "old");
  task.PushAnalysis(7);
  const std::size_t capacity = task.Urls.size();

  task.Restart();
  EXPECT_EQ(task.Count, 3);
  EXPECT_EQ(task.Urls.size(), capacity);
  EXPECT_EQ(task.GetRawUrl(0), "http://h/start.html");
  const TExtendUrlRec& start = task.Urls[0];
  EXPECT_EQ(+start.Status, NotDownloaded);
  EXPECT_EQ(+start.Size, 0);
  EXPECT_EQ(+start.Layer, 0);
  EXPECT_EQ(+start.ContentKind, 0);
  EXPECT_EQ(+start.FileTime, 0);
  EXPECT_EQ(+start.ReferId, 0);
  EXPECT_EQ(+start.OwnBase, 1);
  EXPECT_EQ(+start.ParentId, 2);
  EXPECT_FALSE(task.IsChecked(0));
  std::string cookies;
  EXPECT_FALSE(task.FindInheritedCookies(0, cookies));
  EXPECT_EQ(task.Urls[2].Url.Get(), "h");
  EXPECT_EQ(+task.Urls[2].FirstChildId, 0);
  EXPECT_EQ(+task.Urls[2].LastChildId, 0);
  EXPECT_EQ(task.FindUrl("http://h/start.html"), 0);
  EXPECT_EQ(task.FindUrl("http://h/d3/x.html"), -1);
  EXPECT_EQ(task.PopAnalysis(), -1);
  // The table fills again from there.
  EXPECT_EQ(task.AddUrl(UrlRec("http://h/d3/x.html")), 3);
  EXPECT_EQ(task.FindUrl("http://h/d3/x.html"), 3);
}

// The task file reader fills Urls directly and rebuilds the index from the stored links.
TEST(TaskRebuildIndex, FindsWhatTheStoredLinksHold) {
  TTask source;
  for (int i = 0; i < 200; ++i) {
    source.AddUrl(
        UrlRec("http://h/d" + std::to_string(i % 7) + "/p" + std::to_string(i) + ".html"));
  }
  source.AddUrl(UrlRec("http://h/d1/p5.html"));  // a duplicate: the first stays found

  TTask loaded;
  loaded.Urls = source.Urls;
  loaded.Urls.resize(static_cast<std::size_t>(source.Count) * 2);
  loaded.UrlFlags.resize(loaded.Urls.size());
  loaded.Count = source.Count;
  EXPECT_EQ(loaded.FindUrl("http://h/d3/p3.html"), -1);
  loaded.RebuildIndex();
  for (int i = 0; i < 200; ++i) {
    const std::string url =
        "http://h/d" + std::to_string(i % 7) + "/p" + std::to_string(i) + ".html";
    ASSERT_EQ(loaded.FindUrl(url), source.FindUrl(url)) << url;
  }
  // New entries join the existing nodes.
  const std::int32_t countBefore = loaded.Count;
  const std::int32_t n = loaded.AddUrl(UrlRec("http://h/d2/new.html"));
  EXPECT_EQ(n, countBefore);
  EXPECT_EQ(loaded.Count, countBefore + 1);
  EXPECT_EQ(+loaded.Urls[n].ParentId, +loaded.Urls[loaded.FindUrl("http://h/d2/p2.html")].ParentId);
  EXPECT_EQ(loaded.FindUrl("http://h/d2/new.html"), n);
}

// A file written under other mapping rules holds entries below nodes their URL does not name:
// lookups then go by the stored links, node by node.
TEST(TaskRebuildIndex, LinksThatDisagreeWithTheMappingAreFollowed) {
  TTask task;
  const std::int32_t a = task.AddUrl(UrlRec("http://h/a/x.html"));
  const std::int32_t b = task.AddUrl(UrlRec("http://h/b/x.html"));
  const std::int32_t nodeA = task.Urls[a].ParentId;
  // a stays below a\ although its text now names b\.
  task.Urls[a].Url.Set("http://h/b/y.html");
  task.RebuildIndex();
  EXPECT_EQ(task.FindUrl("http://h/b/y.html"), -1);  // b\ holds no such entry
  EXPECT_EQ(task.FindUrl("http://h/b/x.html"), b);
  // b stays below b\ although its text now names a\.
  task.Urls[a].Url.Set("http://h/a/z.html");
  task.Urls[b].Url.Set("http://h/a/w.html");
  task.RebuildIndex();
  EXPECT_EQ(task.FindUrl("http://h/a/z.html"), a);
  EXPECT_EQ(task.FindUrl("http://h/a/w.html"), -1);
  const std::int32_t c = task.AddUrl(UrlRec("http://h/a/w.html"));
  EXPECT_EQ(+task.Urls[c].ParentId, nodeA);
  EXPECT_EQ(task.FindUrl("http://h/a/w.html"), c);
  // A restart starts a sound table again.
  task.Restart();
  EXPECT_EQ(task.FindUrl("http://h/a/z.html"), 0);
}

TEST(TaskRebuildIndex, DamagedLinksDoNotHang) {
  TTask task;
  const std::int32_t a = task.AddUrl(UrlRec("http://h/a.html"));
  const std::int32_t b = task.AddUrl(UrlRec("http://h/b.html"));
  task.Urls[b].NextId = a;  // a loop in the child list
  task.Urls[2].LastChildId = 1 << 30;
  task.RebuildIndex();
  EXPECT_EQ(task.FindUrl("http://h/a.html"), a);
  EXPECT_EQ(task.FindUrl("http://h/b.html"), b);
  EXPECT_GE(task.AddUrl(UrlRec("http://h/c.html")), 0);
}

}  // namespace
}  // namespace qm
