// Evaluation of attribute expressions: variables, enclosing functions, the function table.
#include <gtest/gtest.h>

#include "JsTestSupport.h"
#include "analysis/JsClass.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

using test::JsPage;
using test::RunExpr;

std::string LocalOf(std::string_view link) {
  std::string absolute;
  EXPECT_TRUE(MakeAbsoluteUrl(link, test::kPageUrl, absolute)) << link;
  return RelativeLocalPath(absolute, test::kPageUrl);
}

TFunctionRecord WithExpr(std::string expr) {
  TFunctionRecord r;
  r.Expr = std::move(expr);
  return r;
}

TEST(JsFindVar, FirstMatchWithoutRegardToCase) {
  TJsClass js;
  js.CollectGlobalVars("var Url='a'; var x=1; var URL='b';");
  EXPECT_EQ(js.FindVar("url"), 0);
  EXPECT_EQ(js.FindVar("X"), 1);
  EXPECT_EQ(js.FindVar("y"), -1);
}

TEST(JsEvalExpr, TemplateOfAGlobalVariableGivesItsValue) {
  JsPage page("<script>var u='doc/a.html';</script><a href=\"{$u}\">");
  TFunctionRecord r = WithExpr("{$u}");
  EXPECT_FALSE(page.Js.EvalExpr(r));
  EXPECT_EQ(r.Output, "doc/a.html");
  ASSERT_EQ(r.Parts.size(), 1u);
  EXPECT_EQ(r.Parts[0].PartKind, Literal);
  EXPECT_EQ(r.Parts[0].RefIndex, 0);  // the first variable of the page, remembered
}

TEST(JsEvalExpr, ConcatenationOfVariablesAndLiterals) {
  JsPage page("<script>var dir='docs/'; var q=\"x\";</script>");
  TFunctionRecord r = WithExpr("dir+'p.html'");
  EXPECT_FALSE(page.Js.EvalExpr(r));
  EXPECT_EQ(r.Output, "docs/p.html");
  r = WithExpr("dir+q");  // a double-quoted value keeps its quotes
  EXPECT_FALSE(page.Js.EvalExpr(r));
  EXPECT_EQ(r.Output, "docs/\"x\"");
}

TEST(JsEvalExpr, ExpressionOfAFunctionParameter) {
  JsPage page("<script>function show(id){ window.open('view.asp?id='+id); }</script>");
  TFunctionRecord r = WithExpr("'view.asp?id='+id");
  r.FuncName = "stale";
  ASSERT_TRUE(page.Js.EvalExpr(r));
  EXPECT_EQ(r.FuncName, "show");
  EXPECT_EQ(r.Params, (TParas{"id"}));
  ASSERT_EQ(r.Parts.size(), 2u);
  EXPECT_EQ(r.Parts[1].PartKind, ParamRef);
  EXPECT_EQ(r.Parts[1].RefIndex, 0);
  // The saved page opens the local copy of view.asp?id=7 for show(7).
  EXPECT_EQ(r.Output, "'view.asp/id='+id+\".html\"");
  EXPECT_EQ(RunExpr(r.Output, {{"id", "7"}}), LocalOf("view.asp?id=7"));
}

TEST(JsEvalExpr, ExpressionInsideMarkupWrittenFromAScriptString) {
  // document.write('<a href="view.asp?id='+id+'">'): the value ends inside the script string.
  JsPage page(
      "<script>function row(id){ document.write('<a href=\"view.asp?id='+id+'\">'); }"
      "</script>");
  TFunctionRecord r = WithExpr("view.asp?id='+id+'");
  ASSERT_TRUE(page.Js.EvalExpr(r));
  EXPECT_EQ(r.Output, "view.asp/id='+id+'.html");
  const std::string script = "'<a href=\"" + r.Output + "\">'";
  EXPECT_EQ(RunExpr(script, {{"id", "7"}}), "<a href=\"" + LocalOf("view.asp?id=7") + "\">");
}

TEST(JsEvalExpr, TemplatesGetTheExtensionOfDynamicPages) {
  JsPage page("<script>function show(id){ }</script>");
  struct Case {
    std::string expr, url;
  };
  for (const Case& c :
       {Case{"view.asp?id={$id}", "view.asp?id=7"}, Case{"pages/{$id}.htm", "pages/7.htm"},
        Case{"item{$id}.php", "item7.php"}}) {
    TFunctionRecord r = WithExpr(c.expr);
    ASSERT_TRUE(page.Js.EvalExpr(r)) << c.expr;
    EXPECT_EQ(RunExpr(r.Output, {{"id", "7"}}, true), LocalOf(c.url)) << r.Output;
  }
}

