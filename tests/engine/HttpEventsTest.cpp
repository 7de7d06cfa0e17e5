// The shared client events: redirects become stub pages and table records of the worker's task,
// transfer progress reaches the worker's speed meter, all found through the client's tag.
#include <gtest/gtest.h>
#include <httplib.h>

#include <thread>

#include "engine/HttpEvents.h"
#include "engine/TaskRegistry.h"
#include "platform/Pacing.h"
#include "support/RawHttpServer.h"
#include "support/TempDir.h"
#include "task/HttpWork.h"
#include "task/Task.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

// An in-process server with scripted routes, on a free port of 127.0.0.1.
class ScriptedServer {
 public:
  ScriptedServer() = default;
  ~ScriptedServer() { Stop(); }
  void Start() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  void Stop() {
    if (!thread_.joinable()) return;
    server_.stop();
    thread_.join();
  }
  httplib::Server& Routes() { return server_; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

void Redirect(httplib::Server& s, const std::string& from, const std::string& to) {
  s.Get(from, [to](const httplib::Request&, httplib::Response& res) { res.set_redirect(to); });
}

void Page(httplib::Server& s, const std::string& path, const std::string& body) {
  s.Get(path, [body](const httplib::Request&, httplib::Response& res) {
    res.set_content(body, "text/html");
  });
}

// A task registered at manager index 7 with one worker whose client is `client`.
class TaskWithWorker : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPacingFactor(0);
    task_.Folder = folder_.TaskFolder();
    task_.ManagerIndex = 7;
    RegisterTask(7, &task_);
    worker_ = task_.RegisterWorker(nullptr, client_.get());
    client_->SetTag(MakeClientTag(7, worker_));
  }
  void TearDown() override {
    ClearTaskRegistry();
    SetPacingFactor(1);
  }

  std::int32_t AddEntry(const std::string& url) {
    TExtendUrlRec rec{};
    rec.Url.Set(url);
    rec.Status = InProgress;
    rec.OwnBase = 1;
    return task_.AddUrl(rec);
  }
  void SetWorkerUrl(const std::string& url) {
    std::lock_guard<std::mutex> guard(task_.WorkersLock);
    task_.WorkerUrls[worker_] = url;
  }
  std::string LocalFileText(const std::string& localPath) {
    return test::ReadFileBytes(NativePath(localPath));
  }
  static std::string Stub(const std::string& relative) {
    return "<HTML> <HEAD> <TITLE>WELCOME</TITLE> <META http-equiv=\"Refresh\" content=\"0;url=" +
           relative + "\"> </HEAD> </HTML>";
  }

  test::TempDir folder_;
  TTask task_;
  ScriptedServer server_;  // outlives the client, whose kept-alive connection would hold it
  std::unique_ptr<THttpClient> client_ = MakeHttpClient();
  std::int32_t worker_ = -1;
};

TEST_F(TaskWithWorker, RelativeRedirectIsFollowedAbsoluteAndLeavesAStub) {
  Redirect(server_.Routes(), "/a/old.html", "/b/new.html");
  Page(server_.Routes(), "/b/new.html", "<p>new</p>");
  server_.Start();
  const std::string old = server_.Url("/a/old.html");
  const std::int32_t entry = AddEntry(old);
  SetWorkerUrl(old);

  std::string body;
  client_->Get(old, body);
  EXPECT_EQ(body, "<p>new</p>");
  EXPECT_EQ(client_->FinalUrl(), server_.Url("/b/new.html"));

  EXPECT_EQ(LocalFileText(task_.Folder + "127.0.0.1\\a\\old.html"), Stub("../b/new.html"));
  EXPECT_EQ(task_.GetStatus(entry), Redirected);
  const std::int32_t target = task_.FindUrl(server_.Url("/b/new.html"));
  ASSERT_GE(target, 0);
  EXPECT_EQ(task_.ResolveIndex(entry), target);
  EXPECT_EQ(task_.GetStatus(target), InProgress);  // the worker goes on with it
}

