// Declarations and calls: variables, global variables, function headers, call arguments.
#include <gtest/gtest.h>

#include "JsTestSupport.h"
#include "analysis/JsClass.h"

namespace qm {
namespace {

std::vector<std::string> Names(const TVarList& vars) {
  std::vector<std::string> out;
  for (const TVarRecord& v : vars) out.push_back(v.VarName + "=" + v.VarValue);
  return out;
}

TEST(JsParseVarDecl, NameAndValue) {
  TVarRecord var;
  var.Changed = 1;
  var.WrittenBack = 1;
  var.NewValue = "old";
  ASSERT_TRUE(ParseVarDecl("x; var url = 'a.html'; more", var));
  EXPECT_EQ(var.VarName, "url");
  EXPECT_EQ(var.VarValue, "'a.html'");
  EXPECT_EQ(var.NewValue, "");
  EXPECT_EQ(var.Changed, 0);
  EXPECT_EQ(var.WrittenBack, 0);

  ASSERT_TRUE(ParseVarDecl("VAR u='a.html'\r\nnext", var));
  EXPECT_EQ(var.VarValue, "'a.html'");
  ASSERT_TRUE(ParseVarDecl("var u='a>b'", var));  // cut at ">" even inside quotes
  EXPECT_EQ(var.VarValue, "'a");
}

TEST(JsParseVarDecl, Failures) {
  TVarRecord var;
  EXPECT_FALSE(ParseVarDecl("var a, b = 1", var));  // cut at ","
  EXPECT_FALSE(ParseVarDecl("x = 1", var));
  EXPECT_FALSE(ParseVarDecl("var x=", var));
  EXPECT_FALSE(ParseVarDecl("var =1", var));
  EXPECT_FALSE(ParseVarDecl("var\tx=1", var));  // "var" must be followed by a blank
}

TEST(JsCollectVars, StopsAtTheFirstFailedDeclaration) {
  TVarList vars;
  CollectVars("var a, b = 1; var c = 'x';", vars);
  EXPECT_TRUE(vars.empty());
  CollectVars("var a='1'; var b = '2'; var A=3", vars);
  EXPECT_EQ(Names(vars), (std::vector<std::string>{"a='1'", "b='2'", "A=3"}));
}

TEST(JsCollectVars, SkipsOnlyTheLengthOfTheDeclarationWithoutBlanks) {
  // Blanks around "=" are not skipped, so a declaration inside the value is read as well.
  TVarList vars;
  CollectVars("var s      =      'var y=2'", vars);
  EXPECT_EQ(Names(vars), (std::vector<std::string>{"s='var y=2'", "y=2'"}));
}

TEST(JsCollectGlobalVars, SkipsFunctionBodiesWithNestedBraces) {
  test::JsPage page(
      "<script>var g='a.html'; function f(){ var l='x'; if(1){ var m=1; } } var h='b.html';"
      "</script>");
  EXPECT_EQ(Names(page.Js.Vars), (std::vector<std::string>{"g='a.html'", "h='b.html'"}));
}

TEST(JsCollectGlobalVars, UnrecognisedFunctionsAndUnbalancedBraces) {
  TJsClass js;
  js.CollectGlobalVars("x = function(){ var a=1; }");  // no blank after "function"
  EXPECT_EQ(Names(js.Vars), (std::vector<std::string>{"a=1"}));

  js.Reset();
  js.CollectGlobalVars("var a=1; function f(){ { { var b=2;");  // braces never close
  EXPECT_EQ(Names(js.Vars), (std::vector<std::string>{"a=1", "b=2"}));

  js.Reset();
  js.CollectGlobalVars("function f(){ } } var c=1;");
  EXPECT_EQ(Names(js.Vars), (std::vector<std::string>{"c=1"}));

  js.Reset();
  js.CollectGlobalVars("var a=1; function f var b=2;");  // no "{" at all
  EXPECT_EQ(Names(js.Vars), (std::vector<std::string>{"a=1", "b=2"}));

  js.Reset();
  js.CollectGlobalVars("function f(){ x=1; }");  // no "var " anywhere
  EXPECT_TRUE(js.Vars.empty());
}

TEST(JsInnerParens, Groups) {
  EXPECT_EQ(InnerParens("f(a, b)"), "a, b");
  EXPECT_EQ(InnerParens("f(a(b)c)"), "abc");
  EXPECT_EQ(InnerParens("f(ab"), "");
  EXPECT_EQ(InnerParens("f((ab"), "");
  EXPECT_EQ(InnerParens("f(x(ab"), "");
  EXPECT_EQ(InnerParens("f(a)b(c)"), "a");
  EXPECT_EQ(InnerParens("ab)c"), "ab");  // no "(": the text itself is the group
  EXPECT_EQ(InnerParens(""), "");
}

TEST(JsParseFunctionHeader, NameAndParameters) {
  TFunctionRecord r;
  ASSERT_TRUE(ParseFunctionHeader("show(id){ window.open(id); }", r));
  EXPECT_EQ(r.FuncName, "show");
  EXPECT_EQ(r.Params, (TParas{"id"}));
  ASSERT_TRUE(ParseFunctionHeader("foo(a, b ,c)", r));
  EXPECT_EQ(r.Params, (TParas{"a", "b", "c"}));
  ASSERT_TRUE(ParseFunctionHeader("foo(,a)", r));
  EXPECT_EQ(r.Params, (TParas{"", "a"}));
  ASSERT_TRUE(ParseFunctionHeader("foo(a, )", r));
  EXPECT_EQ(r.Params, (TParas{"a"}));
  ASSERT_TRUE(ParseFunctionHeader("foo(a(b)c)", r));
  EXPECT_EQ(r.Params, (TParas{"abc"}));
}

TEST(JsParseFunctionHeader, NameIsTheLastWordBeforeTheParenthesis) {
  TFunctionRecord r;
  for (std::string_view text : {"x=foo(a)", "var\tfoo(a)", "a\r\nfoo(b)", "a b=c\tfoo(e)"}) {
    ASSERT_TRUE(ParseFunctionHeader(text, r)) << text;
    EXPECT_EQ(r.FuncName, "foo") << text;
  }
}

TEST(JsParseFunctionHeader, Failures) {
  TFunctionRecord r;
  r.FuncName = "old";
  r.Params = {"p"};
  EXPECT_FALSE(ParseFunctionHeader("foo (a)", r));  // blank before "(": empty name
  EXPECT_TRUE(r.FuncName.empty());
  EXPECT_TRUE(r.Params.empty());
  EXPECT_FALSE(ParseFunctionHeader("foo()", r));
  EXPECT_FALSE(ParseFunctionHeader("foo(a", r));
  EXPECT_FALSE(ParseFunctionHeader("a)", r));  // a group but no "(" for the name
}

TEST(JsParseCall, CallsAndAssignments) {
  std::string callee, value;
  ASSERT_TRUE(ParseCall("window.open('a.html','w','width=100')", callee, value));
  EXPECT_EQ(callee, "window.open");
  EXPECT_EQ(value, "'a.html'");
  ASSERT_TRUE(ParseCall("document.location='b.html';", callee, value));
  EXPECT_EQ(callee, "document.location");
  EXPECT_EQ(value, "'b.html'");
  ASSERT_TRUE(ParseCall("x.href=f(y)", callee, value));  // "=" first: all after it
  EXPECT_EQ(callee, "x.href");
  EXPECT_EQ(value, "f(y)");
  ASSERT_TRUE(ParseCall("go(a\r\nb)", callee, value));
  EXPECT_EQ(value, "a");
  ASSERT_TRUE(ParseCall("if(x) go(u)", callee, value));  // the first group counts
  EXPECT_EQ(callee, "if");
  EXPECT_EQ(value, "x");
}

TEST(JsParseCall, Failures) {
  std::string callee, value;
  EXPECT_FALSE(ParseCall("plain text", callee, value));
  EXPECT_FALSE(ParseCall("f()", callee, value));
  EXPECT_FALSE(ParseCall("f)(x", callee, value));   // ")" before "("
  EXPECT_FALSE(ParseCall("=x", callee, value));     // no callee
  EXPECT_FALSE(ParseCall("f(;x)", callee, value));  // cut to nothing
  // Blanks before "=" leave no callee: such an assignment is not a call site.
  EXPECT_FALSE(ParseCall("document.location = 'b.html';", callee, value));
}

TEST(JsFindVarInBody, Declarations) {
  EXPECT_EQ(FindVarInBody(" var x=1; var url='a.html'; window.open(url); ", "url"), "'a.html'");
  EXPECT_EQ(FindVarInBody("var urlx='b'; var url='a'", "url"), "'b'");  // same beginning
  EXPECT_EQ(FindVarInBody("Var U = 'z';", "u"), "'z'");
  EXPECT_EQ(FindVarInBody("var u;", "u"), "u");  // no "=": the declaration itself
  EXPECT_EQ(FindVarInBody("x=1; y=2;", "u"), "");
}

TEST(JsFindVarInBody, DeclarationWithoutSemicolonEndsTheWalk) {
  EXPECT_EQ(FindVarInBody("var u='a.html'", "u"), "");
  EXPECT_EQ(FindVarInBody("var x=1; var u='a.html'", "u"), "");
  EXPECT_EQ(FindVarInBody("var x=1 var y=2", "u"), "");
}

}  // namespace
}  // namespace qm
