#include <gtest/gtest.h>

#include "support/TaskSettingsEdit.h"
#include "task/Task.h"
#include "url/Scope.h"

namespace qm {
namespace {

using namespace ::qm::test;

TEST(SameSite, HostsOfOneDomainAreOneSite) {
  const char* start = "http://w1.site.test/";
  EXPECT_TRUE(SameSite("http://img.site.test/x.gif", start));
  EXPECT_TRUE(SameSite("http://site.test/", start));
  EXPECT_TRUE(SameSite("http://w1.site.test:8080/a.html", start));
  EXPECT_TRUE(SameSite("http://IMG.SITE.TEST/x.gif", start));  // same length: case ignored
  EXPECT_FALSE(SameSite("http://other.test/", start));
  EXPECT_FALSE(SameSite("http://w1.site.example/", start));
  // The scheme plays no part in the site.
  EXPECT_TRUE(SameSite("https://img.site.test/x.gif", start));
  EXPECT_TRUE(SameSite("http://img.site.test/x.gif", "https://w1.site.test/"));
  EXPECT_FALSE(SameSite("https://other.test/", "https://w1.site.test/"));
}

TEST(SameSite, AShorterDomainInsideALongerOneCounts) {
  // site.test occurs in xsite.test, so that host belongs to the site too.
  EXPECT_TRUE(SameSite("http://xsite.test/", "http://site.test/"));
  EXPECT_TRUE(SameSite("http://site.test/", "http://a.b.site.test/"));
  // Different lengths compare exactly.
  EXPECT_FALSE(SameSite("http://a.b.SITE.test/", "http://site.test/"));
}

TEST(SameSite, NeedsTwoHttpUrls) {
  EXPECT_FALSE(SameSite("ftp://site.test/f", "http://site.test/"));
  EXPECT_FALSE(SameSite("a.html", "http://site.test/"));
  EXPECT_FALSE(SameSite("", "http://site.test/"));
  EXPECT_FALSE(SameSite("http://site.test/", ""));  // no start host: nothing is the site
}

TEST(InSameDir, AdmitsTheReferenceDirectoryAndBelowOnItsHost) {
  const char* start = "http://h/a/b/index.html";
  EXPECT_TRUE(InSameDir("http://h/a/b/c/d.html", start));
  EXPECT_TRUE(InSameDir("http://h/a/b/other.gif", start));
  EXPECT_TRUE(InSameDir("http://h:8080/a/b/x.html", start));  // the port is not part of the host
  EXPECT_FALSE(InSameDir("http://h/a/x.html", start));
  EXPECT_FALSE(InSameDir("http://h/a/bc/x.html", start));  // a\bc\ does not begin with a\b\ .
  EXPECT_FALSE(InSameDir("http://H/a/b/x.html", start));   // hosts compare exactly
  EXPECT_FALSE(InSameDir("http://other/a/b/x.html", start));
  // Either scheme of the reference's host, either way round.
  EXPECT_TRUE(InSameDir("https://h/a/b/c/d.html", start));
  EXPECT_TRUE(InSameDir("http://h/a/b/c/d.html", "HTTPS://h/a/b/"));
  EXPECT_FALSE(InSameDir("https://h/a/x.html", start));
  EXPECT_FALSE(InSameDir("https://other/a/b/x.html", start));
}

TEST(InSameDir, AReferenceAtTheSiteRootAdmitsTheWholeHost) {
  EXPECT_TRUE(InSameDir("http://h/any/deep/x.html", "http://h/p.html"));
  EXPECT_TRUE(InSameDir("http://h/x.html", "http://h"));
  EXPECT_FALSE(InSameDir("http://g/x.html", "http://h/"));
}

TEST(ClassifyExt, KindsFollowTheExtensionLists) {
  EXPECT_EQ(ClassifyExt("a.html"), KindPage);
  EXPECT_EQ(ClassifyExt("style.css"), KindPage);
  EXPECT_EQ(ClassifyExt("code.js"), KindPage);
  EXPECT_EQ(ClassifyExt("list.php.html"), KindPage);  // a dynamic page after mapping
  EXPECT_EQ(ClassifyExt("index.html"), KindPage);     // an unnamed directory
  EXPECT_EQ(ClassifyExt("pic.JPG"), KindImage);
  EXPECT_EQ(ClassifyExt("setup.exe"), KindProgram);
  EXPECT_EQ(ClassifyExt("a.zip"), KindArchive);
  EXPECT_EQ(ClassifyExt("doc.pdf"), KindDocument);
  EXPECT_EQ(ClassifyExt("readme"), KindOther);
  EXPECT_EQ(ClassifyExt("movie.swf"), KindOther);
  EXPECT_EQ(ClassifyExt(""), KindOther);
}

class ScopeTaskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    task.SetStartUrl("http://h/a/b/index.html");
    SetScope(task, ScopeDirectory);
  }
  std::vector<std::string> Dirs() const {
    std::vector<std::string> out;
    for (const ExtraDirRec& e : task.ExtraDirs) out.push_back(e.Dir.Get());
    return out;
  }
  TTask task;
};

