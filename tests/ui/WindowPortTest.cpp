// The window port's contract: every call's effect on the GUI thread, in the order requested,
// whatever thread made it; questions wait for their answer and give up when the window closes.
#include <QTest>
#include <atomic>
#include <thread>

#include "task/Task.h"
#include "ui/QtWindowPort.h"

using namespace qm;
using namespace qm::ui;

namespace {

// Records what the port does to the window, checking that it happens on the GUI thread.
class RecordingSide final : public TWindowSide {
 public:
  std::vector<std::string> Events;
  int OffThread = 0;
  int DirQuestions = 0;
  bool AnswerDirs = true;

  void Note(std::string e) {
    if (QThread::currentThread() != qApp->thread()) ++OffThread;
    Events.push_back(std::move(e));
  }
  void AppendLog(const std::vector<TLogLine>& lines) override {
    for (const auto& [text, red] : lines) Note((red ? "red:" : "log:") + text);
  }
  void ShowStatus(const std::string& text) override { Note("status:" + text); }
  void SetProgress(int percent) override { Note("progress:" + std::to_string(percent)); }
  void SetListRow(int row, const TListRowTexts& texts) override {
    Note("row" + std::to_string(row) + ":" + texts.Caption);
  }
  void ClearTaskList() override { Note("clear"); }
  int AddTaskListRow() override {
    Note("addrow");
    return 7;
  }
  void ShowTaskCommands(const std::string&, const TTaskCommandStates&) override { Note("cmds"); }
  void ShowStatistics() override { Note("stats"); }
  void ShowMessage(const std::string& text) override { Note("box:" + text); }
  bool AskOkCancel(const std::string&, const std::string&) override { return true; }
  bool EditMainSettings() override { return true; }
  void ConfirmDirectories(TTask& task) override {
    Note("dirs");
    ++DirQuestions;
    if (AnswerDirs) task.ExtraDirs.clear();
  }
};

std::vector<std::string> Only(const std::vector<std::string>& events, const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& e : events)
    if (e.rfind(prefix, 0) == 0) out.push_back(e);
  return out;
}

}  // namespace

class WindowPortTest : public QObject {
  Q_OBJECT
 private slots:
  void callsFromThreadsKeepTheirOrder();
  void blockingCallsRunOnTheGuiThreadAndReturnValues();
  void errorsOfSynchronizedCallsReachTheCaller();
  void directoryQuestionIsAPostedEvent();
  void closingAnswersWaitingQuestions();
};

void WindowPortTest::callsFromThreadsKeepTheirOrder() {
  RecordingSide side;
  QtWindowPort port(side);
  constexpr int Threads = 4, Lines = 500;
  std::vector<std::thread> threads;
  std::atomic<int> finished{0};
  for (int t = 0; t < Threads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < Lines; ++i) {
        const std::string id = std::to_string(t) + "." + std::to_string(i);
        if (i % 50 == 0) {
          port.Synchronize([&] { port.AddLog("sync " + id); });
        } else if (i % 7 == 0) {
          port.AddRedLog("err " + id);
        } else {
          port.AddLog("line " + id);
        }
      }
      ++finished;
    });
  QTRY_COMPARE_WITH_TIMEOUT(finished.load(), Threads, 20000);
  for (auto& th : threads) th.join();
  port.Flush();
  QCOMPARE(side.OffThread, 0);
  // Each thread's lines appear complete and in the order it sent them.
  for (int t = 0; t < Threads; ++t) {
    int expected = 0;
    for (const auto& e : side.Events) {
      const auto dot = e.find(' ');
      if (dot == std::string::npos) continue;
      const std::string id = e.substr(dot + 1);
      if (id.rfind(std::to_string(t) + ".", 0) != 0) continue;
      QCOMPARE(id, std::to_string(t) + "." + std::to_string(expected));
      ++expected;
    }
    QCOMPARE(expected, Lines);
  }
  QCOMPARE(Only(side.Events, "red:").size(), std::size_t(Threads * 70));
}

void WindowPortTest::blockingCallsRunOnTheGuiThreadAndReturnValues() {
  RecordingSide side;
  QtWindowPort port(side);
  int row = -1;
  bool ok = false;
  std::thread worker([&] {
    port.SetStatusText("one");
    port.SetStatusText("two");
    port.ClearTaskList();
    row = port.AddTaskListRow();
    ok = port.AskOkCancel("q", "c");
    port.ShowMessage("done");
  });
  QTRY_VERIFY_WITH_TIMEOUT(!Only(side.Events, "box:").empty(), 10000);
  worker.join();
  QCOMPARE(row, 7);
  QVERIFY(ok);
  QCOMPARE(side.OffThread, 0);
  // Status texts queued together show the last one, before the calls made after them.
  QCOMPARE(side.Events, (std::vector<std::string>{"status:two", "clear", "addrow", "box:done"}));
}

void WindowPortTest::errorsOfSynchronizedCallsReachTheCaller() {
  RecordingSide side;
  QtWindowPort port(side);
  std::string caught;
  std::thread worker([&] {
    try {
      port.Synchronize([] { throw std::runtime_error("disk full"); });
    } catch (const std::exception& e) {
      caught = e.what();
    }
  });
  QTRY_COMPARE_WITH_TIMEOUT(caught, std::string("disk full"), 10000);
  worker.join();
}

void WindowPortTest::directoryQuestionIsAPostedEvent() {
  RecordingSide side;
  QtWindowPort port(side);
  TTask task;
  task.ExtraDirs.resize(2);
  std::atomic<bool> answered{false};
  std::thread analysis([&] {
    port.AddLog("before");
    port.AskExtraDirs(task);
    answered = true;
  });
  QTRY_VERIFY_WITH_TIMEOUT(answered.load(), 10000);
  analysis.join();
  QCOMPARE(side.DirQuestions, 1);
  QVERIFY(task.ExtraDirs.empty());
  // The lines requested before the question are shown before it.
  QCOMPARE(side.Events, (std::vector<std::string>{"log:before", "dirs"}));
}

void WindowPortTest::closingAnswersWaitingQuestions() {
  RecordingSide side;
  QtWindowPort port(side);
  TTask task;
  std::atomic<bool> answered{false};
  std::thread analysis([&] {
    port.AskExtraDirs(task);
    port.ShowMessage("dropped");
    answered = true;
  });
  // The window closes before its event loop ever gets to the question.
  port.SetClosing(true);
  while (!answered) port.Drain(std::chrono::milliseconds(10));
  analysis.join();
  QCoreApplication::processEvents();
  QCOMPARE(side.DirQuestions, 0);
  QVERIFY(Only(side.Events, "box:").empty());
}

QTEST_MAIN(WindowPortTest)
#include "WindowPortTest.moc"
