#include "analysis/LinkScanner.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

#include "analysis/JsClass.h"
#include "config/Setting.h"
#include "task/Task.h"
#include "url/Scope.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

constexpr std::size_t npos = std::string_view::npos;

// Start of the last occurrence of `pattern` (ASCII case ignored) that begins in [lo, hi].
std::size_t FindLastTextIn(std::string_view pattern, std::string_view text, std::size_t lo,
                           std::size_t hi) {
  if (pattern.empty() || text.size() < pattern.size()) return npos;
  if (hi > text.size() - pattern.size()) hi = text.size() - pattern.size();
  const char first = AsciiLower(pattern[0]);
  for (std::size_t i = hi + 1; i-- > lo;) {
    if (AsciiLower(text[i]) != first) continue;
    std::size_t k = 1;
    while (k < pattern.size() && AsciiLower(text[i + k]) == AsciiLower(pattern[k])) ++k;
    if (k == pattern.size()) return i;
  }
  return npos;
}

bool ContainsExact(std::string_view text, std::string_view part) {
  return text.find(part) != npos;
}

// Appends URLs to a list unless the list holds them already, without rescanning it each time.
class UniqueAppender {
 public:
  explicit UniqueAppender(TLinkList& list) : list_(list) {}

  void Add(const std::string& url) {
    if (!indexed_) Index();
    const std::size_t h = std::hash<std::string_view>{}(url);
    auto [it, end] = byHash_.equal_range(h);
    for (; it != end; ++it)
      if (list_[it->second] == url) return;
    byHash_.emplace(h, list_.size());
    list_.push_back(url);
  }

 private:
  void Index() {
    for (std::size_t i = 0; i < list_.size(); ++i)
      byHash_.emplace(std::hash<std::string_view>{}(list_[i]), i);
    indexed_ = true;
  }

  TLinkList& list_;
  std::unordered_multimap<std::size_t, std::size_t> byHash_;
  bool indexed_ = false;
};

// What a link value gives before the table is asked.
struct ResolvedLink {
  bool resolved = false;  // a URL came out
  bool hasFragment = false;
  // The host tests against the start URL (-1 not made yet): the tag kinds differ in their rule.
  std::int8_t sameSite = -1;
  std::int8_t sameHost = -1;
  // The answer for the value in scan number `answeredIn`, once the table has been asked: a page's
  // repeated links (the same navigation in every section) ask it once per scan.
  std::uint64_t answeredIn = 0;
  bool taken = false;
  std::string_view answer;  // views `local` or a node of the plain local paths
  std::string absolute;     // without fragment
  std::string fragmented;   // with its fragment, when it has one
  std::string local;        // relative local path with the fragment, worked out when needed
  const std::string* plainLocal = nullptr;  // that of `absolute` (TLinkMemo::TSlot::plainLocals)
};

// Hashes std::string keys and string_view look-ups alike.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};

}  // namespace

// What link values resolve to, kept from scan to scan and from page to page. A value's absolute
// URL, the host test and its relative local path depend only on the base up to its last "/", the
// page's local folder and the start URL, so the pages of one folder share the work; the table is
// asked again in every scan.
struct TLinkMemo {
  struct TContext {
    std::string resolveBase;  // the base URL up to its last "/" (all of it when it has none)
    std::string host;         // the page's local folder
    std::string dir;
    std::string startUrl;
  };
  // By link value, and relative local paths by absolute URL (links that differ only in their
  // fragment, or that are redirected to one target, share one). Nodes stay put while a scan runs,
  // so views of their texts stay valid for the whole scan.
  struct TSlot {
    TContext context;
    std::unordered_map<std::string, ResolvedLink, TextHash, std::equal_to<>> resolved;
    std::unordered_map<std::string, std::string, TextHash, std::equal_to<>> plainLocals;
    std::uint64_t lastScan = 0;
  };
  // A few contexts at once, as pages of a few folders alternate. Past kMaxValues values and paths
  // in all, the least recently used contexts start again (each costs some 300 bytes).
  static constexpr std::size_t kSlots = 16;
  static constexpr std::size_t kMaxValues = 2048;
  std::vector<TSlot> slots;
  std::uint64_t scans = 0;
  // The split of the last base: the scans of a page share one base.
  std::string splitBase;
  TSplitUrl split;

