// Declarations and calls in script text: variables, function headers, call arguments.
#include "analysis/JsClass.h"
#include "analysis/JsClassText.h"

namespace qm {

using namespace jstext;

bool ParseVarDecl(std::string_view text, TVarRecord& var) {
  const std::size_t at = FindText(text, "var ");
  if (at == npos) return false;
  const std::string_view decl = TrimBlanks(CutAtTerminators(text.substr(at + 4)));
  const std::size_t eq = decl.find('=');
  if (eq == npos) return false;
  const std::string_view name = TrimBlanks(decl.substr(0, eq));
  const std::string_view value = TrimBlanks(decl.substr(eq + 1));
  if (name.empty() || value.empty()) return false;
  var.VarName = std::string(name);
  var.VarValue = std::string(value);
  var.NewValue.clear();
  var.Changed = 0;
  var.WrittenBack = 0;
  return true;
}

void CollectVars(std::string_view text, TVarList& list) {
  std::size_t from = 0;
  while (true) {
    const std::size_t at = FindText(text, "var ", from);
    if (at == npos) return;
    TVarRecord var;
    if (!ParseVarDecl(text.substr(at), var)) return;
    // Skip as much as the declaration takes when written without blanks ("var name=value"); at
    // least "var " and two characters, so the walk always moves on.
    from = at + 4 + var.VarName.size() + 1 + var.VarValue.size();
    list.push_back(std::move(var));
  }
}

std::string jstext::InnerParensFrom(std::string_view text, std::size_t start, std::size_t open) {
  std::size_t i = open == npos ? start : open + 1;
  std::string out;
  std::size_t depth = 1;
  std::size_t piece = i;  // start of the text not yet appended
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '(' && c != ')') continue;
    out.append(text.substr(piece, i - piece));  // the parenthesis itself is not kept
    piece = i + 1;
    if (c == '(') {
      ++depth;
    } else if (--depth == 0) {
      return out;
    }
  }
  // No parenthesis left: every level still open takes one more character off the end.
  out.resize(out.size() - std::min(out.size(), depth));
  return out;
}

std::string InnerParens(std::string_view text) {
  return InnerParensFrom(text, 0, text.find('('));
}

namespace {

// ReduceName of the text gives a non-empty name.
bool HasName(std::string_view callee) {
  if (callee.empty()) return false;
  const char last = callee.back();
  if (last == ' ' || last == '=' || last == '\t') return false;
  return !(last == '\n' && callee.size() >= 2 && callee[callee.size() - 2] == '\r');
}

}  // namespace

jstext::HeaderReader::HeaderReader(std::string_view text)
    : text_(text), open_(NextChar(text, '(')) {}

bool jstext::HeaderReader::Read(std::size_t start, TFunctionRecord& record) {
  record.FuncName.clear();
  record.Params.clear();
  const std::size_t open = open_.At(start);
  if (open == npos) return false;  // no name before a "(" (and no group after one)
  if (open != innerOpen_) {
    inner_ = InnerParensFrom(text_, start, open);
    innerOpen_ = open;
  }
  if (inner_.empty()) return false;
  const std::string_view name = ReduceName(text_.substr(start, open - start));
  if (name.empty()) return false;
  std::string_view rest = inner_;
  while (true) {
    const std::size_t comma = rest.find(',');
    if (comma == npos) break;
    record.Params.emplace_back(TrimBlanks(rest.substr(0, comma)));
    rest.remove_prefix(comma + 1);
  }
  rest = TrimBlanks(rest);
  if (!rest.empty()) record.Params.emplace_back(rest);
  record.FuncName = std::string(name);
  return true;
}

bool ParseFunctionHeader(std::string_view text, TFunctionRecord& record) {
  return HeaderReader(text).Read(0, record);
}

NextHit jstext::NextChar(std::string_view text, char c) {
  return NextHit(text, [c](std::string_view t, std::size_t from) { return t.find(c, from); });
}

jstext::CallSearch::CallSearch(std::string_view text)
    : Text(text),
      Open(NextChar(text, '(')),
      Close(NextChar(text, ')')),
      Assign(NextChar(text, '=')),
      Terminator(text,
                 [](std::string_view t, std::size_t from) { return FindTerminator(t, from); }) {}

bool jstext::ParseCallValue(CallSearch& search, std::size_t start, std::string_view& value) {
  const std::string_view text = search.Text;
  const std::size_t open = search.Open.At(start);
  const std::size_t assign = search.Assign.At(start);
  value = {};
  if (open == npos && assign == npos) return false;
  std::size_t callEnd;
  if (open != npos && (assign == npos || open < assign)) {
    // The first argument: between the first "(" and the first ")" of the text.
    callEnd = open;
    const std::size_t close = search.Close.At(start);
    if (close == npos || close <= open) return false;
    std::size_t end = close;
    const std::size_t term = search.Terminator.At(open + 1);
    if (term < end) end = term;
    value = text.substr(open + 1, end - open - 1);
  } else {
    callEnd = assign;
    const std::size_t term = search.Terminator.At(assign + 1);
    value = text.substr(assign + 1, term == npos ? npos : term - assign - 1);
  }
  return !value.empty() && HasName(text.substr(start, callEnd - start));
}

bool ParseCall(std::string_view text, std::string& callee, std::string& value) {
  CallSearch search(text);
  std::string_view found;
  callee.clear();
  value.clear();
  if (!ParseCallValue(search, 0, found)) return false;
  value = std::string(found);
  const std::size_t open = text.find('(');
  const std::size_t assign = text.find('=');
  const std::size_t end = (open != npos && (assign == npos || open < assign)) ? open : assign;
  callee = std::string(ReduceName(text.substr(0, end)));
  return true;
}

std::string FindVarInBody(std::string_view body, std::string_view name) {
  std::size_t from = 0;
  while (true) {
    const std::size_t at = FindText(body, "var", from);
    if (at == npos) return {};
    const std::string_view rest = body.substr(at);
    const std::string_view decl = TrimBlanks(BetweenText(rest, "var", ";"));
    if (!name.empty() && FindText(decl, name) == 0) {
      const std::size_t eq = decl.find('=');
      return std::string(TrimBlanks(eq == npos ? decl : decl.substr(eq + 1)));
    }
    // A declaration without ";" after it ends the walk without a result.
    const std::size_t semi = rest.find(';');
    if (semi == npos) return {};
    from = at + semi + 1;
  }
}

}  // namespace qm
