// Expression parts: splitting, rebuilding for the local copy, and the values of calls.
#include <gtest/gtest.h>

#include "JsTestSupport.h"
#include "analysis/JsClass.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

using test::kPageUrl;
using test::RunExpr;

std::string LocalOf(std::string_view link) {
  std::string absolute;
  EXPECT_TRUE(MakeAbsoluteUrl(link, kPageUrl, absolute)) << link;
  return RelativeLocalPath(absolute, kPageUrl);
}

TEST(JsSafePathChars, EveryUnsafeCharacterBecomesASlash) {
  EXPECT_EQ(SafePathChars("a:b*c?d<e>f|g&h"), "a/b/c/d/e/f/g/h");
  EXPECT_EQ(SafePathChars("x.asp?id=1#t\"q"), "x.asp/id=1#t\"q");
  EXPECT_EQ(SafePathChars(""), "");
}

TEST(JsSplitConcatenation, CutsTheCallersExpressionAtTheFirstStopCharacter) {
  TParaRecordArray parts;
  std::string expr = "'a.html'+x;y";
  SplitConcatenation(expr, kPageUrl, parts);
  EXPECT_EQ(expr, "'a.html'+x");
  for (std::string text : {"'a'+b)c", "'a'+b,c", "'a'+b>c"}) {
    SplitConcatenation(text, kPageUrl, parts);
    EXPECT_EQ(text, "'a'+b");
  }
}

TEST(JsSplitConcatenation, PartsKindsAndPositions) {
  TParaRecordArray parts;
  std::string expr = "'view.asp?id='+id";
  SplitConcatenation(expr, kPageUrl, parts);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].Text, "view.asp?id=");
  EXPECT_EQ(parts[0].PartKind, Literal);
  EXPECT_EQ(parts[0].Position, 2);
  EXPECT_EQ(parts[0].RefIndex, -1);
  EXPECT_EQ(parts[1].Text, "id");
  EXPECT_EQ(parts[1].PartKind, Ident);
  EXPECT_EQ(parts[1].Position, 16);

  expr = "'a.html' + n";  // blanks around "+": positions point at the trimmed texts
  SplitConcatenation(expr, kPageUrl, parts);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].Position, 2);
  EXPECT_EQ(parts[1].Position, 12);
  EXPECT_EQ(expr.substr(parts[1].Position - 1, 1), "n");
}

TEST(JsSplitConcatenation, APlusInsideQuotesCutsToo) {
  TParaRecordArray parts;
  std::string expr = "'a+b.html'";
  SplitConcatenation(expr, kPageUrl, parts);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].Text, "a");
  EXPECT_EQ(parts[0].PartKind, Literal);
  EXPECT_EQ(parts[1].Text, "b.html");
  EXPECT_EQ(parts[1].PartKind, Literal);
  EXPECT_EQ(parts[1].Position, 4);
}

TEST(JsSplitConcatenation, QuoteOnlyAndEmptySegments) {
  TParaRecordArray parts;
  std::string expr = "''+x";  // an empty literal is removed
  SplitConcatenation(expr, kPageUrl, parts);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].Text, "x");
  EXPECT_EQ(parts[0].PartKind, Ident);

  expr = "x+'++y";  // a segment that is just "'" and an empty one are skipped
  SplitConcatenation(expr, kPageUrl, parts);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[1].Text, "y");
  EXPECT_EQ(parts[1].Position, 6);

  expr = "abc'+x";  // closing quote without an opening one
  SplitConcatenation(expr, kPageUrl, parts);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].Text, "abc");
  EXPECT_EQ(parts[0].PartKind, Literal);
}

TEST(JsSplitConcatenation, FirstLiteralOnAnotherHostGivesNoRewrite) {
  TParaRecordArray parts;
  std::string expr = "'http://other/x.asp?id='+id";
  EXPECT_EQ(SplitConcatenation(expr, kPageUrl, parts), "");
  EXPECT_EQ(parts.size(), 2u);  // the parts are still there for the callers
  expr = "'http://h/x.asp?id='+id";
  EXPECT_EQ(SplitConcatenation(expr, kPageUrl, parts), "'../x.asp/id='+id+\".html\"");
}

