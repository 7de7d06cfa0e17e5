// Call sites: functions passing URLs to the navigation targets, their calls in the page, the URLs
// listed and the rewritten page.
#include <gtest/gtest.h>

#include <filesystem>

#include <stdexcept>

#include "JsTestSupport.h"
#include "analysis/JsClass.h"
#include "support/TempDir.h"
#include "task/Task.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

using test::JsPage;
using test::RunExpr;
using Urls = std::vector<std::string>;

std::string LocalOf(std::string_view link) {
  std::string absolute;
  EXPECT_TRUE(MakeAbsoluteUrl(link, test::kPageUrl, absolute)) << link;
  return RelativeLocalPath(absolute, test::kPageUrl);
}

// The analysis order of one ordinary page: both targets in the page's scripts, then the calls.
Urls RunPage(JsPage& page) {
  page.Js.ScanPageScripts("window.open");
  page.Js.ScanPageScripts("document.location");
  Urls urls;
  page.Js.ApplyFunctions(urls);
  return urls;
}

std::vector<std::string> FunctionNames(const TJsClass& js) {
  std::vector<std::string> out;
  for (const TFunctionRecord& f : js.Functions) out.push_back(f.FuncName);
  return out;
}

TEST(JsScanCalls, WorkedExampleEndToEnd) {
  JsPage page(
      "<html><body>\r\n"
      "<script language=\"javascript\">function show(id){ window.open('view.asp?id='+id); }"
      "</script>\r\n"
      "<a href=\"javascript:show(7)\">seven</a>\r\n"
      "<a href=\"javascript:show(9)\">nine</a>\r\n"
      "</body></html>");
  EXPECT_EQ(page.Js.ScanPageScripts("window.open"), "show");
  EXPECT_EQ(page.Js.ScanPageScripts("document.location"), "");
  ASSERT_EQ(FunctionNames(page.Js), (std::vector<std::string>{"window.open", "show"}));
  EXPECT_EQ(page.Js.Functions[1].Expr, "'view.asp?id='+id");
  EXPECT_EQ(page.Js.Functions[1].Done, 1);

  Urls urls;
  page.Js.ApplyFunctions(urls);
  EXPECT_EQ(urls, (Urls{"http://h/a/view.asp?id=7", "http://h/a/view.asp?id=9"}));
  EXPECT_EQ(page.Text,
            "<html><body>\r\n"
            "<script language=\"javascript\">function show(id){ "
            "window.open('view.asp/id='+id+\".html\"); }</script>\r\n"
            "<a href=\"javascript:show(7)\">seven</a>\r\n"
            "<a href=\"javascript:show(9)\">nine</a>\r\n"
            "</body></html>");
  // What the saved page opens for show(7) is where view.asp?id=7 is saved.
  const std::string opened = RunExpr("'view.asp/id='+id+\".html\"", {{"id", "7"}});
  EXPECT_EQ(opened, "view.asp/id=7.html");
  EXPECT_EQ(opened, LocalOf("view.asp?id=7"));
}

TEST(JsScanCalls, PageWithoutTargetsStaysAsItIs) {
  const std::string text =
      "<script language=x>var a='b.html'; function f(x){ go(x); }</script><a href=x.html>";
  JsPage page(text);
  EXPECT_TRUE(RunPage(page).empty());
  EXPECT_TRUE(page.Js.Functions.empty());
  EXPECT_EQ(page.Text, text);
}

TEST(JsScanPageScripts, ScriptTagWithoutAttributesIsNotExamined) {
  const std::string text =
      "<script>function go(u){ window.open('p.asp?id='+u); }</script><a href=\"javascript:go(1)\">";
  JsPage bare(text);
  EXPECT_EQ(bare.Js.ScanPageScripts("window.open"), "window.open");
  EXPECT_EQ(FunctionNames(bare.Js), (std::vector<std::string>{"window.open"}));
  EXPECT_EQ(bare.Text, text);

  JsPage withAttribute(
      "<SCRIPT language=\"x\">function go(u){ window.open('p.asp?id='+u); }"
      "</SCRIPT><a href=\"javascript:go(1)\">");
  EXPECT_EQ(withAttribute.Js.ScanPageScripts("window.open"), "go");
  Urls urls;
  withAttribute.Js.ApplyFunctions(urls);
  EXPECT_EQ(urls, (Urls{"http://h/a/p.asp?id=1"}));
  EXPECT_NE(withAttribute.Text.find("window.open('p.asp/id='+u+\".html\")"), std::string::npos);
}

