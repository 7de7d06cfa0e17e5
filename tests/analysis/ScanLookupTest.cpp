// What the URL table and the script evaluator change in a tag scan: known and redirected URLs,
// a redirected page as base, and attribute values that are script expressions.
#include <string>

#include "ScanFixture.h"

namespace qm::testing {
namespace {

using ScanLookupTest = ScanFixture;

TEST_F(ScanLookupTest, KnownUrlIsRewrittenButNotCollected) {
  AddEntry("http://h/d/a.gif");
  EXPECT_EQ(RunImgSrc("<IMG src=\"http://h/d/a.gif\"><IMG src=\"b.gif\">"),
            "<img src=\"a.gif\"><img src=\"b.gif\">");
  EXPECT_EQ(links, Links({"http://h/d/b.gif"}));
}

TEST_F(ScanLookupTest, LinkToARedirectedUrlPointsToTheTargetsFile) {
  const std::int32_t old = AddEntry("http://h/d/old.html");
  ASSERT_GE(task.RedirectRecord(old, "http://h/e/new.html"), 0);
  EXPECT_EQ(Run(kAnchors, "<a href=\"old.html#s\">o</a><a href=\"http://h/d/old.html\">"),
            "<a href=\"../e/new.html\">o</a><a href=\"../e/new.html\">");
  EXPECT_TRUE(links.empty());
}

// Links that differ only in their fragment, and links redirected to one target, share one local
// path within a scan; a fragment is kept only for a link the table does not know.
TEST_F(ScanLookupTest, SharedLocalPathsKeepEachLinksOwnResult) {
  AddEntry("http://h/d/known.html");
  const std::int32_t old1 = AddEntry("http://h/d/old1.html");
  const std::int32_t old2 = AddEntry("http://h/d/old2.html");
  ASSERT_GE(task.RedirectRecord(old1, "http://h/e/new.html"), 0);
  ASSERT_EQ(task.RedirectRecord(old2, "http://h/e/new.html"), task.FindUrl("http://h/e/new.html"));
  const std::string page =
      "<a href='known.html#a'>1</a><a href='known.html'>2</a><a href='known.html#b'>3</a>"
      "<a href='new.html#x'>4</a><a href='new.html'>5</a><a href='new.html#y'>6</a>"
      "<a href='old1.html#z'>7</a><a href='old2.html'>8</a><a href='../e/new.html'>9</a>";
  EXPECT_EQ(Run(kAnchors, page),
            "<a href='known.html'>1</a><a href='known.html'>2</a><a href='known.html'>3</a>"
            "<a href='new.html#x'>4</a><a href='new.html'>5</a><a href='new.html#y'>6</a>"
            "<a href='../e/new.html'>7</a><a href='../e/new.html'>8</a>"
            "<a href='../e/new.html'>9</a>");
  EXPECT_EQ(links, Links({"http://h/d/new.html"}));
}

TEST_F(ScanLookupTest, ScriptScanDoesNotFollowRedirects) {
  const std::int32_t old = AddEntry("http://h/d/old.js");
  ASSERT_GE(task.RedirectRecord(old, "http://h/e/new.js"), 0);
  const std::string page = "<script src=\"old.js\"></script>";
  EXPECT_EQ(Run(ScanScripts, page), page);
  EXPECT_EQ(links, Links({"http://h/d/old.js"}));
}

TEST_F(ScanLookupTest, RedirectedPageResolvesAgainstItsFinalUrl) {
  const std::int32_t self = AddEntry("http://h/d/p.html");
  ASSERT_GE(task.RedirectRecord(self, "http://h/e/q.html"), 0);
  EXPECT_EQ(RunImgSrc("<img src=\"a.gif\"><IMG src=\"http://h/d/b.gif\">"),
            "<img src=\"a.gif\"><img src=\"../d/b.gif\">");
  EXPECT_EQ(links, Links({"http://h/e/a.gif", "http://h/d/b.gif"}));
}

TEST_F(ScanLookupTest, TemplateOfOneVariableIsReplacedAndTheVariableMarked) {
  const std::string page = "<script>var u='http://h/d/doc/a.html';</script><A href=\"{$u}\">a</A>";
  EXPECT_EQ(Run(kAnchors, page),
            "<script>var u='http://h/d/doc/a.html';</script><a href=\"doc/a.html\">a</A>");
  EXPECT_EQ(links, Links({"http://h/d/doc/a.html"}));
  ASSERT_EQ(task.Script->Vars.size(), 1u);
  EXPECT_EQ(task.Script->Vars[0].NewValue, "'doc/a.html'");
  EXPECT_EQ(task.Script->Vars[0].Changed, 1);
}

TEST_F(ScanLookupTest, ConcatenatedVariableIsNotMarked) {
  const std::string page = "<script>var u='http://h/d/'+'c.html';</script><A href=\"{$u}\">a</A>";
  Run(kAnchors, page);
  ASSERT_EQ(task.Script->Vars.size(), 1u);
  EXPECT_EQ(task.Script->Vars[0].Changed, 0);
  EXPECT_TRUE(task.Script->Vars[0].NewValue.empty());
}

TEST_F(ScanLookupTest, ExpressionOfSeveralPartsCollectsItsValueButKeepsTheTag) {
  const std::string page = "<script>var b='http://h/d/';</script><A href=\"{$b}x.html\">x</A>";
  EXPECT_EQ(Run(kAnchors, page),
            "<script>var b='http://h/d/';</script><a href=\"{$b}x.html\">x</A>");
  EXPECT_EQ(links, Links({"http://h/d/x.html"}));
  EXPECT_EQ(task.Script->Vars[0].Changed, 0);
}

TEST_F(ScanLookupTest, ExpressionOfAFunctionParameterIsRecordedAndRewritten) {
  const std::string script =
      "<script>function show(id){ window.open('view.asp?id='+id); }</script>";
  const std::string page = script + "<A href=\"'view.asp?id='+id\">v</A>";
  const std::string got = Run(kAnchors, page);
  EXPECT_TRUE(links.empty());
  ASSERT_EQ(task.Script->Functions.size(), 1u);
  const TFunctionRecord& show = task.Script->Functions[0];
  EXPECT_EQ(show.FuncName, "show");
  EXPECT_EQ(show.Done, 1);
  // The expression gives way to its rewritten form, which points into the local copy.
  EXPECT_EQ(show.Expr, "'view.asp?id='+id");
  EXPECT_NE(show.Output.find("'view.asp/id="), std::string::npos) << show.Output;
  // Between double quotes the ".html" suffix takes single quotes, so the markup stays whole;
  // between single quotes it stays as the function record has it.
  const std::string plain = show.Output.substr(0, show.Output.size() - 8);
  ASSERT_EQ(show.Output, plain + "+\".html\"");
  EXPECT_EQ(got, script + "<a href=\"" + plain + "+'.html'\">v</A>");
  const std::string singleQuoted =
      "<script>function look(id){ window.open(\"view.asp?id=\"+id); }</script>"
      "<A href='\"view.asp?id=\"+id'>v</A>";
  const std::string kept = Run(kAnchors, singleQuoted);
  EXPECT_NE(kept.find("<a href='\"view.asp/id=\"+id+\".html\"'>"), std::string::npos) << kept;
}

TEST_F(ScanLookupTest, ExpressionWithoutAValueLeavesTheTag) {
  const std::string page = "<A href=\"'a.html'+n\">a</A><A href=\"page{$n}.html\">b</A>";
  EXPECT_EQ(Run(kAnchors, page), page);
  EXPECT_TRUE(links.empty());
  EXPECT_TRUE(task.Script->Functions.empty());
}

TEST_F(ScanLookupTest, RecordedExpressionWithoutRewrittenFormKeepsTheTag) {
  // The first literal leads to another host: there is no local form, so the link stays.
  const std::string page =
      "<script>function show(id){ window.open(id); }</script>"
      "<A href=\"'http://other.test/v.asp?id='+id\">v</A>";
  EXPECT_EQ(Run(kAnchors, page), page);
  EXPECT_TRUE(links.empty());
  ASSERT_EQ(task.Script->Functions.size(), 1u);
  EXPECT_EQ(task.Script->Functions[0].FuncName, "show");
}

}  // namespace
}  // namespace qm::testing
