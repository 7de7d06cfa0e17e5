#include "engine/TaskThread.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "config/Setting.h"
#include "engine/HttpClient.h"
#include "platform/Files.h"
#include "platform/Pacing.h"
#include "task/MainWindowPort.h"
#include "task/Task.h"
#include "url/UrlLib.h"

namespace qm {

namespace {

// Dates at or below one third of a day stand for "no date" (an absent Last-Modified).
constexpr TDateTime kNoDateBound = 1.0 / 3.0;

std::string VFormat(const char* format, va_list args) {
  // Most lines fit the stack buffer: formatted once, copied once.
  char stackBuf[512];
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(stackBuf, sizeof stackBuf, format, copy);
  va_end(copy);
  if (n <= 0) return std::string();
  if (static_cast<std::size_t>(n) < sizeof stackBuf)
    return std::string(stackBuf, static_cast<std::size_t>(n));
  std::string line(static_cast<std::size_t>(n), '\0');
  std::vsnprintf(line.data(), line.size() + 1, format, args);
  return line;
}

// The directory part of a "\"-separated path, with its trailing "\".
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// How the answer to a ranged request relates to the bytes asked for.
enum class TSliceAnswer { Slice, WholeBody, WrongPart };

TSliceAnswer ClassifySlice(const THttpResponse& response, std::int64_t start) {
  const std::string range = response.HeaderValue("Content-Range");
  std::int64_t first = -1;
  if (!range.empty() && std::sscanf(range.c_str(), "bytes %" SCNd64, &first) == 1)
    return first == start ? TSliceAnswer::Slice : TSliceAnswer::WrongPart;
  // Without Content-Range only a 206 says that the Range header was honoured.
  return response.Code == 206 ? TSliceAnswer::Slice : TSliceAnswer::WholeBody;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction and the walk over the table

TTaskThread::TTaskThread(TTask& task, bool updateRun, std::unique_ptr<THttpClient> client)
    : TTaskThread(task, updateRun, std::move(client), TDeferStart{}) {
  Start();
}

TTaskThread::TTaskThread(TTask& task, bool updateRun, std::unique_ptr<THttpClient> client,
                         TDeferStart)
    : task_(task), client_(std::move(client)), updateRun_(updateRun), fileClaim_(task.FileClaims) {
  task_.AnalysisDone = false;
  workerIndex_ = task_.RegisterWorker(this, client_.get());
  tag_ = MakeClientTag(task_.ManagerIndex, workerIndex_);
  client_->SetTag(tag_);
  WakeOnTerminate(&task_.Changes);
  // Stop and termination also end a transfer under way (a pause lets it finish).
  client_->AbortCheck = [this] { return Terminated() || task_.State.load() == Stopped; };
  saveRoot_ = task_.Folder.empty() ? std::string(".\\") : task_.Folder;
}

TTaskThread::~TTaskThread() {
  Terminate();
  WaitFor();
}

void TTaskThread::Execute() {
  // The client goes with the walk, also when the walk ends through an error.
  struct ClientRelease {
    TTaskThread* self;
    ~ClientRelease() { self->ReleaseClient(); }
  } release{this};

  if (UseSystemCookies) {
    TCookieNames secure;
    LoadSystemCookies(task_.GetRawUrl(0), cookieList_, &secure);
    for (const std::string& name : secure) task_.SetCookieSecure(name, true);
  }

  for (;;) {
    const std::int32_t position = static_cast<std::int32_t>(position_.load());
    if (position >= task_.GetCount()) break;
    if (Terminated()) break;
    const std::int32_t state = task_.State.load();
    if (state > Paused) break;
    if (state == Paused) {
      // Idle until resumed or stopped, looking again every 1000 ms.
      task_.Changes.WaitUntil(1000, [&] { return Terminated() || task_.State.load() != Paused; });
      continue;
    }

    if (RetryFires()) {
      position_ = retryIndex_;
      PacedSleep(3000);
      task_.SetStatus(retryIndex_, NotDownloaded);
    }
    const auto at = static_cast<std::int32_t>(position_.load());
    HoldBackForAnalysis();

    // The status change is the claim: only the worker whose change succeeded fetches. The test
    // and the change happen under one lock hold, so an entry another worker has claimed and
    // finished in the meantime is not taken up again.
    if (task_.ClaimEntry(at)) {
      DownloadEntry(at);
      ReleaseLargeBody();
      continue;  // the entry has another status now: the next pass moves on
    }

    // The update pass: entries saved (or failed) in earlier runs are taken up once each; the
    // analysis walk waits at them until the update is done.
    if (updateRun_ && task_.BeginUpdate(at, !NoUpdateErrors)) {
      struct UpdateDone {
        TTask& task;
        std::int32_t at;
        ~UpdateDone() { task.EndUpdate(at); }
      } done{task_, at};
      UpdateEntry(at);
      ReleaseLargeBody();
    }

    // At the tail, wait for the analysis thread to add links or to declare the table finished.
    if (at + 1 >= task_.GetCount()) {
      PacedSleep(10);
      WaitAtTail(at);
    }
    PacedSleep(10);
    position_ = at + 1;
  }
  ReleaseClient();
  loopEnded_ = true;
  OnLoopEnded();
}

void TTaskThread::HoldBackForAnalysis() {
  // When pages are fetched faster than the analysis takes them, every worker more that fetches
  // only takes the processor from the analysis (and the run ends with the analysis working alone).
  // So worker k waits while AnalysisLeadOf(k) pages wait for it: the fewer pages wait, the more
  // workers fetch. It never waits for an analysis that is waiting itself, or not there.
  const std::int32_t lead = TTask::AnalysisLeadOf(workerIndex_);
  const auto goOn = [&] {
    return lead <= 0 || task_.PagesAwaitingAnalysis.load() < lead ||
           !task_.AnalysisWorking.load() || Terminated() || task_.State.load() != Running;
  };
  if (!goOn()) task_.Changes.WaitForLevel(lead, goOn);
}

void TTaskThread::WaitAtTail(std::int32_t at) {
  // (A stopped task's analysis thread ends without declaring the table finished.)
  const auto tailMoved = [&] {
    return task_.AnalysisDone.load() || task_.GetCount() > at + 1 || Terminated() ||
           task_.State.load() > Paused;
  };
  // A worker whose refresh retry is due fires it at its next pass: it must move on with the
  // first records added, so every change wakes it. The others sleep until records are added for
  // them (one woken per record) or the walk ends.
  if (retryPending_ && retryCount_ == 0) {
    while (!task_.Changes.WaitUntil(100, tailMoved)) {
    }
    return;
  }
  while (!task_.Changes.WaitForGrowth(100, tailMoved)) {
  }
}

void TTaskThread::OnUncaughtError(const std::string& message) {
  task_.FailRun(message);
  if (loopEnded_) return;
  loopEnded_ = true;
  OnLoopEnded();
}

void TTaskThread::ReleaseLargeBody() {
  // Ten workers that each met one large file would hold their buffers for the rest of the run.
  if (body_.capacity() > kKeptBodyCapacity) std::string().swap(body_);
}

bool TTaskThread::OwnsTarget() const {
  return resolved_ == ownedTarget_ && task_.GetStatus(resolved_) == InProgress;
}

void TTaskThread::ReleaseClient() {
  if (!client_) return;
  {
    std::lock_guard<std::mutex> guard(task_.WorkersLock);
    const auto slot = static_cast<std::size_t>(workerIndex_);
    if (slot < task_.HttpClients.size() && task_.HttpClients[slot] == client_.get())
      task_.HttpClients[slot] = nullptr;
  }
  client_.reset();
}

// ---------------------------------------------------------------------------------------------
// One entry of a normal run

void TTaskThread::DownloadEntry(std::int32_t entry) {
  // Whatever happens below, the hold on a local file ends with the entry (unless handed over).
  struct HoldEnd {
    TLocalFileClaim& claim;
    ~HoldEnd() { claim.Release(); }
  } holdEnd{fileClaim_};
  // The HEAD may write a redirect stub at the requested URL's file.
  if (!HoldLocalFile(LocalPathOf(saveRoot_, task_.GetRawUrl(entry)), entry)) {
    task_.SetStatus(entry, NotDownloaded);
    return;
  }
  InheritCookies(entry);

  if (task_.IsChecked(entry) && lastHeadEntry_ == entry) {
    // This worker's last HEAD was for this entry (a refresh retry): its size and date still
    // hold, so fetch straight away. A HEAD made by another worker or in an earlier run is made
    // again, since its size decides between the whole and the ranged download.
    resolved_ = task_.ResolveIndex(entry);
    SetCurrentUrl(task_.GetUrl(entry));
    LogPlain(Line(entry, ",正在下载%s文件大小%" PRId64 "字节", currentUrl_.c_str(), expectedSize_));
  } else {
    if (!HeadEntry(entry)) {
      task_.SetStatus(entry, DownloadError);
      LogPlain(Line(entry, ",%s,Head失败。", currentUrl_.c_str()));
      return;
    }
    if (resolved_ != entry) {
      LogPlain(Line(entry, ",重定向%s到%s", task_.GetRawUrl(entry).c_str(),
                    task_.GetRawUrl(resolved_).c_str()));
      // A target that was already in the table is fetched (or was) under its own claim and must
      // not be fetched twice or marked failed here; one still waiting is claimed now.
      if (!OwnsTarget() && !task_.ClaimEntry(resolved_)) return;
    }
    if (LocalFileIsCurrent(entry, ",%s已存在,且是最新的，不需下载,%s")) return;
    LogPlain(Line(entry, ",正在下载%s文件大小%" PRId64 "字节", currentUrl_.c_str(), expectedSize_));
  }
  // The body goes to the file of the URL the entry resolved to.
  if (!HoldLocalFile(localFile_, resolved_)) {
    task_.SetStatus(resolved_, NotDownloaded);
    return;
  }

  if (GetEntry(resolved_)) {
    LogProgress(Line(entry, ",成功下载%s文件大小%" PRId64 "字节%s", currentUrl_.c_str(),
                     expectedSize_, client_->Response().StatusLine.c_str()));
  } else if (task_.GetStatus(resolved_) != NotDownloaded) {
    // (An entry stopped during its transfer is back at NotDownloaded with its ".tmp" kept, so
    // that the next run resumes it instead of counting it as failed.)
    PacedSleep(1);
    task_.SetStatus(resolved_, DownloadError);
    LogPlain(Line(entry, ",%s,下载失败。", currentUrl_.c_str()));
  }
}

// ---------------------------------------------------------------------------------------------
// One entry of an update pass

void TTaskThread::UpdateEntry(std::int32_t entry) {
  SetCurrentUrl(task_.GetUrl(entry));
  if (entry != 0) {
    const bool indexPage = namePart_ == "index.html" || namePart_ == "index.htm";
    if (NoUpdateStatic && !indexPage && HasExtIn(currentUrl_, StaticPageExts)) {
      LogPlain(Line(entry, ",%s是静态网页，不要求更新,%s", currentUrl_.c_str(), ""));
      return;
    }
    if (UpdatePagesOnly && !HasExtIn(namePart_, PageExts)) {
      LogPlain(Line(entry, ",%s不是网页文件，不要求更新,%s", currentUrl_.c_str(), ""));
      return;
    }
  }

  struct HoldEnd {
    TLocalFileClaim& claim;
    ~HoldEnd() { claim.Release(); }
  } holdEnd{fileClaim_};
  if (!HoldLocalFile(LocalPathOf(saveRoot_, task_.GetRawUrl(entry)), entry)) return;
  InheritCookies(entry);
  if (!HeadEntry(entry)) return;  // HeadEntry has logged and marked the failure

  resolved_ = task_.ResolveIndex(entry);
  SetCurrentUrl(task_.GetUrl(entry));
  // Redirected to an entry another worker is fetching: that worker brings it up to date.
  if (resolved_ != entry && !OwnsTarget() && task_.GetStatus(resolved_) == InProgress) return;
  const std::string dateText = FormatDateTimeIso(lastModified_);

  if (lastModified_ > kNoDateBound &&
      MillisecondsBetween(task_.GetFileTime(entry), lastModified_) == 0) {
    LogPlain(Line(entry, ",%s是最新的，不需更新,%s", currentUrl_.c_str(), dateText.c_str()));
    return;
  }
  if (LocalFileIsCurrent(entry, ",%s已存在,且是最新的，不需更新,%s")) return;

  LogPlain(Line(entry, "正在更新%s文件大小%" PRId64 "字节,%s", currentUrl_.c_str(), expectedSize_,
                dateText.c_str()));
  if (!HoldLocalFile(localFile_, resolved_)) return;
  task_.SetStatus(resolved_, InProgress);
  // The resource changed: a temporary file left from its previous version must not be resumed.
  DeleteFileAt(NativePath(localFile_ + ".tmp"));
  if (GetEntry(resolved_)) {
    LogProgress(Line(entry, "成功更新%s文件大小%" PRId64 "字节%s", currentUrl_.c_str(),
                     expectedSize_, client_->Response().StatusLine.c_str()));
  } else if (task_.GetStatus(resolved_) != NotDownloaded) {
    task_.SetStatus(resolved_, DownloadError);
    LogPlain(Line(entry, ",%s,更新失败,%s", currentUrl_.c_str(),
                  client_->Response().StatusLine.c_str()));
  }
}

bool TTaskThread::LocalFileIsCurrent(std::int32_t entry, const char* format) {
  if (!AutoUpdateNonPages || HasExtIn(namePart_, PageExts)) return false;
  TDateTime fileDate = 0;
  if (!GetFileDate(NativePath(localFile_), fileDate)) return false;
  if (lastModified_ <= kNoDateBound || MillisecondsBetween(fileDate, lastModified_) != 0)
    return false;
  LogPlain(Line(entry, format, currentUrl_.c_str(), FormatDateTimeIso(fileDate).c_str()));
  task_.SetStatus(resolved_, Saved);
  return true;
}

// ---------------------------------------------------------------------------------------------
// HEAD

bool TTaskThread::HeadEntry(std::int32_t entry) {
  task_.SetChecked(entry, true);
  lastHeadEntry_ = entry;
  currentUrl_ = task_.GetRawUrl(entry);
  StoreWorkerUrl();
  PacedSleep(200);
  SetRefererOf(entry);

  bool result = false;
  bool raised = false;
  bool aborted = false;
  std::string message;
  ownedTarget_ = -1;
  try {
    client_->Head(currentUrl_);
  } catch (const EHttpAborted& e) {
    raised = aborted = true;
    message = e.what();
  } catch (const std::exception& e) {
    raised = true;
    message = e.what();
  }
  // Read also after a failure: an error response may still carry the cookies a site needs.
  const THttpResponse& response = client_->Response();
  ownedTarget_ = client_->ChainTarget;
  expectedSize_ = response.ContentLength;
  lastModified_ = response.LastModified;
  std::vector<std::pair<std::string, bool>> secureFlags;
  if (MergeSetCookies(response, cookieList_, &secureFlags)) {
    for (const auto& [name, secure] : secureFlags) task_.SetCookieSecure(name, secure);
    result = true;
    task_.SetCookies(entry, JoinCookies(cookieList_));
  }

  if (raised) {
    if (!aborted) PacedSleep(5000);
    if (!result) task_.SetStatus(entry, DownloadError);
    LogPlain("Head错误信息=" + message);
    PacedSleep(10);
    if (!result) return false;
    // A failed HEAD that delivered cookies counts as success; it still needs the entry's name.
  } else {
    const std::string location = response.HeaderValue("Content-Location");
    if (!location.empty() && location != currentUrl_) {
      // Servers commonly send it relative to the requested URL.
      std::string target;
      if (MakeAbsoluteUrl(location, currentUrl_, target) && target != currentUrl_) {
        bool created = false;
        const std::int32_t moved = task_.RedirectRecord(entry, target, &created);
        // An entry the redirects of this HEAD created is nobody's once the entry points past it.
        if (ownedTarget_ >= 0 && ownedTarget_ != moved &&
            task_.GetStatus(ownedTarget_) == InProgress)
          task_.SetStatus(ownedTarget_, NotDownloaded);
        ownedTarget_ = created ? moved : -1;
        currentUrl_ = target;
      }
    }
    result = true;
  }

  PacedSleep(50);
  resolved_ = task_.ResolveIndex(entry);
  SetCurrentUrl(task_.GetUrl(entry));
  return result;
}

// ---------------------------------------------------------------------------------------------
// GET

bool TTaskThread::GetEntry(std::int32_t entry) {
  if (task_.GetStatus(entry) != InProgress) return false;
  try {
    ForceDirs(FolderOf(localFile_));
    if (!cookieList_.empty()) SetCookieHeader(*client_, cookieList_, task_.SecureCookieNames());
    PacedSleep(50);
    SetRefererOf(entry);

    if (expectedSize_ <= kSmallBodyLimit) {
      FetchSmallBody();
    } else if (!FetchRanged(entry)) {
      return false;
    }

    PacedSleep(1000);
    FollowRedirectAfterGet(entry);
    StoreResult();
    FinishEntryStatus(entry);
    return true;
  } catch (const EHttpAborted&) {
    // Stopped during the transfer: the entry waits for a later attempt.
    task_.SetStatus(entry, Interrupted);
    FinishEntryStatus(entry);
    return false;
  } catch (const std::exception& e) {
    PacedSleep(10000);
    body_.clear();
    LogRed(std::string("下载错误信息=") + e.what());
    task_.SetStatus(entry, DownloadError);
    PacedSleep(10);
    return false;
  }
}

void TTaskThread::FetchSmallBody() {
  body_.clear();
  // The announced size, when there is one, is the buffer's size: growing it by doubling would
  // copy the body several times and leave up to half of the buffer unused.
  if (expectedSize_ > 0) body_.reserve(static_cast<std::size_t>(expectedSize_));
  client_->Get(currentUrl_, body_);
  expectedSize_ = static_cast<std::int64_t>(body_.size());
  const std::string tmp = NativePath(localFile_ + ".tmp");
  if (!WriteNewFile(tmp, body_)) throw std::runtime_error("Cannot create file " + tmp);
}

bool TTaskThread::FetchRanged(std::int32_t entry) {
  const std::string tmp = NativePath(localFile_ + ".tmp");
  TAppendFile file;
  if (!file.Open(tmp)) throw std::runtime_error("Cannot open file " + tmp);
  std::int64_t received = file.Size();
  // A temporary file longer than the resource belongs to another version of it.
  if (received > expectedSize_) {
    if (!file.Truncate()) throw std::runtime_error("Cannot write file " + tmp);
    received = 0;
  }

  // However the slices end, later requests of this client carry no Range header.
  struct RangeReset {
    THttpClient& client;
    ~RangeReset() { client.RangeStart = client.RangeEnd = 0; }
  } rangeReset{*client_};
  // Leaves the slice loop early; the status says how the entry stands (an interrupted one waits
  // for the next attempt, its file kept for resume).
  auto leave = [&]() {
    file.Close();
    body_.clear();
    FinishEntryStatus(entry);
    return false;
  };

  while (received < expectedSize_) {
    if (Terminated() || task_.State.load() == Stopped) {
      task_.SetStatus(entry, Interrupted);
      return leave();
    }
    client_->RangeStart = received;
    client_->RangeEnd = expectedSize_ - received > kSliceSpan ? received + kSliceSpan : 0;
    body_.clear();
    TSliceAnswer answer = TSliceAnswer::Slice;
    try {
      client_->Get(currentUrl_, body_);
      // A slice that brings nothing, or another part of the file, would never end the loop or
      // would corrupt the file.
      if (body_.empty()) throw EHttpError("Empty response to a ranged request");
      answer = ClassifySlice(client_->Response(), received);
      if (answer == TSliceAnswer::WrongPart)
        throw EHttpError("Unexpected Content-Range " +
                         client_->Response().HeaderValue("Content-Range"));
    } catch (const EHttpAborted&) {
      // Stopped during a slice: the slice is dropped, the file kept for a resume.
      task_.SetStatus(entry, Interrupted);
      return leave();
    } catch (const std::exception& e) {
      PacedSleep(1000);
      LogRed(std::string("下载错误信息=") + e.what());
      LogPlain(Line(entry, "下载%s文件发生错误，本次下载%" PRId64 "字节", currentUrl_.c_str(),
                    static_cast<std::int64_t>(body_.size())));
      body_.clear();
      task_.SetStatus(entry, NotDownloaded);
      PacedSleep(10);
      return leave();
    }
    if (answer == TSliceAnswer::WholeBody) {
      // The server ignored the Range header and sent the whole resource: keep it once.
      if (!file.Truncate()) throw std::runtime_error("Cannot write file " + tmp);
      expectedSize_ = static_cast<std::int64_t>(body_.size());
    }
    if (!file.Append(body_)) throw std::runtime_error("Cannot write file " + tmp);
    body_.clear();
    received = file.Size();
    task_.SetSize(entry, static_cast<std::int32_t>(received));
    LogStatusOnly(
        Line(entry, "正在下载%s文件，已经下载%" PRId64 "字节", currentUrl_.c_str(), received));
    PacedSleep(1);
  }
  file.Close();
  return true;
}

void TTaskThread::FollowRedirectAfterGet(std::int32_t entry) {
  resolved_ = task_.ResolveIndex(entry);
  const std::string newUrl = task_.GetUrl(entry);
  if (newUrl == currentUrl_) return;
  // A redirect was recorded during the GET: the body belongs to the target's local name.
  const std::string oldTmp = localFile_ + ".tmp";
  const TSplitUrl split = SplitUrl(newUrl);
  const std::string newLocal = LocalPathOf(saveRoot_, newUrl);
  // The new file is taken while the old one is still held, and without waiting (two workers
  // moving into each other's files would wait for ever).
  if (newLocal != localFile_ && !task_.FileClaims.TryAcquire(newLocal, resolved_))
    throw std::runtime_error("Local file in use by another download: " + NativePath(newLocal));
  struct NewHold {
    TLocalFileClaims& claims;
    const std::string& path;
    std::int32_t owner;
    bool kept = false;
    ~NewHold() {
      if (!kept) claims.Release(path, owner);
    }
  } newHold{task_.FileClaims, newLocal, resolved_, newLocal == localFile_};
  ForceDirs(FolderOf(newLocal));
  DeleteFileAt(NativePath(newLocal + ".tmp"));
  if (!RenameFileTo(NativePath(oldTmp), NativePath(newLocal + ".tmp")))
    throw std::runtime_error("Cannot rename file " + NativePath(oldTmp));
  if (!newHold.kept) {
    fileClaim_.Adopt(newLocal, resolved_);
    newHold.kept = true;
  }
  hostPart_ = split.Host;
  pathPart_ = split.Dir;
  namePart_ = split.File;
  localFile_ = newLocal;
}

void TTaskThread::StoreResult() {
  {
    TLockGuard guard(task_.TableLock);
    task_.SetSize(resolved_, static_cast<std::int32_t>(expectedSize_));
    lastModified_ = client_->Response().LastModified;
    task_.SetFileTime(resolved_, lastModified_);
  }
  PacedSleep(1);

  if (HasExtIn(namePart_, PageExts)) {
    if (task_.GetContentKind(resolved_) != 10) task_.SetContentKind(resolved_, 0);
    if (RefreshTest()) {
      RequestRetry(resolved_);
      // Not analysed: the page is kept as fetched, under its final name.
      SaveUnderFinalName();
      task_.SetStatus(resolved_, Saved);
    } else {
      // The analysis thread saves the page: the hold on its file goes along.
      fileClaim_.HandOver(resolved_);
      task_.SetStatus(resolved_, Downloaded);
      task_.PushAnalysis(resolved_);
    }
  } else if (!namePart_.empty()) {
    SaveUnderFinalName();
    task_.SetStatus(resolved_, Saved);
  } else {
    task_.SetStatus(resolved_, DownloadError);
    LogPlain("无法保存" + currentUrl_);
  }
}

void TTaskThread::SaveUnderFinalName() {
  const std::string finalName = NativePath(localFile_);
  if (!RenameReplacing(NativePath(localFile_ + ".tmp"), finalName))
    throw std::runtime_error("Cannot rename file " + finalName);
  SetFileDate(finalName, lastModified_ > kNoDateBound ? lastModified_ : Now());
}

void TTaskThread::FinishEntryStatus(std::int32_t entry) {
  body_.clear();
  const std::int32_t status = task_.GetStatus(entry);
  if (status == InProgress || status == NotDownloaded) {
    task_.SetStatus(entry, DownloadError);
  } else if (status == Interrupted) {
    task_.SetStatus(entry, NotDownloaded);
  }
}

// ---------------------------------------------------------------------------------------------
// Refresh-only pages and their retry

bool TTaskThread::RefreshTest() {
  if (body_.size() > kRefreshTestLimit) return false;
  std::string_view text = body_;
  if (PosText("HTTP-EQUIV=REFRESH", text) == 0) return false;
  for (;;) {
    const std::size_t meta = PosText("<meta", text);
    if (meta == 0) return false;
    text.remove_prefix(meta - 1 + 5);
    const std::size_t close = text.find('>');
    const std::string_view tag = text.substr(0, close);
    if (PosText("HTTP-EQUIV=REFRESH", tag) != 0 && PosText("CONTENT", text) != 0) return true;
    if (close == std::string_view::npos) return false;
    text.remove_prefix(close + 1);
  }
}

void TTaskThread::RequestRetry(std::int32_t index) {
  if (retryPending_ && retryIndex_ == index) {
    ++retryCount_;
    return;
  }
  retryIndex_ = index;
  retryCount_ = 0;
  retryPending_ = true;
}

bool TTaskThread::RetryFires() {
  if (!retryPending_ || retryCount_ != 0) return false;
  ++retryCount_;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Shared steps

void TTaskThread::InheritCookies(std::int32_t entry) {
  std::string inherited;
  if (task_.FindInheritedCookies(entry, inherited)) ParseCookieString(inherited, cookieList_);
  if (!cookieList_.empty()) SetCookieHeader(*client_, cookieList_, task_.SecureCookieNames());
}

bool TTaskThread::HoldLocalFile(const std::string& localFile, std::int32_t owner) {
  return fileClaim_.Hold(localFile, owner,
                         [this] { return Terminated() || task_.State.load() == Stopped; });
}

void TTaskThread::SetCurrentUrl(const std::string& url) {
  currentUrl_ = url;
  const TSplitUrl split = SplitUrl(url);
  hostPart_ = split.Host;
  pathPart_ = split.Dir;
  namePart_ = split.File;
  localFile_ = LocalPathOf(saveRoot_, url);
}

void TTaskThread::SetRefererOf(std::int32_t entry) {
  client_->Referer = task_.GetRawUrl(task_.CopyRecord(entry).ReferId);
}

void TTaskThread::StoreWorkerUrl() {
  std::lock_guard<std::mutex> guard(task_.WorkersLock);
  const auto slot = static_cast<std::size_t>(workerIndex_);
  if (slot < task_.WorkerUrls.size()) task_.WorkerUrls[slot] = currentUrl_;
}

// ---------------------------------------------------------------------------------------------
// Log paths

std::string TTaskThread::Line(std::int32_t entry, const char* format, ...) {
  char head[64];
  std::snprintf(head, sizeof head, "No.%" PRId32 "-Thread=%" PRId32, entry,
                static_cast<std::int32_t>(tag_));
  va_list args;
  va_start(args, format);
  std::string line = head;
  line += VFormat(format, args);
  va_end(args);
  return line;
}

// Log lines are queued to the window without waiting for it: the window keeps their order, and a
// run is not held up by its display.
void TTaskThread::LogPlain(const std::string& line) {
  Window().SetStatusText(line);
  Window().AddLog(line);
}

void TTaskThread::LogRed(const std::string& line) {
  Window().AddRedLog(line);
  Window().SetStatusText(line);
}

void TTaskThread::LogProgress(const std::string& line) {
  ++filesDone_;
  Window().SetStatusText(line);
  Window().AddLog(line);
  Window().RefreshTaskRow(task_);
}

void TTaskThread::LogStatusOnly(const std::string& line) {
  Window().SetStatusText(line);
}

}  // namespace qm
