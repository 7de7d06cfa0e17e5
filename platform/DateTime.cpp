#include "platform/DateTime.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace qm {
namespace {

// Seconds east of UTC that local time had at t.
long UtcOffsetAt(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  return local.tm_gmtoff;
}

}  // namespace

TDateTime Now() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t secs = system_clock::to_time_t(now);
  const double ms =
      static_cast<double>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  return kUnixEpochDays +
         (static_cast<double>(secs + UtcOffsetAt(secs)) + ms / 1000.0) / kSecondsPerDay;
}

TDateTime UnixToLocalDateTime(std::time_t t) {
  return kUnixEpochDays + static_cast<double>(t + UtcOffsetAt(t)) / kSecondsPerDay;
}

std::time_t LocalDateTimeToUnix(TDateTime dt) {
  // Local seconds since 1970 as if local time were UTC, then the offset that held at that moment.
  const double localSecs = std::floor((dt - kUnixEpochDays) * kSecondsPerDay + 0.5);
  std::time_t guess = static_cast<std::time_t>(localSecs);
  guess -= UtcOffsetAt(guess);
  // A second pass settles the offset around daylight-saving changes.
  return static_cast<std::time_t>(localSecs) - UtcOffsetAt(guess);
}

std::int64_t MillisecondsBetween(TDateTime a, TDateTime b) {
  return static_cast<std::int64_t>(std::llround((b - a) * kMsPerDay));
}

std::string FormatDateTimeIso(TDateTime dt) {
  const double secsTotal = std::floor((dt - kUnixEpochDays) * kSecondsPerDay + 0.5);
  std::time_t t = static_cast<std::time_t>(secsTotal);
  std::tm tm{};
  gmtime_r(&t, &tm);  // the value is already local time
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

std::string FormatTimeOfDay(TDateTime span) {
  double frac = span - std::floor(span);
  long secs = std::lround(frac * kSecondsPerDay) % 86400;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", secs / 3600, (secs / 60) % 60, secs % 60);
  return buf;
}

}  // namespace qm
