// Dates of "Last-Modified" lines: the direct reading of the fixed form must give exactly what
// libcurl's general reader gives, and everything else must still reach that reader.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "engine/HttpDate.h"

namespace qm {
namespace {

std::time_t CurlDate(const std::string& text) {
  return curl_getdate(text.c_str(), nullptr);
}

std::string FixedForm(const char* day, int mday, const char* month, int year, int h, int m, int s) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT", day, mday, month, year, h,
                m, s);
  return buf;
}

TEST(HttpDate, FixedFormKnownInstants) {
  const struct {
    const char* text;
    std::time_t expected;
  } cases[] = {
      {"Thu, 01 Jan 1970 00:00:00 GMT", 0},
      {"Sun, 06 Nov 1994 08:49:37 GMT", 784111777},
      {"Tue, 29 Feb 2000 12:00:00 GMT", 951825600},
      {"Fri, 31 Dec 1999 23:59:59 GMT", 946684799},
      {"Tue, 19 Jan 2038 03:14:08 GMT", 2147483648LL},  // past 32-bit seconds
      {"Wed, 09 Dec 2026 12:52:56 GMT", 1796820776},
  };
  for (const auto& c : cases) {
    std::time_t t = -2;
    EXPECT_TRUE(ParseFixedHttpDate(c.text, t)) << c.text;
    EXPECT_EQ(t, c.expected) << c.text;
    EXPECT_EQ(HttpDateToUnix(c.text), c.expected) << c.text;
    EXPECT_EQ(CurlDate(c.text), c.expected) << c.text;
  }
}

// Every text the direct reading takes, it reads as libcurl does.
TEST(HttpDate, FixedFormAgreesWithGeneralReaderOnRandomDates) {
  static const char* days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::mt19937 rng(20261209);
  int taken = 0;
  for (int i = 0; i < 20000; ++i) {
    const int year = 1970 + static_cast<int>(rng() % 400);
    const std::string text = FixedForm(days[rng() % 7], 1 + static_cast<int>(rng() % 31),
                                       months[rng() % 12], year, static_cast<int>(rng() % 24),
                                       static_cast<int>(rng() % 60), static_cast<int>(rng() % 60));
    std::time_t t = 0;
    if (!ParseFixedHttpDate(text, t)) continue;  // 31 Apr and the like go to libcurl
    ++taken;
    ASSERT_EQ(t, CurlDate(text)) << text;
  }
  EXPECT_GT(taken, 18000);
}

// Texts outside the fixed form, or with days a month does not have, are libcurl's to judge.
TEST(HttpDate, OtherFormsGoToTheGeneralReader) {
  const char* texts[] = {
      "Sunday, 06-Nov-94 08:49:37 GMT",  // the old Usenet form
      "Sun Nov  6 08:49:37 1994",        // asctime
      "sun, 06 nov 1994 08:49:37 gmt",   // lower case
      "Sun, 06 Nov 1994 08:49:37 +0100",
      "Sun, 6 Nov 1994 08:49:37 GMT",
      "Sun, 06 Nov 1994 08:49:37 GMT ",
      "Mon, 31 Apr 2023 10:00:00 GMT",  // no such day
      "Sat, 29 Feb 2100 10:00:00 GMT",  // 2100 has no leap day
      "Sat, 30 Jun 2012 23:59:60 GMT",  // a leap second
      "Wed, 31 Dec 1969 23:59:59 GMT",  // before 1970
      "Xyz, 06 Nov 1994 08:49:37 GMT",
      "Sun, 06 Nov 1994 24:00:00 GMT",
      "Sun, 06 Nov 19a4 08:49:37 GMT",
      "",
      "not a date",
  };
  for (const char* text : texts) {
    std::time_t t = 0;
    EXPECT_FALSE(ParseFixedHttpDate(text, t)) << text;
    EXPECT_EQ(HttpDateToUnix(text), CurlDate(text)) << text;
  }
  EXPECT_EQ(HttpDateToUnix("Sunday, 06-Nov-94 08:49:37 GMT"), 784111777);
  EXPECT_EQ(HttpDateToUnix("not a date"), -1);
}

}  // namespace
}  // namespace qm
