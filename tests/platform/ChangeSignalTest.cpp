// Waits on the change signal: woken by a change, bounded by the paced interval, and fixed pauses
// that a change may cut short.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/ChangeSignal.h"
#include "platform/Pacing.h"
#include "platform/Thread.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class ChangeSignalTest : public ::testing::Test {
 protected:
  void TearDown() override { SetPacingFactor(1); }

  // Sets `flag` from another thread after `delay`, notifying the signal.
  std::thread SetLater(std::atomic<bool>& flag, std::chrono::milliseconds delay) {
    return std::thread([this, &flag, delay] {
      std::this_thread::sleep_for(delay);
      flag = true;
      signal_.Notify();
    });
  }

  TChangeSignal signal_;
};

TEST_F(ChangeSignalTest, EventWaitAtPacingZeroSleepsUntilTheEvent) {
  SetPacingFactor(0);
  std::atomic<bool> done{false};
  // Notifications that do not make the predicate true do not end the wait.
  std::thread noise([this] {
    for (int i = 0; i < 5; ++i) {
      std::this_thread::sleep_for(5ms);
      signal_.Notify();
    }
  });
  std::thread setter = SetLater(done, 60ms);
  const auto t0 = Clock::now();
  EXPECT_TRUE(signal_.WaitUntil(100, [&] { return done.load(); }));
  EXPECT_GE(Clock::now() - t0, 50ms);
  setter.join();
  noise.join();
}

TEST_F(ChangeSignalTest, EventWaitIsBoundedByThePacedInterval) {
  SetPacingFactor(0.5);
  const auto t0 = Clock::now();
  EXPECT_FALSE(signal_.WaitUntil(60, [] { return false; }));  // 30 ms
  const auto waited = Clock::now() - t0;
  EXPECT_GE(waited, 28ms);
  EXPECT_LT(waited, 2s);

  // An event within the interval ends the wait early.
  SetPacingFactor(1);
  std::atomic<bool> done{false};
  std::thread setter = SetLater(done, 10ms);
  const auto t1 = Clock::now();
  EXPECT_TRUE(signal_.WaitUntil(5000, [&] { return done.load(); }));
  EXPECT_LT(Clock::now() - t1, 4s);
  setter.join();
}

TEST_F(ChangeSignalTest, FixedPauseIsSkippedAtPacingZeroAndCutShortByAStop) {
  SetPacingFactor(0);
  const auto t0 = Clock::now();
  EXPECT_FALSE(signal_.PauseUnless(5000, [] { return false; }));
  EXPECT_LT(Clock::now() - t0, 1s);

  SetPacingFactor(1);
  std::atomic<bool> stop{false};
  std::thread setter = SetLater(stop, 10ms);
  const auto t1 = Clock::now();
  EXPECT_TRUE(signal_.PauseUnless(5000, [&] { return stop.load(); }));
  EXPECT_LT(Clock::now() - t1, 4s);
  setter.join();

  SetPacingFactor(0.01);
  const auto t2 = Clock::now();
  EXPECT_FALSE(signal_.PauseUnless(3000, [] { return false; }));  // the whole 30 ms
  EXPECT_GE(Clock::now() - t2, 28ms);
}

TEST_F(ChangeSignalTest, SignalledValueWakesOnChangeOnly) {
  SetPacingFactor(0);
  TSignalledValue<int> state(signal_, 2);
  std::thread setter([&] {
    std::this_thread::sleep_for(10ms);
    state = 2;  // unchanged: nobody needs waking
    state = 0;
  });
  EXPECT_TRUE(signal_.WaitUntil(100, [&] { return state.load() == 0; }));
  setter.join();
}

