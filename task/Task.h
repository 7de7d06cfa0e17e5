#pragma once
// One download project: start URL, four download settings and the URL table with the progress of
// every resource. Workers, the analysis thread, the task manager and the window all use one TTask
// at the same time: every table operation holds TableLock for its whole body.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/ChangeSignal.h"
#include "platform/DateTime.h"
#include "platform/Lock.h"
#include "task/LocalFileClaims.h"
#include "task/TaskSettings.h"
#include "task/UrlRecord.h"

namespace qm {

class TWorkerInfo;        // what the task sees of a download worker (task/WorkerInfo.h)
class TMasterTaskThread;  // the supervising worker (engine)
class ParseThread;        // the page analysis thread (analysis)
class THttpClient;        // a worker's HTTP client (engine)
class THttpWork;          // a worker's speed meter (task)
class TJsClass;           // the script evaluator (analysis)

// The client tag of worker `worker` of the task at `managerIndex`: task high, worker low.
inline std::uint32_t MakeClientTag(std::int32_t managerIndex, std::int32_t worker) {
  return (static_cast<std::uint32_t>(managerIndex) << 16) |
         (static_cast<std::uint32_t>(worker) & 0xFFFFu);
}

class TTask {
 public:
  TTask();
  ~TTask();
  TTask(const TTask&) = delete;
  TTask& operator=(const TTask&) = delete;

  // Notified by every change the threads of a run wait for: an entry's status, a new record, the
  // analysis queue, the update pass, AnalysisDone, State. Declared first: the values below use it.
  TChangeSignal Changes;

  // ---- fields, in the program's declaration order ----
  std::int32_t ManagerIndex = 0;  // index in the task manager's list
  mutable TReentrantLock TableLock;
  TSignalledValue<std::int32_t> State{Changes, Stopped};
  bool Loaded = false;  // the URL table is in memory
  std::int32_t RunMode = RunNormal;

  // Per-worker arrays of a run (index = worker index). WorkersLock guards their shape, so that
  // transfer events of one worker may look up its slot while the window stops the run.
  mutable std::mutex WorkersLock;
  std::vector<TWorkerInfo*> Workers;  // the TTaskThread workers of the run
  TMasterTaskThread* MasterThread = nullptr;
  ParseThread* AnalysisThread = nullptr;
  std::vector<std::shared_ptr<THttpWork>> Meters;
  std::vector<THttpClient*> HttpClients;
  std::vector<std::string> WorkerUrls;

  std::string Name;  // first column of the task list
  std::shared_ptr<TJsClass> Script;
  std::string Folder;      // directory of the task file and the site, ending in "\"
  std::string FileName;    // task file name (".web")
  std::int32_t Count = 0;  // records in use in Urls
  TUrlTable Urls;          // capacity = Urls.size() >= Count
  std::int32_t Total = 0;
  int ListItem = -1;  // the task's row id in the window's task list, -1 none
  std::int32_t NotDownloadedCount = 0;
  std::int32_t SavedCount = 0;
  std::int32_t ErrorCount = 0;
  std::int32_t AnalysisErrorCount = 0;
  std::int32_t DownloadedCount = 0;
  std::int64_t SavedBytes = 0;
  TDateTime RunTime = 0;  // time spent Running in earlier runs (a span)
  TDateTime RunStart = 0;
  std::vector<UrlFlagRec> UrlFlags;  // parallel to Urls, same length
  std::vector<std::int32_t> AnalysisQueue;
  std::vector<ExtraDirRec> ExtraDirs;
  TSignalledValue<bool> AnalysisDone{Changes, false};
  // DownloadedCount (fetched pages that wait for the analysis), copied for reading without the
  // table lock: while the analysis is behind, workers hold back rather than take the processor
  // from it. Copied by SetStatus and Recount (PublishPagesAwaiting).
  std::atomic<std::int32_t> PagesAwaitingAnalysis{0};
  // The analysis thread walks the table and is not waiting (for an entry, a script file, a
  // resume): only then do workers hold back for it.
  std::atomic<bool> AnalysisWorking{false};
  // How many pages may wait for the analysis before worker `workerIndex` holds back: worker 0
  // never does, each further worker at kLeadPerWorker pages more.
  static constexpr std::int32_t kLeadPerWorker = 8;
  static constexpr std::int32_t AnalysisLeadOf(std::int32_t workerIndex) {
    return kLeadPerWorker * workerIndex;
  }
  // Holds on the local files being written in this run (two entries may share one file).
  TLocalFileClaims FileClaims;
  // A thread of the task's latest run ended through an uncaught error (FailRun).
  std::atomic<bool> RunFailed{false};

  // ---- settings and start URL (under TableLock) ----
  // The settings dialog changes the four settings of a running task while the analysis thread
  // and the tag scans read them, and the analysis thread sets the start URL while the window
  // shows it: both are only read and written here, each access under TableLock.
  TaskSettings Settings() const;
  void SetSettings(const TaskSettings& settings);
  // URL of record 0 after following redirects.
  std::string StartUrl() const;
  void SetStartUrl(std::string_view url);

