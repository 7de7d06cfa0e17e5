// Whole runs from the window against a local site at pace 0: the new-task flow to the end of the
// run, the directory question, the commands during a run, and closing the window mid-run.
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QTextBlock>

#include "config/Setting.h"
#include "platform/Pacing.h"
#include "support/TestSite.h"
#include "support/WindowFixture.h"

using namespace qm;
using namespace qm::ui;
using namespace qm::ui::test;
using qm::test::FileOf;
using qm::test::PageOf;
using qm::test::TestSite;

namespace {

void PutSmallSite(TestSite& site) {
  site.Put("/index.html",
           PageOf("<html><title>demo</title><a href=\"a.html\">a</a><a href=\"b.html\">b</a>"
                  "<img src=\"p.gif\"></html>"));
  site.Put("/a.html", PageOf("<a href=\"b.html\">b</a>"));
  site.Put("/b.html", PageOf("<p>b</p><a href=\"missing.html\">gone</a>"));
  site.Put("/missing.html", PageOf("no").AnswerGet(500));
  site.Put("/p.gif", FileOf("GIF89a-bytes").Type("image/gif"));
}

// Creates and starts a task for `url` through the new-task flow.
void StartTaskFor(WindowFixture& w, const std::string& url) {
  w.ui().EditUrl->setEditText(QString::fromStdString(url));
  w.dialogs.NewTaskAnswers.push_back(AcceptNewTask(true));
  w.dialogs.MainSettingsAnswers.push_back(true);
  w.form->NewTask();
}

bool RunEnded(WindowFixture& w) {
  return w.form->LogText().contains(QStringLiteral("任务结束。总共"));
}

}  // namespace

class RunFlowTest : public QObject {
  Q_OBJECT
 private slots:
  void newTaskFlowCopiesTheSite();
  void directoryQuestionAnsweredFromTheDialog();
  void pauseStopAndRunAgain();
  void closingDuringARunEndsAndSavesTheTask();
  void closingCutsThePauseBeforeTheNextTaskShort();
  void newTaskThroughTheProgramDialogs();
};

void RunFlowTest::newTaskFlowCopiesTheSite() {
  TestSite site;
  PutSmallSite(site);
  WindowFixture w;
  StartTaskFor(w, site.Url("/index.html"));
  QCOMPARE(w.manager().TaskCount(), 1);
  QTRY_VERIFY_WITH_TIMEOUT(RunEnded(w), 20000);
  QTRY_VERIFY_WITH_TIMEOUT(!RunsActive(), 20000);
  // The end-of-run box, then its short line in the log.
  bool boxShown = false;
  for (const auto& a : w.messages.asked)
    boxShown |= a.text.startsWith(QStringLiteral("任务结束。总共5个网页，其中成功下载4个"));
  QVERIFY(boxShown);
  QVERIFY(
      w.form->LogText().contains(QStringLiteral("任务结束。总共5个网页，其中成功下载4个,共下载")));
  // The error line is red in the log.
  bool redSeen = false;
  for (QTextBlock b = w.ui().Memo1->document()->begin(); b.isValid(); b = b.next())
    if (b.text().startsWith(QStringLiteral("下载错误信息=")) && !b.textFormats().isEmpty() &&
        b.textFormats().front().format.foreground().color() == QColor(Qt::red))
      redSeen = true;
  QVERIFY(redSeen);
  // The site is on disk.
  const QString root = w.dir->path() + QStringLiteral("/Websites/127.0.0.1/");
  QVERIFY(QFile::exists(root + "index.html"));
  QVERIFY(QFile::exists(root + "b.html"));
  QVERIFY(QFile::exists(root + "p.gif"));
  QVERIFY(QFile::exists(w.dir->path() + QStringLiteral("/Websites/127.0.0.1.web")));
  // Statistics lines and the task row.
  w.form->ShowStatistics();
  QVERIFY(w.form->LogText().contains(QStringLiteral("共需下载5个文件,其中已成功下载4个")));
  QVERIFY(w.form->LogText().contains(QStringLiteral("下载错误文件1个,解析错误文件0个。")));
  QTreeWidgetItem* row = w.ui().ListView1->topLevelItem(0);
  QVERIFY(row);
  QCOMPARE(row->text(0), QStringLiteral("127.0.0.1"));
  QCOMPARE(row->text(2), QString::fromStdString(site.Url("/index.html")));
  QCOMPARE(row->text(4), QStringLiteral("4/5"));
  // Complete: run, repair, update and restart are offered.
  QVERIFY(w.ui().ToolButtonRepair->isEnabled());
  QVERIFY(!w.ui().ToolButtonStop->isEnabled());
  QCOMPARE(w.manager().Task(0).State.load(), Complete);
}

void RunFlowTest::directoryQuestionAnsweredFromTheDialog() {
  TestSite site;
  site.Put("/docs/index.html",
           PageOf("<a href=\"/other/x.html\">x</a><a href=\"/more/y.html\">y</a>"));
  site.Put("/other/x.html", PageOf("<p>x</p>"));
  site.Put("/more/y.html", PageOf("<p>y</p>"));
  WindowFixture w;
  DefaultScope = ScopeDirectory;
  std::vector<TDirChoice> shown;
  w.dialogs.DirAnswer = [&](TTask&, std::vector<TDirChoice>& dirs) {
    shown = dirs;
    for (auto& d : dirs) d.second = d.first.find("other") != std::string::npos;
    return true;
  };
  StartTaskFor(w, site.Url("/docs/index.html"));
  QTRY_VERIFY_WITH_TIMEOUT(RunEnded(w), 20000);
  QTRY_VERIFY_WITH_TIMEOUT(!RunsActive(), 20000);
  ResetSettings();
  QCOMPARE(w.dialogs.DirQuestions, 1);
  QCOMPARE(shown.size(), std::size_t(2));
  QCOMPARE(site.Count("GET", "/other/x.html"), 1);
  QCOMPARE(site.Count("GET", "/more/y.html"), 0);
}

