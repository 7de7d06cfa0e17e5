#include "engine/HttpDate.h"

#include <curl/curl.h>

#include <array>

namespace qm {
namespace {

constexpr std::array<std::string_view, 7> kDays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool TwoDigits(std::string_view text, std::size_t at, int& value) {
  const char a = text[at], b = text[at + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return false;
  value = (a - '0') * 10 + (b - '0');
  return true;
}

bool IsLeapYear(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int year, int month) {  // month 0..11
  static constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 1 && IsLeapYear(year) ? 29 : kLengths[month];
}

// Days from 1970-01-01 to the given civil date (month 1..12).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

bool ParseFixedHttpDate(std::string_view text, std::time_t& t) {
  // "Sun, 06 Nov 1994 08:49:37 GMT"
  //  0123456789012345678901234567890
  if (text.size() != 29 || text.substr(3, 2) != ", " || text[7] != ' ' || text[11] != ' ' ||
      text[16] != ' ' || text[19] != ':' || text[22] != ':' || text.substr(25) != " GMT")
    return false;
  bool dayName = false;
  for (std::string_view d : kDays) dayName = dayName || text.substr(0, 3) == d;
  int month = -1;
  for (int i = 0; i < 12; ++i)
    if (text.substr(8, 3) == kMonths[static_cast<std::size_t>(i)]) month = i;
  int day = 0, century = 0, yy = 0, hour = 0, minute = 0, second = 0;
  if (!dayName || month < 0 || !TwoDigits(text, 5, day) || !TwoDigits(text, 12, century) ||
      !TwoDigits(text, 14, yy) || !TwoDigits(text, 17, hour) || !TwoDigits(text, 20, minute) ||
      !TwoDigits(text, 23, second))
    return false;
  const int year = century * 100 + yy;
  if (year < 1970 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 ||
      second > 59)
    return false;
  const std::int64_t days =
      DaysFromCivil(year, static_cast<unsigned>(month + 1), static_cast<unsigned>(day));
  t = static_cast<std::time_t>(days * 86400 + hour * 3600 + minute * 60 + second);
  return true;
}

std::time_t HttpDateToUnix(const std::string& text) {
  std::time_t t = 0;
  if (ParseFixedHttpDate(text, t)) return t;
  return curl_getdate(text.c_str(), nullptr);
}

}  // namespace qm