  const TSplitUrl& SplitOf(const std::string& base) {
    if (scans == 0 || base != splitBase) {
      split = SplitUrl(base);
      splitBase = base;
    }
    return split;
  }

  // The slot of `context` for a new scan, made (or taken from the least recently used) when
  // missing.
  TSlot& Enter(std::string_view resolveBase, const TSplitUrl& page, std::string_view startUrl) {
    ++scans;
    TSlot* slot = nullptr;
    for (TSlot& s : slots) {
      const TContext& c = s.context;
      if (c.resolveBase == resolveBase && c.host == page.Host && c.dir == page.Dir &&
          c.startUrl == startUrl)
        slot = &s;
    }
    if (slot == nullptr) {
      slot = slots.size() < kSlots ? &slots.emplace_back() : LeastRecentlyUsed(nullptr);
      slot->context = {std::string(resolveBase), page.Host, page.Dir, std::string(startUrl)};
      Forget(*slot);
    }
    slot->lastScan = scans;
    std::size_t held = 0;
    for (const TSlot& s : slots) held += s.resolved.size() + s.plainLocals.size();
    while (held > kMaxValues) {
      TSlot* other = LeastRecentlyUsed(slot);
      if (other == nullptr) other = slot;
      held -= other->resolved.size() + other->plainLocals.size();
      Forget(*other);
      if (other == slot) break;
    }
    return *slot;
  }

  // The least recently used slot that holds anything, other than `except`; nullptr for none.
  TSlot* LeastRecentlyUsed(const TSlot* except) {
    TSlot* found = nullptr;
    for (TSlot& s : slots)
      if (&s != except && (except == nullptr || !s.resolved.empty() || !s.plainLocals.empty()) &&
          (found == nullptr || s.lastScan < found->lastScan))
        found = &s;
    return found;
  }

  static void Forget(TSlot& slot) {
    slot.resolved.clear();
    slot.plainLocals.clear();
  }
};

TScanScratch::TScanScratch() = default;
TScanScratch::~TScanScratch() = default;

TLinkMemo& TScanScratch::LinkMemo() {
  if (!links_) links_ = std::make_unique<TLinkMemo>();
  return *links_;
}

