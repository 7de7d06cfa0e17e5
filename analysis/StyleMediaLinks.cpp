#include "analysis/StyleMediaLinks.h"

#include <functional>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "analysis/CssLinks.h"
#include "analysis/TagWalk.h"
#include "config/Setting.h"
#include "task/Task.h"
#include "url/Scope.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

constexpr std::size_t npos = std::string_view::npos;

bool EqualsFolded(std::string_view text, std::string_view lowerWord) {
  if (text.size() != lowerWord.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (AsciiLower(text[i]) != lowerWord[i]) return false;
  return true;
}

// Builds the rewritten text piecewise; a text in which nothing changes is never copied.
class TRewriter {
 public:
  explicit TRewriter(std::string_view text) : text_(text), out_(SpareText()) { out_.clear(); }
  TRewriter(const TRewriter&) = delete;
  TRewriter& operator=(const TRewriter&) = delete;

  // Replaces text_[pos, pos + len) by `with`; calls come in text order.
  void Replace(std::size_t pos, std::size_t len, std::string_view with) {
    if (text_.substr(pos, len) == with) return;
    if (!changed_) out_.reserve(text_.size() + text_.size() / 16);
    changed_ = true;
    out_.append(text_, copied_, pos - copied_);
    out_.append(with);
    copied_ = pos + len;
  }

  // Puts the result into `page` (which `text_` views) when anything changed.
  void Finish(std::string& page) {
    if (!changed_) return;
    out_.append(text_, copied_);
    page.swap(out_);
  }
  bool Changed() const { return changed_; }

 private:
  // The text a rewrite replaced becomes the next rewrite's buffer: pages are not allocated anew
  // on every scan. (The scans of one thread never overlap.)
  static std::string& SpareText() {
    thread_local std::string spare;
    return spare;
  }

  std::string_view text_;
  std::string& out_;
  std::size_t copied_ = 0;
  bool changed_ = false;
};

// Turns link texts into local paths, collecting the URLs the table does not know yet.
class TLinkTaker {
 public:
  TLinkTaker(TTask& task, std::string_view baseUrl, TStyleMediaLinks& links) : task_(task) {
    bool redirected = false;
    base_ = task.ResolveBase(baseUrl, redirected);
    baseSplit_ = SplitUrl(base_);
    for (char c : baseSplit_.Dir)
      if (c == '\\') ++baseDepth_;
    if (RejectStringsOn) rejects_ = RejectStrings.Items();
    for (const TLinkList* list : {&links.Styles, &links.Media})
      for (const std::string& url : *list) seen_.insert(url);
  }

  // The refused strings occur in `text` (case ignored).
  bool Rejected(std::string_view text) const {
    for (const std::string& reject : rejects_)
      if (!reject.empty() && PosText(reject, text) != 0) return true;
    return false;
  }

  // The local path for the link `value`; false when the link stays as written.
  // `inTag`: the link is an attribute value, which an earlier scan of the same tag may have
  // rewritten already.
  bool Take(std::string_view value, bool inTag, TLinkList& list, std::string& local) {
    if (value.empty() || value[0] == '#' || StartsWithText(value, "data:") ||
        StartsWithText(value, "javascript:") || (inTag && ClimbsOutOfHost(value)))
      return false;
    const TResolved& link = Resolve(value);
    if (!link.Accepted) return false;

    const std::int32_t index = task_.FindUrlTarget(link.Absolute, target_);
    if (index == -1 && seen_.insert(link.Absolute).second) list.push_back(link.Absolute);
    // A known URL may have been redirected: point to the target's local file.
    const std::string& plain = LocalOf(index == -1 ? link.Absolute : target_);
    if (plain.empty()) return false;
    local = plain;
    local += link.Fragment;
    return true;
  }

 private:
  // A relative link in a tag that climbs above the host's root names a local path to another
  // host's folder, written by an earlier scan of the same tag (which replaces its value wherever
  // it occurs in the tag); resolved again it would point elsewhere.
  bool ClimbsOutOfHost(std::string_view value) const {
    while (value.starts_with("./")) value.remove_prefix(2);
    int ups = 0;
    while (value.starts_with("../")) {
      value.remove_prefix(3);
      ++ups;
    }
    return ups > baseDepth_;
  }

  // What a link value gives before the table is asked. Pages repeat their images (an arrow per
  // section), so it is worked out once per value.
  struct TResolved {
    bool Accepted = false;  // a URL came out and passed the host test
    std::string Absolute;   // without fragment
    std::string Fragment;   // "#..." or empty
  };
  const TResolved& Resolve(std::string_view value) {
    auto it = resolved_.find(value);
    if (it != resolved_.end()) return it->second;
    TResolved& link = resolved_.emplace(std::string(value), TResolved()).first->second;
    std::string absolute;
    if (!MakeAbsoluteUrl(value, base_, absolute)) return link;
    if (HasExtIn(absolute, NoQueryExts))
      absolute.resize(std::min(absolute.find('?'), absolute.size()));
    if (!LinkHostAllowed(task_, TTagKind::ImgSrc, absolute)) return link;
    const std::size_t hash = absolute.find('#');
    if (hash != npos) link.Fragment = absolute.substr(hash);
    absolute.resize(std::min(hash, absolute.size()));
    link.Accepted = !absolute.empty();
    link.Absolute = std::move(absolute);
    return link;
  }

  // RelativeLocalPath of a URL without fragment, worked out once per URL.
  const std::string& LocalOf(const std::string& url) {
    auto it = locals_.find(url);
    if (it == locals_.end()) it = locals_.emplace(url, RelativeLocalPath(url, baseSplit_)).first;
    return it->second;
  }

  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };

  TTask& task_;
  std::string base_;
  TSplitUrl baseSplit_;
  std::unordered_map<std::string, TResolved, TextHash, std::equal_to<>> resolved_;
  std::unordered_map<std::string, std::string> locals_;
  int baseDepth_ = 0;
  std::vector<std::string> rejects_;
  std::unordered_set<std::string> seen_;
  std::string target_;  // the table text of the link being taken, reused
};