TEST(JsScanPageScripts, OnlyTheFirstBlockPassingTheTargetOnIsRewritten) {
  JsPage page(
      "<script type=a>window.open('plain.html');</script>"
      "<script type=b>function one(id){ window.open('one.asp?id='+id); }</script>"
      "<script type=c>function two(id){ window.open('two.asp?id='+id); }</script>"
      "<a href=\"javascript:one(1)\"><a href=\"javascript:two(2)\">");
  EXPECT_EQ(page.Js.ScanPageScripts("window.open"), "one");
  EXPECT_EQ(FunctionNames(page.Js), (std::vector<std::string>{"window.open", "one"}));
  EXPECT_NE(page.Text.find("'one.asp/id='+id+\".html\""), std::string::npos);
  EXPECT_NE(page.Text.find("window.open('two.asp?id='+id)"), std::string::npos);
}

TEST(JsScanScript, RecordsFunctionsAndRewritesTheirExpressions) {
  TJsClass js;
  js.PageUrl = test::kPageUrl;
  std::string found;
  EXPECT_EQ(js.ScanScript("var x=1;", "window.open", found), "var x=1;");
  EXPECT_EQ(found, "");
  EXPECT_EQ(js.ScanScript("window.open('a.html');", "window.open", found),
            "window.open('a.html');");
  EXPECT_EQ(found, "window.open");

  // An assignment target; the header with a blank before "(" is no function.
  const std::string script =
      "function foo (id){ document.location='x.asp?id='+id; }\n"
      "function go(id){ document.location='p.asp?id='+id; }";
  EXPECT_EQ(js.ScanScript(script, "document.location", found),
            "function foo (id){ document.location='x.asp?id='+id; }\n"
            "function go(id){ document.location='p.asp/id='+id+\".html\"; }");
  EXPECT_EQ(found, "go");
  ASSERT_EQ(js.Functions.size(), 1u);
  EXPECT_EQ(js.Functions[0].Params, (TParas{"id"}));
  EXPECT_EQ(js.Functions[0].Output, "'p.asp/id='+id+\".html\"");
}

TEST(JsScanScript, UrlFromAVariableOfTheBody) {
  JsPage page(
      "<script type=t>function show(id){ var u='view.asp?id='+id; window.open(u); }</script>"
      "<a href=\"javascript:show(3)\">");
  EXPECT_EQ(page.Js.ScanPageScripts("window.open"), "show");
  EXPECT_NE(page.Text.find("var u='view.asp/id='+id+\".html\";"), std::string::npos);
  Urls urls;
  page.Js.ApplyFunctions(urls);
  EXPECT_EQ(urls, (Urls{"http://h/a/view.asp?id=3"}));

  JsPage unknown("<script type=t>function f(id){ window.open(zz); }</script>");
  std::string found;
  unknown.Js.ScanScript(unknown.Text, "window.open", found);
  EXPECT_EQ(found, "");
}

TEST(JsRewriteExpr, ParametersWinOverVariablesAndUnknownNamesGiveNothing) {
  JsPage page("<script>var id='5'; var base='x/';</script>");
  TParaRecordArray parts;
  std::string expr = "'v.asp?id='+id";
  EXPECT_EQ(page.Js.RewriteExpr(expr, parts, {"ID"}), "'v.asp/id='+id+\".html\"");
  EXPECT_EQ(parts[1].PartKind, ParamRef);
  EXPECT_EQ(parts[1].RefIndex, 0);
  expr = "base+n";
  EXPECT_EQ(page.Js.RewriteExpr(expr, parts, {"n"}), "base+n");
  EXPECT_EQ(parts[0].PartKind, VarRef);
  expr = "base+zz";
  EXPECT_EQ(page.Js.RewriteExpr(expr, parts, {"n"}), "");
}

