#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "TaskTestUtil.h"
#include "platform/Pacing.h"
#include "support/RecordingWindow.h"
#include "task/HttpWork.h"
#include "task/Task.h"
#include "task/WorkerInfo.h"

namespace qm {
namespace {

using test::UrlRec;

// A worker that only reports where it stands; it is never started.
class StandingWorker : public TWorkerInfo {
 public:
  StandingWorker(std::uint32_t tag, std::int64_t position) : tag_(tag), position_(position) {}
  std::int64_t Position() const override { return position_; }
  std::uint32_t Tag() const override { return tag_; }

 protected:
  void Execute() override {}

 private:
  std::uint32_t tag_;
  std::int64_t position_;
};

TEST(TaskRunState, StateChangesAccumulateRunningTime) {
  TTask task;
  task.MarkRunning();
  EXPECT_EQ(task.State, Running);
  task.RunStart -= 1.0 / 24;  // started an hour ago
  task.Pause();
  EXPECT_EQ(task.State, Paused);
  EXPECT_NEAR(task.RunTime, 1.0 / 24, 1e-6);
  // Not running: no time is added.
  task.RunStart -= 1.0;
  task.MarkStopped();
  EXPECT_EQ(task.State, Stopped);
  EXPECT_NEAR(task.RunTime, 1.0 / 24, 1e-6);
  task.MarkRunning();
  task.RunStart -= 2.0 / 24;
  task.MarkComplete();
  EXPECT_EQ(task.State, Complete);
  EXPECT_NEAR(task.RunTime, 3.0 / 24, 1e-6);
}

TEST(TaskRunState, RegisterWorkerFillsThePerWorkerArrays) {
  TTask task;
  StandingWorker w0(0, 0), w1(1, 0);
  EXPECT_EQ(task.RegisterWorker(&w0, nullptr), 0);
  EXPECT_EQ(task.RegisterWorker(&w1, nullptr), 1);
  ASSERT_EQ(task.Workers.size(), 2u);
  EXPECT_EQ(task.Workers[1], &w1);
  ASSERT_EQ(task.Meters.size(), 2u);
  EXPECT_NE(task.Meters[0], nullptr);
  EXPECT_NE(task.Meters[0], task.Meters[1]);
  EXPECT_EQ(task.HttpClients.size(), 2u);
  EXPECT_EQ(task.WorkerUrls.size(), 2u);
  task.MarkComplete();
  EXPECT_TRUE(task.Workers.empty());
  EXPECT_EQ(task.Meters.size(), 2u);  // meters stay until the next run registers again
  EXPECT_EQ(task.RegisterWorker(&w1, nullptr), 0);
  EXPECT_EQ(task.Meters.size(), 1u);
  EXPECT_EQ(task.Workers[0], &w1);
}

TEST(TaskRunState, PauseLogsWhereEveryWorkerStands) {
  test::ScopedRecordingWindow window;
  TTask task;
  task.ManagerIndex = 2;
  task.AddUrl(UrlRec("http://h/"));
  const std::int32_t busy = task.AddUrl(UrlRec("http://h/busy.html"));
  task.SetStatus(busy, InProgress);
  StandingWorker w0(MakeClientTag(2, 0), busy);
  StandingWorker w1(MakeClientTag(2, 1), 0);
  task.RegisterWorker(&w0, nullptr);
  task.RegisterWorker(&w1, nullptr);
  task.MarkRunning();
  task.Pause();
  const auto lines = window.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].Text, "tag=131072,Position=3,Status=6,Url=http://h/busy.html");
  EXPECT_EQ(lines[1].Text, "tag=131073,Position=0,Status=0,Url=http://h/");
  EXPECT_FALSE(lines[0].Red);
}

// Several workers try to claim every entry at once: a claim is a status change to InProgress that
// reports success, so each entry goes to exactly one of them.
TEST(TaskConcurrency, SetStatusClaimsAreExclusive) {
  TTask task;
  constexpr int kEntries = 3000;
  for (int i = 0; i < kEntries; ++i) task.AddUrl(UrlRec("http://h/" + std::to_string(i)));
  task.Recount();
  std::vector<std::atomic<int>> claims(static_cast<std::size_t>(task.Count));
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&] {
      for (std::int32_t i = 0; i < task.GetCount(); ++i) {
        if (task.GetKind(i) == 1 && task.SetStatus(i, InProgress)) {
          claims[static_cast<std::size_t>(i)].fetch_add(1);
        }
      }
    });
  }
  for (auto& t : workers) t.join();
  int claimed = 0;
  for (auto& n : claims) {
    ASSERT_LE(n.load(), 1);
    claimed += n.load();
  }
  EXPECT_EQ(claimed, kEntries);
  EXPECT_EQ(task.NotDownloadedCount, 0);
}