// One scan over a text whose links resolve against `baseUrl`: every link span goes through the
// taker into the rewriter.
struct TScan {
  TScan(TTask& task, std::string_view baseUrl, TStyleMediaLinks& links, std::string_view text)
      : task(task), baseUrl(baseUrl), rewriter(text), links(links), text(text) {}

  TTask& task;
  std::string_view baseUrl;
  TRewriter rewriter;
  TStyleMediaLinks& links;
  std::string_view text;
  std::vector<TTextSpan> spans;
  std::string local;
  bool inTag = false;  // the spans being scanned lie in a tag's attribute

  // Made when the first link text turns up: most pages have none to take.
  TLinkTaker& Taker() {
    if (!taker_) taker_.emplace(task, baseUrl, links);
    return *taker_;
  }

  void Link(std::size_t pos, std::size_t len, TLinkList& list) {
    const std::string_view raw = text.substr(pos, len);
    const std::string_view value = TrimBlanks(raw);
    if (value.empty()) return;
    pos += static_cast<std::size_t>(value.data() - raw.data());
    if (Taker().Take(value, inTag, list, local)) rewriter.Replace(pos, value.size(), local);
  }

  // Style sheet text at text[from, from + len). Each construct's URL text is tested against the
  // refused strings. Inside an attribute, quotes may be written as &quot;.
  void Css(std::size_t from, std::size_t len, bool inAttribute) {
    spans.clear();
    FindCssUrls(text.substr(from, len), spans);
    for (TTextSpan s : spans) {
      constexpr std::string_view quot = "&quot;";
      std::string_view url = text.substr(from + s.Pos, s.Len);
      if (inAttribute && url.size() >= 2 * quot.size() && url.starts_with(quot) &&
          url.ends_with(quot))
        s = {s.Pos + quot.size(), s.Len - 2 * quot.size()};
      url = text.substr(from + s.Pos, s.Len);
      if (!Taker().Rejected(url)) Link(from + s.Pos, s.Len, links.Styles);
    }
  }

  void Srcset(std::size_t from, std::size_t len) {
    spans.clear();
    FindSrcsetUrls(text.substr(from, len), spans);
    for (TTextSpan s : spans) Link(from + s.Pos, s.Len, links.Media);
  }

 private:
  std::optional<TLinkTaker> taker_;
};