  // ---- table operations (each takes TableLock for its whole body) ----
  std::int32_t AddUrl(const TExtendUrlRec& rec);
  // AddUrl unless the record's URL is in the table already (then kKnownUrl), in one lock hold: a
  // worker's redirect may add the URL between the analysis's lookup and its AddUrl. A URL of 127
  // bytes may have been cut when stored and is added without the test, as before.
  static constexpr std::int32_t kKnownUrl = -2;
  std::int32_t AddNewUrl(const TExtendUrlRec& rec);
  std::int32_t FindUrl(std::string_view url);
  std::string GetUrl(std::int32_t index);
  // FindUrl, and for a URL in the table the text GetUrl gives for its entry (the end of its
  // redirects) written into `target`, in one lock hold and reusing target's storage; `target` is
  // cleared for an unknown URL. The analysis asks this for every link it meets.
  std::int32_t FindUrlTarget(std::string_view url, std::string& target);
  std::int32_t ResolveIndex(std::int32_t index);
  std::string GetRawUrl(std::int32_t index);
  TExtendUrlRec CopyRecord(std::int32_t index);
  std::int32_t GetStatus(std::int32_t index);
  std::int32_t GetKind(std::int32_t index);
  std::int32_t GetContentKind(std::int32_t index);
  std::int32_t GetSize(std::int32_t index);
  TDateTime GetFileTime(std::int32_t index);
  std::int32_t GetLayer(std::int32_t index);
  bool SetStatus(std::int32_t index, std::int32_t status);
  // Claims a waiting URL entry for a worker: NotDownloaded -> InProgress in one step, so that an
  // entry another worker claimed and finished since the caller looked is not claimed again.
  bool ClaimEntry(std::int32_t index);
  bool SetContentKind(std::int32_t index, std::int32_t value);
  void SetSize(std::int32_t index, std::int32_t bytes);
  void SetFileTime(std::int32_t index, TDateTime time);
  std::int32_t GetCount();
  std::int32_t Recount();
  // Records that entry `index` answered with a redirect to newUrl and returns the target's index.
  // A new target is added InProgress (the worker that met the redirect fetches it) and `created`
  // is set; a target already in the table keeps its own status, since it is fetched, or was,
  // under its own entry. The redirecting entry becomes Redirected either way.
  std::int32_t RedirectRecord(std::int32_t index, std::string_view newUrl, bool* created = nullptr);
  std::int32_t RedirectUrl(std::string_view oldUrl, std::string_view newUrl,
                           bool* created = nullptr);
  // The URL itself, or GetUrl of its entry when it is in the table; `changed` when that differs.
  std::string ResolveBase(std::string_view url, bool& changed);
  std::int32_t PushAnalysis(std::int32_t index);
  std::int32_t PopAnalysis();
  bool AnalysisQueued();
  bool IsChecked(std::int32_t index);
  bool SetChecked(std::int32_t index, bool value);
  // The update pass of an update run: BeginUpdate takes up an entry that was saved (or failed,
  // with `includeErrors`) and not yet taken up, in one locked step; EndUpdate marks it done.
  // UpdatePending tells the analysis walk that such an entry may still be fetched again.
  bool BeginUpdate(std::int32_t index, bool includeErrors);
  void EndUpdate(std::int32_t index);
  bool UpdatePending(std::int32_t index, bool includeErrors);
  // True once after the table could not grow for a directory node: the caller reports "内存不足"
  // to the window, which is never called while TableLock is held.
  bool TakeMemoryShortNote();
  bool SetCookies(std::int32_t index, const std::string& text);
  bool FindInheritedCookies(std::int32_t index, std::string& cookies);
  // Cookies a server marked Secure, by name, for every worker of the task (the per-entry cookie
  // strings carry names and values only): such cookies go only with https requests. The latest
  // Set-Cookie of a name decides.
  void SetCookieSecure(const std::string& name, bool secure);
  std::set<std::string> SecureCookieNames() const;
  void Restart();

  // ---- state changes (no table lock) ----
  void MarkRunning();
  void Pause();
  void MarkStopped();
  void MarkComplete();
  // A thread of the run died of `message`: the message goes to the log in red, the run is
  // stopped (the master's end-of-run report then saves the task file) and RunFailed is set.
  void FailRun(const std::string& message);

  // Appends a worker to the per-worker arrays with a new speed meter and returns its index; the
  // worker then tags its client with MakeClientTag(ManagerIndex, index), so that the client's
  // transfer events find task and worker.
  std::int32_t RegisterWorker(TWorkerInfo* thread, THttpClient* client);

  // Rebuilds the in-memory lookup index from the stored tree links (after a task file was read
  // straight into Urls).
  void RebuildIndex();

  // ---- the task's row in the window's task list ----
  // Fills the row `row` (state, start URL, running time, progress, size, count) and remembers
  // it as ListItem; `now` is the moment a running task's time is measured to.
  void ShowInListItem(int row, TDateTime now = Now());
  // ShowInListItem with the remembered row; nothing when the task has no row.
  void RefreshListItem(TDateTime now = Now());

 private:
  std::set<std::string> secureCookieNames_;  // under TableLock
  struct LookupIndex;                        // in-memory index beside the stored tree links
  std::unique_ptr<LookupIndex> index_;
  bool memoryShort_ = false;  // under TableLock
  TaskSettings settings_;     // under TableLock
  std::string startUrl_;      // under TableLock
  // Lookup tree (callers hold TableLock).
  std::int32_t FindDirChild(std::int32_t node, std::string_view name);
  std::int32_t FindUrlChild(std::int32_t node, std::string_view url);
  std::int32_t FindDirPath(std::string_view key);
  std::int32_t ForceDirPath(std::string_view key);
  std::int32_t AddDirNode(std::int32_t parent, std::string_view name);
  void LinkUrlNode(std::int32_t node, std::int32_t index);
  bool GrowTable(std::int32_t minCapacity);
  // Copies DownloadedCount to PagesAwaitingAnalysis and tells held back workers (under TableLock).
  void PublishPagesAwaiting();
  // Sets State, keeping RunTime and RunStart up to date, under TableLock.
  void EnterState(std::int32_t state);

  friend class TaskFileAccess;  // the task file reader fills the table directly
};

}  // namespace qm
