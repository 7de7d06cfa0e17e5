// Arbitrary page bytes through every tag scan, through ScanTag with assorted parameters, and
// through the style sheet, srcset and media scans (as a page and as a style sheet).
// The first byte chooses the task's settings: a table holding some URLs (one redirected), foreign
// images, the scope, refused strings, and the page's base URL.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/CssLinks.h"
#include "analysis/JsClass.h"
#include "analysis/LinkScanner.h"
#include "analysis/StyleMediaLinks.h"
#include "config/Setting.h"
#include "task/Task.h"
#include "task/UrlRecord.h"

namespace {

using namespace qm;

void AddEntry(TTask& task, std::string_view url) {
  TExtendUrlRec rec = EmptyUrlRec();
  rec.Url.Set(url);
  rec.Status = Saved;
  task.AddUrl(rec);
}

// Collected links carry no fragment and are not empty.
void CheckLinks(const TLinkList& links) {
  for (const std::string& link : links) {
    if (link.empty() || link.find('#') != std::string::npos) std::abort();
  }
}

// Spans lie inside the text, in order, without overlap.
void CheckSpans(const std::vector<TTextSpan>& spans, std::size_t size) {
  std::size_t end = 0;
  for (const TTextSpan& s : spans) {
    if (s.Pos < end || s.Pos > size || s.Len > size - s.Pos) std::abort();
    end = s.Pos + s.Len;
  }
}

// The style and media scans: their links are never data: URLs, and a text without any of their
// constructs comes back byte for byte.
void StyleAndMediaScans(TTask& task, const std::string& base, const std::string& input) {
  std::vector<TTextSpan> spans;
  FindCssUrls(input, spans);
  CheckSpans(spans, input.size());
  const bool noCss = spans.empty();
  spans.clear();
  FindSrcsetUrls(input, spans);
  CheckSpans(spans, input.size());

  TStyleMediaLinks found;
  std::string sheet = input;
  ScanStyleSheet(task, base, sheet, found);
  if (noCss && sheet != input) std::abort();
  std::string page = input;
  ScanStyleAndMedia(task, base, page, found);
  if (input.find('<') == std::string::npos && page != input) std::abort();
  for (const TLinkList* list : {&found.Styles, &found.Media}) {
    CheckLinks(*list);
    for (const std::string& link : *list)
      if (link.rfind("data:", 0) == 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  std::string page(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string input = page;

  const char* const bases[] = {"http://h/d/p.html", "http://w1.site.test/", "http://h",
                               "not a url"};
  const std::string base = bases[(flags >> 5) & 3];
  // Tasks are built once: a table is costly to create, and the scans never change it.
  static TTask& emptyTask = *new TTask;
  static TTask& tableTask = []() -> TTask& {
    TTask& t = *new TTask;
    AddEntry(t, "http://h/d/a.gif");
    AddEntry(t, "http://h/d/p.html");
    AddEntry(t, "http://w1.site.test/x.html");
    t.RedirectRecord(t.FindUrl("http://h/d/p.html"), "http://h/e/q.html");
    t.RedirectRecord(t.FindUrl("http://w1.site.test/x.html"), "http://h/y.html");
    return t;
  }();
  TTask& task = (flags & 16) ? tableTask : emptyTask;
  task.SetStartUrl((flags & 0x80) ? "http://h/d/p.html" : "http://w1.site.test/a/");
  if (!task.Script) task.Script = std::make_shared<TJsClass>();
  TaskSettings settings;
  settings.ForeignImages = (flags & 1) != 0;
  settings.Scope = (flags >> 1) & 3;
  task.SetSettings(settings);
  RejectStringsOn = (flags & 8) != 0;

  TLinkList links;
  TScanScratch scratch;
  task.Script->Prepare(&task, task.StartUrl(), base, page);
  FixHtmlStart(page);
  ScanImages(task, base, page, links, scratch);
  ScanBackgrounds(task, base, page, links, scratch);
  ScanInputs(task, base, page, links, scratch);
  ScanEmbeds(task, base, page, links, scratch);
  ScanScripts(task, base, page, links, scratch);
  ScanLinks(task, base, page, links, scratch);
  ScanFrames(task, base, page, links, scratch);
  ScanIFrames(task, base, page, links, scratch);
  ScanMetaRefresh(task, base, page, links, scratch);
  ScanAnchors(task, base, page, links, settings.Scope, scratch);
  ScanAreas(task, base, page, links, settings.Scope, scratch);
  CheckLinks(links);

  // Odd parameters: overlapping, empty and one-character marks.
  ScanTag(task, base, page, "a", "a", "a", true, 0, links, scratch);
  ScanTag(task, base, page, "<", ">", "<", false, 1, links, scratch);
  ScanTag(task, base, page, "src", "", "<img ", true, 0, links, scratch);
  ScanTag(task, base, page, "", ">", "<", true, 0, links, scratch);
  ScanTag(task, base, page, "=", "\"", "'", true, 2, links, scratch, TTableLookup::Skip);
  CheckLinks(links);

  StyleAndMediaScans(task, base, input);
  return 0;
}
