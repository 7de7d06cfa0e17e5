// Expressions: splitting "+" concatenations and {$name} templates into parts, and rebuilding them
// so that the saved page computes the path of the local copy instead of the remote URL.
#include <algorithm>

#include "analysis/JsClass.h"
#include "analysis/JsClassText.h"
#include "url/UrlLib.h"

namespace qm {

using namespace jstext;

std::string SafePathChars(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (UnsafePathChars.find(c) != npos) c = '/';
  return out;
}

namespace {

// Digits a script typically appends to the first literal (an id, a page number).
constexpr std::string_view kProbe = "0123456789";

// The relative path of the local copy of `literal` + ".html", without the extension(s) the
// mapping gives it. The saved script appends the rest of the URL to it, so the mapping must be
// the same for a longer URL: this is checked with a probe continuation (a shortened over-long
// name, or a "%" decoded together with what follows, fails it).
bool FirstLiteralPath(const std::string& literal, std::string_view base, std::string& path) {
  std::string absolute;
  MakeAbsoluteUrl(literal + ".html", base, absolute);
  if (absolute.empty() || !SameHost(absolute, base)) return false;
  path = RelativeLocalPath(absolute, base);
  // A URL with a query gets ".html" appended once more by the mapping; the script appends that
  // extension itself after the last part, so both come off here.
  const std::string_view added =
      HasExtIn(absolute, DynamicExts) ? std::string_view(".html.html") : ".html";
  if (!std::string_view(path).ends_with(added)) return false;
  path.resize(path.size() - added.size());

  std::string probe;
  MakeAbsoluteUrl(literal + std::string(kProbe) + ".html", base, probe);
  const std::string expected = path + std::string(kProbe) + std::string(added);
  return !probe.empty() && RelativeLocalPath(probe, base) == expected;
}

}  // namespace

bool RebuildExpression(std::string_view src, std::string_view base, const TParaRecordArray& parts,
                       std::string& out) {
  if (parts.empty()) return false;
  std::vector<std::string> texts;
  texts.reserve(parts.size());
  for (const TParaRecord& part : parts) texts.push_back(part.Text);

  if (parts[0].PartKind == Literal) {
    // The first literal is the start of the URL: it becomes the relative path of its local copy.
    // ".html" gives it a file name of its own, so that a trailing "/" or a dynamic extension is
    // not mapped as a whole page name.
    std::string path;
    if (!FirstLiteralPath(parts[0].Text, base, path)) return false;
    texts[0] = std::move(path);
  }
  for (std::size_t i = 0; i < parts.size(); ++i)
    if (parts[i].PartKind == Literal) texts[i] = SafePathChars(texts[i]);

  std::string result;
  result.reserve(src.size() + 32);
  std::size_t cursor = 0;  // 0-based
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::size_t start =
        parts[i].Position > 0 ? static_cast<std::size_t>(parts[i].Position - 1) : 0;
    if (start > cursor && cursor < src.size())
      result.append(src.substr(cursor, std::min(start, src.size()) - cursor));
    result += texts[i];
    cursor = std::max(cursor, start + parts[i].Text.size());
  }
  if (cursor < src.size()) result.append(src.substr(cursor));
  out = std::move(result);
  return true;
}

namespace {

void AddPartIfText(TParaRecordArray& parts, std::string_view text, std::uint8_t kind,
                   std::size_t position) {
  if (text.empty() || text == "'") return;
  parts.push_back(TParaRecord{std::string(text), kind, -1, static_cast<std::int32_t>(position)});
}

// 1-based position, within `expr`, of the trimmed form of the piece that starts at `offset`.
std::size_t TrimmedPosition(std::string_view piece, std::size_t offset) {
  std::size_t lead = 0;
  while (lead < piece.size() && static_cast<unsigned char>(piece[lead]) <= 32) ++lead;
  return offset + lead + 1;
}

}  // namespace

