#include "WorkerHarness.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>

#include "config/Setting.h"
#include "engine/HttpEvents.h"
#include "engine/TaskRegistry.h"
#include "platform/Files.h"
#include "platform/Pacing.h"
#include "task/MainWindowPort.h"
#include "url/UrlLib.h"

namespace qm::test {

namespace {

void Pause1ms() {
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

// ---------------------------------------------------------------------------------------------

FakeAnalysis::FakeAnalysis(TTask& task, LinkSource links) : task_(task), links_(std::move(links)) {
  task_.AnalysisDone = false;
  Start();
}

FakeAnalysis::~FakeAnalysis() {
  Terminate();
  WaitFor();
}

std::vector<std::int32_t> FakeAnalysis::Analysed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return analysed_;
}

void FakeAnalysis::Execute() {
  std::int32_t position = 0;
  for (;;) {
    if (position >= task_.GetCount()) break;
    if (Terminated() || task_.State.load() > Paused) return;
    if (task_.State.load() == Paused) {
      Pause1ms();
      continue;
    }
    task_.AnalysisDone = false;
    const std::int32_t queued = task_.PopAnalysis();
    if (queued >= 0 && task_.GetStatus(queued) == Downloaded) Analyse(queued);
    if (task_.GetKind(position) != 0) {
      const std::int32_t status = task_.GetStatus(position);
      if (status == NotDownloaded || status == InProgress) {
        Pause1ms();
        continue;
      }
      if (status == Downloaded) Analyse(position);
    }
    ++position;
  }
  while (hold_.load() && !Terminated()) Pause1ms();
  task_.AnalysisDone = true;
}

void FakeAnalysis::Analyse(std::int32_t index) {
  const std::string pageUrl = task_.GetUrl(index);
  const std::string local = NativePath(LocalPathOf(task_.Folder, pageUrl));
  if (!FileExists(local + ".tmp")) {
    task_.SetStatus(index, DownloadError);
    return;
  }
  if (links_) {
    const std::int32_t layer = task_.GetLayer(index);
    for (const std::string& link : links_(pageUrl)) {
      if (task_.FindUrl(link) != -1) continue;
      TExtendUrlRec rec = EmptyUrlRec();
      rec.Url.Set(link);
      rec.Status = NotDownloaded;
      rec.ContentKind = HasExtIn(link, PageExts) ? 0 : 1;
      rec.Layer = layer + 1;
      rec.ReferId = index;
      rec.OwnBase = 1;
      task_.AddUrl(rec);
    }
  }
  RenameFileTo(local + ".tmp", local);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    analysed_.push_back(index);
  }
  task_.SetStatus(index, Saved);
}

// ---------------------------------------------------------------------------------------------

TaskUnderTest::TaskUnderTest(const std::string& startUrl, std::int32_t managerIndex) {
  Task.ManagerIndex = managerIndex;
  Task.Folder = Dir.TaskFolder();
  Task.Loaded = true;
  TExtendUrlRec rec = EmptyUrlRec();
  rec.Url.Set(startUrl);
  rec.Status = NotDownloaded;
  rec.OwnBase = 1;
  Task.AddUrl(rec);
  RegisterTask(managerIndex, &Task);
}

TaskUnderTest::~TaskUnderTest() {
  RegisterTask(Task.ManagerIndex, nullptr);
}

std::int32_t TaskUnderTest::Add(const std::string& url, std::int32_t status, std::int32_t referId,
                                std::int32_t contentKind) {
  TExtendUrlRec rec = EmptyUrlRec();
  rec.Url.Set(url);
  rec.Status = status;
  rec.ContentKind = contentKind;
  rec.Layer = 1;
  rec.ReferId = referId;
  rec.OwnBase = 1;
  return Task.AddUrl(rec);
}

std::filesystem::path TaskUnderTest::File(const std::string& relative) const {
  return Dir.Path() / relative;
}

// ---------------------------------------------------------------------------------------------

std::vector<std::int32_t> RunTask(TTask& task, const RunOptions& options) {
  // Running before the threads start, so that none of them sees the task's earlier state.
  task.MarkRunning();
  std::vector<std::unique_ptr<TTaskThread>> workers;
  workers.push_back(std::make_unique<TMasterTaskThread>(task, options.UpdateRun, MakeHttpClient()));
  for (int i = 1; i < options.Workers; ++i)
    workers.push_back(std::make_unique<TTaskThread>(task, options.UpdateRun, MakeHttpClient()));
  FakeAnalysis analysis(task, options.Links);

  const auto deadline = std::chrono::steady_clock::now() + options.Limit;
  auto allEnded = [&] {
    for (const auto& w : workers)
      if (!w->Finished()) return false;
    return true;
  };
  while (!allEnded() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (!allEnded()) {
    ADD_FAILURE() << "the workers did not end in time";
    task.MarkStopped();
  }
  workers.clear();
  analysis.Terminate();
  analysis.WaitFor();
  if (task.State.load() == Running) task.MarkComplete();
  return analysis.Analysed();
}

RunOptions WithWorkers(int workers, FakeAnalysis::LinkSource links) {
  RunOptions options;
  options.Workers = workers;
  options.Links = std::move(links);
  return options;
}

RunOptions AsUpdateRun() {
  RunOptions options;
  options.UpdateRun = true;
  return options;
}

std::string LinePrefix(const TTask& task, std::int32_t entry, std::int32_t worker) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "No.%" PRId32 "-Thread=%" PRId32, entry,
                static_cast<std::int32_t>(MakeClientTag(task.ManagerIndex, worker)));
  return buf;
}

std::vector<std::string> LinesWith(const RecordingWindow& window, const std::string& part) {
  std::vector<std::string> out;
  for (const auto& line : window.Lines())
    if (line.Text.find(part) != std::string::npos) out.push_back(line.Text);
  return out;
}

WorkerTestEnvironment::WorkerTestEnvironment(double pacing) : oldPacing_(PacingFactor()) {
  SetPacingFactor(pacing);
  ResetSettings();
  UseSystemCookies = false;  // never the cookies of whoever runs the tests
}

WorkerTestEnvironment::~WorkerTestEnvironment() {
  ResetSettings();
  SetPacingFactor(oldPacing_);
}

std::time_t SomePastTime(int daysAgo) {
  return std::time(nullptr) / 60 * 60 - static_cast<std::time_t>(daysAgo) * 86400;
}

}  // namespace qm::test
