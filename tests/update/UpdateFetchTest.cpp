// The network steps of the update against servers on 127.0.0.1: the list and its fallback
// server, the HEAD of each offered file, downloads, proxies, and a server that never answers.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/Files.h"
#include "platform/IniFile.h"
#include "support/RawHttpServer.h"
#include "support/TempDir.h"
#include "update/UpdateFetch.h"
#include "update/UpdateServerFixture.h"

namespace qm {
namespace {

using test::DeadServer;
using test::ReadFileBytes;
using test::TempDir;
using test::UpdateTestServer;

class UpdateFetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UpdateServer.clear();
    UpdateItems.clear();
    ConfigureUpdateClient(client_, {2000, 2});
  }
  THttpClient client_;
};

TEST_F(UpdateFetchTest, FirstServerDownFallsBackToTheSecondForTheRestOfTheRun) {
  UpdateTestServer second;
  second.SetList("the list");
  std::string text;
  ASSERT_TRUE(FetchUpdateList(client_, {DeadServer(), second.Base()}, text));
  EXPECT_EQ(text, "the list");
  EXPECT_EQ(UpdateServer, second.Base());
  // The next check starts at the second server: the first is not asked again.
  UpdateTestServer unused;
  ASSERT_TRUE(FetchUpdateList(client_, {unused.Base(), second.Base()}, text));
  EXPECT_EQ(unused.Requests("GET", "/update/xupdate.txt"), 0);
  EXPECT_EQ(second.Requests("GET", "/update/xupdate.txt"), 2);
}

TEST_F(UpdateFetchTest, BothServersDownOrWithoutAList) {
  std::string text = "stale";
  EXPECT_FALSE(FetchUpdateList(client_, {DeadServer(), DeadServer()}, text));
  EXPECT_EQ(text, "");
  UpdateServer.clear();
  UpdateTestServer empty;  // answers 404
  EXPECT_FALSE(FetchUpdateList(client_, {empty.Base(), empty.Base()}, text));
  EXPECT_EQ(UpdateServer, empty.Base());
}

TEST_F(UpdateFetchTest, ServerThatNeverAnswersFailsAfterTheLimit) {
  test::RawHttpServer silent([](const std::string&) { return test::RawAnswer{"", true, false}; });
  ConfigureUpdateClient(client_, {1000, 1});
  std::string text;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(FetchUpdateList(client_, {silent.BaseUrl(), silent.BaseUrl()}, text));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
}

TEST_F(UpdateFetchTest, HeadGivesTheSizeOrWithdrawsTheOffer) {
  UpdateTestServer server;
  server.Put("/a", std::string(1234, 'a'));
  server.Put("/b", "bbb");
  server.FailHead("/b");
  TUpdateList a, b;
  a.IsNewer = b.IsNewer = 1;
  a.RemoteInfo.StampUrl = server.Url("/a");
  b.RemoteInfo.StampUrl = server.Url("/b");
  EXPECT_TRUE(HeadUpdateItem(client_, a));
  EXPECT_EQ(a.ContentSize, 1234);
  EXPECT_EQ(a.IsNewer, 1);
  EXPECT_FALSE(HeadUpdateItem(client_, b));
  EXPECT_EQ(b.IsNewer, 0);
}

TEST_F(UpdateFetchTest, DownloadSavesTheTargetWithDateAndPermissions) {
  UpdateTestServer server;
  server.Put("/files/prog", "#!/bin/sh\necho new\n");
  TempDir dir;
  const std::string folder = dir.Path().string() + "/";
  test::WriteFileBytes(dir.Path() / "prog", "old");
  std::filesystem::permissions(dir.Path() / "prog", std::filesystem::perms(0750));
  TUpdateList item;
  item.ItemName = "prog";
  item.TargetName = "pro_";
  item.RemoteInfo.StampUrl = server.Url("/files/prog");
  item.RemoteInfo.StampDate = ParseListDate("2026-11-30");
  DownloadUpdateItem(client_, item, folder);
  EXPECT_EQ(item.IsFetched, 1);
  EXPECT_EQ(ReadFileBytes(dir.Path() / "pro_"), "#!/bin/sh\necho new\n");
  TDateTime date = 0;
  ASSERT_TRUE(GetFileDate(folder + "pro_", date));
  EXPECT_DOUBLE_EQ(date, ParseListDate("2026-11-30"));
  EXPECT_EQ(std::filesystem::status(dir.Path() / "pro_").permissions(),
            std::filesystem::perms(0750));
  EXPECT_EQ(ReadFileBytes(dir.Path() / "prog"), "old");

  // A name with a folder that does not exist yet.
  item.ItemName = "Language/x.ini";
  item.TargetName = "Language/x.in_";
  DownloadUpdateItem(client_, item, folder);
  EXPECT_TRUE(FileExists(folder + "Language/x.in_"));
}