TEST(JsProcessDirectCalls, LiteralUrlsAreListedAndRewritten) {
  JsPage page(
      "<a onclick=\"window.open('doc/x.html#top','w')\">"
      "<a onclick=\"window.open('sub/p.asp?id=1')\">"
      "<a onclick=\"window.open('http://other/y.html')\">"
      "<a onclick=\"window.open('a'+b)\">"
      "<a onclick=\"window.open('doc/x.html')\">");
  TFunctionRecord target;
  target.FuncName = "window.open";
  Urls urls{"http://h/a/sub/p.asp?id=1"};  // already listed by the page analysis
  ASSERT_TRUE(page.Js.ProcessDirectCalls(target, urls));
  EXPECT_EQ(urls, (Urls{"http://h/a/sub/p.asp?id=1", "http://h/a/doc/x.html"}));
  EXPECT_EQ(page.Text,
            "<a onclick=\"window.open('doc/x.html#top','w')\">"
            "<a onclick=\"window.open('sub/p.asp/id=1.html')\">"
            "<a onclick=\"window.open('http://other/y.html')\">"
            "<a onclick=\"window.open('a'+b)\">"
            "<a onclick=\"window.open('doc/x.html')\">");

  TFunctionRecord absent;
  absent.FuncName = "nowhere";
  EXPECT_FALSE(page.Js.ProcessDirectCalls(absent, urls));
}

TEST(JsProcessDirectCalls, OnlyExactOccurrencesFollowedByATagEndAreRewritten) {
  // The call in another letter case is listed but copied as it stands; so is a call after which
  // the text has no ">".
  JsPage page("<a onclick=\"Window.Open('q.asp?x=1')\"> window.open('r.asp?y=2')");
  TFunctionRecord target;
  target.FuncName = "window.open";
  Urls urls;
  page.Js.ProcessDirectCalls(target, urls);
  EXPECT_EQ(urls, (Urls{"http://h/a/q.asp?x=1", "http://h/a/r.asp?y=2"}));
  EXPECT_EQ(page.Text, "<a onclick=\"Window.Open('q.asp?x=1')\"> window.open('r.asp?y=2')");
}

TEST(JsProcessDirectCalls, GlobalVariableArgumentRewritesTheDeclaration) {
  JsPage page(
      "<script>var u='b.asp?id=1'; var w = 'c.html';</script>"
      "<a onclick=\"window.open(u)\"><a onclick=\"window.open(w)\">");
  Urls urls = RunPage(page);
  EXPECT_EQ(urls, (Urls{"http://h/a/b.asp?id=1", "http://h/a/c.html"}));
  ASSERT_EQ(page.Js.Vars.size(), 2u);
  EXPECT_EQ(page.Js.Vars[0].NewValue, "'b.asp/id=1.html'");
  EXPECT_EQ(page.Js.Vars[0].WrittenBack, 1);
  EXPECT_EQ(page.Js.Vars[1].Changed, 1);
  // Only the declaration without blanks around "=" is found; the calls stay as they are.
  EXPECT_EQ(page.Text,
            "<script>var u='b.asp/id=1.html'; var w = 'c.html';</script>"
            "<a onclick=\"window.open(u)\"><a onclick=\"window.open(w)\">");
}

TEST(JsPassThrough, FunctionPassingItsParameterOnIsVisitedLikeTheTarget) {
  JsPage page(
      "<script type=t>function go(u){ window.open(u); }</script>"
      "<a href=\"javascript:go('sub/page.asp?id=3')\">x</a>");
  EXPECT_EQ(RunPage(page), (Urls{"http://h/a/sub/page.asp?id=3"}));
  EXPECT_EQ(page.Text,
            "<script type=t>function go(u){ window.open(u); }</script>"
            "<a href=\"javascript:go('sub/page.asp/id=3.html')\">x</a>");
}