// The tags whose attributes may hold more than a style, and the two whose content is no markup.
enum class TTagName { Other, Img, Source, Video, Audio, Track, Style, Script };

TTagName NameOf(std::string_view tag) {
  switch (tag.size()) {
    case 3:
      if (EqualsFolded(tag, "img")) return TTagName::Img;
      break;
    case 5:
      if (EqualsFolded(tag, "video")) return TTagName::Video;
      if (EqualsFolded(tag, "audio")) return TTagName::Audio;
      if (EqualsFolded(tag, "track")) return TTagName::Track;
      if (EqualsFolded(tag, "style")) return TTagName::Style;
      break;
    case 6:
      if (EqualsFolded(tag, "source")) return TTagName::Source;
      if (EqualsFolded(tag, "script")) return TTagName::Script;
      break;
  }
  return TTagName::Other;
}

// Which attribute of which tag holds what. `ImgSrc`: the src of an img, taken only when the
// image scan passes over it (see SrcHiddenBySrcset).
enum class TValueKind { None, Style, Srcset, Url, ImgSrc };

TValueKind KindOf(TTagName tag, std::string_view attribute) {
  switch (attribute.size()) {
    case 3:
      if (!EqualsFolded(attribute, "src")) break;
      if (tag == TTagName::Img) return TValueKind::ImgSrc;
      if (tag == TTagName::Source || tag == TTagName::Video || tag == TTagName::Audio ||
          tag == TTagName::Track)
        return TValueKind::Url;
      break;
    case 5:
      if (EqualsFolded(attribute, "style")) return TValueKind::Style;
      break;
    case 6:
      if (EqualsFolded(attribute, "srcset"))
        return tag == TTagName::Img || tag == TTagName::Source ? TValueKind::Srcset
                                                               : TValueKind::None;
      if (EqualsFolded(attribute, "poster") && tag == TTagName::Video) return TValueKind::Url;
      break;
  }
  return TValueKind::None;
}

// The image scan decides by the first "src" in the text of an "<img " tag (up to its first '>');
// when that is the name of a srcset written before src, it passes the whole tag over and its src
// would stay as written. `nameEnd`: the end of the img tag's name.
bool SrcHiddenBySrcset(std::string_view text, std::size_t nameEnd) {
  if (nameEnd >= text.size() || text[nameEnd] != ' ') return false;
  const std::size_t gt = text.find('>', nameEnd);
  const std::string_view tagText = text.substr(nameEnd + 1, gt == npos ? npos : gt - nameEnd - 1);
  const std::size_t first = FindTextFrom(tagText, "src");
  return first != npos && StartsWithText(tagText.substr(first), "srcset");
}

struct TValue {
  TValueKind Kind;
  std::size_t Pos;
  std::size_t Len;
};

// The values of the tag whose name ends at `nameEnd` that may hold links, into `out`. Gives the
// index of the tag's '>', or npos when the tag is not closed.
std::size_t ReadValues(std::string_view text, std::size_t nameEnd, TTagName tag,
                       std::vector<TValue>& out) {
  out.clear();
  TAttributeWalk walk(text, nameEnd);
  while (walk.Next()) {
    const TValueKind kind = KindOf(tag, walk.Name());
    if (kind != TValueKind::None) out.push_back({kind, walk.ValuePos(), walk.ValueLen()});
  }
  return walk.End();
}

// Takes the values of one tag, text[nameStart, tagEnd) being the tag without its brackets.
void TakeValues(TScan& scan, const std::vector<TValue>& values, std::size_t nameStart,
                std::size_t nameEnd, std::size_t tagEnd) {
  // The same refusal as the tag scans: a tag holding a refused string yields nothing. It is
  // looked for when the tag has a value to take.
  int refused = -1;  // not looked for yet
  int imgSrc = -1;   // not looked for yet
  scan.inTag = true;
  for (const TValue& v : values) {
    TValueKind kind = v.Kind;
    if (kind == TValueKind::ImgSrc) {
      if (imgSrc < 0) imgSrc = SrcHiddenBySrcset(scan.text, nameEnd);
      if (!imgSrc) continue;
      kind = TValueKind::Url;
    }
    if (refused < 0)
      refused = scan.Taker().Rejected(scan.text.substr(nameStart, tagEnd - nameStart));
    if (refused) break;
    switch (kind) {
      case TValueKind::Style:
        scan.Css(v.Pos, v.Len, true);
        break;
      case TValueKind::Srcset:
        scan.Srcset(v.Pos, v.Len);
        break;
      case TValueKind::Url:
        scan.Link(v.Pos, v.Len, scan.links.Media);
        break;
      case TValueKind::None:
      case TValueKind::ImgSrc:
        break;
    }
  }
  scan.inTag = false;
}