TEST_F(TaskWithWorker, ChainOfTwoRecordsTheLastHopForTheRequestedUrl) {
  Redirect(server_.Routes(), "/first", "/second/");
  Redirect(server_.Routes(), "/second/", "/third.php?id=3");
  Page(server_.Routes(), "/third.php", "third");
  server_.Start();
  const std::string first = server_.Url("/first");
  const std::int32_t entry = AddEntry(first);
  SetWorkerUrl(first);

  client_->Head(first);

  const std::int32_t third = task_.FindUrl(server_.Url("/third.php?id=3"));
  ASSERT_GE(third, 0);
  EXPECT_EQ(task_.GetStatus(entry), Redirected);
  EXPECT_EQ(task_.CopyRecord(entry).RedirectId, third);
  EXPECT_EQ(task_.GetUrl(entry), server_.Url("/third.php?id=3"));
  // "first" has no extension: its stub gets ".html" and points at the third URL.
  EXPECT_EQ(LocalFileText(task_.Folder + "127.0.0.1\\first.html"), Stub("third.php/id=3.html"));
  // The intermediate URL waits for a worker of its own instead of staying claimed by nobody.
  const std::int32_t second = task_.FindUrl(server_.Url("/second/"));
  ASSERT_GE(second, 0);
  EXPECT_EQ(task_.GetStatus(second), NotDownloaded);
}

TEST_F(TaskWithWorker, StubReplacesAnOldFileAndStaticNamesKeepTheirName) {
  Redirect(server_.Routes(), "/p/page.htm", "http://127.0.0.1:1/elsewhere/x.gif");
  server_.Start();
  const std::string url = server_.Url("/p/page.htm");
  AddEntry(url);
  SetWorkerUrl(url);
  const std::string local = task_.Folder + "127.0.0.1\\p\\page.htm";
  ForceDirs(task_.Folder + "127.0.0.1\\p\\");
  test::WriteFileBytes(NativePath(local), std::string(5000, 'x'));

  client_->Limits.ConnectTimeoutMs = 2000;
  EXPECT_THROW(client_->Head(url), EHttpError);  // nothing listens at the target
  EXPECT_EQ(LocalFileText(local), Stub("../elsewhere/x.gif"));
}

TEST_F(TaskWithWorker, NothingIsRecordedWhenTheWorkerArraysAreEmpty) {
  Redirect(server_.Routes(), "/old.html", "/new.html");
  Page(server_.Routes(), "/new.html", "new");
  server_.Start();
  const std::string old = server_.Url("/old.html");
  const std::int32_t entry = AddEntry(old);
  SetWorkerUrl(old);
  {  // as a stop leaves them
    std::lock_guard<std::mutex> guard(task_.WorkersLock);
    task_.Workers.clear();
    task_.Meters.clear();
    task_.HttpClients.clear();
    task_.WorkerUrls.clear();
  }
  std::string body;
  client_->Get(old, body);
  EXPECT_EQ(body, "new");  // followed unchanged
  EXPECT_EQ(task_.GetStatus(entry), InProgress);
  EXPECT_EQ(task_.FindUrl(server_.Url("/new.html")), -1);
  EXPECT_FALSE(std::filesystem::exists(NativePath(task_.Folder + "127.0.0.1\\old.html")));
}

TEST_F(TaskWithWorker, UnresolvableLocationOrSelfRedirectChangesNothing) {
  int hits = 0;
  server_.Routes().Get("/self.html", [&](const httplib::Request&, httplib::Response& res) {
    if (++hits == 1)
      res.set_redirect("/self.html");  // a cookie round trip to the same URL
    else
      res.set_content("self", "text/html");
  });
  server_.Start();
  const std::string self = server_.Url("/self.html");
  const std::int32_t entry = AddEntry(self);
  SetWorkerUrl(self);
  std::string body;
  client_->Get(self, body);
  EXPECT_EQ(body, "self");
  EXPECT_EQ(task_.GetStatus(entry), InProgress);
  EXPECT_EQ(task_.CopyRecord(entry).RedirectId, -1);

  // A location the resolver rejects is handed back unchanged.
  std::string location = "mailto:someone@example.test";
  IdHTTP1Redirect(*client_, location);
  EXPECT_EQ(location, "mailto:someone@example.test");
  EXPECT_EQ(task_.GetStatus(entry), InProgress);
  EXPECT_FALSE(std::filesystem::exists(NativePath(task_.Folder + "127.0.0.1\\self.html")));
}