TEST(JsProcessFunctionCalls, DefinitionsShortCallsAndDuplicates) {
  JsPage page(
      "<script type=t>function show(id, kind){ window.open('v.asp?id='+id+'&k='+kind); }"
      "</script><a href=\"javascript:show(1)\"><a href=\"javascript:show(2,'x')\">"
      "<a href=\"javascript:show(2, 'x')\"><a href=\"javascript:show('3#f','y')\">");
  EXPECT_EQ(RunPage(page), (Urls{"http://h/a/v.asp?id=2&k=x", "http://h/a/v.asp?id=3"}));
}

TEST(JsProcessFunctionCalls, ExpressionArgumentFollowsTheCallingFunction) {
  JsPage page(
      "<script type=t>function f1(a){ window.open('x.asp?id='+a); }\n"
      "function f2(b){ f1('p'+b+'q'); }\n"
      "function f3(c){ f2('p'+c+'q'); }</script>"
      "<a href=\"javascript:f3(5)\">");
  EXPECT_EQ(RunPage(page), (Urls{"http://h/a/x.asp?id=5"}));
}

TEST(JsProcessFunctionCalls, FailedEvaluationKeepsTheRecordForLaterCalls) {
  JsPage page(
      "<script type=t>function show(id){ window.open('v.asp?id='+id); }</script>"
      "<a href=\"javascript:show(x+1)\"><a href=\"javascript:show(3)\">");
  EXPECT_EQ(RunPage(page), (Urls{"http://h/a/v.asp?id=3"}));
  EXPECT_EQ(page.Js.Functions[1].FuncName, "show");
}

TEST(JsApplyFunctions, RecursionEnds) {
  JsPage page(
      "<script type=t>function f(n){ f('a'+n+'b'); window.open('x.asp?id='+n); }</script>"
      "<a href=\"javascript:f(3)\">");
  EXPECT_EQ(RunPage(page), (Urls{"http://h/a/x.asp?id=3"}));

  JsPage cycle(
      "<script type=t>function a(n){ window.open('x.asp?id='+n); b('1'+n+'2'); }\n"
      "function b(n){ a('1'+n+'2'); }</script><a href=\"javascript:b(4)\">");
  EXPECT_EQ(RunPage(cycle), (Urls{"http://h/a/x.asp?id=4"}));

  // An argument naming the parameter twice would double the expression at every step.
  JsPage doubling(
      "<script type=t>function f(n){ f('a'+n+''+n+'b'); window.open('x.asp?id='+n); }</script>"
      "<a href=\"javascript:f(2)\">");
  EXPECT_EQ(RunPage(doubling), (Urls{"http://h/a/x.asp?id=2"}));
}

TEST(JsTaskTable, KnownUrlsAreRewrittenButNotListedAndRedirectsFollowed) {
  TTask task;
  for (const char* url :
       {"http://h/a/known.asp?id=1", "http://h/a/old.html", "http://h/a/v.asp?id=7"}) {
    TExtendUrlRec rec = EmptyUrlRec();
    rec.Url.Set(url);
    rec.Kind = 1;
    rec.RedirectId = -1;
    ASSERT_GE(task.AddUrl(rec), 0);
  }
  ASSERT_GE(task.RedirectUrl("http://h/a/old.html", "http://h/b/new.html"), 0);

  std::string text =
      "<script type=t>function show(id){ window.open('v.asp?id='+id); }</script>"
      "<a onclick=\"window.open('known.asp?id=1')\"><a onclick=\"window.open('old.html')\">"
      "<a href=\"javascript:show(7)\"><a href=\"javascript:show(8)\">";
  TJsClass& js = *task.Script;
  js.Prepare(&task, test::kStartUrl, test::kPageUrl, text);
  js.ScanPageScripts("window.open");
  Urls urls;
  js.ApplyFunctions(urls);
  EXPECT_EQ(urls, (Urls{"http://h/a/v.asp?id=8"}));
  EXPECT_NE(text.find("window.open('known.asp/id=1.html')"), std::string::npos);
  EXPECT_NE(text.find("window.open('../b/new.html')"), std::string::npos);
}