void ScanTags(TScan& scan) {
  const std::string_view text = scan.text;
  TTagOpenings openings(text);
  std::vector<TValue> values;
  std::size_t i = 0;
  while ((i = openings.Next(i)) != npos) {
    const std::size_t nameStart = i + 1;
    if (text[nameStart] == '!') {
      if (text.substr(nameStart, 3) == "!--") {
        const std::size_t end = text.find("-->", i + 4);
        if (end == npos) return;
        i = end + 3;
      } else {
        i = nameStart;
      }
      continue;
    }
    const std::size_t nameEnd = TagNameEnd(text, nameStart);
    const TTagName tag = NameOf(text.substr(nameStart, nameEnd - nameStart));
    const std::size_t tagEnd = ReadValues(text, nameEnd, tag, values);
    if (tagEnd == npos) return;
    if (!values.empty()) TakeValues(scan, values, nameStart, nameEnd, tagEnd);
    i = tagEnd + 1;
    if (tag == TTagName::Style || tag == TTagName::Script) {
      const bool style = tag == TTagName::Style;
      const std::size_t close = FindTextFrom(text, style ? "</style" : "</script", i);
      if (close == npos) return;
      if (style) scan.Css(i, close - i, false);
      i = close;
    }
  }
}

}  // namespace

namespace {

bool StyleSheetScan(TTask& task, std::string_view sheetUrl, std::string& css,
                    TStyleMediaLinks& links) {
  TScan scan(task, sheetUrl, links, css);
  scan.Css(0, css.size(), false);
  scan.rewriter.Finish(css);
  return scan.rewriter.Changed();
}

bool StyleAndMediaScan(TTask& task, std::string_view baseUrl, std::string& page,
                       TStyleMediaLinks& links) {
  TScan scan(task, baseUrl, links, page);
  ScanTags(scan);
  scan.rewriter.Finish(page);
  return scan.rewriter.Changed();
}

}  // namespace

void ScanStyleSheet(TTask& task, std::string_view sheetUrl, std::string& css,
                    TStyleMediaLinks& links) {
  StyleSheetScan(task, sheetUrl, css, links);
}

void ScanStyleAndMedia(TTask& task, std::string_view baseUrl, std::string& page,
                       TStyleMediaLinks& links) {
  StyleAndMediaScan(task, baseUrl, page, links);
}

std::vector<TExtendUrlRec> ScanStyleAndMediaLinks(TTask& task, std::string_view pageUrl,
                                                  std::string_view baseUrl, std::string& text,
                                                  const TExtendUrlRec& page, std::int32_t pageIndex,
                                                  bool* rewritten) {
  std::vector<TExtendUrlRec> records;
  if (rewritten) *rewritten = false;
  if (page.ContentKind == KindScript || HasExtIn(pageUrl, ScriptExts)) return records;
  TStyleMediaLinks links;
  const bool changed = HasExtIn(SplitUrl(pageUrl).File, ".css;")
                           ? StyleSheetScan(task, pageUrl, text, links)
                           : StyleAndMediaScan(task, baseUrl, text, links);
  if (rewritten) *rewritten = changed;
  if (!EmbeddedAllowed(task)) return records;
  for (const std::string& url : links.Styles) {
    TExtendUrlRec rec = LinkRecord(TLinkGroup::Embedded, url, page, pageIndex);
    rec.ContentKind = ClassifyExt(SplitUrl(url).File);
    records.push_back(rec);
  }
  for (const std::string& url : links.Media)
    records.push_back(LinkRecord(TLinkGroup::Embedded, url, page, pageIndex));
  return records;
}

}  // namespace qm
