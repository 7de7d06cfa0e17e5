// The headless program over a program folder's category tree: tasks added on hold, listed, and
// run one after the other as the scheduler runs a queue.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "support/RunProgram.h"
#include "support/TempDir.h"
#include "support/TestSite.h"

namespace qm {
namespace {

using namespace test;
namespace fs = std::filesystem;

int CountOf(const std::string& text, const std::string& part) {
  int n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(CliQueue, AddedTasksAreListedAndRunOneAfterTheOther) {
  TestSite site;
  site.Put("/one/index.html", PageOf("<a href=\"a.html\">a</a>").Modified(1700000000));
  site.Put("/one/a.html", PageOf("<p>a</p>").Modified(1700000000));
  site.Put("/two/index.html", PageOf("<p>two</p>").Modified(1700000000));
  TempDir home;
  const std::string h = home.Path().string();

  const ProgramResult one = RunCli({"add", site.Url("/one/index.html"), "--home", h});
  ASSERT_EQ(one.ExitCode, 0) << one.Err;
  EXPECT_NE(one.Out.find("Added task #2"), std::string::npos) << one.Out;
  const ProgramResult two =
      RunCli({"add", site.Url("/two/index.html"), "--home", h, "--name", " second ", "--folder",
              (home.Path() / "other").string(), "--scope", "2"});
  ASSERT_EQ(two.ExitCode, 0) << two.Err;
  // A new task never replaces a task file that is there.
  const ProgramResult again = RunCli({"add", site.Url("/one/index.html"), "--home", h});
  EXPECT_EQ(again.ExitCode, 1);
  EXPECT_NE(again.Err.find("already exists"), std::string::npos) << again.Err;
  EXPECT_TRUE(fs::exists(home.Path() / "Dir.ini"));

  const ProgramResult list = RunCli({"tasks", "--home", h});
  ASSERT_EQ(list.ExitCode, 0) << list.Err;
  EXPECT_NE(list.Out.find("#0 Quillmoss"), std::string::npos) << list.Out;
  EXPECT_NE(list.Out.find("#1 回收站"), std::string::npos);
  EXPECT_NE(list.Out.find("#2 127.0.0.1  " + site.Url("/one/index.html")), std::string::npos);
  EXPECT_NE(list.Out.find("#3 second  " + site.Url("/two/index.html")), std::string::npos);
  EXPECT_EQ(site.Requests().size(), 0u) << "adding a task fetches nothing";

  // Every task below the root runs, in tree order.
  const ProgramResult queue = RunCli({"queue", "--home", h, "--pace", "0", "--threads", "2"});
  ASSERT_EQ(queue.ExitCode, 0) << queue.Err << queue.Out;
  EXPECT_EQ(CountOf(queue.Out, "任务结束。总共"), 4) << queue.Out;  // message and log line each
  EXPECT_TRUE(fs::exists(home.Path() / "Websites" / "127.0.0.1" / "one" / "a.html"));
  EXPECT_TRUE(fs::exists(home.Path() / "other" / "127.0.0.1" / "two" / "index.html"));
  const auto requests = site.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().Path, "/two/index.html");

  // One named task, updated: nothing changed, so nothing is fetched again.
  const std::size_t before = site.Requests().size();
  const ProgramResult update =
      RunCli({"queue", "#3", "--home", h, "--mode", "update", "--pace", "0"});
  ASSERT_EQ(update.ExitCode, 0) << update.Err;
  EXPECT_EQ(CountOf(update.Out, "任务结束。总共"), 2) << update.Out;
  for (std::size_t i = before; i < site.Requests().size(); ++i)
    EXPECT_NE(site.Requests()[i].Method, "GET") << site.Requests()[i].Path;
}

TEST(CliQueue, AMissingTaskFileIsReportedAndTheOthersStillRun) {
  TestSite site;
  site.Put("/index.html", PageOf("<p>x</p>"));
  TempDir home;
  const std::string h = home.Path().string();
  ASSERT_EQ(RunCli({"add", site.Url("/index.html"), "--home", h, "--file", "gone.web"}).ExitCode,
            0);
  ASSERT_EQ(RunCli({"add", site.Url("/index.html"), "--home", h, "--file", "kept.web"}).ExitCode,
            0);
  fs::remove(home.Path() / "Websites" / "gone.web");

  const ProgramResult queue = RunCli({"queue", "--home", h, "--pace", "0"});
  EXPECT_EQ(queue.ExitCode, 1);
  EXPECT_NE(queue.Out.find("task #2"), std::string::npos) << queue.Out;
  EXPECT_NE(queue.Err.find("1 task(s) could not be run"), std::string::npos) << queue.Err;
  EXPECT_EQ(site.Count("GET", "/index.html"), 1) << "the other task ran";

  const ProgramResult bad = RunCli({"queue", "#99", "--home", h});
  EXPECT_EQ(bad.ExitCode, 2);
  EXPECT_NE(bad.Err.find("no item 99"), std::string::npos) << bad.Err;
}

// A tree written by hand: root[A[B[t4] t5] t6], recycle bin empty. No task file exists.
const char kNestedTree[] =
    "[Quillmoss]\r\nVersion=1.0\r\nLength=7\r\nDeletedCount=0\r\n"
    "[Item0]\r\nName=Quillmoss\r\nType=0\r\nNext=1\r\nSonFirst=2\r\n"
    "[Item1]\r\nName=bin\r\nType=2\r\nPrevious=0\r\n"
    "[Item2]\r\nName=A\r\nType=0\r\nParent=0\r\nNext=6\r\nSonFirst=3\r\n"
    "[Item3]\r\nName=B\r\nType=0\r\nParent=2\r\nNext=5\r\nSonFirst=4\r\n"
    "[Item4]\r\nName=t4\r\nType=1\r\nParent=3\r\nPath=\\nowhere\\\r\nFileName=t4.web\r\n"
    "[Item5]\r\nName=t5\r\nType=1\r\nParent=2\r\nPrevious=3\r\nPath=\\nowhere\\\r\n"
    "FileName=t5.web\r\n"
    "[Item6]\r\nName=t6\r\nType=1\r\nParent=0\r\nPrevious=2\r\nPath=\\nowhere\\\r\n"
    "FileName=t6.web\r\n";

TEST(CliQueue, NestedCategoriesAreListedAndQueuedInTreeOrder) {
  TempDir home;
  WriteFileBytes(home.Path() / "Dir.ini", kNestedTree);
  const std::string h = home.Path().string();
  const ProgramResult list = RunCli({"tasks", "--home", h});
  ASSERT_EQ(list.ExitCode, 0) << list.Err;
  EXPECT_NE(list.Out.find("  #2 A\n    #3 B\n      #4 t4  "), std::string::npos) << list.Out;
  EXPECT_NE(list.Out.find("(task file missing)\n    #5 t5  "), std::string::npos) << list.Out;
  EXPECT_NE(list.Out.find("(task file missing)\n  #6 t6  "), std::string::npos) << list.Out;

  // Category A stands for its whole subtree, in tree order; t6 is not below it.
  const ProgramResult queue = RunCli({"queue", "#2", "--home", h, "--pace", "0"});
  EXPECT_EQ(queue.ExitCode, 1);
  const auto t4 = queue.Out.find("task #4 t4 skipped");
  const auto t5 = queue.Out.find("task #5 t5 skipped");
  EXPECT_NE(t4, std::string::npos) << queue.Out;
  EXPECT_NE(t5, std::string::npos) << queue.Out;
  EXPECT_LT(t4, t5);
  EXPECT_EQ(queue.Out.find("#6"), std::string::npos) << queue.Out;
  EXPECT_NE(queue.Err.find("2 task(s) could not be run"), std::string::npos) << queue.Err;
}

TEST(CliQueue, CtrlCStopsTheRunningTaskAndStartsNoOther) {
  TestSite site;
  site.Put("/one/index.html", PageOf("<a href=\"big.pdf\">m</a>"));
  site.Put("/one/big.pdf", FileOf(PatternBody(400000)).Slowly(2));
  site.Put("/two/index.html", PageOf("<p>two</p>"));
  TempDir home;
  const std::string h = home.Path().string();
  ASSERT_EQ(RunCli({"add", site.Url("/one/index.html"), "--home", h, "--file", "one.web"}).ExitCode,
            0);
  ASSERT_EQ(RunCli({"add", site.Url("/two/index.html"), "--home", h, "--file", "two.web"}).ExitCode,
            0);
  const ProgramResult queue = RunCli({"queue", "--home", h, "--pace", "0"}, [&](pid_t child) {
    for (int i = 0; i < 20000 && site.Count("GET", "/one/big.pdf") == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(child, SIGINT);
  });
  EXPECT_EQ(queue.ExitCode, 130) << queue.Err;
  EXPECT_EQ(site.Count("GET", "/two/index.html"), 0) << "the queued task stayed on hold";
}

}  // namespace
}  // namespace qm
