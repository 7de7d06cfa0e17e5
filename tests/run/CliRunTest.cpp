// The headless program's running commands, as other tools call them: mirror, run, demo, their
// exit codes, and Ctrl-C followed by a resuming run.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/Files.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"
#include "support/TestSite.h"

namespace qm {
namespace {

using namespace test;
namespace fs = std::filesystem;

TEST(CliRun, MirrorCopiesASiteAndRunUpdatesIt) {
  TestSite site;
  site.Put("/index.html",
           PageOf("<a href=\"a.html\">a</a><img src=\"p.gif\">").Modified(1700000000));
  site.Put("/a.html", PageOf("<p>a</p>").Modified(1700000000));
  site.Put("/p.gif", FileOf("GIF89a").Modified(1700000000));
  TempDir dir;
  const ProgramResult mirror = RunCli({"mirror", site.Url("/index.html"), "--folder",
                                       dir.Path().string(), "--threads", "2", "--pace", "0"});
  ASSERT_EQ(mirror.ExitCode, 0) << mirror.Err;
  EXPECT_NE(mirror.Out.find("任务结束。总共3个网页，其中成功下载3个"), std::string::npos)
      << mirror.Out;
  EXPECT_TRUE(mirror.Err.empty()) << "no progress line without a terminal: " << mirror.Err;
  const fs::path taskFile = dir.Path() / "127.0.0.1.web";
  ASSERT_TRUE(fs::exists(taskFile));
  EXPECT_EQ(ReadFileBytes(dir.Path() / "127.0.0.1" / "p.gif"), "GIF89a");
  EXPECT_NE(ReadFileBytes(dir.Path() / "127.0.0.1" / "index.html").find("href=\"a.html\""),
            std::string::npos);

  // Nothing changed on the server: an update run fetches no file again.
  const int getsBefore = site.Count("GET", "/p.gif");
  const ProgramResult update =
      RunCli({"run", taskFile.string(), "--mode", "update", "--pace", "0"});
  ASSERT_EQ(update.ExitCode, 0) << update.Err;
  EXPECT_EQ(site.Count("GET", "/p.gif"), getsBefore);
  EXPECT_NE(update.Out.find("任务结束"), std::string::npos);
}

TEST(CliRun, InterruptSavesTheTaskAndASecondRunResumes) {
  TestSite site;
  const std::string big = PatternBody(400000);
  site.Put("/index.html", PageOf("<a href=\"big.pdf\">manual</a>"));
  site.Put("/big.pdf", FileOf(big).Slowly(2).Modified(1700000000));
  TempDir dir;
  const fs::path tmp = dir.Path() / "127.0.0.1" / "big.pdf.tmp";
  const ProgramResult first =
      RunCli({"mirror", site.Url("/index.html"), "--folder", dir.Path().string(), "--pace", "0"},
             [&](pid_t child) {
               for (int i = 0; i < 20000 && FileSizeOf(tmp.string()) < 40000; ++i)
                 std::this_thread::sleep_for(std::chrono::milliseconds(1));
               kill(child, SIGINT);
             });
  EXPECT_EQ(first.ExitCode, 130) << first.Err;
  EXPECT_NE(first.Out.find("任务结束"), std::string::npos) << "the stopped run still reports";
  const std::int64_t kept = FileSizeOf(tmp.string());
  ASSERT_GT(kept, 0);
  ASSERT_LT(kept, static_cast<std::int64_t>(big.size()));

  site.Put("/big.pdf", FileOf(big).Modified(1700000000));
  const ProgramResult second =
      RunCli({"run", (dir.Path() / "127.0.0.1.web").string(), "--pace", "0"});
  ASSERT_EQ(second.ExitCode, 0) << second.Err;
  EXPECT_EQ(ReadFileBytes(dir.Path() / "127.0.0.1" / "big.pdf"), big);
  EXPECT_FALSE(fs::exists(tmp));
  EXPECT_EQ(site.Count("GET", "/index.html"), 1) << "the start page is not fetched again";
}

TEST(CliRun, BadArgumentsAndFilesGiveClearErrors) {
  TempDir dir;
  EXPECT_EQ(RunCli({"mirror"}).ExitCode, 2);
  EXPECT_EQ(RunCli({"mirror", "ftp://h/", "--folder", dir.Path().string()}).ExitCode, 2);
  EXPECT_EQ(RunCli({"mirror", "http://127.0.0.1/", "--scope", "7"}).ExitCode, 2);
  EXPECT_EQ(RunCli({"mirror", "http://127.0.0.1/", "--threads", "0"}).ExitCode, 2);
  EXPECT_EQ(RunCli({"run", "x.web", "--mode", "fast"}).ExitCode, 2);

  const ProgramResult missing = RunCli({"run", (dir.Path() / "none.web").string()});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_NE(missing.Err.find("none.web"), std::string::npos);
  WriteFileBytes(dir.Path() / "bad.web", "not a task file");
  const ProgramResult bad = RunCli({"run", (dir.Path() / "bad.web").string()});
  EXPECT_EQ(bad.ExitCode, 1);
  EXPECT_FALSE(bad.Err.empty());
}

TEST(CliRun, DemoWhoseServerCannotStartSaysSoAndCopiesNothing) {
  TempDir dir;
  const fs::path copy = dir.Path() / "copy";
  // A server program that is missing, and one that ends without an address.
  const std::vector<std::string> servers = {(dir.Path() / "no-such-server").string(), "/bin/false"};
  for (const std::string& server : servers) {
    setenv("QUILLMOSS_DEMO_SERVER", server.c_str(), 1);
    const ProgramResult demo = RunCli({"demo", copy.string(), "--pace", "0"});
    unsetenv("QUILLMOSS_DEMO_SERVER");
    EXPECT_EQ(demo.ExitCode, 1) << server;
    EXPECT_NE(demo.Err.find("demo"), std::string::npos) << demo.Err;
    EXPECT_FALSE(fs::exists(copy)) << server;
  }
}

TEST(CliRun, DemoCopiesTheBundledSite) {
  TempDir dir;
  const ProgramResult demo = RunCli({"demo", dir.Path().string(), "--pace", "0"});
  ASSERT_EQ(demo.ExitCode, 0) << demo.Err;
  const fs::path site = dir.Path() / "127.0.0.1";
  EXPECT_NE(demo.Out.find("错误文件0个,还有0个文件未下载"), std::string::npos) << demo.Out;
  // The script-built links, the redirect and the large file all arrived.
  EXPECT_TRUE(fs::exists(site / "view.asp" / "id=7.html"));
  EXPECT_TRUE(fs::exists(site / "visit.html"));
  EXPECT_EQ(fs::file_size(site / "docs" / "manual.pdf"), 300000u);
  const std::string index = ReadFileBytes(site / "index.html");
  // The moved page is reached either directly or through the stub left at its old name,
  // depending on whether the redirect was known when the start page was analysed.
  EXPECT_TRUE(index.find("href=\"visit.html\"") != std::string::npos ||
              index.find("href=\"old-visit.html\"") != std::string::npos);
  EXPECT_NE(ReadFileBytes(site / "old-visit.html").find("url=visit.html"), std::string::npos);
  EXPECT_NE(index.find("window.open('view.asp/id='+id+\".html\")"), std::string::npos);
  for (const auto& entry : fs::recursive_directory_iterator(site))
    if (entry.path().extension() == ".tmp" && entry.path().filename() != "app.js.tmp")
      ADD_FAILURE() << "left behind: " << entry.path();
}

}  // namespace
}  // namespace qm