void RunFlowTest::pauseStopAndRunAgain() {
  TestSite site;
  site.Put("/index.html", PageOf("<a href=\"big.html\">big</a>"));
  site.Put("/big.html", PageOf(std::string(400000, 'x')).Slowly(5));
  WindowFixture w;
  ThreadCount = 2;
  StartTaskFor(w, site.Url("/index.html"));
  ResetSettings();
  QTRY_VERIFY_WITH_TIMEOUT(w.ui().ToolButtonStop->isEnabled(), 10000);
  QVERIFY(!w.ui().ToolButtonRun->isEnabled());
  w.form->PauseTask();
  QCOMPARE(w.manager().CurrentTask()->State.load(), Paused);
  QVERIFY(w.ui().ToolButtonRun->isEnabled());
  w.form->RunTask();
  QCOMPARE(w.manager().CurrentTask()->State.load(), Running);
  w.form->StopTask();
  QTRY_VERIFY_WITH_TIMEOUT(RunEnded(w), 20000);
  QTRY_VERIFY_WITH_TIMEOUT(!RunsActive(), 20000);
  QCOMPARE(w.manager().CurrentTask()->State.load(), Stopped);
  QTRY_VERIFY_WITH_TIMEOUT(w.ui().ToolButtonRestart->isEnabled(), 5000);
  // Restart asks first; Cancel leaves the task alone.
  w.messages.AnswerMessage(QMessageBox::Cancel);
  w.form->RestartTask();
  QVERIFY(
      w.messages.asked.back().text.startsWith(QStringLiteral("将重新开始下载以http://127.0.0.1")));
  QCOMPARE(w.messages.asked.back().caption, QStringLiteral("重新开始"));
  QCOMPARE(w.manager().CurrentTask()->State.load(), Stopped);
}

void RunFlowTest::closingDuringARunEndsAndSavesTheTask() {
  TestSite site;
  std::string links;
  for (int i = 0; i < 40; ++i) links += "<a href=\"f" + std::to_string(i) + ".html\">f</a>";
  site.Put("/index.html", PageOf(links));
  for (int i = 0; i < 40; ++i)
    site.Put("/f" + std::to_string(i) + ".html", PageOf(std::string(50000, 'x')).Slowly(20));
  WindowFixture w;
  StartTaskFor(w, site.Url("/index.html"));
  QTRY_VERIFY2_WITH_TIMEOUT(site.Count("GET", "/f3.html") > 0, qPrintable(w.form->LogText()),
                            10000);
  QVERIFY(RunsActive());
  const QString taskFile = w.dir->path() + QStringLiteral("/Websites/127.0.0.1.web");
  QFile::remove(taskFile);
  QElapsedTimer clock;
  clock.start();
  w.form->close();
  QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
  QVERIFY(!RunsActive());
  QVERIFY(QFile::exists(taskFile));
  // Nothing of the closed window is reached afterwards, and nothing starts again.
  w.form.reset();
  QTest::qWait(50);
  QVERIFY(!RunsActive());
}

void RunFlowTest::closingCutsThePauseBeforeTheNextTaskShort() {
  TestSite site;
  site.Put("/index.html", PageOf("<p>one page</p>"));
  WindowFixture w;
  ThreadCount = 1;
  SetPacingFactor(1);  // the real pauses: the master then waits 5 s before the next task
  StartTaskFor(w, site.Url("/index.html"));
  QTRY_VERIFY_WITH_TIMEOUT(RunEnded(w), 20000);
  QVERIFY(RunsActive());  // the master is in its pause
  QElapsedTimer clock;
  clock.start();
  w.form->close();
  QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
  QVERIFY(!RunsActive());
  SetPacingFactor(0);
  ResetSettings();
}

void RunFlowTest::newTaskThroughTheProgramDialogs() {
  TestSite site;
  PutSmallSite(site);
  WindowFixture w(true);
  w.ui().EditUrl->setEditText(QString::fromStdString(site.Url("/index.html")));
  QString shownName;
  w.messages.AnswerDialog([&](QDialog& dialog) {
    shownName = dialog.findChild<QLineEdit*>(QStringLiteral("EditProjName"))->text();
    dialog.findChild<QLineEdit*>(QStringLiteral("EditProjName"))->setText(QStringLiteral("demo"));
    dialog.accept();  // the default button: create and start at once
    return dialog.result();
  });
  w.messages.AnswerDialog([](QDialog& dialog) {
    dialog.accept();
    return dialog.result();
  });
  w.form->NewTask();
  QCOMPARE(shownName, QStringLiteral("127.0.0.1"));
  QCOMPARE(w.messages.shownDialogs.size(), 2);
  QTRY_VERIFY_WITH_TIMEOUT(RunEnded(w), 20000);
  QTRY_VERIFY_WITH_TIMEOUT(!RunsActive(), 20000);
  QCOMPARE(w.ui().ListView1->topLevelItem(0)->text(0), QStringLiteral("demo"));
  QVERIFY(QFile::exists(w.dir->path() + QStringLiteral("/Websites/demo.web")));
}

QTEST_MAIN(RunFlowTest)
#include "RunFlowTest.moc"
