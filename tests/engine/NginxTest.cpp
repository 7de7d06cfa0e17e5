// The client against a real web server (a private nginx on a free port of 127.0.0.1): sizes,
// dates, whole and sliced downloads, errors and redirects as a real server words them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>

#include "engine/CookiesApi.h"
#include "engine/HttpClient.h"
#include "support/NginxServer.h"
#include "support/TempDir.h"

namespace qm {
namespace {

constexpr std::time_t kFileTime = 1262347445;  // 2010-01-01 12:04:05 UTC

std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
  return s;
}

class NginxSite : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::NginxServer::Available()) GTEST_SKIP() << "nginx is not installed";
    test::WriteFileBytes(site_.Path() / "index.html", "<html>home</html>");
    std::filesystem::create_directories(site_.Path() / "dir");
    test::WriteFileBytes(site_.Path() / "dir" / "index.html", "<html>dir</html>");
    test::WriteFileBytes(site_.Path() / "big.zip", big_);
    const timespec times[2] = {{kFileTime, 0}, {kFileTime, 0}};
    ::utimensat(AT_FDCWD, (site_.Path() / "big.zip").c_str(), times, 0);
    server_ = std::make_unique<test::NginxServer>(
        site_.Path(),
        "    location = /moved { return 302 /dir/index.html; }\n"
        "    location = /private { add_header Set-Cookie \"gate=closed; path=/\" always; "
        "return 403; }\n");
  }

  test::TempDir site_;
  const std::string big_ = Pattern(30000);
  std::unique_ptr<test::NginxServer> server_;
};

TEST_F(NginxSite, HeadGivesSizeAndTheFileDateInLocalTime) {
  THttpClient client;
  client.Head(server_->BaseUrl() + "/big.zip");
  EXPECT_EQ(client.Response().Code, 200);
  EXPECT_EQ(client.Response().StatusLine, "HTTP/1.1 200 OK");
  EXPECT_EQ(client.Response().ContentLength, 30000);
  EXPECT_EQ(client.Response().LastModified, UnixToLocalDateTime(kFileTime));
  EXPECT_GT(client.Response().LastModified, 1.0 / 3.0);
}

TEST_F(NginxSite, SlicedDownloadReassemblesTheFileAndTheNextHeadHasNoRange) {
  THttpClient client;
  std::string file;
  std::int64_t received = 0;
  int slices = 0;
  while (received < 30000) {  // slices of 10241 bytes, the last one open-ended
    std::string body;
    client.RangeStart = received;
    client.RangeEnd = 30000 - received > 10240 ? received + 10240 : 0;
    client.Get(server_->BaseUrl() + "/big.zip", body);
    EXPECT_EQ(client.Response().Code, 206);
    file += body;
    received = static_cast<std::int64_t>(file.size());
    ++slices;
  }
  client.RangeStart = 0;
  client.RangeEnd = 0;
  EXPECT_EQ(slices, 3);
  EXPECT_EQ(file, big_);

  client.Head(server_->BaseUrl() + "/big.zip");
  EXPECT_EQ(client.Response().Code, 200);  // a 206 here would mean a Range header went out
  EXPECT_EQ(client.Response().HeaderValue("Content-Range"), "");
  std::string whole;
  client.Get(server_->BaseUrl() + "/big.zip", whole);
  EXPECT_EQ(whole, big_);
}

TEST_F(NginxSite, RedirectsAndErrorsAsTheServerWordsThem) {
  THttpClient client;
  std::vector<std::string> locations;
  client.OnRedirect = [&](THttpClient&, std::string& location) { locations.push_back(location); };
  std::string body;
  client.Get(server_->BaseUrl() + "/moved", body);
  EXPECT_EQ(body, "<html>dir</html>");
  ASSERT_EQ(locations.size(), 1u);
  EXPECT_EQ(locations[0], server_->BaseUrl() + "/dir/index.html");

  // A directory without its slash: nginx answers 301 with the slash added.
  locations.clear();
  body.clear();
  client.Get(server_->BaseUrl() + "/dir", body);
  EXPECT_EQ(body, "<html>dir</html>");
  EXPECT_EQ(locations.size(), 1u);

  try {
    client.Head(server_->BaseUrl() + "/missing.html");
    FAIL() << "no error";
  } catch (const EHttpProtocolError& e) {
    EXPECT_STREQ(e.what(), "HTTP/1.1 404 Not Found");
  }
  EXPECT_THROW(client.Head(server_->BaseUrl() + "/private"), EHttpProtocolError);
  TCookieList cookies;
  EXPECT_TRUE(MergeSetCookies(client.Response(), cookies));
  EXPECT_EQ(cookies, (TCookieList{"gate=closed"}));
}

}  // namespace
}  // namespace qm
