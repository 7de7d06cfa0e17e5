// Cookie lists, the Cookie header and the local cookie store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "engine/CookiesApi.h"
#include "engine/HttpClient.h"
#include "support/RawHttpServer.h"
#include "support/TempDir.h"

namespace qm {
namespace {

TEST(CookieList, ParsingSetsReplacesAndRemovesByName) {
  TCookieList list;
  ParseCookieString("a=1; b=2", list);
  EXPECT_EQ(list, (TCookieList{"a=1", "b=2"}));
  ParseCookieString("a=3", list);
  EXPECT_EQ(list, (TCookieList{"a=3", "b=2"}));
  ParseCookiePair(" a = ", list);  // an empty value removes the name
  EXPECT_EQ(list, (TCookieList{"b=2"}));
  ParseCookiePair("novalue", list);  // no "=": ignored
  ParseCookiePair("=orphan", list);  // no name: ignored
  EXPECT_EQ(list, (TCookieList{"b=2"}));
  ParseCookiePair("  c = x=y ", list);  // split at the first "=" only
  EXPECT_EQ(list, (TCookieList{"b=2", "c=x=y"}));
}

TEST(CookieList, OnlySemicolonSpaceSeparatesParts) {
  TCookieList list;
  ParseCookieString("  a=1;b=2  ", list);
  EXPECT_EQ(list, (TCookieList{"a=1;b=2"}));
  EXPECT_EQ(JoinCookies(list), "a=1;b=2");
  TCookieList empty;
  EXPECT_EQ(JoinCookies(empty), "");
  EXPECT_EQ(JoinCookies(TCookieList{" a=1 ", "b=2"}), "a=1; b=2");
}

TEST(CookieList, SetCookieLinesKeepOnlyTheFirstPair) {
  THttpResponse response;
  response.RawHeaders = {"Content-Type: text/html", "Set-Cookie: sid=xyz; path=/; HttpOnly",
                         "SET-COOKIE:  lang = zh ", "X-Set-Cookie: no=1", "set-cookie: flag"};
  TCookieList list{"sid=old"};
  EXPECT_TRUE(MergeSetCookies(response, list));
  EXPECT_EQ(list, (TCookieList{"sid=xyz", "lang=zh"}));

  THttpResponse none;
  none.RawHeaders = {"Content-Length: 3"};
  EXPECT_FALSE(MergeSetCookies(none, list));
}

// A worker's list holds names and values only: whatever path a Set-Cookie line names, the cookie
// goes with every later request of the worker (see WorkerCookies for a whole run).
TEST(CookieList, SetCookiePathsAreDropped) {
  for (const char* attributes : {"; Path=/members/", "; path=/members", "; Path=/",
                                 "; Path=", ";Path=/members/; Secure", ""}) {
    SCOPED_TRACE(attributes);
    THttpResponse response;
    response.RawHeaders = {std::string("Set-Cookie: sid=1") + attributes};
    TCookieList list;
    EXPECT_TRUE(MergeSetCookies(response, list));
    EXPECT_EQ(list, (TCookieList{"sid=1"}));
  }
}

TEST(CookieHeader, EmptyListLeavesAnEarlierHeaderInPlace) {
  test::RawHttpServer server(
      [](const std::string&) { return test::RawHttpServer::Answer("HTTP/1.1 200 OK", {}, ""); });
  THttpClient client;
  SetCookieHeader(client, TCookieList{"a=1", "b=2"});
  client.Head(server.BaseUrl() + "/1");
  SetCookieHeader(client, TCookieList{});
  client.Head(server.BaseUrl() + "/2");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[0].find("\r\nCookie: a=1; b=2\r\n"), std::string::npos);
  EXPECT_NE(requests[1].find("\r\nCookie: a=1; b=2\r\n"), std::string::npos);
}

TEST(CookieList, SetCookieLinesReportWhichCookiesAreSecure) {
  THttpResponse response;
  response.RawHeaders = {"Set-Cookie: sid=x; Path=/; Secure",
                         "Set-Cookie: pub=1",
                         "set-cookie: t=2;SECURE;HttpOnly",
                         "Set-Cookie: n=3; SecureX; Path=/s",
                         "Set-Cookie: secure=4",
                         "Set-Cookie: flag; Secure"};
  TCookieList list;
  std::vector<std::pair<std::string, bool>> flags;
  EXPECT_TRUE(MergeSetCookies(response, list, &flags));
  EXPECT_EQ(list, (TCookieList{"sid=x", "pub=1", "t=2", "n=3", "secure=4"}));
  const std::vector<std::pair<std::string, bool>> expected = {
      {"sid", true}, {"pub", false}, {"t", true}, {"n", false}, {"secure", false}};
  EXPECT_EQ(flags, expected);
  EXPECT_EQ(JoinCookiesExcept(list, {"sid", "t"}), "pub=1; n=3; secure=4");
  EXPECT_EQ(JoinCookiesExcept(TCookieList{" s=1 ", "a=2"}, {"s"}), "a=2");
  EXPECT_EQ(JoinCookiesExcept(list, {}), JoinCookies(list));
}

TEST(CookieHeader, SecureCookiesStayOffPlainHttpRequests) {
  test::RawHttpServer server(
      [](const std::string&) { return test::RawHttpServer::Answer("HTTP/1.1 200 OK", {}, ""); });
  THttpClient client;
  SetCookieHeader(client, TCookieList{"a=1", "s=2"}, {"s"});
  EXPECT_EQ(client.ExtraHeader("Cookie"), "a=1; s=2");  // what https requests carry
  client.Head(server.BaseUrl() + "/1");
  SetCookieHeader(client, TCookieList{"s=2"}, {"s"});
  client.Head(server.BaseUrl() + "/2");
  // A header set directly goes everywhere.
  client.SetExtraHeader("Cookie", "x=1");
  client.Head(server.BaseUrl() + "/3");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_NE(requests[0].find("\r\nCookie: a=1\r\n"), std::string::npos) << requests[0];
  EXPECT_EQ(requests[1].find("Cookie"), std::string::npos) << requests[1];
  EXPECT_NE(requests[2].find("\r\nCookie: x=1\r\n"), std::string::npos) << requests[2];
}

class CookieStore : public ::testing::Test {
 protected:
  std::string WriteStore(const std::string& text) {
    const auto path = dir_.Path() / "cookies.txt";
    test::WriteFileBytes(path, text);
    return path.string();
  }
  static std::string Line(const std::string& domain, const std::string& sub,
                          const std::string& path, const std::string& secure, long long expires,
                          const std::string& name, const std::string& value) {
    return domain + "\t" + sub + "\t" + path + "\t" + secure + "\t" + std::to_string(expires) +
           "\t" + name + "\t" + value + "\n";
  }
  test::TempDir dir_;
};

TEST_F(CookieStore, MatchesHostPathSchemeAndExpiry) {
  const long long later = static_cast<long long>(std::time(nullptr)) + 86400;
  const std::string store =
      WriteStore("# Netscape HTTP Cookie File\n" +
                 Line(".example.test", "TRUE", "/", "FALSE", later, "site", "1") +
                 Line("www.example.test", "FALSE", "/shop", "FALSE", 0, "cart", "9") +
                 Line("example.test", "FALSE", "/", "FALSE", later, "exact", "e") +
                 Line("www.example.test", "FALSE", "/", "TRUE", later, "secure", "s") +
                 Line("www.example.test", "FALSE", "/", "FALSE", 1000, "expired", "x") +
                 "#HttpOnly_www.example.test\tFALSE\t/\tFALSE\t0\thidden\th\n" +
                 Line("other.test", "TRUE", "/", "FALSE", later, "foreign", "f") + "broken line\n");

  EXPECT_EQ(StoreCookiesFor(store, "http://www.example.test/shop/cart.php?id=1"),
            "site=1; cart=9; hidden=h");
  EXPECT_EQ(StoreCookiesFor(store, "http://WWW.Example.test:8080/shopping"), "site=1; hidden=h");
  EXPECT_EQ(StoreCookiesFor(store, "https://www.example.test/"), "site=1; secure=s; hidden=h");
  TCookieNames secure;
  StoreCookiesFor(store, "https://www.example.test/", &secure);
  EXPECT_EQ(secure, (TCookieNames{"secure"}));
  EXPECT_EQ(StoreCookiesFor(store, "http://example.test/"), "site=1; exact=e");
  EXPECT_EQ(StoreCookiesFor(store, "http://badexample.test/"), "");
  EXPECT_EQ(StoreCookiesFor(store, "not a url"), "");
}

// Where a stored cookie's path lets it go: a prefix of the request path that ends at a segment
// boundary; "/" and an empty path match everything; a request without a path asks for "/".
TEST_F(CookieStore, PathIsAPrefixEndingAtASegmentBoundary) {
  struct Case {
    const char* cookiePath;
    const char* url;
    bool sent;
  };
  const Case cases[] = {
      {"/members/", "http://h.test/members/", true},
      {"/members/", "http://h.test/members/deep/page.html?q=/x", true},
      {"/members/", "http://h.test/members", false},  // the directory without its slash
      {"/members/", "http://h.test/membersonly/", false},
      {"/members/", "http://h.test/index.html", false},
      {"/members/", "http://h.test/other/members/", false},
      {"/members", "http://h.test/members", true},  // a path written without its trailing slash
      {"/members", "http://h.test/members/page.html", true},
      {"/members", "http://h.test/members.html", false},
      {"/members", "http://h.test/membersonly/", false},
      {"/Members", "http://h.test/members/", false},  // paths are case-sensitive
      {"/", "http://h.test/anything/at/all.html", true},
      {"/", "http://h.test", true},
      {"", "http://h.test/anything.html", true},
      {"/a/b.html", "http://h.test/a/b.html", true},
      {"/a/b.html", "http://h.test/a/b.htmlx", false},
      {"/x", "http://h.test?/x", false},  // a query is not part of the path
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.cookiePath) + " for " + c.url);
    const std::string store =
        WriteStore(Line("h.test", "FALSE", c.cookiePath, "FALSE", 0, "sid", "1"));
    EXPECT_EQ(StoreCookiesFor(store, c.url), c.sent ? "sid=1" : "");
  }
}

