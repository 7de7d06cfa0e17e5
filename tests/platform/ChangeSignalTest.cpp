// Waits on the change signal: woken by a change, bounded by the paced interval, and fixed pauses
// that a change may cut short.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

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