TEST_F(UpdateFetchTest, ShortBodyIsAnErrorAndStoresNothing) {
  // Announces 100 bytes, sends 10 and closes.
  test::RawHttpServer liar([](const std::string&) {
    return test::RawAnswer{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789", false, true};
  });
  TempDir dir;
  TUpdateList item;
  item.ItemName = "prog";
  item.TargetName = "pro_";
  item.RemoteInfo.StampUrl = liar.BaseUrl() + "/prog";
  EXPECT_THROW(DownloadUpdateItem(client_, item, dir.Path().string() + "/"), EHttpError);
  EXPECT_FALSE(FileExists(dir.Path().string() + "/pro_"));
  EXPECT_EQ(item.IsFetched, 0);

  // Chunked, without a length: the size announced by the HEAD before counts.
  test::RawHttpServer chunked([](const std::string&) {
    return test::RawAnswer{
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\na\r\n0123456789\r\n0\r\n\r\n", false,
        true};
  });
  item.RemoteInfo.StampUrl = chunked.BaseUrl() + "/prog";
  item.ContentSize = 11;
  EXPECT_THROW(DownloadUpdateItem(client_, item, dir.Path().string() + "/"), EUpdateDownloadError);
  EXPECT_FALSE(FileExists(dir.Path().string() + "/pro_"));
  item.ContentSize = 10;
  DownloadUpdateItem(client_, item, dir.Path().string() + "/");
  EXPECT_EQ(ReadFileBytes(dir.Path() / "pro_"), "0123456789");
}

TEST(UpdateSettings, FirstServerFromTheSettingsFile) {
  TempDir dir;
  const std::string ini = (dir.Path() / "prog.ini").string();
  EXPECT_EQ(ConfiguredUpdateServers(ini).First, kFirstUpdateServer);
  TIniFile(ini).WriteString(kUpdateSettingsSection, kUpdateServerKey, "http://127.0.0.1:8/");
  const TUpdateServers servers = ConfiguredUpdateServers(ini);
  EXPECT_EQ(servers.First, "http://127.0.0.1:8");
  EXPECT_EQ(servers.Second, kSecondUpdateServer);
}

TEST(UpdateProxy, HostAndPortOrTheConversionError) {
  THttpClient client;
  ApplyProxy(client, "proxy.lan:3128");
  EXPECT_EQ(client.Proxy, "proxy.lan:3128");
  for (const auto& [text, message] : std::vector<std::pair<std::string, std::string>>{
           {"proxy.lan", "'' is not a valid integer value"},
           {"proxy.lan:80x", "'80x' is not a valid integer value"}}) {
    try {
      ApplyProxy(client, text);
      ADD_FAILURE() << text;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.what(), message);
    }
  }
  ::setenv("http_proxy", "http://cache.lan:8080/", 1);
  TProxySetting proxy = ProxyFromEnvironment();
  EXPECT_TRUE(proxy.Enabled);
  EXPECT_EQ(proxy.Server, "cache.lan:8080");
  ::unsetenv("http_proxy");
  ::unsetenv("HTTP_PROXY");
  EXPECT_FALSE(ProxyFromEnvironment().Enabled);
}

TEST(ProgramName, WithoutFolderAndExtension) {
  EXPECT_EQ(ProgramNameOf("/opt/qm/quillmoss"), "quillmoss");
  EXPECT_EQ(ProgramNameOf("/opt/qm.d/prog.exe"), "prog");
  EXPECT_EQ(ProgramNameOf("/x/.hidden"), ".hidden");
}

}  // namespace
}  // namespace qm