TEST_F(ScopeTaskTest, CollectsEachOutsideDirectoryOnceAndUnselected) {
  const std::string start = task.StartUrl();
  EXPECT_TRUE(CollectExtraDir(task, "http://h/a/x.html", start));
  EXPECT_FALSE(CollectExtraDir(task, "http://h/a/y.html", start));      // listed already
  EXPECT_FALSE(CollectExtraDir(task, "http://h/a/b/c/d.html", start));  // inside the start dir
  EXPECT_FALSE(CollectExtraDir(task, "http://h/root.html", start));     // no directory
  EXPECT_TRUE(CollectExtraDir(task, "http://h/z/q/p.html", start));
  EXPECT_EQ(Dirs(), (std::vector<std::string>{"a\\", "z\\q\\"}));
  EXPECT_EQ(task.ExtraDirs[0].Selected, 0);
}

TEST_F(ScopeTaskTest, AVeryLongDirectoryIsCollectedOnce) {
  const std::string url = "http://h/" + std::string(200, 'd') + "/x.html";
  EXPECT_TRUE(CollectExtraDir(task, url, task.StartUrl()));
  EXPECT_FALSE(CollectExtraDir(task, url, task.StartUrl()));
  ASSERT_EQ(task.ExtraDirs.size(), 1u);
  EXPECT_EQ(task.ExtraDirs[0].Dir.Length, 127);
}

TEST_F(ScopeTaskTest, OnlySelectedDirectoriesAdmitLinks) {
  const std::string start = task.StartUrl();
  EXPECT_TRUE(InExtraDirs(task, "http://h/a/b/c/d.html", start));  // the start directory
  CollectExtraDir(task, "http://h/a/x.html", start);
  EXPECT_FALSE(InExtraDirs(task, "http://h/a/x.html", start));
  task.ExtraDirs[0].Selected = 1;
  EXPECT_TRUE(InExtraDirs(task, "http://h/a/x.html", start));
  EXPECT_TRUE(InExtraDirs(task, "http://h/a/y/z.html", start));
  EXPECT_FALSE(InExtraDirs(task, "http://h/ab/x.html", start));
  EXPECT_FALSE(InExtraDirs(task, "http://h/x.html", start));
  // The host is left to the scanner's host test.
  EXPECT_TRUE(InExtraDirs(task, "http://other/a/x.html", start));
}

TEST_F(ScopeTaskTest, AddsTypedDirectoriesOutsideTheStartDirectoryOnly) {
  const std::string start = task.StartUrl();
  EXPECT_FALSE(AddExtraDir(task, "", start, true));
  EXPECT_FALSE(AddExtraDir(task, "a\\b\\c\\", start, true));  // inside the start directory
  EXPECT_FALSE(AddExtraDir(task, "a\\b\\", start, true));
  EXPECT_TRUE(AddExtraDir(task, "a\\", start, true));
  EXPECT_FALSE(AddExtraDir(task, "a\\", start, false));  // listed already
  EXPECT_TRUE(AddExtraDir(task, "z\\", start, false));
  EXPECT_EQ(Dirs(), (std::vector<std::string>{"a\\", "z\\"}));
  EXPECT_EQ(task.ExtraDirs[0].Selected, 1);
  EXPECT_EQ(task.ExtraDirs[1].Selected, 0);
  // A start page at the site root: every directory lies inside it.
  EXPECT_FALSE(AddExtraDir(task, "q\\", "http://h/index.html", true));
}

