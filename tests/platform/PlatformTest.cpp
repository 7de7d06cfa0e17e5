#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>

#include "platform/DateTime.h"
#include "platform/Gbk.h"
#include "platform/Pacing.h"
#include "platform/Thread.h"

namespace qm {
namespace {

TEST(Pacing, FactorScalesPauses) {
  SetPacingFactor(0);
  auto t0 = std::chrono::steady_clock::now();
  PacedSleep(5000);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
  SetPacingFactor(0.01);
  t0 = std::chrono::steady_clock::now();
  PacedSleep(3000);  // 30 ms
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(25));
  SetPacingFactor(-3);
  EXPECT_EQ(PacingFactor(), 0);
  SetPacingFactor(1);
}

TEST(Gbk, RoundTripsChineseAndKeepsAscii) {
  const std::string utf8 = "下载线程=5";
  const std::string gbk = Utf8ToGbk(utf8);
  EXPECT_EQ(gbk, "\xCF\xC2\xD4\xD8\xCF\xDF\xB3\xCC=5");
  EXPECT_EQ(GbkToUtf8(gbk), utf8);
  // Characters outside GBK stay representable through GB18030.
  EXPECT_EQ(GbkToUtf8(Utf8ToGbk("€😀")), "€😀");
  // A broken sequence does not stop the conversion.
  EXPECT_EQ(GbkToUtf8("a\xFF"
                      "b")
                .front(),
            'a');
}

class CountingThread : public TThread {
 public:
  ~CountingThread() override {
    Terminate();
    WaitFor();
  }
  std::atomic<int> passes{0};
  std::atomic<bool> selfSuspended{false};

 protected:
  void Execute() override {
    while (!Terminated()) {
      CheckSuspended();
      if (passes.fetch_add(1) == 10) {
        selfSuspended = true;
        Suspend();  // on its own thread: blocks until Resume
        selfSuspended = false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
};

TEST(Thread, SuspendsItselfUntilResumedAndTerminates) {
  CountingThread t;
  t.Start();
  while (!t.selfSuspended) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const int frozen = t.passes.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(t.passes.load(), frozen);
  t.Resume();
  while (t.passes.load() < frozen + 5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  t.Terminate();
  t.WaitFor();
  EXPECT_TRUE(t.Finished());
}

// A body that throws: its owner hears of the error, and the thread still counts as finished.
class ThrowingThread : public TThread {
 public:
  explicit ThrowingThread(bool standardError) : standardError_(standardError) {}
  ~ThrowingThread() override { WaitFor(); }
  std::string reported;
  int reports = 0;

 protected:
  void Execute() override {
    if (standardError_) throw std::runtime_error("disk on fire");
    throw 42;
  }
  void OnUncaughtError(const std::string& message) override {
    reported = message;
    ++reports;
    throw std::logic_error("the handler fails too");  // dropped: the thread still ends
  }

 private:
  const bool standardError_;
};

TEST(Thread, AnErrorEscapingTheBodyIsReportedOnce) {
  for (const bool standardError : {true, false}) {
    ThrowingThread t(standardError);
    t.Start();
    t.WaitFor();
    EXPECT_TRUE(t.Finished());
    EXPECT_EQ(t.reports, 1);
    EXPECT_EQ(t.reported, standardError ? "disk on fire" : "unknown exception");
  }
}

// Records the scheduling policy it runs under.
class PolicyThread : public TThread {
 public:
  explicit PolicyThread(bool batch) : batch_(batch) {}
  ~PolicyThread() override { WaitFor(); }
  int policy = -1;

 protected:
  void Execute() override { policy = sched_getscheduler(0); }
  bool BatchWork() const override { return batch_; }

 private:
  const bool batch_;
};

TEST(Thread, ThroughputThreadsRunUnderTheBatchPolicyAndOthersAsBefore) {
  for (const bool batch : {true, false}) {
    PolicyThread t(batch);
    t.Start();
    t.WaitFor();
    EXPECT_EQ(t.policy, batch ? SCHED_BATCH : SCHED_OTHER) << batch;
  }
  EXPECT_EQ(sched_getscheduler(0), SCHED_OTHER);  // the starting thread keeps its own
}

TEST(DateTime, UnixRoundTripAndFormat) {
  const std::time_t t = 1700000000;
  EXPECT_EQ(LocalDateTimeToUnix(UnixToLocalDateTime(t)), t);
  EXPECT_EQ(FormatDateTimeIso(36526.5), "2000-01-01 12:00:00");
  EXPECT_EQ(FormatTimeOfDay(1.0 / 24 + 2.0 / 1440 + 3.0 / 86400), "1:02:03");
  EXPECT_EQ(MillisecondsBetween(0, 1.0 / 86400), 1000);
}

}  // namespace
}  // namespace qm
