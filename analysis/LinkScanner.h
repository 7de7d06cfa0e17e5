#pragma once
// The textual link scanner. Each scan looks for one kind of tag attribute that holds a link,
// resolves the link against the page's base URL, collects links the task should fetch, and
// rewrites the attribute so that the saved page points to the local copy of its target.
// It does not parse HTML: it searches fixed tag openings and attribute names, ASCII case ignored,
// and copies everything else of the page byte for byte.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/TagIndex.h"

namespace qm {

class TTask;

// Collected absolute URLs, in the order found. Scans append to it; the caller clears it.
using TLinkList = std::vector<std::string>;

struct TLinkMemo;

// Where a scan builds the rewritten page, and the tag openings of the page. One per analysis
// thread, reused from scan to scan so that a page costs no fresh allocation per tag kind.
struct TScanScratch {
  TScanScratch();
  ~TScanScratch();

  std::string Text;

  // The scans of one page share its tag index when the caller names the page with TrackPage: the
  // index is then built once and again only after a scan or the caller changed the page. The
  // caller must call PageChanged after every change of the page it makes itself. Without
  // TrackPage each scan indexes the page for itself.
  void TrackPage(const std::string& page) {
    tracked_ = &page;
    tagsValid_ = false;
  }
  void PageChanged() { tagsValid_ = false; }
  // The openings of one kind in `page`, indexed now when the index is not known to be up to date.
  const std::vector<std::size_t>& TagsOf(const std::string& page, int kind) {
    if (tracked_ != &page || !tagsValid_) {
      Tags.Build(page);
      tagsValid_ = tracked_ == &page;
    }
    return Tags.Of(kind, page);
  }
  // The changes a scan made to the page, given in the order made; brings the index up to date.
  std::vector<TTagIndex::TEdit> Edits;
  void Rewritten(const std::string& page) {
    if (tracked_ == &page && tagsValid_)
      Tags.Update(page, Edits);
    else
      tagsValid_ = false;
  }
  // Off: the scans search the page for their openings as they did before the index (tests compare
  // the two).
  bool UseTagIndex = true;

  // What link values resolved to in earlier scans, made at first use.
  TLinkMemo& LinkMemo();

 private:
  std::unique_ptr<TLinkMemo> links_;
  TTagIndex Tags;
  const std::string* tracked_ = nullptr;
  bool tagsValid_ = false;
};

// Whether a scan asks the URL table about the links it takes: a known link is pointed at the
// local file of its redirect target and not listed again. Script sources skip the lookup (the
// analysis records them only when new).
enum class TTableLookup { KnownLinks, Skip };

// Scans `page` for `tagStart` ... `endMark` tags carrying `attribute` and rewrites it in place.
// `anyHost` accepts links to every host; otherwise `hostOnly` 0 admits the start URL's site and
// any other value only its host. New URLs are appended to `list` (no duplicates added).
void ScanTag(TTask& task, std::string_view baseUrl, std::string& page, std::string_view attribute,
             std::string_view endMark, std::string_view tagStart, bool anyHost, int hostOnly,
             TLinkList& list, TScanScratch& scratch,
             TTableLookup lookup = TTableLookup::KnownLinks);

// The tag kinds, each a ScanTag with fixed parameters.
void ScanImages(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                TScanScratch& scratch);  // img src, img lowsrc, image src
void ScanInputs(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                TScanScratch& scratch);
void ScanBackgrounds(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                     TScanScratch& scratch);
void ScanEmbeds(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                TScanScratch& scratch);
// Script sources; the table lookup is skipped.
void ScanScripts(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                 TScanScratch& scratch);
void ScanLinks(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
               TScanScratch& scratch);
void ScanFrames(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                TScanScratch& scratch);
void ScanIFrames(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                 TScanScratch& scratch);
void ScanMetaRefresh(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                     TScanScratch& scratch);
// Image-map areas and anchors; `hostOnly` is the task's Scope.
void ScanAreas(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
               int hostOnly, TScanScratch& scratch);
void ScanAnchors(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                 int hostOnly, TScanScratch& scratch);

// Puts "<html>" in front of a page that contains "<html>" (any case) but does not begin with "<",
// so that text before the markup does not hide the page's start.
void FixHtmlStart(std::string& page);

}  // namespace qm
