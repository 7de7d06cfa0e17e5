#pragma once
// The script evaluator (unit JavaUnit). There is no script engine: URLs built in script code are
// found by plain text matching. An attribute value such as 'show.asp?id='+n or page{$id}.html is
// split into parts, global variables with literal values are substituted, and the functions whose
// parameters feed such an expression are recorded. The call sites of those functions and of the
// navigation targets ("window.open", "document.location") are then visited to collect the URLs
// they open and to rewrite the page so that the saved copy opens the local files.
//
// One evaluator per task, used by the page analysis thread only, one page at a time. Positions in
// texts are 1-based, 0 meaning "not found", as in UrlLib.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace qm {

class TTask;

// Kind of one expression part.
enum TPartKind : std::uint8_t {
  Literal = 0,   // a quoted string; Text is its content without the quotes
  Ident = 1,     // an identifier not (yet) resolved
  ParamRef = 2,  // a parameter of the enclosing function; RefIndex indexes its Params
  VarRef = 3,    // a global variable; RefIndex indexes Vars
};

// One part of an expression.
struct TParaRecord {
  std::string Text;
  std::uint8_t PartKind = Literal;
  std::int32_t RefIndex = -1;  // -1 while the part refers to no parameter or variable
  std::int32_t Position = 0;   // 1-based position of Text in the expression it was cut from
};
using TParaRecordArray = std::vector<TParaRecord>;

// Parameter names of a function, or the argument texts of one call.
using TParas = std::vector<std::string>;

// One global script variable of the page.
struct TVarRecord {
  std::string VarName;
  std::string VarValue;          // the initialiser exactly as declared, quotes included
  std::string NewValue;          // the initialiser with its URL replaced by a local path
  std::uint8_t Changed = 0;      // NewValue is set
  std::uint8_t WrittenBack = 0;  // the declaration in the page has been replaced
};
using TVarList = std::vector<TVarRecord>;

// One script function, or a call target that takes the URL as its first argument.
struct TFunctionRecord {
  std::string FuncName;
  TParas Params;
  std::string Expr;       // the URL expression; empty for a call target
  std::string Output;     // rewritten expression or computed value
  std::uint8_t Done = 0;  // the expression has been rewritten in the script text
  TParaRecordArray Parts;
};

// An expression is cut before each of these, in this order.
inline constexpr std::string_view ExprStopChars = ";),>";
// A declared value or call argument ends at the first of these, tried in this order.
inline constexpr std::array<std::string_view, 5> StmtTerminators = {";", "\r\n", ">", ",", "\n"};
// Turned into "/" in the literal parts of a rewritten expression, in this order.
inline constexpr std::string_view UnsafePathChars = ":*?<>|&";

// ---- unit functions ----

// Every character of UnsafePathChars replaced by "/".
std::string SafePathChars(std::string_view text);
// `src` with each part's text replaced by its rewritten form: the first literal becomes the
// relative path of its local copy (against `base`), literals lose their unsafe characters. False
// (and `out` untouched) when there are no parts or the first literal leads to another host.
bool RebuildExpression(std::string_view src, std::string_view base, const TParaRecordArray& parts,
                       std::string& out);
// Splits a "+" expression into `parts` (cutting `expr` at ExprStopChars) and returns its rewritten
// text, empty when it cannot be rewritten.
std::string SplitConcatenation(std::string& expr, std::string_view base, TParaRecordArray& parts);
// The same for a template with {$name} placeholders.
std::string SplitTemplate(std::string& expr, std::string_view base, TParaRecordArray& parts);
// The content of a quoted argument or value; for a concatenation, its middle part.
std::string Unquote(std::string_view text);
// Reads «var name = value» from the first "var " of `text`.
bool ParseVarDecl(std::string_view text, TVarRecord& var);
// Appends the declarations of `text` to `list`, up to the first one that does not parse.
void CollectVars(std::string_view text, TVarList& list);
// The content of the first parenthesis group, inner parentheses removed.
std::string InnerParens(std::string_view text);
// Reads «name(a, b)» into FuncName and Params.
bool ParseFunctionHeader(std::string_view text, TFunctionRecord& record);
// Splits a call «name(value» or an assignment «name=value»; the value is the first argument.
bool ParseCall(std::string_view text, std::string& callee, std::string& value);
// The initialiser of the variable `name` declared inside a function body, empty when none.
std::string FindVarInBody(std::string_view body, std::string_view name);
// The URL one call computes: literals and the unquoted arguments the parameter parts refer to.
std::string JoinValue(const TParaRecordArray& parts, const TParas& args);
// A concatenation expression of the literals and the (unquoted) argument texts of one call.
std::string BuildCallExpr(const TParaRecordArray& parts, const TParas& args);

// ---- the evaluator ----

