// Workers hold back while fetched pages wait for a busy analysis: worker k waits while
// TTask::AnalysisLeadOf(k) pages wait, worker 0 never does, and a held worker goes on once the
// analysis catches up, once it waits itself, or when the run stops.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "WorkerHarness.h"
#include "engine/HttpEvents.h"

namespace qm::test {
namespace {

using namespace std::chrono_literals;

constexpr int kPages = 60;
constexpr int kWorkers = 3;

// A site of kPages pages behind a start page, fetched by three workers with no analysis taking
// the pages: the analysis is "working" on something else the whole time.
class WorkerHoldBack : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.Put("/index.html", PageOf("<html>start</html>"));
    for (int i = 0; i < kPages; ++i) {
      const std::string path = "/p" + std::to_string(i) + ".html";
      site_.Put(path, PageOf("<html>" + std::to_string(i) + "</html>"));
      t_.Add(site_.Url(path));
    }
    t_.Task.AnalysisWorking = true;
    t_.Task.MarkRunning();
    for (auto& worker : workers_)
      worker = std::make_unique<TTaskThread>(t_.Task, false, MakeHttpClient());
  }
  void TearDown() override {
    t_.Task.MarkStopped();
    for (auto& worker : workers_) worker->WaitFor();
  }

  // Waits (20 s at most) until `done` holds.
  static bool Eventually(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (!done() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(2ms);
    return done();
  }
  bool AllFetched() { return t_.Task.PagesAwaitingAnalysis.load() == kPages + 1; }
  // The pages worker k fetched, by its success lines.
  std::size_t FetchedBy(int k) {
    return LinesWith(window_, "-Thread=" + std::to_string(MakeClientTag(7, k)) + ",成功下载")
        .size();
  }
  bool AtTheTail(int k) {
    return workers_[static_cast<std::size_t>(k)]->Position() == t_.Task.GetCount() - 1;
  }
  // The analysis takes pages (oldest first) until `left` wait.
  void AnalyseDownTo(std::int32_t left) {
    for (std::int32_t i = 0; i < t_.Task.GetCount(); ++i) {
      if (t_.Task.PagesAwaitingAnalysis.load() <= left) return;
      if (t_.Task.GetStatus(i) == Downloaded) t_.Task.SetStatus(i, Saved);
    }
  }

  WorkerTestEnvironment env_;
  ScopedRecordingWindow window_;
  TestSite site_;
  TaskUnderTest t_{site_.Url("/index.html")};
  std::array<std::unique_ptr<TTaskThread>, kWorkers> workers_;
};

TEST_F(WorkerHoldBack, OnlyTheFirstWorkerFetchesFarAheadOfTheAnalysis) {
  ASSERT_TRUE(Eventually([&] { return AllFetched(); }));
  // Worker 1 stops taking entries at 8 waiting pages, worker 2 at 16 (a claim or two may be
  // under way when the count is reached); worker 0 fetches the rest. Without holding back,
  // each would take about a third.
  const std::size_t lead1 = static_cast<std::size_t>(TTask::AnalysisLeadOf(1));
  const std::size_t lead2 = static_cast<std::size_t>(TTask::AnalysisLeadOf(2));
  EXPECT_LE(FetchedBy(1), lead1 + 2);
  EXPECT_LE(FetchedBy(2), lead2 + 2);
  EXPECT_EQ(FetchedBy(0) + FetchedBy(1) + FetchedBy(2), static_cast<std::size_t>(kPages + 1));
  EXPECT_GE(FetchedBy(0), static_cast<std::size_t>(kPages + 1) - lead1 - lead2 - 4);
  EXPECT_TRUE(Eventually([&] { return AtTheTail(0); }));
  EXPECT_FALSE(AtTheTail(1));
  EXPECT_FALSE(AtTheTail(2));
}

TEST_F(WorkerHoldBack, AHeldWorkerGoesOnOnceFewerPagesWaitThanItsLead) {
  ASSERT_TRUE(Eventually([&] { return AllFetched(); }));
  AnalyseDownTo(TTask::AnalysisLeadOf(2));
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(AtTheTail(2)) << "worker 2 went on with as many pages waiting as its lead";

  AnalyseDownTo(TTask::AnalysisLeadOf(2) - 1);
  EXPECT_TRUE(Eventually([&] { return AtTheTail(2); }));
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(AtTheTail(1)) << "worker 1 went on with more pages waiting than its lead";

  AnalyseDownTo(TTask::AnalysisLeadOf(1) - 1);
  EXPECT_TRUE(Eventually([&] { return AtTheTail(1); }));
}

TEST_F(WorkerHoldBack, HeldWorkersGoOnWhenTheAnalysisWaits) {
  ASSERT_TRUE(Eventually([&] { return AllFetched(); }));
  t_.Task.AnalysisWorking = false;
  t_.Task.Changes.NotifyLevel(0);
  EXPECT_TRUE(Eventually([&] { return AtTheTail(1) && AtTheTail(2); }));
}

TEST_F(WorkerHoldBack, AStopEndsHeldWorkers) {
  ASSERT_TRUE(Eventually([&] { return AllFetched(); }));
  t_.Task.MarkStopped();
  for (auto& worker : workers_) {
    worker->WaitFor();
    EXPECT_TRUE(worker->Finished());
  }
}

}  // namespace
}  // namespace qm::test