TEST(JsScanScriptFile, FileIsReadNotRewritten) {
  test::TempDir dir;
  const std::string script = "function go(u){ window.open('p.asp?id='+u); }";
  test::WriteFileBytes(dir.Path() / "lib.js", script);
  JsPage page("<script src=\"lib.js\"></script><a href=\"javascript:go(5)\">");
  page.Js.ScanScriptFile(dir.TaskFolder() + "lib.js");
  EXPECT_EQ(test::ReadFileBytes(dir.Path() / "lib.js"), script);
  ASSERT_EQ(FunctionNames(page.Js), (std::vector<std::string>{"go"}));
  Urls urls;
  page.Js.ApplyFunctions(urls);
  EXPECT_EQ(urls, (Urls{"http://h/a/p.asp?id=5"}));

  EXPECT_THROW(page.Js.ScanScriptFile(dir.TaskFolder() + "missing.js"), std::runtime_error);
}

// A script still on its way is no error: nothing is read until it is there.
TEST(JsScanScriptFile, AMissingScriptIsReportedNotThrown) {
  test::TempDir dir;
  JsPage page("<script src=\"lib.js\"></script><a href=\"javascript:go(5)\">");
  EXPECT_FALSE(page.Js.ScanScriptFileIfPresent(dir.TaskFolder() + "lib.js"));
  std::filesystem::create_directory(dir.Path() / "dir.js");
  EXPECT_FALSE(page.Js.ScanScriptFileIfPresent(dir.TaskFolder() + "dir.js"));
  EXPECT_TRUE(FunctionNames(page.Js).empty());

  test::WriteFileBytes(dir.Path() / "lib.js", "function go(u){ window.open('p.asp?id='+u); }");
  EXPECT_TRUE(page.Js.ScanScriptFileIfPresent(dir.TaskFolder() + "lib.js"));
  ASSERT_EQ(FunctionNames(page.Js), (std::vector<std::string>{"go"}));
  Urls urls;
  page.Js.ApplyFunctions(urls);
  EXPECT_EQ(urls, (Urls{"http://h/a/p.asp?id=5"}));
}

TEST(JsScanScriptFile, AScriptWithoutTargetsIsReadAgainOnlyWhenItChanged) {
  test::TempDir dir;
  const auto lib = dir.Path() / "lib.js";
  test::WriteFileBytes(lib, "function pretty(x){ return x; }");
  JsPage page("<a href=\"javascript:go(5)\">");
  page.Js.ScanScriptFile(dir.TaskFolder() + "lib.js");
  EXPECT_TRUE(FunctionNames(page.Js).empty());
  // The same file again (another page of the site) adds nothing either.
  page.Js.ScanScriptFile(dir.TaskFolder() + "lib.js");
  EXPECT_TRUE(FunctionNames(page.Js).empty());
  // Rewritten with a target: its functions count from now on.
  test::WriteFileBytes(lib, "function go(u){ window.open('p.asp?id='+u); } // longer now");
  page.Js.ScanScriptFile(dir.TaskFolder() + "lib.js");
  ASSERT_EQ(FunctionNames(page.Js), (std::vector<std::string>{"go"}));
  // A file that went away is an error, whatever was known of it.
  std::filesystem::remove(lib);
  EXPECT_THROW(page.Js.ScanScriptFile(dir.TaskFolder() + "lib.js"), std::runtime_error);
}

TEST(JsWriteBackVars, ReplacesOnlyChangedDeclarationsOnce) {
  JsPage page("var a='x.asp?i=1'; var b='y'; var a='x.asp?i=1';");
  page.Js.WriteBackVars();
  EXPECT_EQ(page.Text, "var a='x.asp?i=1'; var b='y'; var a='x.asp?i=1';");
  page.Js.Vars[0].NewValue = "'x.asp/i=1.html'";
  page.Js.Vars[0].Changed = 1;
  page.Js.WriteBackVars();
  EXPECT_EQ(page.Text, "var a='x.asp/i=1.html'; var b='y'; var a='x.asp/i=1.html';");
  page.Js.Vars[0].NewValue = "'other'";
  page.Js.WriteBackVars();  // already written back
  EXPECT_EQ(page.Text, "var a='x.asp/i=1.html'; var b='y'; var a='x.asp/i=1.html';");
}

}  // namespace
}  // namespace qm