TEST_F(CookieStore, LoadSystemCookiesReadsTheStoreNamedByTheEnvironment) {
  const std::string store = WriteStore(Line("127.0.0.1", "FALSE", "/", "FALSE", 0, "sid", "abc") +
                                       Line("127.0.0.1", "FALSE", "/", "FALSE", 0, "lang", "zh"));
  const char* old = std::getenv("QUILLMOSS_COOKIES");
  const std::string saved = old ? old : "";
  setenv("QUILLMOSS_COOKIES", store.c_str(), 1);
  EXPECT_EQ(CookieStorePath(), store);
  TCookieList list{"lang=en", "keep=1"};
  LoadSystemCookies("http://127.0.0.1:8080/index.html", list);
  EXPECT_EQ(list, (TCookieList{"lang=zh", "keep=1", "sid=abc"}));

  // A missing store changes nothing.
  setenv("QUILLMOSS_COOKIES", (dir_.Path() / "absent.txt").c_str(), 1);
  LoadSystemCookies("http://127.0.0.1/", list);
  EXPECT_EQ(list.size(), 3u);

  unsetenv("QUILLMOSS_COOKIES");
  const char* home = std::getenv("HOME");
  EXPECT_EQ(CookieStorePath(), std::string(home ? home : ".") + "/.config/quillmoss/cookies.txt");
  if (old) setenv("QUILLMOSS_COOKIES", saved.c_str(), 1);
}

}  // namespace
}  // namespace qm