namespace {

// The base URL's part that resolving a relative or root link reads: up to its last "/".
std::string_view ResolveBaseOf(std::string_view base) {
  const std::string_view b = TrimBlanks(base);
  const std::size_t scheme = SchemeLength(b);
  const std::size_t slash = b.rfind('/');
  if (scheme == 0 || slash == npos || slash < scheme) return b;
  return b.substr(0, slash + 1);
}

// Everything one ScanTag call needs for each tag it meets.
struct TagScan {
  TTask& task;
  std::string base;
  TSplitUrl baseSplit;  // links are made relative to the base's local file
  std::string_view attribute;
  bool anyHost;
  int hostOnly;
  UniqueAppender collected;
  std::vector<std::string> rejects;  // refused strings when refusing is on, read once per scan
  std::vector<char> rejectBytes;     // ExactByteOf each of them
  TLinkMemo::TSlot* memo = nullptr;  // the resolutions of this scan's context
  std::uint64_t number = 0;          // the scan's number, for the answers of the table
  TFunctionRecord expr;              // the expression of the current tag, when its value is one
  std::string target;                // the current link's table text (its redirect target), reused
  std::string quotedOutput;  // the current tag's rewritten expression, requoted for its value
  std::string startUrl;      // the task's start URL, read once per scan
  bool lookUp = true;        // known links are looked up in the table (not for script sources)
};

// Where the attribute first occurs in a tag's text, when the scan knows it already.
constexpr std::size_t kNotKnown = npos - 1;

// The attribute's value as written, or nothing when the tag carries no usable attribute.
// `doubleQuoted` tells whether the value stands between double quotes (plain or escaped).
// `known`: the attribute's first place in the tag text (npos for none), or kNotKnown.
bool ReadAttributeValue(std::string_view tagText, std::string_view attribute,
                        std::string_view& value, bool& doubleQuoted, std::size_t known) {
  doubleQuoted = false;
  const std::size_t at = known == kNotKnown ? FindTextFrom(tagText, attribute) : known;
  if (at == npos) return false;
  // Only a name that starts the tag text or follows a space, ";" or a line break counts; the
  // first hit decides, so "src" inside "lowsrc" hides a later "src".
  const bool standsAlone = at == 0 || tagText[at - 1] == ' ' || tagText[at - 1] == ';' ||
                           (at >= 2 && tagText[at - 2] == '\r' && tagText[at - 1] == '\n');
  if (!standsAlone) return false;
  std::string_view rest = TrimBlanks(tagText.substr(at + attribute.size()));
  if (rest.empty() || rest[0] != '=') return false;
  rest = TrimBlanks(rest.substr(1));

  if (const std::size_t gt = rest.find('>'); gt != npos) rest = rest.substr(0, gt);
  // Quoted forms; the escaped ones come from markup written by script strings. A missing
  // closing quote leaves an empty value.
  for (std::string_view quote : {"\\\"", "\\'", "\"", "'"}) {
    if (rest.substr(0, quote.size()) != quote) continue;
    rest.remove_prefix(quote.size());
    const std::size_t close = rest.find(quote);
    value = close == npos ? std::string_view() : rest.substr(0, close);
    doubleQuoted = quote.back() == '"';
    return true;
  }
  if (const std::size_t space = rest.find(' '); space != npos) rest = rest.substr(0, space);
  if (const std::size_t crlf = rest.find("\r\n"); crlf != npos) rest = rest.substr(0, crlf);
  value = rest;
  return true;
}

// A rewritten expression ends in +".html" when it opens a dynamic page; between double quotes
// that quote would end the attribute and break the saved markup, so there the suffix takes the
// single quotes the expression's own literals already use.
std::string_view QuotedForAttribute(TagScan& scan, const std::string& output, bool doubleQuoted) {
  constexpr std::string_view suffix = "+\".html\"";
  if (!doubleQuoted || output.size() < suffix.size() ||
      output.compare(output.size() - suffix.size(), suffix.size(), suffix) != 0)
    return output;
  scan.quotedOutput.assign(output, 0, output.size() - suffix.size());
  scan.quotedOutput += "+'.html'";
  return scan.quotedOutput;
}

// A byte of `reject` that is no letter, so that it occurs in a text as it is (the search ignores
// only the case of letters); 0 when every byte is a letter.
char ExactByteOf(std::string_view reject) {
  for (char c : reject)
    if (AsciiLower(c) == AsciiUpper(c)) return c;
  return 0;
}

bool RejectedByList(const TagScan& scan, std::string_view tagText) {
  for (std::size_t i = 0; i < scan.rejects.size(); ++i) {
    const std::string& reject = scan.rejects[i];
    if (reject.empty()) continue;
    // Most tags lack the refused string's "?" or "&": one byte search tells.
    const char exact = scan.rejectBytes[i];
    if (exact != 0 && tagText.find(exact) == npos) continue;
    if (FindTextFrom(tagText, reject) != npos) return true;
  }
  return false;
}

// RelativeLocalPath of a URL without fragment, worked out once per context.
const std::string& PlainLocal(TagScan& scan, std::string_view url) {
  auto& plainLocals = scan.memo->plainLocals;
  auto it = plainLocals.find(url);
  if (it == plainLocals.end())
    it = plainLocals.emplace(std::string(url), RelativeLocalPath(url, scan.baseSplit)).first;
  return it->second;
}

bool AskTable(TagScan& scan, ResolvedLink& link, std::string_view& local);

// The scan's host rule for a resolved link, tested on its URL with the fragment.
bool HostPasses(const TagScan& scan, ResolvedLink& link) {
  if (scan.anyHost) return true;
  const std::string& url = link.hasFragment ? link.fragmented : link.absolute;
  std::int8_t& known = scan.hostOnly == 0 ? link.sameSite : link.sameHost;
  if (known < 0)
    known = scan.hostOnly == 0 ? SameSite(url, scan.startUrl) : SameHost(url, scan.startUrl);
  return known != 0;
}

// Resolves a link value; when the task wants it, collects it and gives the local path that
// replaces it. False when the tag keeps its link.
bool TakeLink(TagScan& scan, std::string_view value, std::string_view& local) {
  // A link within the page is never taken (MakeAbsoluteUrl refuses it); pages hold many of their
  // own, which the memo need not keep.
  if (value[0] == '#') return false;
  // Pages repeat their links; what depends only on the value is worked out once per context.
  auto& resolved = scan.memo->resolved;
  auto it = resolved.find(value);
  if (it == resolved.end()) {
    it = resolved.emplace(std::string(value), ResolvedLink()).first;
    ResolvedLink& link = it->second;
    std::string absolute;
    if (!MakeAbsoluteUrl(value, scan.base, absolute)) return false;
    if (HasExtIn(absolute, NoQueryExts))
      absolute.resize(std::min(absolute.find('?'), absolute.size()));
    // The local path keeps the fragment; the table and the list do not.
    link.hasFragment = absolute.find('#') != std::string::npos;
    if (link.hasFragment) link.fragmented = absolute;
    absolute.resize(std::min(absolute.find('#'), absolute.size()));
    link.absolute = std::move(absolute);
    link.resolved = true;
  }
  ResolvedLink& link = it->second;
  if (!link.resolved || !HostPasses(scan, link)) return false;
  if (link.answeredIn == scan.number) {
    local = link.answer;
    return link.taken;
  }
  link.answeredIn = scan.number;
  link.taken = AskTable(scan, link, local);
  link.answer = local;
  return link.taken;
}

// The local path of a resolved link that the table knows (its redirect target's), or that of a
// link new to the table, which is collected.
bool AskTable(TagScan& scan, ResolvedLink& link, std::string_view& local) {
  const auto plainLocal = [&]() -> const std::string& {
    if (link.plainLocal == nullptr) link.plainLocal = &PlainLocal(scan, link.absolute);
    return *link.plainLocal;
  };
  const auto writtenLocal = [&]() -> const std::string& {
    if (!link.hasFragment) return plainLocal();
    link.local = RelativeLocalPath(link.fragmented, scan.baseSplit);
    return link.local;
  };

  std::string& target = scan.target;
  const std::int32_t index = scan.lookUp ? scan.task.FindUrlTarget(link.absolute, target) : -1;
  if (index == -1) {
    scan.collected.Add(link.absolute);
    local = writtenLocal();
    return !link.absolute.empty() && !local.empty();
  }
  // A known URL may have been redirected: point to the target's local file (without fragment).
  local = target == link.absolute ? plainLocal() : PlainLocal(scan, target);
  return !target.empty() && !local.empty();
}

// How a tag's text changes: every `from` becomes `to`. Both view texts of the scan or the page.
struct TagEdit {
  std::string_view from;
  std::string_view to;
};

// Decides what one tag yields. True when the tag is to be written back as `edit` says.
// `attributeAt`: as ReadAttributeValue's `known`.
bool ScanOneTag(TagScan& scan, std::string_view tagText, std::size_t attributeAt, TagEdit& edit) {
  if (RejectedByList(scan, tagText)) return false;
  std::string_view value;
  bool doubleQuoted = false;
  if (!ReadAttributeValue(tagText, scan.attribute, value, doubleQuoted, attributeAt)) return false;
  if (StartsWithText(value, "javascript:")) return false;

  TFunctionRecord& expr = scan.expr;
  bool fromExpression = false;
  if (ContainsExact(value, "+") || ContainsExact(value, "{$")) {
    TJsClass* script = scan.task.Script.get();
    if (script == nullptr) return false;
    expr = TFunctionRecord();
    expr.Expr = value;
    if (script->EvalExpr(expr)) {
      // The expression lives in a script function: its call sites are handled with the other
      // script calls; here only the expression is replaced by its rewritten form.
      script->AddFunction(expr, true);
      if (expr.Output.empty() || expr.Expr.empty()) return false;
      edit = {expr.Expr, QuotedForAttribute(scan, expr.Output, doubleQuoted)};
      return true;
    }
    value = expr.Output;
    fromExpression = true;
  }

  value = TrimBlanks(value);
  if (value.empty()) return false;
  std::string_view local;
  if (!TakeLink(scan, value, local)) return false;
  if (!fromExpression) {
    edit = {value, local};
    return true;
  }
  // A single-part expression is one variable or literal: the expression itself gives way to the
  // local path, and a variable holding the plain URL is marked for rewriting in its declaration.
  if (expr.Parts.size() != 1) {
    edit = {value, local};
    return true;
  }
  const std::int32_t ref = expr.Parts[0].RefIndex;
  TJsClass* script = scan.task.Script.get();
  if (ref >= 0 && static_cast<std::size_t>(ref) < script->Vars.size()) {
    TVarRecord& var = script->Vars[static_cast<std::size_t>(ref)];
    if (!ContainsExact(var.VarValue, "+") && !ContainsExact(var.VarValue, "{$")) {
      var.NewValue = ReplaceAll(var.VarValue, value, local);
      var.Changed = 1;
    }
  }
  if (expr.Expr.empty()) return false;
  edit = {expr.Expr, local};
  return true;
}

// NextTag as it was before the tag index, searching the text for everything: kept so that tests
// can compare the two (TScanScratch::UseTagIndex).
std::size_t NextTagBySearch(std::string_view text, std::string_view attribute,
                            std::string_view tagStart, std::size_t from) {
  std::size_t attr = FindTextFrom(text, attribute, from);
  const std::size_t tag = FindTextFrom(text, tagStart, from);
  if (attr == npos || tag == npos) return npos;
  while (attr < tag + tagStart.size()) {
    attr = FindTextFrom(text, attribute, attr < tag ? tag : attr + 1);
    if (attr == npos) return npos;
  }
  return FindLastTextIn(tagStart, text, tag, attr - tagStart.size());
}

// The occurrences of a scan's tag opening: taken from the page's tag index, or searched in the
// text for an opening the index does not hold.
class TagOpenings {
 public:
  TagOpenings(std::string_view text, std::string_view opening,
              const std::vector<std::size_t>* indexed)
      : text_(text), opening_(opening), indexed_(indexed) {}