std::string SplitConcatenation(std::string& expr, std::string_view base, TParaRecordArray& parts) {
  expr.resize(CutAtStopChars(expr).size());
  parts.clear();

  // Cut at every "+", quotes or not.
  std::string_view text = expr;
  std::size_t start = 0;
  while (true) {
    const std::size_t plus = text.find('+', start);
    const std::string_view segment = text.substr(start, plus == npos ? npos : plus - start);
    if (!segment.empty() && segment != "'")
      parts.push_back(
          TParaRecord{std::string(segment), Ident, -1, static_cast<std::int32_t>(start + 1)});
    if (plus == npos) break;
    start = plus + 1;
  }

  std::string joined;
  for (TParaRecord& part : parts) {
    const std::string raw = std::move(part.Text);
    std::string_view t = TrimBlanks(raw);
    if (!t.empty() && (t[0] == '\'' || t[0] == '"')) {
      const char q = t[0];
      t.remove_prefix(1);
      const std::size_t last = t.rfind(q);
      if (last != npos) t = t.substr(0, last);
      part.PartKind = Literal;
    } else if (!t.empty() && (t.back() == '\'' || t.back() == '"')) {
      t.remove_suffix(1);
      part.PartKind = Literal;
    } else {
      part.PartKind = Ident;
    }
    // The part starts where its text first occurs in the raw segment.
    const std::size_t at = std::string_view(raw).find(t);
    part.Position += static_cast<std::int32_t>(at == npos ? 0 : at);
    part.Text = std::string(t);
    joined += part.Text;
  }
  std::erase_if(parts, [](const TParaRecord& part) { return part.Text.empty(); });

  std::string out;
  if (!RebuildExpression(expr, base, parts, out)) return {};
  if (!out.empty() && HasExtIn(joined, DynamicExts)) out += DynamicPageSuffix(expr);
  return out;
}

std::string SplitTemplate(std::string& expr, std::string_view base, TParaRecordArray& parts) {
  expr.resize(CutAtStopChars(expr).size());
  parts.clear();

  const std::string_view text = expr;
  std::size_t start = 0;  // 0-based offset of the rest in expr
  while (true) {
    const std::size_t mark = text.find("{$", start);
    if (mark == npos) break;
    if (mark == start) {
      const std::size_t close = text.find('}', start);
      // An unfinished placeholder is no URL text: it is dropped (the rebuilt expression keeps it
      // as written, since only the parts are replaced).
      if (close == npos) {
        start = text.size();
        break;
      }
      const std::string_view inner = text.substr(start + 2, close - start - 2);
      AddPartIfText(parts, TrimBlanks(inner), Ident, TrimmedPosition(inner, start + 2));
      start = close + 1;
    } else {
      const std::string_view literal = text.substr(start, mark - start);
      AddPartIfText(parts, TrimBlanks(literal), Literal, TrimmedPosition(literal, start));
      start = mark;
    }
  }
  const std::string_view tail = text.substr(start);
  AddPartIfText(parts, TrimBlanks(tail), Literal, TrimmedPosition(tail, start));

  std::string out;
  if (!RebuildExpression(expr, base, parts, out)) return {};
  return out;
}

std::string Unquote(std::string_view text) {
  std::string_view t = StripQuotes(text);
  const std::size_t first = t.find('+');
  if (first != npos) {
    t.remove_prefix(first + 1);
    const std::size_t last = t.rfind('+');
    t = last == npos ? std::string_view() : t.substr(0, last);
  }
  return std::string(t);
}

std::string JoinValue(const TParaRecordArray& parts, const TParas& args) {
  std::string out;
  for (const TParaRecord& part : parts) {
    if (part.PartKind == Literal) {
      out += part.Text;
    } else if (part.PartKind == ParamRef && part.RefIndex >= 0 &&
               static_cast<std::size_t>(part.RefIndex) < args.size()) {
      out += Unquote(args[part.RefIndex]);
    }
  }
  return out;
}

std::string BuildCallExpr(const TParaRecordArray& parts, const TParas& args) {
  std::string out;
  for (const TParaRecord& part : parts) {
    if (part.PartKind == Literal) {
      out += '\'';
      out += part.Text;
      out += "'+";
    } else if (part.PartKind == ParamRef && part.RefIndex >= 0 &&
               static_cast<std::size_t>(part.RefIndex) < args.size()) {
      out += Unquote(args[part.RefIndex]);
      out += '+';
    }
  }
  if (!out.empty()) out.pop_back();
  return out;
}

}  // namespace qm