class TJsClass {
 public:
  std::string StartUrl;             // URLs from call sites must be on this URL's host
  std::string PageUrl;              // the page analysed; links resolve against it
  std::string* PageText = nullptr;  // the page text, owned by the analysis; rewritten in place
  std::vector<TFunctionRecord> Functions;
  TVarList Vars;
  // The task being run, set per analysis with the fields above; URLs are looked up in its table.
  // None: every accepted URL counts as new.
  TTask* Task = nullptr;
  // Counts the times the evaluator replaced the page text, so that the analysis knows when its
  // view of the page is out of date.
  std::uint32_t PageRewrites = 0;

  // Sets the page fields for the analysis of one page, then Reset and CollectGlobalVars.
  void Prepare(TTask* task, std::string_view startUrl, std::string_view pageUrl,
               std::string& pageText);

  // Empties every record's Parts, then Functions and Vars.
  void Reset();
  // Appends the variables declared outside function bodies to Vars.
  void CollectGlobalVars(std::string_view pageText);
  // Index of the first variable named `name` (ASCII case ignored), -1 when none.
  std::int32_t FindVar(std::string_view name) const;
  // Evaluates record.Expr. True: the expression belongs to the script function now named in the
  // record and Output is its rewritten form. False: Output is the concrete URL, or empty.
  bool EvalExpr(TFunctionRecord& record);
  // Records a function or call target; a second record with the same non-empty Expr is ignored.
  void AddFunction(const TFunctionRecord& record, bool done);
  // Substitutes global variables in record.Parts; the computed value, empty unless all literal.
  std::string EvalWithVars(TFunctionRecord& record);
  // Finds a function of `script` whose parameters name every identifier of record.Parts.
  bool FindEnclosingFunction(std::string_view script, TFunctionRecord& record);

  // Splits an expression of a function body and resolves its identifiers against Vars and
  // `params`; the rewritten expression, empty when an identifier stays unknown.
  std::string RewriteExpr(std::string& expr, TParaRecordArray& parts, const TParas& params);
  // Records the functions of `script` that pass a URL on to `target` and rewrites their URL
  // expressions. Returns the rewritten script; `found` is the target, the name of the last
  // function passing it on, or empty.
  std::string ScanScript(std::string_view script, std::string_view target, std::string& found);
  // ScanScript over the script blocks of the page; rewrites the page text. Returns the found name.
  std::string ScanPageScripts(std::string_view target);
  // Records the functions of a downloaded script file ("\"-separated path); the file is not
  // changed. Throws std::runtime_error when the file cannot be read.
  void ScanScriptFile(std::string_view path);
  // The same for a file that may not be there yet: false, and nothing done, when no regular file
  // is at `path`.
  bool ScanScriptFileIfPresent(std::string_view path);
  // Visits the calls of every recorded function and target, appends new URLs to `list` and writes
  // the changed variables back.
  bool ApplyFunctions(std::vector<std::string>& list);
  // Calls of a target or pass-through function: collects and rewrites literal URLs.
  bool ProcessDirectCalls(const TFunctionRecord& record, std::vector<std::string>& list);
  // Calls of a function with a known URL expression: collects the URL of each call. False when
  // the record was re-evaluated and the calls must be visited again.
  bool ProcessFunctionCalls(TFunctionRecord& record, std::vector<std::string>& list);
  // Replaces the declarations of the changed variables in the page text.
  void WriteBackVars();
  // To be called after the expressions of records in Functions were changed: AddFunction then
  // builds its look-up set afresh.
  void ForgetFunctionIndex();

 private:
  struct THeader {
    bool Parsed = false;  // a header was read after this "function "
    std::string Name;
    TParas Params;
  };
  void WalkHeaders(std::string_view script,
                   const std::function<bool(bool parsed, TFunctionRecord&)>& visit) const;
  // The function headers of the page text last searched for an enclosing function.
  std::string headerText_;
  std::vector<THeader> headers_;
  bool headersValid_ = false;
  // Vars by lower-case name (first declaration of each), rebuilt when Vars has been replaced or
  // extended. Entries of Vars may have their values changed from outside, never their names.
  mutable std::unordered_map<std::string, std::int32_t> varIndex_;
  mutable std::size_t varIndexSize_ = 0;
  mutable const TVarRecord* varIndexData_ = nullptr;
  // Script files that name neither target, as they were when read (ScanScriptFile).
  struct TScriptFileStamp {
    std::int64_t Size = 0;
    std::int64_t Changed = 0;
  };
  std::unordered_map<std::string, TScriptFileStamp> targetFreeScripts_;
  void ScanStampedFile(std::string_view path, const std::string& native,
                       const TScriptFileStamp& stamp, bool stamped);
  // The expressions of Functions[0 .. exprIndexed_), for AddFunction's duplicate test.
  std::unordered_set<std::string> exprIndex_;
  std::size_t exprIndexed_ = 0;
};

}  // namespace qm