TEST_F(ChangeSignalTest, ABatchTellsItsChangesOnceAtItsEndOrBeforeItsThreadWaits) {
  SetPacingFactor(0);
  std::atomic<int> value{0};
  std::atomic<int> wakeups{0};
  std::atomic<bool> seen{false};
  std::thread waiter([&] {
    signal_.WaitUntil(100, [&] {
      ++wakeups;
      return value.load() == 3;
    });
    seen = true;
  });
  std::this_thread::sleep_for(20ms);
  const int before = wakeups.load();
  {
    TChangeBatch batch(signal_);
    for (int i = 1; i <= 3; ++i) {
      value = i;
      signal_.Notify();
    }
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(seen.load());  // nothing told yet
    EXPECT_EQ(wakeups.load(), before);
  }
  waiter.join();
  EXPECT_TRUE(seen.load());
  EXPECT_EQ(wakeups.load(), before + 1);  // one notification for the three changes

  // A thread that waits inside its batch tells its changes first, so nobody waits for it.
  value = 0;
  std::atomic<bool> answered{false};
  std::thread answerer([&] {
    signal_.WaitUntil(100, [&] { return value.load() == 1; });
    answered = true;
    signal_.Notify();
  });
  std::this_thread::sleep_for(10ms);
  TChangeBatch batch(signal_);
  value = 1;
  signal_.Notify();
  EXPECT_TRUE(signal_.WaitUntil(100, [&] { return answered.load(); }));
  answerer.join();
}

// Growth waiters: woken by growth and by general changes, never by details; one growth waiter per
// added record; and no wake-up lost between a waiter's look and its sleep.
class GrowthWaitTest : public ChangeSignalTest {
 protected:
  // Starts `n` threads that wait for growth until `records` exceeds what they saw first; each
  // counts its looks and its return.
  void StartWaiters(int n) {
    for (int i = 0; i < n; ++i) {
      waiters_.emplace_back([this] {
        const int seen = records_.load();
        signal_.WaitForGrowth(100, [&] {
          ++looks_;
          return records_.load() > seen || ended_.load();
        });
        ++returned_;
      });
    }
    // Every waiter is asleep before the test changes anything.
    while (signal_.GrowthWaiters() < n) std::this_thread::sleep_for(1ms);
  }
  void TearDown() override {
    ended_ = true;
    signal_.Notify();
    for (std::thread& t : waiters_) t.join();
    ChangeSignalTest::TearDown();
  }
  // Gives woken threads time to run (nothing is measured: a thread that was not woken stays
  // asleep however long this takes).
  static void LetThemRun() { std::this_thread::sleep_for(30ms); }

  std::atomic<int> records_{0};
  std::atomic<bool> ended_{false};
  std::atomic<int> looks_{0};
  std::atomic<int> returned_{0};
  std::vector<std::thread> waiters_;
};

TEST_F(GrowthWaitTest, DetailsLeaveGrowthWaitersAsleepAndGrowthWakesOnePerRecord) {
  SetPacingFactor(0);
  StartWaiters(3);
  const int looksAsleep = looks_.load();
  for (int i = 0; i < 20; ++i) signal_.NotifyDetail();
  LetThemRun();
  EXPECT_EQ(looks_.load(), looksAsleep) << "a detail woke a growth waiter";
  EXPECT_EQ(signal_.GrowthWaiters(), 3);

  ++records_;
  signal_.NotifyGrowth(1);
  while (returned_.load() < 1) std::this_thread::sleep_for(1ms);
  LetThemRun();
  EXPECT_EQ(returned_.load(), 1) << "one record needs one waiter";
  EXPECT_EQ(signal_.GrowthWaiters(), 2);

  // More records than waiters wake them all.
  records_ += 5;
  signal_.NotifyGrowth(5);
  while (returned_.load() < 3) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(signal_.GrowthWaiters(), 0);
}

TEST_F(GrowthWaitTest, AGeneralChangeWakesEveryGrowthWaiter) {
  SetPacingFactor(0);
  StartWaiters(4);
  ended_ = true;
  signal_.Notify();
  while (returned_.load() < 4) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(signal_.GrowthWaiters(), 0);
}

