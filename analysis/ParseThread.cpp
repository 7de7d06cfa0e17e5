#include "analysis/ParseThread.h"

#include <cstdio>
#include <stdexcept>

#include "analysis/JsClass.h"
#include "analysis/StyleMediaLinks.h"
#include "config/Setting.h"
#include "platform/Files.h"
#include "platform/Pacing.h"
#include "task/MainWindowPort.h"
#include "task/Task.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

// Date-times at or below a third of a day carry no date.
constexpr TDateTime kNoDate = 1.0 / 3.0;

void LoadFile(TRewritableFile& file, const std::string& nativePath, std::string& text) {
  if (!file.Load(nativePath, text)) throw std::runtime_error("无法打开文件 " + nativePath);
}

// The save failed after the temporary file was renamed: the fetched bytes are gone.
struct TFetchedBytesLost : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Seconds as the result line prints them: a plain decimal number.
std::string SecondsText(double seconds) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", seconds);
  return buf;
}

// Marks the analysis as not working, so that workers held back for it go on; gives whether it
// was working.
bool LeaveWork(TTask& task) {
  const bool was = task.AnalysisWorking.exchange(false);
  // (Every held back worker's level is kLeadPerWorker or more.)
  if (was && task.PagesAwaitingAnalysis.load() >= TTask::kLeadPerWorker)
    task.Changes.NotifyLevel(0);
  return was;
}

// The analysis is waiting for the span of the scope.
class TAnalysisIdle {
 public:
  explicit TAnalysisIdle(TTask& task) : task_(task), was_(LeaveWork(task)) {}
  ~TAnalysisIdle() { task_.AnalysisWorking = was_; }
  TAnalysisIdle(const TAnalysisIdle&) = delete;
  TAnalysisIdle& operator=(const TAnalysisIdle&) = delete;

 private:
  TTask& task_;
  bool was_;
};

}  // namespace

ParseThread::ParseThread(TTask& task, bool updateRun)
    : task_(task),
      updateRun_(updateRun),
      saveRoot_(task.Folder.empty() ? std::string(".\\") : task.Folder) {
  task_.AnalysisDone = false;
  WakeOnTerminate(&task_.Changes);
  Start();
}

ParseThread::~ParseThread() {
  Terminate();
  WaitFor();
}

void ParseThread::LogPlain(const std::string& line) {
  Window().AddLog(line);
}

void ParseThread::LogRed(const std::string& line) {
  Window().AddRedLog(line);
}

// A failed analysis: a pause, the two red lines, the entry's new status, nothing kept.
void ParseThread::Fail(std::int32_t index, const char* prefix, const std::string& message,
                       const char* urlLabel, const std::string& rawUrl, std::int32_t status) {
  PacedSleep(2000);
  LogRed(prefix + message);
  LogRed("解析失败,Position=" + std::to_string(index) + "," + urlLabel + rawUrl);
  task_.SetStatus(index, status);
  docText_.clear();
  fileText_.clear();
}

void ParseThread::Execute() {
  // Workers hold back for the walk only while it runs (see TTaskThread::HoldBackForAnalysis).
  struct TWorking {
    TTask& task;
    explicit TWorking(TTask& t) : task(t) { task.AnalysisWorking = true; }
    ~TWorking() { LeaveWork(task); }
  } working(task_);
  for (;;) {
    if (position_ >= task_.GetCount()) break;
    if (Terminated()) return;
    const std::int32_t state = task_.State.load();
    if (state > Paused) return;
    if (state == Paused) {
      // Idle until resumed or stopped, looking again every 1000 ms.
      TAnalysisIdle idle(task_);
      task_.Changes.WaitUntil(1000, [&] { return Terminated() || task_.State.load() != Paused; });
      continue;
    }
    task_.AnalysisDone = false;
    // Pages fetched out of order are analysed early, newest first.
    const std::int32_t queued = task_.PopAnalysis();
    if (queued >= 0 && task_.GetStatus(queued) == Downloaded) Analyse(queued);

    const auto pos = static_cast<std::int32_t>(position_.load());
    if (task_.GetKind(pos) != 0) {
      const auto toBeFetched = [&] {
        const std::int32_t status = task_.GetStatus(pos);
        return status == NotDownloaded || status == InProgress ||
               (updateRun_ && task_.UpdatePending(pos, !NoUpdateErrors));
      };
      if (toBeFetched()) {
        // The walk never passes an entry that is still to be fetched. It looks again when the
        // entry has moved on or a page is queued (every 100 ms at most).
        TAnalysisIdle idle(task_);
        task_.Changes.WaitUntil(100, [&] { return WalkInterrupted() || !toBeFetched(); });
        continue;
      }
      if (task_.GetStatus(pos) == Downloaded) {
        Analyse(pos);
        // A page that waits for its script file is analysed again before the walk moves on, so
        // that no page is left behind unanalysed.
        if (task_.GetStatus(pos) == Downloaded) {
          TAnalysisIdle idle(task_);
          task_.Changes.WaitUntil(100, [&] { return WalkInterrupted() || !ScriptComing(); });
          continue;
        }
      }
    }
    ++position_;
  }
  task_.AnalysisDone = true;
  docText_.clear();
  docText_.shrink_to_fit();
}

