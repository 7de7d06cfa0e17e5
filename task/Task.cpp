#include "task/Task.h"

#include <new>
#include <stdexcept>

#include "analysis/JsClass.h"
#include "task/HttpWork.h"
#include "task/TaskIndex.h"

namespace qm {
namespace {

constexpr std::int32_t kGrowStep = 10000;
constexpr int kMaxRedirectHops = 10;

}  // namespace

TTask::TTask() : index_(std::make_unique<LookupIndex>()) {
  // Each task has its own script evaluator for the pages of its runs; a fresh task starts
  // stopped.
  Script = std::make_shared<TJsClass>();
  RunStart = Now();
  // A file let go may be what the analysis walk waits for.
  FileClaims.SetReleaseNotifier([this] { Changes.NotifyDetail(); });
}

TTask::~TTask() = default;

TaskSettings TTask::Settings() const {
  TLockGuard guard(TableLock);
  return settings_;
}

void TTask::SetSettings(const TaskSettings& settings) {
  TLockGuard guard(TableLock);
  settings_ = settings;
}

std::string TTask::StartUrl() const {
  TLockGuard guard(TableLock);
  return startUrl_;
}

void TTask::SetStartUrl(std::string_view url) {
  TLockGuard guard(TableLock);
  startUrl_.assign(url);
}

bool TTask::GrowTable(std::int32_t minCapacity) {
  if (minCapacity <= static_cast<std::int32_t>(Urls.size())) return true;
  const std::size_t oldSize = UrlFlags.size();
  const std::size_t newSize = static_cast<std::size_t>(Count) + kGrowStep;
  // The flags grow first and are cut back on failure, so they are never shorter than the table.
  try {
    UrlFlags.resize(newSize);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  try {
    Urls.resize(newSize);
  } catch (const std::exception&) {
    UrlFlags.resize(oldSize);
    return false;
  }
  return true;
}

std::int32_t TTask::AddUrl(const TExtendUrlRec& rec) {
  TLockGuard guard(TableLock);
  ++Count;
  if (!GrowTable(Count)) {
    --Count;  // the slot was never there
    return -1;
  }
  const std::int32_t n = Count - 1;
  TExtendUrlRec& slot = Urls[static_cast<std::size_t>(n)];
  slot = rec;
  slot.Kind = 1;
  slot.RedirectId = -1;
  slot.NextId = -1;
  slot.FirstChildId = -1;
  UrlFlagRec& flags = UrlFlags[static_cast<std::size_t>(n)];
  flags.Checked = 0;
  flags.HasCookies = 0;
  flags.Cookies.clear();

  if (index_->Consistent) index_->UrlsByText.Prefetch(LookupIndex::kAnyNode, slot.Url.View());
  const std::int32_t node = ForceDirPath(index_->KeyOf(slot.Url.View()));
  if (node < 0) {
    // The slot stays used but hangs nowhere in the tree.
    slot.ParentId = -1;
    slot.PrevId = -1;
    slot.LastChildId = -1;
    Changes.NotifyGrowth(1);
    return -1;
  }
  LinkUrlNode(node, n);
  ++Total;
  Changes.NotifyGrowth(1);
  return n;
}

std::int32_t TTask::AddNewUrl(const TExtendUrlRec& rec) {
  TLockGuard guard(TableLock);
  const std::string_view url = rec.Url.View();
  if (url.size() < 127 && FindUrl(url) >= 0) return kKnownUrl;
  return AddUrl(rec);
}

std::int32_t TTask::FindUrl(std::string_view url) {
  // A stored URL holds at most 127 bytes, so a longer argument is never found.
  if (url.size() > 127) return -1;
  TLockGuard guard(TableLock);
  if (Count <= 1) return -1;
  if (index_->Consistent) return index_->UrlsByText.Find(Urls, LookupIndex::kAnyNode, url);
  const std::int32_t node = FindDirPath(index_->KeyOf(url));
  if (node < 0) return -1;
  return FindUrlChild(node, url);
}

std::int32_t TTask::FindUrlTarget(std::string_view url, std::string& target) {
  TLockGuard guard(TableLock);
  const std::int32_t index = FindUrl(url);
  target.clear();
  if (index < 0) return index;
  const std::int32_t end = ResolveIndex(index);
  if (end >= 0 && end < static_cast<std::int32_t>(Urls.size()))
    target.assign(Urls[static_cast<std::size_t>(end)].Url.View());
  return index;
}

std::int32_t TTask::ResolveIndex(std::int32_t index) {
  TLockGuard guard(TableLock);
  const auto capacity = static_cast<std::int32_t>(Urls.size());
  if (index < 0 || index >= capacity) return index;
  // At most ten hops: this also ends redirect loops.
  for (int hop = 0; hop < kMaxRedirectHops; ++hop) {
    const std::int32_t next = Urls[static_cast<std::size_t>(index)].RedirectId;
    if (next < 0 || next >= capacity) break;
    index = next;
  }
  return index;
}

std::string TTask::GetUrl(std::int32_t index) {
  TLockGuard guard(TableLock);
  return GetRawUrl(ResolveIndex(index));
}

std::string TTask::GetRawUrl(std::int32_t index) {
  TLockGuard guard(TableLock);
  if (index < 0 || index >= static_cast<std::int32_t>(Urls.size())) return {};
  return Urls[static_cast<std::size_t>(index)].Url.Get();
}

TExtendUrlRec TTask::CopyRecord(std::int32_t index) {
  TLockGuard guard(TableLock);
  if (index < 0 || index >= static_cast<std::int32_t>(Urls.size())) {
    TExtendUrlRec empty = EmptyUrlRec();
    empty.RedirectId = -1;
    return empty;
  }
  return Urls[static_cast<std::size_t>(index)];
}

#define QM_TASK_GETTER(Type, Name, Field, Fallback)                                    \
  Type TTask::Name(std::int32_t index) {                                               \
    TLockGuard guard(TableLock);                                                       \
    if (index < 0 || index >= static_cast<std::int32_t>(Urls.size())) return Fallback; \
    return Urls[static_cast<std::size_t>(index)].Field;                                \
  }

QM_TASK_GETTER(std::int32_t, GetStatus, Status, -1)
QM_TASK_GETTER(std::int32_t, GetKind, Kind, -1)
QM_TASK_GETTER(std::int32_t, GetContentKind, ContentKind, -1)
QM_TASK_GETTER(std::int32_t, GetSize, Size, 0)
QM_TASK_GETTER(TDateTime, GetFileTime, FileTime, 0)
QM_TASK_GETTER(std::int32_t, GetLayer, Layer, 0)
#undef QM_TASK_GETTER

namespace {

// The counter kept for a status, nullptr for statuses without one.
std::int32_t* CounterOf(TTask& task, std::int32_t status) {
  switch (status) {
    case NotDownloaded:
      return &task.NotDownloadedCount;
    case Downloaded:
      return &task.DownloadedCount;
    case Saved:
      return &task.SavedCount;
    case DownloadError:
      return &task.ErrorCount;
    case AnalysisError:
      return &task.AnalysisErrorCount;
    default:
      return nullptr;
  }
}

}  // namespace

bool TTask::SetStatus(std::int32_t index, std::int32_t status) {
  TLockGuard guard(TableLock);
  if (index < 0 || index >= static_cast<std::int32_t>(Urls.size())) return false;
  TExtendUrlRec& rec = Urls[static_cast<std::size_t>(index)];
  if (rec.Status == status) return false;
  const std::int32_t awaiting = DownloadedCount;
  if (std::int32_t* old = CounterOf(*this, rec.Status)) --*old;
  if (std::int32_t* now = CounterOf(*this, status)) ++*now;
  if (status == Saved) SavedBytes += rec.Size;
  if (DownloadedCount != awaiting) PublishPagesAwaiting();
  rec.Status = status;
  // Nobody waits for an entry to be taken up: the analysis waits for it to be fetched, and a
  // wake-up for each claim only takes the table lock from the worker that claimed it.
  if (status != InProgress) Changes.NotifyDetail();
  return true;
}

void TTask::PublishPagesAwaiting() {
  PagesAwaitingAnalysis = DownloadedCount;
  // Workers held back at more waiting pages may go on.
  Changes.NotifyLevel(DownloadedCount);
}

bool TTask::ClaimEntry(std::int32_t index) {
  TLockGuard guard(TableLock);
  if (index < 0 || index >= static_cast<std::int32_t>(Urls.size())) return false;
  const TExtendUrlRec& rec = Urls[static_cast<std::size_t>(index)];
  if (rec.Kind != 1 || rec.Status != NotDownloaded) return false;
  return SetStatus(index, InProgress);
}

bool TTask::SetContentKind(std::int32_t index, std::int32_t value) {
  TLockGuard guard(TableLock);
  if (index < 0 || index >= static_cast<std::int32_t>(Urls.size())) return false;
  TExtendUrlRec& rec = Urls[static_cast<std::size_t>(index)];
  if (rec.ContentKind == value) return false;
  rec.ContentKind = value;
  return true;
}

void TTask::SetSize(std::int32_t index, std::int32_t bytes) {
  TLockGuard guard(TableLock);
  if (index < 0 || index >= static_cast<std::int32_t>(Urls.size())) return;
  Urls[static_cast<std::size_t>(index)].Size = bytes;
}

void TTask::SetFileTime(std::int32_t index, TDateTime time) {
  TLockGuard guard(TableLock);
  if (index < 0 || index >= static_cast<std::int32_t>(Urls.size())) return;
  Urls[static_cast<std::size_t>(index)].FileTime = time;
}

std::int32_t TTask::GetCount() {
  TLockGuard guard(TableLock);
  return Count;
}

std::int32_t TTask::Recount() {
  TLockGuard guard(TableLock);
  NotDownloadedCount = SavedCount = ErrorCount = AnalysisErrorCount = DownloadedCount = 0;
  SavedBytes = 0;
  Total = 0;
  const std::int32_t end = std::min<std::int32_t>(Count, static_cast<std::int32_t>(Urls.size()));
  for (std::int32_t i = 0; i < end; ++i) {
    const TExtendUrlRec& rec = Urls[static_cast<std::size_t>(i)];
    if (rec.Kind != 1 || rec.Status == Redirected) continue;
    ++Total;
    if (std::int32_t* counter = CounterOf(*this, rec.Status)) ++*counter;
    if (rec.Status == Downloaded || rec.Status == Saved) SavedBytes += rec.Size;
  }
  PublishPagesAwaiting();
  if (Total == 0) return 0;
  return static_cast<std::int32_t>((static_cast<std::int64_t>(SavedCount) + ErrorCount) * 100 /
                                   Total);
}

std::int32_t TTask::RedirectRecord(std::int32_t index, std::string_view newUrl, bool* created) {
  TLockGuard guard(TableLock);
  if (created) *created = false;
  if (index < 0 || index >= static_cast<std::int32_t>(Urls.size())) return -1;
  std::int32_t target = FindUrl(newUrl);
  if (target == -1) {
    // The target is new: it inherits the entry's depth, referrer and kind and is taken up by
    // the worker that met the redirect.
    TExtendUrlRec copy = Urls[static_cast<std::size_t>(index)];
    copy.Status = InProgress;
    copy.Url.Set(newUrl);
    copy.OwnBase = 1;
    target = AddUrl(copy);
    if (created) *created = target >= 0;
  }
  // A target that was in the table already keeps its status: marking it Redirected would drop a
  // saved page from the counts, or keep a fetched one from being analysed and saved.
  TExtendUrlRec& rec = Urls[static_cast<std::size_t>(index)];
  rec.RedirectId = target;
  rec.Status = Redirected;
  Changes.NotifyDetail();
  return target;
}

std::int32_t TTask::RedirectUrl(std::string_view oldUrl, std::string_view newUrl, bool* created) {
  TLockGuard guard(TableLock);
  if (created) *created = false;
  const std::int32_t index = FindUrl(oldUrl);
  if (index < 0) return -1;
  return RedirectRecord(index, newUrl, created);
}

std::string TTask::ResolveBase(std::string_view url, bool& changed) {
  TLockGuard guard(TableLock);
  std::string result(url);
  const std::int32_t index = FindUrl(url);
  if (index >= 0) result = GetUrl(index);
  changed = result != url;
  return result;
}

std::int32_t TTask::PushAnalysis(std::int32_t index) {
  TLockGuard guard(TableLock);
  AnalysisQueue.push_back(index);
  Changes.NotifyDetail();
  return static_cast<std::int32_t>(AnalysisQueue.size()) - 1;
}

bool TTask::AnalysisQueued() {
  TLockGuard guard(TableLock);
  return !AnalysisQueue.empty();
}

std::int32_t TTask::PopAnalysis() {
  TLockGuard guard(TableLock);
  if (AnalysisQueue.empty()) return -1;
  const std::int32_t index = AnalysisQueue.back();
  AnalysisQueue.pop_back();
  return index;
}

bool TTask::IsChecked(std::int32_t index) {
  TLockGuard guard(TableLock);
  if (index < 0 || index >= static_cast<std::int32_t>(UrlFlags.size())) return false;
  return UrlFlags[static_cast<std::size_t>(index)].Checked != 0;
}

bool TTask::SetChecked(std::int32_t index, bool value) {
  TLockGuard guard(TableLock);
  if (index < 0 || index >= static_cast<std::int32_t>(UrlFlags.size())) return false;
  std::uint8_t& checked = UrlFlags[static_cast<std::size_t>(index)].Checked;
  // An entry under update (kUpdating) counts as checked.
  if ((checked != 0) == value) return false;
  checked = value ? 1 : 0;
  Changes.NotifyDetail();  // the update pass waits on this flag
  return true;
}

namespace {
// Checked value of an entry the update pass has taken up and not finished yet.
constexpr std::uint8_t kUpdating = 2;
}  // namespace

bool TTask::BeginUpdate(std::int32_t index, bool includeErrors) {
  TLockGuard guard(TableLock);
  if (!UpdatePending(index, includeErrors)) return false;
  std::uint8_t& checked = UrlFlags[static_cast<std::size_t>(index)].Checked;
  if (checked != 0) return false;
  checked = kUpdating;
  Changes.NotifyDetail();
  return true;
}

void TTask::EndUpdate(std::int32_t index) {
  TLockGuard guard(TableLock);
  if (index < 0 || index >= static_cast<std::int32_t>(UrlFlags.size())) return;
  std::uint8_t& checked = UrlFlags[static_cast<std::size_t>(index)].Checked;
  if (checked == kUpdating) {
    checked = 1;
    Changes.NotifyDetail();
  }
}

bool TTask::UpdatePending(std::int32_t index, bool includeErrors) {
  TLockGuard guard(TableLock);
  if (index < 0 || index >= Count) return false;
  const TExtendUrlRec& rec = Urls[static_cast<std::size_t>(index)];
  if (rec.Kind != 1) return false;
  const std::uint8_t checked = UrlFlags[static_cast<std::size_t>(index)].Checked;
  if (checked == kUpdating) return true;
  return checked == 0 && (rec.Status == Saved || (rec.Status == DownloadError && includeErrors));
}

bool TTask::SetCookies(std::int32_t index, const std::string& text) {
  TLockGuard guard(TableLock);
  if (index < 0 || index >= static_cast<std::int32_t>(UrlFlags.size())) return false;
  UrlFlagRec& flags = UrlFlags[static_cast<std::size_t>(index)];
  flags.HasCookies = 1;
  flags.Cookies = text;
  return true;
}

void TTask::SetCookieSecure(const std::string& name, bool secure) {
  TLockGuard guard(TableLock);
  if (secure)
    secureCookieNames_.insert(name);
  else
    secureCookieNames_.erase(name);
}

std::set<std::string> TTask::SecureCookieNames() const {
  TLockGuard guard(TableLock);
  return secureCookieNames_;
}

bool TTask::FindInheritedCookies(std::int32_t index, std::string& cookies) {
  TLockGuard guard(TableLock);
  const auto size = static_cast<std::int32_t>(std::min(Urls.size(), UrlFlags.size()));
  auto valid = [size](std::int32_t i) { return i >= 0 && i < size; };
  if (!valid(index)) return false;
  std::int32_t r = Urls[static_cast<std::size_t>(index)].ReferId;
  // The referrer chain of a sound table ends at the start record; the step limit ends a chain
  // that loops elsewhere (a damaged task file).
  for (std::int32_t steps = 0; valid(r) && steps <= Count; ++steps) {
    if (UrlFlags[static_cast<std::size_t>(r)].HasCookies != 0) {
      cookies = UrlFlags[static_cast<std::size_t>(r)].Cookies;
      return true;
    }
    const std::int32_t up = Urls[static_cast<std::size_t>(r)].ReferId;
    if (UrlFlags[static_cast<std::size_t>(index)].Checked == 0 || up == r) return false;
    r = up;
  }
  return false;
}

void TTask::Restart() {
  TLockGuard guard(TableLock);
  TExtendUrlRec start = EmptyUrlRec();
  start.Url.Set(GetRawUrl(0));
  start.Status = NotDownloaded;
  start.Layer = 0;
  start.ReferId = 0;
  start.OwnBase = 1;
  Count = 0;
  index_->Clear();
  // Queued indexes would name records of the old table.
  AnalysisQueue.clear();
  AddUrl(start);
}

}  // namespace qm
