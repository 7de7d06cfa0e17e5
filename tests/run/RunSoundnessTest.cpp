// Whole runs that used to go wrong quietly: a redirect chain that lost its target page, a thread
// that died without a word, and settings and list rows touched while pages are analysed (the
// last two matter most under ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>

#include "platform/Files.h"
#include "support/RunFixture.h"
#include "support/TaskSettingsEdit.h"
#include "task/TaskFile.h"

namespace qm {
namespace {

using namespace test;

class RunSoundnessTest : public RunFixture {
 protected:
  // Every entry of the task file as it was saved at the end of the run.
  void ExpectSavedFileAgrees(TTask& task, const std::string& path, std::int32_t status) {
    TTask reread;
    ASSERT_TRUE(ReadTaskFile(reread, NativePath(task.Folder + task.FileName)).Ok);
    EXPECT_EQ(reread.GetStatus(reread.FindUrl(site_.Url(path))), status) << path;
  }
};

// chain1 -> chain2 -> final/end.html, with every one of them also linked directly, fetched by
// three workers: whichever worker meets the redirects, the target page is saved and counted.
TEST_F(RunSoundnessTest, RedirectChainKeepsItsTargetPageSavedAndCounted) {
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    const std::string folder = "round" + std::to_string(round) + "/";
    site_.Put("/" + folder + "index.html",
              PageOf("<a href=\"chain1.html\">1</a><a href=\"final/end.html\">end</a>"
                     "<a href=\"chain2.html\">2</a>"));
    site_.Put("/" + folder + "chain1.html", RedirectOf("/" + folder + "chain2.html"));
    site_.Put("/" + folder + "chain2.html", RedirectOf("/" + folder + "final/end.html"));
    site_.Put("/" + folder + "final/end.html", PageOf("<p>end</p><a href=\"../index.html\">i</a>"));
    TTask& task = NewTask("/" + folder + "index.html", DefaultTaskSettings(),
                          "chain" + std::to_string(round) + ".web");
    RunToEnd();
    ASSERT_EQ(task.State.load(), Complete);

    const std::int32_t end = task.FindUrl(site_.Url("/" + folder + "final/end.html"));
    ASSERT_GE(end, 0);
    EXPECT_EQ(task.GetStatus(end), Saved);
    EXPECT_EQ(task.GetStatus(task.FindUrl(site_.Url("/" + folder + "chain1.html"))), Redirected);
    EXPECT_EQ(task.GetStatus(task.FindUrl(site_.Url("/" + folder + "chain2.html"))), Redirected);
    EXPECT_EQ(task.ResolveIndex(task.FindUrl(site_.Url("/" + folder + "chain2.html"))), end);
    EXPECT_EQ(ReadFileBytes(LocalFile(task, "/" + folder + "final/end.html")).substr(0, 12),
              "<p>end</p><a");
    EXPECT_FALSE(FileExists(LocalFile(task, "/" + folder + "final/end.html") + ".tmp"));
    // Start page and target: both saved, both counted; the redirecting entries are not.
    EXPECT_TRUE(window_.HasLineContaining("任务结束。总共2个网页，其中成功下载2个")) << [&] {
      std::string table;
      for (std::int32_t i = 0; i < task.GetCount(); ++i)
        if (task.GetKind(i) == 1)
          table += task.GetRawUrl(i) + " " + std::to_string(task.GetStatus(i)) + "\n";
      for (const auto& line : window_.Lines()) table += line.Text + "\n";
      return table;
    }();
    ExpectSavedFileAgrees(task, "/" + folder + "final/end.html", Saved);
  }
}

// Many fetched pages, all waiting for one script file that comes after them in the table: the
// workers go on to the script, and the run ends with every page saved.
TEST_F(RunSoundnessTest, PagesWaitingForTheirScriptDoNotHoldUpTheRun) {
  ThreadCount = 3;
  std::string index;
  constexpr int kPages = 24;
  for (int i = 0; i < kPages; ++i) {
    const std::string page = "w/p" + std::to_string(i) + ".html";
    index += "<a href=\"p" + std::to_string(i) + ".html\">p</a>";
    site_.Put("/" + page, PageOf("<script src=\"late.js\"></script><p>" + page + "</p>"));
  }
  site_.Put("/w/late.js", FileOf("function go(){ window.open('x.html'); }"));
  site_.Put("/w/index.html", PageOf(index));
  TTask& task = NewTask("/w/index.html", DefaultTaskSettings(), "late.web");
  RunToEnd();
  ASSERT_EQ(task.State.load(), Complete);
  for (int i = 0; i < kPages; ++i) {
    const std::string path = "/w/p" + std::to_string(i) + ".html";
    EXPECT_EQ(task.GetStatus(task.FindUrl(site_.Url(path))), Saved) << path;
  }
}

// A thread whose body throws (here: the window fails while a worker logs its download) ends the
// run as a failure: the error in red, the task stopped, its file saved, RunFailed set.
TEST_F(RunSoundnessTest, ThreadThatThrowsEndsTheRunAsAFailure) {
  for (const int threads : {1, 3}) {  // 1: the master itself dies
    SCOPED_TRACE(threads);
    ThreadCount = threads;
    const std::string folder = "t" + std::to_string(threads) + "/";
    std::string index;
    for (int i = 0; i < 6; ++i) {
      const std::string page = folder + "p" + std::to_string(i) + ".html";
      index += "<a href=\"p" + std::to_string(i) + ".html\">p</a>";
      site_.Put("/" + page, PageOf("<p>" + page + "</p>"));
    }
    site_.Put("/" + folder + "index.html", PageOf(index));
    std::atomic<bool> thrown{false};
    window_.OnAddLog = [&](const std::string& line) {
      if (line.find("成功下载") != std::string::npos && !thrown.exchange(true))
        throw std::runtime_error("log pane gone");
    };
    TTask& task = NewTask("/" + folder + "index.html", DefaultTaskSettings(),
                          "t" + folder.substr(1, 1) + ".web");
    RunToEnd();
    window_.OnAddLog = nullptr;

    ASSERT_TRUE(thrown.load());
    bool redLine = false;
    for (const auto& line : window_.Lines())
      if (line.Red && line.Text == "线程错误信息=log pane gone") redLine = true;
    EXPECT_TRUE(redLine);
    EXPECT_TRUE(task.RunFailed.load());
    EXPECT_EQ(task.State.load(), Stopped);
    // The master's end-of-run report ran and saved the task file.
    TTask reread;
    ASSERT_TRUE(ReadTaskFile(reread, NativePath(task.Folder + task.FileName)).Ok);
    EXPECT_EQ(reread.GetUrl(0), site_.Url("/" + folder + "index.html"));
  }
}

// The settings dialog changes a running task's settings, and the window refreshes its row, while
// the workers fetch and the analysis thread scans pages.
TEST_F(RunSoundnessTest, SettingsAndRowChangeWhilePagesAreAnalysed) {
  std::string index;
  for (int i = 0; i < 40; ++i) {
    const std::string name = "p" + std::to_string(i) + ".html";
    index += "<a href=\"" + name + "\">p</a><img src=\"i" + std::to_string(i) + ".gif\">";
    site_.Put("/" + name, PageOf("<a href=\"index.html\">home</a><script src=\"s.js\"></script>"));
    site_.Put("/i" + std::to_string(i) + ".gif", FileOf("GIF89a").Type("image/gif"));
  }
  site_.Put("/s.js", FileOf("var u='p1.html';").Type("application/javascript"));
  site_.Put("/index.html", PageOf(index));
  TTask& task = NewTask("/index.html");
  window_.Synchronize([&] {
    task.ShowInListItem(window_.AddTaskListRow());
    manager_.StartNext();
  });
  int changes = 0;
  while (RunsActive()) {
    window_.Synchronize([&] {
      EditSettings(task, [&](TaskSettings& s) {
        s.ForeignImages = !s.ForeignImages;
        s.Scope = changes % 2 == 0 ? ScopeHost : ScopeSite;
      });
      task.RefreshListItem();
    });
    ++changes;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  WaitForRuns();
  EXPECT_GT(changes, 0);
  EXPECT_EQ(task.State.load(), Complete);
  EXPECT_EQ(task.GetStatus(task.FindUrl(site_.Url("/p39.html"))), Saved);
  EXPECT_EQ(window_.LastRow(task.ListItem).SubItems.at(1), site_.Url("/index.html"));
}

}  // namespace
}  // namespace qm
