#include "url/Scope.h"

#include "task/Task.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

// Directories are compared in the form they are stored in, cut to 127 bytes.
std::string_view StoredDir(std::string_view dir) {
  return dir.substr(0, 127);
}

// The task's download settings and start URL, read together: the settings dialog may change
// them under the table lock while a run is going.
struct TScopeView {
  std::int32_t Depth;
  std::int32_t Scope;
  std::int32_t Content;
  bool ForeignImages;
  std::string StartUrl;
};

TScopeView ScopeOf(const TTask& task) {
  TLockGuard guard(task.TableLock);
  const TaskSettings s = task.Settings();
  return {s.Depth, s.Scope, s.Content, s.ForeignImages, task.StartUrl()};
}

bool HasExtraDirs(const TTask& task) {
  TLockGuard guard(task.TableLock);
  return !task.ExtraDirs.empty();
}

}  // namespace

bool SameSite(std::string_view url, std::string_view start) {
  const std::string d = DomainOf(HostOf(start));
  const std::string e = DomainOf(HostOf(url));
  // Without a start host nothing is "the site" (an empty text would occur in every host).
  if (e.empty() || d.empty()) return false;
  if (d.size() == e.size()) return EqualsIgnoringAsciiCase(d, e);
  return d.size() < e.size() ? e.find(d) != std::string::npos : d.find(e) != std::string::npos;
}

bool InSameDir(std::string_view url, std::string_view ref) {
  if (!SameHost(url, ref)) return false;
  return SplitUrl(url).Dir.starts_with(SplitUrl(ref).Dir);
}

std::int32_t ClassifyExt(std::string_view name) {
  if (HasExtIn(name, PageExts)) return KindPage;
  if (HasExtIn(name, ImageExts)) return KindImage;
  if (HasExtIn(name, ProgramExts)) return KindProgram;
  if (HasExtIn(name, ArchiveExts)) return KindArchive;
  if (HasExtIn(name, DocumentExts)) return KindDocument;
  return KindOther;
}

bool CollectExtraDir(TTask& task, std::string_view url, std::string_view start) {
  const std::string dir = SplitUrl(url).Dir;
  if (dir.empty() || InSameDir(url, start)) return false;
  TLockGuard guard(task.TableLock);
  for (const ExtraDirRec& e : task.ExtraDirs)
    if (e.Dir.View() == StoredDir(dir)) return false;
  ExtraDirRec rec{};
  rec.Dir.Set(dir);
  rec.Selected = 0;
  task.ExtraDirs.push_back(rec);
  return true;
}

bool InExtraDirs(const TTask& task, std::string_view url, std::string_view start) {
  if (InSameDir(url, start)) return true;
  const std::string dir = SplitUrl(url).Dir;
  TLockGuard guard(task.TableLock);
  for (const ExtraDirRec& e : task.ExtraDirs)
    if (e.Selected != 0 && std::string_view(dir).starts_with(e.Dir.View())) return true;
  return false;
}

bool AddExtraDir(TTask& task, std::string_view dir, std::string_view start, bool selected) {
  if (dir.empty()) return false;
  // Inside the start directory: downloaded anyway.
  if (dir.starts_with(SplitUrl(start).Dir)) return false;
  TLockGuard guard(task.TableLock);
  for (const ExtraDirRec& e : task.ExtraDirs)
    if (e.Dir.View() == StoredDir(dir)) return false;
  ExtraDirRec rec{};
  rec.Dir.Set(dir);
  rec.Selected = selected ? 1 : 0;
  task.ExtraDirs.push_back(rec);
  return true;
}

THostRule HostRuleOf(const TTask& task, TTagKind kind) {
  const TScopeView s = ScopeOf(task);
  switch (kind) {
    case TTagKind::ImgSrc:
    case TTagKind::ImgLowsrc:
    case TTagKind::ImageSrc:
    case TTagKind::InputSrc:
    case TTagKind::Background:
    case TTagKind::EmbedSrc:
    case TTagKind::ScriptSrc:
      return {s.ForeignImages, 0};
    case TTagKind::LinkHref:
    case TTagKind::FrameSrc:
      return {false, 0};
    case TTagKind::IFrameSrc:
    case TTagKind::MetaRefresh:
      return {false, 1};
    case TTagKind::AnchorHref:
    case TTagKind::AreaHref:
      return {false, s.Scope};
  }
  return {false, 1};
}

bool HostAllowed(bool anyHost, std::int32_t hostOnly, std::string_view url,
                 std::string_view start) {
  if (anyHost) return true;
  return hostOnly == 0 ? SameSite(url, start) : SameHost(url, start);
}

bool LinkHostAllowed(const TTask& task, TTagKind kind, std::string_view url) {
  const THostRule rule = HostRuleOf(task, kind);
  return HostAllowed(rule.AnyHost, rule.HostOnly, url, ScopeOf(task).StartUrl);
}

bool EmbeddedAllowed(const TTask& task) {
  return (ScopeOf(task).Content & 1) != 0;
}

bool AnchorDepthAllows(const TTask& task, std::int32_t pageLayer) {
  const std::int32_t depth = ScopeOf(task).Depth;
  return depth == -1 || pageLayer < depth;
}

bool AnchorDirAllows(const TTask& task, std::string_view url) {
  const TScopeView s = ScopeOf(task);
  if (s.Scope != ScopeDirectory) return true;
  return HasExtraDirs(task) ? InExtraDirs(task, url, s.StartUrl) : InSameDir(url, s.StartUrl);
}

bool ContentAllows(const TTask& task, std::int32_t kind) {
  const std::int32_t content = ScopeOf(task).Content;
  switch (kind) {
    case KindPage:
      return true;
    case KindImage:
    case KindDocument:
      return (content & 1) != 0;
    case KindProgram:
    case KindArchive:
    case KindOther:
      return content == ContentEverything;
    default:
      return false;
  }
}

bool CollectStartPageDirs(TTask& task, std::int32_t pageIndex,
                          const std::vector<std::string>& links) {
  const TScopeView s = ScopeOf(task);
  if (s.Scope != ScopeDirectory || pageIndex != 0) return false;
  for (const std::string& link : links) CollectExtraDir(task, link, s.StartUrl);
  return HasExtraDirs(task);
}

TExtendUrlRec LinkRecord(TLinkGroup group, std::string_view url, const TExtendUrlRec& page,
                         std::int32_t pageIndex) {
  TExtendUrlRec rec = EmptyUrlRec();
  rec.Url.Set(url);
  rec.Status = NotDownloaded;
  rec.Layer = page.Layer;
  rec.ReferId = pageIndex;
  rec.OwnBase = 1;
  switch (group) {
    case TLinkGroup::Embedded:
      rec.ContentKind = KindImage;
      break;
    case TLinkGroup::Script:
      // A script resolves its links against the page that uses it, so it refers to that page's
      // own base entry.
      rec.ReferId = page.OwnBase == 1 ? pageIndex : page.ReferId;
      rec.OwnBase = 0;
      rec.ContentKind = KindScript;
      break;
    case TLinkGroup::PagePart:
      rec.ContentKind = KindPage;
      break;
    case TLinkGroup::Followed:
      rec.Layer = page.Layer + 1;
      rec.ContentKind = ClassifyExt(SplitUrl(url).File);
      break;
  }
  return rec;
}

}  // namespace qm
