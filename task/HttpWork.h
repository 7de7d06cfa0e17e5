#pragma once
// The per-worker transfer-speed meter: a ring of the last 256 samples fed by the HTTP client's
// transfer events and read by the window's speed display.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Lock.h"

namespace qm {

struct SpeedSample {
  std::int32_t Kind;  // 0 begin, 1 end, 2 progress
  TDateTime Time;
  std::int32_t Delta;  // bytes since the previous sample
};

class THttpWork {
 public:
  static constexpr int kRingSize = 256;

  void BeginWork(std::int32_t max, TDateTime time);
  void Work(std::int32_t position, TDateTime time);
  void EndWork(TDateTime time);
  // Bytes per second over the samples that lie within 5000 ms of `now`.
  double BytesPerSecond(TDateTime now);

  std::int32_t SampleCount();

 private:
  void AddSample(std::int32_t kind, TDateTime time, std::int32_t delta);

  TReentrantLock lock_;
  std::int32_t sampleCount_ = 0;
  std::vector<SpeedSample> samples_;
  std::int32_t lastKind_ = 0;
  std::int64_t lastPosition_ = 0;
  std::int64_t workMax_ = 0;
  TDateTime lastTime_ = 0;
};

// "%.2fMB", "%dB" or "%.2fKB" of a byte count.
std::string FormatSize(std::int32_t n);

}  // namespace qm