TEST_F(GrowthWaitTest, ABatchTellsItsGrowthOnceWithTheRecordsItAdded) {
  SetPacingFactor(0);
  StartWaiters(3);
  {
    TChangeBatch batch(signal_);
    for (int i = 0; i < 2; ++i) {
      ++records_;
      signal_.NotifyGrowth(1);
      signal_.NotifyDetail();
    }
    LetThemRun();
    EXPECT_EQ(returned_.load(), 0) << "nothing told before the batch ends";
  }
  while (returned_.load() < 2) std::this_thread::sleep_for(1ms);
  LetThemRun();
  EXPECT_EQ(returned_.load(), 2);

  // A batch of details only wakes no growth waiter.
  const int looks = looks_.load();
  {
    TChangeBatch batch(signal_);
    signal_.NotifyDetail();
  }
  LetThemRun();
  EXPECT_EQ(looks_.load(), looks);
}

TEST_F(ChangeSignalTest, NoGrowthIsMissedBetweenALookAndTheSleep) {
  // Consumers take records one by one, each waiting without bound for the next; the producer
  // adds them one at a time. A lost wake-up leaves a consumer asleep for ever: the watchdog then
  // ends the test with a failure instead of a hang.
  SetPacingFactor(0);
  constexpr int kRecords = 3000;
  constexpr int kConsumers = 6;
  std::atomic<int> records{0};
  std::atomic<int> taken{0};
  std::atomic<bool> finished{false};
  std::atomic<bool> rescued{false};
  std::vector<std::thread> consumers;
  for (int c = 0; c < kConsumers; ++c) {
    consumers.emplace_back([&] {
      for (;;) {
        int next = taken.load();
        if (next >= kRecords) return;
        if (next < records.load()) {
          taken.compare_exchange_weak(next, next + 1);
          continue;
        }
        signal_.WaitForGrowth(100, [&] {
          return taken.load() < records.load() || taken.load() >= kRecords || finished.load();
        });
        if (finished.load()) return;
      }
    });
  }
  std::thread watchdog([&] {
    const auto until = Clock::now() + 30s;
    while (!finished.load() && Clock::now() < until) std::this_thread::sleep_for(5ms);
    if (!finished.load()) {
      rescued = true;
      finished = true;
      signal_.Notify();
    }
  });
  for (int i = 0; i < kRecords; ++i) {
    ++records;
    signal_.NotifyGrowth(1);
  }
  while (taken.load() < kRecords && !rescued.load()) std::this_thread::sleep_for(1ms);
  // The consumers still waiting (the last record was taken by another) are let go.
  finished = true;
  signal_.Notify();
  for (std::thread& t : consumers) t.join();
  watchdog.join();
  EXPECT_FALSE(rescued.load()) << "a consumer slept through added records";
  EXPECT_EQ(taken.load(), kRecords);
}

// Level waiters: each waits for a count to fall below its own level and is woken only when a
// notification tells a count below it (or by a general change); nothing else wakes it.
class LevelWaitTest : public ChangeSignalTest {
 protected:
  // One waiter per level, in order; each counts its looks and its return.
  void StartWaiters(const std::vector<int>& levels) {
    for (int level : levels) {
      auto& seat = seats_.emplace_back(std::make_unique<Seat>());
      Seat* me = seat.get();
      me->thread = std::thread([this, me, level] {
        signal_.WaitForLevel(level, [&] {
          ++me->looks;
          return count_.load() < level || ended_.load();
        });
        me->returned = true;
      });
    }
    // Every waiter has had its first look (the next one needs a wake-up).
    for (auto& seat : seats_)
      while (seat->looks.load() == 0) std::this_thread::sleep_for(1ms);
  }
  void TearDown() override {
    ended_ = true;
    signal_.Notify();
    for (auto& seat : seats_) seat->thread.join();
    ChangeSignalTest::TearDown();
  }
  static void LetThemRun() { std::this_thread::sleep_for(30ms); }
  void WaitForReturn(int seat) {
    while (!seats_[static_cast<std::size_t>(seat)]->returned.load())
      std::this_thread::sleep_for(1ms);
  }
  int Looks(int seat) const { return seats_[static_cast<std::size_t>(seat)]->looks.load(); }
  bool Returned(int seat) const { return seats_[static_cast<std::size_t>(seat)]->returned.load(); }