TEST(JsEvalExpr, NothingFound) {
  JsPage page("<script>function show(id){ }</script>");
  TFunctionRecord r = WithExpr("plain.html");
  EXPECT_FALSE(page.Js.EvalExpr(r));
  EXPECT_TRUE(r.Output.empty());
  EXPECT_TRUE(r.Parts.empty());

  r = WithExpr("'a.asp?x='+unknown");  // neither a variable nor a parameter
  EXPECT_FALSE(page.Js.EvalExpr(r));
  EXPECT_TRUE(r.Output.empty());

  r = WithExpr("'+'");  // only quote pieces: no parts
  EXPECT_FALSE(page.Js.EvalExpr(r));
}

TEST(JsEvalExpr, FirstLiteralOnAnotherHostStillNamesTheFunction) {
  JsPage page("<script>function show(id){ }</script>");
  TFunctionRecord r = WithExpr("'http://other/v.asp?id='+id");
  EXPECT_TRUE(page.Js.EvalExpr(r));
  EXPECT_EQ(r.FuncName, "show");
  EXPECT_EQ(r.Output, "");  // no rewrite, and no suffix on its own
}

TEST(JsFindEnclosingFunction, ParametersMustNameEveryIdentifier) {
  TJsClass js;
  TFunctionRecord r;
  r.Parts = {{"a.asp?x=", Literal, -1, 2}, {"X", Ident, -1, 12}, {"y", Ident, -1, 14}};
  const std::string script =
      "function none(){ } function foo (x, y){ } function one(x){ } function two(y, x){ }";
  ASSERT_TRUE(js.FindEnclosingFunction(script, r));
  EXPECT_EQ(r.FuncName, "two");
  EXPECT_EQ(r.Parts[1].PartKind, ParamRef);
  EXPECT_EQ(r.Parts[1].RefIndex, 1);
  EXPECT_EQ(r.Parts[2].RefIndex, 0);

  r.Parts[2].Text = "z";
  EXPECT_FALSE(js.FindEnclosingFunction(script, r));
  EXPECT_FALSE(js.FindEnclosingFunction("function f(x{", r));
}

TEST(JsFindEnclosingFunction, LongPagesAndChangedPages) {
  // Past the first functions of a page the evaluator keeps a list of the page's headers; it must
  // give what reading the text gives, and follow the text when it changes.
  std::string text = "<script type=t>";
  for (int i = 0; i < 80; ++i) {
    const std::string n = std::to_string(i);
    text += "function f" + n + "(p" + n + ", q){ window.open('a.asp?x='+p" + n + "); }\n";
  }
  text += "</script>";
  JsPage page(text);
  for (int i : {0, 31, 32, 33, 79}) {
    TFunctionRecord r = WithExpr("'a.asp?x='+P" + std::to_string(i));
    ASSERT_TRUE(page.Js.EvalExpr(r)) << i;
    EXPECT_EQ(r.FuncName, "f" + std::to_string(i));
    EXPECT_EQ(r.Params, (TParas{"p" + std::to_string(i), "q"}));
  }
  TFunctionRecord missing = WithExpr("'a.asp?x='+p80");
  EXPECT_FALSE(page.Js.EvalExpr(missing));

  page.Text.replace(page.Text.find("f50(p50"), 7, "g50(p80");  // same length, other header
  TFunctionRecord moved = WithExpr("'a.asp?x='+p80");
  ASSERT_TRUE(page.Js.EvalExpr(moved));
  EXPECT_EQ(moved.FuncName, "g50");
  TFunctionRecord gone = WithExpr("'a.asp?x='+p50");
  EXPECT_FALSE(page.Js.EvalExpr(gone));
}

TEST(JsAddFunction, SameExpressionIsRecordedOnce) {
  TJsClass js;
  TFunctionRecord r = WithExpr("'a'+b");
  js.AddFunction(r, true);
  js.AddFunction(r, false);
  ASSERT_EQ(js.Functions.size(), 1u);
  EXPECT_EQ(js.Functions[0].Done, 1);
  TFunctionRecord target;
  target.FuncName = "window.open";
  js.AddFunction(target, false);
  js.AddFunction(target, false);
  EXPECT_EQ(js.Functions.size(), 3u);
}

TEST(JsReset, EmptiesTheTablesButKeepsThePage) {
  JsPage page("<script>var u='a.html'; function f(x){ }</script>");
  TFunctionRecord r = WithExpr("'a'+x");
  page.Js.EvalExpr(r);
  page.Js.AddFunction(r, false);
  ASSERT_FALSE(page.Js.Vars.empty());
  page.Js.Reset();
  EXPECT_TRUE(page.Js.Functions.empty());
  EXPECT_TRUE(page.Js.Vars.empty());
  EXPECT_EQ(page.Js.PageUrl, test::kPageUrl);
  EXPECT_EQ(page.Js.PageText, &page.Text);
}

}  // namespace
}  // namespace qm
