#pragma once
// The download workers of a running task. Every worker walks the task's URL table in index order,
// claims entries one at a time by a status change under the table lock, asks the server with HEAD,
// fetches with GET (whole, or in ranged slices with resume for large files), hands pages to the
// analysis thread and saves other files itself. In an update run it also revisits entries saved
// or failed in earlier runs and fetches them again when their date changed.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/CookiesApi.h"
#include "engine/HttpClient.h"
#include "platform/DateTime.h"
#include "task/LocalFileClaims.h"
#include "task/WorkerInfo.h"

namespace qm {

class TTask;

class TTaskThread : public TWorkerInfo {
 public:
  // Bodies up to this size are fetched with one GET and held in memory.
  static constexpr std::int64_t kSmallBodyLimit = 102400;
  // A ranged request asks for bytes Received .. Received + kSliceSpan (both ends included).
  static constexpr std::int64_t kSliceSpan = 10240;
  // A body buffer at most this large is kept from one entry to the next.
  static constexpr std::size_t kKeptBodyCapacity = 16384;
  // Pages at most this long are tested for being a bare refresh.
  static constexpr std::size_t kRefreshTestLimit = 512;

  // Registers with the task (worker index, speed meter, client, client tag), clears the task's
  // AnalysisDone flag and starts the thread at once.
  TTaskThread(TTask& task, bool updateRun, std::unique_ptr<THttpClient> client);
  // Asks the thread to end and waits for it.
  ~TTaskThread() override;

  std::int64_t Position() const override { return position_.load(); }
  std::uint32_t Tag() const override { return tag_; }
  std::int32_t WorkerIndex() const { return workerIndex_; }
  // Files fetched successfully in this run (changed on the main thread by the progress lines).
  std::int32_t FilesDone() const { return filesDone_.load(); }

 protected:
  // For derived workers that start the thread themselves once they are fully built.
  struct TDeferStart {};
  TTaskThread(TTask& task, bool updateRun, std::unique_ptr<THttpClient> client, TDeferStart);

  void Execute() override;
  const char* ThreadName() const override { return "qm-worker"; }
  // Workers wait on the server most of the time and wake for each answer; the analysis thread,
  // which their pages feed, is not put off the processor at each of those wake-ups.
  bool BatchWork() const override { return true; }
  // An uncaught error ends the run as a failure; the master still makes its end-of-run report.
  void OnUncaughtError(const std::string& message) override;
  // Called on the worker's thread when its walk of the table has ended (end of table, stop or
  // termination), after the worker has released its client.
  virtual void OnLoopEnded() {}

  TTask& task() { return task_; }

 private:
  // Waits at the last entry `at` until the table grows past it, the analysis has walked the
  // whole table, or the run ends.
  void WaitAtTail(std::int32_t at);
  // Waits while the analysis is this worker's share behind (see TTask::AnalysisLeadOf).
  void HoldBackForAnalysis();
  // Lets go of the body buffer when it grew beyond kKeptBodyCapacity.
  void ReleaseLargeBody();
  void DownloadEntry(std::int32_t entry);
  void UpdateEntry(std::int32_t entry);
  bool HeadEntry(std::int32_t entry);
  bool GetEntry(std::int32_t entry);
  bool RefreshTest();
  // The entry the worker's HEAD was redirected to was added by that redirect, so this worker has
  // claimed it.
  bool OwnsTarget() const;

  // GetEntry's parts.
  void FetchSmallBody();
  bool FetchRanged(std::int32_t entry);
  void FollowRedirectAfterGet(std::int32_t entry);
  void StoreResult();
  void SaveUnderFinalName();
  void FinishEntryStatus(std::int32_t entry);

  // Shared steps.
  void InheritCookies(std::int32_t entry);
  void SetCurrentUrl(const std::string& url);
  void SetRefererOf(std::int32_t entry);
  void StoreWorkerUrl();
  // The up-to-date test of a non-page file: true (and the entry Saved) when the local file's date
  // equals the response's Last-Modified. `format` is the line logged on a hit.
  bool LocalFileIsCurrent(std::int32_t entry, const char* format);
  void RequestRetry(std::int32_t index);
  bool RetryFires();
  void ReleaseClient();
  // Holds the local file this worker is about to write (see TLocalFileClaims); false when the
  // run was stopped while waiting for it.
  bool HoldLocalFile(const std::string& localFile, std::int32_t owner);

  // Log paths, all run on the main thread while the worker waits.
  void LogPlain(const std::string& line);
  void LogRed(const std::string& line);
  void LogProgress(const std::string& line);
  void LogStatusOnly(const std::string& line);
  // "No.%d-Thread=%d" followed by the rest of the line.
  std::string Line(std::int32_t entry, const char* format, ...)
      __attribute__((format(printf, 3, 4)));

  TTask& task_;
  std::unique_ptr<THttpClient> client_;
  const bool updateRun_;
  std::int32_t workerIndex_ = 0;
  std::uint32_t tag_ = 0;
  std::atomic<std::int64_t> position_{0};
  std::atomic<std::int32_t> filesDone_{0};
  bool loopEnded_ = false;  // OnLoopEnded has been called (only on the worker's own thread)

  std::string saveRoot_;  // the task's Folder, or ".\" when empty
  std::int64_t expectedSize_ = 0;
  TDateTime lastModified_ = 0;  // at or below one third of a day: no date
  std::string currentUrl_;
  std::string body_;
  std::string hostPart_, pathPart_, namePart_;
  std::string localFile_;  // "\"-separated, always inside saveRoot_
  std::int32_t resolved_ = 0;
  std::int32_t lastHeadEntry_ = -1;  // the entry of this worker's latest HEAD
  std::int32_t ownedTarget_ = -1;    // the redirect target the latest HEAD added, -1 none
  TCookieList cookieList_;
  TLocalFileClaim fileClaim_;

  // The refresh retry slot.
  std::int32_t retryIndex_ = 0;
  std::int32_t retryCount_ = 0;
  bool retryPending_ = false;
};

// The worker that supervises the run: it works like every other worker and, when its walk has
// ended, runs the end-of-run epilogue (report, task file, next task) on its own thread.
class TMasterTaskThread : public TTaskThread {
 public:
  TMasterTaskThread(TTask& task, bool updateRun, std::unique_ptr<THttpClient> client);
  ~TMasterTaskThread() override;

 protected:
  // The epilogue; engine/MasterTaskThread.cpp.
  void OnLoopEnded() override;
};

}  // namespace qm
