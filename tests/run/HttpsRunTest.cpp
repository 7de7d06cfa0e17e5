// Whole runs against a TLS site started here, its CA made at test time and passed to the program
// through the settings file's extra CA key: mixed https and http links of one host, redirects
// from http to https, refused certificates, and connections kept per worker.
#include <gtest/gtest.h>

#include "config/Setting.h"
#include "platform/Files.h"
#include "platform/Gbk.h"
#include "support/RunFixture.h"
#include "support/TaskSettingsEdit.h"
#include "support/TlsCertificates.h"
#include "task/Task.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

using namespace test;

class HttpsRunTest : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    const std::string ini = (settingsDir_.Path() / "quillmoss.ini").string();
    WriteFileBytes(ini, Utf8ToGbk("[HTTPS设置]\r\n附加CA证书文件=" + certs_.CaFile() + "\r\n"));
    SetSettingsFile(ini);
    LoadSettings();
  }
  void TearDown() override {
    RunFixture::TearDown();
    SetSettingsFile("");
  }
  // A task whose start URL is `url`.
  TTask& NewTaskAt(const std::string& url) {
    TDirItem item;
    item.Name = "secure";
    item.Type = ItemTask;
    item.Path = dir_.TaskFolder();
    item.FileName = "secure.web";
    item.StartURL = url;
    StartAtOnce = true;
    return manager_.NewTaskWithSettings(tree_.AddItem(RootItem, item), DefaultTaskSettings());
  }
  // The local file of a path on 127.0.0.1, whatever the scheme.
  std::string HostFile(TTask& task, const std::string& path) {
    return NativePath(LocalPathOf(task.Folder, secure_.Url(path)));
  }

  TempDir settingsDir_;
  TestCertificates certs_{settingsDir_.Path()};
  TestSite secure_{certs_.ServerCertificate("server")};
};

TEST_F(HttpsRunTest, AnHttpsSiteWithLinksToBothSchemesIsOneCopy) {
  const std::string plainB = site_.Url("/b.html");
  secure_.Put("/index.html",
              PageOf("<img src=\"/img/p.gif\"><a href=\"a.html\">a</a><a href=\"" + plainB +
                     "\">b</a><a href=\"https://other.invalid/x.html\">x</a>"));
  secure_.Put("/a.html", PageOf("<p>A</p>"));
  secure_.Put("/img/p.gif", FileOf("GIF89a").Type("image/gif"));
  site_.Put("/b.html", PageOf("<a href=\"" + secure_.Url("/a.html") + "\">back</a>"));
  TTask& task = NewTaskAt(secure_.Url("/index.html"));
  RunToEnd();

  EXPECT_EQ(task.State.load(), Complete);
  EXPECT_EQ(task.Recount(), 100);
  const std::string index = ReadFileBytes(HostFile(task, "/index.html"));
  EXPECT_NE(index.find("<img src=\"img/p.gif\">"), std::string::npos) << index;
  EXPECT_NE(index.find("<a href=\"a.html\">"), std::string::npos) << index;
  EXPECT_NE(index.find("<a href=\"b.html\">"), std::string::npos) << index;
  // Another host is outside the scope: left as written and never asked for.
  EXPECT_NE(index.find("<a href=\"https://other.invalid/x.html\">"), std::string::npos);
  EXPECT_EQ(task.FindUrl("https://other.invalid/x.html"), -1);
  EXPECT_EQ(ReadFileBytes(HostFile(task, "/a.html")), "<p>A</p>");
  EXPECT_EQ(ReadFileBytes(HostFile(task, "/img/p.gif")), "GIF89a");
  EXPECT_EQ(ReadFileBytes(HostFile(task, "/b.html")), "<a href=\"a.html\">back</a>");
  EXPECT_EQ(HostFile(task, "/b.html"), NativePath(LocalPathOf(task.Folder, plainB)));
  EXPECT_EQ(secure_.Count("GET", "/a.html"), 1);  // the link back found the entry
  EXPECT_EQ(site_.Count("GET", "/b.html"), 1);
}

