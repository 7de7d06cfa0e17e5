#pragma once
// What the download worker tests share: a scripted web site on 127.0.0.1 that records every
// request, a task below a temporary folder, and a stand-in for the analysis thread that takes
// pages from the analysis queue, marks them saved and declares the table finished at its end.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/TaskThread.h"
#include "platform/Thread.h"
#include "support/RecordingWindow.h"
#include "support/TempDir.h"
#include "task/Task.h"

namespace qm::test {

// One resource of the scripted site.
struct SiteResource {
  std::string Body;
  std::string ContentType = "application/octet-stream";
  std::optional<std::time_t> LastModified;  // sent as Last-Modified when set
  std::vector<std::string> SetCookies;      // one Set-Cookie line each
  std::string ContentLocation;
  std::string RedirectTo;     // a 302 with this Location
  int Status = 200;           // answers other than 2xx carry Body as text
  int GetStatus = 0;          // when set, the status of GETs only (HEAD stays)
  bool IgnoreRange = false;   // answer a ranged GET with the whole body
  std::string GetRedirectTo;  // a 302 with this Location for GETs only (HEAD answers 200)
  int ChunkDelayMs = 0;       // send the body in 1000-byte chunks, pausing this long before each

  SiteResource& Type(std::string type) {
    ContentType = std::move(type);
    return *this;
  }
  SiteResource& Modified(std::time_t t) {
    LastModified = t;
    return *this;
  }
  SiteResource& Cookie(std::string line) {
    SetCookies.push_back(std::move(line));
    return *this;
  }
  SiteResource& Location(std::string url) {
    ContentLocation = std::move(url);
    return *this;
  }
  SiteResource& Answer(int status) {
    Status = status;
    return *this;
  }
  SiteResource& AnswerGet(int status) {
    GetStatus = status;
    return *this;
  }
  SiteResource& RedirectGets(std::string target) {
    GetRedirectTo = std::move(target);
    return *this;
  }
  SiteResource& Slowly(int chunkDelayMs) {
    ChunkDelayMs = chunkDelayMs;
    return *this;
  }
  SiteResource& NoRanges() {
    IgnoreRange = true;
    return *this;
  }
};

// A file with that body, a page (text/html) with that body, a 302 to `target`.
SiteResource FileOf(std::string body);
SiteResource PageOf(std::string body);
SiteResource RedirectOf(std::string target);

struct SiteRequest {
  std::string Method;
  std::string Path;
  std::string Range;   // the Range header, empty when none
  std::string Cookie;  // the Cookie header, empty when none
  std::string Referer;
  std::chrono::steady_clock::time_point At;
};

class TestSite {
 public:
  TestSite();
  ~TestSite();

  std::string Url(const std::string& path) const;
  void Put(const std::string& path, SiteResource resource);
  // Called on the server thread after a GET of `path` was answered (to stop a task halfway).
  void OnGet(const std::string& path, std::function<void(int getCount)> hook);

  std::vector<SiteRequest> Requests() const;
  std::vector<SiteRequest> Requests(const std::string& method, const std::string& path) const;
  int Count(const std::string& method, const std::string& path) const;

 private:
  void Handle(const httplib::Request& req, httplib::Response& res);

  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::map<std::string, SiteResource> resources_;
  std::map<std::string, std::function<void(int)>> hooks_;
  std::vector<SiteRequest> requests_;
};

// Stands in for the analysis thread: walks the table behind the workers in the same way, "analyses"
// every Downloaded page (moves its temporary file to the final name, optionally adds links found
// through `Links`) and sets AnalysisDone once it has passed the last entry.
class FakeAnalysis : public TThread {
 public:
  using LinkSource = std::function<std::vector<std::string>(const std::string& pageUrl)>;

  FakeAnalysis(TTask& task, LinkSource links = {});
  ~FakeAnalysis() override;

  std::vector<std::int32_t> Analysed() const;
  // Holds the walk before it declares the table finished, until Release().
  void HoldEnd() { hold_ = true; }
  void Release() { hold_ = false; }

 protected:
  void Execute() override;

 private:
  void Analyse(std::int32_t index);

  TTask& task_;
  LinkSource links_;
  std::atomic<bool> hold_{false};
  mutable std::mutex mutex_;
  std::vector<std::int32_t> analysed_;
};

// A task whose folder is a fresh temporary directory and whose start URL is record 0.
struct TaskUnderTest {
  TempDir Dir;
  TTask Task;

  explicit TaskUnderTest(const std::string& startUrl, std::int32_t managerIndex = 7);
  ~TaskUnderTest();
  // Appends a URL entry found on record `referId`'s page.
  std::int32_t Add(const std::string& url, std::int32_t status = NotDownloaded,
                   std::int32_t referId = 0, std::int32_t contentKind = 1);
  // The native path of a site file below the task folder ("127.0.0.1/a/b.gif").
  std::filesystem::path File(const std::string& relative) const;
};

// Starts `workers` workers (the first one the master) on fresh clients, runs them with the fake
// analysis until all have ended (or fails the test after `limit`); returns the analysed entries.
struct RunOptions {
  int Workers = 1;
  bool UpdateRun = false;
  FakeAnalysis::LinkSource Links;
  std::chrono::seconds Limit{60};
};
std::vector<std::int32_t> RunTask(TTask& task, const RunOptions& options);
RunOptions WithWorkers(int workers, FakeAnalysis::LinkSource links = {});
RunOptions AsUpdateRun();

// "No.<entry>-Thread=<tag>" for worker `worker` of the task.
std::string LinePrefix(const TTask& task, std::int32_t entry, std::int32_t worker = 0);
// Log lines that contain `part`.
std::vector<std::string> LinesWith(const RecordingWindow& window, const std::string& part);

// Sets the pacing factor and the settings the tests rely on, and puts both back afterwards.
class WorkerTestEnvironment {
 public:
  explicit WorkerTestEnvironment(double pacing = 0);
  ~WorkerTestEnvironment();

 private:
  double oldPacing_;
};

// A deterministic body of `size` bytes (no repeating period of a slice's length).
std::string PatternBody(std::size_t size);
// Whole seconds of a past moment, usable as a Last-Modified value.
std::time_t SomePastTime(int daysAgo = 30);

}  // namespace qm::test