TEST_F(TaskWithWorker, ProgressReachesTheWorkersMeterOnlyWhileItHasOne) {
  Page(server_.Routes(), "/big.html", std::string(200000, 'b'));
  server_.Start();
  std::shared_ptr<THttpWork> meter;
  {
    std::lock_guard<std::mutex> guard(task_.WorkersLock);
    meter = task_.Meters[worker_];
  }
  ASSERT_TRUE(meter);
  std::string body;
  client_->Get(server_.Url("/big.html"), body);
  EXPECT_EQ(body.size(), 200000u);
  const std::int32_t afterOne = meter->SampleCount();
  EXPECT_GE(afterOne, 2);  // begin and end at least

  {
    std::lock_guard<std::mutex> guard(task_.WorkersLock);
    task_.Meters.clear();
  }
  body.clear();
  client_->Get(server_.Url("/big.html"), body);
  EXPECT_EQ(meter->SampleCount(), afterOne);

  // A tag whose task or worker does not exist is ignored as well.
  client_->SetTag(MakeClientTag(9, 0));
  IdHTTP1WorkBegin(*client_, TWorkMode::Read, 10);
  IdHTTP1Work(*client_, TWorkMode::Read, 5);
  IdHTTP1WorkEnd(*client_, TWorkMode::Read);
  EXPECT_EQ(meter->SampleCount(), afterOne);
}

TEST_F(TaskWithWorker, StoppingTheTaskAbortsItsTransfersInProgress) {
  test::RawHttpServer stalling([](const std::string&) {
    test::RawAnswer a;
    a.Bytes = "HTTP/1.1 200 OK\r\nContent-Length: 90000\r\n\r\nfirst bytes";
    a.StallAfter = true;
    return a;
  });
  auto query = [&] { return client_->ShouldAbort(); };
  EXPECT_FALSE(query());  // a new task counts as stopped, but its run has not begun yet
  task_.MarkRunning();
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    task_.MarkStopped();
  });
  const auto start = std::chrono::steady_clock::now();
  std::string body;
  EXPECT_THROW(client_->Get(stalling.BaseUrl() + "/slow.zip", body), EHttpAborted);
  const double took =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  stopper.join();
  EXPECT_LT(took, 5.0);

  // A client that is not the task's own is not stopped by it.
  auto stranger = MakeHttpClient();
  stranger->SetTag(client_->Tag());
  EXPECT_FALSE(stranger->ShouldAbort());
  EXPECT_TRUE(client_->ShouldAbort());
}

TEST(HttpTemplate, NewClientsCopyTheTemplateSettingsOnly) {
  HttpTemplate().Limits.LowSpeedSeconds = 5;
  auto a = MakeHttpClient();
  HttpTemplate().Limits.LowSpeedSeconds = 60;
  EXPECT_EQ(a->Limits.LowSpeedSeconds, 5);
  EXPECT_EQ(a->UserAgent, "Mozilla/4.0 (compatible; MSIE 5.01; Windows NT 5.0; MyIE2)");
  EXPECT_TRUE(a->FollowRedirects);
  EXPECT_EQ(a->RecvBufferSize, 102400);
  EXPECT_EQ(a->SendBufferSize, 10240);
  EXPECT_TRUE(a->OnRedirect && a->OnWorkBegin && a->OnWork && a->OnWorkEnd && a->OnQueryStop);
  EXPECT_EQ(a->Tag(), 0u);
  EXPECT_TRUE(a->ExtraHeaders().empty());
}

TEST(TaskRegistry, LookupsAreSafeWhileTheListGrows) {
  std::vector<std::unique_ptr<TTask>> tasks;
  for (int i = 0; i < 200; ++i) tasks.push_back(std::make_unique<TTask>());
  RegisterTask(0, tasks[0].get());
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done.load()) EXPECT_EQ(FindTask(0), tasks[0].get());
  });
  for (int i = 1; i < 200; ++i) RegisterTask(i, tasks[i].get());
  done = true;
  reader.join();
  EXPECT_EQ(FindTask(199), tasks[199].get());
  EXPECT_EQ(FindTask(200), nullptr);
  EXPECT_EQ(FindTask(-1), nullptr);
  ClearTaskRegistry();
  EXPECT_EQ(FindTask(0), nullptr);
}

}  // namespace
}  // namespace qm
