#include "task/HttpWork.h"

#include <gtest/gtest.h>

#include <climits>
#include <thread>
#include <vector>

namespace qm {
namespace {

constexpr TDateTime kMs = 1.0 / 86400000.0;
constexpr TDateTime kT0 = 45000.5;

TEST(FormatSize, UnitBoundaries) {
  EXPECT_EQ(FormatSize(0), "0B");
  EXPECT_EQ(FormatSize(1024), "1024B");
  EXPECT_EQ(FormatSize(1025), "1.00KB");
  EXPECT_EQ(FormatSize(1536), "1.50KB");
  EXPECT_EQ(FormatSize(1048576), "1024.00KB");
  EXPECT_EQ(FormatSize(1048577), "1.00MB");
  EXPECT_EQ(FormatSize(INT_MAX), "2048.00MB");
  EXPECT_EQ(FormatSize(-5), "-5B");
}

TEST(HttpWork, SpeedOfOneTransfer) {
  THttpWork meter;
  meter.BeginWork(200000, kT0);
  meter.Work(100000, kT0 + 1000 * kMs);
  meter.EndWork(kT0 + 2000 * kMs);
  EXPECT_EQ(meter.SampleCount(), 3);
  // 200000 bytes since the begin sample, 2 s ago.
  EXPECT_DOUBLE_EQ(meter.BytesPerSecond(kT0 + 2000 * kMs), 100000.0);
  // Half a second later the window is 2.5 s wide.
  EXPECT_DOUBLE_EQ(meter.BytesPerSecond(kT0 + 2500 * kMs), 80000.0);
  // The begin sample drops out after 5 s; the rest is measured from the progress sample.
  EXPECT_DOUBLE_EQ(meter.BytesPerSecond(kT0 + 5500 * kMs), 200000.0 * 1000 / 4500);
  // Everything older than 5 s: no speed.
  EXPECT_EQ(meter.BytesPerSecond(kT0 + 7100 * kMs), 0.0);
}

TEST(HttpWork, EmptyMeterAndSampleTakenNowGiveNoSpeed) {
  THttpWork meter;
  EXPECT_EQ(meter.BytesPerSecond(kT0), 0.0);
  meter.BeginWork(1000, kT0);
  meter.EndWork(kT0 + 50 * kMs);
  EXPECT_EQ(meter.BytesPerSecond(kT0), 0.0);  // the oldest sample is this very moment
}

TEST(HttpWork, ProgressIsSampledAtMostEvery100Ms) {
  THttpWork meter;
  meter.BeginWork(10000, kT0);
  meter.Work(500, kT0);             // same moment
  meter.Work(700, kT0 + 99 * kMs);  // too soon
  EXPECT_EQ(meter.SampleCount(), 1);
  meter.Work(900, kT0 + 100 * kMs);
  EXPECT_EQ(meter.SampleCount(), 2);
  meter.Work(1000, kT0 + 150 * kMs);  // too soon after the last sample
  meter.Work(3000, kT0 + 250 * kMs);
  EXPECT_EQ(meter.SampleCount(), 3);
  // Skipped events leave no gap: the deltas add up to the last position.
  meter.EndWork(kT0 + 300 * kMs);
  EXPECT_DOUBLE_EQ(meter.BytesPerSecond(kT0 + 1000 * kMs), 10000.0);
}

// The local clock set back (end of daylight saving) must not stop the meter.
TEST(HttpWork, KeepsSamplingWhenTheClockGoesBack) {
  THttpWork meter;
  const TDateTime hour = 3600000 * kMs;
  meter.BeginWork(100000, kT0 + hour);
  meter.Work(1000, kT0 + hour + 500 * kMs);
  meter.Work(3000, kT0 + 600 * kMs);
  meter.Work(6000, kT0 + 800 * kMs);
  EXPECT_EQ(meter.SampleCount(), 4);
  // Only the samples within 5 s of now count: the two taken after the change.
  EXPECT_DOUBLE_EQ(meter.BytesPerSecond(kT0 + 1600 * kMs), 5000.0 * 1000 / 1000);
}

// Small files begin and end faster than progress is sampled: the ring wraps, and the speed
// comes from the newest 256 samples only.
TEST(HttpWork, RingKeepsTheNewest256Samples) {
  THttpWork meter;
  for (int k = 0; k < 300; ++k) {
    meter.BeginWork(1000, kT0 + k * 10 * kMs);
    meter.EndWork(kT0 + (k * 10 + 5) * kMs);
  }
  EXPECT_EQ(meter.SampleCount(), 600);
  // Samples 344..599 remain: transfers 172..299, each 1000 bytes; the oldest began at 1720 ms.
  const TDateTime now = kT0 + 3000 * kMs;
  EXPECT_DOUBLE_EQ(meter.BytesPerSecond(now), 128 * 1000.0 * 1000 / (3000 - 1720));
  // A new transfer keeps counting on: the ring is not emptied.
  meter.BeginWork(10, now);
  EXPECT_EQ(meter.SampleCount(), 601);
}

TEST(HttpWork, ConcurrentFeedingAndReading) {
  THttpWork meter;
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t)
    threads.emplace_back([&meter, t] {
      for (int k = 0; k < 2000; ++k) {
        const TDateTime time = kT0 + (k * 7 + t) * kMs;
        if (k % 50 == 0) meter.BeginWork(100000, time);
        meter.Work(k * 10, time);
        if (k % 50 == 49) meter.EndWork(time);
      }
    });
  for (int k = 0; k < 2000; ++k) meter.BytesPerSecond(kT0 + k * 7 * kMs);
  for (auto& th : threads) th.join();
  // Every begin and end adds a sample (120 of them); none may be lost to a race.
  EXPECT_GE(meter.SampleCount(), 240);
}

}  // namespace
}  // namespace qm
