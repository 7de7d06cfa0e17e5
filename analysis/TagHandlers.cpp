// The tag kinds the analysis scans, each with its fixed opening, attribute, end mark and host
// rule. The openings end in a space, so a tag name followed by a line break is not matched.
#include "analysis/LinkScanner.h"
#include "task/Task.h"

namespace qm {
namespace {

// Read under the task's lock: the settings dialog may change it while a page is analysed.
bool ForeignImagesOf(const TTask& task) {
  return task.Settings().ForeignImages;
}

}  // namespace

void ScanImages(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                TScanScratch& scratch) {
  ScanTag(task, baseUrl, page, "src", ">", "<img ", ForeignImagesOf(task), 0, list, scratch);
  ScanTag(task, baseUrl, page, "lowsrc", ">", "<img ", ForeignImagesOf(task), 0, list, scratch);
  ScanTag(task, baseUrl, page, "src", ">", "<image ", ForeignImagesOf(task), 0, list, scratch);
}

void ScanInputs(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                TScanScratch& scratch) {
  ScanTag(task, baseUrl, page, "src", ">", "<input ", ForeignImagesOf(task), 0, list, scratch);
}

void ScanBackgrounds(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                     TScanScratch& scratch) {
  ScanTag(task, baseUrl, page, "background", ">", "<", ForeignImagesOf(task), 0, list, scratch);
}

void ScanEmbeds(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                TScanScratch& scratch) {
  ScanTag(task, baseUrl, page, "src", ">", "<embed ", ForeignImagesOf(task), 0, list, scratch);
}

void ScanScripts(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                 TScanScratch& scratch) {
  // The element runs to its closing tag, so an inline body is searched too. Script sources are
  // recorded by the analysis only when new, so the scan does not look them up itself.
  ScanTag(task, baseUrl, page, "src", "</script>", "<script ", ForeignImagesOf(task), 0, list,
          scratch, TTableLookup::Skip);
}

void ScanLinks(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
               TScanScratch& scratch) {
  ScanTag(task, baseUrl, page, "href", ">", "<link ", false, 0, list, scratch);
}

void ScanFrames(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                TScanScratch& scratch) {
  ScanTag(task, baseUrl, page, "src", ">", "<frame ", false, 0, list, scratch);
}

void ScanIFrames(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                 TScanScratch& scratch) {
  ScanTag(task, baseUrl, page, "src", "</iframe>", "<iframe ", false, 1, list, scratch);
}

void ScanMetaRefresh(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                     TScanScratch& scratch) {
  // The target follows "URL=" inside the content value, which ends at its closing quote.
  ScanTag(task, baseUrl, page, "URL", "\">", "<META ", false, 1, list, scratch);
}

void ScanAreas(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
               int hostOnly, TScanScratch& scratch) {
  ScanTag(task, baseUrl, page, "href", ">", "<area ", false, hostOnly, list, scratch);
}

void ScanAnchors(TTask& task, std::string_view baseUrl, std::string& page, TLinkList& list,
                 int hostOnly, TScanScratch& scratch) {
  ScanTag(task, baseUrl, page, "href", ">", "<a ", false, hostOnly, list, scratch);
}

}  // namespace qm
