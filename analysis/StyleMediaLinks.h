#pragma once
// Links beyond the tag attributes of the classic scans: url() and @import in style sheets, in
// <style> blocks and in style attributes; srcset candidates of img and source; the sources of
// source, video, audio and track and the poster of video. They are collected, recorded and
// rewritten like embedded images (host test of images, table lookup, local relative path); the
// rewrite replaces only the URL text inside each construct. data: URLs, fragment-only links and
// url() inside comments are left alone.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/LinkScanner.h"
#include "task/UrlRecord.h"

namespace qm {

class TTask;

// Links found, kept apart by how they are recorded.
struct TStyleMediaLinks {
  TLinkList Styles;  // url() and @import targets: content kind by extension
  TLinkList Media;   // srcset, media and track sources: images
};

// The whole text is a style sheet at `sheetUrl`: its links resolve against it and are made
// relative to its local file.
void ScanStyleSheet(TTask& task, std::string_view sheetUrl, std::string& css,
                    TStyleMediaLinks& links);
// A page whose links resolve against `baseUrl`: <style> blocks, style attributes, srcset, media
// and track tags. Script elements and comments are passed over.
void ScanStyleAndMedia(TTask& task, std::string_view baseUrl, std::string& page,
                       TStyleMediaLinks& links);

// The analysis of one fetched file: a ".css" file is scanned as a style sheet, a script is left
// alone, anything else is scanned as a page. Gives the records to add for the links found (none
// when the task does not take images), each in the page's layer, referring to it, with its own
// base.
// `rewritten`, when given, tells whether the text was changed.
std::vector<TExtendUrlRec> ScanStyleAndMediaLinks(TTask& task, std::string_view pageUrl,
                                                  std::string_view baseUrl, std::string& text,
                                                  const TExtendUrlRec& page, std::int32_t pageIndex,
                                                  bool* rewritten = nullptr);

}  // namespace qm