TEST_F(ScopeTaskTest, TheStartPageOfDirectoryScopeAsksForOutsideDirectories) {
  const std::vector<std::string> links = {"http://h/a/b/c/d.html", "http://h/a/x.html",
                                          "http://h/top.html"};
  EXPECT_FALSE(CollectStartPageDirs(task, 3, links));  // not the start page
  EXPECT_TRUE(task.ExtraDirs.empty());
  SetScope(task, ScopeHost);
  EXPECT_FALSE(CollectStartPageDirs(task, 0, links));
  EXPECT_TRUE(task.ExtraDirs.empty());
  SetScope(task, ScopeDirectory);
  EXPECT_FALSE(CollectStartPageDirs(task, 0, {"http://h/a/b/c/d.html", "http://h/top.html"}));
  EXPECT_TRUE(CollectStartPageDirs(task, 0, links));
  EXPECT_EQ(Dirs(), (std::vector<std::string>{"a\\"}));
}

TEST_F(ScopeTaskTest, DirectoryRuleOfFollowedLinks) {
  EXPECT_TRUE(AnchorDirAllows(task, "http://h/a/b/c/d.html"));
  EXPECT_FALSE(AnchorDirAllows(task, "http://h/a/x.html"));
  // Collected but not selected: the list is no longer empty, so only InExtraDirs counts.
  CollectExtraDir(task, "http://h/a/x.html", task.StartUrl());
  EXPECT_FALSE(AnchorDirAllows(task, "http://h/a/x.html"));
  EXPECT_TRUE(AnchorDirAllows(task, "http://h/a/b/c/d.html"));
  task.ExtraDirs[0].Selected = 1;
  EXPECT_TRUE(AnchorDirAllows(task, "http://h/a/x.html"));
  // Other scopes have no directory rule.
  SetScope(task, ScopeHost);
  EXPECT_TRUE(AnchorDirAllows(task, "http://h/elsewhere/x.html"));
  SetScope(task, ScopeSite);
  EXPECT_TRUE(AnchorDirAllows(task, "http://img.h/x.html"));
}

class HostTestTest : public ::testing::Test {
 protected:
  void SetUp() override { task.SetStartUrl("http://w1.site.test/index.html"); }
  bool Allowed(TTagKind kind, const char* url) const { return LinkHostAllowed(task, kind, url); }
  TTask task;
};

constexpr TTagKind kEmbeddedKinds[] = {TTagKind::ImgSrc,   TTagKind::ImgLowsrc,  TTagKind::ImageSrc,
                                       TTagKind::InputSrc, TTagKind::Background, TTagKind::EmbedSrc,
                                       TTagKind::ScriptSrc};

TEST_F(HostTestTest, EmbeddedFilesComeFromTheSiteUnlessForeignImages) {
  for (TTagKind kind : kEmbeddedKinds) {
    SetForeignImages(task, false);
    EXPECT_TRUE(Allowed(kind, "http://img.site.test/x.gif"));
    EXPECT_FALSE(Allowed(kind, "http://cdn.other.test/x.gif"));
    SetForeignImages(task, true);
    EXPECT_TRUE(Allowed(kind, "http://cdn.other.test/x.gif"));
  }
}

TEST_F(HostTestTest, StyleLinksAndFramesStayOnTheSite) {
  SetForeignImages(task, true);  // does not reach these tags
  for (TTagKind kind : {TTagKind::LinkHref, TTagKind::FrameSrc}) {
    EXPECT_TRUE(Allowed(kind, "http://img.site.test/s.css"));
    EXPECT_FALSE(Allowed(kind, "http://other.test/s.css"));
  }
}