TEST_F(HttpsRunTest, AStartUrlRedirectedFromHttpToHttpsKeepsThePageNotAStub) {
  site_.Put("/", RedirectOf(secure_.Url("/")));
  site_.Put("/old.html", RedirectOf(secure_.Url("/new.html")));
  secure_.Put("/", PageOf("<a href=\"" + site_.Url("/old.html") + "\">old</a>"));
  secure_.Put("/new.html", PageOf("<p>new</p>"));
  TTask& task = NewTaskAt(site_.Url("/"));
  RunToEnd();

  EXPECT_EQ(task.State.load(), Complete);
  EXPECT_EQ(task.GetStatus(0), Redirected);
  EXPECT_EQ(task.GetUrl(0), secure_.Url("/"));
  // http://h/ and https://h/ are one local file: it holds the page, not a stub to itself.
  EXPECT_EQ(ReadFileBytes(HostFile(task, "/index.html")), "<a href=\"old.html\">old</a>");
  const std::int32_t old = task.FindUrl(site_.Url("/old.html"));
  ASSERT_GE(old, 0);
  EXPECT_EQ(task.GetStatus(old), Redirected);
  EXPECT_EQ(task.GetUrl(old), secure_.Url("/new.html"));
  EXPECT_NE(ReadFileBytes(HostFile(task, "/old.html")).find("content=\"0;url=new.html\""),
            std::string::npos);
  EXPECT_EQ(ReadFileBytes(HostFile(task, "/new.html")), "<p>new</p>");
}

