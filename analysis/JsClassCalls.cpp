// Call sites: the functions of a script that pass a URL on to "window.open" or
// "document.location", the calls of those functions and targets in the page, the URLs they open,
// and the rewriting of the page so that the saved copy opens the local files.
#include <algorithm>
#include <set>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "analysis/JsClass.h"
#include "analysis/JsClassText.h"
#include "analysis/ManyPatterns.h"
#include "platform/Files.h"
#include "task/Task.h"
#include "url/UrlLib.h"

namespace qm {

using namespace jstext;

namespace {

// The list of new URLs with a set beside it, so that a page with many links stays linear.
class UrlCollector {
 public:
  explicit UrlCollector(std::vector<std::string>& list)
      : list_(list), known_(list.begin(), list.end()) {}
  void Add(const std::string& url) {
    if (known_.insert(url).second) list_.push_back(url);
  }

 private:
  std::vector<std::string>& list_;
  std::unordered_set<std::string> known_;
};

// Bounds on the re-evaluations of one function's calls (cycles end earlier, when an expression
// comes back) and on the expressions they build: an argument that repeats a parameter would
// otherwise double the expression with every step. No URL the table can hold is that long.
constexpr int kMaxReevaluations = 64;
constexpr std::size_t kMaxCallExprBytes = 1024;

// The absolute form of a URL a call opens, when it is on the start URL's host: made canonical
// through the task's table and listed when the table does not know it. `local` receives the
// relative path of its local copy.
std::string AcceptCallUrl(const TJsClass& js, std::string_view value, UrlCollector& urls,
                          std::string& local) {
  local.clear();
  std::string absolute;
  if (!MakeAbsoluteUrl(value, js.PageUrl, absolute) || !SameHost(absolute, js.StartUrl)) return {};
  std::string target;
  const std::int32_t index = js.Task ? js.Task->FindUrlTarget(absolute, target) : -1;
  if (index >= 0) absolute.swap(target);
  local = RelativeLocalPath(absolute, js.PageUrl);
  absolute.resize(CutBefore(absolute, "#").size());
  if (index < 0) urls.Add(absolute);
  return absolute;
}

}  // namespace

std::string TJsClass::RewriteExpr(std::string& expr, TParaRecordArray& parts,
                                  const TParas& params) {
  std::string out = SplitConcatenation(expr, PageUrl, parts);
  bool resolved = true;
  for (TParaRecord& part : parts) {
    if (part.PartKind == Literal) continue;
    const std::int32_t var = FindVar(part.Text);
    if (var >= 0) {
      part.PartKind = VarRef;
      part.RefIndex = var;
    }
    for (std::size_t i = 0; i < params.size(); ++i) {
      if (EqualsIgnoringAsciiCase(params[i], part.Text)) {
        part.PartKind = ParamRef;
        part.RefIndex = static_cast<std::int32_t>(i);
        break;
      }
    }
    if (part.PartKind == Ident) resolved = false;
  }
  return resolved ? out : std::string();
}

std::string TJsClass::ScanScript(std::string_view script, std::string_view target,
                                 std::string& found) {
  found.clear();
  std::string result(script);
  if (FindText(script, target) == npos) return result;
  found = std::string(target);
  if (FindText(script, "function ") == npos) return result;

  HeaderReader reader(script);
  NextHit openBrace = NextChar(script, '{');
  NextHit closeBrace = NextChar(script, '}');
  std::size_t from = 0;
  while (true) {
    const std::size_t function = FindText(script, "function ", from);
    if (function == npos) break;
    std::size_t at = function + 9;
    TFunctionRecord r;
    if (reader.Read(at, r)) {
      const std::size_t brace = openBrace.At(at);
      if (brace != npos) at = brace;
      // The body up to the first "}": nested braces are not counted.
      const std::string_view body = BetweenExact(script.substr(at), "{", "}");
      const std::size_t call = body.find(target);
      std::string callee, value;
      if (call != npos && ParseCall(TrimBlanks(body.substr(call)), callee, value) &&
          !r.Params.empty()) {
        r.Expr.clear();
        found = r.FuncName;
        const std::string& first = r.Params[0];
        if (value == first) {
          // Passes its first parameter straight on: its calls are visited like the target's.
          AddFunction(r, false);
        } else if (!first.empty() && value.find(first) != npos) {
          r.Expr = value;
          if (!RewriteExpr(r.Expr, r.Parts, r.Params).empty()) AddFunction(r, false);
        } else {
          const std::string initialiser = FindVarInBody(body, value);
          if (!initialiser.empty()) {
            r.Expr = initialiser;
            AddFunction(r, false);
          } else {
            found.clear();
          }
        }
      }
    }
    const std::size_t close = closeBrace.At(at);
    from = close == npos ? at : close + 1;
  }

  // Each new expression is replaced throughout the script, in record order.
  std::vector<std::pair<std::string, std::string>> replacements;
  for (TFunctionRecord& record : Functions) {
    if (record.Expr.empty() || record.Done) continue;
    record.Output = RewriteExpr(record.Expr, record.Parts, record.Params);
    if (!record.Output.empty()) replacements.emplace_back(record.Expr, record.Output);
    record.Done = 1;
  }
  ForgetFunctionIndex();  // the expressions were cut by RewriteExpr
  if (replacements.empty()) return result;
  return ReplaceAllInTurn(script, replacements);
}

std::string TJsClass::ScanPageScripts(std::string_view target) {
  std::string found;
  if (!PageText || FindText(*PageText, target) == npos) return found;
  found = std::string(target);
  TFunctionRecord direct;
  direct.FuncName = std::string(target);
  AddFunction(direct, false);

  static constexpr std::string_view kOpen = "<script ";
  static constexpr std::string_view kClose = "</script>";
  const std::string& page = *PageText;
  std::size_t from = 0;
  while (true) {
    const std::size_t tag = FindText(page, kOpen, from);
    if (tag == npos) break;
    const std::size_t close = FindText(page, kClose, tag);
    const std::size_t blockStart = tag + kOpen.size();
    if (close != npos && close > blockStart) {
      const std::string_view block = std::string_view(page).substr(blockStart, close - blockStart);
      std::string name;
      std::string rewritten = ScanScript(block, target, name);
      if (!name.empty() && name != target) {
        // A function of this block passes the target on: this block alone is rewritten, and
        // later blocks are not examined.
        found = name;
        if (rewritten != block) {
          std::string text;
          text.reserve(page.size() + rewritten.size() - block.size());
          text.append(page, 0, blockStart);
          text += rewritten;
          text.append(page, close);
          *PageText = std::move(text);
          ++PageRewrites;
        }
        return found;
      }
    }
    if (close == npos) break;
    from = close + kClose.size();
  }
  return found;
}

void TJsClass::ScanScriptFile(std::string_view path) {
  const std::string native = NativePath(path);
  TScriptFileStamp stamp;
  ScanStampedFile(path, native, stamp, FileStamp(native, stamp.Size, stamp.Changed));
}

bool TJsClass::ScanScriptFileIfPresent(std::string_view path) {
  const std::string native = NativePath(path);
  TScriptFileStamp stamp;
  if (!FileStamp(native, stamp.Size, stamp.Changed)) return false;
  ScanStampedFile(path, native, stamp, true);
  return true;
}

void TJsClass::ScanStampedFile(std::string_view path, const std::string& native,
                               const TScriptFileStamp& stamp, bool stamped) {
  // Most pages of a site load the same script file. One that names neither target adds nothing,
  // so as long as it is unchanged it is not read again.
  if (stamped) {
    const auto known = targetFreeScripts_.find(native);
    if (known != targetFreeScripts_.end() && known->second.Size == stamp.Size &&
        known->second.Changed == stamp.Changed)
      return;
  }
  std::string text;
  if (!ReadWholeFile(native, text))
    throw std::runtime_error("Cannot open file \"" + std::string(path) + "\"");
  if (stamped && FindText(text, "window.open") == npos &&
      FindText(text, "document.location") == npos) {
    targetFreeScripts_[native] = stamp;
    return;
  }
  std::string found;
  const std::string opened = ScanScript(text, "window.open", found);
  ScanScript(opened, "document.location", found);
}

namespace {

bool ProcessDirect(TJsClass& js, const TFunctionRecord& record, UrlCollector& urls);
bool ProcessCalls(TJsClass& js, TFunctionRecord& record, UrlCollector& urls,
                  std::set<std::string>& seen, const std::vector<std::size_t>* sites);

// Fewer functions than this are looked for one by one.
constexpr std::size_t kCallIndexFrom = 8;

// Where the names of the functions with a URL expression occur in the page (ASCII case ignored,
// as FindText finds them), found for all of them in one pass, so that a page with thousands of
// functions is not read once per function.
class TCallSites {
 public:
  bool Valid() const { return valid_; }
  void Invalidate() {
    valid_ = false;
    byName_.clear();
  }
  void Build(std::string_view page, const std::vector<TFunctionRecord>& functions,
             std::size_t first) {
    valid_ = true;
    std::vector<std::string> names;
    for (std::size_t i = first; i < functions.size(); ++i)
      if (!functions[i].Expr.empty() && !functions[i].FuncName.empty())
        names.push_back(AsciiLowerCase(functions[i].FuncName));
    if (names.size() < kCallIndexFrom) return;
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    const std::vector<std::string_view> patterns(names.begin(), names.end());
    std::vector<std::vector<std::size_t>> hits;
    if (!FindAllNoCase(page, patterns, hits)) return;
    for (std::size_t i = 0; i < names.size(); ++i) byName_.emplace(names[i], std::move(hits[i]));
  }
  // The sites of `name`; nullptr when it was not indexed (the caller searches itself).
  const std::vector<std::size_t>* Of(std::string_view name) const {
    if (byName_.empty()) return nullptr;
    const auto it = byName_.find(AsciiLowerCase(name));
    return it == byName_.end() ? nullptr : &it->second;
  }