  std::size_t Size() const { return opening_.size(); }

  // The first occurrence at or after `from`. A scan asks with `from` growing, so the answer is
  // found by stepping on from the previous one: every opening is passed over a few times at
  // most, where a binary search per tag would cost a chain of cache misses.
  std::size_t First(std::size_t from) const {
    if (indexed_ == nullptr) return FindTextFrom(text_, opening_, from);
    const std::vector<std::size_t>& at = *indexed_;
    if (cursor_ > 0 && at[cursor_ - 1] >= from) cursor_ = 0;  // asked further back: start over
    while (cursor_ < at.size() && at[cursor_] < from) ++cursor_;
    return cursor_ == at.size() ? npos : at[cursor_];
  }

  // The start of the last occurrence that begins in [lo, hi].
  std::size_t LastIn(std::size_t lo, std::size_t hi) const {
    if (indexed_ == nullptr) return FindLastTextIn(opening_, text_, lo, hi);
    const std::vector<std::size_t>& at = *indexed_;
    if (cursor_ < at.size() && at[cursor_] == lo) {  // lo is First's answer: step on from it
      std::size_t i = cursor_;
      if (at[i] > hi) return npos;
      while (i + 1 < at.size() && at[i + 1] <= hi) ++i;
      return at[i];
    }
    auto it = std::upper_bound(at.begin(), at.end(), hi);
    if (it == at.begin()) return npos;
    --it;
    return *it >= lo ? *it : npos;
  }

