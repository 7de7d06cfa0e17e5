#pragma once
// What a task downloads: the host test the link scanner applies per tag kind, the admitted
// directories of the Directory scope, and the rules by which the analysis thread records the
// links of a page in the URL table (depth, directory, content kind).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "task/UrlRecord.h"

namespace qm {

class TTask;

// Content kinds of a record.
enum TContentKind : std::int32_t {
  KindPage = 0,
  KindImage = 1,
  KindProgram = 2,
  KindArchive = 3,
  KindDocument = 4,
  KindOther = -1,
  KindScript = 10,
};

// ---- URL tests ----

// The domains of the two hosts (first label dropped when there are at least two dots) are equal
// ignoring ASCII case, or the shorter occurs inside the longer.
bool SameSite(std::string_view url, std::string_view start);
// Same host, and the directory of url begins with the directory of ref.
bool InSameDir(std::string_view url, std::string_view ref);
// Content kind of a local file name: page, image, program, archive, document, else other.
std::int32_t ClassifyExt(std::string_view name);

// ---- admitted directories (Directory scope); each holds the task's TableLock ----

// Adds the directory of url, unselected, when it lies outside the start directory and is not
// listed yet.
bool CollectExtraDir(TTask& task, std::string_view url, std::string_view start);
// In the start directory, or below a directory the user selected.
bool InExtraDirs(const TTask& task, std::string_view url, std::string_view start);
// Adds a directory typed by the user unless it is empty, inside the start directory or listed.
bool AddExtraDir(TTask& task, std::string_view dir, std::string_view start, bool selected);

// ---- host test of the link scanner ----

// The tag attributes the scanner takes links from.
enum class TTagKind {
  ImgSrc,
  ImgLowsrc,
  ImageSrc,
  InputSrc,
  Background,
  EmbedSrc,
  ScriptSrc,
  LinkHref,
  FrameSrc,
  IFrameSrc,
  MetaRefresh,
  AnchorHref,
  AreaHref,
};

// The scanner's two host parameters: any host at all, else 0 for the site, non-zero for the
// start URL's host only.
struct THostRule {
  bool AnyHost = false;
  std::int32_t HostOnly = 0;
};

THostRule HostRuleOf(const TTask& task, TTagKind kind);
// Whether a link with these host parameters is collected and rewritten.
bool HostAllowed(bool anyHost, std::int32_t hostOnly, std::string_view url, std::string_view start);
// The same for a tag kind, against the task's StartUrl.
bool LinkHostAllowed(const TTask& task, TTagKind kind, std::string_view url);

// ---- recording rules of the analysis thread ----

// The groups of scanner results, recorded differently.
enum class TLinkGroup {
  Embedded,  // images, backgrounds, inputs, embeds
  Script,    // script files
  PagePart,  // style links, frames, inline frames, refresh targets
  Followed,  // anchors, image-map areas, links the script evaluator found
};

// Images and documents are wanted (Content 1 or -1): embedded links are recorded.
bool EmbeddedAllowed(const TTask& task);
// The page's anchors are followed: Depth -1, or the page lies above Depth.
bool AnchorDepthAllows(const TTask& task, std::int32_t pageLayer);
// Directory scope: the link is below an admitted directory (or the start directory when none
// were collected). Always true in the other scopes.
bool AnchorDirAllows(const TTask& task, std::string_view url);
// Pages always; images and documents when Content has bit 0; everything else only for -1.
bool ContentAllows(const TTask& task, std::int32_t kind);
// On the start page in Directory scope, offers every followed link to CollectExtraDir; true
// when the user must now confirm the collected directories.
bool CollectStartPageDirs(TTask& task, std::int32_t pageIndex,
                          const std::vector<std::string>& links);

// The record to add for a link of `group` found in `page` (index pageIndex): Status 0, Url cut
// to 127 bytes, Layer/ReferId/OwnBase/ContentKind by group, every other field zero.
TExtendUrlRec LinkRecord(TLinkGroup group, std::string_view url, const TExtendUrlRec& page,
                         std::int32_t pageIndex);

}  // namespace qm