bool ParseThread::WalkInterrupted() {
  return Terminated() || task_.State.load() != Running || task_.AnalysisQueued();
}

bool ParseThread::ScriptComing() {
  if (scriptEntry_ < 0) return false;
  const std::int32_t status = task_.GetStatus(task_.ResolveIndex(scriptEntry_));
  return status == NotDownloaded || status == InProgress;
}

void ParseThread::OnUncaughtError(const std::string& message) {
  task_.FailRun(message);
}

bool ParseThread::AddLink(const TExtendUrlRec& rec, std::int32_t& added) {
  const std::int32_t index = task_.AddNewUrl(rec);
  if (index == TTask::kKnownUrl) return false;
  if (index < 0) {
    if (task_.TakeMemoryShortNote()) LogPlain("内存不足");
    PacedSleep(100);
    return false;
  }
  ++added;
  return true;
}

void ParseThread::RecordLinks(TLinkGroup group, const TExtendUrlRec& page, std::int32_t index,
                              std::int32_t& added) {
  const bool wanted = group != TLinkGroup::Embedded || EmbeddedAllowed(task_);
  for (const std::string& link : links_) {
    if (group == TLinkGroup::Script) {
      if (HasExtIn(link, ScriptExts)) scriptFileUrl_ = link;
      if (task_.FindUrl(link) >= 0) continue;
    } else if (!wanted) {
      continue;
    }
    AddLink(LinkRecord(group, link, page, index), added);
  }
  links_.clear();
}

void ParseThread::RecordFollowedLinks(const TExtendUrlRec& page, std::int32_t index,
                                      std::int32_t& added) {
  if (AnchorDepthAllows(task_, page.Layer)) {
    for (const std::string& link : links_) {
      if (!AnchorDirAllows(task_, link)) continue;
      const TExtendUrlRec rec = LinkRecord(TLinkGroup::Followed, link, page, index);
      if (!ContentAllows(task_, rec.ContentKind)) continue;
      AddLink(rec, added);
    }
  }
  links_.clear();
}

