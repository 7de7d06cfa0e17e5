#pragma once
#include <cstdint>
#include <ctime>
#include <string>

namespace qm {

// Date-time values as the task file stores them: days since 1899-12-30, the fraction being the
// time of day, in local time.
using TDateTime = double;

inline constexpr double kSecondsPerDay = 86400.0;
inline constexpr double kMsPerDay = 86400000.0;
// Days between 1899-12-30 and 1970-01-01.
inline constexpr double kUnixEpochDays = 25569.0;

// The current local time.
TDateTime Now();
// Local date-time of a Unix time (seconds since 1970 UTC), and back.
TDateTime UnixToLocalDateTime(std::time_t t);
std::time_t LocalDateTimeToUnix(TDateTime dt);
// Milliseconds between two date-times (b - a), rounded to the nearest integer.
std::int64_t MillisecondsBetween(TDateTime a, TDateTime b);
// "yyyy-mm-dd hh:mm:ss".
std::string FormatDateTimeIso(TDateTime dt);
// A time span as a time of day "h:mm:ss" (the long time format of the window).
std::string FormatTimeOfDay(TDateTime span);

}  // namespace qm