TEST(JsSplitConcatenation, SuffixOnlyForDynamicJoinedText) {
  TParaRecordArray parts;
  std::string expr = "'pages/'+n+'.htm'";
  EXPECT_EQ(SplitConcatenation(expr, kPageUrl, parts), "'pages/'+n+'.htm'");
  expr = "'view.asp?id='+id";
  EXPECT_EQ(SplitConcatenation(expr, kPageUrl, parts), "'view.asp/id='+id+\".html\"");
  expr = "'item'+n+'.php'";
  EXPECT_EQ(SplitConcatenation(expr, kPageUrl, parts), "'item'+n+'.php'+\".html\"");
}

// The saved script must compute the local file of the URL the original computed.
TEST(JsSplitConcatenation, RewrittenExpressionComputesTheLocalFile) {
  struct Case {
    std::string expr;
    std::map<std::string, std::string> names;
    std::string url;  // what the original expression computes
  };
  const Case cases[] = {
      {"'view.asp?id='+id", {{"id", "7"}}, "view.asp?id=7"},
      {"'pages/'+n+'.htm'", {{"n", "p3"}}, "pages/p3.htm"},
      {"'list.php'+'?id='+id", {{"id", "5"}}, "list.php?id=5"},
      {"'show.asp?id='+id+'&p=2'", {{"id", "7"}}, "show.asp?id=7&p=2"},
      {"'item'+n+'.php'", {{"n", "4"}}, "item4.php"},
      {"'../up/view.asp?id='+id", {{"id", "7"}}, "../up/view.asp?id=7"},
      {"\"doc.jsp?a=\"+a+\"&b=\"+b", {{"a", "1"}, {"b", "2"}}, "doc.jsp?a=1&b=2"},
      {"'sub/'+n", {{"n", "x.gif"}}, "sub/x.gif"},
  };
  for (const Case& c : cases) {
    std::string expr = c.expr;
    TParaRecordArray parts;
    const std::string rewritten = SplitConcatenation(expr, kPageUrl, parts);
    ASSERT_FALSE(rewritten.empty()) << c.expr;
    EXPECT_EQ(RunExpr(expr, c.names), c.url) << c.expr;  // the original, for the record
    EXPECT_EQ(RunExpr(rewritten, c.names), LocalOf(c.url)) << c.expr << " -> " << rewritten;
  }
}

TEST(JsRebuildExpression, NoPartsLeavesTheOutputAlone) {
  std::string out = "kept";
  EXPECT_FALSE(RebuildExpression("'a'+b", kPageUrl, {}, out));
  EXPECT_EQ(out, "kept");
}

TEST(JsRebuildExpression, IdentifierFirstOnlyCleansTheLiterals) {
  const TParaRecordArray parts = {{"base", Ident, -1, 1}, {"x.asp?a=1&b", Literal, -1, 7}};
  std::string out;
  ASSERT_TRUE(RebuildExpression("base+'x.asp?a=1&b'", kPageUrl, parts, out));
  EXPECT_EQ(out, "base+'x.asp/a=1/b'");
}

TEST(JsRebuildExpression, CarriesTheTextBetweenPartsUnchanged) {
  const TParaRecordArray parts = {{"d/p.htm", Literal, -1, 4}, {"n", Ident, -1, 17}};
  std::string out;
  ASSERT_TRUE(RebuildExpression("( 'd/p.htm'  +  n )", kPageUrl, parts, out));
  EXPECT_EQ(out, "( 'd/p.htm'  +  n )");
}

