// The worker's HTTP client against servers started here: what goes on the wire, what the workers
// read back, how failures surface, and that no server can make it hang or eat memory.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "engine/CookiesApi.h"
#include "engine/HttpClient.h"
#include "support/RawHttpServer.h"

namespace qm {
namespace {

using test::RawAnswer;
using test::RawHttpServer;

RawAnswer Ok(const std::string& body, const std::vector<std::string>& headers = {}) {
  return RawHttpServer::Answer("HTTP/1.1 200 OK", headers, body);
}

// The header lines of a recorded request head, without the request line and the empty line.
std::vector<std::string> HeaderLines(const std::string& request) {
  std::vector<std::string> lines;
  std::size_t start = request.find("\r\n") + 2;
  for (;;) {
    const std::size_t end = request.find("\r\n", start);
    if (end == std::string::npos || end == start) break;
    lines.push_back(request.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string RequestLine(const std::string& request) {
  return request.substr(0, request.find("\r\n"));
}

TEST(HttpClientWire, RequestHeadersAreWrittenInTheProgramsOrderAndNothingElse) {
  RawHttpServer server([](const std::string&) { return Ok("hello"); });
  THttpClient client;
  client.Referer = "http://127.0.0.1/ref.html";
  client.SetExtraHeader("Cookie", "a=1; b=2");
  client.RangeStart = 10;
  client.RangeEnd = 20;
  std::string body;
  client.Get(server.BaseUrl() + "/dir/page.html", body);

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(RequestLine(requests[0]), "GET /dir/page.html HTTP/1.1");
  const std::vector<std::string> expected = {
      "Host: 127.0.0.1:" + std::to_string(server.Port()),
      "Accept: text/html, */*",
      "Referer: http://127.0.0.1/ref.html",
      "User-Agent: Mozilla/4.0 (compatible; MSIE 5.01; Windows NT 5.0; MyIE2)",
      "Range: bytes=10-20",
      "Cookie: a=1; b=2",
  };
  EXPECT_EQ(HeaderLines(requests[0]), expected);
  EXPECT_EQ(body, "hello");
}

TEST(HttpClientWire, RangeFormsAndNoRangeOnceBothAreZero) {
  RawHttpServer server([](const std::string&) { return Ok("x"); });
  THttpClient client;
  std::string body;
  client.RangeStart = 102401;  // open range from an offset
  client.Get(server.BaseUrl() + "/big.zip", body);
  client.RangeStart = 0;
  client.RangeEnd = 10240;  // a first slice
  client.Get(server.BaseUrl() + "/big.zip", body);
  client.RangeStart = 0;  // the worker resets the range after a ranged download
  client.RangeEnd = 0;
  client.Head(server.BaseUrl() + "/next.html");

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_NE(requests[0].find("\r\nRange: bytes=102401-\r\n"), std::string::npos);
  EXPECT_NE(requests[1].find("\r\nRange: bytes=0-10240\r\n"), std::string::npos);
  EXPECT_EQ(RequestLine(requests[2]), "HEAD /next.html HTTP/1.1");
  EXPECT_EQ(requests[2].find("Range"), std::string::npos);
  // One connection carried all three requests.
  EXPECT_EQ(server.Connections(), 1);
}

TEST(HttpClientWire, EmptyRefererAndCookieSendNoLineAndValuesStayOnOneLine) {
  RawHttpServer server([](const std::string&) { return Ok(""); });
  THttpClient client;
  client.SetExtraHeader("Cookie", "a=1");
  client.SetExtraHeader("Cookie", "");  // removes it
  client.Head(server.BaseUrl() + "/");
  client.Referer = "http://h/a\r\nX-Injected: 1";
  client.Head(server.BaseUrl() + "/");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].find("Cookie"), std::string::npos);
  EXPECT_EQ(requests[0].find("Referer"), std::string::npos);
  EXPECT_NE(requests[1].find("\r\nReferer: http://h/aX-Injected: 1\r\n"), std::string::npos);
  EXPECT_EQ(requests[1].find("\r\nX-Injected"), std::string::npos);
}

TEST(HttpClientWire, HighBytesAndBlanksInTheUrlArePercentEncoded) {
  RawHttpServer server([](const std::string&) { return Ok(""); });
  THttpClient client;
  client.Head(server.BaseUrl() + "/my doc/\xC4\xE3.html?q=1");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(RequestLine(server.Requests()[0]), "HEAD /my%20doc/%C4%E3.html?q=1 HTTP/1.1");
}

TEST(HttpClientResponse, FieldsTheWorkersRead) {
  RawHttpServer server([](const std::string&) {
    RawAnswer a;
    a.Bytes =
        "HTTP/1.1 200 OK\r\n"
        "Content-Length: 5000000000\r\n"
        "Last-Modified: Tue, 15 Nov 1994 08:12:31 GMT\r\n"
        "Set-Cookie: sid=xyz; path=/\r\n"
        "set-cookie: lang=zh\r\n"
        "Content-Location: http://127.0.0.1/real.html\r\n"
        "\r\n";
    return a;
  });
  THttpClient client;
  client.Head(server.BaseUrl() + "/x.html");
  const THttpResponse& r = client.Response();
  EXPECT_EQ(r.Code, 200);
  EXPECT_EQ(r.StatusLine, "HTTP/1.1 200 OK");
  EXPECT_EQ(r.ContentLength, 5000000000LL);
  EXPECT_EQ(r.LastModified, UnixToLocalDateTime(784887151));
  EXPECT_EQ(r.HeaderValue("content-location"), "http://127.0.0.1/real.html");
  EXPECT_EQ(r.HeaderValues("Set-Cookie"), (std::vector<std::string>{"sid=xyz; path=/", "lang=zh"}));
}

// Runs fn with the local time zone set to a POSIX TZ text, then restores the old one.
template <typename Fn>
void InTimeZone(const char* tz, Fn fn) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  setenv("TZ", tz, 1);
  tzset();
  fn();
  if (old)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

TEST(HttpClientResponse, LastModifiedIsShiftedFromGmtToLocalTime) {
  RawHttpServer server([](const std::string& req) {
    RawAnswer a;
    a.Bytes = RequestLine(req).find("/dated") != std::string::npos
                  ? "HTTP/1.1 200 OK\r\nLast-Modified: Tue, 15 Nov 1994 08:12:31 GMT\r\n"
                    "Content-Length: 0\r\n\r\n"
                  : "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
    return a;
  });
  THttpClient client;
  InTimeZone("JST-9", [&] {
    client.Head(server.BaseUrl() + "/dated");
    // 1994-11-15 is day 34653; 08:12:31 GMT is 17:12:31 at UTC+9.
    EXPECT_NEAR(client.Response().LastModified, 34653 + (17 * 3600 + 12 * 60 + 31) / 86400.0, 1e-9);
    client.Head(server.BaseUrl() + "/undated");
    // 0 shifted by nine hours would pass for a date: it stays at "no date".
    EXPECT_EQ(client.Response().LastModified, 0.0);
  });
  InTimeZone("CST-8", [&] {
    client.Head(server.BaseUrl() + "/undated");
    EXPECT_NEAR(client.Response().LastModified, 1.0 / 3.0, 1e-12);
  });
  InTimeZone("EST5", [&] {
    client.Head(server.BaseUrl() + "/undated");
    EXPECT_NEAR(client.Response().LastModified, -5.0 / 24.0, 1e-12);
  });
}

TEST(HttpClientResponse, MissingLengthAndDateMeanZeroAndNoDate) {
  RawHttpServer server([](const std::string&) {
    RawAnswer a;
    a.Bytes = "HTTP/1.1 200 OK\r\nLast-Modified: not a date\r\nContent-Length: 0\r\n\r\n";
    return a;
  });
  THttpClient client;
  client.Head(server.BaseUrl() + "/");
  EXPECT_EQ(client.Response().ContentLength, 0);
  EXPECT_LE(client.Response().LastModified, 1.0 / 3.0);
}

TEST(HttpClientErrors, NonSuccessStatusRaisesWithTheStatusLineButKeepsTheHeaders) {
  RawHttpServer server([](const std::string&) {
    return RawHttpServer::Answer("HTTP/1.1 404 Not Found", {"Set-Cookie: seen=1; path=/"},
                                 "<html>missing</html>");
  });
  THttpClient client;
  try {
    client.Head(server.BaseUrl() + "/gone.html");
    FAIL() << "no error raised";
  } catch (const EHttpProtocolError& e) {
    EXPECT_STREQ(e.what(), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(e.Code, 404);
  }
  // A failed HEAD still delivers its Set-Cookie lines to the worker's list.
  TCookieList cookies{"old=1"};
  EXPECT_TRUE(MergeSetCookies(client.Response(), cookies));
  EXPECT_EQ(cookies, (TCookieList{"old=1", "seen=1"}));

  std::string body;
  EXPECT_THROW(client.Get(server.BaseUrl() + "/gone.html", body), EHttpProtocolError);
  EXPECT_EQ(body, "");  // the error page is not taken as the resource
}

TEST(HttpClientErrors, NotModifiedIsAnErrorEvenWithALocation) {
  RawHttpServer server([](const std::string&) {
    RawAnswer a;
    a.Bytes = "HTTP/1.1 304 Not Modified\r\nLocation: /elsewhere\r\n\r\n";
    return a;
  });
  THttpClient client;
  int redirects = 0;
  client.OnRedirect = [&](THttpClient&, std::string&) { ++redirects; };
  EXPECT_THROW(client.Head(server.BaseUrl() + "/"), EHttpProtocolError);
  EXPECT_EQ(redirects, 0);
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(HttpClientErrors, RefusedConnectionRaisesAndLeavesNoOldResponse) {
  int port;
  {
    RawHttpServer gone([](const std::string&) { return Ok("x"); });
    port = gone.Port();
    THttpClient client;
    client.Head(gone.BaseUrl() + "/");
  }
  THttpClient client;
  EXPECT_THROW(client.Head("http://127.0.0.1:" + std::to_string(port) + "/"), EHttpError);
  EXPECT_EQ(client.Response().Code, 0);
  EXPECT_EQ(client.Response().ContentLength, 0);
}

TEST(HttpClientRedirects, RelativeLocationIsFollowedOnTheSameHostWithTheSameMethod) {
  RawHttpServer server([](const std::string& req) {
    if (RequestLine(req).find("/old") != std::string::npos)
      return RawHttpServer::Answer("HTTP/1.1 302 Found", {"Location: /new/page.html"}, "moved");
    return Ok("new body");
  });
  THttpClient client;
  std::vector<std::string> seen;
  client.OnRedirect = [&](THttpClient&, std::string& location) { seen.push_back(location); };
  std::string body;
  client.Get(server.BaseUrl() + "/a/old", body);
  EXPECT_EQ(seen, (std::vector<std::string>{"/new/page.html"}));
  EXPECT_EQ(body, "new body");  // the redirect's own body is dropped
  EXPECT_EQ(client.FinalUrl(), server.BaseUrl() + "/new/page.html");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(RequestLine(requests[1]), "GET /new/page.html HTTP/1.1");
}

TEST(HttpClientRedirects, TheHandlerMayReplaceTheLocation) {
  RawHttpServer server([](const std::string& req) {
    if (RequestLine(req).find("/start") != std::string::npos)
      return RawHttpServer::Answer("HTTP/1.1 301 Moved", {"Location: /wrong"}, "");
    return Ok(RequestLine(req));
  });
  THttpClient client;
  client.OnRedirect = [&](THttpClient&, std::string& location) {
    location = server.BaseUrl() + "/right";
  };
  std::string body;
  client.Get(server.BaseUrl() + "/start", body);
  EXPECT_EQ(body, "GET /right HTTP/1.1");
}

TEST(HttpClientRedirects, FifteenthRequestEndsTheChainWithoutError) {
  std::atomic<int> hops{0};
  RawHttpServer server([&](const std::string&) {
    const int n = ++hops;
    return RawHttpServer::Answer("HTTP/1.1 302 Found", {"Location: /hop" + std::to_string(n)}, "");
  });
  THttpClient client;
  int events = 0;
  client.OnRedirect = [&](THttpClient&, std::string&) { ++events; };
  std::string body;
  EXPECT_NO_THROW(client.Get(server.BaseUrl() + "/hop0", body));
  EXPECT_EQ(server.Requests().size(), 15u);  // 14 redirects followed
  EXPECT_EQ(events, 15);                     // the last one is reported, not followed
  EXPECT_EQ(client.Response().Code, 302);
  EXPECT_EQ(client.Response().HeaderValue("Location"), "/hop15");
}

TEST(HttpClientRedirects, ANonRedirectStatusWithLocationIsFollowedToo) {
  RawHttpServer server([](const std::string& req) {
    if (RequestLine(req).find("/created") != std::string::npos)
      return RawHttpServer::Answer("HTTP/1.1 200 OK", {"Location: /there"}, "here");
    return Ok("there");
  });
  THttpClient client;
  std::string body;
  client.Get(server.BaseUrl() + "/created", body);
  EXPECT_EQ(body, "there");
}

TEST(HttpClientProgress, BodyTransferRaisesBeginWorkAndEndWithCounts) {
  const std::string payload(300000, 'z');
  RawHttpServer server([&](const std::string&) { return Ok(payload); });
  THttpClient client;
  std::int64_t begun = -1, last = 0;
  int works = 0, ends = 0;
  client.OnWorkBegin = [&](THttpClient&, TWorkMode mode, std::int64_t expected) {
    EXPECT_EQ(mode, TWorkMode::Read);
    begun = expected;
  };
  client.OnWork = [&](THttpClient&, TWorkMode, std::int64_t count) {
    EXPECT_GE(count, last);
    last = count;
    ++works;
  };
  client.OnWorkEnd = [&](THttpClient&, TWorkMode) { ++ends; };
  std::string body;
  client.Get(server.BaseUrl() + "/f.bin", body);
  EXPECT_EQ(begun, 300000);
  EXPECT_GT(works, 0);
  EXPECT_EQ(last, 300000);
  EXPECT_EQ(ends, 1);
  client.Head(server.BaseUrl() + "/f.bin");  // no body, no work events
  EXPECT_EQ(ends, 1);
}

TEST(HttpClientProgress, AnExceptionFromAHandlerFailsTheRequestCleanly) {
  RawHttpServer server([](const std::string&) { return Ok(std::string(1000, 'a')); });
  THttpClient client;
  client.OnWork = [](THttpClient&, TWorkMode, std::int64_t) {
    throw std::runtime_error("meter broke");
  };
  std::string body;
  try {
    client.Get(server.BaseUrl() + "/", body);
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "meter broke");
  }
}

class HttpClientLimits : public ::testing::Test {
 protected:
  static void ShortLimits(THttpClient& client) {
    client.Limits.ConnectTimeoutMs = 2000;
    client.Limits.LowSpeedBytes = 1;
    client.Limits.LowSpeedSeconds = 1;
  }
  static double SecondsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
  }
};

TEST_F(HttpClientLimits, SilentServerFailsAfterTheLowSpeedTime) {
  RawHttpServer server([](const std::string&) {
    RawAnswer a;
    a.StallAfter = true;  // reads the request, never answers
    return a;
  });
  THttpClient client;
  ShortLimits(client);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(client.Head(server.BaseUrl() + "/"), EHttpError);
  EXPECT_LT(SecondsSince(start), 15.0);
}

TEST_F(HttpClientLimits, LyingContentLengthStallsThenFails) {
  RawHttpServer server([](const std::string&) {
    RawAnswer a;
    a.Bytes = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nonly this";
    a.StallAfter = true;
    return a;
  });
  THttpClient client;
  ShortLimits(client);
  std::string body;
  EXPECT_THROW(client.Get(server.BaseUrl() + "/", body), EHttpError);
}

TEST_F(HttpClientLimits, ShortBodyWithClosedConnectionIsABrokenTransfer) {
  RawHttpServer server([](const std::string&) {
    RawAnswer a;
    a.Bytes = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nonly this";
    a.CloseAfter = true;
    return a;
  });
  THttpClient client;
  std::string body;
  EXPECT_THROW(client.Get(server.BaseUrl() + "/", body), EHttpError);
}

TEST_F(HttpClientLimits, BodyOverTheCapFailsInsteadOfGrowingWithoutBound) {
  RawHttpServer server([](const std::string&) {
    // Chunked, no length announced: only the cap stops it.
    RawAnswer a;
    a.Bytes = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const std::string chunk(4096, 'q');
    for (int i = 0; i < 64; ++i) a.Bytes += "1000\r\n" + chunk + "\r\n";
    a.Bytes += "0\r\n\r\n";
    return a;
  });
  THttpClient client;
  client.Limits.MaxBodyBytes = 100000;
  std::string body;
  try {
    client.Get(server.BaseUrl() + "/", body);
    FAIL() << "no error";
  } catch (const EHttpError& e) {
    EXPECT_NE(std::string(e.what()).find("larger than 100000 bytes"), std::string::npos);
  }
  EXPECT_LE(body.size(), 100000u);
  // Under the cap the same body comes through whole.
  client.Limits.MaxBodyBytes = 64 * 4096;
  body.clear();
  client.Get(server.BaseUrl() + "/", body);
  EXPECT_EQ(body.size(), 64u * 4096u);
}

TEST_F(HttpClientLimits, AbortFromAnotherThreadStopsATransferWithinAboutASecond) {
  RawHttpServer server([](const std::string&) {
    RawAnswer a;
    a.Bytes = "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\nstart";
    a.StallAfter = true;
    return a;
  });
  THttpClient client;  // default limits: only the abort can end this quickly
  std::string body;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    client.Abort();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(client.Get(server.BaseUrl() + "/", body), EHttpAborted);
  const double took = SecondsSince(start);
  stopper.join();
  EXPECT_LT(took, 5.0);
  // Later requests fail at once until the flag is cleared.
  EXPECT_THROW(client.Head(server.BaseUrl() + "/"), EHttpAborted);
  EXPECT_EQ(server.Requests().size(), 1u);
  client.ClearAbort();
}

TEST_F(HttpClientLimits, AbortCheckStopsATransfer) {
  RawHttpServer server([](const std::string&) {
    RawAnswer a;
    a.StallAfter = true;
    return a;
  });
  THttpClient client;
  std::atomic<bool> stopped{false};
  client.AbortCheck = [&] { return stopped.load(); };
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stopped = true;
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(client.Head(server.BaseUrl() + "/"), EHttpAborted);
  EXPECT_LT(SecondsSince(start), 5.0);
  stopper.join();
}

}  // namespace
}  // namespace qm
