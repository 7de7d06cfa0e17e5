#include "task/HttpWork.h"

#include <cstdio>
#include <cstdlib>

namespace qm {
namespace {

// Milliseconds between two moments, whichever comes first: the local clock may be set back
// (daylight saving ends), and the meter must keep working across that.
std::int64_t MillisecondsApart(TDateTime a, TDateTime b) {
  return std::llabs(MillisecondsBetween(a, b));
}

}  // namespace

void THttpWork::AddSample(std::int32_t kind, TDateTime time, std::int32_t delta) {
  const int slot = sampleCount_ % kRingSize;
  if (static_cast<int>(samples_.size()) < kRingSize) samples_.resize(samples_.size() + 1);
  samples_[slot] = SpeedSample{kind, time, delta};
  ++sampleCount_;
}

void THttpWork::BeginWork(std::int32_t max, TDateTime time) {
  TLockGuard guard(lock_);
  if (samples_.empty()) sampleCount_ = 0;
  AddSample(0, time, 0);
  workMax_ = max;
  lastPosition_ = 0;
  lastKind_ = 0;
  lastTime_ = time;
}

void THttpWork::Work(std::int32_t position, TDateTime time) {
  TLockGuard guard(lock_);
  // Progress is sampled at most every 100 ms. The test is made under the lock, so that two
  // events racing in one window add one sample, not two.
  if (time == lastTime_ || MillisecondsApart(lastTime_, time) < 100) return;
  AddSample(2, time, static_cast<std::int32_t>(position - lastPosition_));
  lastKind_ = 2;
  lastPosition_ = position;
  lastTime_ = time;
}

void THttpWork::EndWork(TDateTime time) {
  TLockGuard guard(lock_);
  AddSample(1, time, static_cast<std::int32_t>(workMax_ - lastPosition_));
  lastKind_ = 1;
  lastPosition_ = workMax_;
  lastTime_ = time;
}

double THttpWork::BytesPerSecond(TDateTime now) {
  TLockGuard guard(lock_);
  const int n = static_cast<int>(samples_.size());
  if (n == 0) return 0;
  // Oldest first: once the ring is full the oldest sample sits at SampleCount mod 256.
  const int first = sampleCount_ > kRingSize ? sampleCount_ % kRingSize : 0;
  std::int64_t sum = 0;
  std::int64_t w = -1;
  for (int k = 0; k < n; ++k) {
    const SpeedSample& s = samples_[(first + k) % n];
    const std::int64_t age = MillisecondsApart(s.Time, now);
    if (age > 5000) continue;
    if (w < 0) w = age;
    sum += s.Delta;
  }
  if (w <= 0) return 0;  // no sample left, or the first one taken this very moment
  return static_cast<double>(sum) * 1000.0 / static_cast<double>(w);
}

std::int32_t THttpWork::SampleCount() {
  TLockGuard guard(lock_);
  return sampleCount_;
}

std::string FormatSize(std::int32_t n) {
  char buf[32];
  if (n >= 1048577) {
    std::snprintf(buf, sizeof buf, "%.2fMB", n / 1048576.0);
  } else if (n <= 1024) {
    std::snprintf(buf, sizeof buf, "%dB", n);
  } else {
    std::snprintf(buf, sizeof buf, "%.2fKB", n / 1024.0);
  }
  return buf;
}

}  // namespace qm