 private:
  bool valid_ = false;
  std::unordered_map<std::string, std::vector<std::size_t>> byName_;
};

}  // namespace

bool TJsClass::ApplyFunctions(std::vector<std::string>& list) {
  UrlCollector urls(list);
  TCallSites sites;
  for (std::size_t i = 0; i < Functions.size(); ++i) {
    if (Functions[i].FuncName.empty()) continue;
    if (Functions[i].Expr.empty()) {
      if (ProcessDirect(*this, Functions[i], urls)) sites.Invalidate();  // the page was rewritten
      continue;
    }
    if (!sites.Valid() && PageText) sites.Build(*PageText, Functions, i);
    // A call that passes an expression re-evaluates the record (it becomes the function making
    // that call) and the calls of that function are visited. An expression that comes back
    // (recursion, a cycle of functions) is not followed again, and the chain has a bound.
    std::set<std::string> seen{Functions[i].Expr};
    for (int pass = 0; pass < kMaxReevaluations; ++pass)
      if (ProcessCalls(*this, Functions[i], urls, seen, sites.Of(Functions[i].FuncName))) break;
  }
  ForgetFunctionIndex();  // re-evaluated records hold other expressions now
  WriteBackVars();
  return true;
}

bool TJsClass::ProcessDirectCalls(const TFunctionRecord& record, std::vector<std::string>& list) {
  UrlCollector urls(list);
  return ProcessDirect(*this, record, urls);
}

bool TJsClass::ProcessFunctionCalls(TFunctionRecord& record, std::vector<std::string>& list) {
  UrlCollector urls(list);
  std::set<std::string> seen{record.Expr};
  const bool done = ProcessCalls(*this, record, urls, seen, nullptr);
  ForgetFunctionIndex();
  return done;
}

void TJsClass::WriteBackVars() {
  if (Vars.empty() || !PageText) return;
  const auto pending = [](const TVarRecord& var) {
    return var.Changed == 1 && var.WrittenBack == 0;
  };
  // Most pages change none of their variables: their text is not copied.
  if (std::none_of(Vars.begin(), Vars.end(), pending)) return;
  std::string text = *PageText;
  for (TVarRecord& var : Vars) {
    if (!pending(var)) continue;
    const std::string head = "var " + var.VarName + "=";
    text = ReplaceAll(text, head + var.VarValue, head + var.NewValue);
    var.WrittenBack = 1;
  }
  *PageText = std::move(text);
  ++PageRewrites;
}

namespace {

bool ProcessDirect(TJsClass& js, const TFunctionRecord& record, UrlCollector& urls) {
  const std::string& name = record.FuncName;
  if (!js.PageText || name.empty()) return false;
  const std::string& page = *js.PageText;
  if (FindText(page, name) == npos) return false;

  CallSearch search(page);
  NextHit exactName(page,
                    [&name](std::string_view t, std::size_t from) { return t.find(name, from); });
  NextHit tagEnd = NextChar(page, '>');
  std::string out;
  out.reserve(page.size() + page.size() / 16);
  std::size_t from = 0;
  while (true) {
    const std::size_t at = FindText(page, name, from);
    if (at == npos) break;
    out.append(page, from, at - from);

    // The rest of the tag or statement: from the name (exact) to the first ">".
    const std::size_t exact = exactName.At(at);
    const std::size_t gt = tagEnd.At(at);
    std::string_view tail;
    if (exact != npos && gt != npos && gt >= exact + name.size())
      tail = std::string_view(page).substr(exact + name.size(), gt - exact - name.size());

    std::string value, local;
    bool rewrite = false;
    std::string_view argument;
    if (ParseCallValue(search, at, argument)) {
      std::int32_t fromVar = -1;
      if (ContainsExact(argument, "+") || ContainsExact(argument, "{$")) {
        // An expression: the function records deal with it.
      } else if (argument[0] == '\'' || argument[0] == '"') {
        value = std::string(StripQuotes(argument));
      } else {
        const std::int32_t var = js.FindVar(TrimBlanks(argument));
        if (var >= 0 && !ContainsExact(js.Vars[var].VarValue, "+") &&
            !ContainsExact(js.Vars[var].VarValue, "{$")) {
          value = Unquote(js.Vars[var].VarValue);
          fromVar = var;
        }
      }
      if (!value.empty()) {
        const std::string absolute = AcceptCallUrl(js, value, urls, local);
        if (!absolute.empty() && !local.empty()) {
          if (fromVar >= 0) {
            // The declaration is rewritten instead of the call.
            TVarRecord& var = js.Vars[fromVar];
            var.NewValue = ReplaceAll(var.VarValue, value, local);
            var.Changed = 1;
          } else {
            rewrite = true;
          }
        }
      }
    }
    const std::size_t covered = std::min(name.size() + tail.size() + 1, page.size() - at);
    // Rewritten only where the text really is name, tail and ">" (an occurrence written in
    // another letter case, or without ">" after it, is copied as it stands).
    if (rewrite && exact == at && gt != npos) {
      out += name;
      out += ReplaceAll(tail, value, local);
      out += '>';
    } else {
      out.append(page, at, covered);
    }
    from = at + covered;
  }
  if (from < page.size()) out.append(page, from);
  *js.PageText = std::move(out);
  ++js.PageRewrites;
  return true;
}

bool ProcessCalls(TJsClass& js, TFunctionRecord& record, UrlCollector& urls,
                  std::set<std::string>& seen, const std::vector<std::size_t>* sites) {
  if (!js.PageText || record.FuncName.empty()) return true;
  const std::string& page = *js.PageText;
  // The occurrences of the name at or after a position: from the sites found beforehand, or
  // searched for.
  std::size_t site = 0;
  const auto next = [&](std::size_t from) {
    if (!sites) return FindText(page, record.FuncName, from);
    while (site < sites->size() && (*sites)[site] < from) ++site;
    return site < sites->size() ? (*sites)[site] : npos;
  };
  if (next(0) == npos) return true;

  HeaderReader reader(page);
  std::size_t from = 0;
  while (true) {
    const std::size_t at = next(from);
    if (at == npos) break;
    TFunctionRecord call;
    if (reader.Read(at, call)) {
      const std::string first = call.Params.empty() ? std::string() : call.Params[0];
      // The definition itself, or a call with too few arguments, opens nothing.
      const bool definition = !record.Params.empty() && first == record.Params[0];
      if (!definition && call.Params.size() >= record.Params.size()) {
        std::string value;
        if (!ContainsExact(first, "+")) {
          value = JoinValue(record.Parts, call.Params);
        } else {
          // The argument is itself an expression: evaluated on a copy, so that a failed
          // evaluation leaves the record as it was for the remaining calls. When it does not
          // lead to another enclosing function (a recursive call has the same calls), or leads
          // to an expression already followed, the call opens no usable URL.
          TFunctionRecord trial = record;
          trial.Expr = BuildCallExpr(record.Parts, call.Params);
          if (trial.Expr.size() <= kMaxCallExprBytes && js.EvalExpr(trial) &&
              trial.FuncName != record.FuncName && seen.insert(trial.Expr).second) {
            record = std::move(trial);
            return false;
          }
        }
        std::string local;
        if (!value.empty()) AcceptCallUrl(js, value, urls, local);
      }
    }
    from = at + record.FuncName.size() + 2;
  }
  return true;
}

}  // namespace

}  // namespace qm