void ParseThread::Analyse(std::int32_t index) {
  const auto started = std::chrono::steady_clock::now();
  // The page's new records and status changes wake the waiting workers once.
  TChangeBatch batch(task_.Changes);
  // The worker that fetched the page handed its hold on the page's file over (or, for a page
  // analysed again, nobody holds it): no download writes that file until it is saved. When a
  // download of another form of the URL holds it, the page waits for a later pass; waiting here
  // could wait for a page queued behind this one.
  const std::string pageUrl = task_.GetUrl(index);
  const std::string localFile = LocalPathOf(saveRoot_, pageUrl);
  if (!task_.FileClaims.TryAcquire(localFile, index)) {
    TAnalysisIdle idle(task_);
    task_.Changes.WaitUntil(
        100, [&] { return WalkInterrupted() || !task_.FileClaims.HeldByOther(localFile, index); });
    return;
  }
  TLocalFileClaim claim(task_.FileClaims);
  claim.Adopt(localFile, index);
  if (task_.GetStatus(index) != Downloaded) return;
  std::int32_t added = 0;
  scriptFileUrl_.clear();
  scriptEntry_ = -1;
  markSaved_ = true;

  const TExtendUrlRec rec = task_.CopyRecord(index);
  const std::string rawUrl = rec.Url.Get();
  LogPlain([&] {
    char head[64];
    std::snprintf(head, sizeof head, "正在解析第%d个,", index);
    return std::string(head) + rawUrl;
  }());
  const std::int32_t baseEntry = rec.OwnBase == 1 ? index : rec.ReferId;
  const std::string baseUrl = task_.GetUrl(baseEntry);
  const TSplitUrl parts = SplitUrl(pageUrl);
  const std::string tmpFile = localFile + ".tmp";

  try {
    LoadFile(fetched_, NativePath(tmpFile), fileText_);
    PacedSleep(10);
  } catch (const std::exception& e) {
    Fail(index, "解析载入错误信息=", e.what(), "Url=", rawUrl, DownloadError);
    return;
  }

  // The temporary file is closed however the analysis ends.
  struct TCloseAtEnd {
    TRewritableFile& file;
    ~TCloseAtEnd() { file.Close(); }
  } closeAtEnd{fetched_};
  try {
    AnalysePage(index, rec, pageUrl, parts, baseUrl, localFile, added);
    if (!markSaved_) {
      // The page waits for its script file: the temporary file stays, no result line.
      docText_.clear();
      fileText_.clear();
      return;
    }
    PacedSleep(10);
    // The next page is loaded over this one's text: only what it has beyond it is made anew.
    fileText_.swap(docText_);

    const double secs =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    LogPlain("Url=" + rawUrl + "，源文件大小" + std::to_string(rec.Size) +
             "字节，解析成功,用时time=" + SecondsText(secs) + "秒" + "新增" +
             std::to_string(added) + "个链接" + "，保存为" + parts.Dir + parts.File);
    Window().RefreshTaskRow(task_);
  } catch (const TFetchedBytesLost& e) {
    // Nothing is left to analyse again: the page is fetched again by a repair.
    Fail(index, "解析错误信息=", e.what(), "RealUrl=", rawUrl, DownloadError);
  } catch (const std::exception& e) {
    Fail(index, "解析错误信息=", e.what(), "RealUrl=", rawUrl, AnalysisError);
  }
}