// The download loop looks at an entry, claims it, fetches it and moves it on. A worker that looked
// before another one claimed and finished the entry must not claim it a second time.
TEST(TaskConcurrency, ClaimEntryNeverTakesAFinishedEntry) {
  TTask task;
  constexpr int kEntries = 4000;
  for (int i = 0; i < kEntries; ++i) task.AddUrl(UrlRec("http://h/" + std::to_string(i)));
  task.Recount();
  std::vector<std::atomic<int>> claims(static_cast<std::size_t>(task.Count));
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&] {
      const std::int32_t count = task.GetCount();
      for (std::int32_t i = 0; i < count; ++i) {
        if (task.GetKind(i) == 1 && task.GetStatus(i) == NotDownloaded && task.ClaimEntry(i)) {
          claims[static_cast<std::size_t>(i)].fetch_add(1);
          task.SetStatus(i, i % 2 ? Saved : Downloaded);
        }
      }
    });
  }
  for (auto& t : workers) t.join();
  int claimed = 0;
  for (std::int32_t i = 0; i < task.Count; ++i) {
    const int n = claims[static_cast<std::size_t>(i)].load();
    ASSERT_LE(n, 1) << i;
    claimed += n;
  }
  EXPECT_EQ(claimed, kEntries);
  EXPECT_EQ(task.NotDownloadedCount, 0);
  EXPECT_EQ(task.SavedCount + task.DownloadedCount, kEntries);
  EXPECT_FALSE(task.ClaimEntry(1));  // the root node is no URL entry
}

// The analysis waits for an entry to be fetched. Claims of entries wake it for nothing (each
// wake-up takes the table lock from the worker that claimed), the fetch's outcome wakes it.
TEST(TaskConcurrency, AClaimWakesNoWaiterAndTheFetchedStatusDoes) {
  using namespace std::chrono_literals;
  const double pacing = PacingFactor();
  SetPacingFactor(0);
  TTask task;
  for (int i = 0; i < 20; ++i) task.AddUrl(UrlRec("http://h/" + std::to_string(i)));
  std::int32_t watched = -1;
  for (std::int32_t i = 0; i < task.GetCount() && watched < 0; ++i)
    if (task.GetKind(i) == 1) watched = i;
  ASSERT_GE(watched, 0);
  std::atomic<int> looks{0};
  std::thread analysis([&] {
    task.Changes.WaitUntil(100, [&] {
      ++looks;
      return task.GetStatus(watched) == Downloaded;
    });
  });
  std::this_thread::sleep_for(20ms);
  const int before = looks.load();
  int claimed = 0;
  for (std::int32_t i = 0; i < task.GetCount(); ++i)
    if (task.GetKind(i) == 1) claimed += task.ClaimEntry(i) ? 1 : 0;
  EXPECT_EQ(claimed, 20);
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(looks.load(), before);
  task.SetStatus(watched, Downloaded);
  analysis.join();
  EXPECT_EQ(looks.load(), before + 1);
  SetPacingFactor(pacing);
}

TEST(TaskConcurrency, AddAndFindFromSeveralThreads) {
  TTask task;
  task.AddUrl(UrlRec("http://h/"));
  constexpr int kThreads = 4;
  constexpr int kPerThread = 3000;
  std::vector<std::vector<std::int32_t>> added(kThreads);
  std::atomic<int> misses{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        // Threads share directories, so nodes are created and looked up concurrently.
        const std::string url = "http://h/d" + std::to_string(i % 13) + "/t" + std::to_string(t) +
                                "-" + std::to_string(i);
        const std::int32_t n = task.AddUrl(UrlRec(url));
        added[static_cast<std::size_t>(t)].push_back(n);
        if (task.FindUrl(url) != n) misses.fetch_add(1);
        // Look up what a neighbour may or may not have added yet: found means its own index.
        const std::string other = "http://h/d" + std::to_string(i % 13) + "/t" +
                                  std::to_string((t + 1) % kThreads) + "-" + std::to_string(i);
        const std::int32_t seen = task.FindUrl(other);
        if (seen >= 0 && task.GetRawUrl(seen) != other) misses.fetch_add(1);
        bool changed = false;
        task.ResolveBase(other, changed);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(misses.load(), 0);
  EXPECT_EQ(task.Total, 1 + kThreads * kPerThread);
  EXPECT_EQ(task.UrlFlags.size(), task.Urls.size());
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kPerThread; i += 97) {
      const std::string url = "http://h/d" + std::to_string(i % 13) + "/t" + std::to_string(t) +
                              "-" + std::to_string(i);
      ASSERT_EQ(task.FindUrl(url), added[static_cast<std::size_t>(t)][static_cast<std::size_t>(i)]);
    }
  }
  // 1 root + 1 host + 13 directories beside the entries.
  EXPECT_EQ(task.Count, 1 + kThreads * kPerThread + 15);
}

TEST(TaskConcurrency, WorkersRegisterWhilePauseReports) {
  test::ScopedRecordingWindow window;
  TTask task;
  task.AddUrl(UrlRec("http://h/"));
  std::vector<std::unique_ptr<StandingWorker>> workers;
  for (int i = 0; i < 8; ++i) workers.push_back(std::make_unique<StandingWorker>(i, 0));
  task.MarkRunning();
  std::thread registrar([&] {
    for (auto& w : workers) task.RegisterWorker(w.get(), nullptr);
  });
  for (int i = 0; i < 20; ++i) task.Pause();
  registrar.join();
  task.Pause();
  EXPECT_EQ(task.Workers.size(), 8u);
  EXPECT_TRUE(window.HasLineContaining("tag=7,Position=0,Status=0,Url=http://h/"));
}

}  // namespace
}  // namespace qm