TEST_F(HttpsRunTest, ARedirectToTheOtherSchemeOfASavedPageLeavesItsCopyWhole) {
  ThreadCount = 1;
  site_.Put("/a.html", RedirectOf(secure_.Url("/a.html")));
  secure_.Put("/index.html", PageOf("<a href=\"a.html\">a</a><a href=\"z.html\">z</a><a href=\"" +
                                    site_.Url("/a.html") + "\">a</a>"));
  secure_.Put("/a.html", PageOf("<p>the page</p>"));
  secure_.Put("/z.html", PageOf("<p>z</p>"));
  TTask& task = NewTaskAt(secure_.Url("/index.html"));
  // The http form is asked for only once the https page has been saved.
  secure_.OnGet("/z.html", [&](int) {
    for (int i = 0; i < 5000; ++i) {
      const std::int32_t a = task.FindUrl(secure_.Url("/a.html"));
      if (a >= 0 && task.GetStatus(a) == Saved) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  RunToEnd();
  EXPECT_EQ(site_.Count("HEAD", "/a.html"), 1);
  EXPECT_EQ(task.GetStatus(task.FindUrl(site_.Url("/a.html"))), Redirected);
  EXPECT_EQ(ReadFileBytes(HostFile(task, "/a.html")), "<p>the page</p>");
}

TEST_F(HttpsRunTest, ASecureCookieGoesOnlyToHttpsPages) {
  secure_.Put("/index.html",
              PageOf("<a href=\"a.html\">a</a><a href=\"" + site_.Url("/b.html") + "\">b</a>")
                  .Cookie("sid=s1; Path=/; Secure")
                  .Cookie("pub=p1; Path=/"));
  secure_.Put("/a.html", PageOf("<p>A</p>"));
  site_.Put("/b.html", PageOf("<p>B</p>"));
  NewTaskAt(secure_.Url("/index.html"));
  RunToEnd();
  const auto secureGets = secure_.Requests("GET", "/a.html");
  ASSERT_EQ(secureGets.size(), 1u);
  EXPECT_EQ(secureGets[0].Cookie, "sid=s1; pub=p1");
  const auto plain = site_.Requests();
  ASSERT_EQ(plain.size(), 2u);  // HEAD and GET of b.html
  for (const SiteRequest& r : plain) EXPECT_EQ(r.Cookie, "pub=p1") << r.Method;
}

TEST_F(HttpsRunTest, BothSchemesOfOneFileAreNeverWrittenAtOnce) {
  // Two large files and a page, each linked in both forms; the large ones come in many slices
  // while the other form is fetched by another worker.
  const std::string big = PatternBody(250000);
  const std::string other = PatternBody(180000).substr(7) + "tail";
  std::string index;
  for (const char* path : {"/big.pdf", "/other.zip", "/p.html"})
    index += "<a href=\"" + secure_.Url(path) + "\">s</a><a href=\"" + site_.Url(path) + "\">p</a>";
  secure_.Put("/index.html", PageOf(index));
  for (TestSite* site : {&secure_, &site_}) {
    site->Put("/big.pdf", FileOf(big).Slowly(1));
    site->Put("/other.zip", FileOf(other).Slowly(1));
    site->Put("/p.html", PageOf("<p>one page</p>"));
  }
  TTask& task = NewTaskAt(secure_.Url("/index.html"));
  SetContent(task, ContentEverything);
  RunToEnd();

  EXPECT_EQ(task.State.load(), Complete);
  EXPECT_EQ(task.ErrorCount + task.AnalysisErrorCount, 0);
  EXPECT_EQ(ReadFileBytes(HostFile(task, "/big.pdf")), big);
  EXPECT_EQ(ReadFileBytes(HostFile(task, "/other.zip")), other);
  EXPECT_EQ(ReadFileBytes(HostFile(task, "/p.html")), "<p>one page</p>");
  EXPECT_FALSE(FileExists(HostFile(task, "/big.pdf") + ".tmp"));
  EXPECT_EQ(task.FileClaims.HeldCount(), 0u);
}

TEST_F(HttpsRunTest, AnUntrustedCertificateFailsCleanlyAndIsAcceptedWithVerificationOff) {
  TestSite untrusted(certs_.SelfSignedCertificate("self"));
  untrusted.Put("/index.html", PageOf("<p>self-signed</p>"));
  TTask& task = NewTaskAt(untrusted.Url("/index.html"));
  RunToEnd();
  EXPECT_EQ(task.State.load(), Complete);
  EXPECT_EQ(task.GetStatus(0), DownloadError);
  EXPECT_TRUE(window_.HasLineContaining(
      "Head错误信息=Server certificate rejected: self-signed certificate"));
  EXPECT_EQ(untrusted.Count("HEAD", "/index.html"), 0);

  VerifyCertificates = false;
  task.RunMode = RunRepair;
  RunToEnd();
  EXPECT_EQ(task.GetStatus(0), Saved);
  EXPECT_EQ(ReadFileBytes(HostFile(task, "/index.html")), "<p>self-signed</p>");
}

TEST_F(HttpsRunTest, HundredsOfFilesCostAFewHandshakesPerWorker) {
  std::string index;
  for (int i = 0; i < 300; ++i) {
    const std::string name = "/p" + std::to_string(i) + ".html";
    index += "<a href=\"" + name.substr(1) + "\">" + std::to_string(i) + "</a>";
    secure_.Put(name, PageOf("<p>" + std::to_string(i) + "</p>"));
  }
  secure_.Put("/index.html", PageOf(index));
  TTask& task = NewTaskAt(secure_.Url("/index.html"));
  RunToEnd();

  EXPECT_EQ(task.Recount(), 100);
  EXPECT_EQ(task.SavedCount, 301);
  EXPECT_EQ(static_cast<int>(secure_.Requests().size()), 2 * 301);  // a HEAD and a GET each
  // Connections are kept per worker: one handshake each, with room for a reconnect.
  EXPECT_LE(secure_.TlsHandshakes(), 2 * ThreadCount.load());
  EXPECT_GE(secure_.TlsHandshakes(), 1);
}

}  // namespace
}  // namespace qm
