// The evaluator's tables for one page and the evaluation of attribute expressions.
#include "analysis/JsClass.h"

#include <functional>

#include "analysis/JsClassText.h"
#include "url/UrlLib.h"

namespace qm {

using namespace jstext;

void TJsClass::Prepare(TTask* task, std::string_view startUrl, std::string_view pageUrl,
                       std::string& pageText) {
  Task = task;
  StartUrl = std::string(startUrl);
  PageUrl = std::string(pageUrl);
  PageText = &pageText;
  Reset();
  CollectGlobalVars(pageText);
}

void TJsClass::Reset() {
  for (TFunctionRecord& record : Functions) record.Parts.clear();
  Functions.clear();
  ForgetFunctionIndex();
  Vars.clear();
  varIndexData_ = nullptr;  // the next page may have as many variables at the same place
  varIndexSize_ = 0;
  varIndex_.clear();
}

void TJsClass::CollectGlobalVars(std::string_view page) {
  if (FindText(page, "var ") == npos) return;
  std::size_t from = 0;  // start of the text not yet read
  NextHit open = NextChar(page, '{');
  while (true) {
    const std::size_t function = FindText(page, "function ", from);
    if (function == npos) break;
    const std::string_view before = TrimBlanks(page.substr(from, function - from));
    if (!before.empty()) CollectVars(before, Vars);
    std::size_t at = function + 9;
    const std::size_t brace = open.At(at);
    if (brace != npos) at = brace + 1;
    // Skip the body by counting braces. When the braces run out first, the text after the last
    // one is read as global again.
    std::size_t depth = 1;
    std::size_t resume = at;
    for (std::size_t i = at; i < page.size(); ++i) {
      if (page[i] == '{') {
        ++depth;
        resume = i + 1;
      } else if (page[i] == '}') {
        resume = i + 1;
        if (--depth == 0) break;
      }
    }
    from = resume;
  }
  const std::string_view rest = TrimBlanks(page.substr(from));
  if (!rest.empty()) CollectVars(rest, Vars);
}

std::int32_t TJsClass::FindVar(std::string_view name) const {
  const auto lookup = [&]() -> std::int32_t {
    const auto it = varIndex_.find(AsciiLowerCase(name));
    return it == varIndex_.end() ? -1 : it->second;
  };
  if (varIndexSize_ == Vars.size() && varIndexData_ == Vars.data()) {
    const std::int32_t found = lookup();
    if (found < 0 || EqualsIgnoringAsciiCase(Vars[found].VarName, name)) return found;
  }
  varIndex_.clear();
  for (std::size_t i = 0; i < Vars.size(); ++i)
    varIndex_.try_emplace(AsciiLowerCase(Vars[i].VarName), static_cast<std::int32_t>(i));
  varIndexSize_ = Vars.size();
  varIndexData_ = Vars.data();
  return lookup();
}

std::string TJsClass::EvalWithVars(TFunctionRecord& record) {
  for (TParaRecord& part : record.Parts) {
    if (part.PartKind == Literal) continue;
    const std::int32_t var = FindVar(part.Text);
    if (var >= 0) {
      part.PartKind = VarRef;
      part.RefIndex = var;
    }
  }
  record.Output.clear();
  RebuildExpression(record.Expr, PageUrl, record.Parts, record.Output);
  bool allLiteral = true;
  for (TParaRecord& part : record.Parts) {
    if (part.PartKind == VarRef) {
      std::string_view value = TrimBlanks(Vars[part.RefIndex].VarValue);
      // Only single quotes come off; a double-quoted value keeps its quotes.
      if (!value.empty() && value[0] == '\'') {
        value.remove_prefix(1);
        const std::size_t last = value.rfind('\'');
        if (last != npos) value = value.substr(0, last);
      }
      part.Text = std::string(value);
      part.PartKind = Literal;
    }
    if (part.PartKind != Literal) allLiteral = false;
  }
  if (!allLiteral) return {};
  std::string value;
  for (const TParaRecord& part : record.Parts) value += part.Text;
  return value;
}

namespace {

// Makes every identifier part of `parts` refer to the parameter of the same name (ASCII case
// ignored); false at the first one that names no parameter.
bool ResolveParams(TParaRecordArray& parts, const TParas& params) {
  for (TParaRecord& part : parts) {
    if (part.PartKind != Ident && part.PartKind != ParamRef) continue;
    std::int32_t found = -1;
    for (std::size_t i = 0; i < params.size() && found < 0; ++i)
      if (EqualsIgnoringAsciiCase(params[i], part.Text)) found = static_cast<std::int32_t>(i);
    if (found < 0) return false;
    part.PartKind = ParamRef;
    part.RefIndex = found;
  }
  return true;
}

// Functions tried directly before the header list of the page is consulted.
constexpr std::size_t kDirectHeaders = 32;

}  // namespace

// The walk over the function headers of a script: a header after each "function ", the next
// walk position after the first "}" that follows it.
void TJsClass::WalkHeaders(std::string_view script,
                           const std::function<bool(bool parsed, TFunctionRecord&)>& visit) const {
  HeaderReader reader(script);
  NextHit close = NextChar(script, '}');
  std::size_t from = 0;
  TFunctionRecord header;
  while (true) {
    const std::size_t function = FindText(script, "function ", from);
    if (function == npos) return;
    const std::size_t at = function + 9;
    const bool parsed = reader.Read(at, header);
    if (!visit(parsed, header)) return;
    const std::size_t end = close.At(at);
    from = end == npos ? at : end + 1;
  }
}

bool TJsClass::FindEnclosingFunction(std::string_view script, TFunctionRecord& record) {
  // Most expressions belong to one of the first functions of a page, so these are read straight
  // from the text. Past them, the page's header list is used: built once per page text, it keeps
  // the many expressions of a long page from each reading all of it.
  std::size_t visited = 0;
  bool matched = false;
  WalkHeaders(script, [&](bool parsed, TFunctionRecord& header) {
    if (visited == kDirectHeaders) return false;
    ++visited;
    matched = parsed && ResolveParams(record.Parts, header.Params);
    record.FuncName = header.FuncName;  // the record holds the last header read
    record.Params = header.Params;
    return !matched;
  });
  if (matched || visited < kDirectHeaders) return matched;  // found, or the end was reached

  if (!headersValid_ || headerText_.size() != script.size() || headerText_ != script) {
    headerText_.assign(script);
    headers_.clear();
    WalkHeaders(headerText_, [&](bool parsed, TFunctionRecord& header) {
      headers_.push_back(THeader{parsed, header.FuncName, header.Params});
      return true;
    });
    headersValid_ = true;
  }
  for (std::size_t i = kDirectHeaders; i < headers_.size(); ++i) {
    const THeader& header = headers_[i];
    matched = header.Parsed && ResolveParams(record.Parts, header.Params);
    if (matched || i + 1 == headers_.size()) {
      record.FuncName = header.Name;
      record.Params = header.Params;
    }
    if (matched) return true;
  }
  return false;
}

bool TJsClass::EvalExpr(TFunctionRecord& record) {
  record.FuncName.clear();
  record.Output.clear();
  const bool concatenation = ContainsExact(record.Expr, "+");
  if (!concatenation && !ContainsExact(record.Expr, "{$")) return false;
  if (concatenation) {
    SplitConcatenation(record.Expr, PageUrl, record.Parts);
  } else {
    SplitTemplate(record.Expr, PageUrl, record.Parts);
  }
  if (record.Parts.empty()) return false;
  std::string joined;
  for (const TParaRecord& part : record.Parts) joined += part.Text;

  const std::string value = EvalWithVars(record);
  if (!value.empty()) {
    record.Output = value;
    return false;
  }
  if (FindEnclosingFunction(PageText ? std::string_view(*PageText) : std::string_view(), record)) {
    // The rewritten expression must open the local copy, which for a dynamic page carries
    // ".html" after the whole URL. An empty rewrite stays empty.
    if (!record.Output.empty()) {
      if (ContainsExact(record.Expr, "{$")) {
        if (HasExtIn(record.Expr, DynamicExts)) record.Output += ".html";
      } else if (HasExtIn(joined, DynamicExts)) {
        record.Output += DynamicPageSuffix(record.Expr);
      }
    }
    return true;
  }
  record.Output.clear();
  return false;
}

void TJsClass::ForgetFunctionIndex() {
  exprIndex_.clear();
  exprIndexed_ = 0;
}

void TJsClass::AddFunction(const TFunctionRecord& record, bool done) {
  if (!record.Expr.empty()) {
    // The expressions are looked up in a set (a page may record thousands of functions); the
    // set may still hold expressions that records had before they were changed, so a hit is
    // confirmed by the records themselves.
    if (exprIndexed_ > Functions.size()) ForgetFunctionIndex();
    for (; exprIndexed_ < Functions.size(); ++exprIndexed_)
      exprIndex_.insert(Functions[exprIndexed_].Expr);
    if (exprIndex_.count(record.Expr) != 0)
      for (const TFunctionRecord& known : Functions)
        if (known.Expr == record.Expr) return;
  }
  Functions.push_back(record);
  Functions.back().Done = done ? 1 : 0;
}

}  // namespace qm