TEST(JsRebuildExpression, LiteralTheScriptCannotContinueGivesNoResult) {
  // An over-long file name is shortened with a hash of the whole name, and a trailing "%" would
  // be decoded together with what follows: the saved script cannot compute either.
  for (const std::string& literal : {std::string(300, 'x'), std::string("p%")}) {
    const TParaRecordArray parts = {
        {literal, Literal, -1, 2}, {"n", Ident, -1, static_cast<std::int32_t>(literal.size()) + 4}};
    std::string out = "kept";
    EXPECT_FALSE(RebuildExpression("'" + literal + "'+n", kPageUrl, parts, out)) << literal;
    EXPECT_EQ(out, "kept");
  }
  // A long directory name is shortened the same way whatever follows it.
  const std::string dir = std::string(300, 'x') + ".asp?id=";
  const TParaRecordArray parts = {{dir, Literal, -1, 2}, {"id", Ident, -1, 312}};
  std::string out;
  ASSERT_TRUE(RebuildExpression("'" + dir + "'+id", kPageUrl, parts, out));
  EXPECT_EQ(RunExpr(out + "+\".html\"", {{"id", "7"}}), LocalOf(dir + "7"));
}

TEST(JsSplitTemplate, PartsAndPositions) {
  TParaRecordArray parts;
  std::string expr = "{$u}";
  SplitTemplate(expr, kPageUrl, parts);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].Text, "u");
  EXPECT_EQ(parts[0].PartKind, Ident);
  EXPECT_EQ(parts[0].Position, 3);

  expr = "page{$id}.html";
  EXPECT_EQ(SplitTemplate(expr, kPageUrl, parts), "page{$id}.html");
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0].Text, "page");
  EXPECT_EQ(parts[0].Position, 1);
  EXPECT_EQ(parts[1].Text, "id");
  EXPECT_EQ(parts[1].Position, 7);
  EXPECT_EQ(parts[2].Text, ".html");
  EXPECT_EQ(parts[2].PartKind, Literal);
  EXPECT_EQ(parts[2].Position, 10);

  expr = "{$ u };rest";
  SplitTemplate(expr, kPageUrl, parts);
  EXPECT_EQ(expr, "{$ u }");
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].Position, 4);

  expr = "'{$x}'";  // quote-only pieces are not recorded
  SplitTemplate(expr, kPageUrl, parts);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].Text, "x");
}

TEST(JsSplitTemplate, UnfinishedPlaceholderEndsAndIsKeptAsWritten) {
  TParaRecordArray parts;
  std::string expr = "view.asp?id={$id";
  EXPECT_EQ(SplitTemplate(expr, kPageUrl, parts), "view.asp/id={$id");
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].Text, "view.asp?id=");
  expr = "{${${$";
  SplitTemplate(expr, kPageUrl, parts);
  EXPECT_TRUE(parts.empty());
}

TEST(JsUnquote, QuotesAndConcatenations) {
  EXPECT_EQ(Unquote("'a'+b+'c'"), "b");
  EXPECT_EQ(Unquote("x+y"), "");
  EXPECT_EQ(Unquote("\"q\""), "q");
  EXPECT_EQ(Unquote("'q"), "");          // no closing quote
  EXPECT_EQ(Unquote(" 'q' "), " 'q' ");  // not trimmed
  EXPECT_EQ(Unquote("7"), "7");
  EXPECT_EQ(Unquote("'it''s'"), "it''s");
}

TEST(JsCallValues, JoinValueAndBuildCallExpr) {
  const TParaRecordArray parts = {
      {"view.asp?id=", Literal, -1, 2}, {"id", ParamRef, 0, 16}, {"v", VarRef, 0, 20},
      {"&p=", Literal, -1, 22},         {"p", ParamRef, 1, 28},  {"q", ParamRef, 5, 30}};
  const TParas args = {"7", "'2'"};
  EXPECT_EQ(JoinValue(parts, args), "view.asp?id=7&p=2");
  EXPECT_EQ(BuildCallExpr(parts, args), "'view.asp?id='+7+'&p='+2");
  EXPECT_EQ(BuildCallExpr({}, args), "");
  EXPECT_EQ(JoinValue(parts, {"'a'+n+'b'", "x"}), "view.asp?id=n&p=x");
}

}  // namespace
}  // namespace qm