 private:
  std::string_view text_;
  std::string_view opening_;
  const std::vector<std::size_t>* indexed_;
  mutable std::size_t cursor_ = 0;  // First's last answer (an index into *indexed_)
};

// Where the next tag to look at begins: the nearest tag opening before the next occurrence of the
// attribute that follows a tag opening, so that tags without the attribute are jumped over.
// `attr` is that occurrence, which is also the first after the end of the opening returned.
std::size_t NextTag(std::string_view text, std::string_view attribute, const TagOpenings& tags,
                    std::size_t from, std::size_t& attr) {
  const std::size_t tag = tags.First(from);
  if (tag == npos) return npos;
  // An attribute before the end of the next tag opening belongs to no tag of this kind. Most
  // tags name it first ("<a href="): one comparison finds it there.
  const std::size_t after = tag + tags.Size();
  attr = after < text.size() && StartsWithText(text.substr(after), attribute)
             ? after
             : FindTextFrom(text, attribute, after);
  if (attr == npos) return npos;
  return tags.LastIn(tag, attr - tags.Size());
}

}  // namespace

void ScanTag(TTask& task, std::string_view baseUrl, std::string& page, std::string_view attribute,
             std::string_view endMark, std::string_view tagStart, bool anyHost, int hostOnly,
             TLinkList& list, TScanScratch& scratch, TTableLookup lookup) {
  if (attribute.empty() || endMark.empty() || tagStart.empty()) return;
  const std::string_view text(page);
  const bool indexed = scratch.UseTagIndex;
  const int kind = indexed ? TTagIndex::KindOf(tagStart) : -1;
  // Every page has a "<": for that opening the rare attribute is looked for first.
  if (kind == TTagIndex::kAnyTag && FindTextFrom(text, attribute) == npos) return;
  const TagOpenings tags(text, tagStart, kind < 0 ? nullptr : &scratch.TagsOf(page, kind));
  std::size_t tagPos = npos;
  // The attribute's first place after the current tag's opening, when known.
  std::size_t attrPos = kNotKnown;
  if (indexed) {
    tagPos = tags.First(0);
    if (tagPos == npos) return;
    // No attribute after the first opening: no tag carries one.
    attrPos = FindTextFrom(text, attribute, tagPos + tagStart.size());
    if (attrPos == npos) return;
  } else {
    if (FindTextFrom(text, attribute) == npos) return;
    tagPos = FindTextFrom(text, tagStart);
    if (tagPos == npos) return;
  }

  bool redirected = false;
  TagScan scan{task,
               task.ResolveBase(baseUrl, redirected),
               {},
               attribute,
               anyHost,
               hostOnly,
               UniqueAppender(list),
               {},
               {},
               {},
               {},
               {},
               {},
               {},
               task.StartUrl(),
               lookup == TTableLookup::KnownLinks};
  TLinkMemo& memo = scratch.LinkMemo();
  scan.baseSplit = memo.SplitOf(scan.base);
  if (RejectStringsOn) scan.rejects = RejectStrings.Items();
  for (const std::string& reject : scan.rejects) scan.rejectBytes.push_back(ExactByteOf(reject));
  scan.memo = &memo.Enter(ResolveBaseOf(scan.base), scan.baseSplit, scan.startUrl);
  scan.number = memo.scans;

  // The page is copied into the scratch buffer piece by piece, from the first tag that changes;
  // a page in which no tag changes is left as it is.
  std::string& out = scratch.Text;
  out.clear();
  scratch.Edits.clear();
  std::size_t copied = 0;  // page text before this is in `out`
  std::string attributeAssign(attribute);
  attributeAssign += '=';
  while (tagPos != npos) {
    const std::size_t textStart = tagPos + tagStart.size();
    const std::size_t endPos = FindTextFrom(text, endMark, tagPos);
    // No end mark, or nothing between the opening and the end mark: this tag kind ends here and
    // the rest of the page stays as it is.
    if (endPos == npos || endPos <= textStart) break;
    const std::string_view tagText = text.substr(textStart, endPos - textStart);
    const std::size_t tagEnd = endPos + endMark.size();

    TagEdit edit;
    // (An occurrence that runs past the end mark is none of the tag text's.)
    const std::size_t attributeAt = attrPos == kNotKnown                   ? kNotKnown
                                    : attrPos + attribute.size() <= endPos ? attrPos - textStart
                                                                           : npos;
    if (ScanOneTag(scan, tagText, attributeAt, edit)) {
      if (copied == 0) out.reserve(page.size() + page.size() / 8);
      out.append(text, copied, tagPos - copied);
      out += tagStart;
      const std::size_t newFrom = out.size();
      if (StartsWithText(tagText, attributeAssign) ||
          FindTextFrom(tagText, attributeAssign) != npos)
        AppendReplaced(out, tagText, edit.from, edit.to);
      else
        out += tagText;
      scratch.Edits.push_back({textStart, endPos, newFrom, out.size()});
      out += endMark;
      copied = tagEnd;
    }
    tagPos = indexed ? NextTag(text, attribute, tags, tagEnd, attrPos)
                     : NextTagBySearch(text, attribute, tagStart, tagEnd);
  }
  if (copied == 0) return;
  out.append(text, copied);
  page.swap(out);
  out.clear();
  scratch.Rewritten(page);
}

void FixHtmlStart(std::string& page) {
  if (!page.empty() && page[0] != '<' && FindTextFrom(page, "<html>") != npos)
    page.insert(0, "<html>");
}

}  // namespace qm