void ParseThread::AnalysePage(std::int32_t index, const TExtendUrlRec& rec,
                              const std::string& pageUrl, const TSplitUrl& parts,
                              const std::string& baseUrl, const std::string& localFile,
                              std::int32_t& added) {
  docText_.swap(fileText_);  // the loaded bytes become the text to scan, without a copy
  links_.clear();
  const std::string startUrl = task_.GetUrl(0);
  task_.SetStartUrl(startUrl);
  // The anchors follow the scope the task has now; a change made meanwhile applies to the next
  // page.
  const std::int32_t scope = task_.Settings().Scope;
  PacedSleep(10);

  if (!HasExtIn(parts.File, PageExts)) {
    // Not a page after all: keep the fetched bytes under the final name rather than dropping them.
    if (!parts.File.empty()) {
      const std::string finalFile = NativePath(localFile);
      if (!RenameFileTo(NativePath(localFile + ".tmp"), finalFile))
        throw std::runtime_error("无法保存文件 " + finalFile);
      TDateTime date = task_.GetFileTime(task_.ResolveIndex(index));
      if (date > kNoDate) SetFileDate(finalFile, date);
      task_.SetStatus(index, Saved);
    }
    return;
  }

  TJsClass& script = *task_.Script;
  script.Prepare(&task_, startUrl, baseUrl, docText_);
  if (rec.ContentKind != KindScript) FixHtmlStart(docText_);
  // The tag scans share one index of the page's tag openings.
  scratch_.TrackPage(docText_);

  ScanImages(task_, baseUrl, docText_, links_, scratch_);
  ScanBackgrounds(task_, baseUrl, docText_, links_, scratch_);
  ScanInputs(task_, baseUrl, docText_, links_, scratch_);
  ScanEmbeds(task_, baseUrl, docText_, links_, scratch_);
  RecordLinks(TLinkGroup::Embedded, rec, index, added);

  ScanScripts(task_, baseUrl, docText_, links_, scratch_);
  RecordLinks(TLinkGroup::Script, rec, index, added);

  ScanLinks(task_, baseUrl, docText_, links_, scratch_);
  ScanFrames(task_, baseUrl, docText_, links_, scratch_);
  ScanIFrames(task_, baseUrl, docText_, links_, scratch_);
  ScanMetaRefresh(task_, baseUrl, docText_, links_, scratch_);
  RecordLinks(TLinkGroup::PagePart, rec, index, added);

  // Style sheet links, srcset and media tags, recorded before the anchors look them up.
  bool rewritten = false;
  if (StyleAndMediaLinks)
    for (const TExtendUrlRec& link :
         ScanStyleAndMediaLinks(task_, pageUrl, baseUrl, docText_, rec, index, &rewritten))
      AddLink(link, added);
  if (rewritten) scratch_.PageChanged();

  // Script calls that open pages or move the document.
  const std::uint32_t rewrites = script.PageRewrites;
  if (rec.ContentKind == KindScript) {
    for (const char* target : {"window.open", "document.location"}) {
      std::string found;
      std::string scanned = script.ScanScript(docText_, target, found);
      if (scanned != docText_) {
        docText_ = std::move(scanned);
        scratch_.PageChanged();
      }
    }
  } else {
    script.ScanPageScripts("window.open");
    script.ScanPageScripts("document.location");
  }
  if (script.PageRewrites != rewrites) scratch_.PageChanged();

  ScanAnchors(task_, baseUrl, docText_, links_, scope, scratch_);
  ScanAreas(task_, baseUrl, docText_, links_, scope, scratch_);
  if (!scriptFileUrl_.empty()) {
    // The script's body lies at the local file of the URL its entry finally resolved to.
    std::string scriptUrl;
    scriptEntry_ = task_.FindUrlTarget(scriptFileUrl_, scriptUrl);
    if (scriptEntry_ < 0) scriptUrl = scriptFileUrl_;
    const std::string scriptTmp = LocalPathOf(saveRoot_, scriptUrl) + ".tmp";
    // Wait (3000 ms at most) while the script is on its way.
    bool scriptThere = script.ScanScriptFileIfPresent(scriptTmp);
    if (!scriptThere) {
      const std::string native = NativePath(scriptTmp);
      TAnalysisIdle idle(task_);
      task_.Changes.WaitUntil(3000, [&] {
        return Terminated() || task_.State.load() > Paused || !ScriptComing() || FileExists(native);
      });
      scriptThere = script.ScanScriptFileIfPresent(scriptTmp);
    }
    // Wait for a script still on its way; one that failed or will never come is given up.
    if (!scriptThere && ScriptComing()) markSaved_ = false;
  }
  script.ApplyFunctions(links_);

  // Save under the final name with the resource's date.
  const std::string finalFile = NativePath(localFile);
  const TDateTime date = task_.GetFileTime(task_.ResolveIndex(index));
  const TDateTime stamp = date > kNoDate ? date : Now();
  const std::string tmpFile = NativePath(localFile + ".tmp");
  // The temporary file stays when the page is analysed again from it, or when other pages read
  // the script from it.
  const bool keepTemporary = !markSaved_ || HasExtIn(pageUrl, ScriptExts);
  if (keepTemporary || !fetched_.Writable()) {
    if (!WriteWholeFile(finalFile, docText_, stamp))
      throw std::runtime_error("无法保存文件 " + finalFile);
    if (!keepTemporary) DeleteFileAt(tmpFile);
  } else {
    // The temporary file takes the final name and the new bytes go over its own storage: no
    // second file is filled and no first one emptied.
    if (!RenameFileTo(tmpFile, finalFile)) throw std::runtime_error("无法保存文件 " + finalFile);
    if (!fetched_.Rewrite(docText_, stamp) || !fetched_.Close())
      throw TFetchedBytesLost("无法保存文件 " + finalFile);
  }
  if (markSaved_) task_.SetStatus(index, Saved);

  // On the start page of a Directory-scope task the user admits the other directories first.
  if (CollectStartPageDirs(task_, index, links_)) Window().AskExtraDirs(task_);
  RecordFollowedLinks(rec, index, added);
}

}  // namespace qm