TEST_F(HostTestTest, InlineFramesAndRefreshTargetsStayOnTheHost) {
  for (TTagKind kind : {TTagKind::IFrameSrc, TTagKind::MetaRefresh}) {
    EXPECT_TRUE(Allowed(kind, "http://w1.site.test/f.html"));
    EXPECT_TRUE(Allowed(kind, "http://w1.site.test:81/f.html"));
    EXPECT_TRUE(Allowed(kind, "https://w1.site.test/f.html"));
    EXPECT_FALSE(Allowed(kind, "http://img.site.test/f.html"));
    EXPECT_FALSE(Allowed(kind, "https://img.site.test/f.html"));
  }
}

TEST_F(HostTestTest, AnchorsAndAreasFollowTheScope) {
  SetForeignImages(task, true);  // an anchor to another host still follows the scope
  for (TTagKind kind : {TTagKind::AnchorHref, TTagKind::AreaHref}) {
    SetScope(task, ScopeSite);
    EXPECT_TRUE(Allowed(kind, "http://img.site.test/x.html"));
    EXPECT_FALSE(Allowed(kind, "http://other.test/x.html"));
    for (std::int32_t scope : {ScopeHost, ScopeDirectory}) {
      SetScope(task, scope);
      EXPECT_EQ(HostRuleOf(task, kind).HostOnly, scope);
      EXPECT_FALSE(Allowed(kind, "http://img.site.test/x.html"));
      EXPECT_TRUE(Allowed(kind, "http://w1.site.test/any/dir/x.html"));
      EXPECT_TRUE(Allowed(kind, "https://w1.site.test/any/dir/x.html"));
      EXPECT_FALSE(Allowed(kind, "https://img.site.test/x.html"));
    }
  }
}

TEST(HostAllowed, MatchesTheScannerParameters) {
  const char* start = "http://w1.site.test/";
  EXPECT_TRUE(HostAllowed(true, 1, "http://far.away/", start));
  EXPECT_TRUE(HostAllowed(false, 0, "http://img.site.test/", start));
  EXPECT_FALSE(HostAllowed(false, 1, "http://img.site.test/", start));
  EXPECT_FALSE(HostAllowed(false, 0, "http://far.away/", start));
}

TEST(RecordingRules, DepthLimitsWhichPagesHaveTheirAnchorsFollowed) {
  TTask task;
  SetDepth(task, 0);  // only the start page and what it embeds
  EXPECT_FALSE(AnchorDepthAllows(task, 0));
  SetDepth(task, 2);
  EXPECT_TRUE(AnchorDepthAllows(task, 0));
  EXPECT_TRUE(AnchorDepthAllows(task, 1));
  EXPECT_FALSE(AnchorDepthAllows(task, 2));
  SetDepth(task, -1);
  EXPECT_TRUE(AnchorDepthAllows(task, 0));
  EXPECT_TRUE(AnchorDepthAllows(task, 100000));
}

TEST(RecordingRules, ContentDecidesWhichKindsAreRecorded) {
  TTask task;
  const TExtendUrlRec page = EmptyUrlRec();
  auto anchorKind = [&](const char* url) {
    return LinkRecord(TLinkGroup::Followed, url, page, 0).ContentKind;
  };
  SetContent(task, ContentPagesOnly);
  EXPECT_FALSE(EmbeddedAllowed(task));
  EXPECT_TRUE(ContentAllows(task, anchorKind("http://h/a.html")));
  EXPECT_FALSE(ContentAllows(task, anchorKind("http://h/pic.jpg")));
  EXPECT_FALSE(ContentAllows(task, anchorKind("http://h/doc.pdf")));

  SetContent(task, ContentPagesAndImages);
  EXPECT_TRUE(EmbeddedAllowed(task));
  EXPECT_TRUE(ContentAllows(task, anchorKind("http://h/pic.jpg")));
  EXPECT_TRUE(ContentAllows(task, anchorKind("http://h/doc.pdf")));
  EXPECT_FALSE(ContentAllows(task, anchorKind("http://h/setup.exe")));
  EXPECT_FALSE(ContentAllows(task, anchorKind("http://h/a.zip")));
  EXPECT_FALSE(ContentAllows(task, anchorKind("http://h/readme")));

  SetContent(task, ContentEverything);
  EXPECT_TRUE(EmbeddedAllowed(task));
  for (const char* url : {"http://h/a.html", "http://h/pic.jpg", "http://h/doc.pdf",
                          "http://h/setup.exe", "http://h/a.zip", "http://h/readme"})
    EXPECT_TRUE(ContentAllows(task, anchorKind(url))) << url;
  EXPECT_FALSE(ContentAllows(task, KindScript));  // never the kind of a followed link
}