  struct Seat {
    std::thread thread;
    std::atomic<int> looks{0};
    std::atomic<bool> returned{false};
  };
  std::atomic<int> count_{30};
  std::atomic<bool> ended_{false};
  std::vector<std::unique_ptr<Seat>> seats_;
};

TEST_F(LevelWaitTest, ACountBelowALevelWakesOnlyTheWaitersAboveIt) {
  StartWaiters({8, 16, 24});
  const int looks8 = Looks(0);
  const int looks16 = Looks(1);
  // Details, growth and counts at or above every level wake nobody.
  signal_.NotifyDetail();
  signal_.NotifyGrowth(3);
  signal_.NotifyLevel(30);
  signal_.NotifyLevel(24);
  LetThemRun();
  EXPECT_EQ(Looks(0), looks8);
  EXPECT_EQ(Looks(1), looks16);
  EXPECT_EQ(Looks(2), 1);

  count_ = 20;
  signal_.NotifyLevel(20);
  WaitForReturn(2);
  LetThemRun();
  EXPECT_EQ(Looks(0), looks8) << "the waiter at level 8 was woken for a count of 20";
  EXPECT_EQ(Looks(1), looks16) << "the waiter at level 16 was woken for a count of 20";

  count_ = 12;
  signal_.NotifyLevel(12);
  WaitForReturn(1);
  LetThemRun();
  EXPECT_FALSE(Returned(0));
  EXPECT_EQ(Looks(0), looks8);

  // A general change wakes every waiter; one whose count is still too high waits again.
  signal_.Notify();
  while (Looks(0) == looks8) std::this_thread::sleep_for(1ms);
  LetThemRun();
  EXPECT_FALSE(Returned(0));
  count_ = 7;
  signal_.NotifyLevel(7);
  WaitForReturn(0);
  EXPECT_EQ(signal_.LevelWaiters(), 0);
}

TEST_F(ChangeSignalTest, NoFallOfTheCountIsMissedBetweenALookAndTheSleep) {
  // A waiter looks, the count falls and is told, then the waiter sleeps: it must not sleep
  // through it. A lost wake-up leaves it asleep for ever; the watchdog then ends the test with a
  // failure instead of a hang.
  constexpr int kRounds = 2000;
  std::atomic<int> count{0};
  std::atomic<bool> rescued{false};
  std::atomic<bool> finished{false};
  std::thread watchdog([&] {
    const auto until = Clock::now() + 30s;
    while (!finished.load() && Clock::now() < until) std::this_thread::sleep_for(5ms);
    if (!finished.load()) {
      rescued = true;
      signal_.Notify();
    }
  });
  for (int round = 0; round < kRounds && !rescued.load(); ++round) {
    count = 10;
    std::thread waiter([&] { signal_.WaitForLevel(5, [&] { return count < 5 || rescued; }); });
    if (round % 2 == 0) std::this_thread::yield();
    count = 4;
    signal_.NotifyLevel(4);
    waiter.join();
  }
  finished = true;
  watchdog.join();
  EXPECT_FALSE(rescued.load()) << "a level waiter slept through the fall of the count";
}

// A thread waiting on a signal ends its wait when it is asked to terminate.
class WaitingThread : public TThread {
 public:
  explicit WaitingThread(TChangeSignal& signal) : signal_(signal) {
    WakeOnTerminate(&signal_);
    Start();
  }
  ~WaitingThread() override {
    Terminate();
    WaitFor();
  }

 protected:
  void Execute() override {
    signal_.WaitUntil(100, [this] { return Terminated(); });
  }

 private:
  TChangeSignal& signal_;
};

TEST_F(ChangeSignalTest, TerminateWakesAThreadWaitingWithoutBound) {
  SetPacingFactor(0);
  WaitingThread thread(signal_);
  std::this_thread::sleep_for(10ms);
  EXPECT_FALSE(thread.Finished());
  thread.Terminate();
  thread.WaitFor();
  EXPECT_TRUE(thread.Finished());
}

}  // namespace
}  // namespace qm
