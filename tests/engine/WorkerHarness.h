#pragma once
// What the download worker tests share: a scripted web site on 127.0.0.1 that records every
// request, a task below a temporary folder, and a stand-in for the analysis thread that takes
// pages from the analysis queue, marks them saved and declares the table finished at its end.
#include "support/TestSite.h"

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

// Whole seconds of a past moment, usable as a Last-Modified value.
std::time_t SomePastTime(int daysAgo = 30);

}  // namespace qm::test