TEST(RecordingRules, EachGroupRecordsItsLayerReferrerBaseAndKind) {
  TExtendUrlRec page = EmptyUrlRec();
  page.Layer = 2;
  page.ReferId = 4;
  page.OwnBase = 1;
  page.Status = Downloaded;
  page.Size = 999;
  const std::int32_t p = 7;

  struct Expected {
    TLinkGroup Group;
    std::int32_t Layer, ReferId;
    std::uint8_t OwnBase;
    std::int32_t Kind;
  };
  for (const Expected& e : {Expected{TLinkGroup::Embedded, 2, p, 1, KindImage},
                            Expected{TLinkGroup::Script, 2, p, 0, KindScript},
                            Expected{TLinkGroup::PagePart, 2, p, 1, KindPage},
                            Expected{TLinkGroup::Followed, 3, p, 1, KindDocument}}) {
    const TExtendUrlRec r = LinkRecord(e.Group, "http://h/d/file.pdf", page, p);
    EXPECT_EQ(r.Url.Get(), "http://h/d/file.pdf");
    EXPECT_EQ(+r.Status, NotDownloaded);
    EXPECT_EQ(+r.Layer, e.Layer);
    EXPECT_EQ(+r.ReferId, e.ReferId);
    EXPECT_EQ(+r.OwnBase, e.OwnBase);
    EXPECT_EQ(+r.ContentKind, e.Kind);
    EXPECT_EQ(+r.Size, 0);
    EXPECT_EQ(+r.FileTime, 0);
    EXPECT_EQ(+r.RedirectId, 0);
    EXPECT_EQ(+r.Kind, 0);
  }
  // A script found in a script (which resolves against its referrer) refers to that referrer.
  page.OwnBase = 0;
  EXPECT_EQ(+LinkRecord(TLinkGroup::Script, "http://h/b.js", page, p).ReferId, 4);
  EXPECT_EQ(+LinkRecord(TLinkGroup::Embedded, "http://h/b.gif", page, p).ReferId, p);
}

TEST(RecordingRules, FollowedLinksAreClassifiedByTheirLocalFileName) {
  const TExtendUrlRec page = EmptyUrlRec();
  auto kind = [&](const std::string& url) {
    return LinkRecord(TLinkGroup::Followed, url, page, 0).ContentKind;
  };
  EXPECT_EQ(kind("http://h/list.php?id=3"), KindPage);  // list.php\id=3.html
  EXPECT_EQ(kind("http://h/d/"), KindPage);             // index.html
  EXPECT_EQ(kind("http://h"), KindPage);
  EXPECT_EQ(kind("http://h/get?f=a.zip"), KindPage);  // a query makes a page
  EXPECT_EQ(kind("http://h/file"), KindOther);
  EXPECT_EQ(kind("http://h/t.gif."), KindImage);
  // The stored URL is cut to 127 bytes; the kind comes from the whole link.
  const std::string longUrl = "http://h/" + std::string(150, 'x') + ".zip";
  const TExtendUrlRec r = LinkRecord(TLinkGroup::Followed, longUrl, page, 0);
  EXPECT_EQ(r.Url.Get(), longUrl.substr(0, 127));
  EXPECT_EQ(+r.ContentKind, KindArchive);
}

}  // namespace
}  // namespace qm
